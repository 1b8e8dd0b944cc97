#!/usr/bin/env python3
"""Draws the tool dialogs' bitmaps: tool_dlg_type1.bmp .. tool_dlg_type7.bmp, the side
view of each tool shape with its dimensions marked (D diameter, C cutting length, R tip
radius, A angle, F flat diameter), and tool_dlg_list.bmp, the list's strip of seven
16-pixel images (white is transparent). Run it again after a change and commit the
bitmaps: the build does not run it."""
import math
import os

from rom_dlg_images import write_bmp

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 120, 150
WHITE, STEEL, EDGE, MARK = (255, 255, 255), (170, 180, 195), (40, 50, 70), (200, 30, 30)

# Tiny 3x5 letters for the dimension marks.
FONT = {"D": ["110", "101", "101", "101", "110"], "C": ["011", "100", "100", "100", "011"],
        "R": ["110", "101", "110", "101", "101"], "A": ["010", "101", "111", "101", "101"],
        "F": ["111", "100", "110", "100", "100"]}


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[WHITE] * w for _ in range(h)]

    def dot(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def line(self, x0, y0, x1, y1, c):
        n = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(n + 1):
            t = i / n
            self.dot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, c)

    def text(self, x, y, s, c, scale=2):
        for k, ch in enumerate(s):
            for r, row in enumerate(FONT[ch]):
                for q, bit in enumerate(row):
                    if bit == "1":
                        for a in range(scale):
                            for b in range(scale):
                                self.dot(x + k * 4 * scale + q * scale + a, y + r * scale + b, c)

    def fill_profile(self, half_width, top, bottom, cx, c):
        """Fills the body whose half width at height y is half_width(y) (None: nothing)."""
        for y in range(top, bottom + 1):
            hw = half_width(y)
            if hw is None:
                continue
            for x in range(int(cx - hw), int(cx + hw) + 1):
                self.dot(x, y, c)
            self.dot(cx - hw, y, EDGE)
            self.dot(cx + hw, y, EDGE)


def tool(kind, w, h, marks=True):
    """The side view of a tool of shape kind, its tip at the bottom; with its dimension marks."""
    cv = Canvas(w, h)
    s = w / 120.0
    cx, r = w / 2, 22 * s
    shank_top, tip = int(8 * s), int(h - 30 * s)
    flute = tip - int(60 * s)  # where the cutting length starts
    rr, flat, ang = 9 * s, 7 * s, math.radians(20)

    def hw(y):
        d = tip - y  # height above the tip
        if y < shank_top or d < 0:
            return None
        if kind == 1:  # ball nosed
            return math.sqrt(max(0.0, r * r - (r - d) ** 2)) if d < r else r
        if kind == 2:  # slot drill
            return r
        if kind == 3:  # radiused slot drill
            return flat + math.sqrt(max(0.0, rr * rr - (rr - d) ** 2)) if d < rr else min(r, flat + rr)
        cone = d * math.tan(ang)
        if kind == 4:  # conical
            return min(r, cone)
        if kind == 5:  # conical ball nosed
            h0 = rr * (1 - math.sin(ang))
            return math.sqrt(max(0.0, rr * rr - (rr - d) ** 2)) if d < h0 else min(r, math.tan(ang) * (d + rr * (1 / math.sin(ang) - 1)))
        if kind == 6:  # conical flat nosed
            return min(r, flat + cone)
        h0 = rr * (1 - math.sin(ang))  # conical flat radiused
        if d < h0:
            return flat + math.sqrt(max(0.0, rr * rr - (rr - d) ** 2))
        return min(r, flat + math.tan(ang) * (d + rr * (1 / math.sin(ang) - 1)))

    cv.fill_profile(hw, shank_top, tip, cx, STEEL)
    cv.line(cx - r, shank_top, cx + r, shank_top, EDGE)
    if not marks:
        return cv.px
    # D across the top, C along the side, the others at the tip.
    y = shank_top + 6 * s
    cv.line(cx - r, y, cx + r, y, MARK)
    cv.text(cx - 3 * s, y + 3 * s, "D", MARK)
    x = cx + r + 8 * s
    cv.line(x, flute, x, tip, MARK)
    cv.line(x - 3 * s, flute, x + 3 * s, flute, MARK)
    cv.line(x - 3 * s, tip, x + 3 * s, tip, MARK)
    cv.text(x + 5 * s, (flute + tip) / 2 - 5, "C", MARK)
    marks = {3: "RF", 4: "A", 5: "RA", 6: "AF", 7: "RAF"}.get(kind, "")
    for k, ch in enumerate(marks):
        cv.text(8 * s + k * 12 * s, h - 16 * s, ch, MARK)
    if "F" in marks:
        cv.line(cx - flat, tip + 4 * s, cx + flat, tip + 4 * s, MARK)
    if "A" in marks:
        cv.line(cx, tip, cx, tip - 40 * s, MARK)
    return cv.px


def icon(px):
    """A 16-pixel image of a side view: the tip end of its body scaled into the square,
    each pixel steel, edge or white by the majority of the pixels it covers."""
    rows = [y for y in range(H) if any(c != WHITE for c in px[y])]
    cols = [x for x in range(W) if any(px[y][x] != WHITE for y in range(H))]
    top, bottom, left, right = rows[0], rows[-1] + 1, cols[0], cols[-1] + 1
    top = max(top, bottom - (right - left))  # the tip end, where the shapes differ
    size = max(bottom - top, right - left)
    cx, cy = (left + right) / 2, (top + bottom) / 2
    out = [[WHITE] * 16 for _ in range(16)]
    for j in range(16):
        for i in range(16):
            x0, y0 = int(cx - size / 2 + i * size / 16), int(cy - size / 2 + j * size / 16)
            x1, y1 = int(cx - size / 2 + (i + 1) * size / 16), int(cy - size / 2 + (j + 1) * size / 16)
            block = [px[y][x] for y in range(max(y0, 0), min(y1, H)) for x in range(max(x0, 0), min(x1, W))]
            if block and sum(c != WHITE for c in block) * 2 >= len(block):
                out[j][i] = EDGE if block.count(EDGE) * 4 >= len(block) else STEEL
    return out


def main():
    for kind in range(1, 8):
        write_bmp(os.path.join(HERE, "tool_dlg_type%d.bmp" % kind), W, H, tool(kind, W, H))
    icons = [icon(tool(kind, W, H, marks=False)) for kind in range(1, 8)]
    strip = [sum((icons[k][y] for k in range(7)), []) for y in range(16)]
    write_bmp(os.path.join(HERE, "tool_dlg_list.bmp"), 16 * 7, 16, strip)


if __name__ == "__main__":
    main()
