// What the job previews draw with. The snapshot and the path tracking replay work out
// every line, pixel, circle and face here, portably; a window-side canvas puts them on
// a device context, and the tests record them.
#pragma once

#include "platform/core.h"

enum PreviewPenStyle : int { kPenSolid = 0, kPenDotted = 1 };

class CPreviewCanvas {
 public:
  virtual ~CPreviewCanvas() = default;
  // The pen of the following lines, circle outlines and face edges.
  virtual void SelectPen(PreviewPenStyle style, int width, COLORREF color) = 0;
  virtual void MoveTo(POINT p) = 0;
  // A line from the pen position to p (p itself not drawn); the pen moves to p.
  virtual void LineTo(POINT p) = 0;
  virtual void SetPixel(POINT p, COLORREF color) = 0;
  // A circle outlined with the pen and filled white, in the square of that side
  // centred on the point.
  virtual void Circle(POINT center, int diameter) = 0;
  // Outlined with the pen, filled with the colour.
  virtual void Rectangle(const RECT& rect, COLORREF fill) = 0;
  virtual void Polygon(const POINT* points, int count, COLORREF fill) = 0;
};
