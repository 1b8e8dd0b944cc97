#include "device/device_text.h"

#include <cstdlib>
#include <cstring>

#include "foundation/texts.h"
#include "platform/mbcs.h"
#include "resources/resource.h"

namespace device_text {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

double ToDouble(const char* text) {
  if (!text) return 0.0;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (IsDigit(*p)) ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* e = p + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) {
      while (IsDigit(*e)) ++e;
      p = e;
    }
  }
  // strtod on a copy of exactly the prefix, so it cannot take more than we allow.
  char buf[128];
  size_t n = (size_t)(p - start);
  if (n >= sizeof(buf)) {
    std::string s(start, n);
    return strtod(s.c_str(), nullptr);
  }
  memcpy(buf, start, n);
  buf[n] = '\0';
  return strtod(buf, nullptr);
}

int32_t ToLong(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint32_t v = 0;
  while (IsDigit(*p)) v = v * 10u + (uint32_t)(*p++ - '0');
  if (negative) v = 0u - v;
  return (int32_t)v;
}

void CopyField(char* field, size_t size, const char* text) {
  if (!field || size == 0) return;
  size_t n = 0;
  if (text) {
    while (text[n] != '\0') {
      size_t len = (size_t)mbcs::CharLen(text + n);
      if (n + len > size - 1) break;
      n += len;
    }
    memcpy(field, text, n);
  }
  memset(field + n, 0, size - n);
}

}  // namespace device_text

CString ProgramSubfolder(const char* name) {
  CString folder = g_strAppFolder;
  if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != '\\' && folder[folder.GetLength() - 1] != '/')
    folder += "\\";
  return folder + name + "\\";
}

void MoveFileToBackup(const char* path) {
  if (!path || !*path) throw CFileException(CFileException::badPath, ERROR_INVALID_PARAMETER);
  CString backup = CString(path) + ".bak";
  if (platform::PathExists(backup)) CFile::Remove(backup);
  CFile::Rename(path, backup);
}

namespace {
// Names the system keeps for its devices, with or without an extension.
bool IsReservedName(const char* name) {
  CString base(name);
  int dot = base.Find('.');
  if (dot >= 0) base = base.Left(dot);
  base.TrimRight();
  base.MakeUpper();
  for (const char* reserved : {"CON", "PRN", "AUX", "NUL"})
    if (base == reserved) return true;
  return base.GetLength() == 4 && (base.Left(3) == "COM" || base.Left(3) == "LPT") && base[3] >= '1' && base[3] <= '9';
}
}  // namespace

BOOL CheckFileBaseName(const char* name, const char* cutAt, CString* error) {
  bool ok = name && *name && !IsReservedName(name);
  for (const char* p = name; ok && *p; p += mbcs::CharLen(p)) {
    unsigned char c = (unsigned char)*p;
    if (c < 0x20 || strchr("\\/:*?\"<>|", c)) ok = false;
  }
  // The listing would cut the file's name in front of cutAt and find another name.
  if (ok && cutAt && *cutAt && (CString(name) + ".pam").Find(cutAt) < (int)strlen(name)) ok = false;
  if (!ok && error) {
    error->Format(LoadLangString(IDS_BAD_FILE_NAME_CN, IDS_BAD_FILE_NAME_EN), name ? name : "");
  }
  return ok ? TRUE : FALSE;
}
