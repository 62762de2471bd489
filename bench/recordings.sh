# SPDX-License-Identifier: MIT
# The bench recordings, sourced by the bench scripts: make_recording FILE
# plain|mixed COUNT writes COUNT records (76 bytes each) of one day of
# readings doubled up to the count; python3 makes the first day.
# One day of readings every half second, as the meter logs them: times that
# go up through the day (a date walk sees a new day only at midnight). The
# plain file repeats eight volt readings; the mixed one changes function
# every reading (volts, an ohms overload, degrees, nanofarads), so no cache of
# the last reading's fields hits. Each day is then doubled up to the count.
day_of_readings() {
    python3 - "$1" "$2" <<'PY'
import struct, sys

def field(text, size):
    data = text.encode("latin-1")
    return data + bytes(size - len(data))

# display, value as float, sub-display, function, prefix, unit
PLAIN = [("1.234", 1.234, "", 6, "m", "V"), ("-0.00123", -0.00123, "0.98", 6, "m", "V"),
         ("12345.67", 12345.67, "", 6, "m", "V"), ("3.3e-7", 3.3e-7, "", 6, "m", "V"),
         ("0", 0.0, "60", 6, "m", "V"), ("-250.5", -250.5, "", 6, "m", "V"),
         ("9900", 9900.0, "", 6, "m", "V"), ("6.6e12", 6.6e12, "0.98", 6, "m", "V")]
MIXED = [("1.234", 1.234, "", 6, "m", "V"), ("O.L", 9900.0, "", 128, "K", "W"),
         ("23.5", 23.5, "", 32, "", "C"), ("23.99", 0.02399, "0.98", 8, "n", "F")]

readings = MIXED if sys.argv[2] == "mixed" else PLAIN
with open(sys.argv[1], "wb") as out:
    for i in range(24 * 3600 * 2):
        display, value, sub, function, prefix, unit = readings[i % len(readings)]
        tenths = i * 5
        time = "%3d:%02d:%02d.%-3d" % (tenths // 36000, tenths // 600 % 60, tenths // 10 % 60,
                                       tenths % 10)
        out.write(field(display, 8) + field("0", 4) + struct.pack("<i", function) +
                  field(time, 16) + field(display, 16) + field(prefix, 8) + field(unit, 8) +
                  struct.pack("<f", value) + field(sub, 8))
PY
}

# The day in $1 doubled until the file holds $2 records.
fill_to_count() {
    bytes=$(($2 * 76))
    while [ "$(wc -c <"$1")" -lt "$bytes" ]; do
        cat "$1" "$1" >"$1.double"
        mv "$1.double" "$1"
    done
    truncate -s "$bytes" "$1"
}

make_recording() {
    day_of_readings "$1" "$2"
    fill_to_count "$1" "$3"
}
