// Bilingual texts, the message box and the text of the last system error.
//
// Every message and dialog template exists twice, Chinese and English; a pair of ids
// (Chinese first) names it and g_nUiLanguage picks one.
#pragma once

#include "platform/core.h"

// Shown after the application title in every caption.
#define CORVANE_VERSION_SUFFIX " (V7.1.1)"

// The string of the current UI language (English unless g_nUiLanguage is 0).
CString LoadLangString(UINT chineseId, UINT englishId);
// The English id when g_nUiLanguage is exactly 1, otherwise the Chinese id.
UINT PickLangId(UINT chineseId, UINT englishId);
// "<application title> (V7.1.1)"
CString GetMessageCaption();

// Modal message box owned by the main window, captioned with GetMessageCaption();
// returns the button pressed (IDOK, IDYES, ...).
int ShowMessage(const char* text, UINT type = MB_OK);

// The system's text for the calling thread's last error code, empty when there is none.
CString LastErrorText();
// The text for a given code (what LastErrorText uses).
CString ErrorCodeText(DWORD code);

#ifdef _WIN32
// Box without owner, captioned "Error", showing LastErrorText().
void ShowLastErrorBox();
// Simplified Chinese (code page 936) <-> traditional Chinese (code page 950).
CString Gb2312ToBig5(const char* text);
CString Big5ToGb2312(const char* text);
#endif
