#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds build/tavlo_<version>_<arch>.deb in a release build of its own, with
# Debian's hardening flags and without the tests, then checks it as a
# distribution would: lintian, the desktop entry, the metainfo, and the
# unpacked programs.
set -euo pipefail
cd "$(dirname "$0")/../.."

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build build-deb --parallel "$(nproc)"
(cd build-deb && cpack -G DEB)
mkdir -p build
deb=$(ls -t build-deb/tavlo_*.deb | head -n 1)
mv "$deb" build/
deb=build/$(basename "$deb")
echo "== Built $deb"

echo "== lintian"
lintian --info --fail-on error "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"

echo "== desktop-file-validate"
desktop-file-validate "$scratch"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$scratch"/usr/share/metainfo/*.metainfo.xml
echo "== man pages"
for page in "$scratch"/usr/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -Tutf8 2>&1 >"$scratch/page.txt")
    if [ -n "$warnings" ]; then
        echo "$page: $warnings" >&2
        exit 1
    fi
done
echo "== The unpacked programs"
for program in tavlo tavlo-image tavlo-devsim; do
    "$scratch/usr/bin/$program" --version | head -n 1
done
echo "== $deb is ready: sudo apt install ./$deb"
