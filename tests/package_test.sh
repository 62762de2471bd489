#!/usr/bin/env bash
# The Debian package: built with scripts/package.sh, its file list and control
# fields checked, then unpacked into a scratch folder where its tools log a
# simulated meter and export the recording, and the desktop entry's launcher
# starts the program in its folder. Too slow for CTest (a Release build);
# .ci/run runs it after the tests.
set -uo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
checks=0
pass() { checks=$((checks + 1)); }
fail() {
    checks=$((checks + 1))
    failures=$((failures + 1))
    echo "FAIL: $*"
}
# check DESCRIPTION COMMAND...: the command must succeed.
check() {
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then pass; else fail "$what"; fi
}
# wait_for SECONDS COMMAND...: until the command succeeds, at most SECONDS.
wait_for() {
    local tries=$(($1 * 10))
    shift
    while ((tries-- > 0)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

deb=$(scripts/package.sh) || { echo "FAIL: scripts/package.sh"; exit 1; }
version=$(sed -n 's/^project(dmmlogger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "package file named dmmlogger_${version}_amd64.deb ($deb)" \
    test "$(basename "$deb")" = "dmmlogger_${version}_amd64.deb" -a -f "$deb"

# The file list.
listing=$(dpkg-deb -c "$deb")
paths=$(awk '{ sub(/^\./, "", $6); print $6 }' <<<"$listing")
programs=(dmmlogger dmm-sim dmm-decode dmm-export dmm-log)
expected=(/usr/lib/dmmlogger/dmmlogger-launcher /usr/share/applications/dmmlogger.desktop
    /usr/share/icons/hicolor/scalable/apps/dmmlogger.svg /usr/share/doc/dmmlogger/copyright)
for side in 16 22 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${side}x${side}/apps/dmmlogger.png")
done
for p in "${programs[@]}"; do
    expected+=("/usr/bin/$p" "/usr/share/man/man1/$p.1.gz")
done
for path in "${expected[@]}"; do
    check "package holds $path" grep -qxF "$path" <<<"$paths"
done
for p in "${programs[@]/#//usr/bin/}" /usr/lib/dmmlogger/dmmlogger-launcher; do
    check "$p is executable, owned by root" grep -Eq "^-rwxr-xr-x root/root .* \.$p\$" <<<"$listing"
done
check "nothing outside /usr" bash -c '! grep -v "^/usr/" <<<"$1" | grep -qv "^/$"' _ "$paths"
check "no test or benchmark programs" bash -c '! grep -Eq "tst_|bench" <<<"$1"' _ "$paths"

# The control fields: dependencies from dpkg-shlibdeps.
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
depend_names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
check "Package: dmmlogger" grep -qx ' Package: dmmlogger' <<<"$info"
check "Version: $version" grep -qx " Version: $version" <<<"$info"
check "Architecture: amd64" grep -qx ' Architecture: amd64' <<<"$info"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6svg6 \
    libqt6printsupport6 libqcustomplot2.1-qt6 libasound2 libc6 libstdc++6; do
    check "Depends names $lib ($depends)" grep -qxF "$lib" <<<"$depend_names"
done

# Unpacked, the tools run against the system's Qt.
root=$scratch/root
dpkg -x "$deb" "$root" || fail "dpkg -x"
help=$("$root/usr/bin/dmm-export" --help 2>&1)
check "dmm-export --help from the package (exit status)" "$root/usr/bin/dmm-export" --help
check "dmm-export --help prints its usage" grep -q '^Usage: .*dmm-export' <<<"$help"
for p in dmm-sim dmm-decode dmm-log; do
    check "$p --help from the package" "$root/usr/bin/$p" --help
done
check "stripped programs" bash -c '! file -L "$1"/usr/bin/* | grep -q "not stripped"' _ "$root"

# The unpacked simulator, headless logger and exporter together: three
# readings logged from the simulated meter come out as three lines.
work=$scratch/work
mkdir -p "$work"
"$root/usr/bin/dmm-sim" --link "$work/COM1" --scenario steady --period 100 \
    >"$work/sim.out" 2>&1 &
pids+=($!)
if wait_for 10 grep -q ready "$work/sim.out"; then
    if timeout 30 "$root/usr/bin/dmm-log" --port "$work/COM1" --count 3 --quiet \
        --out "$work/run.g52" 2>"$work/log.err"; then
        lines=$("$root/usr/bin/dmm-export" "$work/run.g52" | wc -l)
        check "three logged readings exported (got $lines lines)" test "$lines" -eq 3
        check "the recording holds three 76-byte records" \
            test "$(stat -c %s "$work/run.g52")" -eq 228
    else
        fail "dmm-log from the package: $(cat "$work/log.err")"
    fi
else
    fail "dmm-sim from the package did not get ready: $(cat "$work/sim.out")"
fi

# The desktop entry.
entry=$root/usr/share/applications/dmmlogger.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
check "Exec runs the launcher ($exec_line)" test "$exec_line" = /usr/lib/dmmlogger/dmmlogger-launcher
check "Icon=dmmlogger" grep -qx 'Icon=dmmlogger' "$entry"
check "in the Science menu" grep -Eq '^Categories=(.*;)?Science;' "$entry"
if command -v desktop-file-validate >/dev/null 2>&1; then
    out=$(desktop-file-validate "$entry" 2>&1)
    check "desktop-file-validate: $out" test -z "$out"
fi
if command -v man >/dev/null 2>&1; then
    for p in "${programs[@]}"; do
        page=$root/usr/share/man/man1/$p.1.gz
        warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        check "man page $p without warnings: $warnings" test -z "$warnings"
        check "man page $p names its version" bash -c 'zcat "$1" | grep -q "^\.TH .*$2"' _ "$page" "$version"
    done
fi

# The launcher starts the unpacked program in ~/Documents/DMM Logger (made
# when missing), or in the home folder when that cannot be made.
launch() { # HOME, expected working folder
    local home=$1 want=$2
    mkdir -p "$home"
    env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$scratch/runtime" "$root/usr/lib/dmmlogger/dmmlogger-launcher" \
        >"$scratch/launch.out" 2>&1 &
    local pid=$!
    pids+=("$pid")
    check "launcher starts the program in $want" wait_for 10 \
        bash -c '[ "$(readlink /proc/$1/cwd)" = "$2" ] && [ "$(readlink /proc/$1/exe)" = "$3" ]' \
        _ "$pid" "$want" "$root/usr/bin/dmmlogger"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}
mkdir -p -m 700 "$scratch/runtime"
launch "$scratch/home" "$scratch/home/Documents/DMM Logger"
mkdir -p "$scratch/home2" && touch "$scratch/home2/Documents"
launch "$scratch/home2" "$scratch/home2"
check "launcher refuses to start without a home folder" \
    bash -c '! env -i PATH=/usr/bin:/bin "$1"' _ "$root/usr/lib/dmmlogger/dmmlogger-launcher"

if ((failures > 0)); then
    echo "package_test: $failures of $checks checks failed"
    exit 1
fi
echo "package_test: all $checks checks passed ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
