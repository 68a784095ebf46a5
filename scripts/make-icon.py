#!/usr/bin/env python3
"""Draws the program icon, a small six-fold kaleidoscope, and writes it as a
Windows .ico with two 16-colour images (32 x 32 and 16 x 16).

Standard library only. The output is deterministic, so the committed icon can be
checked against this script:  scripts/make-icon.py src/resources/orvane.ico
"""
import math
import struct
import sys

# The 16-colour palette of the icon (the classic VGA colours), as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY = 0, 4, 8
RED, YELLOW, BLUE, MAGENTA, CYAN, WHITE = 9, 11, 12, 13, 14, 15
TRANSPARENT = None


def kaleidoscope(x, y, size):
    """Colour index of pixel (x, y) of a size x size icon, or None outside the disc."""
    c = (size - 1) / 2.0
    dx, dy = x - c, c - y
    r = math.hypot(dx, dy) / (size / 2.0)
    if r > 1.0:
        return TRANSPARENT
    if r > 0.88:
        return DARK_BLUE  # rim of the tube
    # Fold the angle into one 30-degree half-wedge: six wedges, each mirrored.
    a = math.degrees(math.atan2(dy, dx)) % 60.0
    if a > 30.0:
        a = 60.0 - a
    # Mirror lines between wedges.
    if a < 2.5 and r > 0.12:
        return WHITE
    if r < 0.16:
        return YELLOW
    # A diamond in each wedge, a triangle tip further out, beads near the rim.
    if abs(r - 0.42) + a / 60.0 < 0.17:
        return RED
    if r > 0.6 and r < 0.82 and a > 14.0:
        return CYAN if r < 0.71 else BLUE
    if r > 0.2 and r < 0.3:
        return MAGENTA
    if r > 0.62 and a < 12.0:
        return YELLOW
    return BLACK


def image(size):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows."""
    pixels = [[kaleidoscope(x, y, size) for x in range(size)] for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        nibbles = [0 if p is None else p for p in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b"\0" * (-len(xor) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        mask += b"\0" * (-len(mask) % 4)
        and_rows.append(bytes(mask))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def ico(sizes):
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make-icon.py OUTPUT.ico\n")
        return 2
    with open(sys.argv[1], "wb") as f:
        f.write(ico([32, 16]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
