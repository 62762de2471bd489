#!/bin/sh
# SPDX-License-Identifier: MIT
# dmm-export --info and --table against their floors, in one run: CPU time
# (user + system, the steady figure on a shared machine) of the tool, of the
# hand-written formatter of the same bytes (dmm-bench-table-floor) and of
# the same cells straight through libxlsxwriter (dmm-bench-xlsx-floor),
# each also as a multiple of cat of the same file. One function and mixed
# functions, at each count given. The floors' output is checked to be the
# tool's, byte for byte, before anything is timed. Not a test. The
# recordings go to $TMPDIR (default /tmp) and are deleted afterwards.
#
#   bench/bench_table.sh [build folder] [counts...]   (default 1000000 10000000)
# RUNS (default 3) runs each, the minimum shown; XLSX_RUNS (default 1)
# for the workbooks, which take a minute at 10^7.
set -eu

build=${1:-build}
shift 2>/dev/null || true
[ $# -gt 0 ] || set -- 1000000 10000000
tool=$build/tools/dmm-export
floor=$build/bench/dmm-bench-table-floor
xfloor=$build/bench/dmm-bench-xlsx-floor
runs=${RUNS:-3}
xlsx_runs=${XLSX_RUNS:-1}
for program in "$tool" "$floor" "$xfloor"; do
    if [ ! -x "$program" ]; then
        echo "bench_table: no $program (build dmm-export and the bench targets first)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_table.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
. "$(dirname "$0")/recordings.sh"

# The least CPU seconds (user + system, in microseconds from getrusage) of
# $1 runs of the rest, its output thrown away.
cpu() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys
n, command = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(n):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    used = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best = used if best is None else min(best, used)
print("%.4f" % best)
PY
}

# The same through sh -c, for commands that write to a file by redirection.
cpu_sh() {
    n=$1
    shift
    cpu "$n" sh -c "$1"
}

row() { # label seconds cat floor [goal]
    awk -v l="$1" -v s="$2" -v c="$3" -v f="$4" -v g="${5:-}" 'BEGIN {
        line = sprintf("  %-34s %7.3f s CPU  %6.1f x cat", l, s, s / (c > 0 ? c : 0.001))
        if (f != "") line = line sprintf("  %5.2f x floor", s / f)
        if (g != "") line = line sprintf("  (goal <= %s: %s)", g, s / (f != "" ? f : c) <= g + 0 ? "met" : "NOT met")
        print line }'
}

for count in "$@"; do
    for kind in plain mixed; do
        file="$work/$kind.g52"
        make_recording "$file" "$kind" "$count"
        touch -d '2026-12-07 12:00' "$file"
        # The floors write the tool's bytes, or the comparison means nothing.
        "$tool" --table "$file" 2>/dev/null | sha256sum >"$work/tool.sum"
        "$floor" "$file" | sha256sum >"$work/floor.sum"
        if ! cmp -s "$work/tool.sum" "$work/floor.sum"; then
            echo "bench_table: the floor's table differs from the tool's ($kind)" >&2
            exit 1
        fi
        cat "$file" >/dev/null
        c=$(cpu "$runs" cat "$file")
        f=$(cpu "$runs" "$floor" "$file")
        ff=$(cpu_sh "$runs" "'$floor' '$file' > '$work/floor.csv'")
        echo "$count records, $kind ($((count * 76)) bytes); cat: $c s CPU"
        row "--info" "$(cpu "$runs" "$tool" --info "$file")" "$c" "" 2
        row "floor > /dev/null" "$f" "$c" ""
        row "--table > /dev/null" "$(cpu "$runs" "$tool" --table "$file")" "$c" "$f" 1.2
        row "floor > file" "$ff" "$c" ""
        row "--table -o file" "$(cpu "$runs" "$tool" --table -o "$work/tool.csv" "$file")" \
            "$c" "$ff" 1.2
        rm -f "$work/tool.csv" "$work/floor.csv"
        xf=$(cpu "$xlsx_runs" "$xfloor" "$file" "$work/floor.xlsx")
        row "xlsx floor" "$xf" "$c" ""
        row "--table -o x.xlsx" "$(cpu "$xlsx_runs" "$tool" --table -o "$work/x.xlsx" "$file")" \
            "$c" "$xf" 1.1
        rm -f "$work/x.xlsx" "$work/floor.xlsx" "$file"
    done
done
