#!/usr/bin/env bash
# caldrin-audit on inputs that once ran for minutes or filled the memory: the
# time and peak memory of each, against the bounds the reader promises
# (ends within seconds with status 2 on devices and non-text; peak memory
# under the file size for a file of bad lines; reading time independent of
# how the records are split into files; a bounded control-limit simulation).
# Needs a Release build with the benchmarks (see run-audit-bench.sh).
# Usage: bench/audit/run-hostile-bench.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build/release}
audit=$build/bin/caldrin-audit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() { # name, then the command line for caldrin-audit
    local name=$1
    shift
    local status=0
    /usr/bin/time -f '%e %M' -o "$work/time" "$audit" "$@" >"$work/out" 2>"$work/err" || status=$?
    read -r seconds kb < <(tail -n 1 "$work/time")
    printf '%-34s %7.2f s  peak %7.1f MB  status %d  report %6.1f kB  %s\n' "$name" "$seconds" \
        "$(awk -v kb="$kb" 'BEGIN{print kb * 1024 / 1e6}')" "$status" \
        "$(awk -v b="$(stat -c %s "$work/out")" 'BEGIN{print b / 1e3}')" "$(head -c 70 "$work/err")"
}

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
with open(f"{work}/commas.csv", "w") as f:
    f.write(",\n" * 2_000_000)
row = ";".join(["a"] * 26 + ["0.1", "0.2", "0.3", "0", "1"]) + "\n"
with open(f"{work}/semicolons.csv", "w") as f:
    f.write(row * 2_000_000)
with open(f"{work}/zero-risk.csv", "w") as f:
    f.write("A,1,01/01/1950,01/01/2024," + "1," * 12 + "12," + "1," * 6 + "6," + "0.0000," * 5 +
            "0,0\r\n")
PY
truncate -s 64G "$work/sparse.csv"
"$build/bin/audit_bench_data" "$work/million.csv" 1000000
"$build/bin/audit_bench_data" "$work/two-thousand.csv" 2000
mkdir "$work/split"
(cd "$work/split" && tail -n +2 ../million.csv | split -l 500 -a 4 - part && for f in part*; do
    mv "$f" "$f.csv"
done)

measure "/dev/zero" --limit 4 /dev/zero
measure "/dev/urandom" --limit 4 /dev/urandom
measure "sparse 64 GiB" --limit 4 "$work/sparse.csv"
measure "2,000,000 lines of \",\" (4 MB)" --limit 4 "$work/commas.csv"
measure "\";\" separators ($(($(stat -c %s "$work/semicolons.csv") / 1000000)) MB)" --limit 4 "$work/semicolons.csv"
measure "10^6 records in one file" --limit 4 "$work/million.csv"
measure "10^6 records in 2000 files" --limit 4 "$work"/split/*.csv
measure "one record, all risks 0" "$work/zero-risk.csv"
measure "--arl 1000000, 2000 records" --arl 1000000 "$work/two-thousand.csv"
