// The job previews' canvas on a device context: the snapshot's memory bitmap and the
// tracking demo's off-screen bitmap. Pens and brushes are made once per colour while
// the canvas lives and released with it; the context gets its own objects back.
#pragma once

#include <map>
#include <memory>

#include "jobs/review/preview_canvas.h"
#include "platform/win/framework.h"

class CGdiPreviewCanvas : public CPreviewCanvas {
 public:
  explicit CGdiPreviewCanvas(CDC& dc);
  ~CGdiPreviewCanvas() override;
  CGdiPreviewCanvas(const CGdiPreviewCanvas&) = delete;
  CGdiPreviewCanvas& operator=(const CGdiPreviewCanvas&) = delete;

  void SelectPen(PreviewPenStyle style, int width, COLORREF color) override;
  void MoveTo(POINT p) override { m_dc.MoveTo(p); }
  void LineTo(POINT p) override { m_dc.LineTo(p); }
  void SetPixel(POINT p, COLORREF color) override { m_dc.SetPixel(p.x, p.y, color); }
  void Circle(POINT center, int diameter) override;
  void Rectangle(const RECT& rect, COLORREF fill) override;
  void Polygon(const POINT* points, int count, COLORREF fill) override;

  // Pens made so far (one per style, width and colour).
  int PenCount() const { return (int)m_pens.size(); }

 private:
  void SelectFill(COLORREF color);

  CDC& m_dc;
  int m_nSaved;  // SaveDC, restored before the objects go
  std::map<unsigned long long, std::unique_ptr<CPen>> m_pens;
  std::map<COLORREF, std::unique_ptr<CBrush>> m_brushes;
};
