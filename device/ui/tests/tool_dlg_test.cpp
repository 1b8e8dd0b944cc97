// The tool dialogs driven as the operator drives them: rows clicked, fields typed, type
// and unit buttons clicked, questions answered; "Cutter.db" read back after each step.
// The Tool Definition dialog is run on its own (modeless) and, opened by the Tool
// Database's buttons, as the modal dialog it is there.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/ui/tool_database_dlg.h"
#include "device/ui/tool_def_dlg.h"
#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"
#include "ui/tests/msg_trail.h"

namespace {

// A tool as the tests write it.
CCutter Tool(int number, int original, int type, int unit, double d, double c, double a, double r, double f,
             const char* description) {
  CCutter t;
  t.m_nNumber = number;
  t.m_nOriginalNumber = original;
  t.m_nType = type;
  t.m_nUnit = unit;
  t.m_dDiameter = d;
  t.m_dLength = c;
  t.m_dAngle = a;
  t.m_dTipRadius = r;
  t.m_dFlatDiameter = f;
  strcpy(t.m_szDescription, description);
  strcpy(t.m_szMemo, description);
  return t;
}

// The script run in the next modal dialog the code under test opens.
std::function<void(HWND)> g_script;
HWND FindToolDef() {
  HWND found = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND w, LPARAM out) -> BOOL {
        if (::IsWindowVisible(w) && ::GetDlgItem(w, IDC_TOOLDEF_NUMBER)) {
          *(HWND*)out = w;
          return FALSE;
        }
        return TRUE;
      },
      (LPARAM)&found);
  return found;
}
void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = FindToolDef();
  if (!dlg || !g_script) return;
  ::KillTimer(nullptr, id);
  auto script = std::move(g_script);
  g_script = nullptr;
  script(dlg);
}

class ToolDlgTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_savedFormat = g_strNumberFormat;
    m_savedFactor = g_dUnitFactor;
    g_strNumberFormat = "%.3f";
    g_dUnitFactor = 1.0;
    g_CutterTable.m_nCount = 0;
    g_CutterTable.m_bFileTooLarge = FALSE;
  }
  void TearDown() override {
    if (m_db && m_db->m_hWnd) m_db->DestroyWindow();
    if (m_def && m_def->m_hWnd) m_def->DestroyWindow();
    g_CutterTable.m_nCount = 0;
    g_strNumberFormat = m_savedFormat;
    g_dUnitFactor = m_savedFactor;
    EnglishAppFolderTest::TearDown();
  }

  void WriteTools(const std::vector<CCutter>& tools) {
    std::string bytes;
    for (const CCutter& t : tools) {
      CutterFileRecord r = {};
      t.ToFile(r);
      bytes.append((const char*)&r, sizeof r);
    }
    ASSERT_TRUE(testing_support::WriteFileBytes(Path("Cutter.db"), bytes));
  }
  std::vector<CCutter> FileTools() {
    std::string bytes = testing_support::ReadFileBytes(Path("Cutter.db"));
    EXPECT_EQ(0u, bytes.size() % sizeof(CutterFileRecord));
    std::vector<CCutter> out;
    for (size_t at = 0; at + sizeof(CutterFileRecord) <= bytes.size(); at += sizeof(CutterFileRecord)) {
      CutterFileRecord r;
      memcpy(&r, bytes.data() + at, sizeof r);
      CCutter t;
      t.FromFile(r);
      out.push_back(t);
    }
    return out;
  }
  static std::vector<int> Numbers(const std::vector<CCutter>& tools) {
    std::vector<int> n;
    for (const CCutter& t : tools) n.push_back(t.m_nNumber);
    return n;
  }
  std::vector<CCutter> Five() {
    return {Tool(1, 11, 1, 0, 6, 15, 0, 0, 0, "one"), Tool(2, 12, 2, 0, 4, 12, 0, 0, 0, "two"),
            Tool(3, 13, 4, 0, 6, 15, 20, 0, 0, "three"), Tool(4, 14, 3, 0, 8, 20, 0, 1, 2, "four"),
            Tool(5, 15, 1, 1, 0.25, 1, 0, 0, 0, "five")};
  }

  void OpenDatabase(int mode = 1) {
    m_db = std::make_unique<CToolDatabaseDlg>(nullptr, mode);
    ASSERT_TRUE(m_db->Create(PickLangId(IDD_TOOL_DATABASE_CN, IDD_TOOL_DATABASE_EN)));
    m_db->ShowWindow(SW_SHOW);  // as DoModal shows it
    DrainFor(20);
  }
  void OpenDef(const CCutter* tool) {
    m_def = std::make_unique<CToolDefDlg>(nullptr, tool);
    ASSERT_TRUE(m_def->Create(PickLangId(IDD_TOOL_DEF_CN, IDD_TOOL_DEF_EN)));
    m_def->ShowWindow(SW_SHOW);
    DrainFor(20);
  }
  // The next modal Tool Definition dialog runs the script (it must end the dialog).
  void InNextToolDef(std::function<void(HWND)> script) {
    g_script = std::move(script);
    ::SetTimer(nullptr, 0, 30, RunScript);
  }

  static std::string Text(HWND dlg, int id) {
    char text[512] = "";
    ::GetDlgItemTextA(dlg, id, text, sizeof text);
    return text;
  }
  static void Type(HWND dlg, int id, const char* text) { ::SetDlgItemTextA(dlg, id, text); }
  static void Press(HWND dlg, int id) { ::SendMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
  static bool Visible(HWND dlg, int id) { return ::IsWindowVisible(::GetDlgItem(dlg, id)) != FALSE; }
  static bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
  static std::string Title(HWND dlg) {
    char text[256] = "";
    ::GetWindowTextA(dlg, text, sizeof text);
    return text;
  }

  std::vector<std::string> ListRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < m_db->m_list.GetItemCount(); ++i) {
      std::string row;
      for (int c = 0; c < 4; ++c) row += (c ? "|" : "") + m_db->m_list.GetItemText(i, c).str();
      rows.push_back(row);
    }
    return rows;
  }
  void ClickRow(int row) {
    CRect r;
    ASSERT_TRUE(m_db->m_list.GetItemRect(row, &r, LVIR_LABEL));
    Click(m_db->m_list.m_hWnd, r.CenterPoint());
    DrainFor(20);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : m_boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }

  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CToolDatabaseDlg> m_db;
  std::unique_ptr<CToolDefDlg> m_def;
  CString m_savedFormat;
  double m_savedFactor = 1.0;
};

TEST_F(ToolDlgTest, DatabaseShowsTheFirstToolWithItsDimensions) {
  WriteTools(Five());
  OpenDatabase();
  HWND d = m_db->m_hWnd;
  EXPECT_EQ("Tool Database", Title(d));
  EXPECT_FALSE(Visible(d, IDOK));  // management: no "Choose"
  // The inch tool's diameter in millimetres, as every other.
  EXPECT_EQ(std::vector<std::string>(
                {"1|11|6.000|one", "2|12|4.000|two", "3|13|6.000|three", "4|14|8.000|four", "5|15|6.350|five"}),
            ListRows());
  EXPECT_EQ(1, m_db->GetSelectedNumber());
  EXPECT_EQ("6.000000 mm", Text(d, IDC_TOOLDB_DIAMETER));
  EXPECT_EQ("15.000000 mm", Text(d, IDC_TOOLDB_LENGTH));
  EXPECT_EQ("one", Text(d, IDC_TOOLDB_DESCRIPTION));
  EXPECT_FALSE(Visible(d, IDC_TOOLDB_ANGLE));
  ClickRow(3);
  EXPECT_EQ(4, m_db->GetSelectedNumber());
  EXPECT_EQ("1.000000 mm", Text(d, IDC_TOOLDB_TIP_RADIUS));
  EXPECT_EQ("2.000000 mm", Text(d, IDC_TOOLDB_FLAT));
  EXPECT_TRUE(Visible(d, IDC_TOOLDB_FLAT));
  EXPECT_FALSE(Visible(d, IDC_TOOLDB_ANGLE));
  ClickRow(2);
  EXPECT_EQ("20.000000 degree", Text(d, IDC_TOOLDB_ANGLE));
  EXPECT_TRUE(Visible(d, IDC_TOOLDB_ANGLE));
  ClickRow(4);
  EXPECT_EQ("0.250000 inch", Text(d, IDC_TOOLDB_DIAMETER));
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ToolDlgTest, DatabaseInSelectionModeAndOverMissingOrEmptyFiles) {
  OpenDatabase(0);  // no file: an empty table, empty fields
  EXPECT_EQ("Tool Selector", Title(m_db->m_hWnd));
  EXPECT_TRUE(Visible(m_db->m_hWnd, IDOK));
  EXPECT_TRUE(ListRows().empty());
  EXPECT_EQ("", Text(m_db->m_hWnd, IDC_TOOLDB_DIAMETER));
  EXPECT_FALSE(testing_support::FileExists(Path("Cutter.db")));
  m_db->DestroyWindow();
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("Cutter.db"), ""));
  OpenDatabase(0);  // an empty file: the default tools, written
  EXPECT_EQ(7u, ListRows().size());
  EXPECT_EQ(std::vector<int>({1, 2, 3, 4, 5, 6, 7}), Numbers(FileTools()));
}

TEST_F(ToolDlgTest, DeleteTheThirdOfFive) {
  WriteTools(Five());
  OpenDatabase();
  ClickRow(2);
  m_boxes.QueueAnswer(IDNO);
  Press(m_db->m_hWnd, IDC_TOOLDB_DELETE);
  EXPECT_EQ(5u, FileTools().size());
  m_boxes.QueueAnswer(IDYES);
  Press(m_db->m_hWnd, IDC_TOOLDB_DELETE);
  EXPECT_EQ(std::vector<std::string>(2, "Sure to delete the tool numbered [3] ?"), BoxTexts());
  std::vector<CCutter> tools = FileTools();
  EXPECT_EQ(std::vector<int>({1, 2, 4, 5}), Numbers(tools));
  EXPECT_STREQ("four", tools[2].m_szDescription);
  EXPECT_EQ(4u, ListRows().size());
  // The number stays chosen; it has no tool now.
  m_boxes.Clear();
  Press(m_db->m_hWnd, IDC_TOOLDB_DELETE);
  Press(m_db->m_hWnd, IDC_TOOLDB_MODIFY);
  EXPECT_EQ(std::vector<std::string>(2, "No such a tool"), BoxTexts());
}

TEST_F(ToolDlgTest, DefaultRestoresTheSevenTools) {
  WriteTools(Five());
  OpenDatabase();
  m_boxes.QueueAnswer(IDNO);
  Press(m_db->m_hWnd, IDC_TOOLDB_DEFAULT);
  EXPECT_EQ(5u, FileTools().size());
  m_boxes.QueueAnswer(IDYES);
  Press(m_db->m_hWnd, IDC_TOOLDB_DEFAULT);
  EXPECT_EQ(std::vector<std::string>(2, "Sure to restore from the default tool database?"), BoxTexts());
  std::vector<CCutter> tools = FileTools();
  ASSERT_EQ(7u, tools.size());
  EXPECT_EQ(std::vector<int>({1, 2, 3, 4, 5, 6, 7}), Numbers(tools));
  EXPECT_STREQ("Conical Flat Radiused", tools[6].m_szDescription);
  EXPECT_DOUBLE_EQ(20.0, tools[6].m_dAngle);
  EXPECT_EQ(7u, ListRows().size());
}

// A new Conical tool keeps its angle and length; tip radius and flat diameter are not
// kept, whatever their hidden fields held.
TEST_F(ToolDlgTest, NewConicalToolKeepsOnlyTheDimensionsItUses) {
  WriteTools(Five());
  OpenDef(nullptr);
  HWND d = m_def->m_hWnd;
  EXPECT_EQ("Create a new tool", Title(d));
  EXPECT_TRUE(Checked(d, IDC_TOOLDEF_TYPE1));
  EXPECT_TRUE(Checked(d, IDC_TOOLDEF_METRIC));
  EXPECT_EQ("Ball Nosed", Text(d, IDC_TOOLDEF_DESCRIPTION));
  Type(d, IDC_TOOLDEF_TIP_RADIUS, "3");
  Press(d, IDC_TOOLDEF_TYPE4);
  EXPECT_TRUE(Checked(d, IDC_TOOLDEF_TYPE4));
  EXPECT_FALSE(Checked(d, IDC_TOOLDEF_TYPE1));
  EXPECT_EQ("Conical", Text(d, IDC_TOOLDEF_DESCRIPTION));
  EXPECT_TRUE(Visible(d, IDC_TOOLDEF_ANGLE));
  EXPECT_FALSE(Visible(d, IDC_TOOLDEF_TIP_RADIUS));
  EXPECT_EQ("10.00", Text(d, IDC_TOOLDEF_ANGLE));
  Type(d, IDC_TOOLDEF_NUMBER, "8");
  Type(d, IDC_TOOLDEF_ORIGINAL, "18");
  Type(d, IDC_TOOLDEF_ANGLE, "30");
  Type(d, IDC_TOOLDEF_TIP_RADIUS, "3");
  m_boxes.QueueAnswer(IDYES);
  Press(d, IDOK);
  EXPECT_EQ(std::vector<std::string>({"Sure to add a new tool?"}), BoxTexts());
  std::vector<CCutter> tools = FileTools();
  ASSERT_EQ(6u, tools.size());
  const CCutter& t = tools[5];
  EXPECT_EQ(8, t.m_nNumber);
  EXPECT_EQ(18, t.m_nOriginalNumber);
  EXPECT_EQ(4, t.m_nType);
  EXPECT_DOUBLE_EQ(30.0, t.m_dAngle);
  EXPECT_DOUBLE_EQ(13.0, t.m_dLength);
  EXPECT_DOUBLE_EQ(0.0, t.m_dTipRadius);
  EXPECT_DOUBLE_EQ(0.0, t.m_dFlatDiameter);
}

// Each case: the fields typed over a valid new Conical tool; all are refused with the
// same message and nothing is written. An angle of 90 degrees or more would give a
// flank with no width or a negative one.
TEST_F(ToolDlgTest, InvalidFieldsAreRefused) {
  WriteTools(Five());
  std::string before = testing_support::ReadFileBytes(Path("Cutter.db"));
  struct Case {
    int id;
    const char* text;
  } cases[] = {{IDC_TOOLDEF_NUMBER, "0"},   {IDC_TOOLDEF_NUMBER, "100"}, {IDC_TOOLDEF_NUMBER, "abc"},
               {IDC_TOOLDEF_DIAMETER, "0"}, {IDC_TOOLDEF_LENGTH, "-1"},  {IDC_TOOLDEF_ANGLE, "0"},
               {IDC_TOOLDEF_ANGLE, "90"},   {IDC_TOOLDEF_ANGLE, "95.5"}, {IDC_TOOLDEF_ANGLE, "x"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    OpenDef(nullptr);
    HWND d = m_def->m_hWnd;
    Press(d, IDC_TOOLDEF_TYPE4);
    Type(d, IDC_TOOLDEF_NUMBER, "9");
    Type(d, c.id, c.text);
    m_boxes.Clear();
    Press(d, IDOK);
    EXPECT_EQ(std::vector<std::string>({"Error Tool Parameter"}), BoxTexts());
    EXPECT_TRUE(::IsWindow(d));
    EXPECT_EQ(before, testing_support::ReadFileBytes(Path("Cutter.db")));
    m_def->DestroyWindow();
  }
}

TEST_F(ToolDlgTest, ChangingToANumberThatExistsIsRefused) {
  WriteTools(Five());
  std::string before = testing_support::ReadFileBytes(Path("Cutter.db"));
  CCutter three = Five()[2];
  OpenDef(&three);
  HWND d = m_def->m_hWnd;
  EXPECT_EQ("Save or Save As", Title(d));
  EXPECT_EQ("3", Text(d, IDC_TOOLDEF_NUMBER));
  EXPECT_EQ("20.000000", Text(d, IDC_TOOLDEF_ANGLE));
  Type(d, IDC_TOOLDEF_NUMBER, "4");
  Press(d, IDOK);
  EXPECT_EQ(std::vector<std::string>({"Tool is already existed, delete then re-add."}), BoxTexts());
  EXPECT_EQ(before, testing_support::ReadFileBytes(Path("Cutter.db")));
}

// Tool 3 takes tool 5's original number: tool 5 gets tool 3's former one.
TEST_F(ToolDlgTest, OriginalNumbersSwapOnAChange) {
  WriteTools(Five());
  CCutter three = Five()[2];
  OpenDef(&three);
  HWND d = m_def->m_hWnd;
  Type(d, IDC_TOOLDEF_ORIGINAL, "15");
  Type(d, IDC_TOOLDEF_LENGTH, "17");
  m_boxes.QueueAnswer(IDYES);
  Press(d, IDOK);
  EXPECT_EQ(std::vector<std::string>({"Sure to replace tool parameters ?",
                                      "The original number [15] may be duplicated, let it swap automaticly."}),
            BoxTexts());
  std::vector<CCutter> tools = FileTools();
  ASSERT_EQ(5u, tools.size());
  EXPECT_EQ(15, tools[2].m_nOriginalNumber);
  EXPECT_DOUBLE_EQ(17.0, tools[2].m_dLength);
  EXPECT_EQ(13, tools[4].m_nOriginalNumber);
}

// A table that already holds 100 tools (from a file) takes no new one.
TEST_F(ToolDlgTest, FullTableRefusesANewTool) {
  std::vector<CCutter> tools;
  for (int i = 0; i < kCutterTableSize; ++i) tools.push_back(Tool(100 + i, i, 2, 0, 6, 15, 0, 0, 0, "full"));
  WriteTools(tools);
  std::string before = testing_support::ReadFileBytes(Path("Cutter.db"));
  OpenDef(nullptr);
  HWND d = m_def->m_hWnd;
  Type(d, IDC_TOOLDEF_NUMBER, "1");
  m_boxes.QueueAnswer(IDYES);
  Press(d, IDOK);
  EXPECT_EQ(
      std::vector<std::string>({"Sure to add a new tool?",
                                "The tool table is full: it holds at most 100 tools, and the new tool was not added."}),
      BoxTexts());
  EXPECT_EQ(kCutterTableSize, g_CutterTable.m_nCount);
  EXPECT_EQ(before, testing_support::ReadFileBytes(Path("Cutter.db")));
}

// The buttons of the database open the definition dialog modally; the list shows what
// it saved.
TEST_F(ToolDlgTest, NewToolAndUpdateOpenTheDefinitionDialog) {
  WriteTools(Five());
  OpenDatabase();
  std::string title;
  InNextToolDef([&](HWND d) {
    title = Title(d);
    Press(d, IDC_TOOLDEF_TYPE2);
    Type(d, IDC_TOOLDEF_NUMBER, "6");
    Type(d, IDC_TOOLDEF_ORIGINAL, "16");
    Type(d, IDC_TOOLDEF_DIAMETER, "3.175");
    Type(d, IDC_TOOLDEF_DESCRIPTION, "eighth");
    m_boxes.QueueAnswer(IDYES);
    Press(d, IDOK);
  });
  Press(m_db->m_hWnd, IDC_TOOLDB_NEW);
  EXPECT_EQ("Create a new tool", title);
  ASSERT_EQ(6u, ListRows().size());
  EXPECT_EQ("6|16|3.175|eighth", ListRows()[5]);

  ClickRow(1);
  InNextToolDef([&](HWND d) {
    title = Title(d) + " " + Text(d, IDC_TOOLDEF_NUMBER);
    Press(d, IDCANCEL);
  });
  Press(m_db->m_hWnd, IDC_TOOLDB_MODIFY);
  EXPECT_EQ("Save or Save As 2", title);
  EXPECT_EQ(6u, FileTools().size());
}

}  // namespace
