#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds TAVLO for 64-bit Windows, tests it under wine, and leaves in
# build/windows/ the portable folder as a zip and the installer:
#   tavlo-<version>-windows-x64.zip, tavlo-<version>-setup.exe
# Qt for Windows is built once into the cache (TAVLO_QT_WINDOWS, by default
# ${XDG_CACHE_HOME:-$HOME/.cache}/tavlo/qt-6.4.2-mingw64) and reused.
# The packages it needs are installed by build.sh windows.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
here=$top/dist/windows
out=$top/build/windows
qt=${TAVLO_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/tavlo/qt-6.4.2-mingw64}
jobs=$(nproc)
version=$(sed -n 's/^project(tavlo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

"$here/build-qt.sh" "$qt"

# The icon tool runs here during the cross build; the Linux tool and the
# simulated tracker are what the Windows programs are compared with and talk to.
echo "== Windows: the icon tool, the Linux tool and the simulator, for this machine"
cmake -S . -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$out/host" --parallel "$jobs" --target iconpixels tavlo-image tavlo-devsim

echo "== Windows: cross-building"
cmake -S . -B "$out/cross" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
    -DCMAKE_TOOLCHAIN_FILE="$here/toolchain-mingw64.cmake" \
    -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DTAVLO_HOST_ICONPIXELS="$out/host/src/ui/iconpixels" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh"
cmake --build "$out/cross" --parallel "$jobs"

echo "== Windows: the portable folder"
stage=$out/tavlo-$version-windows-x64
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles"
# Qt puts the programs of a Windows build beside each other, at the top.
cp "$out/cross/tavlo.exe" "$out/cross/tavlo-image.exe" "$stage/"
for dll in Qt6Core Qt6Gui Qt6Widgets; do
    cp "$qt/bin/$dll.dll" "$stage/"
done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
runtime=$("$here/mingw-runtime.sh")
for dll in $runtime; do
    cp "$dll" "$stage/"
done
cp "$out/cross/dist/windows/tavlo.ico" "$stage/"
# Windows readers open .txt files with a double click; line ends as Notepad wants them.
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
sed 's/$/\r/' "$here/README-windows.txt" | sed "s/@VERSION@/$version/" >"$stage/README.txt"
# The Qt libraries find their plugins beside the program.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n' >"$stage/qt.conf"
zip=$out/tavlo-$version-windows-x64.zip
rm -f "$zip"
(cd "$out" && zip -qr9 "$zip" "$(basename "$stage")")

echo "== Windows: the installer"
filelist=$out/uninstall-files.nsh
(
    cd "$stage"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g' | while read -r f; do
        printf 'Delete "$INSTDIR\\%s"\n' "$f"
    done
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g' | while read -r d; do
        printf 'RMDir "$INSTDIR\\%s"\n' "$d"
    done
) >"$filelist"
setup=$out/tavlo-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" -DFILELIST="$filelist" \
    "$here/tavlo.nsi"

if [ "${TAVLO_WINDOWS_TESTS:-1}" = 1 ]; then
    "$here/test-windows.sh" "$out" "$stage" "$setup"
fi
echo "Built:"
echo "    $zip"
echo "    $setup"
