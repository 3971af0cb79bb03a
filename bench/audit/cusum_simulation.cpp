// SPDX-License-Identifier: GPL-3.0-or-later
// A long simulation of the risk-adjusted CUSUM's in-control run length, the
// independent check behind the Markov-chain run lengths the tests compare
// against (tests/audit/runlength_test.cpp holds its figures).
//
// Written apart from the engine on purpose: its own weights, its own
// generator (std::mt19937_64) and plain sampling. Each run follows the CUSUM
// from 0 until it reaches the highest limit asked for, noting when it first
// reaches each limit, so one set of runs gives every limit's run length.
//
//   cusum_simulation MIX ODDS_RATIO RUNS SEED LIMIT...
// MIX is "low" (elective: mostly risks of a few per cent) or "high"
// (emergency). Prints "h mean standard-error" per limit.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Mix {
    std::vector<double> risk;
    std::vector<double> count;
};

// The same two mixes as the tests.
Mix mixNamed(const std::string& name) {
    if (name == "low")
        return {{0.005, 0.01, 0.02, 0.03, 0.05, 0.08, 0.12}, {300, 400, 250, 150, 80, 40, 20}};
    return {{0.05, 0.1, 0.2, 0.3, 0.45, 0.6, 0.8}, {50, 100, 150, 150, 100, 60, 30}};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: cusum_simulation low|high ODDS_RATIO RUNS SEED LIMIT...\n");
        return 1;
    }
    const Mix mix = mixNamed(argv[1]);
    const double r = std::strtod(argv[2], nullptr);
    const long runs = std::strtol(argv[3], nullptr, 10);
    const unsigned long long seed = std::strtoull(argv[4], nullptr, 10);
    std::vector<double> limits;
    for (int i = 5; i < argc; ++i)
        limits.push_back(std::strtod(argv[i], nullptr));
    std::sort(limits.begin(), limits.end());

    // Log-likelihood ratio of odds multiplied by r against the predicted odds.
    std::vector<double> up, down;
    for (const double p : mix.risk) {
        up.push_back(std::log(r) - std::log(1 - p + r * p));
        down.push_back(-std::log(1 - p + r * p));
    }
    // Episodes drawn in proportion to their counts, by the cumulative counts.
    std::vector<double> cumulative;
    double total = 0;
    for (const double c : mix.count)
        cumulative.push_back(total += c);
    const unsigned threads = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    std::vector<std::vector<double>> sums(threads, std::vector<double>(limits.size() * 2, 0.0));
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937_64 engine(seed + t);
            auto uniform = [&] { return static_cast<double>(engine() >> 11) * 0x1.0p-53; };
            auto pick = [&] {
                const double u = uniform() * total;
                std::size_t k = 0;
                while (k + 1 < cumulative.size() && u >= cumulative[k])
                    ++k;
                return k;
            };
            for (long run = t; run < runs; run += threads) {
                double s = 0;
                double time = 0;
                std::size_t next = 0;
                while (next < limits.size()) {
                    const std::size_t k = pick();
                    s = std::max(0.0, s + (uniform() < mix.risk[k] ? up[k] : down[k]));
                    ++time;
                    while (next < limits.size() && s >= limits[next]) {
                        sums[t][2 * next] += time;
                        sums[t][2 * next + 1] += time * time;
                        ++next;
                    }
                }
            }
        });
    }
    for (std::thread& w : workers)
        w.join();
    for (std::size_t i = 0; i < limits.size(); ++i) {
        double sum = 0, squares = 0;
        for (const auto& s : sums) {
            sum += s[2 * i];
            squares += s[2 * i + 1];
        }
        const double n = static_cast<double>(runs);
        const double mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, squares / n - mean * mean) * n / (n - 1));
        std::printf("%g %.1f %.1f\n", limits[i], mean, sd / std::sqrt(n));
    }
}
