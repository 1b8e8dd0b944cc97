/* A stand-in for the visual-styles and common-controls libraries, built as a DLL for
 * the theme tests: it exports the functions CThemeApi binds by name, answering as
 * configured, so that every branch of the theme question can be driven. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeThemeConfig {
  DWORD dwMajor; /* DllGetVersion: version of the "common controls" */
  DWORD dwMinor;
  BOOL bNameFails;       /* GetCurrentThemeName fails */
  WCHAR szColorName[64]; /* the colour scheme GetCurrentThemeName reports */
  BOOL bAppThemed;       /* IsAppThemed */
  BOOL bOpenFails;       /* OpenThemeData answers a null theme */
} FakeThemeConfig;

/* What DrawThemeBackground paints with a theme from OpenThemeData. */
#define FAKE_THEME_MARK RGB(0x12, 0x34, 0x56)

__declspec(dllimport) void FakeTheme_Set(const FakeThemeConfig* config);

#ifdef __cplusplus
}
#endif
