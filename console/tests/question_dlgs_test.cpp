// The 2D/3D and force-2D questions, answered from inside their modal loops by a thread
// timer.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "console/force_2d_dlg.h"
#include "nc/ui/format_select_dlg.h"
#include "foundation/settings.h"
#include "nc/formats/format_question.h"
#include "nc/nc_program.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"

namespace {

// Steps acted out on the dialog with this caption, one per timer tick once it shows. A
// step that ends the dialog leaves the later ones undone.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_stepsDone = 0;
const char* g_caption = nullptr;
UINT_PTR g_timer = 0;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND dlg = ::FindWindowA("#32770", g_caption);
  if (!dlg || !::IsWindowVisible(dlg) || g_stepsDone == g_steps.size()) return;
  g_steps[g_stepsDone++](dlg);
}

void WhenShown(const char* caption, std::vector<std::function<void(HWND)>> steps) {
  g_caption = caption;
  g_steps = std::move(steps);
  g_stepsDone = 0;
  g_timer = ::SetTimer(nullptr, 0, 10, OnTimer);
}

// After the dialog: true when every step ran (the dialog stayed open until the last).
bool AllStepsDone() {
  ::KillTimer(nullptr, g_timer);
  return g_stepsDone == g_steps.size();
}

void Click(HWND dlg, int id) { ::SendMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

// Escape and the close box as the dialog receives them.
void PressEscape(HWND dlg) { ::SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0); }
void PressCloseBox(HWND dlg) { ::SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

class QuestionDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    g_nUiLanguage = 1;
  }
  void TearDown() override {
    g_strAppFolder = m_saved;
    g_nUiLanguage = 0;
    SetFormatQuestionHook(nullptr);
  }
  testing_support::TempDir m_dir;
  CString m_saved;
};

struct FormatSeen {
  CString text;
  bool twoD, threeD, cancelVisible, cancelEnabled;
};

TEST_F(QuestionDlgTest, FormatQuestionOfAnHpglImport) {
  InstallFormatSelectDialog();
  FormatSeen seen{};
  WhenShown("2D/3D Format Selection", {[&](HWND dlg) {
                                         char text[128] = "";
                                         ::GetDlgItemTextA(dlg, IDC_FORMAT_SELECT_LINE, text, sizeof text);
                                         HWND cancel = ::GetDlgItem(dlg, IDCANCEL);
                                         seen = {text, Checked(dlg, IDC_FORMAT_SELECT_2D),
                                                 Checked(dlg, IDC_FORMAT_SELECT_3D), ::IsWindowVisible(cancel) != 0,
                                                 ::IsWindowEnabled(cancel) != 0};
                                         PressEscape(dlg);
                                       },
                                       PressCloseBox,
                                       [](HWND dlg) {
                                         Click(dlg, IDC_FORMAT_SELECT_3D);
                                         ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
                                       }});
  CNCProgram p;
  p.SetHpglScale(1);
  p.m_nLine = 3;
  ASSERT_TRUE(p.InterpretHpglLine(3, "PA1,2,3,4,5,6;"));
  EXPECT_TRUE(AllStepsDone());  // neither Escape nor the close box ended it
  EXPECT_STREQ("[Line 3 (items=6)] PA1,2,3,4,5,6;", seen.text);
  EXPECT_TRUE(seen.twoD);
  EXPECT_FALSE(seen.threeD);
  EXPECT_FALSE(seen.cancelVisible);
  EXPECT_FALSE(seen.cancelEnabled);
  EXPECT_FALSE(p.IsHpgl2D());
  EXPECT_EQ(1, p.m_nHpglMode);
}

TEST_F(QuestionDlgTest, FormatQuestionAnswersTwoDUnlessThreeDIsChosen) {
  CFormatSelectDlg dlg;
  EXPECT_EQ(-1, dlg.m_nFormat);
  dlg.m_strText = "PA1,2,3,4,5,6;";
  WhenShown("2D/3D Format Selection", {[](HWND dlg) {
              Click(dlg, IDC_FORMAT_SELECT_3D);
              Click(dlg, IDC_FORMAT_SELECT_2D);  // changed its mind
              ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
            }});
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(AllStepsDone());
  EXPECT_EQ(0, dlg.m_nFormat);
}

// Both questions carry the program's icon, big and small (it was missing from the
// resources, so they showed none).
TEST_F(QuestionDlgTest, QuestionsShowTheProgramIcon) {
  bool icons[2][2] = {};
  auto iconsOf = [&](int which) {
    return [&icons, which](HWND dlg) {
      icons[which][0] = ::SendMessageA(dlg, WM_GETICON, ICON_BIG, 0) != 0;
      icons[which][1] = ::SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0) != 0;
      ::PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    };
  };
  WhenShown("Force to 2D", {iconsOf(0)});
  CForce2DDlg force;
  force.DoModal();
  EXPECT_TRUE(AllStepsDone());
  WhenShown("2D/3D Format Selection", {iconsOf(1)});
  CFormatSelectDlg format;
  format.DoModal();
  EXPECT_TRUE(AllStepsDone());
  for (int which = 0; which < 2; ++which) {
    EXPECT_TRUE(icons[which][0]) << which;
    EXPECT_TRUE(icons[which][1]) << which;
  }
  EXPECT_NE(nullptr, ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM)));
}

TEST_F(QuestionDlgTest, ChineseTemplates) {
  g_nUiLanguage = 0;
  CFormatSelectDlg format;
  CForce2DDlg force;
  EXPECT_EQ((UINT)IDD_FORMAT_SELECT_CN, format.m_nIDTemplate);
  EXPECT_EQ((UINT)IDD_FORCE_2D_CN, force.m_nIDTemplate);
  ASSERT_TRUE(format.Create(format.m_nIDTemplate));
  char caption[64] = "";
  ::GetWindowTextA(format.m_hWnd, caption, sizeof caption);
  EXPECT_STREQ("\xB6\xFE\xCE\xAC/\xC8\xFD\xCE\xAC\xB8\xF1\xCA\xBD\xD1\xA1\xD4\xF1", caption);  // 二维/三维格式选择
  format.DestroyWindow();
  g_nUiLanguage = 1;
  EXPECT_EQ((UINT)IDD_FORCE_2D_EN, CForce2DDlg().m_nIDTemplate);
}

struct ForceCase {
  const char* why;
  const char* stored;  // [Device] "PromptFor2dForce" before; null: missing
  bool clickBox;
  int button;  // IDOK "Sure", IDCANCEL "No", 0 Escape
  bool openedChecked;
  INT_PTR result;
  const char* written;
};

TEST_F(QuestionDlgTest, ForceTwoDKeepsThePromptAnswer) {
  const ForceCase cases[] = {
      {"No with the box cleared", nullptr, false, IDCANCEL, false, IDCANCEL, "disable"},
      {"Sure with the box checked", nullptr, true, IDOK, false, IDOK, "enable"},
      {"stored on, untouched", "enable", false, IDOK, true, IDOK, "enable"},
      {"stored on, cleared, Escape", "enable", true, 0, true, IDCANCEL, "disable"},
      {"stored garbage", "maybe", false, IDCANCEL, false, IDCANCEL, "disable"},
  };
  for (const ForceCase& k : cases) {
    platform::RemoveFile(GetParamsFilePath());
    if (k.stored) PutParamValue("Device", "PromptFor2dForce", k.stored);
    bool openedChecked = false;
    WhenShown("Force to 2D", {[&](HWND dlg) {
                                openedChecked = Checked(dlg, IDC_FORCE_2D_PROMPT_AGAIN);
                                PressCloseBox(dlg);
                              },
                              [&](HWND dlg) {
                                if (k.clickBox) Click(dlg, IDC_FORCE_2D_PROMPT_AGAIN);
                                if (k.button)
                                  Click(dlg, k.button);
                                else
                                  PressEscape(dlg);
                              }});
    CForce2DDlg dlg;
    EXPECT_EQ(k.result, dlg.DoModal()) << k.why;
    EXPECT_TRUE(AllStepsDone()) << k.why;  // the close box did not end it
    EXPECT_EQ(k.openedChecked, openedChecked) << k.why;
    EXPECT_STREQ(k.written, GetParamValue("Device", "PromptFor2dForce", "?")) << k.why;
  }
}

}  // namespace
