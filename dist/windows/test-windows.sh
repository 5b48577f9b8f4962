#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows programs under wine: the cross-built tests, the portable
# folder's tavlo-image.exe against simulated trackers reached as COM ports,
# the window on a virtual display, and the installer.
#   test-windows.sh OUT STAGE SETUP
# Everything runs in a private mount namespace in which each serial device
# node of this machine is covered by an empty file, in a fresh wine prefix
# inside OUT whose COM names lead to simulator pseudo-terminals only: wine
# maps every /dev/ttyS* it sees to a COM name, and no test may reach a real
# port.
set -euo pipefail

if [ "${1:-}" != --inside ]; then
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare -m "$0" --inside "$@"
    fi
    exec unshare -rm "$0" --inside "$@"
fi
shift
out=$1
stage=$2
setup=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
here=$top/dist/windows
qt=${TAVLO_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/tavlo/qt-6.4.2-mingw64}

serialNodes() {
    local node
    for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
        [ -e "$node" ] && echo "$node"
    done
    return 0
}

mount --make-rprivate /
cover=$(mktemp -d)
for node in $(serialNodes); do
    : >"$cover/${node##*/}"
    mount --bind "$cover/${node##*/}" "$node"
done
for node in $(serialNodes); do
    if [ -c "$node" ]; then
        echo "test-windows.sh: $node is still a device here; not running wine" >&2
        exit 1
    fi
done

export TAVLO_WINE_SAFE=1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$out/wine
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$out/trial
logs=$out/trial-logs
sims=()

cleanUp() {
    "$wineserver" -k || true
    for pid in "${sims[@]}"; do
        kill "$pid" || true
    done
    # The prefix keeps no link to a serial device node for a later wine run
    # outside this namespace to follow.
    [ -d "$WINEPREFIX/dosdevices" ] &&
        find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete
    return 0
}
trap cleanUp EXIT

echo "== Windows tests: a fresh wine prefix"
"$wineserver" -k || true
rm -rf "$WINEPREFIX" "$work" "$logs"
mkdir -p "$work" "$logs"
"$wine" wineboot -i >"$logs/wineboot.log" 2>&1

# Four simulated trackers: two that work, one that corrupts byte 40 of every
# answer, one that never answers.
devsim=$out/host/tools/devsim/tavlo-devsim
# Started here, not in a subshell, so that cleanUp() knows them all.
startSim() {
    local log=$logs/sim$1.log
    shift
    "$devsim" --log "$log" "$@" >"$log.port" 2>"$log.err" &
    sims+=($!)
    for _ in $(seq 50); do
        [ -s "$log.port" ] && break
        sleep 0.1
    done
    ports+=("$(head -n 1 "$log.port")")
}
ports=()
startSim 1
startSim 2
startSim 3 --corrupt 40
startSim 4 --silent
for i in 1 2 3 4; do
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$i" /t REG_SZ /d "${ports[$((i - 1))]}" /f \
        >>"$logs/reg.log" 2>&1
done
"$wineserver" -k # the COM names take effect at wine's next start

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

echo "== Windows tests: the cross-built test programs"
runtime=$(dirname "$("$here/mingw-runtime.sh" | head -n 1)")
pthread=$(dirname "$("$here/mingw-runtime.sh" | tail -n 1)")
export WINEPATH="Z:${qt//\//\\}\\bin;Z:${runtime//\//\\};Z:${pthread//\//\\}"
export QT_PLUGIN_PATH="Z:${qt//\//\\}\\plugins"
rm -f "$out/cross/"tst_*.log
check "ctest under wine" ctest --test-dir "$out/cross" -j 2 --timeout 600
# What failed, from the reports the test programs wrote.
cat "$out/cross/"tst_*.log | grep -A3 '^FAIL!' || true
unset WINEPATH QT_PLUGIN_PATH

echo "== Windows tests: the portable folder's tavlo-image.exe"
linuxTool=$out/host/tools/image/tavlo-image
tool() {
    "$wine" "$stage/tavlo-image.exe" "$@"
}
json=$top/tests/data/worked-example.json
image=$top/tests/data/worked-example.bin
cd "$work"
sameAsLinux() {
    local command=$1
    shift
    tool "$command" "$@" >"$logs/win-$command.out" 2>>"$logs/tool.err"
    "$linuxTool" "$command" "$@" >"$logs/linux-$command.out" 2>>"$logs/tool.err"
    cmp -s "$logs/win-$command.out" "$logs/linux-$command.out"
}
check "encode as on Linux" sh -c "'$wine' '$stage/tavlo-image.exe' encode '$json' win.bin &&
    '$linuxTool' encode '$json' '$logs/linux.bin' && cmp -s win.bin '$logs/linux.bin'"
check "decode as on Linux" sameAsLinux decode "$image"
check "show as on Linux" sameAsLinux show "$image"
check "check as on Linux" sameAsLinux check "$json"
check "ports lists COM1 to COM4" sh -c "'$wine' '$stage/tavlo-image.exe' ports |
    grep -c '^COM[1-4]' | grep -qx 4"

status() {
    set +e
    "$@" >>"$logs/tool.out" 2>>"$logs/tool.err"
    echo $?
    set -e
}
check "write through COM1 is verified" test "$(status tool write --settle 0 --port COM1 "$image")" = 0
check "read through COM1 holds the image" sh -c "'$wine' '$stage/tavlo-image.exe' read \
    --settle 0 --port COM1 read1.bin 2>>'$logs/tool.err' && cmp -s read1.bin '$image'"
check "read through COM2" test "$(status tool read --settle 0 --port COM2 before2.bin)" = 0
check "write through COM2 with a backup" test \
    "$(status tool write --settle 0 --port COM2 --backup backup2.bin "$image")" = 0
check "the backup is what COM2's device held" cmp -s backup2.bin before2.bin
check "verify through COM2" test "$(status tool verify --settle 0 --port COM2 "$image")" = 0
cp "$image" kept.bin
ls -l --time-style=full-iso >"$logs/before.txt"
check "a corrupting device fails the write" test \
    "$(status tool write --settle 0 --port COM3 kept.bin)" = 1
ls -l --time-style=full-iso >"$logs/after.txt"
check "and touches no file" cmp -s "$logs/before.txt" "$logs/after.txt"
check "a silent device fails the read" test "$(status tool read --settle 0 --port COM4 no.bin)" = 3
check "and leaves no file" test ! -e no.bin
check "a port that is not there" test "$(status tool read --settle 0 --port COM9 no.bin)" = 3
check "a device name is no file" test "$(status tool encode "$json" NUL.bin)" = 1

echo "== Windows tests: the window on a virtual display"
rm -f "$out/window.png"
# Wine's session so far has no display; the window's needs the virtual one.
"$wineserver" -k || true
xvfb-run -a -s "-screen 0 800x600x24" sh -c "
    '$wine' '$stage/tavlo.exe' '$image' & app=\$!
    for _ in \$(seq 120); do
        xwininfo -root -tree 2>>'$logs/x.err' | grep 'Tavlo feeder' | grep -q 'worked-example.bin' &&
            break
        sleep 0.5
    done
    sleep 2
    xwininfo -root -tree | grep 'Tavlo feeder' > '$logs/window.txt'
    xwd -root -silent > '$logs/window.xwd' && python3 '$here/xwd2png.py' '$logs/window.xwd' \
        '$out/window.png'
    kill \$app
    '$wineserver' -k
" || true
check "the window maps with its title and the file opened" grep -q 'worked-example.bin' \
    "$logs/window.txt"
check "a screenshot of it" test -s "$out/window.png"

echo "== Windows tests: the installer"
installed=$WINEPREFIX/drive_c/TAVLO-test
check "a silent install" "$wine" "$setup" /S '/D=C:\TAVLO-test'
check "with its programs and an uninstaller" test -f "$installed/tavlo.exe" -a \
    -f "$installed/tavlo-image.exe" -a -f "$installed/uninstall.exe" -a \
    -f "$installed/platforms/qwindows.dll"
check "registered with Windows" sh -c "'$wine' reg query \
    'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TAVLO' /v UninstallString \
    2>>'$logs/reg.log' | grep -q uninstall.exe"
check "the installed tool answers --version" sh -c "'$wine' '$installed/tavlo-image.exe' \
    --version | grep -q '^tavlo-image '"
check "a silent uninstall" "$wine" "$installed/uninstall.exe" /S '_?=C:\TAVLO-test'
check "leaves nothing" test ! -e "$installed/tavlo.exe"

if [ "$failures" -gt 0 ]; then
    echo "$failures Windows tests failed" >&2
    exit 1
fi
echo "All Windows tests passed; the window: $out/window.png"
