#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A screenshot from xwd (a 24- or 32-bit TrueColor dump) as a PNG, with the
standard library alone.  xwd2png.py IN.xwd OUT.png"""
import struct
import sys
import zlib


def main():
    data = open(sys.argv[1], "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        raise SystemExit("xwd2png.py: only 24 or 32 bits a pixel")
    step = bits_per_pixel // 8
    pixels = data[header_size + 12 * ncolors:]
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + step * width]
        row = bytearray(b"\0")
        for x in range(width):
            p = line[step * x:step * x + step]
            # LSBFirst: B G R (x); MSBFirst: (x) R G B.
            row += bytes((p[2], p[1], p[0])) if byte_order == 0 else bytes(p[-3:])
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(sys.argv[2], "wb").write(png)
    del depth


main()
