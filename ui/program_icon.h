// The program's icon on a dialog's caption and task bar entry.
#pragma once

#include "platform/win/framework.h"

// Sets the program icon (IDI_PROGRAM) as the window's big and small icon, each loaded at
// its own system size so the small one is not a shrunk copy of the big one. The icons are
// shared: the window never frees them.
void SetProgramIcon(CWnd& wnd);
