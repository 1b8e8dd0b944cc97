// The reviews on a large job, against loading the same NC file in the same run:
//
//   review_bench FILE
//
// Loads and optimises the file (the import), writes the job's path records, then times
//   - the job snapshot: drawing the whole program into the 750 x 550 bitmap and saving it;
//   - the path review's listing: every record of the ".structs" file worded and coloured
//     (the listing's own work, no window), and the dialog's listing as the operator gets
//     it (tags 0 to 100, continuing past the line limit) into its list box;
//   - the tracking demo's loader: the program rebuilt from the ".structs" file.
// Each figure is printed with its ratio to the load of the NC file, one key=value line
// each. Message boxes of the load are printed to stderr. The job's files are written
// under the working folder.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/job_name.h"
#include "jobs/review/path_review.h"
#include "jobs/review/tracking_replay.h"
#include "jobs/table/job_manager.h"
#include "jobs/ui/final_path_review_dlg.h"
#include "jobs/ui/job_snapshot.h"
#include "nc/optimize/path_optimizer.h"
#include "resources/resource.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int PrintBox(const char* text, const char* caption, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : platform::DefaultButton(type);
}

// Words every record, as the list would show it, and keeps only the count.
class CCountingSink : public CPathReviewSink {
 public:
  void AddLine(const CString& text, COLORREF) override {
    ++m_nLines;
    m_nChars += text.GetLength();
  }
  BOOL Checkpoint(int) override { return TRUE; }
  BOOL ContinuePastLimit() override { return TRUE; }
  long long m_nLines = 0, m_nChars = 0;
};

void Report(const char* what, double seconds, double load_s, const char* extra) {
  std::printf("%s seconds=%.3f ratio_to_load=%.3f%s\n", what, seconds, load_s > 0 ? seconds / load_s : 0.0, extra);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: review_bench FILE\n");
    return 2;
  }
  // The job files go under the working folder (run.sh runs in a fresh one).
  char here[MAX_PATH] = "";
  ::GetCurrentDirectoryA(sizeof here, here);
  g_strAppFolder = CString(here) + "\\";
  g_nUiLanguage = 1;
  platform::SetMessageBoxHook(PrintBox);
  CJobManager::ScanJobsFolder();

  // The import: load and optimise.
  CPathOptimizer program;
  program.Reset();
  auto start = Clock::now();
  if (!program.LoadFromNCFile(nullptr, argv[1], Vec3(1, 1, 1))) return 1;
  double load_s = Since(start);
  int elements = program.GetElementCount();
  std::printf("load file=%s elements=%d seconds=%.3f\n", argv[1], elements, load_s);
  start = Clock::now();
  if (!program.Optimize(nullptr, nullptr)) return 1;
  std::printf("optimize elements=%d seconds=%.3f\n", program.GetElementCount(), Since(start));

  JobRecord job;
  SetRecordText(job.JobName, "Bench");
  SetRecordText(job.SourcePath, argv[1]);
  std::strcpy(job.Connection, "SIMU:");
  job.CopiesX = job.CopiesY = job.CopiesZ = 1;
  job.ViewPoint = 1;
  job.RawPathOnly = 1;
  start = Clock::now();
  if (!CJobManager::AddJob(nullptr, &job, &program)) return 1;
  std::printf("add_job records=%d seconds=%.3f\n", program.GetElementCount(), Since(start));
  std::fflush(stdout);

  // The snapshot.
  start = Clock::now();
  int drawn = DrawSnapshot(nullptr, &job, &program, JobsFolderPath() + "preview.snapshot", -1);
  Report("snapshot", Since(start), load_s, drawn ? "" : " failed=1");

  // The listing's own work over every record.
  CString structs = JobFilePath("Bench", ".structs");
  start = Clock::now();
  CReadOnlyFileView view;
  if (!view.Open(structs)) return 1;
  PathReviewOptions all;
  all.nEndTag = 0xFFFFFFFF;
  all.bShowDiscarded = all.bShowInterpolation = true;
  CCountingSink counting;
  ListPathRecords(view.Data(), view.Size(), all, counting);
  view.Close();
  char extra[96];
  std::snprintf(extra, sizeof extra, " lines=%lld", counting.m_nLines);
  Report("review_words_all", Since(start), load_s, extra);

  // The dialog's listing as the operator gets it: tags 0 to 100, past the line limit,
  // once the dialog shows and again on Refresh.
  {
    CFinalPathReviewDlg dlg(nullptr, "Bench");
    start = Clock::now();
    if (!dlg.Create(PickLangId(IDD_PATH_REVIEW_CN, IDD_PATH_REVIEW_EN))) return 1;
    while (dlg.m_strReviewFile.IsEmpty() || dlg.IsBusy()) {
      platform::win::PumpPendingMessages();
      ::Sleep(1);
    }
    std::snprintf(extra, sizeof extra, " lines=%d", dlg.m_wndList.GetCount());
    Report("review_dialog_open", Since(start), load_s, extra);
    start = Clock::now();
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_PATHREVIEW_REFRESH, BN_CLICKED), 0);
    std::snprintf(extra, sizeof extra, " lines=%d", dlg.m_wndList.GetCount());
    Report("review_dialog_refresh", Since(start), load_s, extra);
    dlg.DestroyWindow();
  }

  // The tracking demo's loader.
  {
    CPathOptimizer rebuilt;
    TrackingLoadCounters counters;
    start = Clock::now();
    LoadTrackingProgram(structs, rebuilt, counters);
    std::snprintf(extra, sizeof extra, " records=%ld", (long)counters.lLoadedRecords.load());
    Report("demo_loader", Since(start), load_s, extra);
  }
  CJobManager::CloseChannels("");
  return 0;
}
