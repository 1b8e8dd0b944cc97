// The review dialogs on a real job, for screenshots (scripts/screenshot.sh).
//
//   review_demo.exe import JOB NCFILE [VIEW]
//                                       loads, optimises and adds the job to the table
//                                       of the program folder, with its snapshot drawn in
//                                       the view (1 XY, 2 YZ, 3 ZX, 4 oblique; 1 when left out)
//   review_demo.exe plan JOB            the engine's planner over the job's stored toolpath
//                                       on a plain router with the speed trace on: the
//                                       trace file "Temp\JOB.trace" as a run writes it
//   review_demo.exe LANG review JOB     the path review of the job
//   review_demo.exe LANG trace FILE     the speed trace review of a trace file
//   review_demo.exe LANG demo JOB       the path tracking demo, Start pressed once the
//                                       job has loaded
//   review_demo.exe LANG idle JOB       the path tracking demo, not started
// LANG is 0 (Chinese) or 1 (English). The import exits 0 when the job was added.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/planner/testing/frame_recorder.h"
#include "engine/planner/testing/job_driver.h"
#include "foundation/settings.h"
#include "jobs/job_name.h"
#include "jobs/structs_file.h"
#include "jobs/table/job_manager.h"
#include "jobs/ui/final_path_review_dlg.h"
#include "jobs/ui/job_snapshot.h"
#include "jobs/ui/path_tracking_demo_dlg.h"
#include "jobs/ui/speed_trace_review_dlg.h"
#include "nc/optimize/path_optimizer.h"

namespace {

int PrintBox(const char* text, const char* caption, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  return platform::DefaultButton(type);
}

// The demo with Start pressed as soon as the loader has finished.
class CAutoStartDemoDlg : public CPathTrackingDemoDlg {
 public:
  CAutoStartDemoDlg(const char* name, bool start) : CPathTrackingDemoDlg(nullptr, name), m_bStart(start) {}
  BOOL OnInitDialog() override {
    BOOL ok = CPathTrackingDemoDlg::OnInitDialog();
    if (m_hWnd && m_bStart) SetTimer(kTimerAutoStart, 100);
    return ok;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == kTimerAutoStart && IsLoaderIdle()) {
      KillTimer(kTimerAutoStart);
      m_nSpeed = 100;
      PostMessage(WM_COMMAND, IDOK);
      return 0;
    }
    return CPathTrackingDemoDlg::WindowProc(message, wParam, lParam);
  }

 private:
  enum { kTimerAutoStart = 77 };
  bool m_bStart;
};

int Import(const char* name, const char* file, int view) {
  platform::SetMessageBoxHook(PrintBox);
  CJobManager::ScanJobsFolder();
  CPathOptimizer program;
  program.Reset();
  if (!program.LoadFromNCFile(nullptr, file, Vec3(1, 1, 1)) || !program.Optimize(nullptr, nullptr)) return 1;
  JobRecord job;
  if (!SetRecordText(job.JobName, name) || !SetRecordText(job.SourcePath, file)) return 1;
  std::strcpy(job.Connection, "SIMU:");
  std::strcpy(job.FormatName, "GCODE");
  job.CopiesX = job.CopiesY = job.CopiesZ = 1;
  job.ViewPoint = view;
  job.RawPathOnly = 1;
  job.FeedSpeed = 40;
  job.TraverseSpeed = 160;
  job.Acceleration = 320;
  job.Orientation = 1;
  CString preview = JobsFolderPath() + "preview.snapshot";
  if (!DrawSnapshot(nullptr, &job, &program, preview, -1)) return 1;
  if (!CJobManager::AddJob(nullptr, &job, &program)) return 1;
  DrawSnapshot(nullptr, &job, &program, nullptr, -1);
  std::printf("job=%s elements=%d tags=%d\n", name, program.GetElementCount(), program.GetTagCount());
  CJobManager::CloseChannels("");
  return 0;
}

// The records of a ".structs" file, in order.
class CRecordList : public CPathRecordSink {
 public:
  void Clear() override { m_records.clear(); }
  BOOL Append(const PathRecord& record) override {
    m_records.push_back(record);
    return TRUE;
  }
  std::vector<PathRecord> m_records;
};

int Plan(const char* name) {
  platform::SetMessageBoxHook(PrintBox);
  CJobManager::ScanJobsFolder();
  JobRecord job;
  CRecordList records;
  if (!CJobManager::GetJob(name, &job) || !ReadStructsFile(JobFilePath(name, ".structs"), records, nullptr, nullptr))
    return 1;
  JobRecord plan = planner_testing::PlainJob(job.TotalTags);
  if (!SetRecordText(plan.JobName, name)) return 1;
  PlannerSettings settings = planner_testing::PlainSettings();
  settings.m_bLogSpeedTrace = TRUE;
  const CString trace = GetSpeedTracePath(name);
  CreateFolderPath(trace);
  ::DeleteFileA(trace);  // the planner appends
  const DeviceParams device = planner_testing::PlainDevice();
  planner_testing::CFrameRecorder queue;
  CPathProcessor processor;
  if (!planner_testing::StartJob(processor, &queue, plan, device, settings)) return 1;
  planner_testing::RunRecords(processor, device, plan, records.m_records);
  std::printf("job=%s records=%d trace=%s\n", name, (int)records.m_records.size(), (const char*)trace);
  CJobManager::CloseChannels("");
  return 0;
}

}  // namespace

class CReviewDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_strAppFolder = GetAppFolder();
    char kind[32] = "", a[260] = "", b[260] = "";
    int language = 1, view = 1;
    if (std::sscanf(m_lpCmdLine, "import %259s %259s %d", a, b, &view) >= 2) {
      m_nExitCode = Import(a, b, view);
      return FALSE;
    }
    if (std::sscanf(m_lpCmdLine, "plan %259s", a) == 1) {
      m_nExitCode = Plan(a);
      return FALSE;
    }
    if (std::sscanf(m_lpCmdLine, "%d %31s %259s", &language, kind, a) < 3) {
      m_nExitCode = 2;
      return FALSE;
    }
    g_nUiLanguage = language == 0 ? 0 : 1;
    CJobManager::ScanJobsFolder();
    if (std::strcmp(kind, "review") == 0) {
      CFinalPathReviewDlg dlg(nullptr, a);
      m_pMainWnd = &dlg;
      dlg.DoModal();
    } else if (std::strcmp(kind, "trace") == 0) {
      CSpeedTraceReviewDlg dlg(nullptr);
      dlg.m_strTraceFile = a;
      m_pMainWnd = &dlg;
      dlg.DoModal();
    } else if (std::strcmp(kind, "demo") == 0 || std::strcmp(kind, "idle") == 0) {
      CAutoStartDemoDlg dlg(a, std::strcmp(kind, "demo") == 0);
      m_pMainWnd = &dlg;
      dlg.DoModal();
    }
    m_pMainWnd = nullptr;
    CJobManager::CloseChannels("");
    return FALSE;
  }
};

CReviewDemoApp theApp;
