#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A benchmark, not a test: the same write of a 127-byte image by the Linux
# tool and by tavlo-image.exe under wine, each against a simulated tracker,
# timed where the device sees the bytes (the simulator's log): the write's
# span from ESC "D" to the last filler byte, against its 190 ticks, and the
# smallest and median gap between two bytes, against the 10 ms tick.
#   bench-windows.sh [runs]     after ./build.sh windows
# Wine runs in a private mount namespace with the serial nodes covered, as
# in the Windows tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$top/build/windows
if [ "${1:-}" != --inside ]; then
    if [ "$(id -u)" -eq 0 ]; then
        exec unshare -m "$0" --inside "$@"
    fi
    exec unshare -rm "$0" --inside "$@"
fi
shift
runs=${1:-3}
mount --make-rprivate /
cover=$(mktemp -d)
for node in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$node" ] || continue
    : >"$cover/${node##*/}"
    mount --bind "$cover/${node##*/}" "$node"
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$out/bench-wine
wine=/usr/lib/wine/wine64
stage=$(ls -d "$out"/tavlo-*-windows-x64 | head -n 1)
work=$(mktemp -d)
trap '/usr/lib/wine/wineserver -k || true; kill $(jobs -p) || true
    find "$WINEPREFIX/dosdevices" -maxdepth 1 -name "com*" -type l -delete || true' EXIT
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i >"$work/wineboot.log" 2>&1
image=$top/tests/data/worked-example.bin

# The gaps between the image and filler bytes in a simulator's log.
measure() {
    python3 - "$1" <<'EOF'
import re, statistics, sys
times = []
writing = False
for line in open(sys.argv[1]):
    m = re.match(r"\s*([\d.]+) (.*)", line)
    if not m:
        continue
    if m.group(2) == "write mode":
        writing, times = True, []
    elif writing and m.group(2).startswith("< "):
        times += [float(m.group(1))] * len(m.group(2).split()[1:])
times = times[:190]
gaps = [b - a for a, b in zip(times, times[1:])]
print("%8.1f ms span (%+.2f%%)  smallest gap %6.2f ms  median %6.2f ms" % (
    times[-1] - times[0], 100 * ((times[-1] - times[0]) / 1890 - 1), min(gaps),
    statistics.median(gaps)))
EOF
}

# A simulated tracker for one run; its port in $port. Started here, not in a
# subshell, so that the end of the script ends it.
sim() {
    "$out/host/tools/devsim/tavlo-devsim" --log "$1" >"$1.port" 2>"$1.err" &
    for _ in $(seq 50); do [ -s "$1.port" ] && break; sleep 0.1; done
    port=$(head -n 1 "$1.port")
}
for run in $(seq "$runs"); do
    sim "$work/linux$run.log"
    "$out/host/tools/image/tavlo-image" write --quiet --settle 0 --port "$port" "$image"
    printf 'Linux, run %d:  %s\n' "$run" "$(measure "$work/linux$run.log")"
    sim "$work/wine$run.log"
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$port" /f >>"$work/reg.log" 2>&1
    /usr/lib/wine/wineserver -k
    "$wine" "$stage/tavlo-image.exe" write --quiet --settle 0 --port COM1 "$image"
    printf 'wine,  run %d:  %s\n' "$run" "$(measure "$work/wine$run.log")"
done
