#include "ui/anchor_layout.h"

#include <algorithm>

namespace {

CString ClassOf(HWND hwnd) {
  char name[261] = {};
  ::GetClassNameA(hwnd, name, (int)sizeof name);
  return name;
}

DWORD StyleOf(HWND hwnd) { return (DWORD)::GetWindowLongPtrA(hwnd, GWL_STYLE); }

bool IsGroupBox(const CString& cls, DWORD style) { return cls == "Button" && (style & 0xF) == BS_GROUPBOX; }

CRect RectIn(HWND hwnd, HWND parent) {
  CRect r;
  ::GetWindowRect(hwnd, &r);
  ::MapWindowPoints(nullptr, parent, (LPPOINT)&r, 2);
  return r;
}

int Percent(int size, int percent) { return size * percent / 100; }

// Horizontal scroll limit of a list box (0 without a horizontal scroll bar).
int ScrollLimit(HWND list, int* pos) {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  if (!::GetScrollInfo(list, SB_HORZ, &si)) return 0;
  *pos = si.nPos;
  return si.nMax - std::max<int>((int)si.nPage - 1, 0);
}

}  // namespace

CAnchorLayout::~CAnchorLayout() { m_entries.RemoveAll(); }

BOOL CAnchorLayout::CanClipControl(HWND hwnd) {
  CString cls = ClassOf(hwnd);
  DWORD style = StyleOf(hwnd);
  if (cls == "ToolbarWindow32" && (style & 0x8000)) return FALSE;
  if (IsGroupBox(cls, style)) return FALSE;
  if (cls == "Static") {
    switch (style & SS_TYPEMASK) {
      case SS_BLACKRECT:
      case SS_GRAYRECT:
      case SS_WHITERECT:
      case SS_BITMAP:
      case SS_ETCHEDHORZ:
      case SS_ETCHEDVERT: return TRUE;
      case SS_ICON:
      case SS_ENHMETAFILE: return (style & SS_CENTERIMAGE) ? FALSE : TRUE;
      default: return FALSE;
    }
  }
  return TRUE;
}

BOOL CAnchorLayout::NeedsRepaintOnResize(HWND hwnd) {
  if (ClassOf(hwnd) != "Static") return FALSE;
  DWORD style = StyleOf(hwnd);
  switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_BITMAP:
    case SS_ENHMETAFILE: return TRUE;
    case SS_ICON:
    case SS_SIMPLE:
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT: return FALSE;
    default: return (style & SS_CENTERIMAGE) ? TRUE : FALSE;
  }
}

void CAnchorLayout::GetLayoutClientRect(CRect* rect) {
  CWnd* wnd = GetAnchoredWindow();
  if (wnd && wnd->m_hWnd)
    wnd->GetClientRect(rect);
  else
    rect->SetRectEmpty();
}

void CAnchorLayout::AnchorControl(UINT id, AnchorPoint topLeft, AnchorPoint bottomRight) {
  CWnd* wnd = GetAnchoredWindow();
  if (!wnd || !wnd->m_hWnd) return;
  AnchorControl(::GetDlgItem(wnd->m_hWnd, (int)id), topLeft, bottomRight);
}

void CAnchorLayout::AnchorControl(HWND hwnd, AnchorPoint topLeft, AnchorPoint bottomRight) {
  CWnd* wnd = GetAnchoredWindow();
  if (!wnd || !wnd->m_hWnd) return;
  AnchorEntry entry;
  entry.hWnd = hwnd;
  CRect r;
  if (hwnd) {
    CString cls = ClassOf(hwnd);
    DWORD style = StyleOf(hwnd);
    // Kept from painting over the controls that move inside it.
    if (IsGroupBox(cls, style)) ::SetWindowLongPtrA(hwnd, GWL_STYLE, (LONG_PTR)(style | WS_CLIPSIBLINGS));
    entry.bListBox = cls == "ListBox";
    entry.bNeedsRefresh = NeedsRepaintOnResize(hwnd);
    r = RectIn(hwnd, wnd->m_hWnd);
  }
  CRect client;
  GetLayoutClientRect(&client);
  int w = client.Width(), h = client.Height();
  if (bottomRight == ANCHOR_NONE) bottomRight = topLeft;
  entry.topLeft = topLeft;
  entry.bottomRight = bottomRight;
  entry.offTopLeft = CPoint(r.left - Percent(w, topLeft.x), r.top - Percent(h, topLeft.y));
  entry.offBottomRight = CPoint(r.right - Percent(w, bottomRight.x), r.bottom - Percent(h, bottomRight.y));
  m_entries.InsertAt(m_nCtrlCount, entry);
  ++m_nCtrlCount;
}

void CAnchorLayout::ApplyAnchors() {
  CWnd* wnd = GetAnchoredWindow();
  if (!wnd || !wnd->m_hWnd) return;
  CRect client;
  GetLayoutClientRect(&client);
  int w = client.Width(), h = client.Height();
  HDWP batch = ::BeginDeferWindowPos(m_entries.GetSize());
  for (int i = 0; i < m_entries.GetSize(); ++i) {
    const AnchorEntry& e = m_entries[i];
    if (!e.hWnd) {
      CustomArrange(e);
      continue;
    }
    CRect target(Percent(w, e.topLeft.x) + e.offTopLeft.x, Percent(h, e.topLeft.y) + e.offTopLeft.y,
                 Percent(w, e.bottomRight.x) + e.offBottomRight.x, Percent(h, e.bottomRight.y) + e.offBottomRight.y);
    CRect now = RectIn(e.hWnd, wnd->m_hWnd);
    if (target == now) continue;
    UINT flags = SWP_NOZORDER | SWP_NOOWNERZORDER;
    BOOL refresh = e.bNeedsRefresh;
    if (e.bListBox) {
      // A list scrolled near its right end would show stale columns when it grows.
      int pos = 0, limit = ScrollLimit(e.hWnd, &pos);
      refresh = limit > 0 && pos > limit - (target.Width() - now.Width());
    }
    if (refresh) flags |= SWP_NOCOPYBITS;
    if (target.TopLeft() == now.TopLeft()) flags |= SWP_NOMOVE;
    if (target.Size() == now.Size()) flags |= SWP_NOSIZE;
    if (batch)
      batch = ::DeferWindowPos(batch, e.hWnd, nullptr, target.left, target.top, target.Width(), target.Height(), flags);
    else
      ::SetWindowPos(e.hWnd, nullptr, target.left, target.top, target.Width(), target.Height(), flags);
  }
  if (batch) ::EndDeferWindowPos(batch);
}
