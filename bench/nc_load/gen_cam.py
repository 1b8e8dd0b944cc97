#!/usr/bin/env python3
"""A deterministic CAM file for the load benchmark.

usage: gen_cam.py RECORDS [SEED] > file.cf
Contours of feed moves and counter-clockwise arcs with rapids between them, tool
changes, feed and spindle records. Same arguments, same bytes.
"""
import hashlib
import math
import random
import struct
import sys

HEADER_SIZE = 294


def header():
    h = struct.pack('<IH', HEADER_SIZE, 0x100)
    h += b'Kestrada CAM File'.ljust(32, b'\0')
    h += b'bench gen_cam.py'.ljust(256, b'\0')
    return h


def record(code, payload=b''):
    return struct.pack('<HH', code, len(payload)) + payload


def tool(number):
    name = ('flat %d' % number).encode().ljust(252, b'\0')
    return name + struct.pack('<iidddi', number, 1, 1.0, 3.175, 0.0, 0)


def records(n, rnd):
    out = [record(21), record(17), record(90), record(0xFF03, tool(1)),
           record(0xFF02, struct.pack('<d', 18000)), record(0xFF01, struct.pack('<d', 1200))]
    t = 1
    while len(out) < n:
        if rnd.random() < 0.01:
            t = t % 6 + 1
            out.append(record(0xFF03, tool(t)))
        cx, cy, r = rnd.uniform(10, 290), rnd.uniform(10, 190), rnd.uniform(1, 25)
        out.append(record(0, struct.pack('<3d', cx + r, cy, 5.0)))
        out.append(record(1, struct.pack('<3d', cx + r, cy, -1.0)))
        segs = rnd.randint(4, 24)
        for k in range(1, segs + 1):
            a = 2 * math.pi * k / segs
            x, y = cx + r * math.cos(a), cy + r * math.sin(a)
            if rnd.random() < 0.3:
                out.append(record(3, struct.pack('<6d', x, y, -1.0, cx, cy, -1.0)))
            else:
                out.append(record(1, struct.pack('<3d', x, y, -1.0)))
        out.append(record(0, struct.pack('<3d', cx + r, cy, 5.0)))
    return out[:n]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    rnd = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    head = header()
    key = hashlib.md5(head[6:]).digest()
    body = b''.join(records(int(sys.argv[1]), rnd))
    stream = (key * (len(body) // 16 + 1))[:len(body)]
    scrambled = (int.from_bytes(body, 'little') ^ int.from_bytes(stream, 'little')).to_bytes(len(body), 'little')
    sys.stdout.buffer.write(head + scrambled)


if __name__ == '__main__':
    main()
