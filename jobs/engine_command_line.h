// The engine's command line: how the operator program tells a new engine process which
// job it runs, in which language, who its parent is and where an export or upload goes.
//
//   "<program folder>Mardrive.EXE <language>|<job>|<parent pid>[|<target>]"
//
// Both programs use this one definition: the job manager writes it, the engine reads it.
// A text without "|" is a standalone start: the whole text is the job name.
//
// The fields are split at '|' stepping over double-byte characters (a GBK trail byte
// may be '|'), and the job name must be a job name (IsValidJobName): it becomes paths
// and channel names, and one that could leave the Jobs folder is refused.
#pragma once

#include "platform/core.h"

// What StartProcess copies the command line into: 259 characters and a NUL.
constexpr int kEngineCommandLineMax = 259;
constexpr char kEngineExeName[] = "Mardrive.EXE";

struct EngineCommandLine {
  WORD nLanguage = 1;          // 0 Chinese, 1 English
  BOOL bStandalone = FALSE;    // no "|": started by hand, visible, no parent
  CString strJobName;          // empty when the line names none
  LONG nParentPid = -1;        // the operator program's process id; -1 none
  CString strTarget;           // export file, or the storage name of an upload
  BOOL bUploadTarget = FALSE;  // the target began with "*": an upload into the controller
  CString strUploadName;       // the name the upload's Connect carries
};

enum EngineCommandLineStatus {
  kCommandLineOk = 0,
  kCommandLineBadJobName,  // a job name that is not a job name: nothing may be opened
};

// Reads the argument text (after the program name). An empty job name is not an error
// here (the engine then runs without a channel and fails to load the job).
EngineCommandLineStatus ParseEngineCommandLine(const char* text, EngineCommandLine& out);

// Builds the line the engine is started with (four fields, five with a target). FALSE,
// with `line` empty, for a bad job name, a target holding '|', or a line longer than
// kEngineCommandLineMax: a cut line would name another job or file.
BOOL BuildEngineCommandLine(const char* appFolder, WORD language, const char* jobName, DWORD parentPid,
                            const char* target, CString& line);
