// CPictureFrame: a static frame whose inside its owner paints (the speed trace's plot,
// the tracking demo's view). The frame draws its border as a static does, then hands
// its client area to the owner, so the picture survives any repaint of the frame.
#pragma once

#include <functional>

#include "platform/win/framework.h"

class CPictureFrame : public CStatic {
 public:
  // Called after the border with a context on the frame's client area.
  std::function<void(CDC& dc)> m_paint;

 protected:
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()
};
