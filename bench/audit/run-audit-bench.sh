#!/usr/bin/env bash
# caldrin-audit against pandas + NumPy + SciPy + statsmodels + scikit-learn
# computing the same figures (pandas_reference.py says which) on a generated
# audit file of a million records (about 125 MB), split into units (input
# files) for the funnel plot. Prints both ratios of the speed and memory goal:
# how many times faster the engine is, and its peak memory over the size of
# the files.
#
# Needs a Release build with the benchmarks, and /usr/bin/python3 with pandas,
# SciPy, statsmodels and scikit-learn (Debian's python3-* packages):
#   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCALDRIN_BUILD_BENCHMARKS=ON
#   cmake --build build/release --target caldrin-audit audit_bench_data
#   bench/audit/run-audit-bench.sh [BUILD_DIR] [RECORDS] [UNITS] [REPEATS]
# Defaults: build/release, 1000000 records, 20 units (files; 10 or more give
# the funnel's overdispersion), 3 repeats. Each program runs REPEATS times and
# the median time is taken; the engine's peak memory is the largest of its
# runs. The reference's time runs from reading the files to its last figure
# (Python's start and imports excluded); the engine's is the whole process
# (start, reading, analysis, writing the JSON). The engine runs with the
# given CUSUM limit (--limit 4.5), as the reference does: no simulation.
#
# Other work on the machine slows both programs, not always alike: the load
# average is printed before and after; measure on a quiet machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
records=${2:-1000000}
units=${3:-20}
repeats=${4:-3}
python=/usr/bin/python3
limit=4.5

file=${TMPDIR:-/tmp}/caldrin-audit-bench-$records.csv
[[ -s $file ]] || "$build/bin/audit_bench_data" "$file" "$records"
files=("$file")
if ((units > 1)); then
    # Records dealt out in turn, the column names at the top of each file, as
    # from units writing their own files over the same years.
    folder=${TMPDIR:-/tmp}/caldrin-audit-bench-$records-units-$units
    if [[ ! -s $folder/unit-$(printf %02d $((units - 1))).csv ]]; then
        mkdir -p "$folder"
        awk -v units="$units" -v folder="$folder" '
            NR == 1 { header = $0; next }
            { u = (NR - 2) % units; out = sprintf("%s/unit-%02d.csv", folder, u)
              if (!(u in started)) { print header > out; started[u] = 1 }
              print > out }' "$file"
    fi
    files=("$folder"/unit-*.csv)
fi
size=$(cat "${files[@]}" | wc -c)
cat "${files[@]}" >/dev/null # both programs start with the files in the page cache

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
engine_json=${TMPDIR:-/tmp}/caldrin-audit-bench.json
engine_seconds=()
engine_kb=0
for ((run = 1; run <= repeats; ++run)); do
    /usr/bin/time -f '%e %M' -o /tmp/caldrin-audit-bench.time \
        "$build/bin/caldrin-audit" --limit $limit --format json --output "$engine_json" "${files[@]}"
    read -r seconds kb </tmp/caldrin-audit-bench.time
    engine_seconds+=("$seconds")
    ((kb > engine_kb)) && engine_kb=$kb
done

reference_seconds=()
reference_read=()
reference_kb=0
for ((run = 1; run <= repeats; ++run)); do
    check=()
    ((run == 1)) && check=(--check "$engine_json")
    /usr/bin/time -f '%e %M' -o /tmp/caldrin-audit-bench.time \
        "$python" "$here/pandas_reference.py" $limit "${files[@]}" "${check[@]}" \
        >/tmp/caldrin-audit-bench.reference 2>/tmp/caldrin-audit-bench.stages
    read -r _ kb </tmp/caldrin-audit-bench.time
    ((kb > reference_kb)) && reference_kb=$kb
    read_s=$(awk '/^read/{print $2}' /tmp/caldrin-audit-bench.reference)
    figures_s=$(awk '/^figures/{print $2}' /tmp/caldrin-audit-bench.reference)
    reference_read+=("$read_s")
    reference_seconds+=("$(awk -v r="$read_s" -v f="$figures_s" 'BEGIN{print r + f}')")
    ((run == 1)) && grep -v '^read\|^figures' /tmp/caldrin-audit-bench.reference || true
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

ours=$(printf '%s\n' "${engine_seconds[@]}" | median)
theirs=$(printf '%s\n' "${reference_seconds[@]}" | median)
theirs_read=$(printf '%s\n' "${reference_read[@]}" | median)
awk -v ours="$ours" -v theirs="$theirs" -v read_s="$theirs_read" -v kb="$engine_kb" \
    -v pkb="$reference_kb" -v size="$size" -v n="$records" -v units="${#files[@]}" \
    -v runs="${engine_seconds[*]}" -v pruns="${reference_seconds[*]}" \
    -v before="$load_before" -v after="$load_after" 'BEGIN {
    printf "files: %d records in %d file(s), %.1f MB\n", n, units, size / 1e6
    printf "load average before: %s, after: %s\n", before, after
    printf "caldrin-audit, whole run: median %.2f s (runs: %s), peak %.1f MB\n", ours, runs, kb * 1024 / 1e6
    printf "pandas reference, read + figures: median %.2f s (runs: %s; reading %.2f s), peak %.0f MB\n",
        theirs, pruns, read_s, pkb * 1024 / 1e6
    printf "speed ratio: %.1fx faster (goal: at least 10x)\n", theirs / ours
    printf "memory ratio: peak %.2f of the file size (goal: under 1)\n", kb * 1024 / size
}'
