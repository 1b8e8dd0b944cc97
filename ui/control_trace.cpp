#include "ui/control_trace.h"

#include <cstdio>

void TraceUnhandledMessage(const char* control, UINT message, WPARAM wParam, LPARAM lParam) {
  char line[160];
  snprintf(line, sizeof line, "%s: unhandled message 0x%04X wParam=0x%llX lParam=0x%llX\n", control, message,
           (unsigned long long)wParam, (unsigned long long)lParam);
  ::OutputDebugStringA(line);
  fputs(line, stderr);
}
