// The window framework in one include: program and threads, windows and message
// maps, dialogs and data exchange, controls, GDI, file dialogs.
#pragma once

#include "platform/win/app.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/filedlg.h"
#include "platform/win/gdi.h"
#include "platform/win/wnd.h"
