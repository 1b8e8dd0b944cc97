// The program's icon as a dialog's big and small icon.
#pragma once

#include "platform/win/framework.h"
#include "resources/resource.h"

inline void SetProgramIcon(CWnd& dlg) {
  HICON icon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM));
  if (icon) {
    dlg.SetIcon(icon, TRUE);
    dlg.SetIcon(icon, FALSE);
  }
}
