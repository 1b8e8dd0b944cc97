// CThemeApi: the visual-styles library, loaded at run time when it is there.
//
// The owner-drawn controls (the combo box and its drop-down) draw their buttons and
// grip with the theme when visual styles are in force and the classic way otherwise.
// The program must start and draw on systems without the library, so nothing links
// against it: each function is looked up by name on its first call and, when the
// library or the export is missing, a fallback with a fixed failure answer stands in.
// A caller therefore never checks for the library; it checks the answers.
#pragma once

#include "platform/core.h"

// The visual-styles library's theme handle (its header is not needed for one type).
typedef HANDLE HTHEME;

// Theme parts, states and properties the controls use (fixed numbers of the
// visual-styles schema).
constexpr int kThemeComboButtonPart = 1;  // COMBOBOX: the drop-down button
constexpr int kThemeComboNormal = 1;
constexpr int kThemeComboHot = 2;
constexpr int kThemeComboPressed = 3;
constexpr int kThemeComboDisabled = 4;
constexpr int kThemeScrollLowerTrackVert = 6;  // SCROLLBAR: lower vertical track
constexpr int kThemeScrollSizeBox = 10;        // SCROLLBAR: the size box
constexpr int kThemeBorderColor = 3801;        // TMT_BORDERCOLOR
constexpr int kThemeFillColor = 3802;          // TMT_FILLCOLOR

class CThemeApi {
 public:
  // The names are those of the system libraries; tests give stand-in libraries.
  explicit CThemeApi(LPCTSTR themeLibrary = "UxTheme.dll", LPCTSTR commonControlsLibrary = "comctl32.dll");
  ~CThemeApi();
  CThemeApi(const CThemeApi&) = delete;
  CThemeApi& operator=(const CThemeApi&) = delete;

  // The library's functions; without it: null theme, E_FAIL, FALSE.
  HTHEME OpenThemeData(HWND wnd, LPCWSTR classList);
  HRESULT CloseThemeData(HTHEME theme);
  HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect, const RECT* clip);
  HRESULT GetThemeColor(HTHEME theme, int part, int state, int prop, COLORREF* color);
  BOOL IsAppThemed();
  HRESULT GetCurrentThemeName(LPWSTR themeFile, int themeFileChars, LPWSTR colorName, int colorNameChars,
                              LPWSTR sizeName, int sizeNameChars);

  // Whether the owner-drawn controls draw with the theme: common controls 6.0, a
  // colour scheme of the standard style ("NormalColor", "HomeStead", "Metallic"),
  // the application themed and the library loaded. Asked once; a change of style
  // while the program runs is not noticed.
  BOOL IsThemeUsable();

  BOOL IsLoaded() const { return m_hModule != nullptr; }

 private:
  // Entry point of name, looked up once (null: the fallback is used).
  FARPROC Bind(FARPROC& slot, bool& bound, const char* name);
  // Major and minor version of the common-controls library (0.0 when unknown).
  void CommonControlsVersion(DWORD& major, DWORD& minor) const;

  HMODULE m_hModule = nullptr;   // the visual-styles library; null when not loaded
  CString m_strCommonControls;   // library asked for its version by IsThemeUsable
  FARPROC m_pfnOpen = nullptr;   // cached entry points, each bound on first use;
  FARPROC m_pfnClose = nullptr;  // null after binding means "use the fallback"
  FARPROC m_pfnDraw = nullptr;
  FARPROC m_pfnColor = nullptr;
  FARPROC m_pfnAppThemed = nullptr;
  FARPROC m_pfnThemeName = nullptr;
  bool m_bOpenBound = false;  // whether each slot above has been bound
  bool m_bCloseBound = false;
  bool m_bDrawBound = false;
  bool m_bColorBound = false;
  bool m_bAppThemedBound = false;
  bool m_bThemeNameBound = false;
  int m_nUsable = -1;  // IsThemeUsable's final answer: -1 not asked yet, 0, 1
};

// The program's one theme access: the library is loaded at start-up and freed at exit.
extern CThemeApi g_ThemeApi;
