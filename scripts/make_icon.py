#!/usr/bin/env python3
"""Draws the program's icon (resource 128) and writes it as resources/corvane.ico.

A V-bit above a wooden slab, cutting a groove, on a blue tile: drawn from simple
shapes with 4 x 4 samples per pixel, at 16, 32 and 48 pixels, as 32-bit icons with
alpha. Run it after changing the drawing; the .ico is kept in the tree.

usage: make_icon.py [OUT.ico]
"""
import math
import os
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def groove_y(x):
    return 0.715 + 0.05 * math.sin((x - 0.12) * 9.0)


def colour(x, y):
    """RGBA of the point (x, y) of the unit square, y downwards; None outside."""
    if not rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.2):
        return None
    # The tile: blue, lighter at the top.
    t = y
    rgb = (int(52 - 30 * t), int(104 - 50 * t), int(160 - 70 * t))
    if not rounded_rect(x, y, 0.07, 0.07, 0.93, 0.93, 0.17):
        rgb = (96, 150, 205)  # its rim
    # The slab.
    if 0.12 <= x <= 0.88 and 0.6 <= y <= 0.86:
        rgb = (222, 170, 104) if y > 0.625 else (240, 200, 140)
        if y > 0.83:
            rgb = (170, 120, 64)
        # The groove cut so far, up to the bit.
        if x <= 0.64 and abs(y - groove_y(x)) < 0.035:
            rgb = (110, 66, 30)
    # The bit: a shank and a cone whose tip meets the groove.
    tip_x, tip_y = 0.64, groove_y(0.64)
    if 0.56 <= x <= 0.72 and 0.1 <= y <= 0.4:
        shade = 1.0 - abs(x - 0.6) * 2.2
        rgb = tuple(int(c * shade) for c in (220, 226, 236))
    half = (tip_y - y) / (tip_y - 0.4) * 0.08 if y <= tip_y else -1
    if 0.4 <= y <= tip_y and abs(x - tip_x) <= half:
        shade = 0.95 - (x - tip_x + 0.08) * 2.0
        rgb = tuple(max(0, min(255, int(c * shade))) for c in (230, 232, 240))
    return rgb + (255,)


def render(size):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c is None:
                        continue
                    for i in range(3):
                        acc[i] += c[i]
                    acc[3] += 1
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(acc[i] // acc[3] for i in range(3)) + (255 * acc[3] // n,))
        pixels.append(row)
    return pixels


def icon_image(size):
    pixels = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources",
                                                             "corvane.ico")
    images = [icon_image(s) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
