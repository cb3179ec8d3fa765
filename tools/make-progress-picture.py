#!/usr/bin/env python3
"""Writes resources/progress.bmp, the picture of the progress window: a tiling of triangles in
teal and sand colours, 48 x 48 pixels, 24 bits per pixel, bottom-up rows as BMP files keep them.

Run from the repository's root after changing the drawing; the .bmp file is committed."""
import struct
import sys

SIZE = 48
TILE = 12
COLOURS = [(0x1F, 0x6F, 0x78), (0x2A, 0x9D, 0x8F), (0xE9, 0xC4, 0x6A), (0xF4, 0xA2, 0x61)]
EDGE = (0x26, 0x46, 0x53)


def pixel(x, y):
    """Colour of pixel (x, y), y counted from the top."""
    col, row = x // TILE, y // TILE
    u, v = x % TILE, y % TILE
    if u == 0 or v == 0 or u == v:
        return EDGE
    upper = u > v  # each square is cut along its diagonal into two triangles
    index = (col + 2 * row + (1 if upper else 0)) % len(COLOURS)
    return COLOURS[index]


def bmp_bytes():
    stride = (SIZE * 3 + 3) & ~3
    rows = []
    for y in range(SIZE - 1, -1, -1):
        row = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + bits


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "resources/progress.bmp"
    with open(path, "wb") as out:
        out.write(bmp_bytes())


if __name__ == "__main__":
    main()
