#!/bin/sh
# SPDX-License-Identifier: MIT
# dmm-export on a recording of 1,000,000 readings (76 MB), timed next to
# reading the same file with cat, in the same run. Prints figures (the best of
# a few runs each, the machine may be shared); it is not a test.
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

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# One field: the text, then zeros up to the field's size.
field() {
    printf '%s' "$1"
    head -c $(($2 - ${#1})) /dev/zero
}

# One 76-byte record: display, exponent, function code (6, DC volts), time
# stamp, value text, prefix, unit, the value as a little-endian float given as
# octal escapes, sub-display.
record() {
    field "$1" 8
    field 0 4
    printf '\006\000\000\000'
    field "$2" 16
    field "$1" 16
    field m 8
    field V 8
    printf "$3"
    field "$4" 8
}

# Eight different readings, so the value formatting does not see one number
# only; then doubled until the file holds the wanted count.
file="$work/bench.g52"
{
    record 1.234 ' 14:05:09.0  ' '\266\363\235\077' ''
    record -0.00123 ' 14:05:09.5  ' '\362\316\241\272' 0.98
    record 12345.67 ' 14:05:10.0  ' '\256\346\100\106' ''
    record 3.3e-7 ' 14:05:10.5  ' '\333\052\261\064' ''
    record 0 ' 14:05:11.0  ' '\000\000\000\000' 60
    record -250.5 ' 14:05:11.5  ' '\000\200\172\303' ''
    record 9900 ' 14:05:12.0  ' '\000\260\032\106' ''
    record 6.6e12 ' 14:05:12.5  ' '\325\025\300\124' 0.98
} >"$file"
bytes=$((records * 76))
while [ "$(wc -c <"$file")" -lt "$bytes" ]; do
    cat "$file" "$file" >"$work/double"
    mv "$work/double" "$file"
done
truncate -s "$bytes" "$file"

# Milliseconds of the best of $runs runs of the command.
best_ms() {
    best=
    i=0
    while [ $i -lt $runs ]; do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        ms=$(((end - start) / 1000000))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
        i=$((i + 1))
    done
    echo "$best"
}

cat "$file" >/dev/null # into the page cache first, for both
lines=$("$tool" "$file" | wc -l)
out_bytes=$("$tool" "$file" | wc -c)
echo "recording: $records readings, $bytes bytes; export: $lines lines, $out_bytes bytes"
echo "cat FILE > /dev/null:                 $(best_ms cat "$file") ms"
echo "dmm-export FILE > /dev/null:          $(best_ms "$tool" "$file") ms"
echo "dmm-export --list FILE > /dev/null:   $(best_ms "$tool" --list "$file") ms"
echo "dmm-export --info FILE (open only):   $(best_ms "$tool" --info "$file") ms"
