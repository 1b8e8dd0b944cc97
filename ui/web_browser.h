// CWebBrowser2: the window class that hosts the platform's web browser control.
//
// The framework has no control containment (platform/win/control_site.h), so Create
// always fails: no window is made and the caller shows nothing in its place. The
// system works without it; only the web home page is not shown.
#pragma once

#include "platform/win/control_site.h"
#include "platform/win/runtime_class.h"

class CWebBrowser2 : public CWnd {
  DECLARE_DYNCREATE(CWebBrowser2)

 public:
  CWebBrowser2() = default;
  ~CWebBrowser2() override = default;

  // {8856F961-340A-11D0-A96B-00C04FD705A2}
  static CLSID GetClassId();
  // Ignores the class name and creates the browser control through the control
  // containment; non-zero on success.
  BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
              LPVOID param = nullptr) override;
};
