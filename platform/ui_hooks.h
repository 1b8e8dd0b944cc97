// The narrow seam through which portable modules reach the user interface.
//
// Loaders and optimisers run long loops on the UI thread. They never include a window
// header: they ask here for a message box and for the message queue to be drained, and
// the window framework (or a test) installs the real behaviour.
#pragma once

#include "platform/types.h"

namespace platform {

// Message box: text, caption, the platform's MB_* type; returns the IDxxx button.
using MessageBoxHook = int (*)(const char* text, const char* caption, UINT type);

// Installs a hook that answers every message box instead of showing it (tests do this);
// nullptr restores the default. Returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Shows a modal message box, owned by the program's main window (see SetMainWindow)
// unless owned is false. Without a hook: on Windows the real box; on the host the text
// goes to stderr and the default button is the answer.
int ShowMessageBox(const char* text, const char* caption, UINT type, bool owned = true);

// The button a box of this type answers with when Enter is pressed.
int DefaultButton(UINT type);

// Drains the UI thread's message queue; set by the window framework, a no-op otherwise.
using PumpHook = void (*)();
void SetPumpHook(PumpHook hook);
void PumpMessages();

#ifdef _WIN32
// Owner of message boxes: the application's main window.
void SetMainWindow(HWND hwnd);
HWND GetMainWindow();
// As ShowMessageBox, owned by the given window (a dialog's own boxes).
int ShowMessageBoxFor(HWND owner, const char* text, const char* caption, UINT type);
#endif

}  // namespace platform
