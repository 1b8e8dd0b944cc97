// Control bars of a dialog (status bars, toolbars): they align themselves to an edge
// of their parent whenever they are told its size changed.
#pragma once

#include "platform/win/wnd.h"

// The bar ids of the framework.
#define AFX_IDW_CONTROLBAR_FIRST 0xE800
#define AFX_IDW_CONTROLBAR_LAST 0xE8FF
#define AFX_IDW_STATUS_BAR 0xE801

// Moves every child bar whose id lies in [first, last] to its edge of the client area.
void RepositionBars(CWnd* wnd, UINT first = AFX_IDW_CONTROLBAR_FIRST, UINT last = AFX_IDW_CONTROLBAR_LAST);
