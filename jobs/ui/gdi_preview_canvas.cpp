#include "jobs/ui/gdi_preview_canvas.h"

CGdiPreviewCanvas::CGdiPreviewCanvas(CDC& dc) : m_dc(dc), m_nSaved(dc.SaveDC()) {}

CGdiPreviewCanvas::~CGdiPreviewCanvas() {
  // The context lets go of our pens and brushes before they are deleted.
  m_dc.RestoreDC(m_nSaved);
}

void CGdiPreviewCanvas::SelectPen(PreviewPenStyle style, int width, COLORREF color) {
  unsigned long long key = ((unsigned long long)style << 40) | ((unsigned long long)(width & 0xFF) << 32) | color;
  std::unique_ptr<CPen>& pen = m_pens[key];
  if (!pen) pen = std::make_unique<CPen>(style == kPenDotted ? PS_DOT : PS_SOLID, width, color);
  m_dc.SelectObject(pen.get());
}

void CGdiPreviewCanvas::SelectFill(COLORREF color) {
  std::unique_ptr<CBrush>& brush = m_brushes[color];
  if (!brush) brush = std::make_unique<CBrush>(color);
  m_dc.SelectObject(brush.get());
}

void CGdiPreviewCanvas::Circle(POINT c, int diameter) {
  // The context's default white brush.
  m_dc.SelectStockObject(WHITE_BRUSH);
  int r = diameter / 2;
  m_dc.Ellipse(c.x - r, c.y - r, c.x - r + diameter, c.y - r + diameter);
}

void CGdiPreviewCanvas::Rectangle(const RECT& rect, COLORREF fill) {
  SelectFill(fill);
  m_dc.Rectangle(&rect);
}

void CGdiPreviewCanvas::Polygon(const POINT* points, int count, COLORREF fill) {
  SelectFill(fill);
  m_dc.Polygon(points, count);
}
