// The process check against real processes: this 64-bit program, children that run
// and exit, and more processes than the old fixed-size list held.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "jobs/process_check.h"
#include "platform/core.h"

namespace {

// process_child.exe instances that run until the event is set.
class Children {
 public:
  Children() {
    m_name.Format("corvane_children_%lu", (unsigned long)GetCurrentProcessId());
    m_event = CreateEventA(nullptr, TRUE, FALSE, m_name);
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') --n;
    path[n] = '\0';
    m_exe.Format("%sprocess_child.exe", path);
  }
  ~Children() {
    SetEvent(m_event);
    for (auto& p : m_processes) {
      if (WaitForSingleObject(p.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(p.hProcess, 1);
      CloseHandle(p.hProcess);
    }
    CloseHandle(m_event);
  }
  // Starts one more; its id, 0 when it did not start.
  DWORD Start() {
    CString cmd;
    cmd.Format("\"%s\" %s", (const char*)m_exe, (const char*)m_name);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, cmd.GetBuffer(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi))
      return 0;
    cmd.ReleaseBuffer();
    CloseHandle(pi.hThread);
    m_processes.push_back(pi);
    return pi.dwProcessId;
  }
  // Lets every child end and waits for them; their handles stay open.
  bool EndAll() {
    SetEvent(m_event);
    for (auto& p : m_processes)
      if (WaitForSingleObject(p.hProcess, 30000) != WAIT_OBJECT_0) return false;
    return true;
  }
  const std::vector<PROCESS_INFORMATION>& Processes() const { return m_processes; }
  // Closes the handles of the ended children.
  void Release() {
    for (auto& p : m_processes) CloseHandle(p.hProcess);
    m_processes.clear();
  }

 private:
  CString m_name;
  CString m_exe;
  HANDLE m_event = nullptr;
  std::vector<PROCESS_INFORMATION> m_processes;
};

TEST(ProcessCheck, ThisProcessAndIdsOfNoProcess) {
  static_assert(sizeof(void*) == 8, "the check is tested in a 64-bit program");
  EXPECT_EQ(1, IsProcessRunning(GetCurrentProcessId()));
  EXPECT_EQ(0, IsProcessRunning(0xFFFFFFF0u));
  EXPECT_EQ(0, IsProcessRunning(0xFFFFFFFFu));
}

TEST(ProcessCheck, AChildRunsThenHasExited) {
  Children children;
  DWORD pid = children.Start();
  ASSERT_NE(0u, pid);
  EXPECT_EQ(1, IsProcessRunning(pid));
  ASSERT_TRUE(children.EndAll());
  DWORD code = 1;
  ASSERT_TRUE(GetExitCodeProcess(children.Processes()[0].hProcess, &code));
  EXPECT_EQ(0u, code);
  // Exited while this program still holds its handle (the object lives on): gone.
  EXPECT_EQ(0, IsProcessRunning(pid));
  children.Release();
  EXPECT_EQ(0, IsProcessRunning(pid));
}

TEST(ProcessCheck, MoreThanAHundredProcesses) {
  Children children;
  std::vector<DWORD> pids;
  for (int i = 0; i < 104; ++i) {
    DWORD pid = children.Start();
    ASSERT_NE(0u, pid) << i;
    pids.push_back(pid);
  }
  std::vector<DWORD> all;
  int count = GetProcessList(all);
  EXPECT_GE(count, 105);
  EXPECT_EQ((size_t)count, all.size());
  for (DWORD pid : pids) {
    EXPECT_NE(all.end(), std::find(all.begin(), all.end(), pid)) << pid;
    EXPECT_EQ(1, IsProcessRunning(pid)) << pid;
  }
  ASSERT_TRUE(children.EndAll());
  for (DWORD pid : pids) EXPECT_EQ(0, IsProcessRunning(pid)) << pid;
}

}  // namespace
