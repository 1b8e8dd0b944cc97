#include "ui/theme_api.h"

CThemeApi g_ThemeApi;

namespace {

typedef HTHEME(WINAPI* OpenFn)(HWND, LPCWSTR);
typedef HRESULT(WINAPI* CloseFn)(HTHEME);
typedef HRESULT(WINAPI* DrawFn)(HTHEME, HDC, int, int, const RECT*, const RECT*);
typedef HRESULT(WINAPI* ColorFn)(HTHEME, int, int, int, COLORREF*);
typedef BOOL(WINAPI* AppThemedFn)();
typedef HRESULT(WINAPI* ThemeNameFn)(LPWSTR, int, LPWSTR, int, LPWSTR, int);

// The 20-byte version record DllGetVersion fills.
struct DllVersionInfo {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
};
static_assert(sizeof(DllVersionInfo) == 20, "DLLVERSIONINFO is 20 bytes");
typedef HRESULT(CALLBACK* DllGetVersionFn)(DllVersionInfo*);

constexpr HRESULT kFail = (HRESULT)0x80004005L;  // E_FAIL

// Colour schemes of the standard visual style with which the owner-drawn looks fit.
const char* const kKnownSchemes[] = {"normalcolor", "homestead", "metallic"};

}  // namespace

CThemeApi::CThemeApi(LPCTSTR themeLibrary, LPCTSTR commonControlsLibrary)
    : m_hModule(::LoadLibraryA(themeLibrary)), m_strCommonControls(commonControlsLibrary) {}

CThemeApi::~CThemeApi() {
  if (m_hModule) ::FreeLibrary(m_hModule);
}

FARPROC CThemeApi::Bind(FARPROC& slot, bool& bound, const char* name) {
  if (!bound) {
    slot = m_hModule ? ::GetProcAddress(m_hModule, name) : nullptr;
    bound = true;
  }
  return slot;
}

HTHEME CThemeApi::OpenThemeData(HWND wnd, LPCWSTR classList) {
  OpenFn fn = (OpenFn)(void*)Bind(m_pfnOpen, m_bOpenBound, "OpenThemeData");
  return fn ? fn(wnd, classList) : nullptr;
}

HRESULT CThemeApi::CloseThemeData(HTHEME theme) {
  CloseFn fn = (CloseFn)(void*)Bind(m_pfnClose, m_bCloseBound, "CloseThemeData");
  return fn ? fn(theme) : kFail;
}

HRESULT CThemeApi::DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip) {
  DrawFn fn = (DrawFn)(void*)Bind(m_pfnDraw, m_bDrawBound, "DrawThemeBackground");
  return fn ? fn(theme, dc, part, state, rect, clip) : kFail;
}

HRESULT CThemeApi::GetThemeColor(HTHEME theme, int part, int state, int prop, COLORREF* color) {
  ColorFn fn = (ColorFn)(void*)Bind(m_pfnColor, m_bColorBound, "GetThemeColor");
  return fn ? fn(theme, part, state, prop, color) : kFail;
}

BOOL CThemeApi::IsAppThemed() {
  AppThemedFn fn = (AppThemedFn)(void*)Bind(m_pfnAppThemed, m_bAppThemedBound, "IsAppThemed");
  return fn ? fn() : FALSE;
}

HRESULT CThemeApi::GetCurrentThemeName(LPWSTR themeFile, int themeFileChars, LPWSTR colorName, int colorNameChars,
                                       LPWSTR sizeName, int sizeNameChars) {
  ThemeNameFn fn = (ThemeNameFn)(void*)Bind(m_pfnThemeName, m_bThemeNameBound, "GetCurrentThemeName");
  return fn ? fn(themeFile, themeFileChars, colorName, colorNameChars, sizeName, sizeNameChars) : kFail;
}

void CThemeApi::CommonControlsVersion(DWORD& major, DWORD& minor) const {
  major = minor = 0;
  HMODULE lib = ::LoadLibraryA(m_strCommonControls);
  if (!lib) return;
  DllGetVersionFn fn = (DllGetVersionFn)(void*)::GetProcAddress(lib, "DllGetVersion");
  DllVersionInfo info = {};
  info.cbSize = sizeof info;
  if (fn && SUCCEEDED(fn(&info))) {
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
  }
  ::FreeLibrary(lib);
}

// The answer is cached only once it is final. (Caching "usable" before asking whether
// the application is themed made every later call say yes on an unthemed system, and
// the controls then drew with a theme they could not open.)
BOOL CThemeApi::IsThemeUsable() {
  if (m_nUsable >= 0) return m_nUsable;
  DWORD major = 0, minor = 0;
  CommonControlsVersion(major, minor);
  if (major != 6 || minor != 0) return m_nUsable = 0;

  WCHAR themeFile[256] = {}, colorName[256] = {};
  if (FAILED(GetCurrentThemeName(themeFile, 255, colorName, 255, nullptr, 0))) return m_nUsable = 0;
  char scheme[512] = "";
  ::WideCharToMultiByte(CP_ACP, 0, colorName, -1, scheme, sizeof scheme, nullptr, nullptr);
  bool known = false;
  for (const char* name : kKnownSchemes) known = known || lstrcmpiA(scheme, name) == 0;
  if (!known) return m_nUsable = 0;

  m_nUsable = IsAppThemed() && IsLoaded() ? 1 : 0;
  return m_nUsable;
}
