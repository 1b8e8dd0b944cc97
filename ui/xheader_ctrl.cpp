#include "ui/xheader_ctrl.h"

#include <algorithm>

#include "foundation/draw/offscreen_dc.h"
#include "ui/check_mark.h"

namespace {
constexpr int kCheckSize = 13;    // the header's check box, pixels square
constexpr int kMaxItemText = 80;  // characters of an item's text that are drawn
}  // namespace

IMPLEMENT_DYNCREATE(CXHeaderCtrl)

CXHeaderCtrl::CXHeaderCtrl() {
  m_st.m_rgbText = ::GetSysColor(COLOR_BTNTEXT);
  ReadSysColors();
}

void CXHeaderCtrl::ReadSysColors() {
  m_st.m_crBtnHighLight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  m_st.m_crBtnShadow = ::GetSysColor(COLOR_BTNSHADOW);
  m_st.m_crBtnFace = ::GetSysColor(COLOR_BTNFACE);
  m_st.m_crBtnText = ::GetSysColor(COLOR_BTNTEXT);
}

LRESULT CXHeaderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaintMessage((HDC)wParam); return 0;
    case WM_PRINTCLIENT: Paint(CDC::FromHandle((HDC)wParam)); return 0;
    case WM_ERASEBKGND: return TRUE;
    case WM_SYSCOLORCHANGE:
      DefWindowProc(message, wParam, lParam);
      ReadSysColors();
      return 0;
    case WM_LBUTTONDBLCLK: SendMessage(WM_LBUTTONDOWN, wParam, lParam); return 0;
    case HDM_SETIMAGELIST: return OnSetImageList(wParam, lParam);
    default: return CHeaderCtrl::WindowProc(message, wParam, lParam);
  }
}

LRESULT CXHeaderCtrl::OnSetImageList(WPARAM wParam, LPARAM lParam) {
  HIMAGELIST list = (HIMAGELIST)lParam;
  IMAGEINFO info = {};
  if (list && ImageList_GetImageCount(list) > 0 && ImageList_GetImageInfo(list, 0, &info)) {
    m_st.m_cxImage = info.rcImage.right - info.rcImage.left;
    m_st.m_cyImage = info.rcImage.bottom - info.rcImage.top;
  }
  return DefWindowProc(HDM_SETIMAGELIST, wParam, lParam);
}

// WM_PAINT with a context in wParam paints into it, as the common controls do.
void CXHeaderCtrl::OnPaintMessage(HDC target) {
  if (target) {
    Paint(CDC::FromHandle(target));
    return;
  }
  CPaintDC dc(this);
  if (!m_st.m_bDoubleBuffer) {
    Paint(&dc);
    return;
  }
  COffscreenDC offscreen(&dc, nullptr, FALSE, FALSE);
  Paint(&offscreen);
}

void CXHeaderCtrl::Paint(CDC* dc) {
  CRect clip;
  if (dc->GetClipBox(&clip) == ERROR) return;
  dc->FillSolidRect(&clip, m_st.m_crBtnFace);
  HGDIOBJ font = (HGDIOBJ)SendMessage(WM_GETFONT);
  HGDIOBJ oldFont = dc->SelectObject(font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
  COLORREF oldBk = dc->SetBkColor(m_st.m_crBtnFace);
  COLORREF oldText = dc->SetTextColor(m_st.m_crBtnText);
  CPen highlight(PS_SOLID, 1, m_st.m_crBtnHighLight);
  CPen shadow(PS_SOLID, 1, m_st.m_crBtnShadow);
  CPen* oldPen = dc->SelectObject(&shadow);

  int count = GetItemCount(), width = 0;
  for (int order = 0; order < count; ++order) {
    int index = OrderToIndex(order);
    char text[kMaxItemText + 1] = "";
    HDITEMA item = {};
    item.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_LPARAM | HDI_IMAGE | HDI_BITMAP;
    item.pszText = text;
    item.cchTextMax = kMaxItemText;
    GetItem(index, &item);
    CRect rc;
    GetItemRect(index, &rc);
    if (item.fmt & HDF_OWNERDRAW) {
      DRAWITEMSTRUCT dis = {};
      dis.CtlType = ODT_HEADER;
      dis.CtlID = (UINT)GetDlgCtrlID();
      dis.itemID = (UINT)index;
      dis.itemAction = ODA_DRAWENTIRE;
      dis.hwndItem = m_hWnd;
      dis.hDC = dc->m_hDC;
      dis.rcItem = rc;
      DrawItem(&dis);
    } else {
      CRect inner = rc;
      inner.DeflateRect(m_st.m_nSpace, 0);
      DrawItem(dc, inner, &item);
    }
    if (order < count - 1 && m_st.m_bDividerLines) {
      dc->SelectObject(&shadow);
      dc->MoveTo(rc.right - 1, rc.top + 2);
      dc->LineTo(rc.right - 1, rc.bottom - 2);
      dc->SelectObject(&highlight);
      dc->MoveTo(rc.right, rc.top + 2);
      dc->LineTo(rc.right, rc.bottom - 2);
    }
    width += item.cxy;
  }
  if (width > 0) {
    CRect frame;
    GetClientRect(&frame);
    frame.right = frame.left + width;
    dc->Draw3dRect(&frame, m_st.m_crBtnHighLight, m_st.m_crBtnShadow);
  }
  dc->SelectObject(oldPen);
  dc->SetTextColor(oldText);
  dc->SetBkColor(oldBk);
  dc->SelectObject(oldFont);
}

void CXHeaderCtrl::DrawItem(CDC* dc, CRect rect, LPHDITEMA item) {
  int w = DrawImage(dc, rect, item);
  if (w > 0) rect.left += w + m_st.m_nSpace;
  w = DrawBitmap(dc, rect, item);
  if (w > 0) rect.right -= w + m_st.m_nSpace;
  DrawText(dc, rect, item);
}

// The image of the item, or without an image list its check box (index 1 empty,
// 2 ticked). Index 0 draws nothing.
int CXHeaderCtrl::DrawImage(CDC* dc, CRect rect, LPHDITEMA item) {
  if (item->iImage == 0 || rect.Width() <= 0) return 0;
  HIMAGELIST images = (HIMAGELIST)SendMessage(HDM_GETIMAGELIST);
  if (images) {
    COLORREF old = ImageList_SetBkColor(images, dc->GetBkColor());
    IMAGELISTDRAWPARAMS p = {};
    p.cbSize = sizeof p;
    p.himl = images;
    p.i = item->iImage;
    p.hdcDst = dc->m_hDC;
    p.x = rect.left;
    p.y = rect.CenterPoint().y - (m_st.m_cyImage + 1) / 2;
    p.cx = std::min(m_st.m_cxImage, rect.Width());
    p.cy = m_st.m_cyImage;
    p.rgbBk = CLR_DEFAULT;
    p.rgbFg = CLR_DEFAULT;
    p.fStyle = ILD_NORMAL;
    p.dwRop = SRCCOPY;
    ImageList_DrawIndirect(&p);
    ImageList_SetBkColor(images, old);
    return m_st.m_cxImage;
  }
  COLORREF oldBk = dc->GetBkColor();
  CRect box(rect.left, rect.top + (rect.Height() - kCheckSize) / 2, 0, 0);
  box.right = box.left + kCheckSize;
  box.bottom = box.top + kCheckSize;
  DrawCheckMark(dc, box, item->iImage == 2);
  dc->SetBkColor(oldBk);
  return kCheckSize;
}

int CXHeaderCtrl::DrawBitmap(CDC* dc, CRect rect, LPHDITEMA item) {
  if (!(item->fmt & HDF_BITMAP) || !item->hbm) return 0;
  BITMAP bm = {};
  if (!::GetObjectA(item->hbm, sizeof bm, &bm)) return 0;
  if (rect.Width() < 1 || rect.Width() < bm.bmWidth) return 0;
  CDC mem;
  if (!mem.CreateCompatibleDC(dc)) return 0;
  HGDIOBJ old = mem.SelectObject((HGDIOBJ)item->hbm);
  BOOL ok = dc->BitBlt(rect.right - bm.bmWidth, rect.CenterPoint().y - bm.bmHeight / 2, bm.bmWidth, bm.bmHeight, &mem,
                       0, 0, SRCCOPY);
  mem.SelectObject(old);
  return ok ? bm.bmWidth : 0;
}

void CXHeaderCtrl::DrawText(CDC* dc, CRect rect, LPHDITEMA item) {
  if (rect.Width() <= 0 || !(item->mask & HDI_TEXT) || !(item->fmt & HDF_STRING) || !item->pszText) return;
  UINT align = DT_LEFT;
  if (m_st.m_nFormat != -1)
    align = (UINT)m_st.m_nFormat;
  else if ((item->fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
    align = DT_CENTER;
  else if ((item->fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
    align = DT_RIGHT;
  COLORREF old = dc->SetTextColor(m_st.m_rgbText);
  dc->DrawText(item->pszText, -1, &rect, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  dc->SetTextColor(old);
}
