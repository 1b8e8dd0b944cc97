#include "platform/win/control_site.h"

BOOL CreateControlWindow(CWnd* wnd, const CLSID&, LPCTSTR, DWORD, const RECT&, CWnd*, UINT) {
  (void)wnd;
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
