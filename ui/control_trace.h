// Messages a control was sent but does not know are reported, never dropped in
// silence: a private message nobody answers is a caller's mistake worth seeing.
#pragma once

#include "platform/core.h"

// One line on the debugger output and stderr: control, message number, arguments.
void TraceUnhandledMessage(const char* control, UINT message, WPARAM wParam, LPARAM lParam);
