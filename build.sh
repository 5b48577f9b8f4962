#!/usr/bin/env bash
# Sets up, builds and runs TAVLO on Debian 12.
#   ./build.sh run    install what is missing, build, start the window
#   ./build.sh test   install what is missing, check formatting, build, run every test
#                     (a normal build, then one under AddressSanitizer and UBSan with
#                     the decoder fuzzer)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in
run | test) ;;
*)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-qpa-plugins)
if [ "$mode" = test ]; then
    packages+=(clang libclang-rt-14-dev clang-format)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)

if [ "$mode" = test ]; then
    echo "== Formatting"
    files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tools tests -name '*.cpp' -o -name '*.h')
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $files
fi

echo "== Build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$jobs"

if [ "$mode" = run ]; then
    exec build/src/app/tavlo
fi

echo "== Tests"
ctest --test-dir build --output-on-failure

echo "== Tests under AddressSanitizer and UBSan, with the decoder fuzzer"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DTAVLO_SANITIZE=ON -DTAVLO_FUZZ=ON
cmake --build build-asan --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure
