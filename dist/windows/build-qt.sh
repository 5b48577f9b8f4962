#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6.4.2 for 64-bit Windows from Debian's own qt6-base source, once,
# into a cache outside the checkout that every clone and every later run
# reuses: QtCore, QtGui, QtWidgets, QtTest and the qwindows platform plugin.
#   build-qt.sh PREFIX
# The machine's apt configuration is left as it is: the source is fetched
# through a source list of the cache's own.
set -euo pipefail
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && exit 0

work="$prefix.build"
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources.list.d" "$work/src"
cat >"$work/apt/sources.list" <<SOURCES
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
SOURCES
apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
    -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
    -o "Dir::State::Lists=$work/apt/lists")
echo "== Qt for Windows: fetching Debian's qt6-base source"
apt-get "${apt[@]}" update
(cd "$work/src" && apt-get "${apt[@]}" source --only-source qt6-base=6.4.2+dfsg-10)
source=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$source" ] || { echo "no qt6-base source was unpacked" >&2; exit 1; }

echo "== Qt for Windows: configuring"
mkdir -p "$work/build"
cd "$work/build"
# Debian's repacked source lacks src/3rdparty/wintab: no tablet events.
"$source/configure" -prefix "$prefix" -release -xplatform win32-g++ -qt-host-path /usr \
    -nomake examples -nomake tests -no-opengl -no-dbus -no-icu \
    -no-feature-sql -no-feature-network -no-feature-tabletevent \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
echo "== Qt for Windows: building (about half an hour on two processors, once)"
cmake --build . --parallel "$(nproc)"
cmake --install .
cd /
rm -rf "$work"
