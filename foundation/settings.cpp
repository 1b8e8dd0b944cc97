#include "foundation/settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/texts.h"
#include "platform/mbcs.h"
#include "resources/resource.h"

CString g_strAppFolder;
WORD g_nUiLanguage = 0;
CString g_strUnit = "mm";
CString g_strNumberFormat = "%.3f";
double g_dUnitFactor = 1.0;
double g_dDoubleZero = 1e-7;
CString g_strMachineId;
BOOL g_bResetSettings = 0;
CString g_strServicePhone = "400-000-0000";

namespace {

constexpr DWORD kIniReadChars = 8192;   // ReadIniValue's buffer
constexpr DWORD kParamReadChars = 260;  // GetParamValue's buffer

// Settings files already reported as UTF-16 in this run (each is reported once).
CCriticalSection g_reportedLock;
CStringArray g_arrReportedFiles;

// A write refused because the file is UTF-16 text: the user learns once why changes do
// not stay. Other failures (a locked or read-only file) are not reported, as before.
void ReportUnwritableSettings(const CString& path) {
  if (!ProfileIsUtf16File(path)) return;
  {
    CSingleLock lock(&g_reportedLock, TRUE);
    for (const CString& done : g_arrReportedFiles)
      if (done.CompareNoCase(path) == 0) return;
    g_arrReportedFiles.Add(path);
  }
  CString text;
  text.Format(LoadLangString(IDS_SETTINGS_UTF16_CN, IDS_SETTINGS_UTF16_EN), (const char*)path);
  ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
}

CString ModulePath() {
  char buf[MAX_PATH + 1] = {0};
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return CString();
  return CString(buf, (int)n);
}

}  // namespace

CString GetAppFolder() {
  CString path = ModulePath();
  path.Replace('/', '\\');
  int slash = path.ReverseFind('\\');
  return slash >= 0 ? path.Left(slash + 1) : path;
}

CString GetDefaultIniPath() {
  CString path = ModulePath();
  if (path.IsEmpty()) return path;
  // Only a dot of the file name counts; a program without an extension gets ".ini"
  // appended rather than having its settings written into the program itself.
  int dot = path.ReverseFind('.');
  int slash = std::max(path.ReverseFind('\\'), path.ReverseFind('/'));
  return dot > slash ? path.Left(dot + 1) + "ini" : path + ".ini";
}

CString ReadIniValue(const char* section, const char* key, const char* def, const char* file) {
  CString path = (file && *file) ? CString(file) : GetDefaultIniPath();
  CString value = ProfileGetText(section, key, def, path, kIniReadChars);
  if (!ProfileHasKey(section, key, path)) WriteIniValue(section, key, value, path);
  return value;
}

void WriteIniValue(const char* section, const char* key, const char* value, const char* file) {
  CString path = (file && *file) ? CString(file) : GetDefaultIniPath();
  if (!ProfileWriteString(section, key, value, path)) ReportUnwritableSettings(path);
}

CString GetParamsFilePath() { return g_strAppFolder + "Parameters.ini"; }

CString GetParamValue(const char* section, const char* key, const char* def) {
  CString value = ProfileGetText(section, key, def, GetParamsFilePath(), kParamReadChars);
  value.Trim();
  return value;
}

CString GetParamValueListed(const char* section, const char* key, const char* def) {
  CString value = GetParamValue(section, key, def);
  if (!ProfileHasKey(section, key, GetParamsFilePath())) PutParamValue(section, key, value);
  return value;
}

void PutParamValue(const char* section, const char* key, const char* value) {
  if (!ProfileWriteString(section, key, value, GetParamsFilePath())) ReportUnwritableSettings(GetParamsFilePath());
}

int TextToBool(const char* text) {
  CString t(text);
  t.Trim();
  t.MakeUpper();
  static constexpr const char* kYes[] = {"ENABLE", "TRUE", "YES", "OK", "\xCA\xC7" /* 是 */};
  for (const char* y : kYes)
    if (t == y) return 1;
  return strtol(t, nullptr, 10) > 0 ? 1 : 0;
}

void TrimTrailingZeros(CString& text) {
  if (text.Find('.') < 0) return;
  int n = text.GetLength();
  while (n > 0 && text[n - 1] == '0') --n;
  text = text.Left(n);
}

void TrimTrailingZerosBuf(char* text) {
  if (!text || !strchr(text, '.')) return;
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == '0') text[--n] = '\0';
}

void CreateFolderPath(const char* path) {
  if (!path) return;
  // The working copy holds 4096 bytes; a longer path only gets its leading folders.
  CString work = CString(path).Left(4095);
  work.Replace('/', '\\');
  const char* b = work;
  const char* e = b + work.GetLength();
  for (const char* p = b; p < e; p += mbcs::CharLen(p, e)) {
    if (*p == '\\' && p > b) platform::MakeDirectory(CString(b, (int)(p - b)));
  }
}

int DeleteFolderTree(const char* path, BOOL keepFiles, BOOL removeFolder) {
  CString dir(path);
  dir.Replace('/', '\\');
  if (dir.IsEmpty() || dir[dir.GetLength() - 1] != '\\') dir += '\\';
  CFileFind finder;
  if (!finder.FindFile(dir + "*.*")) return 0;
  BOOL more = TRUE;
  while (more) {
    more = finder.FindNextFile();
    if (finder.IsDots()) continue;
    if (finder.IsDirectory())
      DeleteFolderTree(finder.GetFilePath(), keepFiles, TRUE);
    else if (!keepFiles)
      platform::RemoveFile(finder.GetFilePath());
  }
  finder.Close();
  if (removeFolder) platform::RemoveFolder(dir);
  return 1;
}

DWORD GetTicksBetween(DWORD stamp, DWORD now) {
  if (stamp == 0) return 0;
  if (now >= stamp) return now - stamp;
  return 0xFFFFFFFFu - stamp + now;
}

DWORD GetTicksSince(DWORD stamp) { return GetTicksBetween(stamp, GetTickCount()); }

void TrimLeftBlanks(char* text) {
  if (!text) return;
  size_t skip = 0;
  while (text[skip] == ' ') ++skip;
  if (skip) memmove(text, text + skip, strlen(text + skip) + 1);
}

void TrimRightBlanks(char* text) {
  if (!text) return;
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}
