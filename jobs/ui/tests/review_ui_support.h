// The review dialogs' tests: a program folder of their own with the job table scanned
// from it, queue draining, and a ".structs" file written for a job.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/job_files.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/job_name.h"
#include "jobs/table/job_manager.h"
#include "platform/testing/test_support.h"
#include "platform/win/framework.h"

namespace review_ui_testing {

// Drains the queue until done() or the time is up; FALSE on time-out.
inline bool PumpUntil(DWORD timeout_ms, const std::function<bool()>& done) {
  DWORD start = ::GetTickCount();
  for (;;) {
    platform::win::PumpPendingMessages();
    if (done()) return true;
    if (::GetTickCount() - start > timeout_ms) return false;
    ::Sleep(2);
  }
}
inline void PumpFor(DWORD ms) {
  PumpUntil(ms, [] { return false; });
}

inline CString ItemText(HWND dlg, int id) {
  char text[256] = "";
  ::GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

class ReviewUiTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    CJobManager::ScanJobsFolder();
  }
  void TearDown() override {
    CJobManager::CloseChannels("");
    EnglishAppFolderTest::TearDown();
  }
  // Job names carry this process's id: parallel test programs share the channel names.
  static CString Name(const char* base) {
    CString s;
    s.Format("%s_%lu", base, (unsigned long)GetCurrentProcessId());
    return s;
  }
  // Writes the job's ".structs" file (its folder made), without a job in the table.
  static void WriteStructs(const char* name, const std::string& bytes) {
    CString path = JobFilePath(name, ".structs");
    CreateFolderPath(path);
    ASSERT_TRUE(testing_support::WriteFileBytes(path, bytes));
  }

  testing_support::MessageBoxRecorder m_boxes;
};

}  // namespace review_ui_testing
