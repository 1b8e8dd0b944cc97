#include "platform/win/control_bars.h"

// The common bars (status bar, toolbar) move and size themselves to their parent's
// edge on WM_SIZE; the parent's client size is what they are told.
void RepositionBars(CWnd* wnd, UINT first, UINT last) {
  HWND parent = HwndOf(wnd);
  if (!parent) return;
  RECT client;
  ::GetClientRect(parent, &client);
  LPARAM size = MAKELPARAM(client.right - client.left, client.bottom - client.top);
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    UINT id = (UINT)::GetDlgCtrlID(child);
    if (id >= first && id <= last) ::SendMessageA(child, WM_SIZE, SIZE_RESTORED, size);
  }
}
