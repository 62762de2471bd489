#!/bin/sh
# SPDX-License-Identifier: MIT
# dmm-export on a recording of 1,000,000 readings (76 MB) or any other count,
# timed next to reading the same file with cat, in the same run, with the
# tool's peak memory. Prints figures (min and median of three runs each, the
# machine may be shared); it is not a test. The recording goes to $TMPDIR
# (default /tmp) and is deleted afterwards; python3 makes its first day.
#
#   bench/bench_export.sh [path/to/dmm-export] [records]
set -eu

tool=${1:-build/tools/dmm-export}
records=${2:-1000000}
runs=3

if [ ! -x "$tool" ]; then
    echo "bench_export: no dmm-export at $tool (build it first)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_export.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

. "$(dirname "$0")/recordings.sh"

file="$work/bench.g52"
make_recording "$file" plain "$records"
mixed="$work/mixed.g52"
make_recording "$mixed" mixed "$records"

# "min median" milliseconds of $runs runs of the command.
min_median_ms() {
    i=0
    times=
    while [ $i -lt $runs ]; do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        times="$times $(((end - start) / 1000000))"
        i=$((i + 1))
    done
    echo $times | tr ' ' '\n' | sort -n | awk '{t[NR]=$1} END {printf "%d %d", t[1], t[int((NR+1)/2)]}'
}

# Peak resident memory of one run, in MB.
peak_mb() {
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{printf "%.1f", $1 / 1024}'
}

# "label: min median ms (min / cat's min)"
row() {
    label=$1
    shift
    set -- $(min_median_ms "$@")
    awk -v l="$label" -v a="$1" -v b="$2" -v c="$cat_min" \
        'BEGIN {printf "%-36s min %6d ms  median %6d ms  (%.1f x cat)\n", l, a, b, a / (c > 0 ? c : 1)}'
}

cat "$file" >/dev/null # into the page cache first, for both
lines=$("$tool" "$file" | wc -l)
out_bytes=$("$tool" "$file" | wc -c)
echo "recording: $records readings, $((records * 76)) bytes; export: $lines lines, $out_bytes bytes"
set -- $(min_median_ms cat "$file")
cat_min=$1
printf '%-36s min %6d ms  median %6d ms\n' "cat FILE > /dev/null" "$1" "$2"
row "dmm-export FILE > /dev/null" "$tool" "$file"
row "dmm-export --list FILE > /dev/null" "$tool" --list "$file"
row "dmm-export --info FILE" "$tool" --info "$file"
row "dmm-export -o OUT FILE" "$tool" -o "$work/out.csv" "$file"
row "dmm-export --table FILE > /dev/null" "$tool" --table "$file"
cat "$mixed" >/dev/null
echo "mixed functions:"
row "  --list MIXED > /dev/null" "$tool" --list "$mixed"
row "  --info MIXED" "$tool" --info "$mixed"
row "  --table MIXED > /dev/null" "$tool" --table "$mixed"
row "  --table -o x.xlsx MIXED" "$tool" --table -o "$work/x.xlsx" "$mixed"
echo "peak memory, --table -o x.xlsx MIXED: $(peak_mb "$tool" --table -o "$work/x.xlsx" "$mixed") MB"
echo "peak memory: export $(peak_mb "$tool" "$file") MB, --list $(peak_mb "$tool" --list "$file") MB," \
    "--info $(peak_mb "$tool" --info "$file") MB, -o $(peak_mb "$tool" -o "$work/out.csv" "$file") MB," \
    "--table $(peak_mb "$tool" --table "$file") MB"
