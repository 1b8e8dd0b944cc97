#include "jobs/process_check.h"

#include <psapi.h>

#include <algorithm>

namespace {

enum Probe { kProbeRunning, kProbeGone, kProbeUnknown };

// Opening a process by id tells whether the id stands for one: an id without a process
// is an invalid parameter, a process of another user or a protected one is access
// denied. An opened process may have ended already while handles keep its object alive
// (the caller's own, or the system's for a moment after the exit), so it counts as
// running only while it cannot be waited for.
Probe ProbeProcess(DWORD pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  if (!h) {
    switch (GetLastError()) {
      case ERROR_ACCESS_DENIED: return kProbeRunning;
      case ERROR_INVALID_PARAMETER: return kProbeGone;
      default: return kProbeUnknown;
    }
  }
  DWORD wait = WaitForSingleObject(h, 0);
  CloseHandle(h);
  if (wait == WAIT_TIMEOUT) return kProbeRunning;
  if (wait == WAIT_OBJECT_0) return kProbeGone;
  return kProbeUnknown;
}

}  // namespace

int GetProcessList(std::vector<DWORD>& ids) {
  // The system does not say how many there are: the list is big enough once it comes
  // back with room to spare.
  ids.assign(1024, 0);
  for (;;) {
    DWORD bytes = 0;
    DWORD room = (DWORD)(ids.size() * sizeof(DWORD));
    if (!EnumProcesses(ids.data(), room, &bytes)) {
      ids.clear();
      return 0;
    }
    if (bytes < room) {
      ids.resize(bytes / sizeof(DWORD));
      return (int)ids.size();
    }
    ids.resize(ids.size() * 2);
  }
}

int IsProcessRunning(DWORD pid) {
  switch (ProbeProcess(pid)) {
    case kProbeRunning: return 1;
    case kProbeGone: return 0;
    case kProbeUnknown: break;
  }
  std::vector<DWORD> ids;
  GetProcessList(ids);
  return std::find(ids.begin(), ids.end(), pid) != ids.end() ? 1 : 0;
}
