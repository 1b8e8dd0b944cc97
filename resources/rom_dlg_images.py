#!/usr/bin/env python3
"""Draws rom_dlg_list.bmp: the Device Configuration list's strip of four 16-pixel
images (white is transparent); the list shows image 3, a chip, on every row.
Run it again after a change and commit the bitmap: the build does not run it."""
import os
import struct

W, H = 16, 16


def write_bmp(path, width, height, pixels):
    """24-bit bottom-up BMP; pixels[y][x] = (r, g, b), y from the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixels[y][x]
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(head + info + data)


def image(kind):
    px = [[(255, 255, 255)] * W for _ in range(H)]
    if kind == 3:  # a chip: dark body, grey legs
        for y in range(4, 12):
            for x in range(4, 12):
                px[y][x] = (40, 60, 110)
        for i in range(5, 12, 2):
            for x in (2, 3):
                px[i][x] = (150, 150, 150)
            for x in (12, 13):
                px[i][x] = (150, 150, 150)
        px[5][5] = (230, 230, 230)
    else:  # plain squares of three colours, kept for the strip's other places
        colour = [(200, 60, 60), (60, 160, 60), (60, 60, 200)][kind]
        for y in range(5, 11):
            for x in range(5, 11):
                px[y][x] = colour
    return px


def main():
    images = [image(k) for k in range(4)]
    strip = [sum((images[k][y] for k in range(4)), []) for y in range(H)]
    write_bmp(os.path.join(os.path.dirname(os.path.abspath(__file__)), "rom_dlg_list.bmp"), W * 4, H, strip)


if __name__ == "__main__":
    main()
