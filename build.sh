#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and runs TAVLO on Debian 12.
#   ./build.sh run      install what is missing, build the window program, start it
#   ./build.sh test     install what is missing, check formatting, build, run every test
#                       (a normal build, then one under AddressSanitizer and UBSan with
#                       the fuzzers)
#   ./build.sh package  install what is missing, build build/tavlo_<version>_<arch>.deb
#                       and check it
#   ./build.sh windows  install what is missing, build Qt for Windows once (into a cache
#                       outside the checkout), cross-build for Windows, test under wine,
#                       and leave a zip and an installer in build/windows/
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in
run | test | package | windows) ;;
*)
    echo "usage: $0 [run|test|package|windows]" >&2
    exit 2
    ;;
esac

# libxkbcommon-dev only quiets Qt's "Could NOT find XKB" at every configure.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
    libxkbcommon-dev fonts-dejavu-core)
case "$mode" in
# libxcb1-dev and libxcb-damage0-dev: the start-up benchmark watches the display.
# The rest: the accessibility tree is read as a screen reader reads it.
test) packages+=(clang libclang-rt-14-dev clang-format clang-tidy libxcb1-dev libxcb-damage0-dev
    xvfb xauth dbus-daemon libglib2.0-bin at-spi2-core python3-pyatspi) ;;
package) packages+=(dpkg-dev file lintian desktop-file-utils appstream groff-base) ;;
# The cross compiler, Qt's host tools and source, wine, NSIS, and what the
# Windows tests look at the window with.
windows) packages+=(qt6-base-dev-tools g++-mingw-w64-x86-64-posix dpkg-dev wine64 nsis zip
    fonts-wine python3 xvfb xauth x11-utils x11-apps) ;;
esac

missing=()
for p in "${packages[@]}"; do
    # A package dpkg does not know prints an error, which does not match either.
    if ! dpkg-query -W -f='${Status}' "$p" 2>&1 | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    # sudo drops the environment: the non-interactive front end goes on its command line.
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
# Optimised, with the lines of the source for a backtrace: the debugger's
# full view of variables (-g) costs a quarter of the compile time more.
optimised="-O2 -g1 -DNDEBUG"

if [ "$mode" = run ]; then
    echo "== Build"
    # As the tests build it (one compiler run a library), so switching does not rebuild.
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$optimised" -DCMAKE_UNITY_BUILD=ON
    cmake --build build --parallel "$jobs" --target tavlo tavlo-image tavlo-devsim
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        cat >&2 <<EOT
There is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run ./build.sh run from a desktop session, or log in with "ssh -X". The programs are built:
    build/src/app/tavlo                the window
    build/tools/image/tavlo-image      the command-line tool, which needs no display
    build/tools/devsim/tavlo-devsim    the simulated device
EOT
        exit 1
    fi
    exec build/src/app/tavlo
fi

if [ "$mode" = package ]; then
    exec dist/debian/build-deb.sh
fi

if [ "$mode" = windows ]; then
    exec dist/windows/build-windows.sh
fi

echo "== Formatting"
files=$(git ls-files '*.cpp' '*.h' 2>&1) || files=$(find src tools tests -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files

# Two processors build two trees and run two test sets: the tests mostly wait
# on real ticks, so each set runs while the processors do the next piece of
# work, its report kept in a file and shown when it ends.
background=()
stopBackground() {
    # Each set runs in a session of its own: stopping it stops its
    # simulators and test programs too.
    for pid in "${background[@]}"; do
        if [ -e "/proc/$pid" ]; then kill -- "-$pid" || true; fi
    done
}
trap stopBackground EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The device tests spend their time waiting on real ticks, not on the
# processor: they run side by side even on two processors.
testJobs=$((jobs > 6 ? jobs : 6))

# startTests TREE: runs TREE's tests in the background; TREE/tests.log gets the report.
startTests() {
    setsid ctest --test-dir "$1" --output-on-failure -j "$testJobs" >"$1/tests.log" 2>&1 &
    background+=("$!")
}
# finishTests TREE TITLE: waits for TREE's tests, shows their report, stops on a failure.
finishTests() {
    local status=0
    wait "${background[-1]}" || status=$?
    unset 'background[-1]'
    echo "== $2"
    cat "$1/tests.log"
    [ "$status" -eq 0 ] || exit "$status"
}

echo "== Build"
# One compiler run for several sources of a library (a unity build): the Qt
# headers are read once for all of them, which more than halves the time.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLO_WERROR=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$optimised" -DCMAKE_UNITY_BUILD=ON
cmake --build build --parallel "$jobs"

echo "== Tests: started, the report follows the next build"
startTests build

echo "== Build under AddressSanitizer and UBSan, with the fuzzers"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTAVLO_SANITIZE=ON -DTAVLO_FUZZ=ON -DTAVLO_WERROR=ON -DCMAKE_UNITY_BUILD=ON
cmake --build build-asan --parallel "$jobs"
finishTests build "Tests"

echo "== Tests under AddressSanitizer and UBSan: started, the report follows clang-tidy"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
startTests build-asan

echo "== clang-tidy: no function above cognitive complexity 15 or 50 lines"
# The unity sources of the programs and libraries: each reads its .cpp files
# once, and findings in them count as in headers.
run-clang-tidy -quiet -p build -j "$jobs" -header-filter="^$PWD/(src|tools)/.*\.(h|cpp)\$" \
    "$PWD/build/(src|tools)/.*/unity_[0-9]+_cxx\.cxx\$" >build/clang-tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build/clang-tidy.log >&2; exit 1; }
grep -q 'unity_0_cxx' build/clang-tidy.log || { echo "clang-tidy checked nothing" >&2; exit 1; }

finishTests build-asan "Tests under AddressSanitizer and UBSan, with the fuzzers"
