// CImageComboBox: an owner-drawn combo box whose items are bitmaps, each with an
// optional text beside it. Every item is as tall as the tallest bitmap added so far;
// texts start after the widest bitmap, so they line up.
//
// The control draws only: the bitmaps are the caller's and must live as long as it.
// The combo box needs CBS_OWNERDRAWVARIABLE or CBS_OWNERDRAWFIXED and CBS_HASSTRINGS.
#pragma once

#include "platform/win/framework.h"

class CImageComboBox : public CComboBox {
 public:
  CImageComboBox() = default;
  ~CImageComboBox() override = default;

  // Inserts the bitmap (and text, or none) at the index; the combo's own result when
  // that fails (CB_ERR, CB_ERRSPACE), else the new index.
  int InsertImage(int index, CBitmap* bitmap, LPCTSTR text = nullptr);
  int AppendImage(CBitmap* bitmap, LPCTSTR text = nullptr) { return InsertImage(GetCount(), bitmap, text); }

  // Plain strings (and file lists) are refused: -1.
  int AddString(LPCTSTR) { return -1; }
  int InsertString(int, LPCTSTR) { return -1; }
  int Dir(UINT, LPCTSTR) { return -1; }

  void DrawItem(LPDRAWITEMSTRUCT draw) override;
  void MeasureItem(LPMEASUREITEMSTRUCT measure) override;

  int m_nMaxImageWidth = 0;   // widest bitmap added, pixels
  int m_nMaxImageHeight = 0;  // tallest bitmap added, pixels

 private:
  void DrawContent(CDC* dc, const DRAWITEMSTRUCT* draw);
};
