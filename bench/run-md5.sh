#!/usr/bin/env bash
# Builds the MD5 benchmark in Release and runs the program's digest beside
# OpenSSL's on the 520-byte identifier block and on 64 MiB, then prints the
# speed ratio for each (OpenSSL's time over ours: 1.0 or more means at least
# as fast). Needs the packages of "scripts/setup.sh --test"; extra arguments go to the
# benchmark (e.g. --benchmark_repetitions=10).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CALDRIN_MD5_BENCH_BUILD:-$root/build-md5-bench}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCALDRIN_BUILD_TESTS=OFF -DCALDRIN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target md5_bench -j2 >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bin/md5_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$out" --benchmark_out_format=csv "$@"

# Median CPU time of each function and size, from the CSV rows
# "Name/size_median",iterations,real_time,cpu_time,...
awk -F, '
    $1 ~ /_median"$/ {
        name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
        split(name, part, "/"); time[part[1], part[2]] = $4; sizes[part[2]] = 1
    }
    END {
        print ""
        for (size in sizes) {
            ours = time["Caldrin_MD5", size]; theirs = time["OpenSSL_MD5", size]
            if (ours > 0 && theirs > 0)
                printf "%9d bytes: Caldrin %.0f ns, OpenSSL %.0f ns, ratio %.3f (target >= 1.0)\n",
                       size, ours, theirs, theirs / ours
        }
    }' "$out"
