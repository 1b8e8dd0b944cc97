// The check box the list draws in its cells and its header: a white square with a
// blue-grey frame and, when checked, a green tick. One drawing for both, so that a
// column's header box and its cells look alike.
#pragma once

#include "platform/win/gdi.h"

constexpr COLORREF kCheckFrameColor = RGB(0x33, 0x66, 0x99);
constexpr COLORREF kCheckTickColor = RGB(0x33, 0x99, 0x33);

// The box fills rect (filled with the window colour, a one-pixel frame); the tick, a
// one-pixel pen from (left + 9, top + 3): four vertical strokes of three pixels going
// down-left, then three going up-left.
void DrawCheckMark(CDC* dc, const CRect& box, BOOL checked);
