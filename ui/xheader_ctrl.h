// CXHeaderCtrl: the column header of CXListCtrl, painted by us.
//
// The platform header keeps the items, the order, the tracking and the notifications;
// this class replaces only its painting (the whole header through an off-screen
// bitmap) so that a column can carry a check box: an item whose image index is 1
// shows an empty box, 2 a ticked one, while the header has no image list. A double
// click is handled as a second click, so that fast clicks on a header box each toggle
// it.
#pragma once

#include "platform/win/framework.h"
#include "platform/win/runtime_class.h"

struct XHeaderState {
  CWnd* m_pListCtrl = nullptr;  // the list that attached the header
  int m_nFormat = -1;           // text alignment (DT_*); -1: from each item's format
  COLORREF m_rgbText = 0;       // item text colour (button text when built)
  BOOL m_bDividerLines = TRUE;  // a divider right of every item but the last
  BOOL m_bDoubleBuffer = TRUE;  // paint through an off-screen bitmap
  int m_nSpace = 6;             // item spacing, pixels; also the list's left inset of cell images
  int m_cxImage = 0;            // size of image 0 of the image list; 0 until one is set
  int m_cyImage = 0;
  COLORREF m_crBtnHighLight = 0;  // system colours, read when built and on WM_SYSCOLORCHANGE
  COLORREF m_crBtnShadow = 0;
  COLORREF m_crBtnFace = 0;
  COLORREF m_crBtnText = 0;
};

class CXHeaderCtrl : public CHeaderCtrl {
  DECLARE_DYNCREATE(CXHeaderCtrl)

 public:
  CXHeaderCtrl();

  void SetListCtrl(CWnd* list) { m_st.m_pListCtrl = list; }
  int GetSpacing() const { return m_st.m_nSpace; }
  // The header's own owner-drawn items draw nothing.
  void DrawItem(LPDRAWITEMSTRUCT) override {}
  // Draws one item (image or check box, bitmap, text) into rect.
  virtual void DrawItem(CDC* dc, CRect rect, LPHDITEMA item);
  // Paints the whole header into dc (WM_PAINT goes through an off-screen bitmap).
  void Paint(CDC* dc);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ReadSysColors();
  void OnPaintMessage(HDC target);
  LRESULT OnSetImageList(WPARAM wParam, LPARAM lParam);
  int DrawImage(CDC* dc, CRect rect, LPHDITEMA item);
  int DrawBitmap(CDC* dc, CRect rect, LPHDITEMA item);
  void DrawText(CDC* dc, CRect rect, LPHDITEMA item);

  XHeaderState m_st;
};
