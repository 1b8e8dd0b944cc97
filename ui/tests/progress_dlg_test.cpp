// The progress strip: both templates, the timers, Cancel, and a long loop that drains.
#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"
#include "ui/progress_dlg.h"

namespace {

// Drains for a while (timers fire only from a drained queue).
void DrainFor(DWORD ms) {
  DWORD start = ::GetTickCount();
  do {
    platform::win::PumpPendingMessages();
    ::Sleep(5);
  } while (::GetTickCount() - start < ms);
}

CString CancelText(CProgressDlg& dlg) {
  CString s;
  dlg.GetDlgItemText(IDCANCEL, s);
  return s;
}

class ProgressDlgTest : public ::testing::Test {
 protected:
  WORD savedLanguage = g_nUiLanguage;
  CDialog mainWnd;
  CWinApp app{"ProgressDlgTest"};
  void SetUp() override {
    // A main window to own the strip, as in the program.
    app.m_pMainWnd = &mainWnd;
    ASSERT_TRUE(mainWnd.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, CRect(0, 0, 640, 480), nullptr, 0));
  }
  void TearDown() override {
    mainWnd.DestroyWindow();
    app.m_pMainWnd = nullptr;
    g_nUiLanguage = savedLanguage;
  }
};

TEST_F(ProgressDlgTest, BothTemplatesMakeATopmostOwnedStrip) {
  struct Case {
    WORD language;
    UINT templateId;
    const char* cancel;
  } cases[] = {
      {0, IDD_PROGRESS_CN, "\xC8\xA1 \xCF\xFB"},  // "取 消" in GB bytes
      {1, IDD_PROGRESS_EN, "Cancel"},
  };
  for (const Case& c : cases) {
    g_nUiLanguage = c.language;
    CProgressDlg dlg(nullptr);
    EXPECT_EQ(c.templateId, dlg.m_nIDTemplate);
    ASSERT_TRUE(dlg.Create(PickLangId(IDD_PROGRESS_CN, IDD_PROGRESS_EN)));
    EXPECT_STREQ(c.cancel, CancelText(dlg));
    EXPECT_FALSE(dlg.GetStyle() & WS_CHILD);
    EXPECT_TRUE(dlg.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(dlg.IsWindowVisible());
    EXPECT_EQ(mainWnd.m_hWnd, ::GetWindow(dlg.m_hWnd, GW_OWNER));
    EXPECT_EQ(&dlg.m_wndProgress, CWnd::FromHandlePermanent(dlg.GetDlgItem(IDC_PROGRESS_BAR)->m_hWnd));
    // Centred on its owner.
    CRect strip, owner;
    dlg.GetWindowRect(&strip);
    mainWnd.GetWindowRect(&owner);
    EXPECT_NEAR(owner.CenterPoint().x, strip.CenterPoint().x, 1);
    EXPECT_NEAR(owner.CenterPoint().y, strip.CenterPoint().y, 1);
    // The bar's looks.
    EXPECT_EQ(0, dlg.m_wndProgress.GetPos());
    COLORREF a, b;
    dlg.m_wndProgress.GetColors(&a, &b);
    EXPECT_EQ(0x0000FFu, a);
    EXPECT_EQ(0x00FF00u, b);
    EXPECT_EQ(HandleOf(&dlg.m_font), HandleOf(dlg.m_wndProgress.GetFont()));
    dlg.DestroyWindow();
  }
}

TEST_F(ProgressDlgTest, TimerCarriesPositionAndRangeToTheBar) {
  CProgressDlg dlg(nullptr);
  ASSERT_TRUE(dlg.Create(dlg.m_nIDTemplate));
  struct Step {
    int pos, range;
    int barPos, barUpper;
  } steps[] = {
      {30, 300, 30, 300},
      {0, 0, 30, 300},       // no total: the bar stays as it was
      {500, 300, 300, 300},  // beyond the range: a full bar
      {5, 10, 5, 10},
  };
  for (const Step& s : steps) {
    dlg.SetProgress(s.pos, s.range);
    DrainFor(120);
    int lo, hi;
    dlg.m_wndProgress.GetRange(lo, hi);
    EXPECT_EQ(s.barPos, dlg.m_wndProgress.GetPos()) << s.pos << "/" << s.range;
    EXPECT_EQ(0, lo);
    EXPECT_EQ(s.barUpper, hi);
  }
  dlg.DestroyWindow();
}

TEST_F(ProgressDlgTest, CancelSetsTheFlagAndNothingClosesTheStrip) {
  CProgressDlg dlg(nullptr);
  ASSERT_TRUE(dlg.Create(dlg.m_nIDTemplate));
  CWnd* cancel = dlg.GetDlgItem(IDCANCEL);
  // Without a drain the click is not seen.
  cancel->PostMessage(BM_CLICK);
  EXPECT_FALSE(dlg.IsCanceled());
  platform::win::PumpPendingMessages();
  EXPECT_EQ(1, dlg.IsCanceled());
  cancel->SendMessage(BM_CLICK);
  EXPECT_EQ(1, dlg.IsCanceled());
  dlg.SendMessage(WM_COMMAND, IDOK);
  dlg.SendMessage(WM_CLOSE);
  dlg.SendMessage(WM_KEYDOWN, VK_ESCAPE);
  platform::win::PumpPendingMessages();
  EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
  EXPECT_TRUE(dlg.IsWindowVisible());
  dlg.DestroyWindow();
  EXPECT_EQ(nullptr, dlg.m_hWnd);
  // Used again, the strip starts uncancelled.
  ASSERT_TRUE(dlg.Create(dlg.m_nIDTemplate));
  EXPECT_FALSE(dlg.IsCanceled());
  dlg.DestroyWindow();
}

// A portable long operation: it sees only the sink and the drain.
int LongOperation(CProgressSink* sink, int items, int cancelAt, CWnd* cancelButton) {
  for (int i = 0; i < items; ++i) {
    if (i == cancelAt) cancelButton->PostMessage(BM_CLICK);
    if (sink) sink->SetProgress(i, items);
    ::Sleep(1);
    platform::PumpMessages();
    if (sink && sink->IsCanceled()) return i;
  }
  return items;
}

TEST_F(ProgressDlgTest, LongLoopSeesCancelThroughTheDrain) {
  CProgressDlg dlg(nullptr);
  ASSERT_TRUE(dlg.Create(dlg.m_nIDTemplate));
  dlg.m_wndProgress.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
  int stopped = LongOperation(&dlg, 2000, 100, dlg.GetDlgItem(IDCANCEL));
  EXPECT_GE(stopped, 100);
  EXPECT_LT(stopped, 200);                   // the drain runs at least every few milliseconds
  EXPECT_GT(dlg.m_wndProgress.GetPos(), 0);  // the bar moved meanwhile
  dlg.DestroyWindow();
  EXPECT_EQ(50, LongOperation(nullptr, 50, -1, nullptr));  // the strip is optional
}

}  // namespace
