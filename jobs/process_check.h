// Whether a process id still stands for a running process: the operator program asks
// it for each job's engine, the engine for the operator program that started it. The
// answer comes from the system, not from a handle kept since the start: the asking
// process may never have had one.
#pragma once

#include <vector>

#include "platform/types.h"

#ifdef _WIN32

// 1 when a process with this id runs, else 0. The process is opened and asked whether
// it has ended; a process this one may not open (access denied) exists. Only when the
// system gives no such answer are all process ids listed.
int IsProcessRunning(DWORD pid);

// Every process id of the system (the list grows until it holds them all). The count,
// 0 when the system does not answer.
int GetProcessList(std::vector<DWORD>& ids);

#endif
