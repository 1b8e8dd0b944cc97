/* The stand-in theme library (see fake_theme.h). */
#define FakeTheme_Set FakeTheme_Set_Declared
#include "fake_theme.h"
#undef FakeTheme_Set

typedef struct DllVersionInfo {
  DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
} DllVersionInfo;

static FakeThemeConfig g_config = {6, 0, FALSE, L"NormalColor", TRUE, FALSE};
static int g_theme; /* its address is the one theme handle handed out */

__declspec(dllexport) void FakeTheme_Set(const FakeThemeConfig* config) { g_config = *config; }

__declspec(dllexport) HRESULT WINAPI DllGetVersion(DllVersionInfo* info) {
  if (!info || info->cbSize != sizeof *info) return E_INVALIDARG;
  info->dwMajorVersion = g_config.dwMajor;
  info->dwMinorVersion = g_config.dwMinor;
  return S_OK;
}

__declspec(dllexport) BOOL WINAPI IsAppThemed(void) { return g_config.bAppThemed; }

__declspec(dllexport) HRESULT WINAPI GetCurrentThemeName(LPWSTR file, int fileChars, LPWSTR color, int colorChars,
                                                         LPWSTR size, int sizeChars) {
  if (g_config.bNameFails) return E_FAIL;
  if (file && fileChars > 0) lstrcpynW(file, L"fake.msstyles", fileChars);
  if (color && colorChars > 0) lstrcpynW(color, g_config.szColorName, colorChars);
  if (size && sizeChars > 0) lstrcpynW(size, L"NormalSize", sizeChars);
  return S_OK;
}

__declspec(dllexport) HANDLE WINAPI OpenThemeData(HWND wnd, LPCWSTR classes) {
  return g_config.bOpenFails ? NULL : (HANDLE)&g_theme;
}

__declspec(dllexport) HRESULT WINAPI CloseThemeData(HANDLE theme) { return theme == &g_theme ? S_OK : E_HANDLE; }

__declspec(dllexport) HRESULT WINAPI DrawThemeBackground(HANDLE theme, HDC dc, int part, int state, const RECT* rect,
                                                         const RECT* clip) {
  if (theme != &g_theme) return E_HANDLE; /* as the real library: a null theme draws nothing */
  HBRUSH mark = CreateSolidBrush(FAKE_THEME_MARK);
  FillRect(dc, rect, mark);
  DeleteObject(mark);
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI GetThemeColor(HANDLE theme, int part, int state, int prop, COLORREF* color) {
  if (theme != &g_theme || !color) return E_HANDLE;
  *color = RGB(0x20, 0x40, 0x60);
  return S_OK;
}
