// The Job Order Manager driven as the operator drives it: fields typed, buttons
// clicked, rows clicked, message boxes answered. After each step the list's cells, the
// boxes shown and the text of "Jobs.mdb" are compared with what they must be.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "jobs/store/job_order_database.h"
#include "jobs/ui/job_order_manager_dlg.h"
#include "platform/testing/test_support.h"
#include "resources/resource.h"
#include "ui/tests/msg_trail.h"

namespace {

using Cells = std::vector<std::string>;

std::string Header(int nextIdent) {
  CString s;
  s.Format(
      "CorvaneJobInfo/1\tnext_ident=%d\tident\tfinished\tjob_name\tpayment\tcreated_day\texpected_day\t"
      "delivered_day\tcustomer_name\tcontract\ttelephone\tmemo\n",
      nextIdent);
  return s.str();
}

// Three orders: a finished one, an open one with null dates, and one whose ident is
// above 65535.
const std::string kRowSign =
    "1\t1\tSign_A\tcash\t2009-07-09 08:30:00\t2009-07-20 00:00:00\t2009-07-18 00:00:00\tAcme Signs\tLi Wei\t"
    "555-0101\ttwo panels\n";
const std::string kRowDoor = "2\t0\tDoor_B\tinvoice\t2009-08-01 00:00:00\t\\N\t\\N\tBeta Doors\tZhang\t555-0202\t\n";
const std::string kRowRelief =
    "70000\t0\tRelief_C\t\\N\t2010-01-05 00:00:00\t2010-02-01 00:00:00\t\\N\tCarvers Co\t\\N\t\\N\t\\N\n";
const std::string kSeed = Header(70001) + kRowSign + kRowDoor + kRowRelief;

// The list cells of those rows.
const char kCellsSign[] = "OK|Sign_A|2009-07-09|cash|2009-07-20|2009-07-18|Acme Signs|Li Wei|555-0101|1";
const char kCellsDoor[] = "-|Door_B|2009-08-01|invoice|||Beta Doors|Zhang|555-0202|2";
const char kCellsRelief[] = "-|Relief_C|2010-01-05||2010-02-01||Carvers Co|||70000";

// Counts the cell writes and row changes the list is asked for.
WNDPROC g_listProc = nullptr;
std::vector<std::string> g_listWrites;
LRESULT CALLBACK CountingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == LVM_SETITEMTEXTA || message == LVM_SETITEMA) {
    const LVITEMA* item = (const LVITEMA*)lParam;
    int row = message == LVM_SETITEMTEXTA ? (int)wParam : item->iItem;
    g_listWrites.push_back("set " + std::to_string(row) + "," + std::to_string(item->iSubItem));
  } else if (message == LVM_INSERTITEMA) {
    g_listWrites.push_back("insert " + std::to_string(((const LVITEMA*)lParam)->iItem));
  } else if (message == LVM_DELETEITEM) {
    g_listWrites.push_back("delete " + std::to_string((int)wParam));
  }
  return ::CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

class JobOrderDlgTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_nSavedLanguage = g_nUiLanguage;
    g_nUiLanguage = 1;
    WriteDatabase(kSeed);
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    g_JobOrderDatabase.Close();
    g_nUiLanguage = m_nSavedLanguage;
    AppFolderTest::TearDown();
  }

  void WriteDatabase(const std::string& text) { ASSERT_TRUE(testing_support::WriteFileBytes(Path("Jobs.mdb"), text)); }
  std::string FileText() const { return testing_support::ReadFileBytes(Path("Jobs.mdb")); }

  // Opens the dialog for a job, as the job menu does (modeless here, so that the test
  // can act between the steps).
  void Open(const char* jobName) {
    m_dlg = std::make_unique<CJobOrderManagerDlg>(nullptr, jobName);
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_JOB_ORDER_MANAGER_CN, IDD_JOB_ORDER_MANAGER_EN)));
    ASSERT_TRUE(g_JobOrderDatabase.IsOpen());
  }
  HWND Dlg() const { return m_dlg->m_hWnd; }
  HWND List() const { return m_dlg->m_lstOrders.m_hWnd; }

  // Each row of the list: its ten cells joined by '|'.
  Cells ListCells() const {
    Cells rows;
    for (int i = 0; i < m_dlg->m_lstOrders.GetItemCount(); ++i) {
      std::string row;
      for (int c = 0; c < 10; ++c) row += (c ? "|" : "") + m_dlg->m_lstOrders.GetItemText(i, c).str();
      rows.push_back(row);
    }
    return rows;
  }

  void Type(int id, const char* text) { ::SetDlgItemTextA(Dlg(), id, text); }
  std::string Field(int id) const {
    char text[512] = "";
    ::GetDlgItemTextA(Dlg(), id, text, sizeof text);
    return text;
  }
  void Check(int id, bool on) { ::CheckDlgButton(Dlg(), id, on ? BST_CHECKED : BST_UNCHECKED); }
  bool Checked(int id) const { return ::IsDlgButtonChecked(Dlg(), id) == BST_CHECKED; }
  void Press(int id) { ::SendMessageA(::GetDlgItem(Dlg(), id), BM_CLICK, 0, 0); }

  // All the order fields, in the dialog's top-down order.
  std::string Fields() const {
    std::string s;
    for (int id : {IDC_JOB_ORDER_JOB_NAME, IDC_JOB_ORDER_CREATED_DAY, IDC_JOB_ORDER_EXPECTED_DAY,
                   IDC_JOB_ORDER_CUSTOMER, IDC_JOB_ORDER_PAYMENT, IDC_JOB_ORDER_CONTACT, IDC_JOB_ORDER_TELEPHONE,
                   IDC_JOB_ORDER_DELIVERED_DAY, IDC_JOB_ORDER_MEMO})
      s += Field(id) + "|";
    return s + (Checked(IDC_JOB_ORDER_FINISHED) ? "finished" : "open");
  }

  void ClickItem(int item) {
    CRect r;
    ASSERT_TRUE(m_dlg->m_lstOrders.GetItemRect(item, &r, LVIR_LABEL));
    Click(List(), r.CenterPoint());
    DrainFor(20);
  }

  void CountListWrites() {
    g_listWrites.clear();
    g_listProc = (WNDPROC)::SetWindowLongPtrA(List(), GWLP_WNDPROC, (LONG_PTR)CountingListProc);
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : m_boxes.Boxes()) texts.push_back(box.text);
    return texts;
  }

  testing_support::MessageBoxRecorder m_boxes;
  std::unique_ptr<CJobOrderManagerDlg> m_dlg;
  WORD m_nSavedLanguage = 0;
};

// Opening for a job without an order row: every row listed, the job's name in its field,
// nothing else filled, no box.
TEST_F(JobOrderDlgTest, OpensWithEveryRowAndTheJobName) {
  Open("New_Job");
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
  EXPECT_EQ("New_Job|||||||||open", Fields());
  EXPECT_FALSE(Checked(IDC_JOB_ORDER_SHOW_FINISHED));
  EXPECT_FALSE(Checked(IDC_JOB_ORDER_SHOW_NOT_FINISHED));
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(kSeed, FileText());

  char caption[64] = "";
  ::GetWindowTextA(Dlg(), caption, sizeof caption);
  EXPECT_STREQ("Job Order Manager", caption);
  EXPECT_TRUE(::IsZoomed(Dlg()));
  EXPECT_NE(0, ::SendMessageA(Dlg(), WM_GETICON, ICON_BIG, 0));
  EXPECT_NE(0, ::SendMessageA(Dlg(), WM_GETICON, ICON_SMALL, 0));
  EXPECT_TRUE(m_dlg->m_lstOrders.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
  const char* const titles[] = {"Status",       "Job Name", "Created Day", "Payment",   "Contract Day",
                                "Delivery Day", "Company",  "Contact",     "Telephone", "Ident."};
  const int widths[] = {60, 120, 100, 100, 100, 100, 200, 80, 100, 60};
  CHeaderCtrl* header = m_dlg->m_lstOrders.GetHeaderCtrl();
  ASSERT_EQ(10, header->GetItemCount());
  for (int c = 0; c < 10; ++c) {
    char text[64] = "";
    HDITEMA item = {};
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(header->GetItem(c, &item));
    EXPECT_STREQ(titles[c], text);
    EXPECT_EQ(widths[c], item.cxy) << c;
    EXPECT_EQ(c < 2 ? HDF_LEFT : HDF_CENTER, item.fmt & HDF_JUSTIFYMASK) << c;
  }

  // Escape ends it and closes the connection.
  ::SendMessageA(Dlg(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(g_JobOrderDatabase.IsOpen());
}

// Save for a new job name inserts one row at the end; saving again asks first, and No
// changes nothing; Yes updates the non-empty fields and the flag.
TEST_F(JobOrderDlgTest, SaveInsertsThenAsksBeforeUpdating) {
  Open("Panel_D");
  Type(IDC_JOB_ORDER_CUSTOMER, "Delta Works");
  Type(IDC_JOB_ORDER_CREATED_DAY, "2011-03-04");
  Type(IDC_JOB_ORDER_TELEPHONE, "555-0404");
  Press(IDC_JOB_ORDER_SAVE);
  EXPECT_TRUE(BoxTexts().empty());
  const std::string inserted = "70001\t0\tPanel_D\t\t2011-03-04 00:00:00\t\\N\t\\N\tDelta Works\t\t555-0404\t\n";
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief + inserted, FileText());
  const char cellsPanel[] = "-|Panel_D|2011-03-04||||Delta Works||555-0404|70001";
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief, cellsPanel}), ListCells());

  // Again: the question names the job; No leaves the file and the list.
  Type(IDC_JOB_ORDER_CUSTOMER, "Changed Name");
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_JOB_ORDER_SAVE);
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ("Order information about this job [Panel_D] is already existed, continue update it? ",
            m_boxes.Boxes()[0].text);
  EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), m_boxes.Boxes()[0].type);
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief + inserted, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief, cellsPanel}), ListCells());
  EXPECT_EQ("Changed Name", Field(IDC_JOB_ORDER_CUSTOMER));  // what was typed stays

  // Yes, with the telephone and created day emptied: those columns keep their values.
  Type(IDC_JOB_ORDER_TELEPHONE, "");
  Type(IDC_JOB_ORDER_CREATED_DAY, "");
  Type(IDC_JOB_ORDER_DELIVERED_DAY, "2011-04-01");
  Check(IDC_JOB_ORDER_FINISHED, true);
  m_boxes.Clear();
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_JOB_ORDER_SAVE);
  EXPECT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief +
                "70001\t1\tPanel_D\t\t2011-03-04 00:00:00\t\\N\t2011-04-01 00:00:00\tChanged Name\t\t555-0404\t\n",
            FileText());
  EXPECT_EQ(
      Cells({kCellsSign, kCellsDoor, kCellsRelief, "OK|Panel_D|2011-03-04|||2011-04-01|Changed Name||555-0404|70001"}),
      ListCells());
}

// Apostrophes are data: they are stored as typed, and a job name built to widen a
// condition names no row, so Delete finds nothing to delete.
TEST_F(JobOrderDlgTest, ApostrophesAreStoredAndNeverWidenACondition) {
  Open("x' or 'a'='a");
  m_boxes.QueueAnswer(IDOK);
  Press(IDC_JOB_ORDER_DELETE);
  EXPECT_EQ(Cells({"No such a job [x' or 'a'='a] in the order database"}), BoxTexts());
  EXPECT_EQ(kSeed, FileText());
  EXPECT_EQ(3u, ListCells().size());

  Type(IDC_JOB_ORDER_JOB_NAME, "O'Neil's sign");
  Type(IDC_JOB_ORDER_CUSTOMER, "O'Brien & Sons");
  Type(IDC_JOB_ORDER_MEMO, "don't sand the 'face'");
  Press(IDC_JOB_ORDER_SAVE);
  EXPECT_EQ(1u, m_boxes.Boxes().size());
  const std::string quoted = "70001\t0\tO'Neil's sign\t\t\\N\t\\N\t\\N\tO'Brien & Sons\t\t\tdon't sand the 'face'\n";
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief + quoted, FileText());
  EXPECT_EQ("-|O'Neil's sign|||||O'Brien & Sons|||70001", ListCells().back());

  // A search pattern with a quote finds the row; deleting it by its name works.
  Press(IDC_JOB_ORDER_RESET);
  Type(IDC_JOB_ORDER_CUSTOMER, "O'B%");
  Press(IDC_JOB_ORDER_QUERY);
  EXPECT_EQ(Cells({"-|O'Neil's sign|||||O'Brien & Sons|||70001"}), ListCells());
  Type(IDC_JOB_ORDER_JOB_NAME, "O'Neil's sign");
  m_boxes.Clear();
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_JOB_ORDER_DELETE);
  EXPECT_EQ(Cells({"Sure to delete the order information of job [O'Neil's sign] ?"}), BoxTexts());
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
}

// Delete: a name without a row says so and changes nothing; the question comes
// before anything is deleted; No keeps the row, Yes removes exactly it.
TEST_F(JobOrderDlgTest, DeleteAsksAndRemovesTheJobsRow) {
  Open("Nope");
  Press(IDC_JOB_ORDER_DELETE);
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ("No such a job [Nope] in the order database", m_boxes.Boxes()[0].text);
  EXPECT_EQ((UINT)MB_OK, m_boxes.Boxes()[0].type);
  EXPECT_EQ(kSeed, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());

  Type(IDC_JOB_ORDER_JOB_NAME, "Door_B");
  m_boxes.Clear();
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_JOB_ORDER_DELETE);
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ("Sure to delete the order information of job [Door_B] ?", m_boxes.Boxes()[0].text);
  EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), m_boxes.Boxes()[0].type);
  EXPECT_EQ(kSeed, FileText());

  m_boxes.Clear();
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_JOB_ORDER_DELETE);
  EXPECT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ(Header(70001) + kRowSign + kRowRelief, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsRelief}), ListCells());
}

// The two filters: one alone narrows to finished or open rows, both or neither list
// everything. A refresh writes only the cells that changed and deletes surplus rows
// from the end.
TEST_F(JobOrderDlgTest, FiltersAndSearchRefreshTheListInPlace) {
  Open("");
  CountListWrites();
  Press(IDC_JOB_ORDER_QUERY);  // nothing typed, no filter: the same rows, nothing written
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
  EXPECT_EQ(Cells{}, g_listWrites);

  struct Case {
    bool finished, notFinished;
    Cells rows;
  } cases[] = {
      {true, false, {kCellsSign}},
      {false, true, {kCellsDoor, kCellsRelief}},
      {true, true, {kCellsSign, kCellsDoor, kCellsRelief}},
      {false, false, {kCellsSign, kCellsDoor, kCellsRelief}},
  };
  for (const Case& c : cases) {
    Check(IDC_JOB_ORDER_SHOW_FINISHED, c.finished);
    Check(IDC_JOB_ORDER_SHOW_NOT_FINISHED, c.notFinished);
    g_listWrites.clear();
    Press(IDC_JOB_ORDER_QUERY);
    EXPECT_EQ(c.rows, ListCells()) << c.finished << c.notFinished;
    if (c.finished && !c.notFinished) {
      EXPECT_EQ(Cells({"delete 2", "delete 1"}), g_listWrites);
    }
  }
  EXPECT_TRUE(BoxTexts().empty());

  // A search: each typed text is a LIKE pattern of its column, the columns joined with
  // "or". Sign_A stays untouched in row 0; row 1 turns from Door_B into Relief_C, so
  // all its cells but the equal status and delivered day are written; row 2 goes.
  Type(IDC_JOB_ORDER_CUSTOMER, "acme%");
  Type(IDC_JOB_ORDER_CREATED_DAY, "2010-01-0_");
  g_listWrites.clear();
  Press(IDC_JOB_ORDER_QUERY);
  EXPECT_EQ(Cells({kCellsSign, kCellsRelief}), ListCells());
  EXPECT_EQ(Cells({"set 1,1", "set 1,2", "set 1,3", "set 1,4", "set 1,6", "set 1,7", "set 1,8", "set 1,9", "delete 2"}),
            g_listWrites);

  // No wildcard is added around the typed text: "Acme" alone is not "Acme Signs".
  Type(IDC_JOB_ORDER_CUSTOMER, "Acme");
  Type(IDC_JOB_ORDER_CREATED_DAY, "");
  Press(IDC_JOB_ORDER_QUERY);
  EXPECT_EQ(Cells{}, ListCells());
  EXPECT_TRUE(BoxTexts().empty());
}

// Reset empties the fields, both filters and the list, and touches no row; a Save
// after it stores a row with an empty job name.
TEST_F(JobOrderDlgTest, ResetEmptiesEverythingButTheDatabase) {
  Open("Sign_A");
  Check(IDC_JOB_ORDER_SHOW_FINISHED, true);
  Check(IDC_JOB_ORDER_SHOW_NOT_FINISHED, true);
  ClickItem(0);
  ASSERT_EQ("Sign_A|2009-07-09|2009-07-20|Acme Signs|cash|Li Wei|555-0101|2009-07-18|two panels|finished", Fields());
  Press(IDC_JOB_ORDER_RESET);
  EXPECT_EQ("|||||||||open", Fields());
  EXPECT_FALSE(Checked(IDC_JOB_ORDER_SHOW_FINISHED));
  EXPECT_FALSE(Checked(IDC_JOB_ORDER_SHOW_NOT_FINISHED));
  EXPECT_EQ(Cells{}, ListCells());
  EXPECT_EQ(kSeed, FileText());

  Press(IDC_JOB_ORDER_SAVE);
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(Header(70002) + kRowSign + kRowDoor + kRowRelief + "70001\t0\t\t\t\\N\t\\N\t\\N\t\t\t\t\n", FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief, "-|||||||||70001"}), ListCells());
}

// A row is loaded by its ident (here above 65535) when clicked or reached with the
// keyboard; a click below the rows changes nothing. The loaded row is then updated and
// deleted by that ident.
TEST_F(JobOrderDlgTest, ClickedRowIsLoadedUpdatedAndDeletedByIdent) {
  Open("");
  ClickItem(2);
  EXPECT_EQ("Relief_C|2010-01-05|2010-02-01|Carvers Co||||||open", Fields());
  EXPECT_TRUE(BoxTexts().empty());

  CRect last;
  ASSERT_TRUE(m_dlg->m_lstOrders.GetItemRect(2, &last, LVIR_BOUNDS));
  Type(IDC_JOB_ORDER_MEMO, "typed");
  Click(List(), CPoint(last.left + 20, last.bottom + 30));
  DrainFor(20);
  EXPECT_EQ("Relief_C|2010-01-05|2010-02-01|Carvers Co|||||typed|open", Fields());

  ClickItem(0);
  EXPECT_EQ("Sign_A|2009-07-09|2009-07-20|Acme Signs|cash|Li Wei|555-0101|2009-07-18|two panels|finished", Fields());
  ::SetFocus(List());
  PressKey(List(), VK_DOWN);
  EXPECT_EQ("Door_B|2009-08-01||Beta Doors|invoice|Zhang|555-0202|||open", Fields());
  PressKey(List(), VK_DOWN);
  EXPECT_EQ("Relief_C|2010-01-05|2010-02-01|Carvers Co||||||open", Fields());

  Type(IDC_JOB_ORDER_PAYMENT, "cheque");
  Check(IDC_JOB_ORDER_FINISHED, true);
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_JOB_ORDER_SAVE);
  const std::string updated =
      "70000\t1\tRelief_C\tcheque\t2010-01-05 00:00:00\t2010-02-01 00:00:00\t\\N\tCarvers Co\t\\N\t\\N\t\\N\n";
  EXPECT_EQ(Header(70001) + kRowSign + kRowDoor + updated, FileText());
  EXPECT_EQ("OK|Relief_C|2010-01-05|cheque|2010-02-01||Carvers Co|||70000", ListCells().back());

  m_boxes.QueueAnswer(IDYES);
  Press(IDC_JOB_ORDER_DELETE);
  EXPECT_EQ(Header(70001) + kRowSign + kRowDoor, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor}), ListCells());
  EXPECT_EQ(2u, m_boxes.Boxes().size());
}

// A write the store refuses is shown with its reason and changes nothing; what was
// typed stays in the fields to be corrected.
TEST_F(JobOrderDlgTest, RefusedWritesAreShownAndLoseNothingTyped) {
  Open("Panel_E");
  Type(IDC_JOB_ORDER_CUSTOMER, "Echo Ltd");
  Type(IDC_JOB_ORDER_CREATED_DAY, "2009/07/09");
  Press(IDC_JOB_ORDER_SAVE);
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  const std::string& text = m_boxes.Boxes()[0].text;
  EXPECT_EQ((UINT)(MB_OK | MB_ICONERROR), m_boxes.Boxes()[0].type);
  EXPECT_EQ(0u, text.find("Connection String = Driver={Microsoft Access Driver (*.mdb)};DBQ=")) << text;
  EXPECT_NE(std::string::npos, text.find("\nQuery = insert into [JobInfo] ")) << text;
  EXPECT_NE(std::string::npos,
            text.find("\tDescription = Not a date: '2009/07/09' (write YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)"))
      << text;
  EXPECT_EQ(kSeed, FileText());
  EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
  EXPECT_EQ("Panel_E|2009/07/09||Echo Ltd||||||open", Fields());

  // A file that cannot be written: the update and the delete say so.
  testing_support::SetReadOnly(Path("Jobs.mdb"), true);
  Type(IDC_JOB_ORDER_JOB_NAME, "Door_B");
  Type(IDC_JOB_ORDER_CREATED_DAY, "2009-07-10");
  for (int button : {IDC_JOB_ORDER_SAVE, IDC_JOB_ORDER_DELETE}) {
    m_boxes.Clear();
    m_boxes.QueueAnswer(IDYES);
    Press(button);
    ASSERT_EQ(2u, m_boxes.Boxes().size()) << button;
    EXPECT_NE(std::string::npos,
              m_boxes.Boxes()[1].text.find("\tDescription = The database file cannot be written, nothing was changed"))
        << m_boxes.Boxes()[1].text;
    EXPECT_EQ(kSeed, FileText());
    EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
  }
  testing_support::SetReadOnly(Path("Jobs.mdb"), false);

  // A file damaged while the dialog is open: the query says why and the list stays.
  WriteDatabase("not a job order file\n");
  Type(IDC_JOB_ORDER_JOB_NAME, "");
  Type(IDC_JOB_ORDER_CREATED_DAY, "");
  for (int button : {IDC_JOB_ORDER_QUERY, IDC_JOB_ORDER_SAVE, IDC_JOB_ORDER_DELETE}) {
    m_boxes.Clear();
    Press(button);
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << button;
    EXPECT_EQ(0u, m_boxes.Boxes()[0].text.find("Query = SELECT * FROM [JobInfo] ")) << m_boxes.Boxes()[0].text;
    EXPECT_NE(std::string::npos, m_boxes.Boxes()[0].text.find(
                                     "\tDescription = The database file is damaged (line 1: not a job order file)"))
        << m_boxes.Boxes()[0].text;
    EXPECT_EQ(Cells({kCellsSign, kCellsDoor, kCellsRelief}), ListCells());
    EXPECT_EQ("not a job order file\n", FileText());
  }
}

// Without a usable "Jobs.mdb" the dialog says so, with the reason, and ends at once.
TEST_F(JobOrderDlgTest, UnopenableDatabaseEndsTheDialog) {
  struct Case {
    const char* file;  // null: no file
    const char* reason;
  } cases[] = {
      {nullptr, "\tDescription = The database file does not exist: "},
      {"Standard Jet DB\n", "\tDescription = The database file is damaged (line 1: not a job order file)"},
  };
  for (const Case& c : cases) {
    if (c.file)
      WriteDatabase(c.file);
    else
      platform::RemoveFile(Path("Jobs.mdb"));
    m_boxes.Clear();
    CJobOrderManagerDlg dlg(nullptr, "Sign_A");
    EXPECT_EQ(0, dlg.DoModal());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    const std::string& text = m_boxes.Boxes()[0].text;
    EXPECT_EQ(0u, text.find("Can't open database: Jobs.mdb\n\nConnection String = ")) << text;
    EXPECT_NE(std::string::npos, text.find(c.reason)) << text;
    EXPECT_EQ((UINT)MB_OK, m_boxes.Boxes()[0].type);
    EXPECT_FALSE(g_JobOrderDatabase.IsOpen());
    EXPECT_EQ(c.file ? c.file : "", FileText());
  }
}

// Enter, the close box and Escape each end the dialog and close the connection; the
// next opening reads the file afresh.
TEST_F(JobOrderDlgTest, EveryWayOutClosesTheConnection) {
  for (int way = 0; way < 3; ++way) {
    Open("Sign_A");
    if (way == 0) ::SendMessageA(Dlg(), WM_COMMAND, IDOK, 0);
    if (way == 1) ::SendMessageA(Dlg(), WM_CLOSE, 0, 0);  // the dialog manager posts IDCANCEL
    if (way == 2) ::SendMessageA(Dlg(), WM_COMMAND, IDCANCEL, 0);
    DrainFor(20);
    EXPECT_FALSE(g_JobOrderDatabase.IsOpen()) << way;
    EXPECT_FALSE(::IsWindowVisible(Dlg())) << way;
    m_dlg->DestroyWindow();
  }
  WriteDatabase(Header(70001) + kRowDoor);
  Open("Sign_A");
  EXPECT_EQ(Cells({kCellsDoor}), ListCells());
  EXPECT_TRUE(BoxTexts().empty());
}

// A cell holds at most 259 bytes and never half a Chinese character; the file keeps the
// whole text. The list grows with the dialog, the fields stay where they are.
TEST_F(JobOrderDlgTest, LongTextsAndResizing) {
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "\xd6\xd0";  // 300 bytes of a GB character
  Open("Long");
  Type(IDC_JOB_ORDER_CUSTOMER, longName.c_str());
  Press(IDC_JOB_ORDER_SAVE);
  EXPECT_NE(std::string::npos, FileText().find("\t" + longName + "\t"));
  EXPECT_EQ(longName.substr(0, 258), m_dlg->m_lstOrders.GetItemText(3, 6).str());

  ::ShowWindow(Dlg(), SW_RESTORE);
  CRect list0, button0, window;
  ::GetWindowRect(List(), &list0);
  ::GetWindowRect(::GetDlgItem(Dlg(), IDC_JOB_ORDER_DELETE), &button0);
  ::GetWindowRect(Dlg(), &window);
  ::SetWindowPos(Dlg(), nullptr, 0, 0, window.Width() + 90, window.Height() + 60, SWP_NOMOVE | SWP_NOZORDER);
  CRect list1, button1;
  ::GetWindowRect(List(), &list1);
  ::GetWindowRect(::GetDlgItem(Dlg(), IDC_JOB_ORDER_DELETE), &button1);
  EXPECT_EQ(list0.Width() + 90, list1.Width());
  EXPECT_EQ(list0.Height() + 60, list1.Height());
  EXPECT_EQ(list0.TopLeft(), list1.TopLeft());
  EXPECT_EQ(button0, button1);
}

// The Chinese dialog: its template, column titles and messages.
TEST_F(JobOrderDlgTest, ChineseTexts) {
  g_nUiLanguage = 0;
  Open("浮雕_3D");
  char text[128] = "";
  ::GetWindowTextA(Dlg(), text, sizeof text);
  EXPECT_STREQ("作业订单管理", text);
  ::GetDlgItemTextA(Dlg(), IDC_JOB_ORDER_QUERY, text, sizeof text);
  EXPECT_STREQ("查 询", text);
  ::GetDlgItemTextA(Dlg(), IDC_JOB_ORDER_SHOW_NOT_FINISHED, text, sizeof text);
  EXPECT_STREQ("显示未完成", text);
  const char* const titles[] = {"作业状态", "作业名称", "建档时间", "付费方式", "合同时间",
                                "交活时间", "客户名称", "联 系 人", "联系电话", "编号"};
  for (int c = 0; c < 10; ++c) {
    HDITEMA item = {};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(m_dlg->m_lstOrders.GetHeaderCtrl()->GetItem(c, &item));
    EXPECT_STREQ(titles[c], text);
  }

  Press(IDC_JOB_ORDER_DELETE);
  Type(IDC_JOB_ORDER_CUSTOMER, "东方工艺品厂");
  Press(IDC_JOB_ORDER_SAVE);
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_JOB_ORDER_SAVE);
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_JOB_ORDER_DELETE);
  EXPECT_EQ(Cells({"订单库内没有该作业信息: [浮雕_3D] ", "该作业 [浮雕_3D] 的订单信息已经存在, 确定更新吗?",
                   "确定要删除作业 [浮雕_3D] 的订单信息吗?"}),
            BoxTexts());
  EXPECT_EQ(
      Header(70002) + kRowSign + kRowDoor + kRowRelief + "70001\t0\t浮雕_3D\t\t\\N\t\\N\t\\N\t东方工艺品厂\t\t\t\n",
      FileText());
  EXPECT_EQ("-|浮雕_3D|||||东方工艺品厂|||70001", ListCells().back());
}

}  // namespace
