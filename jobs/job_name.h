// Job names and the paths made from them.
//
// A job name is the name of its folder under "<program folder>Jobs\", the stem of its
// files and part of its channel names, and it comes from the operator or from the
// engine's command line. A name that is not one plain folder name ("..", "a\b", "C:x")
// would make the job's files land, or its deletion reach, outside the Jobs folder, so
// every path below is made only from a name that passed IsValidJobName, and both the
// job table and the engine's command line refuse the others.
#pragma once

#include "platform/core.h"

// Longest job name in bytes: the job's deepest path ("Jobs\<name>\<name>.snapshot"
// and its temporary twin) must leave room for the program folder within MAX_PATH.
constexpr int kMaxJobNameLength = 80;

// TRUE when the name can name a job: 1..kMaxJobNameLength bytes of whole characters of
// the code page; no control character and none of \ / : * ? " < > |; no blank at either
// end and no dot at the end (the file system drops them, so "a." would be the folder
// of "a"); not a device name of the file system (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// CONIN$, CONOUT$, also with an extension). Trail bytes of double-byte characters may be
// '\' or '|' and are part of their character.
BOOL IsValidJobName(const char* name);

// "<program folder>Jobs\"
CString JobsFolderPath();
// "<program folder>Jobs\<name>\"; empty for an invalid name.
CString JobFolderPath(const char* name);
// "<program folder>Jobs\<name>\<name><extension>" (extension with its dot, ".jobinfo");
// empty for an invalid name or when the path, or the file written beside it while it
// is replaced, would not fit MAX_PATH.
CString JobFilePath(const char* name, const char* extension);
