#include "platform/ui_hooks.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {
std::atomic<MessageBoxHook> g_boxHook{nullptr};
std::atomic<PumpHook> g_pumpHook{nullptr};
#ifdef _WIN32
std::atomic<HWND> g_mainWnd{nullptr};
#endif
}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return g_boxHook.exchange(hook); }

int DefaultButton(UINT type) {
  static constexpr int kButtons[][3] = {{IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL},
                                        {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
                                        {IDYES, IDNO, IDNO},          {IDRETRY, IDCANCEL, IDCANCEL}};
  UINT kind = type & MB_TYPEMASK;
  if (kind > 5) kind = 0;
  UINT def = (type & MB_DEFMASK) >> 8;
  if (def > 2) def = 0;
  return kButtons[kind][def];
}

int ShowMessageBox(const char* text, const char* caption, UINT type, bool owned) {
#ifdef _WIN32
  return ShowMessageBoxFor(owned ? g_mainWnd.load() : nullptr, text, caption, type);
#else
  (void)owned;
  if (MessageBoxHook hook = g_boxHook.load()) return hook(text ? text : "", caption ? caption : "", type);
  fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
  return DefaultButton(type);
#endif
}

void SetPumpHook(PumpHook hook) { g_pumpHook.store(hook); }

void PumpMessages() {
  if (PumpHook hook = g_pumpHook.load()) hook();
}

#ifdef _WIN32
void SetMainWindow(HWND hwnd) { g_mainWnd.store(hwnd); }
HWND GetMainWindow() { return g_mainWnd.load(); }

int ShowMessageBoxFor(HWND owner, const char* text, const char* caption, UINT type) {
  if (MessageBoxHook hook = g_boxHook.load()) return hook(text ? text : "", caption ? caption : "", type);
  return MessageBoxA(owner, text, caption, type);
}
#endif

}  // namespace platform
