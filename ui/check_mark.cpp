#include "ui/check_mark.h"

void DrawCheckMark(CDC* dc, const CRect& box, BOOL checked) {
  dc->FillSolidRect(&box, ::GetSysColor(COLOR_WINDOW));
  CBrush frame(kCheckFrameColor);
  dc->FrameRect(&box, &frame);
  if (!checked) return;
  CPen pen(PS_SOLID, 1, kCheckTickColor);
  CPen* old = dc->SelectObject(&pen);
  int x = box.left + 9, y = box.top + 3;
  for (int i = 0; i < 4; ++i) {  // the long arm, down to the left
    dc->MoveTo(x - i, y + i);
    dc->LineTo(x - i, y + i + 3);
  }
  for (int i = 1; i <= 3; ++i) {  // the short arm, up to the left
    dc->MoveTo(x - 3 - i, y + 3 - i);
    dc->LineTo(x - 3 - i, y + 3 - i + 3);
  }
  dc->SelectObject(old);
}
