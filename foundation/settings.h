// Program folder, settings store and the small helpers every part uses.
//
// Every file name of both programs starts at the program folder; every setting lives in
// an INI text file, most of them in "Parameters.ini" beside the executable.
#pragma once

#include "platform/core.h"

// Program-wide values, one instance per process.
extern CString g_strAppFolder;     // program folder, ends with "\"
extern WORD g_nUiLanguage;         // 0 Chinese, 1 English
extern CString g_strUnit;          // "mm" or "in"
extern CString g_strNumberFormat;  // "%.3f" (mm) or "%.4f" (in)
extern double g_dUnitFactor;       // stored mm -> shown unit: 1.0 or 1/25.4
extern double g_dDoubleZero;       // geometry epsilon
extern CString g_strMachineId;     // sent with network queries
extern BOOL g_bResetSettings;      // restore the default "Parameters.ini" at quit
extern CString g_strServicePhone;  // shown in the main window's title

// The running executable's folder, "/" turned into "\", ending with "\".
CString GetAppFolder();
// The executable's path with its extension replaced by "ini" (".ini" appended when
// the file name has no extension).
CString GetDefaultIniPath();

// Reads (section, key) of file (empty: GetDefaultIniPath); values are cut to 8191
// characters. A missing key is written with the default, so the key stands in the file
// afterwards; a key that stands is never written back, so a value longer than the read
// is never shortened in the file.
CString ReadIniValue(const char* section, const char* key, const char* def, const char* file);
// Writes one value. A file that cannot take it because it is UTF-16 text is reported to
// the user once per file and run; other failures are ignored.
void WriteIniValue(const char* section, const char* key, const char* value, const char* file);

// "Parameters.ini" in the program folder. GetParamValue cuts to 259 characters and trims
// white space; it does not write back.
CString GetParamValue(const char* section, const char* key, const char* def);
// GetParamValue, and the default written when the key is missing, so that the file
// lists every key its readers know. Readers that want their keys listed use this
// instead of writing back what they read, which would cut longer values.
CString GetParamValueListed(const char* section, const char* key, const char* def);
// Writes one value (a UTF-16 file is reported as by WriteIniValue).
void PutParamValue(const char* section, const char* key, const char* value);
CString GetParamsFilePath();

// A setting text as yes/no: "ENABLE", "TRUE", "YES", "OK", "是" (any case, blanks
// around) or a leading number greater than 0.
int TextToBool(const char* text);

// "0.50" -> "0.5", "7.000" -> "7."; a text without "." is left alone.
void TrimTrailingZeros(CString& text);
void TrimTrailingZerosBuf(char* text);

// Creates every folder named in the path (a file path creates the folders holding it).
void CreateFolderPath(const char* path);
// Deletes the files (unless keepFiles) and subfolders of a folder, and the folder itself
// when removeFolder is set. 1 when the folder could be listed, else 0.
int DeleteFolderTree(const char* path, BOOL keepFiles, BOOL removeFolder);

// Milliseconds since a tick-counter stamp; 0 for the stamp 0 (a stopwatch not running).
DWORD GetTicksSince(DWORD stamp);
// The same between two readings of the counter, across one wrap.
DWORD GetTicksBetween(DWORD stamp, DWORD now);

// Remove leading / trailing spaces in place.
void TrimLeftBlanks(char* text);
void TrimRightBlanks(char* text);
