#!/usr/bin/env bash
# Measures the calculator's start-up against a bare Qt window, both offscreen:
# instructions under callgrind (stable on a busy machine) and peak resident
# memory. Targets: at most 1.4 times the instructions and 1.2 times the memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/bench

"$root/scripts/setup.sh" --test
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCALDRIN_BUILD_TESTS=OFF -DCALDRIN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target bench_bare_window bench_calculator_startup -j2 >/dev/null

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

bare_ir=$(instructions "$build/bin/bench_bare_window")
calc_ir=$(instructions "$build/bin/bench_calculator_startup")
bare_rss=$(peak_kib "$build/bin/bench_bare_window")
calc_rss=$(peak_kib "$build/bin/bench_calculator_startup")

awk -v bi="$bare_ir" -v ci="$calc_ir" -v bm="$bare_rss" -v cm="$calc_rss" 'BEGIN {
    printf "instructions: bare window %d, calculator %d, ratio %.3f (target <= 1.4)\n", bi, ci, ci / bi
    printf "peak memory:  bare window %d KiB, calculator %d KiB, ratio %.3f (target <= 1.2)\n", bm, cm, cm / bm
}'
