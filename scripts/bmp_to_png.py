#!/usr/bin/env python3
"""Converts a 24-bit uncompressed BMP (as the Windows tests write their
screenshots) to PNG, with the standard library only.
usage: bmp_to_png.py IN.bmp OUT.png"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{source}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        sys.exit(f"{source}: {bits} bits per pixel; only 24 are read")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        # Rows run bottom-up when the height is positive.
        row = height - 1 - y if height > 0 else y
        start = offset + row * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))

    write_png(target, width, abs(height), rows)


def write_png(target, width, height, rows):
    """Writes an 8-bit RGB PNG; each row is b"\\0" (no filter) and its RGB bytes."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
    open(target, "wb").write(png + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
