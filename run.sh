#!/usr/bin/env bash
# Installs what is missing, builds, and starts the data logger against the
# meter simulator on a pseudo-terminal. The program runs in ./scratch, where
# it keeps its settings file; the simulator is attached there as the port the
# program opens (COMn from the settings file, COM2 when there is none).
# To use a real meter instead, see README.md.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# Only what runs here: the tests are built by ./test.sh. Ninja shows its
# progress ([done/all] on one line in a terminal).
echo "Building the logger and the meter simulator into ./build (the first time takes a few minutes)..."
scripts/build.sh dmmlogger dmm-sim

mkdir -p scratch
port=2
if [ -f scratch/MLQDL.ini ]; then
    saved=$(sed -n 's/^iPort=\([0-9]\+\)\r\?$/\1/p' scratch/MLQDL.ini | head -n 1)
    [ -n "$saved" ] && port=$saved
fi

sim_pid=""
xvfb_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    true
}
trap cleanup EXIT INT TERM

build/tools/dmm-sim --link "scratch/COM$port" --scenario "${DMM_SIM_SCENARIO:-sweep}" >scratch/sim.out 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
    grep -q ready scratch/sim.out 2>/dev/null && break
    sleep 0.1
done
echo "Meter simulator attached as COM$port ($(head -n 1 scratch/sim.out))."

if [ -z "${DISPLAY:-}" ]; then
    # No desktop: run on a virtual screen so the program still starts.
    Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:99
    echo "No DISPLAY: running on the virtual screen :99."
fi

# Qt wants a private runtime directory; a root shell often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi

(cd scratch && ../build/app/dmmlogger)
