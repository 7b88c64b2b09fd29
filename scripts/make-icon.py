#!/usr/bin/env python3
"""Draws the program's icon and writes it as a .ico: 32x32 and 16x16, 16 colours each.

The drawing is a blue tile with a white arrow pointing down at a yellow bar: a wrapped link
coming out as a plain address. Shapes are given in unit coordinates, so both sizes come from
the same drawing.
"""
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT, NAVY, BLUE, WHITE, YELLOW, OLIVE = None, 4, 12, 15, 11, 3


def in_rounded_square(u, v, inset, radius):
    lo, hi = inset, 1.0 - inset
    if not (lo <= u <= hi and lo <= v <= hi):
        return False
    cu = min(max(u, lo + radius), hi - radius)
    cv = min(max(v, lo + radius), hi - radius)
    return (u - cu) ** 2 + (v - cv) ** 2 <= radius ** 2


def colour_at(u, v, pixel):
    """The palette index at unit point (u, v); `pixel` is one pixel's size in unit lengths."""
    if not in_rounded_square(u, v, 0.0, 0.2):
        return TRANSPARENT
    if not in_rounded_square(u, v, pixel, 0.2 - pixel):
        return NAVY
    shaft = abs(u - 0.5) < 0.1 and 0.12 < v < 0.5
    head = 0.42 <= v < 0.72 and abs(u - 0.5) < (0.72 - v) * 1.05
    if shaft or head:
        return WHITE
    if 0.18 < u < 0.82 and 0.78 < v < 0.88:
        return YELLOW
    if 0.18 < u < 0.82 and 0.88 <= v < 0.88 + pixel:
        return OLIVE
    return BLUE


def draw(size):
    pixel = 1.0 / size
    return [[colour_at((x + 0.5) * pixel, (y + 0.5) * pixel, pixel) for x in range(size)]
            for y in range(size)]


def dib(rows):
    """A 4-bit DIB with its AND mask, as stored in an icon: bottom row first, rows padded."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor, mask = b"", b""
    for row in reversed(rows):
        nibbles = [0 if c is None else c for c in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line.ljust(xor_stride, b"\0")
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is None else 0)
        mask += bits.to_bytes(size // 8, "big").ljust(and_stride, b"\0")
    return header + palette + xor + mask


def icon(sizes):
    images = [dib(draw(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(icon([32, 16]))


if __name__ == "__main__":
    main()
