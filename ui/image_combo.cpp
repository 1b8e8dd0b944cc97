#include "ui/image_combo.h"

namespace {
constexpr int kItemPadding = 6;  // item height over the tallest bitmap
constexpr int kTextGap = 4;      // between the widest bitmap and the text
}  // namespace

int CImageComboBox::InsertImage(int index, CBitmap* bitmap, LPCTSTR text) {
  int at = CComboBox::InsertString(index, text ? text : "");
  if (at == CB_ERR || at == CB_ERRSPACE) return at;
  CComboBox::SetItemData(at, (DWORD_PTR)bitmap);
  BITMAP bm = {};
  if (bitmap) bitmap->GetBitmap(&bm);
  if (bm.bmWidth > m_nMaxImageWidth) m_nMaxImageWidth = bm.bmWidth;
  if (bm.bmHeight > m_nMaxImageHeight) m_nMaxImageHeight = bm.bmHeight;
  // The selection field (-1) and every item, earlier ones included.
  SetItemHeight(-1, (UINT)(m_nMaxImageHeight + kItemPadding));
  for (int i = 0; i < GetCount(); ++i) SetItemHeight(i, (UINT)(m_nMaxImageHeight + kItemPadding));
  return at;
}

void CImageComboBox::MeasureItem(LPMEASUREITEMSTRUCT measure) {
  measure->itemWidth = (UINT)(m_nMaxImageWidth + 2);
  measure->itemHeight = (UINT)(m_nMaxImageHeight + 2);
}

void CImageComboBox::DrawItem(LPDRAWITEMSTRUCT draw) {
  CDC dc;
  dc.Attach(draw->hDC);
  int saved = dc.SaveDC();
  CRect item(draw->rcItem);
  bool paint = (draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0;
  if (!IsWindowEnabled()) {
    CBrush grey(0xC0C0C0);
    CPen greyPen(PS_SOLID, 1, 0xC0C0C0);
    dc.SelectObject(&grey);
    dc.SelectObject(&greyPen);
    DrawContent(&dc, draw);
    dc.RestoreDC(saved);
    saved = dc.SaveDC();
  } else if (paint) {
    bool selected = (draw->itemState & ODS_SELECTED) != 0;
    COLORREF back = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    CBrush brush(back);
    CPen pen(PS_SOLID, 1, back);
    dc.SelectObject(&brush);
    dc.SelectObject(&pen);
    dc.Rectangle(&item);
    dc.SetBkColor(back);
    dc.SetTextColor(::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawContent(&dc, draw);
    dc.RestoreDC(saved);
    saved = dc.SaveDC();
  }
  if (draw->itemAction & ODA_FOCUS) dc.DrawFocusRect(&item);
  dc.RestoreDC(saved);
  dc.Detach();
}

// Without text the bitmap sits in the middle; with text it sits at the left, centred
// on the widest bitmap's row, and the text starts after the widest bitmap.
void CImageComboBox::DrawContent(CDC* dc, const DRAWITEMSTRUCT* draw) {
  CBitmap* bitmap = (CBitmap*)draw->itemData;
  if (!bitmap || draw->itemData == (ULONG_PTR)-1) return;
  CString text;
  if ((int)draw->itemID != -1) GetLBText((int)draw->itemID, text);
  BITMAP bm = {};
  bitmap->GetBitmap(&bm);
  CRect item(draw->rcItem);
  CDC mem;
  mem.CreateCompatibleDC(dc);
  CBitmap* old = mem.SelectObject(bitmap);
  if (text.IsEmpty()) {
    dc->BitBlt(item.left + (item.Width() - bm.bmWidth) / 2, item.top + (item.Height() - bm.bmHeight) / 2, bm.bmWidth,
               bm.bmHeight, &mem, 0, 0, SRCCOPY);
  } else {
    int top = item.top + item.Height() / 2 - m_nMaxImageHeight / 2;
    dc->BitBlt(item.left + 2, top, bm.bmWidth, bm.bmHeight, &mem, 0, 0, SRCCOPY);
    CRect textRect = item;
    textRect.left += m_nMaxImageWidth + kTextGap;
    dc->DrawText(text, &textRect, DT_SINGLELINE | DT_VCENTER);
  }
  mem.SelectObject(old);
}
