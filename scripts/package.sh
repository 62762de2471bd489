#!/usr/bin/env bash
# Builds the Debian package dmmlogger_<version>_amd64.deb in the project
# folder from a Release build in ./build-package, and prints its path.
# The build is hardened as Debian builds its packages: the compiler and linker
# flags come from dpkg-buildflags with every hardening feature on (fortify,
# stack protector, relro and bind-now, PIE); the developer build in ./build
# keeps its own flags. The package's dependencies are found by
# dpkg-shlibdeps from the programs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh >&2

build=build-package
log=$build/package.log
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi

fail() {
    echo "package.sh: $1 failed:" >&2
    cat "$log" >&2
    exit 1
}

# Debian's defaults leave bind-now off; a package taking all of them turns it on.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
buildflag() { dpkg-buildflags --get "$1"; }
cxxflags="$(buildflag CPPFLAGS) $(buildflag CXXFLAGS)"
ldflags=$(buildflag LDFLAGS)

mkdir -p "$build"
# Installing does not build everything first (the tests and benchmarks are no
# part of the package): only what dmm_install_files gathers is built.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >"$log" 2>&1 || fail "configuring"
cmake --build "$build" -j2 --target dmm_install_files >"$log" 2>&1 || fail "building"

rm -f "$build"/dmmlogger_*.deb
(cd "$build" && cpack -G DEB) >"$log" 2>&1 || fail "cpack"
debs=("$build"/dmmlogger_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "finding the package"
name=$(basename "${debs[0]}")
rm -f dmmlogger_*.deb
mv "${debs[0]}" "$name"
echo "$root/$name"
