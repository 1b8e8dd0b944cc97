#include "ui/wnd_layout_manager.h"

#include <cstring>

#include "platform/win/app_profile.h"

namespace {

constexpr UINT kComboListId = 1000;  // a simple combo box's list
constexpr DWORD kGroupBoxType = BS_GROUPBOX;
constexpr LPCTSTR kPlacementEntry = "WindowPlacement";
// The stored record is the platform's, whole.
static_assert(sizeof(WINDOWPLACEMENT) == 44, "WINDOWPLACEMENT is 44 bytes");

// The child's own visibility (a child of a window not shown yet still counts).
bool IsShown(HWND hwnd) { return (::GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

CRect ScreenRectIn(HWND hwnd, HWND in) {
  CRect r;
  ::GetWindowRect(hwnd, &r);
  ::MapWindowPoints(nullptr, in, (LPPOINT)&r, 2);
  return r;
}

}  // namespace

CString LayoutClassName(HWND hwnd) {
  char name[261] = {};
  ::GetClassNameA(hwnd, name, (int)sizeof name);
  return name;
}

// ---------------------------------------------------------------------------------
// CWndLayoutWindow

HWND CWndLayoutWindow::FindControl(UINT id) { return ::GetDlgItem(m_pWnd->m_hWnd, (int)id); }

CRect CWndLayoutWindow::GetControlRect(HWND ctl) { return ScreenRectIn(ctl, m_pWnd->m_hWnd); }

DWORD CWndLayoutWindow::GetControlStyle(HWND ctl) { return (DWORD)::GetWindowLongPtrA(ctl, GWL_STYLE); }

BOOL CWndLayoutWindow::IsComboControl(HWND ctl) {
  CString cls = LayoutClassName(ctl);
  return cls == "ComboBox" || cls == "ComboBoxEx32";
}

void CWndLayoutWindow::MoveControl(HWND ctl, const CRect& rect) {
  CRect r = rect;
  HWND parent = ::GetParent(ctl);
  if (parent != m_pWnd->m_hWnd) ::MapWindowPoints(m_pWnd->m_hWnd, parent, (LPPOINT)&r, 2);
  ::MoveWindow(ctl, r.left, r.top, r.Width(), r.Height(), TRUE);
}

void CWndLayoutWindow::RedrawControl(HWND ctl, BOOL erase) {
  ::RedrawWindow(ctl, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | (erase ? RDW_ERASE : 0));
}

BOOL CWndLayoutWindow::GetComboListBottom(HWND combo, int* bottom) {
  HWND list = ::GetDlgItem(combo, (int)kComboListId);
  if (!list) return FALSE;
  *bottom = ScreenRectIn(list, m_pWnd->m_hWnd).bottom;
  return TRUE;
}

void CWndLayoutWindow::AdjustTabRect(HWND tab, BOOL larger, CRect* rect) {
  ::SendMessageA(tab, TCM_ADJUSTRECT, (WPARAM)larger, (LPARAM)(RECT*)rect);
}

CRect CWndLayoutWindow::GetClientRect() {
  CRect r;
  ::GetClientRect(m_pWnd->m_hWnd, &r);
  return r;
}

BOOL CWndLayoutWindow::IsTopLevelDialog() {
  return LayoutClassName(m_pWnd->m_hWnd) == "#32770" && !(m_pWnd->GetStyle() & WS_CHILD);
}

CRect CWndLayoutWindow::GetWindowRect() {
  CRect r;
  ::GetWindowRect(m_pWnd->m_hWnd, &r);
  return r;
}

void CWndLayoutWindow::MoveWindowTo(const CRect& rect) {
  ::MoveWindow(m_pWnd->m_hWnd, rect.left, rect.top, rect.Width(), rect.Height(), TRUE);
}

// Spin buttons aligned to a buddy are given the same buddy again, which moves them
// beside where the buddy is now.
void CWndLayoutWindow::AfterLayout() {
  HWND hwnd = m_pWnd->m_hWnd;
  for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!IsShown(child) || LayoutClassName(child) != UPDOWN_CLASSA) continue;
    if (!(::GetWindowLongPtrA(child, GWL_STYLE) & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) continue;
    HWND buddy = (HWND)::SendMessageA(child, UDM_GETBUDDY, 0, 0);
    if (buddy) ::SendMessageA(child, UDM_SETBUDDY, (WPARAM)buddy, 0);
  }
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

// ---------------------------------------------------------------------------------
// CWndLayoutManager

CWndLayoutManager::CWndLayoutManager(CWnd* wnd) : RDQLayoutManager(&m_window), m_pWnd(wnd), m_window(wnd) {}

void CWndLayoutManager::PaintBackground(CDC* dc) {
  HWND hwnd = m_pWnd->m_hWnd;
  CRect client;
  ::GetClientRect(hwnd, &client);
  CRgn area;
  area.CreateRectRgnIndirect(&client);
  dc->SelectClipRgn(nullptr);
  for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!IsShown(child)) continue;
    CString cls = LayoutClassName(child);
    DWORD style = (DWORD)::GetWindowLongPtrA(child, GWL_STYLE);
    if (cls == "Button" && (style & 7) == kGroupBoxType) continue;
    CRect r = ScreenRectIn(child, hwnd);
    CRgn cut;
    if (cls == WC_TABCONTROLA) {
      // The tab strip and frame, not the page area.
      CRect display = r;
      ::SendMessageA(child, TCM_ADJUSTRECT, FALSE, (LPARAM)(RECT*)&display);
      CRgn page;
      cut.CreateRectRgnIndirect(&r);
      page.CreateRectRgnIndirect(&display);
      cut.CombineRgn(&cut, &page, RGN_DIFF);
    } else if (cls == STATUSCLASSNAMEA) {
      POINT grip[3] = {{r.right, r.top}, {r.right, r.bottom}, {r.right - r.Height(), r.bottom}};
      cut.CreatePolygonRgn(grip, 3, ALTERNATE);
    } else {
      cut.CreateRectRgnIndirect(&r);
    }
    area.CombineRgn(&area, &cut, RGN_DIFF);
  }
  // A class brush may be a system colour index plus one.
  HBRUSH brush = (HBRUSH)::GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND);
  if ((ULONG_PTR)brush > 0 && (ULONG_PTR)brush <= COLOR_MENUBAR + 1)
    brush = ::GetSysColorBrush((int)(ULONG_PTR)brush - 1);
  if (!brush) brush = ::GetSysColorBrush(COLOR_BTNFACE);
  ::FillRgn(dc->m_hDC, (HRGN)area.m_hObject, brush);
}

BOOL CWndLayoutManager::SaveWindowPlacement(LPCTSTR section) {
  WINDOWPLACEMENT wp = {};
  if (m_pWnd->m_hWnd && m_pWnd->GetWindowPlacement(&wp)) {
    if (wp.showCmd != SW_SHOWMAXIMIZED) wp.showCmd = SW_SHOWNORMAL;
    AfxWriteProfileBinary(section, kPlacementEntry, (const BYTE*)&wp, sizeof wp);
  }
  return TRUE;
}

BOOL CWndLayoutManager::LoadWindowPlacement(LPCTSTR section) {
  BYTE* data = nullptr;
  UINT bytes = 0;
  if (AfxGetProfileBinary(section, kPlacementEntry, &data, &bytes) && bytes == sizeof(WINDOWPLACEMENT)) {
    WINDOWPLACEMENT wp;
    memcpy(&wp, data, sizeof wp);
    m_pWnd->SetWindowPlacement(&wp);
  }
  delete[] data;
  return TRUE;
}
