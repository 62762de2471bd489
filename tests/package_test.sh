#!/usr/bin/env bash
# The Debian package: built with scripts/package.sh, its file list and control
# fields checked, then checked as Debian checks packages (lintian, AppStream,
# the desktop entry, the systemd unit, the programs' hardening) and unpacked
# into a scratch folder where its tools log a simulated meter and export the
# recording, the logging service's command logs one, and the desktop entry's
# launcher starts the program in its folder. Last, the whole test suite runs
# on the hardened build. Too slow for CTest (a Release build of its own);
# .ci/run runs it after the tests.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-package-check-deps.sh

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

# DMM_PACKAGE_DEB=FILE checks a package built before instead (the suite on
# the hardened build is then left out).
if [ -n "${DMM_PACKAGE_DEB:-}" ]; then
    deb=$(readlink -f "$DMM_PACKAGE_DEB")
else
    deb=$(scripts/package.sh) || { echo "FAIL: scripts/package.sh"; exit 1; }
fi
version=$(sed -n 's/^project(dmmlogger VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "package file named dmmlogger_${version}_amd64.deb ($deb)" \
    test "$(basename "$deb")" = "dmmlogger_${version}_amd64.deb" -a -f "$deb"

# The file list.
listing=$(dpkg-deb -c "$deb")
paths=$(awk '{ sub(/^\./, "", $6); print $6 }' <<<"$listing")
programs=(dmmlogger dmm-sim dmm-decode dmm-export dmm-log)
appstream_id=org.example.dmmlogger
metainfo=/usr/share/metainfo/$appstream_id.metainfo.xml
unit=/usr/lib/systemd/user/dmm-log@.service
libexec=/usr/libexec/dmmlogger
expected=("$libexec/dmmlogger-launcher" /usr/share/applications/dmmlogger.desktop
    /usr/share/icons/hicolor/scalable/apps/dmmlogger.svg /usr/share/doc/dmmlogger/copyright
    /usr/share/doc/dmmlogger/changelog.gz /usr/share/doc/dmmlogger/README.md "$metainfo" "$unit"
    "$libexec/dmm-log-service" "$libexec/program-folder.sh")
for side in 16 22 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${side}x${side}/apps/dmmlogger.png")
done
for p in "${programs[@]}"; do
    expected+=("/usr/bin/$p" "/usr/share/man/man1/$p.1.gz")
done
for path in "${expected[@]}"; do
    check "package holds $path" grep -qxF "$path" <<<"$paths"
done
for p in "${programs[@]/#//usr/bin/}" "$libexec/dmmlogger-launcher" "$libexec/dmm-log-service"; do
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
    libqt6printsupport6 libqcustomplot2.1-qt6 libasound2 libsystemd0 libc6 libstdc++6; do
    check "Depends names $lib ($depends)" grep -qxF "$lib" <<<"$depend_names"
done

# Debian's package checker, every tag, the experimental ones too.
lintian_out=$(lintian -I -E --pedantic "$deb" 2>&1 |
    grep -vx 'running with root privileges is not recommended!')
check "lintian -I -E --pedantic prints nothing:
$lintian_out" test -z "$lintian_out"
changelog_version=$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xOf - ./usr/share/doc/dmmlogger/changelog.gz | gzip -dc | dpkg-parsechangelog -l - -S Version)
check "the changelog's entry is version $version (got $changelog_version)" \
    test "$changelog_version" = "$version"

# Unpacked, the tools run against the system's Qt.
root=$scratch/root
dpkg -x "$deb" "$root" || fail "dpkg -x"
help=$("$root/usr/bin/dmm-export" --help 2>&1)
check "dmm-export --help from the package (exit status)" "$root/usr/bin/dmm-export" --help
check "dmm-export --help prints its usage" grep -q '^Usage: .*dmm-export' <<<"$help"
for p in dmm-sim dmm-decode dmm-log; do
    check "$p --help from the package" "$root/usr/bin/$p" --help
done
# The helper scripts name the installed paths; here they must name the
# unpacked ones.
sed -i "s|/usr/|$root/usr/|g" "$root$libexec/dmm-log-service" "$root$libexec/dmmlogger-launcher"
check "stripped programs" bash -c '! file -L "$1"/usr/bin/* | grep -q "not stripped"' _ "$root"

# Hardening, as the programs were linked: PIE, read-only relocations bound at
# start (relro, bind-now), the stack protector and the fortified (_chk)
# versions of the C library's string and memory functions.
fortifiable='mem(cpy|move|set)|st(r|p)n?cpy|strn?cat|v?s?n?printf|v?fprintf|read|pread|recv|fgets|fread|realpath|getcwd|poll'
for p in "${programs[@]}"; do
    elf=$root/usr/bin/$p
    dynamic=$(readelf -d "$elf" 2>&1)
    symbols=$(readelf --dyn-syms -W "$elf" 2>&1)
    check "$p is a PIE" grep -Eq 'FLAGS_1.*PIE' <<<"$dynamic"
    check "$p is bound at start (BIND_NOW)" grep -Eq 'FLAGS.*BIND_NOW|FLAGS_1.* NOW' <<<"$dynamic"
    check "$p has read-only relocations (GNU_RELRO)" bash -c 'readelf -lW "$1" | grep -q GNU_RELRO' _ "$elf"
    check "$p uses the stack protector" grep -q ' __stack_chk_fail' <<<"$symbols"
    # As lintian judges it: a program calling a function that has a fortified
    # version must call some fortified one (the compiler keeps the plain call
    # where it proves the size).
    if grep -Eq " ($fortifiable)(@|\$)" <<<"$symbols"; then
        check "$p uses fortified functions" grep -Eq ' __[a-z0-9_]+_chk(@|$)' <<<"$symbols"
    fi
    check "$p has no empty RUNPATH entry (the current folder)" \
        bash -c '! grep -E "R(UN)?PATH.*(\[:|::|:\])" <<<"$1"' _ "$dynamic"
    check "$p carries no .comment section" bash -c '! readelf -SW "$1" | grep -q "\] \.comment "' _ "$elf"
done

# The AppStream metadata (also against the desktop entry it launches) and
# the desktop entry.
appstream_out=$(appstreamcli validate --no-net --pedantic "$root$metainfo" 2>&1)
check "appstreamcli validate --no-net --pedantic:
$appstream_out" appstreamcli validate --no-net --pedantic "$root$metainfo"
check "appstreamcli validate-tree --no-net" appstreamcli validate-tree --no-net "$root"
check "AppStream id names the metainfo file" grep -q "<id>$appstream_id</id>" "$root$metainfo"
check "AppStream launches dmmlogger.desktop" \
    grep -q '<launchable type="desktop-id">dmmlogger.desktop</launchable>' "$root$metainfo"
for p in "${programs[@]}"; do
    check "AppStream provides $p" grep -q "<binary>$p</binary>" "$root$metainfo"
done

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

# The logging service. systemd checks the unit as installed (its command and
# manual page from the unpacked package, their paths rewritten to it).
unit_copy=$scratch/unit/dmm-log@.service
mkdir -p "$(dirname "$unit_copy")"
sed "s|/usr/|$root/usr/|g" "$root$unit" >"$unit_copy"
verify_out=$(MANPATH=$root/usr/share/man systemd-analyze verify "$unit_copy" 2>&1)
check "systemd-analyze verify dmm-log@.service:
$verify_out" test -z "$verify_out"
# The sandbox's exposure, as systemd rates a user unit (0 safe .. 10 unsafe).
if systemd-analyze --help 2>/dev/null | grep -q -- --offline; then
    mkdir -p -m 700 "$scratch/analyze-runtime"
    cp "$unit_copy" "$scratch/unit/dmm-log@score.service"
    security_out=$(cd "$scratch/unit" && XDG_RUNTIME_DIR=$scratch/analyze-runtime \
        systemd-analyze security --user --offline=true dmm-log@score.service 2>&1)
    score=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$security_out")
    echo "systemd-analyze security: ${score:-no score}"
    check "the unit's exposure is at most 2.5 (got ${score:-none}):
$(tail -5 <<<"$security_out")" awk -v s="${score:-99}" 'BEGIN { exit !(s <= 2.5) }'
else
    echo "SKIP: systemd-analyze has no --offline (systemd older than 250): no security score"
fi

# A service needs a user session, which a test does not have: the unit's
# command line, expanded as systemd expands it for an instance, runs in a
# scratch home against the simulator and is stopped with SIGTERM as
# systemctl stop does. Its files must then open as a recording.
# service_run NAME INSTANCE LINK CONF FOLDER BASE: LINK is where the
# simulator's port appears, CONF what ~/.config/dmm-log/INSTANCE.conf holds
# (none when empty), FOLDER (under the scratch home) and BASE where and under
# which name the files are expected.
service_exec_line() { # INSTANCE HOME
    local line
    line=$(sed -n 's/^ExecStart=//p' "$unit_copy")
    line=${line//%I/$(systemd-escape --unescape "$1")}
    line=${line//%i/$1}
    printf '%s\n' "${line//%h/$2}"
}
service_run() {
    local name=$1 instance=$2 link=$3 conf=$4 folder=$scratch/service-$1/$5 base=$6
    local home=$scratch/service-$name
    mkdir -p "$home/Documents/DMM Logger" "$(dirname "$link")"
    if [ -n "$conf" ]; then
        mkdir -p "$home/.config/dmm-log"
        printf '%b\n' "$conf" >"$home/.config/dmm-log/$instance.conf"
    fi
    local exec_line
    exec_line=$(service_exec_line "$instance" "$home")

    "$root/usr/bin/dmm-sim" --link "$link" --scenario steady --period 100 \
        >"$scratch/sim-$name.out" 2>&1 &
    local sim=$!
    pids+=("$sim")
    if ! wait_for 10 grep -q ready "$scratch/sim-$name.out"; then
        fail "service $name: dmm-sim did not get ready: $(cat "$scratch/sim-$name.out")"
        return
    fi
    (
        cd / || exit 1
        eval "exec env -i PATH=/usr/bin:/bin HOME=\"\$home\" $exec_line"
    ) 2>"$scratch/service-$name.err" &
    local service=$!
    pids+=("$service")
    wait_for 15 bash -c 'c=("$1"/*.csv); [ -f "$c" ] && [ "$(wc -l <"$c")" -ge 4 ]' _ "$folder"
    local cmdline
    cmdline=$(tr '\0' ' ' <"/proc/$service/cmdline" 2>/dev/null)
    check "service $name runs dmm-log in the program's folder" \
        test "$(readlink "/proc/$service/cwd")" = "$home/Documents/DMM Logger"
    if [ -n "$conf" ]; then
        check "service $name reads its conf file ($cmdline)" \
            grep -qF -- "--conf $home/.config/dmm-log/$instance.conf" <<<"$cmdline"
    else
        check "service $name logs at Full Speed ($cmdline)" grep -q -- "--interval 0 " <<<"$cmdline"
    fi
    kill -TERM "$service"
    wait "$service"
    local status=$?
    check "service $name ends with 0 on SIGTERM (got $status): $(cat "$scratch/service-$name.err")" \
        test "$status" -eq 0
    check "service $name reports its run on standard error" \
        grep -q 'readings logged' "$scratch/service-$name.err"
    kill "$sim" 2>/dev/null
    wait "$sim" 2>/dev/null

    local g52 csvs
    g52=("$folder/${base}"_*.g52)
    csvs=("$folder/${base}"_*.csv)
    check "service $name wrote one recording named after $base and the start time (${g52[*]})" \
        bash -c '[ $# -eq 1 ] && [[ "$1" =~ /'"$base"'_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\.g52$ ]]' _ "${g52[@]}"
    check "service $name wrote one CSV file beside it (${csvs[*]})" \
        test "${#csvs[@]}" -eq 1 -a "${csvs[0]%.csv}" = "${g52[0]%.g52}"
    local info records lines
    info=$("$root/usr/bin/dmm-export" --info "${g52[0]}" 2>&1)
    records=$(sed -n 's/^{"records":\([0-9]*\),.*/\1/p' <<<"$info")
    lines=$(($(wc -l <"${csvs[0]}") - 1))
    check "service $name: the recording opens with at least 3 records ($info)" \
        test "${records:-0}" -ge 3
    check "service $name: the CSV file holds as many readings ($lines) as the recording ($records)" \
        test "$lines" -eq "${records:-0}"
}
service_run com COM1 "$scratch/service-com/Documents/DMM Logger/COM1" "INTERVAL=1" \
    "Documents/DMM Logger" COM1
device=$scratch/dev/ttySIM0
service_run device "$(systemd-escape --path "$device")" "$device" "" "Documents/DMM Logger" ttySIM0
# A named instance: its port (a path no instance name could hold) and folder
# from its conf file.
byid="$scratch/dev/serial/by-id/usb-Test_Meter-if00-port0"
service_run named bench "$byid" "# the bench meter\nPORT=$byid\nINTERVAL=1\nSEPARATOR=;\nFOLDER=~/Documents/Bench" \
    Documents/Bench bench

# service_fail NAME INSTANCE CONF STATUS TEXT: the service's command ends
# with STATUS, TEXT in its standard error (the journal).
service_fail() {
    local name=$1 instance=$2 conf=$3 want=$4 text=$5 home=$scratch/service-$1
    mkdir -p "$home/.config/dmm-log"
    [ -n "$conf" ] && printf '%b\n' "$conf" >"$home/.config/dmm-log/$instance.conf"
    local exec_line err status
    exec_line=$(service_exec_line "$instance" "$home")
    err=$(cd / && eval "env -i PATH=/usr/bin:/bin HOME=\"\$home\" $exec_line" 2>&1 >/dev/null)
    status=$?
    echo "service $name, the journal: $err"
    check "service $name ends with $want (got $status)" test "$status" -eq "$want"
    check "service $name says '$text' ($err)" grep -qF -- "$text" <<<"$err"
}
service_fail badconf bench "PORT=COM1\nINTERVAL=10s" 1 \
    "$scratch/service-badconf/.config/dmm-log/bench.conf:2: INTERVAL=10s: needs whole seconds"
service_fail noport COM7 "" 2 "Device tried: /dev/ttyS6 (there is no link COM7 in"
service_fail nodevice meter "PORT=$scratch/dev/ttyUSB9" 2 "$scratch/dev/ttyUSB9: No such file"

# The desktop entry.
entry=$root/usr/share/applications/dmmlogger.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
check "Exec runs the launcher ($exec_line)" test "$exec_line" = "$libexec/dmmlogger-launcher"
check "Icon=dmmlogger" grep -qx 'Icon=dmmlogger' "$entry"
check "in the Science menu" grep -Eq '^Categories=(.*;)?Science;' "$entry"
out=$(desktop-file-validate "$entry" 2>&1)
check "desktop-file-validate: $out" test -z "$out"
check "Keywords" grep -qx 'Keywords=multimeter;DMM;logger;serial;RS-232;' "$entry"
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
        XDG_RUNTIME_DIR="$scratch/runtime" "$root$libexec/dmmlogger-launcher" \
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
    bash -c '! env -i PATH=/usr/bin:/bin "$1"' _ "$root$libexec/dmmlogger-launcher"

# The whole test suite on the hardened build the package came from.
if [ -n "${DMM_PACKAGE_DEB:-}" ]; then
    echo "SKIP: the suite on the hardened build (DMM_PACKAGE_DEB given)"
elif cmake --build build-package -j2 >"$scratch/build-tests.log" 2>&1; then
    if ctest --test-dir build-package -j2 --output-on-failure >"$scratch/ctest.log" 2>&1; then
        pass
        # Every program built, tests and benchmarks included: no empty RUNPATH
        # entry, which would load libraries from the current folder.
        while IFS= read -r elf; do
            check "$elf has no empty RUNPATH entry" \
                bash -c '! readelf -d "$1" | grep -E "R(UN)?PATH.*(\[:|::|:\])"' _ "$elf"
        done < <(find build-package -type f -perm -u+x -exec sh -c \
            'head -c4 "$1" | grep -q ELF' _ {} \; -print)
    else
        fail "the test suite on the hardened build:
$(grep -A40 -E 'tests failed|\*\*\*Failed|Failed  ' "$scratch/ctest.log" | tail -60)"
    fi
else
    fail "building the tests hardened: $(tail -30 "$scratch/build-tests.log")"
fi

if ((failures > 0)); then
    echo "package_test: $failures of $checks checks failed"
    exit 1
fi
echo "package_test: all $checks checks passed ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
