// The tool grouping and feedrate dialogs driven as the operator drives them: cells
// typed in place, the header clicked, OK / Apply and Cancel / Close pressed, message
// boxes answered. Checked: the texts and colours shown, the buttons enabled, the group
// texts handed back and the speeds written into the job record.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "device/ui/feedrate_dlg.h"
#include "device/ui/tests/dialog_test_support.h"
#include "device/ui/tool_group_dlg.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "resources/resource.h"

using namespace dialog_test;

namespace {

using Texts = std::vector<std::string>;

std::string CellColors(CXListCtrl& list, int row, int col) {
  COLORREF text = 0, back = 0;
  if (!list.GetCellColors(row, col, text, back)) return "none";
  char buf[32];
  snprintf(buf, sizeof buf, "%06lX/%06lX", (unsigned long)text, (unsigned long)back);
  return buf;
}

Texts Groups(const CStringArray& groups) {
  Texts texts;
  for (int i = 0; i < groups.GetSize(); ++i) texts.push_back(groups[i].str());
  return texts;
}

// ---------------------------------------------------------------------------------
// Tool grouping

class ToolGroupTest : public EnglishAppFolderTest {
 protected:
  void Open() {
    m_dlg = std::make_unique<CToolGroupDlg>(nullptr);
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_TOOL_GROUP_CN, IDD_TOOL_GROUP_EN)));
    m_dlg->ShowWindow(SW_SHOW);
    DrainFor(0);
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    EnglishAppFolderTest::TearDown();
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }
  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CToolGroupDlg> m_dlg;
};

TEST_F(ToolGroupTest, OpensWithFifteenEmptyGroups) {
  for (WORD language : {1, 0}) {
    g_nUiLanguage = language;
    SCOPED_TRACE(language);
    Open();
    CXListCtrl& list = m_dlg->m_list;
    EXPECT_EQ(language ? "Tool Grouping for Multi-Header" : "多头刀具分组", WindowText(Dlg()));
    Texts columns = Columns(list);
    ASSERT_EQ(2u, columns.size());
    EXPECT_EQ(language ? "Associated Tools/120/C" : "关联刀具/120/C", columns[1]);
    EXPECT_EQ(language ? "Tool Name/80" : "刀具名称/80", columns[0].substr(0, columns[0].rfind('/')));
    ASSERT_EQ(kLogicalTools, list.GetItemCount());
    for (int row = 0; row < kLogicalTools; ++row) {
      EXPECT_STREQ(("T" + std::to_string(row + 1)).c_str(), list.GetItemText(row, 0));
      EXPECT_STREQ("", list.GetItemText(row, 1));
      const char* colors = row % 2 ? "000000/D2FFD2" : "000000/FFFFFF";
      EXPECT_EQ(colors, CellColors(list, row, 0)) << row;
      EXPECT_EQ(colors, CellColors(list, row, 1)) << row;
    }
    EXPECT_FALSE(CellOpensEditor(list, 3, 0));
    EXPECT_TRUE(CellOpensEditor(list, 3, 1));
    EXPECT_TRUE(list.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
    EXPECT_FALSE(Enabled(Dlg(), IDOK));
    EXPECT_NE(0, ::SendMessageA(Dlg(), WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(0, ::SendMessageA(Dlg(), WM_GETICON, ICON_SMALL, 0));
    m_dlg->DestroyWindow();
  }
}

// Typed groups come back in row order, blanks out; a group typed and then blanked is
// left out; the edited cells turn red and the title gains its mark.
TEST_F(ToolGroupTest, OkReturnsTheTypedGroupsInRowOrder) {
  Open();
  CXListCtrl& list = m_dlg->m_list;
  TypeInCell(list, 3, 1, " 1, 2 ,3 ");
  EXPECT_EQ("0000FF/D2FFD2", CellColors(list, 3, 1));
  EXPECT_EQ("Tool Grouping for Multi-Header *", WindowText(Dlg()));
  EXPECT_TRUE(Enabled(Dlg(), IDOK));
  EXPECT_TRUE(m_dlg->IsModified());
  TypeInCell(list, 1, 1, "1,3");
  TypeInCell(list, 9, 1, "7");
  TypeInCell(list, 9, 1, " ");
  TypeInCell(list, 0, 1, "4,5");
  EXPECT_TRUE(m_boxes.Boxes().empty());
  Press(Dlg(), IDOK);
  EXPECT_EQ(Texts({"(@T@T1:4,5)", "(@T@T2:1,3)", "(@T@T4:1,2,3)"}), Groups(m_dlg->m_groups));
}

// Text other than tool numbers, commas and blanks is refused with a message and the cell
// shows what it held before.
TEST_F(ToolGroupTest, RefusesTextThatWouldBreakTheComment) {
  Open();
  CXListCtrl& list = m_dlg->m_list;
  TypeInCell(list, 2, 1, "1)");
  EXPECT_EQ(Texts({"A tool group holds tool numbers and commas only (1,2,3 etc.): 1)"}), BoxTexts(m_boxes));
  EXPECT_STREQ("", list.GetItemText(2, 1));
  EXPECT_EQ("000000/FFFFFF", CellColors(list, 2, 1));
  EXPECT_FALSE(Enabled(Dlg(), IDOK));
  EXPECT_EQ("Tool Grouping for Multi-Header", WindowText(Dlg()));

  TypeInCell(list, 2, 1, "2,4");
  for (const char* bad : {"2;4", "T3", "1,2(", "@T"}) TypeInCell(list, 2, 1, bad);
  EXPECT_EQ(5u, m_boxes.Boxes().size());
  EXPECT_STREQ("2,4", list.GetItemText(2, 1));
  EXPECT_EQ("0000FF/FFFFFF", CellColors(list, 2, 1));
  Press(Dlg(), IDOK);
  EXPECT_EQ(Texts({"(@T@T3:2,4)"}), Groups(m_dlg->m_groups));
}

// OK without an edit hands back nothing, a header click only marks the title; Cancel
// hands back nothing whatever was typed.
TEST_F(ToolGroupTest, NothingComesBackWithoutEditsOrOnCancel) {
  CToolGroupDlg dlg(nullptr);
  INT_PTR result = RunModal(dlg, [&] {
    ClickHeader(dlg.m_list, 1);
    EXPECT_EQ("Tool Grouping for Multi-Header *", WindowText(dlg.m_hWnd));
    EXPECT_FALSE(Enabled(dlg.m_hWnd, IDOK));
    dlg.OnOK();
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ(Texts(), Groups(dlg.m_groups));

  CToolGroupDlg cancelled(nullptr);
  result = RunModal(cancelled, [&] {
    TypeInCell(cancelled.m_list, 0, 1, "1,2");
    Press(cancelled.m_hWnd, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(Texts(), Groups(cancelled.m_groups));
}

// ---------------------------------------------------------------------------------
// Feedrates

ToolSpeedEntry Entry(const char* key, double traverse, double feed, double plunge, double start, double accel,
                     double spindle) {
  ToolSpeedEntry e = {};
  strncpy(e.Key, key, sizeof e.Key - 1);
  e.Traverse = traverse;
  e.Feed = feed;
  e.Plunge = plunge;
  e.Start = start;
  e.Acceleration = accel;
  e.SpindleSpeed = spindle;
  return e;
}

class FeedrateTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_savedUnit = g_strUnit;
    m_dSavedFactor = g_dUnitFactor;
    SetUnits(false);
    m_record.ToolCount = 2;
    m_record.ToolSpeeds[0] = Entry("T1", 100.0, 25.4, 10.0, 5.0, 640.0, 18000.0);
    m_record.ToolSpeeds[1] = Entry("T12", 33.333333, 12.5, 2.0, 1.0, 320.5, 24000.0);
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    g_strUnit = m_savedUnit;
    g_dUnitFactor = m_dSavedFactor;
    EnglishAppFolderTest::TearDown();
  }
  static void SetUnits(bool inch) {
    g_strUnit = inch ? "in" : "mm";
    g_dUnitFactor = inch ? 1.0 / 25.4 : 1.0;
  }
  void Open() {
    m_dlg = std::make_unique<CFeedrateDlg>(nullptr);
    m_dlg->m_JobRecord = m_record;
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_FEEDRATE_CN, IDD_FEEDRATE_EN)));
    m_dlg->ShowWindow(SW_SHOW);
    DrainFor(0);
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }
  std::string Row(int row) {
    std::string s;
    for (int c = 0; c < CFeedrateDlg::kColumns; ++c) s += (c ? "|" : "") + m_dlg->m_list.GetItemText(row, c).str();
    return s;
  }
  JobRecord m_record;
  CString m_savedUnit;
  double m_dSavedFactor = 1.0;
  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CFeedrateDlg> m_dlg;
};

TEST_F(FeedrateTest, ShowsEachToolsSpeedsInTheUnitOfTheSettings) {
  Open();
  EXPECT_EQ("Feedrate Settings", WindowText(Dlg()));
  Texts columns = Columns(m_dlg->m_list);
  ASSERT_EQ(7u, columns.size());
  EXPECT_EQ(Texts({"Vmove/65/C", "Vfeed/65/C", "Vplunge/65/C", "Vstart/65/C", "Accel./65/C", "Vspindle/65/C"}),
            Texts(columns.begin() + 1, columns.end()));
  // The name column grows to show its whole title.
  EXPECT_EQ(0u, columns[0].find("Tool Name/"));
  EXPECT_LE(65, atoi(columns[0].c_str() + strlen("Tool Name/")));
  EXPECT_EQ("mm/s", ItemText(Dlg(), IDC_FEEDRATE_SPEED_UNIT));
  EXPECT_EQ("mm/s/s", ItemText(Dlg(), IDC_FEEDRATE_ACCEL_UNIT));
  ASSERT_EQ(2, m_dlg->m_list.GetItemCount());
  EXPECT_EQ("T1|100.|25.4|10.|5.|640.|18000.", Row(0));
  EXPECT_EQ("T12|33.33|12.5|2.|1.|320.5|24000.", Row(1));
  EXPECT_EQ("000000/D2FFD2", CellColors(m_dlg->m_list, 1, 3));
  EXPECT_FALSE(Enabled(Dlg(), IDOK));
  for (int c = 1; c < CFeedrateDlg::kColumns; ++c)
    EXPECT_EQ(c != CFeedrateDlg::kColAccel, CellOpensEditor(m_dlg->m_list, 0, c)) << c;
  EXPECT_FALSE(CellOpensEditor(m_dlg->m_list, 0, 0));
  m_dlg->DestroyWindow();

  // In inches: lengths scaled, the spindle still in rpm.
  SetUnits(true);
  Open();
  EXPECT_EQ("in/s", ItemText(Dlg(), IDC_FEEDRATE_SPEED_UNIT));
  EXPECT_EQ("in/s/s", ItemText(Dlg(), IDC_FEEDRATE_ACCEL_UNIT));
  EXPECT_EQ("T1|3.94|1.|0.39|0.2|25.2|18000.", Row(0));
  m_dlg->DestroyWindow();

  g_nUiLanguage = 0;
  Open();
  EXPECT_EQ("速度设置", WindowText(Dlg()));
  EXPECT_EQ("主轴转速/65/C", Columns(m_dlg->m_list)[6]);
}

// Apply stores only the cells typed, divided back into mm/s; every other value keeps
// its stored bits instead of coming back from its rounded display.
TEST_F(FeedrateTest, ApplyStoresOnlyTheTypedCells) {
  SetUnits(true);
  Open();
  TypeInCell(m_dlg->m_list, 0, CFeedrateDlg::kColFeed, "2");
  EXPECT_EQ("0000FF/FFFFFF", CellColors(m_dlg->m_list, 0, CFeedrateDlg::kColFeed));
  EXPECT_EQ("Feedrate Settings *", WindowText(Dlg()));
  EXPECT_TRUE(Enabled(Dlg(), IDOK));
  TypeInCell(m_dlg->m_list, 1, CFeedrateDlg::kColSpindle, " 12000 ");
  Press(Dlg(), IDOK);
  EXPECT_TRUE(m_boxes.Boxes().empty());

  JobRecord expected = m_record;
  expected.ToolSpeeds[0].Feed = 2 * 25.4;
  expected.ToolSpeeds[1].SpindleSpeed = 12000.0;
  EXPECT_DOUBLE_EQ(50.8, m_dlg->m_JobRecord.ToolSpeeds[0].Feed);
  m_dlg->m_JobRecord.ToolSpeeds[0].Feed = expected.ToolSpeeds[0].Feed;
  EXPECT_EQ(0, memcmp(&expected, &m_dlg->m_JobRecord, sizeof expected));
}

// A text that is not a number is refused and the cell shows its value again; a text
// left as it was is no change.
TEST_F(FeedrateTest, RefusesTextThatIsNotANumber) {
  Open();
  const char* const refused[] = {"abc", "12abc", "0x10", "1e400", "inf", "1,5"};
  for (const char* text : refused) TypeInCell(m_dlg->m_list, 0, CFeedrateDlg::kColFeed, text);
  ASSERT_EQ(6u, m_boxes.Boxes().size());
  EXPECT_EQ("Please enter a number: abc", m_boxes.Boxes()[0].text);
  EXPECT_STREQ("25.4", m_dlg->m_list.GetItemText(0, CFeedrateDlg::kColFeed));
  EXPECT_EQ("000000/FFFFFF", CellColors(m_dlg->m_list, 0, CFeedrateDlg::kColFeed));
  TypeInCell(m_dlg->m_list, 0, CFeedrateDlg::kColPlunge, "10.");
  EXPECT_EQ("000000/FFFFFF", CellColors(m_dlg->m_list, 0, CFeedrateDlg::kColPlunge));
  EXPECT_FALSE(Enabled(Dlg(), IDOK));
  EXPECT_EQ("Feedrate Settings", WindowText(Dlg()));
  EXPECT_FALSE(m_dlg->IsModified());
  Press(Dlg(), IDOK);
  EXPECT_EQ(0, memcmp(&m_record, &m_dlg->m_JobRecord, sizeof m_record));
}

TEST_F(FeedrateTest, CloseAfterEditsKeepsTheRecord) {
  CFeedrateDlg dlg(nullptr);
  dlg.m_JobRecord = m_record;
  INT_PTR result = RunModal(dlg, [&] {
    TypeInCell(dlg.m_list, 1, CFeedrateDlg::kColTraverse, "99");
    Press(dlg.m_hWnd, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(0, memcmp(&m_record, &dlg.m_JobRecord, sizeof m_record));
}

TEST_F(FeedrateTest, ARecordWithoutToolsShowsAnEmptyList) {
  m_record.ToolCount = 0;
  Open();
  EXPECT_EQ(0, m_dlg->m_list.GetItemCount());
  EXPECT_FALSE(Enabled(Dlg(), IDOK));
}

TEST(ParseCellNumber, TakesDecimalNumbersOnly) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {{"2", true, 2},     {" 12.5 ", true, 12.5}, {"-3", true, -3},    {".5", true, 0.5}, {"1e3", true, 1000},
               {"80.", true, 80},  {"", false, 0},         {"  ", false, 0},    {"abc", false, 0}, {"1.2.3", false, 0},
               {"0x1A", false, 0}, {"nan", false, 0},      {"1e999", false, 0}, {"5 mm", false, 0}};
  for (const auto& c : cases) {
    double v = -1;
    EXPECT_EQ(c.ok, (bool)ParseCellNumber(c.text, &v)) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(c.value, v) << c.text;
    }
  }
}

}  // namespace
