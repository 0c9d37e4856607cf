#!/usr/bin/env python3
"""Converts a screen dump of xwd (X Window Dump, 24 or 32 bits per pixel, as
Xvfb's screen gives it) to PNG, cut to the part that is not black (the bare
root window around the windows), with the standard library only.
usage: xwd_to_png.py IN.xwd OUT.png"""
import struct
import sys

from bmp_to_png import write_png


def main(source, target):
    data = open(source, "rb").read()
    fields = struct.unpack_from(">25I", data, 0)
    header_size, version, _, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    colours = fields[19]
    if version != 7 or bits_per_pixel not in (24, 32):
        sys.exit(f"{source}: xwd version {version}, {bits_per_pixel} bits per pixel; only version 7 with 24 or 32 are read")
    offset = header_size + colours * 12
    step = bits_per_pixel // 8
    # Pixels are blue, green, red in the low bytes when the byte order is LSB first.
    order = (2, 1, 0) if byte_order == 0 else ((1, 2, 3) if step == 4 else (0, 1, 2))
    pixels = []
    for y in range(height):
        line = data[offset + y * bytes_per_line:offset + y * bytes_per_line + width * step]
        row = bytearray(width * 3)
        for i in range(3):
            row[i::3] = line[order[i]::step]
        pixels.append(bytes(row))
    lit = [(x, y) for y, row in enumerate(pixels) for x in range(0, width, 4) if any(row[x * 3:x * 3 + 3])]
    if not lit:
        sys.exit(f"{source}: the screen is black")
    left = max(min(x for x, _ in lit) - 4, 0)
    right = min(max(x for x, _ in lit) + 4, width)
    top, bottom = min(y for _, y in lit), max(y for _, y in lit) + 1
    rows = [b"\0" + pixels[y][left * 3:right * 3] for y in range(top, bottom)]
    write_png(target, right - left, bottom - top, rows)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
