#include "ui/tests/msg_trail.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "ui/xcombo.h"
#include "ui/xedit.h"
#include "ui/xlist_ctrl.h"

namespace {
std::string WithRowCol(const char* name, WPARAM row, LPARAM col) {
  char buf[96];
  snprintf(buf, sizeof buf, "%s %d,%d", name, (int)row, (int)col);
  return buf;
}
}  // namespace

std::string CommandName(UINT code) {
  switch (code) {
    case CBN_SELCHANGE: return "CBN_SELCHANGE";
    case CBN_SETFOCUS: return "CBN_SETFOCUS";
    case CBN_KILLFOCUS: return "CBN_KILLFOCUS";
    case CBN_DROPDOWN: return "CBN_DROPDOWN";
    case CBN_CLOSEUP: return "CBN_CLOSEUP";
    case CBN_SELENDOK: return "CBN_SELENDOK";
    case CBN_SELENDCANCEL: return "CBN_SELENDCANCEL";
    default: {
      char buf[32];
      snprintf(buf, sizeof buf, "command %u", code);
      return buf;
    }
  }
}

std::string NotifyName(UINT code) {
  switch (code) {
    case NM_CLICK: return "NM_CLICK";
    case LVN_COLUMNCLICK: return "LVN_COLUMNCLICK";
    case NM_CUSTOMDRAW: return "NM_CUSTOMDRAW";
    default: {
      char buf[32];
      snprintf(buf, sizeof buf, "notify %d", (int)code);
      return buf;
    }
  }
}

BOOL CTrailParent::Create(const RECT& rect) {
  LPCTSTR cls = CWnd::RegisterClass(0, nullptr, (HBRUSH)(COLOR_BTNFACE + 1));
  return CWnd::CreateEx(0, cls, "trail", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, rect, nullptr, 0);
}

LRESULT CTrailParent::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_XLISTCTRL_COMBO_SELECTION) Note(WithRowCol("COMBO_SELECTION", wParam, lParam));
  if (message == WM_XLISTCTRL_EDIT_END) Note(WithRowCol("EDIT_END", wParam, lParam));
  if (message == WM_XLISTCTRL_CHECKBOX_CLICKED) Note(WithRowCol("CHECKBOX_CLICKED", wParam, lParam));
  return CWnd::WindowProc(message, wParam, lParam);
}

// What reaches the parent after the control had its reflected turn.
BOOL CTrailParent::OnCommand(WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  if (lParam && ReflectToChild((HWND)lParam, WM_COMMAND, wParam, lParam, &r)) return TRUE;
  if (lParam && m_bRecordCommands) Note(CommandName(HIWORD(wParam)));
  return FALSE;
}

BOOL CTrailParent::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* nm = (const NMHDR*)lParam;
  if (nm->hwndFrom && ReflectToChild(nm->hwndFrom, WM_NOTIFY, wParam, lParam, result)) return TRUE;
  if (m_notifyCodes.count(nm->code)) {
    std::string entry = NotifyName(nm->code);
    if (nm->code == LVN_COLUMNCLICK) entry += " " + std::to_string(((const NMLISTVIEW*)nm)->iSubItem);
    Note(entry);
  }
  return FALSE;
}

void DrainFor(DWORD ms) {
  DWORD start = ::GetTickCount();
  do {
    platform::win::PumpPendingMessages();
    ::Sleep(5);
  } while (::GetTickCount() - start < ms);
  platform::win::PumpPendingMessages();
}

void PressKey(HWND wnd, UINT key, bool alt) {
  UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
  LPARAM flags = 1 | (alt ? (1 << 29) : 0);
  ::PostMessageA(wnd, down, key, flags);
  ::PostMessageA(wnd, up, key, flags | (1u << 30) | (1u << 31));
  platform::win::PumpPendingMessages();
}

void Click(HWND wnd, CPoint point) {
  LPARAM at = MAKELPARAM(point.x, point.y);
  ::SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageA(wnd, WM_LBUTTONUP, 0, at);
}

void PointAt(HWND wnd, CPoint point) {
  ::ClientToScreen(wnd, &point);
  ::SetCursorPos(point.x, point.y);
  ::PostMessageA(wnd, WM_NULL, 0, 0);
  MSG msg;
  while (::PeekMessageA(&msg, wnd, WM_NULL, WM_NULL, PM_REMOVE)) {
  }
}

namespace {

// The tests put the keyboard focus where they need it. Test programs that run side by
// side share the default desktop and take the focus from each other, so these run on
// a desktop of their own (set up before the thread has a window).
class CPrivateDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    char name[64];
    snprintf(name, sizeof name, "corvane-ui-tests-%lu", ::GetCurrentProcessId());
    m_hDesk = ::CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!m_hDesk || !::SetThreadDesktop(m_hDesk))
      fprintf(stderr, "ui tests: no desktop of their own (error %lu)\n", ::GetLastError());
  }

 private:
  HDESK m_hDesk = nullptr;
};

::testing::Environment* const g_privateDesktop = ::testing::AddGlobalTestEnvironment(new CPrivateDesktop);

}  // namespace
