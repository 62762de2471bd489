#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A long unattended dmm-log run against the meter simulator.
#
#   bench/soak_dmmlog.sh [SECONDS]        (default 600; 86400 for a whole day)
#
# dmm-log reads one frame per 500 ms poll, as the program does, so a day of
# logging takes a day: the poll cannot be hurried without reading the meter
# differently. The simulator sends 10,000 distinct readings (DC 0.000 V to
# 9.999 V, then again) one every SOAK_PERIOD_MS (default 700), a little slower
# than the poll, so every frame sent while dmm-log listens is one it must
# log. The script then checks that
#   - dmm-log ended by its --duration with status 0 and a summary line,
#   - the record file holds whole 76-byte records only, as many as CSV lines,
#   - the readings follow each other without a gap or a repeat,
#   - the simulator sent at most two frames more than were logged (the one
#     under the first poll's purge and the one under the port's closing),
# and it reports dmm-log's memory (VmRSS, VmHWM) and CPU time as it goes.
#
# Environment: BUILD_DIR (default ./build), SOAK_PERIOD_MS, SOAK_SAMPLE_S
# (seconds between memory samples, default 60), SOAK_KEEP=1 keeps the files.
set -euo pipefail

duration=${1:-600}
build=${BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}
period=${SOAK_PERIOD_MS:-700}
sample=${SOAK_SAMPLE_S:-60}
sim_bin=$build/tools/dmm-sim
log_bin=$build/tools/dmm-log
for bin in "$sim_bin" "$log_bin"; do
    [[ -x $bin ]] || { echo "soak: $bin is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/dmmlog-soak.XXXXXX")
sim_pid=
log_pid=
cleanup() {
    [[ -n $log_pid ]] && kill "$log_pid" 2>/dev/null || true
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    if [[ ${SOAK_KEEP:-0} == 1 ]]; then
        echo "soak: files kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

awk -v period="$period" 'BEGIN {
    print "period " period
    for (i = 0; i < 10000; i++) printf "show 6 %d.%03d\n", int(i / 1000), i % 1000
}' > "$work/soak.txt"

cd "$work"
"$sim_bin" --script soak.txt --wait-reader --log sim.log > sim.out 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q ' ready$' sim.out 2>/dev/null && break
    sleep 0.1
done
grep -q ' ready$' sim.out || { echo "soak: the simulator did not start" >&2; cat sim.out >&2; exit 1; }

"$log_bin" --port COM1 --out soak.g52 --csv soak.csv --quiet --duration "${duration}s" 2> log.err &
log_pid=$!
started=$(date +%s)
ticks=$(getconf CLK_TCK)

memory() { # VmRSS and VmHWM in kB, CPU seconds
    local pid=$1 rss hwm cpu
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 1
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null) || return 1
    cpu=$(awk -v t="$ticks" '{printf "%.2f", ($14 + $15) / t}' "/proc/$pid/stat" 2>/dev/null) || return 1
    echo "$rss $hwm $cpu"
}

printf '%8s %10s %10s %8s %9s\n' elapsed VmRSS_kB VmHWM_kB cpu_s records
first_hwm=
last=
next_sample=5
while kill -0 "$log_pid" 2>/dev/null; do
    now=$(( $(date +%s) - started ))
    if (( now >= next_sample )); then
        if m=$(memory "$log_pid"); then
            last=$m
            read -r rss hwm cpu <<< "$m"
            [[ -z $first_hwm ]] && first_hwm=$hwm
            size=$(stat -c %s soak.g52 2>/dev/null || echo 0)
            printf '%7ss %10s %10s %8s %9s\n' "$now" "$rss" "$hwm" "$cpu" $(( size / 76 ))
        fi
        next_sample=$(( now + sample ))
    fi
    sleep 1
done
set +e
wait "$log_pid"
status=$?
set -e
log_pid=
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=

fail=0
check() { # condition-text result
    if [[ $2 == ok ]]; then echo "ok    $1"; else echo "FAIL  $1: $2"; fail=1; fi
}

check "dmm-log ended with status 0" "$([[ $status == 0 ]] && echo ok || echo "status $status")"
summary=$(grep 'readings logged' log.err || true)
check "summary on standard error" "$([[ -n $summary ]] && echo ok || echo "none")"
size=$(stat -c %s soak.g52)
records=$(( size / 76 ))
check "whole records only ($size bytes)" \
    "$( (( size % 76 == 0 )) && echo ok || echo "$(( size % 76 )) bytes over")"
csv_lines=$(( $(wc -l < soak.csv) - 1 ))
check "as many CSV lines as records ($csv_lines)" \
    "$([[ $csv_lines == "$records" ]] && echo ok || echo "$records records")"
# The display column: "1.234" is reading 1234 of the sequence.
read -r gaps repeats < <(awk -F, 'NR > 1 {
        n = $4; sub(/\./, "", n); n += 0
        if (NR > 2) { d = (n - prev + 10000) % 10000; if (d == 0) r++; else if (d != 1) g++ }
        prev = n
    } END { print g + 0, r + 0 }' soak.csv)
check "no reading skipped" "$([[ $gaps == 0 ]] && echo ok || echo "$gaps gaps")"
check "no reading twice" "$([[ $repeats == 0 ]] && echo ok || echo "$repeats repeats")"
sent=$(grep -c ' sent ' sim.log || true)
check "every frame sent was logged ($sent sent, $records logged)" \
    "$( (( sent - records <= 2 && sent >= records )) && echo ok || echo "$(( sent - records )) missing")"

echo "soak: $summary"
if [[ -n $last ]]; then
    read -r rss hwm cpu <<< "$last"
    echo "soak: memory VmHWM ${first_hwm} kB at 5 s, ${hwm} kB at the end (VmRSS ${rss} kB); CPU ${cpu} s over ${duration} s"
fi
exit $fail
