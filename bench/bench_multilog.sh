#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The CPU and memory of one dmm-log reading several simulated meters at Full
# Speed, each through its own dmm-sim.
#
#   bench/bench_multilog.sh [METERS] [SECONDS]     (default 8 meters, 120 s)
#
# dmm-log writes a record file per meter and the shared CSV (--quiet); the
# script samples its VmRSS every SECONDS/4 and prints its CPU time (user and
# system, from /proc/PID/stat) as a share of one core over the run. It prints
# figures; it is not a test. Environment: BUILD_DIR (default ./build).
set -euo pipefail

meters=${1:-8}
duration=${2:-120}
build=${BUILD_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}
sim_bin=$build/tools/dmm-sim
log_bin=$build/tools/dmm-log
for bin in "$sim_bin" "$log_bin"; do
    [[ -x $bin ]] || { echo "bench_multilog: $bin is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_multilog.XXXXXX")
sim_pids=()
log_pid=
cleanup() {
    [[ -n $log_pid ]] && kill "$log_pid" 2>/dev/null || true
    for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

ports=()
for ((i = 1; i <= meters; i++)); do
    "$sim_bin" --scenario sweep --link "$work/M$i" >"$work/sim$i.out" 2>&1 &
    sim_pids+=($!)
    ports+=(--port "m$i=$work/M$i")
done
for ((i = 1; i <= meters; i++)); do
    for _ in $(seq 50); do [[ -L $work/M$i ]] && break; sleep 0.1; done
done

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

(cd "$work" && exec "$log_bin" "${ports[@]}" --out run.g52 --csv run.csv --quiet \
    --duration "${duration}s") 2>"$work/log.err" &
log_pid=$!
sleep 2 # past the start
start_ticks=$(cpu_ticks "$log_pid")
start_ns=$(date +%s%N)
rss=()
for _ in 1 2 3 4; do
    sleep $(((duration - 4) / 4))
    rss+=("$(rss_kb "$log_pid")")
done
end_ticks=$(cpu_ticks "$log_pid")
end_ns=$(date +%s%N)
wait "$log_pid" || true
log_pid=

rows=$(($(wc -l <"$work/run.csv") - 1))
records=$(($(cat "$work"/run-m*.g52 | wc -c) / 76))
awk -v t=$((end_ticks - start_ticks)) -v hz="$ticks" -v ns=$((end_ns - start_ns)) \
    -v m="$meters" -v rows="$rows" -v rec="$records" -v rss="${rss[*]}" 'BEGIN {
    s = ns / 1e9
    printf "%d meters at Full Speed: %d rows, %d records; CPU %.2f s in %.1f s = %.2f %% of one core\n",
           m, rows, rec, t / hz, s, 100 * t / hz / s
    printf "VmRSS every quarter of the run: %s kB\n", rss
}'
tail -n "$((meters + 1))" "$work/log.err"
