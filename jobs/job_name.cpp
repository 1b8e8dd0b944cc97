#include "jobs/job_name.h"

#include <cstring>

#include "foundation/settings.h"
#include "jobs/job_files.h"
#include "platform/mbcs.h"

namespace {

bool IsForbiddenByte(unsigned char c) { return c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The file system's device names answer whatever the extension or trailing blanks.
bool IsDeviceName(const char* name) {
  static const char* const kDevices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3",   "COM4",
                                         "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2",   "LPT3",
                                         "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$"};
  CString base(name);
  int dot = base.Find('.');
  if (dot >= 0) base = base.Left(dot);
  base.TrimRight();
  for (const char* device : kDevices)
    if (base.CompareNoCase(device) == 0) return true;
  return false;
}

}  // namespace

BOOL IsValidJobName(const char* name) {
  if (!name || !*name) return FALSE;
  size_t length = std::strlen(name);
  if (length > (size_t)kMaxJobNameLength) return FALSE;
  if (IsBlank(name[0]) || IsBlank(name[length - 1]) || name[length - 1] == '.') return FALSE;
  const char* end = name + length;
  for (const char* p = name; p < end;) {
    unsigned char c = (unsigned char)*p;
    if (mbcs::IsLead(c)) {
      if (p + 1 >= end) return FALSE;  // a lead byte without its trail byte
      p += 2;
      continue;
    }
    if (IsForbiddenByte(c)) return FALSE;
    ++p;
  }
  return IsDeviceName(name) ? FALSE : TRUE;
}

CString JobsFolderPath() { return g_strAppFolder + "Jobs\\"; }

CString JobFolderPath(const char* name) {
  if (!IsValidJobName(name)) return CString();
  return JobsFolderPath() + name + "\\";
}

CString JobFilePath(const char* name, const char* extension) {
  CString folder = JobFolderPath(name);
  if (folder.IsEmpty()) return folder;
  CString path = folder + name + (extension ? extension : "");
  // The file is written beside itself first, under a longer name.
  if (path.GetLength() + kReplacingSuffixLength >= MAX_PATH) return CString();
  return path;
}
