// The seed dialog, driven from inside its modal loop by a thread timer.
#include <gtest/gtest.h>

#include <functional>

#include "foundation/settings.h"
#include "nc/interp/interp_read.h"
#include "nc/ui/random_seed_dlg.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"

namespace {

std::function<void(HWND)> g_act;
struct Seen {
  CString seed;
  BOOL seedEnabled;
  BOOL boxChecked;
  bool bigIcon, smallIcon;  // the program's icon on the caption and the task bar
};
Seen g_seen;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = ::FindWindowA("#32770", g_nUiLanguage == 1 ? "Choose random seed" : nullptr);
  if (!dlg) return;  // not up yet
  ::KillTimer(nullptr, id);
  char text[64] = "";
  ::GetDlgItemTextA(dlg, IDC_SEED_EDIT, text, sizeof text);
  g_seen = {text, ::IsWindowEnabled(::GetDlgItem(dlg, IDC_SEED_EDIT)),
            ::IsDlgButtonChecked(dlg, IDC_ENABLE_SRAND) == BST_CHECKED,
            ::SendMessageA(dlg, WM_GETICON, ICON_BIG, 0) != 0, ::SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0) != 0};
  g_act(dlg);
}

// Evaluates srand[x] with the dialog installed and answered by act; returns the first
// number the generator draws afterwards.
int SeedThroughDialog(const char* expression, std::function<void(HWND)> act) {
  g_act = std::move(act);
  ::SetTimer(nullptr, 0, 10, OnTimer);
  InterpreterSetup* setup = new InterpreterSetup;
  int counter = 0;
  double v = 0.0;
  EXPECT_EQ(0, read_real_value(*setup, expression, &counter, &v));
  delete setup;
  return interp_rand();
}

int FirstDrawAfter(unsigned seed) { return (int)(((seed * 214013u + 2531011u) >> 16) & 0x7FFF); }

void Click(HWND dlg, int id) { ::SendMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

class RandomSeedDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_nUiLanguage = 1;
    m_old = SetRandomSeedHook(nullptr);
    InstallRandomSeedDialog();
  }
  void TearDown() override {
    SetRandomSeedHook(m_old);
    g_nUiLanguage = 0;
  }
  RandomSeedHook m_old = nullptr;
};

TEST_F(RandomSeedDlgTest, ReplacedSeed) {
  int draw = SeedThroughDialog("srand[7]", [](HWND dlg) {
    Click(dlg, IDC_ENABLE_SRAND);  // clear the box: the seed field opens
    ::SetDlgItemTextA(dlg, IDC_SEED_EDIT, "123");
    ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_STREQ("7", g_seen.seed);  // the argument, "%.0f"
  EXPECT_TRUE(g_seen.boxChecked);
  EXPECT_FALSE(g_seen.seedEnabled);  // closed while the box is checked
  EXPECT_TRUE(g_seen.bigIcon);
  EXPECT_TRUE(g_seen.smallIcon);
  EXPECT_EQ(FirstDrawAfter(123), draw);
}

TEST_F(RandomSeedDlgTest, TheArgumentStaysOtherwise) {
  // OK with the box checked, and Cancel whatever the box says, keep srand's argument.
  EXPECT_EQ(FirstDrawAfter(9),
            SeedThroughDialog("srand[9.6]", [](HWND dlg) { ::PostMessageA(dlg, WM_COMMAND, IDOK, 0); }));
  EXPECT_STREQ("10", g_seen.seed);
  EXPECT_EQ(FirstDrawAfter(9), SeedThroughDialog("srand[9.6]", [](HWND dlg) {
              Click(dlg, IDC_ENABLE_SRAND);
              ::SetDlgItemTextA(dlg, IDC_SEED_EDIT, "55");
              ::PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            }));
}

TEST_F(RandomSeedDlgTest, ChineseTemplate) {
  g_nUiLanguage = 0;
  CRandomSeedDlg dlg;
  EXPECT_EQ((UINT)IDD_RANDOM_SEED_CN, dlg.m_nIDTemplate);
  ASSERT_TRUE(dlg.Create(dlg.m_nIDTemplate));
  char caption[64] = "";
  ::GetWindowTextA(dlg.m_hWnd, caption, sizeof caption);
  EXPECT_STREQ("\xD1\xA1\xD4\xF1\xCB\xE6\xBB\xFA\xD6\xD6\xD7\xD3", caption);  // 选择随机种子
  dlg.DestroyWindow();
}

}  // namespace
