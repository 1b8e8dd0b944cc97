#include "jobs/ui/color_list_box.h"

int CColorListBox::AddString(LPCTSTR text, COLORREF color, int index) {
  int at = InsertString(index, text);
  if (at < 0) return LB_ERR;
  return SetItemData(at, (DWORD_PTR)color);
}

void CColorListBox::MeasureItem(LPMEASUREITEMSTRUCT measure) {
  CFont* font = GetFont();
  HFONT hFont = font ? (HFONT)font->m_hObject : nullptr;
  if (m_nItemHeight == 0 || hFont != m_hMeasuredFont) {
    CString text;
    if ((int)measure->itemID >= 0 && (int)measure->itemID < GetCount()) GetText((int)measure->itemID, text);
    CRect rect;
    GetClientRect(&rect);
    CClientDC dc(this);
    CFont* old = font ? dc.SelectObject(font) : nullptr;
    m_nItemHeight =
        (UINT)dc.DrawText(text.IsEmpty() ? CString(" ") : text, &rect, DT_CALCRECT | DT_SINGLELINE | DT_WORDBREAK);
    if (old) dc.SelectObject(old);
    m_hMeasuredFont = hFont;
  }
  measure->itemHeight = m_nItemHeight;
}

void CColorListBox::DrawItem(LPDRAWITEMSTRUCT draw) {
  if ((int)draw->itemID < 0) return;
  CDC* dc = CDC::FromHandle(draw->hDC);
  CRect rect(draw->rcItem);
  if (draw->itemAction & ODA_DRAWENTIRE) {
    COLORREF color = (COLORREF)draw->itemData;
    dc->FillSolidRect(&rect, color);
    CString text;
    GetText((int)draw->itemID, text);
    int mode = dc->SetBkMode(TRANSPARENT);
    COLORREF old = dc->SetTextColor(color == RGB(255, 255, 255) ? RGB(0, 0, 0) : RGB(255, 255, 255));
    dc->DrawText(text, &rect, DT_WORDBREAK);
    dc->SetTextColor(old);
    dc->SetBkMode(mode);
  }
  if (draw->itemAction & ODA_FOCUS) dc->DrawFocusRect(&rect);
}
