// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the fuzzing input on every file of a seed folder and on a fixed
// number of mutations of each, drawn from a fixed seed: the same inputs on
// every run, so a failure here is reproducible. A coverage-guided fuzzer
// (clang's -fsanitize=fuzzer) searches far longer from the same seeds.
//
//     audit_fuzz_smoke SEED_FOLDER [MUTATIONS_PER_SEED]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void runOne(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

// Byte edits of the kinds that break CSV readers: separators, quotes, line
// ends, NULs, high bytes, cuts and repeats of a stretch.
std::string mutate(std::string text, std::mt19937_64& random) {
    static const char kInteresting[] = {',',    '"', '\n', '\r', '\0', '\x1A',
                                        '\xFF', '0', '1',  '.',  ' '};
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
        const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        switch (random() % 5) {
        case 0:
            text.insert(at, 1, kInteresting[random() % sizeof kInteresting]);
            break;
        case 1:
            if (at < text.size())
                text[at] = static_cast<char>(random());
            break;
        case 2:
            text.erase(at, random() % 8);
            break;
        case 3: {
            const std::size_t length = random() % 64;
            text.insert(at, text.substr(at, length));
            break;
        }
        default:
            text.resize(at);
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER [MUTATIONS_PER_SEED]\n", argv[0]);
        return 2;
    }
    const int mutations = argc > 2 ? std::atoi(argv[2]) : 200;
    std::vector<std::filesystem::path> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    if (seeds.empty()) {
        std::fprintf(stderr, "no seed files in %s\n", argv[1]);
        return 2;
    }
    std::mt19937_64 random(20261210);
    std::size_t inputs = 0;
    for (const auto& seed : seeds) {
        std::ifstream in(seed, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        runOne(text.str());
        ++inputs;
        std::string current = text.str();
        for (int m = 0; m < mutations; ++m) {
            // Mostly fresh edits of the seed, now and then edits upon edits.
            current = mutate(random() % 4 ? text.str() : current, random);
            runOne(current);
            ++inputs;
        }
    }
    std::printf("%zu inputs from %zu seeds, all read, analysed and written whole\n", inputs,
                seeds.size());
    return 0;
}
