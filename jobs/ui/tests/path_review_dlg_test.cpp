// The path review dialog: its first listing once on screen, line colours and count,
// the filters, the line-limit question, closing refused while a listing runs, a new
// listing asked for during one, and a job without records.
#include "jobs/review/path_review.h"
#include "jobs/review/tests/review_test_support.h"
#include "jobs/ui/final_path_review_dlg.h"
#include "jobs/ui/tests/review_ui_support.h"
#include "resources/resource.h"

using namespace review_testing;
using namespace review_ui_testing;

namespace {

// A job of two tags: a rapid, a plunge, a cut, a merged-away cut, an inserted piece,
// then a new tag with an arc.
std::vector<PathRecord> SmallJob() {
  return {ModeRecord(17),
          MoveRecord(0, 0, 0, 5),
          MoveRecord(1, 0, 0, -1, 0x20, true),
          MoveRecord(1, 5, 0, -1, 0x80),
          MoveRecord(1, 6, 0, -1, 0x80, false, true),
          MoveRecord(1, 7, 0, -1, 0x80, false, false, false),
          ArcRecord(2, 9, 2, -1, 7, 2, -1)};
}

class PathReviewDlgTest : public ReviewUiTest {
 protected:
  int Count() { return (int)::SendDlgItemMessageA(m_dlg->m_hWnd, IDC_PATHREVIEW_LIST, LB_GETCOUNT, 0, 0); }
  CString Line(int i) {
    CString s;
    m_dlg->m_wndList.GetText(i, s);
    return s;
  }
  COLORREF Color(int i) { return (COLORREF)m_dlg->m_wndList.GetItemData(i); }
  void Open(const char* name) {
    m_dlg = std::make_unique<CFinalPathReviewDlg>(nullptr, name);
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_PATH_REVIEW_CN, IDD_PATH_REVIEW_EN)));
    // The first listing runs from a timer once the dialog shows.
    ASSERT_TRUE(PumpUntil(5000, [&] { return !m_dlg->m_strReviewFile.IsEmpty() && !m_dlg->IsBusy(); }));
  }
  void Click(int id) {
    ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)::GetDlgItem(m_dlg->m_hWnd, id));
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    ReviewUiTest::TearDown();
  }
  std::unique_ptr<CFinalPathReviewDlg> m_dlg;
};

TEST_F(PathReviewDlgTest, ListsOnceOnScreenThenAgainForEachFilter) {
  CString name = Name("Review");
  WriteStructs(name, StructsBytes(SmallJob()));
  Open(name);
  EXPECT_TRUE(m_dlg->m_wndList.GetStyle() & LBS_OWNERDRAWVARIABLE);
  ASSERT_EQ(5, Count());
  EXPECT_STREQ("G17 (XY-plane Selection)", Line(0));
  EXPECT_STREQ("Tag000000 Line=00000: G00  X0.000 Y0.000 Z5.000", Line(1));
  EXPECT_STREQ("Tag000000 Line=00000: G02  X9.000 Y2.000 I7.000 J2.000", Line(4));
  EXPECT_EQ(kReviewOtherColor, Color(0));
  EXPECT_EQ(kReviewRapidColor, Color(1));
  EXPECT_EQ(kReviewNewTagColor, Color(2));
  EXPECT_EQ(kReviewFeedColor, Color(3));
  EXPECT_EQ(kReviewCwColor, Color(4));
  EXPECT_STREQ("5", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_LINE_COUNT));
  EXPECT_EQ(JobFilePath(name, ".structs"), m_dlg->m_strReviewFile);

  ::CheckDlgButton(m_dlg->m_hWnd, IDC_PATHREVIEW_SHOW_DISCARDED, BST_CHECKED);
  Click(IDC_PATHREVIEW_SHOW_DISCARDED);
  ASSERT_EQ(6, Count());
  EXPECT_EQ(kReviewDiscardedColor, Color(4));
  ::CheckDlgButton(m_dlg->m_hWnd, IDC_PATHREVIEW_SHOW_INTERPOLATION, BST_CHECKED);
  Click(IDC_PATHREVIEW_SHOW_INTERPOLATION);
  EXPECT_EQ(7, Count());
  ::CheckDlgButton(m_dlg->m_hWnd, IDC_PATHREVIEW_SHOW_UNCHANGED, BST_CHECKED);
  Click(IDC_PATHREVIEW_SHOW_UNCHANGED);
  EXPECT_STREQ("Tag000000 Line=00000: G01  x0.000 y0.000 Z-1.000", Line(2));
  // The range: tag 1 is past this job's only tag.
  ::SetDlgItemTextA(m_dlg->m_hWnd, IDC_PATHREVIEW_START_TAG, "1");
  Click(IDC_PATHREVIEW_REFRESH);
  EXPECT_EQ(0, Count());
  EXPECT_STREQ("0", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_LINE_COUNT));
}

TEST_F(PathReviewDlgTest, AJobWithoutRecordsListsNothingAndSaysNothing) {
  Open(Name("Nothing"));
  EXPECT_EQ(0, Count());
  EXPECT_STREQ("0", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_LINE_COUNT));
  EXPECT_TRUE(m_boxes.Boxes().empty());
  CString name = Name("Empty");
  WriteStructs(name, "");
  m_dlg->DestroyWindow();
  Open(name);
  EXPECT_EQ(0, Count());
}

// The line-limit question comes while the listing runs: the hook below is where the
// operator can click while the dialog is busy.
CFinalPathReviewDlg* g_pBusyDlg = nullptr;
std::vector<std::string> g_questions;
int g_nAnswer = IDYES;
bool g_bClickRefresh = false;
bool g_bStillThere = true;

int AnswerWhileBusy(const char* text, const char*, UINT) {
  g_questions.push_back(text);
  if (g_pBusyDlg && g_pBusyDlg->IsBusy()) {
    HWND h = g_pBusyDlg->m_hWnd;
    ::SendMessageA(h, WM_COMMAND, IDOK, 0);      // OK
    ::SendMessageA(h, WM_COMMAND, IDCANCEL, 0);  // Escape
    ::SendMessageA(h, WM_CLOSE, 0, 0);           // the close box
    g_bStillThere = ::IsWindowVisible(h) != FALSE;
    if (g_bClickRefresh) {
      g_bClickRefresh = false;
      ::SetDlgItemTextA(h, IDC_PATHREVIEW_LINE_LIMIT, "100000");
      ::SendMessageA(h, WM_COMMAND, MAKEWPARAM(IDC_PATHREVIEW_REFRESH, BN_CLICKED), 0);
    }
  }
  return g_nAnswer;
}

TEST_F(PathReviewDlgTest, TheLineLimitIsAskedOnceAndClosingWaitsForTheListing) {
  std::vector<PathRecord> records;
  for (int i = 0; i < 1000; ++i) records.push_back(MoveRecord(1, i, 0, -1, 0x80));
  CString name = Name("Long");
  WriteStructs(name, StructsBytes(records));
  platform::MessageBoxHook saved = platform::SetMessageBoxHook(AnswerWhileBusy);
  g_questions.clear();
  g_nAnswer = IDNO;
  m_dlg = std::make_unique<CFinalPathReviewDlg>(nullptr, name);
  m_dlg->m_strLineLimit = "250";
  g_pBusyDlg = m_dlg.get();
  ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_PATH_REVIEW_CN, IDD_PATH_REVIEW_EN)));
  ASSERT_TRUE(PumpUntil(5000, [&] { return !m_dlg->m_strReviewFile.IsEmpty() && !m_dlg->IsBusy(); }));
  // No: the question came at record 400 with 401 lines, the lines stay.
  ASSERT_EQ(1u, g_questions.size());
  EXPECT_EQ("The result will exceed the line limit [250], continue?", g_questions[0]);
  EXPECT_TRUE(g_bStillThere);
  EXPECT_TRUE(m_dlg->IsWindowVisible());
  EXPECT_EQ(401, Count());
  // Yes: the whole file, asked once.
  g_nAnswer = IDYES;
  Click(IDC_PATHREVIEW_REFRESH);
  EXPECT_EQ(2u, g_questions.size());
  EXPECT_EQ(1000, Count());
  // A Refresh during the listing (with a higher limit) ends it and lists again: the
  // list holds the last listing's lines only, and no second question comes.
  g_bClickRefresh = true;
  Click(IDC_PATHREVIEW_REFRESH);
  EXPECT_EQ(3u, g_questions.size());
  EXPECT_EQ(1000, Count());
  EXPECT_STREQ("1000", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_LINE_COUNT));
  // Idle again, Escape closes.
  ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(m_dlg->IsWindowVisible());
  g_pBusyDlg = nullptr;
  platform::SetMessageBoxHook(saved);
}

TEST_F(PathReviewDlgTest, BothTemplatesAndTheClassRecord) {
  struct Case {
    WORD language;
    const char* title;
    const char* refresh;
  } cases[] = {{0, "\xB2\xE9\xBF\xB4\xBC\xD3\xB9\xA4\xCA\xFD\xBE\xDD", "\xCB\xA2 \xD0\xC2"},
               {1, "Path Review", "Refresh"}};
  for (const Case& c : cases) {
    g_nUiLanguage = c.language;
    Open(Name("Lang"));
    char title[64] = "";
    ::GetWindowTextA(m_dlg->m_hWnd, title, sizeof title);
    EXPECT_STREQ(c.title, title);
    EXPECT_STREQ(c.refresh, ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_REFRESH));
    EXPECT_STREQ("0", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_START_TAG));
    EXPECT_STREQ("100", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_END_TAG));
    EXPECT_STREQ("1000", ItemText(m_dlg->m_hWnd, IDC_PATHREVIEW_LINE_LIMIT));
    EXPECT_TRUE(m_dlg->IsZoomed());
    m_dlg->DestroyWindow();
  }
  EXPECT_STREQ("CFinalPathReviewDlg", m_dlg->GetRuntimeClass()->m_lpszClassName);
}

}  // namespace
