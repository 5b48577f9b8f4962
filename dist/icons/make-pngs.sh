#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG icons from tavlo.svg; run it after changing the SVG and
# commit the PNGs with it (needs rsvg-convert, from librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" tavlo.svg --output "tavlo-$size.png"
done
