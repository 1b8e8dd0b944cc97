// The job table's tests: a program folder of their own, a loaded program, job records
// and the reply ring of a job as the engine sees it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/job_channel.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/job_files.h"
#include "jobs/job_name.h"
#include "jobs/table/job_manager.h"
#include "nc/nc_program.h"
#include "platform/testing/test_support.h"

class JobTableTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_nUiLanguage = 1;
    CJobManager::ScanJobsFolder();
  }
  void TearDown() override {
    CJobManager::CloseChannels("");
    AppFolderTest::TearDown();
  }

  // Job names carry this process's id: parallel test programs share the channel names.
  static CString Name(const char* base) {
    CString s;
    s.Format("%s_%lu", base, (unsigned long)GetCurrentProcessId());
    return s;
  }

  // A program loaded from G-code, as the operator imports one.
  CNCProgram& Program() {
    if (!m_pProgram) {
      m_pProgram = std::make_unique<CNCProgram>();
      CString path = Path("part.nc");
      EXPECT_TRUE(testing_support::WriteFileBytes(path, kGCode));
      EXPECT_TRUE(m_pProgram->LoadFromNCFile(nullptr, path, Vec3(1, 1, 1)));
    }
    return *m_pProgram;
  }
  CString SourcePath() { return Path("part.nc"); }

  JobRecord NewJob(const char* name, const char* connection = "SIMU:") {
    JobRecord j;
    std::strcpy(j.JobName, name);
    std::strcpy(j.SourcePath, SourcePath());
    std::strcpy(j.Connection, connection);
    std::strcpy(j.DeviceName, "Router");
    j.CopiesX = j.CopiesY = j.CopiesZ = 1;
    j.FeedSpeed = 20.0;
    std::strcpy(j.FormatName, "GCODE");
    return j;
  }
  BOOL Add(const char* name, const char* connection = "SIMU:") {
    JobRecord j = NewJob(name, connection);
    return CJobManager::AddJob(nullptr, &j, &Program());
  }
  static CString File(const char* name, const char* extension) { return JobFilePath(name, extension); }

  // The job's reply ring as the engine opens it: sets the state the table reads.
  void SetState(const char* name, const char* state) {
    auto ring = std::make_unique<CJobChannel>();
    ASSERT_TRUE(ring->Open(CString("PanelRx_") + name, kJobChannelSlots));
    ring->SetState(state);
    m_rings.push_back(std::move(ring));
  }

  // Every file and folder under the program folder, relative to it.
  std::vector<std::string> Tree() {
    std::vector<std::string> out;
    List(m_dir.Path(), "", out);
    return out;
  }

  static constexpr const char* kGCode =
      "G0 X0 Y0 Z5\n"
      "G1 Z-1 F100\n"
      "T1\n"
      "G1 X10 Y0\n"
      "G2 X20 Y0 I5 J0\n"
      "T2\n"
      "G1 X20 Y10\n"
      "G0 Z8\n"
      "M30\n";

  testing_support::MessageBoxRecorder m_boxes;

 private:
  static void List(const CString& dir, const std::string& prefix, std::vector<std::string>& out) {
    CFileFind f;
    BOOL more = f.FindFile(dir + "*.*");
    while (more) {
      more = f.FindNextFile();
      if (f.IsDots()) continue;
      std::string name = prefix + (const char*)f.GetFileName();
      out.push_back(name);
      if (f.IsDirectory()) List(f.GetFilePath() + "\\", name + "\\", out);
    }
    std::sort(out.begin(), out.end());
  }
  std::unique_ptr<CNCProgram> m_pProgram;
  std::vector<std::unique_ptr<CJobChannel>> m_rings;
};
