#!/usr/bin/env bash
# Measures the calculator's start-up against a minimal text window (one label,
# one line edit), both offscreen: instructions under callgrind (stable on a
# busy machine) and peak resident memory. Target: at most 1.2 times the
# yardstick in each.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/bench

"$root/scripts/setup.sh" --test
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCALDRIN_BUILD_TESTS=OFF -DCALDRIN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_text_window bench_calculator_startup -j2 >/dev/null

export QT_QPA_PLATFORM=offscreen
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$out/cg.out" "$1" >/dev/null 2>"$out/cg.log"
    grep -oP 'Collected : \K[0-9]+' "$out/cg.log"
}

peak_kib() {
    /usr/bin/time -f '%M' "$1" 2>&1 >/dev/null | tail -n 1
}

text_ir=$(instructions "$build/bin/bench_text_window")
calc_ir=$(instructions "$build/bin/bench_calculator_startup")
text_rss=$(peak_kib "$build/bin/bench_text_window")
calc_rss=$(peak_kib "$build/bin/bench_calculator_startup")

awk -v ti="$text_ir" -v ci="$calc_ir" -v tm="$text_rss" -v cm="$calc_rss" 'BEGIN {
    printf "%-13s %16s %16s %7s %8s\n", "", "text window", "calculator", "ratio", "target"
    printf "%-13s %16d %16d %7.3f %8s\n", "instructions", ti, ci, ci / ti, "<= 1.2"
    printf "%-13s %12d KiB %12d KiB %7.3f %8s\n", "peak memory", tm, cm, cm / tm, "<= 1.2"
}'
