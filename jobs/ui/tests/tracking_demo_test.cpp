// The path tracking demo: the loader fills the program while Start waits, a replay to
// its end, the controls while it runs, a job that is not in the table, and Close while
// the loader runs (a deadlock would show as this test's time-out).
#include <cstring>

#include "jobs/review/tests/review_test_support.h"
#include "jobs/ui/path_tracking_demo_dlg.h"
#include "jobs/ui/tests/review_ui_support.h"
#include "resources/resource.h"

using namespace review_testing;
using namespace review_ui_testing;

namespace {

// Three tags, each led in by a rapid.
std::vector<PathRecord> ThreeTags() {
  std::vector<PathRecord> records;
  for (int t = 0; t < 3; ++t) {
    records.push_back(MoveRecord(0, t * 10.0, 0, 5));
    records.push_back(MoveRecord(1, t * 10.0, 0, -1, 0x20, true));
    records.push_back(MoveRecord(1, t * 10.0 + 5, 5, -1, 0xC0));
  }
  return records;
}

class TrackingDemoTest : public ReviewUiTest {
 protected:
  // A job in the table made from the records.
  CString AddJob(const char* base, const std::vector<PathRecord>& records, int copiesX = 1) {
    CString name = Name(base);
    CNCProgram program;
    AddRecords(program, records);
    JobRecord job;
    std::strcpy(job.JobName, name);
    std::strcpy(job.Connection, "SIMU:");
    job.CopiesX = copiesX;
    job.CopiesY = job.CopiesZ = 1;
    job.ViewPoint = 1;
    EXPECT_TRUE(CJobManager::AddJob(nullptr, &job, &program));
    return name;
  }
  void Open(const char* name) {
    m_dlg = std::make_unique<CPathTrackingDemoDlg>(nullptr, name);
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_TRACKING_DEMO_CN, IDD_TRACKING_DEMO_EN)));
  }
  HWND Item(int id) { return ::GetDlgItem(m_dlg->m_hWnd, id); }
  void Command(int id) { ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Item(id)); }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    ReviewUiTest::TearDown();
  }
  std::unique_ptr<CPathTrackingDemoDlg> m_dlg;
};

TEST_F(TrackingDemoTest, LoadsThenReplaysToTheEndAndStops) {
  CString name = AddJob("Demo", ThreeTags());
  Open(name);
  EXPECT_STREQ(name, ItemText(m_dlg->m_hWnd, IDC_TRACKING_JOB_NAME));
  EXPECT_STREQ("1-3", ItemText(m_dlg->m_hWnd, IDC_TRACKING_RANGE));
  EXPECT_STREQ("0", ItemText(m_dlg->m_hWnd, IDC_TRACKING_START_TAG));
  EXPECT_STREQ("3", ItemText(m_dlg->m_hWnd, IDC_TRACKING_END_TAG));  // the larger of 0 and min(3, 1000)
  EXPECT_TRUE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACKING_XY));
  ASSERT_TRUE(PumpUntil(10000, [&] { return m_dlg->IsLoaderIdle() && ::IsWindowEnabled(Item(IDOK)); }));
  EXPECT_EQ(9, m_dlg->Program().GetElementCount());
  EXPECT_EQ(9, m_dlg->LoadedRecords());
  EXPECT_STREQ("Start", ItemText(m_dlg->m_hWnd, IDOK));

  Command(IDOK);
  ASSERT_TRUE(m_dlg->IsRunning());
  EXPECT_STREQ("Stop", ItemText(m_dlg->m_hWnd, IDOK));
  for (int id : {IDC_TRACKING_XY, IDC_TRACKING_3D, IDC_TRACKING_START_TAG, IDC_TRACKING_END_TAG, IDC_TRACKING_JOB_NAME,
                 IDC_TRACKING_WORKSPACE, IDCANCEL})
    EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
  // Ten moves a tick: the nine moves are drawn in one tick, the range shows "3/3".
  ASSERT_TRUE(PumpUntil(5000, [&] { return ItemText(m_dlg->m_hWnd, IDC_TRACKING_RANGE) == "3/3"; }));
  ASSERT_NE(nullptr, m_dlg->ViewBitmap());
  // Half way along the first tag's cut: its feed grey (depth 6 mm over 180 levels:
  // |-1 + -1| / 2 * 30 = 30, level 50).
  const CPreviewProjection& p = m_dlg->Replay().Projection();
  POINT a = p.Map(Vec3(0, 0, 0)), b = p.Map(Vec3(5, 5, 0));
  POINT mid = {(a.x + b.x) / 2, (a.y + b.y) / 2};
  bool grey = false;
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) grey |= m_dlg->ViewBitmap()->GetPixel(mid.x + dx, mid.y + dy) == RGB(50, 50, 50);
  EXPECT_TRUE(grey) << mid.x << "," << mid.y;
  EXPECT_TRUE(m_dlg->IsRunning());  // a finished replay stays until Stop
  EXPECT_STREQ("Stop", ItemText(m_dlg->m_hWnd, IDOK));

  Command(IDOK);
  EXPECT_FALSE(m_dlg->IsRunning());
  EXPECT_EQ(nullptr, m_dlg->ViewBitmap());
  EXPECT_STREQ("Start", ItemText(m_dlg->m_hWnd, IDOK));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDCANCEL)));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_TRACKING_WORKSPACE)));  // one copy

  Command(IDC_TRACKING_3D);
  EXPECT_EQ(kViewOblique, m_dlg->m_nViewMode);
  EXPECT_TRUE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACKING_3D));
  EXPECT_FALSE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACKING_XY));
  Command(IDCANCEL);
  EXPECT_FALSE(m_dlg->IsWindowVisible());
  EXPECT_EQ(0, m_dlg->Program().GetElementCount());
}

TEST_F(TrackingDemoTest, CopiesFixTheWorkingSpaceCheck) {
  CString name = AddJob("Copies", ThreeTags(), 2);
  Open(name);
  ASSERT_TRUE(PumpUntil(10000, [&] { return m_dlg->IsLoaderIdle(); }));
  PumpFor(20);
  EXPECT_EQ(2, m_dlg->m_nCopies);
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_TRACKING_WORKSPACE)));
}

TEST_F(TrackingDemoTest, AJobNotInTheTableEndsTheDialogAtOnce) {
  CPathTrackingDemoDlg dlg(nullptr, "NoSuchJob");
  EXPECT_EQ(0, dlg.DoModal());
  EXPECT_TRUE(dlg.IsLoaderIdle());
}

// Close while the loader runs, in the modal loop the operator sees.
CPathTrackingDemoDlg* g_pClosing = nullptr;
LONG g_nCloseAfter = 0;  // records loaded before Close is pressed
bool g_bClosePosted = false;

void CALLBACK PressCloseWhenLoading(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_pClosing || g_bClosePosted || !g_pClosing->m_hWnd) return;
  if (g_pClosing->LoadedRecords() < g_nCloseAfter) return;
  g_bClosePosted = true;
  ::PostMessageA(g_pClosing->m_hWnd, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(TrackingDemoTest, CloseWhileLoadingStopsTheLoaderAndReturns) {
  CString name = AddJob("Big", ThreeTags());
  // A long file in place of the job's records: the loader yields after every record.
  std::vector<PathRecord> many(200000, MoveRecord(1, 1, 2, -1, 0x80));
  ASSERT_TRUE(testing_support::WriteFileBytes(JobFilePath(name, ".structs"), StructsBytes(many)));
  for (LONG after : {0L, 1000L}) {  // at once, and once loading is well under way
    CPathTrackingDemoDlg dlg(nullptr, name);
    g_pClosing = &dlg;
    g_nCloseAfter = after;
    g_bClosePosted = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 1, PressCloseWhenLoading);
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    ::KillTimer(nullptr, timer);
    g_pClosing = nullptr;
    EXPECT_TRUE(g_bClosePosted);
    EXPECT_TRUE(dlg.IsLoaderIdle());
    EXPECT_LT(dlg.LoadedRecords(), 200000) << after;
    EXPECT_GE(dlg.LoadedRecords(), after);
    EXPECT_EQ(0, dlg.Program().GetElementCount());
  }
}

}  // namespace
