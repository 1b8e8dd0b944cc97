// Control containment: hosting a COM control (an ActiveX control) in a window.
//
// This framework hosts no such controls. Creating one always fails: no window is
// made and the caller gets FALSE, which every caller handles (the system needs none
// of them to work). The one control the programs ask for is the web browser.
#pragma once

#include "platform/win/wnd.h"

// Creates the control of class id `clsid` as a child window of `parent` on `wnd`.
// Returns FALSE and leaves `wnd` without a window.
BOOL CreateControlWindow(CWnd* wnd, const CLSID& clsid, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                         UINT id);
