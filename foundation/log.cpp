#include "foundation/log.h"

#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"

BOOL g_bErrorLog = 0;

namespace {

// Serialises the log writes of this process; other processes append at the same time,
// each line in one append-mode write so that none overwrites another. Process-local
// critical sections: every reply line the engine reads asks whether its log is on, and
// a kernel mutex would cost two trips to the Wine server each time.
CCriticalSection& LogLock() {
  static CCriticalSection m;
  return m;
}
CCriticalSection& ErrorLogLock() {
  static CCriticalSection m;
  return m;
}

int g_logSwitch = -1;  // -1 unread, 0 off, 1 on; guarded by LogLock
CString g_logList;     // lower-case, trimmed

// Unlike TextToBool, "TRUE" and "OK" do not switch logging on.
bool LogSwitchOn(CString text) {
  text.MakeUpper();
  if (text == "ENABLE" || text == "YES" || text == "\xCA\xC7" /* 是 */) return true;
  return strtol(text, nullptr, 10) > 0;
}

void ReadLogSwitch() {
  CString file = g_strAppFolder + "Parameters.ini";
  CString on = ReadIniValue("System", "LogFile", "0", file);
  WriteIniValue("System", "LogFile", on, file);
  CString list = ReadIniValue("System", "LogList", "", file);
  WriteIniValue("System", "LogList", list, file);
  g_logSwitch = LogSwitchOn(on) ? 1 : 0;
  list.Trim();
  list.MakeLower();
  g_logList = list;
}

}  // namespace

void ResetLogSwitchForTests() {
  CSingleLock lock(&LogLock(), TRUE);
  g_logSwitch = -1;
  g_logList.Empty();
}

BOOL IsLogOn(const char* logName) {
  CString name(logName ? logName : "");
  if (name.FindOneOf(":\\/") >= 0) return TRUE;
  CSingleLock lock(&LogLock(), TRUE);
  if (g_logSwitch < 0) ReadLogSwitch();
  name.Trim();
  name.MakeLower();
  return g_logSwitch == 1 && g_logList.Find(name) >= 0;
}

void WriteLog(const char* logName, const char* text, BOOL noTime) {
  CString name(logName ? logName : "");
  if (!IsLogOn(name)) return;
  CTime now = CTime::GetCurrentTime();

  CString path;
  if (name.FindOneOf(":\\/") < 0) {
    path.Format("%s%s-%s.log", (const char*)g_strAppFolder, (const char*)now.Format("%Y%m%d"), (const char*)name);
  } else {
    path = name;
  }
  if (!platform::PathExists(path)) CreateFolderPath(path);

  CString line;
  const char* t = text ? text : "";
  if (strcmp(t, "\r\n") == 0 || strcmp(t, "\r") == 0 || strcmp(t, "\n") == 0)
    line = t;
  else
    line.Format("%s%s\r\n", noTime ? "" : (const char*)now.Format("%H:%M:%S: "), t);

  CSingleLock lock(&LogLock(), TRUE);
  platform::AppendToFile(path, (const char*)line, (size_t)line.GetLength());
}

void WriteErrorLog(const char* first, const char* second, const char* third) {
  if (!g_bErrorLog) return;
  CTime now = CTime::GetCurrentTime();
  CString path;
  path.Format("%s%s-err.log", (const char*)g_strAppFolder, (const char*)now.Format("%Y%m%d"));
  path = path.Left(MAX_PATH - 1);
  CString line;
  line.Format("%s [%s][%s][%s]", (const char*)now.Format("%Y-%m-%d %H:%M:%S"), first ? first : "", second ? second : "",
              third ? third : "");
  line = line.Left(2045) + "\r\n";  // the line buffer holds 2048 bytes
  CSingleLock lock(&ErrorLogLock(), TRUE);
  platform::AppendToFile(path, (const char*)line, (size_t)line.GetLength());
}
