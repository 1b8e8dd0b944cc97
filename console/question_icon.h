// The program's icon (resource 128) as a dialog's big and small icon.
#pragma once

#include "platform/win/framework.h"

inline void SetProgramIcon(CWnd& dlg) {
  HICON icon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(128));
  if (icon) {
    dlg.SetIcon(icon, TRUE);
    dlg.SetIcon(icon, FALSE);
  }
}
