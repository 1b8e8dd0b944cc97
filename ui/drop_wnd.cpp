#include "ui/drop_wnd.h"

#include <algorithm>

namespace {

constexpr UINT kDropWndId = 6;
// Created as a child of the desktop (a window of its own, above every other); the low
// bits carry no meaning for its window class.
constexpr DWORD kDropWndStyle = WS_CHILD | 0x00001001;
constexpr int kCheckMarkWidth = 14;  // rows with check marks are this much wider

CPoint PointOf(LPARAM lParam) { return CPoint((short)LOWORD(lParam), (short)HIWORD(lParam)); }

// The pointer left a child of the drop-down: the drop-down itself takes the capture.
void HandCaptureToDropWnd(CWnd* child) {
  ::ReleaseCapture();
  if (CWnd* drop = child->GetParent()) drop->SendMessage(WM_DROP_TAKE_CAPTURE);
}

void ReleaseCaptureOf(HWND wnd) {
  if (::GetCapture() == wnd) ::ReleaseCapture();
}

bool PointInClient(const CWnd* wnd, CPoint point) {
  CRect rc;
  wnd->GetClientRect(&rc);
  return rc.PtInRect(point);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Placement
//
// Height: a full list is rows x row height + 2 (the frame). When fewer than the
// combo's minimum rows fit between its bottom and the screen's bottom, the drop-down
// opens above the combo and ends at the combo's top; otherwise below, cut at the
// screen's bottom. A drop line count (not -1, not above the row count) sets the
// height to that many rows instead.
// Width: the widest row plus the scroll bar and a margin, at least the combo's
// width; moved left to stay on the screen, and cut to the screen when wider.

CRect PlaceDropDown(const DropPlacementInput& in) {
  int h = in.nItemHeight > 0 ? in.nItemHeight : 1;
  int n = in.nItems;
  int fullList = n * h + 2;
  int screenBottom = in.sizeScreen.cy;
  int y = in.rcCreate.top;
  bool allRows = in.nDropLines == -1 || in.nDropLines > n;
  int top, height;
  if ((screenBottom - y) / h < in.nMinVisItems) {
    int comboTop = in.rcCombo.top;
    top = allRows ? std::max(0, comboTop - fullList) : std::max(0, comboTop - h * in.nDropLines - 2);
    height = comboTop - top;
  } else {
    top = y;
    if (allRows) {
      height = std::min(fullList, screenBottom - y);
      if (height < in.cyVScroll) height = in.cyVScroll;
    } else {
      height = std::min(h * in.nDropLines, screenBottom - y) + 2;
    }
  }

  int width = in.nWidestText + ((in.dwStyle & kAcbsCheckedItems) ? kCheckMarkWidth : 0) + in.cxVScroll + 8;
  int listWidth = in.rcCreate.Width() - in.cxVScroll;
  if (width < listWidth) width = in.rcCreate.Width();
  width = std::max(width, in.rcCombo.Width());
  int left = in.rcCreate.left;
  if (left + width > in.sizeScreen.cx) left = in.sizeScreen.cx - width;
  if (left < 0) left = 0;
  if (left == 0 && width > in.sizeScreen.cx) width = in.sizeScreen.cx;
  return CRect(left, top, left + width, top + height);
}

// ---------------------------------------------------------------------------------
// CDropListBox

CDropListBox::CDropListBox(CAdvComboBox* combo, CDropScrollBar* scroll) {
  m_st.m_pCombo = combo;
  m_st.m_pScroll = scroll;
}

CDropListBox::~CDropListBox() = default;

LRESULT CDropListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(lParam);
    case WM_MOUSEMOVE: OnMouseMove(PointOf(lParam)); break;  // then the standard handling
    case WM_LBUTTONUP: OnLButtonUp(PointOf(lParam)); return 0;
    case WM_DROP_TAKE_CAPTURE: SetCapture(); return 0;
    case WM_DROP_RELEASE_CAPTURE: ReleaseCaptureOf(m_hWnd); return 0;
    case WM_DESTROY: FreeItemCopies(); break;
    default: break;
  }
  return CListBox::WindowProc(message, wParam, lParam);
}

LRESULT CDropListBox::OnCreate(LPARAM lParam) {
  LRESULT r = DefWindowProc(WM_CREATE, 0, lParam);
  if (r == -1) return r;
  ModifyStyleEx(0, WS_EX_TOOLWINDOW);
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  if (m_st.m_pCombo) SetFont(m_st.m_pCombo->GetComboFont(), FALSE);
  return r;
}

int CDropListBox::AddListItem(const AdvComboItem& item) {
  int row = AddString(item.strText);
  if (row >= 0) SetItemData(row, (DWORD_PTR) new AdvComboItem(item));
  return row;
}

void CDropListBox::FreeItemCopies() {
  for (int row = 0, n = GetCount(); row < n; ++row) {
    delete (AdvComboItem*)GetItemData(row);
    SetItemData(row, 0);
  }
}

int CDropListBox::ItemHeight() const {
  int h = m_hWnd ? (int)SendMessage(LB_GETITEMHEIGHT, 0) : 0;
  if (h > 0) return h;
  // No usable answer: the height of a line of the font the rows are drawn in.
  HFONT font = m_hWnd ? (HFONT)SendMessage(WM_GETFONT) : nullptr;
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font ? (HGDIOBJ)font : ::GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA tm = {};
  ::GetTextMetricsA(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return tm.tmHeight > 0 ? tm.tmHeight : 1;
}

int CDropListBox::VisibleRows() const {
  CRect rc;
  if (m_hWnd) GetClientRect(&rc);
  return rc.Height() / ItemHeight();
}

CString CDropListBox::RowText(int row) const {
  CString text;
  if (row >= 0 && row < GetCount()) GetText(row, text);
  return text;
}

int CDropListBox::SetSel(int row) {
  int previous = GetCurSel();
  int r = SetCurSel(row);
  if (row != previous && m_st.m_pScroll && m_st.m_pScroll->m_hWnd) {
    m_st.m_nLastTopIdx = GetTopIndex();
    m_st.m_pScroll->SetScrollPos(m_st.m_nLastTopIdx);
  }
  return r;
}

void CDropListBox::SetTop(int row, BOOL scroll) {
  m_st.m_nLastTopIdx = row;
  SetTopIndex(row);
  if (scroll && m_st.m_pScroll && m_st.m_pScroll->m_hWnd) m_st.m_pScroll->SetScrollPos(row);
}

// The row under the pointer becomes the selection; the scroll bar follows the top row.
void CDropListBox::OnMouseMove(CPoint point) {
  if (!PointInClient(this, point)) {
    HandCaptureToDropWnd(this);
    return;
  }
  int row = point.y / ItemHeight() + GetTopIndex();
  if (row < GetCount() && row != GetCurSel()) SetSel(row);
  int top = GetTopIndex();
  if (top != m_st.m_nLastTopIdx && m_st.m_pScroll && m_st.m_pScroll->m_hWnd) {
    m_st.m_nLastTopIdx = top;
    m_st.m_pScroll->SetScrollPos(top);
  }
}

// A release over the list chooses the selected row: the combo gets the row, then the
// close request, both posted (the combo destroys this window when it closes).
void CDropListBox::OnLButtonUp(CPoint point) {
  if (!PointInClient(this, point)) {
    Default();
    HandCaptureToDropWnd(this);
    return;
  }
  Default();
  int row = GetCurSel();
  CAdvComboBox* combo = m_st.m_pCombo;
  if (!combo || !combo->m_hWnd) return;
  if (row != LB_ERR) combo->PostMessage(WM_ACB_SELECTED_ITEM, (WPARAM)row);
  ::ReleaseCapture();
  combo->PostMessage(WM_ACB_DESTROY_DROPDOWN);
}

// ---------------------------------------------------------------------------------
// CDropScrollBar

void CDropScrollBar::SetListBox(CDropListBox* list) {
  m_st.m_pListBox = list;
  SCROLLINFO si = {};
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(list->GetCount() - 1, 0);
  si.nPage = (UINT)list->VisibleRows();
  si.nPos = 0;
  SetScrollInfo(&si);
  ShowWindow(SW_SHOW);
}

void CDropScrollBar::SetPage(int rows) {
  SCROLLINFO si = {};
  si.fMask = SIF_PAGE;
  si.nPage = (UINT)std::max(rows, 0);
  SetScrollInfo(&si);
}

LRESULT CDropScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
      if (PointInClient(this, PointOf(lParam))) break;
      HandCaptureToDropWnd(this);
      return 0;
    case WM_DROP_TAKE_CAPTURE: SetCapture(); return 0;
    case WM_DROP_RELEASE_CAPTURE: ReleaseCaptureOf(m_hWnd); return 0;
    default: break;
  }
  return CScrollBar::WindowProc(message, wParam, lParam);
}

BOOL CDropScrollBar::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_VSCROLL:
      OnVScroll(LOWORD(wParam), HIWORD(wParam));
      *result = 0;
      return TRUE;
    default: return CScrollBar::OnChildNotify(message, wParam, lParam, result);
  }
}

void CDropScrollBar::OnVScroll(UINT code, UINT pos) {
  SCROLLINFO si = {};
  if (!m_st.m_pListBox || !GetScrollInfo(&si)) return;
  int position = si.nPos;
  switch (code) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= (int)si.nPage; break;
    case SB_PAGEDOWN: position += (int)si.nPage; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = (int)pos; break;
    case SB_ENDSCROLL:
      ::ReleaseCapture();
      if (CWnd* drop = GetParent()) drop->PostMessage(WM_DROP_TAKE_CAPTURE);
      SetScrollInfo(&si);
      return;
    default: return;
  }
  position = std::max(si.nMin, std::min(position, si.nMax));
  m_st.m_pListBox->SetTop(position, FALSE);
  si.fMask = SIF_POS;
  si.nPos = position;
  SetScrollInfo(&si);
}

// ---------------------------------------------------------------------------------
// CDropWnd

CDropWnd::CDropWnd(CAdvComboBox* combo, const AdvComboItemList& items, DWORD style) {
  m_st.m_pCombo = combo;
  m_st.m_list = items;
  m_st.m_dwACBStyle = style;
  m_st.m_pScroll.reset(new CDropScrollBar);
  m_st.m_pListBox.reset(new CDropListBox(combo, m_st.m_pScroll.get()));
}

CDropWnd::~CDropWnd() = default;

BOOL CDropWnd::CreateDropDown(const RECT& rect) {
  LPCTSTR cls = CWnd::RegisterClass(CS_DBLCLKS, nullptr, (HBRUSH)(COLOR_WINDOW + 1));
  return CWnd::CreateEx(0, cls, "", kDropWndStyle, rect, CWnd::GetDesktopWindow(), kDropWndId);
}

BOOL CDropWnd::DestroyWindow() {
  if (::GetCapture() && (::GetCapture() == m_hWnd || ::IsChild(m_hWnd, ::GetCapture()))) ::ReleaseCapture();
  if (m_st.m_pListBox && m_st.m_pListBox->m_hWnd) m_st.m_pListBox->DestroyWindow();
  return CWnd::DestroyWindow();
}

LRESULT CDropWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  DropWndState& st = m_st;
  switch (message) {
    case WM_CREATE: return OnCreate((LPCREATESTRUCT)lParam);
    case WM_SIZE: OnSize((short)LOWORD(lParam), (short)HIWORD(lParam)); return 0;
    case WM_PAINT: OnPaintMessage(); return 0;
    case WM_PRINTCLIENT: Paint(CDC::FromHandle((HDC)wParam)); return 0;
    case WM_MOUSEMOVE: OnMouseMove((UINT)wParam, PointOf(lParam)); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown((UINT)wParam, PointOf(lParam)); return 0;
    case WM_LBUTTONUP:
      if (!st.m_bResizing) break;
      OnLButtonUp();
      return 0;
    case WM_ACTIVATEAPP: OnActivateApp((BOOL)wParam); break;
    case WM_DROP_TAKE_CAPTURE: SetCapture(); return 0;
    case WM_DROP_RELEASE_CAPTURE: ReleaseCaptureOf(m_hWnd); return 0;
    default: break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CDropWnd::OnCreate(LPCREATESTRUCT cs) {
  if (DefWindowProc(WM_CREATE, 0, (LPARAM)cs) == -1) return -1;
  CRect rcCreate(cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy);
  // 1. A tool window above all others.
  ModifyStyleEx(0, WS_EX_TOOLWINDOW);
  SetWindowPos(HWND_TOPMOST, rcCreate.left, rcCreate.top, rcCreate.Width(), rcCreate.Height(),
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  int cxv = ::GetSystemMetrics(SM_CXVSCROLL), cyv = ::GetSystemMetrics(SM_CYVSCROLL);

  // 2-3. Scroll bar on the right (room for the grip below it), the list left of it.
  CRect client;
  GetClientRect(&client);
  m_st.m_rcScroll.SetRect(client.right - cxv, client.top, client.right, client.bottom - cyv);
  if (!m_st.m_pScroll->Create(SBS_VERT | SBS_RIGHTALIGN, m_st.m_rcScroll, this, kDropScrollBarId)) return -1;
  m_st.m_rcList.SetRect(0, 0, rcCreate.Width() - cxv, rcCreate.Height());
  if (!m_st.m_pListBox->Create(LBS_NOINTEGRALHEIGHT | WS_VISIBLE, m_st.m_rcList, this, kDropListBoxId)) return -1;
  m_st.m_pListBox->SetStyleFlags(m_st.m_dwACBStyle);
  m_st.m_pListBox->ShowWindow(SW_SHOW);

  // 4-6. Size and place.
  DropPlacementInput in;
  in.rcCreate = rcCreate;
  m_st.m_pCombo->GetWindowRect(&in.rcCombo);
  in.nItemHeight = m_st.m_pListBox->ItemHeight();
  in.nItems = (int)m_st.m_list.size();
  in.nDropLines = m_st.m_pCombo->GetDropLines();
  in.nMinVisItems = m_st.m_pCombo->GetMinVisibleItems();
  in.dwStyle = m_st.m_dwACBStyle;
  in.sizeScreen = CSize(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
  in.cxVScroll = cxv;
  in.cyVScroll = cyv;
  {
    CClientDC dc(m_st.m_pListBox.get());
    CFont* old = dc.SelectObject(m_st.m_pCombo->GetComboFont());
    for (const AdvComboItem& item : m_st.m_list)
      in.nWidestText = std::max(in.nWidestText, (int)dc.GetTextExtent(item.strText).cx);
    dc.SelectObject(old);
  }
  CRect placed = PlaceDropDown(in);
  m_st.m_sizeMax = CSize(placed.Width() + 100, placed.Height() + 100);
  SetWindowPos((HWND) nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);

  // 7. The grip and the rows.
  GetClientRect(&client);
  m_st.m_rcSizeHandle.SetRect(client.right - cxv, client.bottom - cyv, client.right, client.bottom);
  FillList();

  // 8. The scroll bar follows the list; the drop-down sees every click from now on.
  m_st.m_pScroll->SetListBox(m_st.m_pListBox.get());
  SetCapture();
  return 0;
}

void CDropWnd::FillList() {
  for (const AdvComboItem& item : m_st.m_list) m_st.m_pListBox->AddListItem(item);
}

void CDropWnd::OnSize(int cx, int cy) {
  int cxv = ::GetSystemMetrics(SM_CXVSCROLL), cyv = ::GetSystemMetrics(SM_CYVSCROLL);
  m_st.m_rcList.SetRect(0, 0, cx - cxv, cy);
  m_st.m_rcList.DeflateRect(1, 1);
  m_st.m_rcScroll.SetRect(cx - cxv, 0, cx, cy - cyv);
  m_st.m_rcScroll.DeflateRect(1, 1);
  if (m_st.m_pListBox->m_hWnd) m_st.m_pListBox->MoveWindow(&m_st.m_rcList);
  if (m_st.m_pScroll->m_hWnd) m_st.m_pScroll->MoveWindow(&m_st.m_rcScroll);
  m_st.m_rcSizeHandle.SetRect(cx - cxv, cy - cyv, cx, cy);
  m_st.m_rcSizeHandle.DeflateRect(1, 1);
  Invalidate(FALSE);
  if (m_st.m_pScroll->m_hWnd && m_st.m_pListBox->m_hWnd) m_st.m_pScroll->SetPage(m_st.m_pListBox->VisibleRows());
}

void CDropWnd::OnPaintMessage() {
  CPaintDC dc(this);
  Paint(&dc);
}

// The frame round the client area and the grip; the list and the scroll bar paint
// themselves.
void CDropWnd::Paint(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  CBrush frame(::GetSysColor(COLOR_3DDKSHADOW));
  dc->FrameRect(&client, &frame);
  CRect grip = m_st.m_rcSizeHandle;
  CThemeApi* api = Theme();
  HTHEME theme = api->IsThemeUsable() ? api->OpenThemeData(m_hWnd, L"SCROLLBAR") : nullptr;
  if (theme) {
    api->DrawThemeBackground(theme, dc->m_hDC, kThemeScrollLowerTrackVert, 1, &grip, nullptr);
    api->DrawThemeBackground(theme, dc->m_hDC, kThemeScrollSizeBox, 1, &grip, nullptr);
    api->CloseThemeData(theme);
  } else {
    dc->DrawFrameControl(&grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
  }
}

// Whichever of the three windows is under the pointer holds the capture.
void CDropWnd::OnMouseMove(UINT flags, CPoint point) {
  if (m_st.m_bResizing) {
    DragGrip(point);
    return;
  }
  HCURSOR arrow = ::LoadCursor(nullptr, IDC_ARROW);
  if (m_st.m_rcList.PtInRect(point)) {
    ::SetCursor(arrow);
    ::ReleaseCapture();
    m_st.m_pScroll->SendMessage(WM_DROP_RELEASE_CAPTURE);
    m_st.m_pListBox->SetFocus();
    m_st.m_pListBox->SendMessage(WM_DROP_TAKE_CAPTURE);
  } else if (m_st.m_rcScroll.PtInRect(point)) {
    ::SetCursor(arrow);
    m_st.m_pScroll->SetFocus();
    ::ReleaseCapture();
    m_st.m_pListBox->SendMessage(WM_DROP_RELEASE_CAPTURE);
    m_st.m_pScroll->SendMessage(WM_DROP_TAKE_CAPTURE);
  } else {
    ::SetCursor(m_st.m_rcSizeHandle.PtInRect(point) ? ::LoadCursor(nullptr, IDC_SIZENWSE) : arrow);
    SetCapture();
  }
}

// The grip keeps the drop-down at least as wide as the combo and at most 100 pixels
// larger than it opened, in either direction.
void CDropWnd::DragGrip(CPoint point) {
  CRect rc;
  GetWindowRect(&rc);
  CRect combo;
  m_st.m_pCombo->GetWindowRect(&combo);
  int comboWidth = combo.Width();
  int x = point.x + m_st.m_nMouseDiffX;
  int right = x < comboWidth ? rc.left + comboWidth : rc.left + std::min(x, (int)m_st.m_sizeMax.cx);
  int y = point.y + m_st.m_nMouseDiffY;
  int bottom = y < ::GetSystemMetrics(SM_CYVSCROLL) ? rc.top + ::GetSystemMetrics(SM_CXVSCROLL) + 1
               : y > m_st.m_sizeMax.cy              ? rc.top + m_st.m_sizeMax.cy
                                                    : rc.top + y + 2;
  MoveWindow(rc.left, rc.top, right - rc.left, bottom - rc.top, TRUE);
}

void CDropWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (m_st.m_rcSizeHandle.PtInRect(point)) {
    CRect client;
    GetClientRect(&client);
    m_st.m_bResizing = TRUE;
    m_st.m_ptLastResize = point;
    m_st.m_nMouseDiffX = client.Width() - point.x;
    m_st.m_nMouseDiffY = client.Height() - point.y;
    return;
  }
  CAdvComboBox* combo = m_st.m_pCombo;
  if (!PointInClient(this, point)) {
    ::ReleaseCapture();
    combo->PostMessage(WM_ACB_DESTROY_DROPDOWN);
  }
  // The combo may close (and delete) the drop-down while it handles the click.
  HWND self = m_hWnd;
  LPARAM at = MAKELPARAM(point.x, point.y);
  combo->SendMessage(WM_LBUTTONDOWN, flags, at);
  if (!::IsWindow(self)) return;
  DefWindowProc(WM_LBUTTONDOWN, flags, at);
}

void CDropWnd::OnLButtonUp() {
  m_st.m_bResizing = FALSE;
  m_st.m_pListBox->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CDropWnd::OnActivateApp(BOOL active) {
  if (!active && m_st.m_pCombo->m_hWnd) m_st.m_pCombo->PostMessage(WM_ACB_DESTROY_DROPDOWN);
}
