#!/usr/bin/env bash
# Configures ./build and builds the targets named (dmmlogger, dmm-sim, ...),
# or everything, the tests included, when none is named.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache, where the machine has it, keeps rebuilds of other checkouts short.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build build -j2 "${targets[@]}"
