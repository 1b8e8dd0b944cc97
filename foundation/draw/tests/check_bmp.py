#!/usr/bin/env python3
"""A second reader for the BMP files the drawing tests write.

usage: check_bmp.py FILE [x,y,RRGGBB ...]
Checks the file header against the file, the information header and the row layout,
then decodes the named pixels (x from the left, y from the top) and compares colours.
"""
import struct
import sys


def main():
    path = sys.argv[1]
    data = open(path, "rb").read()
    bf_type, bf_size, _, _, off_bits = struct.unpack_from("<2sIHHI", data, 0)
    assert bf_type == b"BM", "not a BMP"
    assert bf_size == len(data), f"bfSize {bf_size} != file size {len(data)}"
    (bi_size, width, height, planes, bpp, compression, size_image, _, _, clr_used, _) = struct.unpack_from(
        "<IiiHHIIiiII", data, 14)
    assert bi_size == 40 and planes == 1 and compression in (0, 3), "header"
    masks = 12 if compression == 3 else 0
    colors = clr_used or (1 << bpp if bpp <= 8 else 0)
    assert off_bits == 14 + 40 + masks + colors * 4, f"bfOffBits {off_bits}"
    stride = ((bpp * width + 31) // 32) * 4
    rows = abs(height)
    assert len(data) - off_bits >= stride * rows, "pixel rows missing"
    table = [struct.unpack_from("<BBBB", data, 54 + masks + 4 * i)[:3][::-1] for i in range(colors)]
    for item in sys.argv[2:]:
        x, y, rgb = item.split(",")
        x, y = int(x), int(y)
        row = (rows - 1 - y) if height > 0 else y
        base = off_bits + row * stride
        if bpp == 24:
            b, g, r = data[base + 3 * x: base + 3 * x + 3]
        elif bpp == 4:
            byte = data[base + x // 2]
            r, g, b = table[(byte >> 4) if x % 2 == 0 else (byte & 15)]
        elif bpp == 8:
            r, g, b = table[data[base + x]]
        else:
            raise AssertionError(f"no decoder for {bpp} bits")
        got = f"{r:02X}{g:02X}{b:02X}"
        assert got == rgb.upper(), f"pixel {x},{y}: {got} != {rgb}"
    print(f"{path}: {width}x{height} {bpp} bpp ok")


if __name__ == "__main__":
    main()
