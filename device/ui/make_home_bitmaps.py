#!/usr/bin/env python3
# Draws the five pictures of a machine's XY home corner (resources/device_dlg_home_*.bmp):
# the table seen from above, its axes drawn from the home corner (X red, Y green) with a
# dot on the corner. 24-bit BMPs, 32 x 28 pixels.
import os
import struct

W, H = 32, 28
BACK = (0xF0, 0xF0, 0xF0)
TABLE = (0xD8, 0xC8, 0xA8)
EDGE = (0x60, 0x50, 0x40)
XAXIS = (0xD0, 0x20, 0x20)
YAXIS = (0x20, 0x90, 0x20)
DOT = (0x20, 0x20, 0xC0)
L, T, R, B = 3, 3, 28, 24  # the table, inclusive


def picture(corner):
    px = [[BACK] * W for _ in range(H)]
    for y in range(T, B + 1):
        for x in range(L, R + 1):
            px[y][x] = EDGE if x in (L, R) or y in (T, B) else TABLE
    if corner == "center":
        ox, oy, dx, dy = (L + R) // 2, (T + B) // 2, 1, -1
    else:
        ox = L + 1 if corner[0] == "l" else R - 1
        oy = B - 1 if corner[1] == "b" else T + 1
        dx = 1 if corner[0] == "l" else -1
        dy = -1 if corner[1] == "b" else 1
    for i in range(10):
        px[oy][ox + dx * i] = XAXIS
        px[oy + dy * i][ox] = YAXIS
    for y in range(oy - 2, oy + 3):
        for x in range(ox - 2, ox + 3):
            if 0 <= x < W and 0 <= y < H and abs(x - ox) + abs(y - oy) <= 3:
                px[y][x] = DOT
    return px


def write_bmp(path, px):
    row = W * 3
    pad = (4 - row % 4) % 4
    data = b"".join(bytes(c for p in px[y] for c in (p[2], p[1], p[0])) + b"\0" * pad for y in range(H - 1, -1, -1))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    for corner in ("lb", "rb", "rt", "lt", "center"):
        write_bmp(os.path.join(out, "device_dlg_home_%s.bmp" % corner), picture(corner))
