// Named daily logs and the error log.
//
// A bare log name ("frames", "sys") is written only when [System] "LogFile" is on and
// the name occurs in [System] "LogList"; both are read once per process. A name with
// ":", "\" or "/" is a file path and is always written.
#pragma once

#include "platform/core.h"

extern BOOL g_bErrorLog;  // switch of WriteErrorLog; nothing turns it on

// Whether WriteLog writes to this log. A loop that logs per item asks once, instead of
// paying for the switch check (a lock) on every line.
BOOL IsLogOn(const char* logName);
// Appends "%H:%M:%S: " + text + "\r\n" (no time with noTime; a bare line end as is) to
// "<program folder><yyyymmdd>-<name>.log" or to the path given as name.
void WriteLog(const char* logName, const char* text, BOOL noTime = FALSE);
// Appends "<time> [first][second][third]" to "<program folder><yyyymmdd>-err.log".
void WriteErrorLog(const char* first, const char* second, const char* third);

// Forgets the log switch so that the next WriteLog reads it again (tests only).
void ResetLogSwitchForTests();
