#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Packs PNG pictures into one Windows icon file, each as it is.
    make-ico.py OUT.ico tavlo-16.png tavlo-32.png ..."""
import struct
import sys


def size_of(png):
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        raise SystemExit("make-ico.py: not a PNG")
    return struct.unpack(">II", png[16:24])


def main():
    out, names = sys.argv[1], sys.argv[2:]
    pictures = [open(name, "rb").read() for name in names]
    header = struct.pack("<HHH", 0, 1, len(pictures))
    entries = b""
    offset = 6 + 16 * len(pictures)
    for png in pictures:
        width, height = size_of(png)
        # 0 stands for 256 pixels.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png),
                               offset)
        offset += len(png)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(pictures))


main()
