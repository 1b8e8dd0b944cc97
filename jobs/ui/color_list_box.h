// CColorListBox: a list box whose items each carry their own background colour (the
// item data), drawn black on white items and white on every other colour. Selection is
// not shown; the focus rectangle is. The template gives it the owner-drawn variable
// height, has-strings and no-integral-height styles.
#pragma once

#include "platform/win/framework.h"

class CColorListBox : public CListBox {
 public:
  // Inserts the text at index (-1: at the end) with the colour as its item data;
  // returns the LB_SETITEMDATA result (LB_ERR when the insert failed).
  int AddString(LPCTSTR text, COLORREF color, int index = -1);

  void DrawItem(LPDRAWITEMSTRUCT draw) override;
  // An item is as high as DrawText makes its text on one line. That height depends on
  // the font only, so it is measured once per font: a listing adds thousands of items.
  void MeasureItem(LPMEASUREITEMSTRUCT measure) override;

 private:
  HFONT m_hMeasuredFont = nullptr;  // the font m_nItemHeight was measured with
  UINT m_nItemHeight = 0;           // pixels; 0 before the first measure
};
