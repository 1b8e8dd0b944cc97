#include "jobs/engine_command_line.h"

#include <cstdlib>

#include "jobs/job_name.h"

namespace {

// The upload rules of a "*" target: "*" alone is an upload without a name; "*[name]"
// keeps its star in the name the Connect carries, "*name" does not.
void ReadUploadTarget(EngineCommandLine& out) {
  out.bUploadTarget = TRUE;
  CString target = out.strTarget.Mid(1);
  bool bracketed = target.GetLength() >= 2 && target[0] == '[' && target[target.GetLength() - 1] == ']';
  target.Remove('[');
  target.Remove(']');
  out.strTarget = target;
  out.strUploadName = (bracketed && !target.IsEmpty()) ? "*" + target : target;
}

}  // namespace

EngineCommandLineStatus ParseEngineCommandLine(const char* text, EngineCommandLine& out) {
  out = EngineCommandLine();
  CString line(text ? text : "");
  line.Trim();
  int bar = line.Find('|');
  if (bar < 0) {
    out.bStandalone = TRUE;
    out.nLanguage = 1;
    out.strJobName = line;
  } else {
    out.nLanguage = (WORD)std::atoi(line.Left(bar));
    CString rest = line.Mid(bar + 1);
    bar = rest.Find('|');
    if (bar < 0) return kCommandLineOk;  // no job name field closed: nothing more is read
    out.strJobName = rest.Left(bar);
    out.strJobName.Trim();
    rest = rest.Mid(bar + 1);
    out.nParentPid = (LONG)std::strtoul(rest, nullptr, 10);
    bar = rest.Find('|');
    if (bar >= 0) {
      out.strTarget = rest.Mid(bar + 1);
      out.strTarget.Trim();
      if (!out.strTarget.IsEmpty() && out.strTarget[0] == '*') ReadUploadTarget(out);
    }
  }
  if (!out.strJobName.IsEmpty() && !IsValidJobName(out.strJobName)) {
    out.strJobName.Empty();
    return kCommandLineBadJobName;
  }
  return kCommandLineOk;
}

BOOL BuildEngineCommandLine(const char* appFolder, WORD language, const char* jobName, DWORD parentPid,
                            const char* target, CString& line) {
  line.Empty();
  if (!IsValidJobName(jobName)) return FALSE;
  CString text;
  text.Format("%s%s %u|%s|%lu", appFolder ? appFolder : "", kEngineExeName, (unsigned)language, jobName,
              (unsigned long)parentPid);
  if (target && *target) {
    if (CString(target).Find('|') >= 0) return FALSE;
    text += "|";
    text += target;
  }
  if (text.GetLength() > kEngineCommandLineMax) return FALSE;
  line = text;
  return TRUE;
}
