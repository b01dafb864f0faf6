#!/usr/bin/env python3
"""Draws stowkitwin's default icon (a parcel with a green arrow dropping into it) and writes it
as an .ico file with 16, 24, 32, 48 and 64 pixel images, 32-bit colour with alpha, each stored
as a PNG image (Windows reads those from Vista on): a kit without an icon of its own carries
this one, and as bitmaps the five images take 34 KB, as PNG 2.5 KB.

The drawing is plain geometry sampled 4 x 4 times per pixel, so the output is the same byte
for byte on every run. Usage: make_default_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64)
SAMPLES = 4

BODY = (190, 136, 78)
BODY_EDGE = (112, 74, 38)
LID = (222, 176, 116)
TAPE = (160, 108, 56)
ARROW = (40, 150, 64)
ARROW_EDGE = (22, 92, 38)


def inside_polygon(x, y, points):
    """Even-odd rule."""
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


# Shapes in unit coordinates (y down), painted in order; later shapes cover earlier ones.
SHAPES = [
    (rect(0.10, 0.40, 0.90, 0.94), BODY_EDGE),
    (rect(0.15, 0.45, 0.85, 0.89), BODY),
    (rect(0.44, 0.45, 0.56, 0.89), TAPE),
    ([(0.10, 0.41), (0.90, 0.41), (0.80, 0.27), (0.20, 0.27)], BODY_EDGE),
    ([(0.16, 0.38), (0.84, 0.38), (0.77, 0.31), (0.23, 0.31)], LID),
    ([(0.37, 0.02), (0.63, 0.02), (0.63, 0.32), (0.78, 0.32), (0.50, 0.64), (0.22, 0.32),
      (0.37, 0.32)], ARROW_EDGE),
    ([(0.41, 0.06), (0.59, 0.06), (0.59, 0.36), (0.69, 0.36), (0.50, 0.58), (0.31, 0.36),
      (0.41, 0.36)], ARROW),
]


def pixel(px, py, size):
    """Colour and coverage of one pixel: the average of its samples."""
    totals = [0, 0, 0]
    covered = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            colour = None
            for points, shape_colour in SHAPES:
                if inside_polygon(x, y, points):
                    colour = shape_colour
            if colour is not None:
                covered += 1
                for i in range(3):
                    totals[i] += colour[i]
    if covered == 0:
        return (0, 0, 0, 0)
    r, g, b = (round(t / covered) for t in totals)
    return (r, g, b, round(255 * covered / (SAMPLES * SAMPLES)))


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def image(size):
    """One icon image: a PNG file of 8-bit RGBA pixels, rows top-down, no filter."""
    rows = [[pixel(x, y, size) for x in range(size)] for y in range(size)]
    raw = b''.join(b'\0' + bytes(c for rgba in row for c in rgba) for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + png_chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + png_chunk(b'IDAT', zlib.compress(raw, 9))
            + png_chunk(b'IEND', b''))


def ico(sizes):
    images = [image(s) for s in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data = ico(SIZES)
    with open(sys.argv[1], 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
