// SPDX-License-Identifier: GPL-3.0-or-later
// The program's MD5 beside OpenSSL's (hand-written assembly on common
// machines), on the identifier block the patient details dialog hashes and on
// a large buffer that shows the transform's throughput.
#include "records_core/md5.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kIdentifierBlock = 520;
constexpr std::size_t kLargeBuffer = std::size_t{64} << 20;

std::vector<std::uint8_t> filledBuffer(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

void Caldrin_MD5(benchmark::State& state) {
    const auto input = filledBuffer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto digest = caldrin::MD5Buffer(input.data(), input.size());
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void OpenSSL_MD5(benchmark::State& state) {
    const auto input = filledBuffer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        unsigned char digest[MD5_DIGEST_LENGTH];
        MD5(input.data(), input.size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(Caldrin_MD5)->Arg(kIdentifierBlock)->Arg(kLargeBuffer)->Unit(benchmark::kNanosecond);
BENCHMARK(OpenSSL_MD5)->Arg(kIdentifierBlock)->Arg(kLargeBuffer)->Unit(benchmark::kNanosecond);

BENCHMARK_MAIN();
