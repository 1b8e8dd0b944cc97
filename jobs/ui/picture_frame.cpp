#include "jobs/ui/picture_frame.h"

BEGIN_MESSAGE_MAP(CPictureFrame, CStatic)
  ON_WM_PAINT()
END_MESSAGE_MAP()

void CPictureFrame::OnPaint() {
  Default();  // the border, and the update region validated
  if (!m_paint) return;
  CClientDC dc(this);
  m_paint(dc);
}
