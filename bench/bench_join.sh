#!/bin/sh
# SPDX-License-Identifier: MIT
# dmm-export --table of two recordings joined by time, next to the two
# single tables, on recordings of 10,000,000 readings each (760 MB each) or
# any other count: a volt meter and an ampere meter read every half second
# over the same days. Prints the wall time of each and the join's peak memory;
# it is not a test. On a shared machine the CPU time (user and system) is the
# steadier figure; the ratios are of it. The recordings go to $TMPDIR (default /tmp) and are
# deleted afterwards; python3 makes their first day.
#
#   bench/bench_join.sh [path/to/dmm-export] [records]
set -eu

tool=${1:-build/tools/dmm-export}
records=${2:-10000000}

if [ ! -x "$tool" ]; then
    echo "bench_join: no dmm-export at $tool (build it first)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_join.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# One day of readings every half second, without date stamps: times that go
# up through the day, so the date walk sees a new day only at midnight.
day_of_readings() {
    python3 - "$1" "$2" <<'PY'
import struct, sys

def field(text, size):
    data = text.encode("latin-1")
    return data + bytes(size - len(data))

# display, value, function, unit
display, value, function, unit = (("12.00", 12.0, 6, "V") if sys.argv[2] == "volts"
                                  else ("0.500", 0.5, 514, "A"))
with open(sys.argv[1], "wb") as out:
    for i in range(24 * 3600 * 2):
        tenths = i * 5
        time = "%3d:%02d:%02d.%-3d" % (tenths // 36000, tenths // 600 % 60, tenths // 10 % 60,
                                       tenths % 10)
        out.write(field(display, 8) + field("0", 4) + struct.pack("<i", function) +
                  field(time, 16) + field(display, 16) + field("", 8) + field(unit, 8) +
                  struct.pack("<f", value) + field("", 8))
PY
}

# The day in $1 doubled until the file holds the wanted count.
fill_to_count() {
    bytes=$((records * 76))
    while [ "$(wc -c <"$1")" -lt "$bytes" ]; do
        cat "$1" "$1" >"$work/double"
        mv "$work/double" "$1"
    done
    truncate -s "$bytes" "$1"
}

volts="$work/volts.g52"
amps="$work/amps.g52"
day_of_readings "$volts" volts
fill_to_count "$volts"
day_of_readings "$amps" amps
fill_to_count "$amps"
cat "$volts" "$amps" >/dev/null # into the page cache

# "wall-seconds cpu-seconds peak-MB" of one run, its output thrown away.
measure() {
    /usr/bin/time -f '%e %U %S %M' "$@" 2>&1 >/dev/null | tail -n 1 |
        awk '{printf "%s %.2f %.1f", $1, $2 + $3, $4 / 1024}'
}

echo "recordings: 2 x $records readings, 2 x $((records * 76)) bytes"
set -- $(measure "$tool" --table "$volts")
v=$2
echo "--table volts.g52                     $1 s, CPU $2 s, peak $3 MB"
set -- $(measure "$tool" --table "$amps")
a=$2
echo "--table amps.g52                      $1 s, CPU $2 s, peak $3 MB"
for power in "" "--power volts*amps"; do
    # shellcheck disable=SC2086 # power is empty or two words without spaces
    set -- $(measure "$tool" --table "$volts" "$amps" $power)
    awk -v w="$1" -v j="$2" -v m="$3" -v s="$(echo "$v + $a" | bc)" -v p="$power" \
        'BEGIN {printf "--table volts amps %-18s %s s, CPU %s s, peak %s MB (CPU %.2f x the two single tables)\n", p, w, j, m, j / s}'
done
