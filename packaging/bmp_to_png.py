#!/usr/bin/env python3
"""Converts an uncompressed 24- or 32-bit BMP (the program's icon) to PNG.

    bmp_to_png.py IN.bmp OUT.png

Only the standard library: the build needs no imaging package for it.
"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise SystemExit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise SystemExit(f"{path}: only uncompressed 24- or 32-bit pictures are supported")
    bottom_up = height > 0
    height = abs(height)
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(height):
        src = height - 1 - y if bottom_up else y
        line = data[offset + src * stride: offset + src * stride + width * step]
        rgb = bytearray()
        for x in range(width):
            b, g, r = line[x * step: x * step + 3]
            rgb += bytes((r, g, b))
        rows.append(bytes(rgb))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    w, h, r = read_bmp(sys.argv[1])
    write_png(sys.argv[2], w, h, r)
