#include "ui/web_browser.h"

IMPLEMENT_DYNCREATE(CWebBrowser2)

CLSID CWebBrowser2::GetClassId() {
  return {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
}

BOOL CWebBrowser2::Create(LPCTSTR, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id, LPVOID) {
  return CreateControlWindow(this, GetClassId(), windowName, style, rect, parent, id);
}
