// The program's own profile store: binary entries of the program object's settings,
// kept in the INI file "<program folder>\<program name>.ini" as hexadecimal text (two
// digits a byte), written through the platform's INI store.
#pragma once

#include "platform/core.h"

// Writes the bytes as entry `entry` of `section`; FALSE when the file cannot be written.
BOOL AfxWriteProfileBinary(LPCTSTR section, LPCTSTR entry, const BYTE* data, UINT bytes);
// Reads an entry into a new[] buffer the caller delete[]s. FALSE, with *data null and
// *bytes 0, when the entry is missing or not hexadecimal bytes.
BOOL AfxGetProfileBinary(LPCTSTR section, LPCTSTR entry, BYTE** data, UINT* bytes);
// The store's file; a program (or a test) may point it elsewhere. Empty: the default.
CString AfxGetProfileFile();
void AfxSetProfileFile(LPCTSTR path);
