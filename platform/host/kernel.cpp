// Host versions of the few kernel calls the portable modules make.
#include <cerrno>
#include <chrono>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <sys/syscall.h>

#include "platform/types.h"

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetTickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (DWORD)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }
DWORD GetCurrentProcessId() { return (DWORD)getpid(); }
DWORD GetCurrentThreadId() { return (DWORD)syscall(SYS_gettid); }

// The programs run under code page 936; the host build behaves the same.
UINT GetACP() { return 936; }
BOOL IsDBCSLeadByte(BYTE b) { return (b >= 0x81 && b <= 0xFE) ? TRUE : FALSE; }

DWORD GetModuleFileNameA(HMODULE module, LPSTR buf, DWORD size) {
  if (module != nullptr || size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", buf, size - 1);
  if (n < 0) {
    buf[0] = 0;
    return 0;
  }
  buf[n] = 0;
  return (DWORD)n;
}
