#!/usr/bin/env bash
# caldrin-audit against pandas + NumPy + SciPy + scikit-learn on a generated
# file of a million records (about 110 MB). Needs a Release build with the
# benchmarks:
#   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALDRIN_BUILD_BENCHMARKS=ON
#   cmake --build build/release --target caldrin-audit audit_bench_data
# Usage: bench/audit/run-audit-bench.sh [BUILD_DIR] [RECORDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
records=${2:-1000000}
file=${TMPDIR:-/tmp}/caldrin-audit-bench-$records.csv
python=/usr/bin/python3
limit=4.5

[[ -s $file ]] || "$build/bin/audit_bench_data" "$file" "$records"
size=$(stat -c %s "$file")
cat "$file" >/dev/null # both programs start with the file in the page cache

best_seconds=
best_kb=
for run in 1 2 3; do
    /usr/bin/time -f '%e %M' -o /tmp/caldrin-audit-bench.time \
        "$build/bin/caldrin-audit" --limit $limit --format json --output /dev/null "$file"
    read -r seconds kb </tmp/caldrin-audit-bench.time
    if [[ -z $best_seconds ]] || awk "BEGIN{exit !($seconds < $best_seconds)}"; then
        best_seconds=$seconds
    fi
    if [[ -z $best_kb ]] || ((kb > best_kb)); then best_kb=$kb; fi
done

reference=$("$python" "$here/pandas_reference.py" "$file" $limit 2>/dev/null)
read_s=$(awk '/^read/{print $2}' <<<"$reference")
figures_s=$(awk '/^figures/{print $2}' <<<"$reference")
cusum_s=$(awk '/^cusum/{print $2}' <<<"$reference")

awk -v ours="$best_seconds" -v kb="$best_kb" -v size="$size" -v r="$read_s" -v f="$figures_s" \
    -v c="$cusum_s" -v n="$records" 'BEGIN {
    printf "file: %d records, %.1f MB\n", n, size / 1e6
    printf "caldrin-audit (whole run, best of 3): %.3f s, peak %.1f MB\n", ours, kb * 1024 / 1e6
    printf "pandas reference: read_csv %.3f s, figures %.3f s, CUSUM loop %.3f s\n", r, f, c
    printf "speed: %.1fx faster than read_csv + figures; %.1fx with the CUSUM loop\n", (r + f) / ours, (r + f + c) / ours
    printf "memory: peak is %.2f of the file size\n", kb * 1024 / size
}'
