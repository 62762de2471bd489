#!/bin/sh
# SPDX-License-Identifier: MIT
# dmm-log --mqtt: CPU per reading and peak memory with and without a broker
# at the meter's Full Speed (against dmm-sim), readings per second through a
# local broker, and the time to drain a queue of 100,000 readings after an
# outage. Prints figures; it is not a test. Needs mosquitto.
#
#   bench/bench_mqtt.sh [build-dir] [readings-at-full-speed]
set -eu

build=${1:-build}
count=${2:-40}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench_mqtt.XXXXXX")
port=$((20000 + $$ % 20000))
trap 'kill $(cat "$work"/*.pid 2>/dev/null) 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM

user=""
[ "$(id -u)" -eq 0 ] && user="user root"
printf 'listener %s 127.0.0.1\nallow_anonymous true\n%s\n' "$port" "$user" >"$work/m.conf"
broker() { /usr/sbin/mosquitto -c "$work/m.conf" >/dev/null 2>&1 & echo $! >"$work/broker.pid"; sleep 0.5; }

"$build/tools/dmm-sim" --link "$work/COM1" --scenario sweep --period 100 >/dev/null 2>&1 &
echo $! >"$work/sim.pid"
sleep 1
broker

# utime+stime and max RSS of a run of $count readings.
run() {
    rm -f "$work/a.csv"
    /usr/bin/time -f "%U %S %M" -o "$work/time" "$build/tools/dmm-log" --port "$work/COM1" \
        --quiet --csv "$work/a.csv" --count "$count" "$@" 2>/dev/null
    awk -v n="$count" '{ printf "%.2f ms CPU per reading, %d KiB peak RSS\n", ($1 + $2) * 1000 / n, $3 }' "$work/time"
}
echo "Full Speed, $count readings:"
printf '  files only:       '; run
printf '  files and --mqtt: '; run --mqtt "mqtt://127.0.0.1:$port/bench"

echo "Through the broker, no meter in the way:"
printf '  '; "$build/bench/dmm-bench-mqtt-drain" "$port" 100000 live
kill "$(cat "$work/broker.pid")"; sleep 0.5
"$build/bench/dmm-bench-mqtt-drain" "$port" 100000 drain 2>/dev/null >"$work/drain.out" &
echo $! >"$work/drain.pid"
while ! grep -q queued "$work/drain.out" 2>/dev/null; do sleep 0.1; done
broker
wait "$(cat "$work/drain.pid")" || true
sed 's/^/  /' "$work/drain.out"
