// The editable list: what its parent hears for clicks, check boxes, header boxes and
// the in-cell editors; the cell operations and their range checks; tooltips; and the
// cells and header as drawn, read back from an off-screen bitmap.
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "foundation/draw/offscreen_dc.h"
#include "ui/check_mark.h"
#include "ui/drop_wnd.h"
#include "ui/tests/msg_trail.h"
#include "ui/xcombo.h"
#include "ui/xedit.h"
#include "ui/xlist_ctrl.h"

namespace {

enum Column { kName, kRun, kMachine, kNote, kProgress, kColumns };
const int kRows = 6;

class ListTest;
typedef std::function<void(ListTest*)> ListStep;

class ListTest : public ::testing::Test {
 public:
  CTrailParent parent;
  CXListCtrl list;
  CStringArray choices;  // outlives the list's use of it

  void SetUp() override {
    for (const char* s : {"Router A", "Router B", "Laser C", "Plasma D"}) choices.Add(s);
    ASSERT_TRUE(parent.Create(CRect(40, 40, 680, 460)));
    parent.m_notifyCodes = {LVN_COLUMNCLICK};
    ASSERT_TRUE(
        list.Create(WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, CRect(10, 10, 630, 410), &parent, 2001));
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    const struct {
      const char* title;
      int width;
    } columns[] = {{"Name", 110}, {"Run", 80}, {"Machine", 120}, {"Note", 120}, {"Progress", 110}};
    for (int c = 0; c < kColumns; ++c) list.InsertColumn(c, columns[c].title, LVCFMT_LEFT, columns[c].width);
    for (int r = 0; r < kRows; ++r) {
      char text[32];
      snprintf(text, sizeof text, "job %d", r);
      ASSERT_EQ(r, list.InsertItem(r, text));
      list.SetCellCheck(r, kRun, 0);
      list.SetCellCombo(r, kMachine, TRUE, &choices, 10, 0);
      snprintf(text, sizeof text, "note %d", r);
      list.SetItemText(r, kNote, text);
      list.SetCellEditable(r, kNote);
      list.SetCellProgress(r, kProgress, TRUE, nullptr);
    }
    list.SetFocus();
    DrainFor(0);
    parent.m_trail.clear();
  }
  void TearDown() override {
    list.DestroyWindow();
    parent.DestroyWindow();
    DrainFor(0);
  }

  CPoint CellCentre(int row, int col) {
    CRect rc;
    EXPECT_TRUE(list.GetCellRect(row, col, rc));
    return rc.CenterPoint();
  }
  void ClickCell(int row, int col) { Click(list.m_hWnd, CellCentre(row, col)); }
  HWND Header() { return (HWND)list.SendMessage(LVM_GETHEADER); }
  // Runs a case's steps, then checks what the parent heard and what the cell holds.
  void RunCase(const std::vector<ListStep>& steps, DWORD drain_ms, const Trail& expected, int row, int col,
               const char* endText, bool modified) {
    for (const ListStep& step : steps) step(this);
    DrainFor(drain_ms);
    EXPECT_EQ(expected, parent.m_trail);
    EXPECT_STREQ(endText, list.GetItemText(row, col));
    EXPECT_EQ(modified, (bool)list.IsCellModified(row, col));
  }
  // Each case of a table starts from an untouched, focused list and an empty trail.
  void StartCase() {
    list.SetAllCellsModified(FALSE);
    list.SetFocus();
    DrainFor(0);
    parent.m_trail.clear();
  }
  void SetHeaderImage(int col, int image) {
    HDITEMA item = {};
    item.mask = HDI_IMAGE;
    item.iImage = image;
    ::SendMessageA(Header(), HDM_SETITEMA, col, (LPARAM)&item);
  }
  int HeaderImage(int col) {
    HDITEMA item = {};
    item.mask = HDI_IMAGE;
    ::SendMessageA(Header(), HDM_GETITEMA, col, (LPARAM)&item);
    return item.iImage;
  }
  void ClickHeader(int col, bool twice = false) {
    CRect rc;
    ::SendMessageA(Header(), HDM_GETITEMRECT, col, (LPARAM)&rc);
    LPARAM at = MAKELPARAM(rc.CenterPoint().x, rc.CenterPoint().y);
    ::SendMessageA(Header(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageA(Header(), WM_LBUTTONUP, 0, at);
    if (!twice) return;
    ::SendMessageA(Header(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::SendMessageA(Header(), WM_LBUTTONUP, 0, at);
  }
};

// ---------------------------------------------------------------------------------
// Cell operations

TEST_F(ListTest, OperationsOutOfRangeDoNothing) {
  const struct { int row, col; } outside[] = {{-1, kNote}, {kRows, kNote}, {0, -1}, {0, kColumns}};
  for (const auto& at : outside) {
    SCOPED_TRACE(testing::Message() << at.row << "," << at.col);
    EXPECT_FALSE(list.SetItemText(at.row, at.col, "x"));
    EXPECT_STREQ("", list.GetItemText(at.row, at.col));
    EXPECT_FALSE(list.SetCellCheck(at.row, at.col, 1));
    EXPECT_EQ(-1, list.GetCellCheck(at.row, at.col));
    EXPECT_FALSE(list.SetCellEditable(at.row, at.col));
    EXPECT_FALSE(list.SetCellCombo(at.row, at.col, TRUE, &choices));
    EXPECT_FALSE(list.SetCellProgress(at.row, at.col));
    EXPECT_FALSE(list.HasCellProgress(at.row, at.col));
    EXPECT_FALSE(list.IsCellModified(at.row, at.col));
    EXPECT_FALSE(list.SetCellTip(at.row, at.col, "tip"));
    COLORREF text = 1, back = 1;
    EXPECT_FALSE(list.GetCellColors(at.row, at.col, text, back));
    EXPECT_EQ(0u, text);
    EXPECT_EQ(0u, back);
    list.SetCellPercent(at.row, at.col, 50);
    list.ClearCellProgress(at.row, at.col);
  }
  EXPECT_FALSE(list.DeleteItem(kRows));
  EXPECT_EQ(-1, list.InsertItem(-1, "negative"));
  EXPECT_EQ(kRows, list.GetItemCount());
}

// A column inserted after the rows has no cells in them: every cell operation checks
// the row's own cell count too, and the column still draws and takes clicks.
TEST_F(ListTest, AColumnAddedLaterHasNoCellsInEarlierRows) {
  const int late = kColumns;
  ASSERT_EQ(late, list.InsertColumn(late, "Late", LVCFMT_LEFT, 60));
  EXPECT_FALSE(list.SetItemText(0, late, "x"));
  EXPECT_FALSE(list.SetItemText(0, late, nullptr, RGB(1, 2, 3), RGB(4, 5, 6)));
  EXPECT_FALSE(list.SetCellCheck(0, late, 1));
  EXPECT_EQ(-1, list.GetCellCheck(0, late));
  EXPECT_FALSE(list.SetCellProgress(0, late));
  EXPECT_FALSE(list.SetCellTip(0, late, "tip"));
  EXPECT_FALSE(list.SetCellEditable(0, late));
  EXPECT_FALSE(list.SetCellCombo(0, late, TRUE, &choices));
  COLORREF text, back;
  EXPECT_FALSE(list.GetCellColors(0, late, text, back));
  list.SetCellPercent(0, late, 10);
  list.SetAllCellsModified(TRUE);
  EXPECT_FALSE(list.IsCellModified(0, late));
  EXPECT_TRUE(list.IsCellModified(0, kNote));
  // The list view's own text of the column is still there.
  list.CListCtrl::SetItemText(0, late, "plain");
  EXPECT_STREQ("plain", list.GetItemText(0, late));
  ClickCell(0, late);
  {
    CRect rc;
    list.GetClientRect(&rc);
    CMemoryBitmapDC dc(rc.Width(), rc.Height(), nullptr, RGB(255, 0, 255));
    list.SendMessage(WM_PRINTCLIENT, (WPARAM)dc.m_hDC, PRF_CLIENT);
  }
  // A row inserted now has the column.
  ASSERT_EQ(kRows, list.InsertItem(kRows, "new"));
  EXPECT_TRUE(list.SetCellCheck(kRows, late, 1));
  EXPECT_EQ(1, list.GetCellCheck(kRows, late));
}

TEST_F(ListTest, TheRowDataWordIsTheCallersAndTheCellsStayIntact) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = kRows;
  item.pszText = const_cast<char*>("with data");
  item.lParam = (LPARAM)0x123456789ABCLL;  // a pointer-sized word survives
  ASSERT_EQ(kRows, list.InsertItem(&item, RGB(1, 2, 3), RGB(4, 5, 6)));
  EXPECT_EQ((DWORD_PTR)0x123456789ABCLL, list.GetItemData(kRows));
  COLORREF text, back;
  ASSERT_TRUE(list.GetCellColors(kRows, kName, text, back));
  EXPECT_EQ(RGB(1, 2, 3), text);
  EXPECT_EQ(RGB(4, 5, 6), back);
  // A caller's LVIF_PARAM through SetItem sets the data word, not the cells' home.
  item.iItem = 0;
  item.mask = LVIF_PARAM;
  item.lParam = 77;
  EXPECT_EQ(1, list.SetItem(&item, kXListDefaultColor, kXListDefaultColor));
  EXPECT_EQ((DWORD_PTR)77, list.GetItemData(0));
  EXPECT_TRUE(list.SetCellCheck(0, kRun, 1));
  EXPECT_EQ(1, list.GetCellCheck(0, kRun));
  EXPECT_TRUE(list.SetItemData(1, 99));
  EXPECT_EQ((DWORD_PTR)99, list.GetItemData(1));
  item.iItem = -1;
  EXPECT_EQ(-1, list.SetItem(&item, 0, 0));
  list.DeleteItem(0);
  EXPECT_EQ((DWORD_PTR)99, list.GetItemData(0));
  list.DeleteAllItems();
  EXPECT_EQ(0, list.GetItemCount());
}

TEST_F(ListTest, ColoursProgressAndModifiedFlags) {
  EXPECT_TRUE(list.SetItemText(2, kNote, nullptr, RGB(255, 0, 0), RGB(0, 0, 255)));
  EXPECT_STREQ("note 2", list.GetItemText(2, kNote));
  COLORREF text, back;
  ASSERT_TRUE(list.GetCellColors(2, kNote, text, back));
  EXPECT_EQ(RGB(255, 0, 0), text);
  EXPECT_EQ(RGB(0, 0, 255), back);
  list.SetItemText(2, kNote, "again", kXListDefaultColor, kXListDefaultColor);
  list.GetCellColors(2, kNote, text, back);
  EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), text);
  EXPECT_EQ(::GetSysColor(COLOR_WINDOW), back);

  EXPECT_TRUE(list.HasCellProgress(1, kProgress));
  list.SetCellPercent(1, kProgress, 130);  // stored as given
  list.ClearCellProgress(1, kProgress);
  EXPECT_FALSE(list.HasCellProgress(1, kProgress));

  EXPECT_FALSE(list.IsCellModified(3, kName));
  list.SetAllCellsModified(TRUE);
  EXPECT_TRUE(list.IsCellModified(3, kName));
  EXPECT_TRUE(list.IsCellModified(5, kProgress));
  list.SetAllCellsModified(FALSE);
  EXPECT_FALSE(list.IsCellModified(3, kName));
}

TEST_F(ListTest, ChoiceListsSortTheCallersArrayAndNeedOne) {
  CStringArray mixed;
  for (const char* s : {"beta", "Gamma", "alpha"}) mixed.Add(s);
  EXPECT_TRUE(list.SetCellCombo(0, kMachine, TRUE, &mixed, 5, 2, TRUE));
  ASSERT_EQ(3, mixed.GetSize());
  EXPECT_STREQ("alpha", mixed[0]);
  EXPECT_STREQ("beta", mixed[1]);
  EXPECT_STREQ("Gamma", mixed[2]);
  EXPECT_STREQ("Gamma", list.GetItemText(0, kMachine));             // the initial choice
  EXPECT_TRUE(list.SetCellCombo(1, kMachine, TRUE, &mixed, 5, 9));  // out of range: the first
  EXPECT_STREQ("alpha", list.GetItemText(1, kMachine));
  EXPECT_FALSE(list.SetCellCombo(2, kMachine, TRUE, nullptr));
  EXPECT_FALSE(list.SetCellCombo(2, kMachine, FALSE, nullptr));
  CStringArray empty;
  EXPECT_TRUE(list.SetCellCombo(3, kMachine, TRUE, &empty));
}

TEST(ProgressTextTest, FormatsOnlyIntegerConversions) {
  const struct {
    const char* format;
    const char* text;
  } cases[] = {
      {nullptr, "42%"},    {"", "42%"},      {"%d%%", "42%"}, {"Progress %d%%", "Progress 42%"},
      {"%03d", "042"},     {"done", "done"}, {"%s", "42%"},                     // would read a string that is not there
      {"%d of %d", "42%"},                                                      // two arguments
      {"%n", "42%"},       {"%*d", "42%"},   {"%ld", "42%"},  {"100%", "42%"},  // a lone % at the end
  };
  for (const auto& c : cases) EXPECT_STREQ(c.text, FormatProgressText(c.format, 42)) << c.format;
}

// ---------------------------------------------------------------------------------
// Check boxes and header boxes

TEST_F(ListTest, CheckBoxClicksAndTheHeaderBox) {
  SetHeaderImage(kRun, 1);
  for (int r = 0; r < kRows - 1; ++r) list.SetCellCheck(r, kRun, 1);
  EXPECT_EQ(1, HeaderImage(kRun));
  parent.m_trail.clear();

  ClickCell(kRows - 1, kRun);  // the last unchecked one
  EXPECT_EQ(Trail{"CHECKBOX_CLICKED 5,1"}, parent.m_trail);
  EXPECT_EQ(1, list.GetCellCheck(kRows - 1, kRun));
  EXPECT_TRUE(list.IsCellModified(kRows - 1, kRun));
  EXPECT_FALSE(list.IsCellModified(0, kRun));
  EXPECT_EQ(2, HeaderImage(kRun));

  ClickCell(2, kRun);
  EXPECT_EQ((Trail{"CHECKBOX_CLICKED 5,1", "CHECKBOX_CLICKED 2,1"}), parent.m_trail);
  EXPECT_EQ(0, list.GetCellCheck(2, kRun));
  EXPECT_EQ(1, HeaderImage(kRun));

  list.SetCellCheck(2, kRun, 1);  // the program's own change also keeps the box right
  EXPECT_EQ(2, HeaderImage(kRun));
  EXPECT_FALSE(list.SetCellCheck(2, kRun, 3));
}

TEST_F(ListTest, HeaderBoxClicksSetTheColumnWithoutCellNotifications) {
  SetHeaderImage(kRun, 1);
  for (int r = 0; r < kRows; ++r) list.SetCellCheck(r, kRun, 1);
  ASSERT_EQ(2, HeaderImage(kRun));
  list.SetCellCheck(3, kRun, -1);  // a row without a box keeps none
  SetHeaderImage(kRun, 2);
  parent.m_trail.clear();

  ClickHeader(kRun);
  EXPECT_EQ(Trail{"LVN_COLUMNCLICK 1"}, parent.m_trail);
  EXPECT_EQ(1, HeaderImage(kRun));
  for (int r = 0; r < kRows; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(r == 3 ? -1 : 0, list.GetCellCheck(r, kRun));
    EXPECT_EQ(r != 3, (bool)list.IsCellModified(r, kRun));
  }

  // A double click is two clicks: the box flips twice.
  parent.m_trail.clear();
  ClickHeader(kRun, true);
  EXPECT_EQ((Trail{"LVN_COLUMNCLICK 1", "LVN_COLUMNCLICK 1"}), parent.m_trail);
  EXPECT_EQ(1, HeaderImage(kRun));
  EXPECT_EQ(0, list.GetCellCheck(0, kRun));

  // A column without a header box only passes the click on.
  parent.m_trail.clear();
  ClickHeader(kNote);
  EXPECT_EQ(Trail{"LVN_COLUMNCLICK 3"}, parent.m_trail);
  EXPECT_EQ(0, HeaderImage(kNote));
}

// ---------------------------------------------------------------------------------
// The in-cell combo

ListStep ComboKey(UINT key) {
  return [key](ListTest* t) {
    ASSERT_NE(nullptr, t->list.GetInCellCombo());
    PressKey(t->list.GetInCellCombo()->m_hWnd, key);
  };
}
ListStep FocusElsewhere() {
  return [](ListTest* t) { t->parent.SetFocus(); };
}
ListStep ChooseWithMouse(int row) {
  return [row](ListTest* t) {
    CXCombo* combo = t->list.GetInCellCombo();
    ASSERT_NE(nullptr, combo);
    combo->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));  // opens the drop-down
    CDropWnd* drop = combo->GetDropWnd();
    ASSERT_NE(nullptr, drop);
    CDropListBox* rows = drop->GetListBox();
    int h = rows->ItemHeight();
    // Over the list the drop-down tries to hand it the focus: part of choosing, not
    // its end.
    drop->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, h * row + h / 2));
    DrainFor(2 * kXListComboDelayMs);
    ASSERT_EQ(combo, t->list.GetInCellCombo());
    ASSERT_TRUE(combo->IsDropped());
    LPARAM at = MAKELPARAM(5, h * row + h / 2);
    rows->SendMessage(WM_MOUSEMOVE, 0, at);
    rows->SendMessage(WM_LBUTTONUP, 0, at);
  };
}

struct ComboCase {
  const char* name;
  const char* startText;  // nullptr: as set up (the first choice)
  std::vector<ListStep> steps;
  Trail expected;
  const char* endText;
  bool modified;
};

TEST_F(ListTest, InCellComboSequences) {
  const ComboCase cases[] = {
      {"Return without a change still reports",
       nullptr,
       {ComboKey(VK_RETURN)},
       {"COMBO_SELECTION 1,2"},
       "Router A",
       false},
      {"Down then Return takes the next choice",
       nullptr,
       {ComboKey(VK_DOWN), ComboKey(VK_RETURN)},
       {"COMBO_SELECTION 1,2"},
       "Router B",
       true},
      {"Escape cancels silently", nullptr, {ComboKey(VK_DOWN), ComboKey(VK_ESCAPE)}, {}, "Router A", false},
      {"losing the focus keeps the choice",
       nullptr,
       {ComboKey(VK_DOWN), FocusElsewhere()},
       {"COMBO_SELECTION 1,2"},
       "Router B",
       true},
      {"a text not among the choices shows the first and takes it",
       "unknown",
       {ComboKey(VK_RETURN)},
       {"COMBO_SELECTION 1,2"},
       "Router A",
       false},
      {"a row chosen with the mouse", nullptr, {ChooseWithMouse(2)}, {"COMBO_SELECTION 1,2"}, "Laser C", true},
  };
  for (const ComboCase& c : cases) {
    SCOPED_TRACE(c.name);
    list.SetCellCombo(1, kMachine, TRUE, &choices, 10, 0);
    if (c.startText) list.SetItemText(1, kMachine, c.startText);
    StartCase();

    ClickCell(1, kMachine);
    DrainFor(2 * kXListComboDelayMs);
    // The click that opened it leaves it open, with the focus.
    CXCombo* combo = list.GetInCellCombo();
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(combo->m_hWnd, ::GetFocus());
    EXPECT_EQ(0, combo->GetCurSel());
    EXPECT_TRUE(parent.m_trail.empty());

    RunCase(c.steps, 3 * kXListComboDelayMs, c.expected, 1, kMachine, c.endText, c.modified);
    EXPECT_EQ(nullptr, list.GetInCellCombo());
  }
}

TEST_F(ListTest, AnotherComboCellSettlesTheOpenOne) {
  ClickCell(0, kMachine);
  DrainFor(2 * kXListComboDelayMs);
  ASSERT_NE(nullptr, list.GetInCellCombo());
  PressKey(list.GetInCellCombo()->m_hWnd, VK_DOWN);
  ClickCell(3, kMachine);
  DrainFor(3 * kXListComboDelayMs);
  EXPECT_EQ(Trail{"COMBO_SELECTION 0,2"}, parent.m_trail);
  EXPECT_STREQ("Router B", list.GetItemText(0, kMachine));
  CXCombo* combo = list.GetInCellCombo();
  ASSERT_NE(nullptr, combo);  // the new one stays open
  EXPECT_EQ(combo->m_hWnd, ::GetFocus());
  CRect cell, rc;
  list.GetCellRect(3, kMachine, cell);
  list.ClientToScreen(&cell);
  combo->GetWindowRect(&rc);
  EXPECT_EQ(cell.left + 1, rc.left);
  EXPECT_EQ(cell.top - 1, rc.top);
  // A click on no row cancels it.
  CRect client;
  list.GetClientRect(&client);
  Click(list.m_hWnd, CPoint(client.right - 5, client.bottom - 5));
  DrainFor(3 * kXListComboDelayMs);
  EXPECT_EQ(nullptr, list.GetInCellCombo());
  EXPECT_EQ(Trail{"COMBO_SELECTION 0,2"}, parent.m_trail);
}

// ---------------------------------------------------------------------------------
// The in-cell edit

ListStep EditText(const char* text) {
  return [text](ListTest* t) {
    ASSERT_NE(nullptr, t->list.GetInCellEdit());
    t->list.GetInCellEdit()->SetWindowText(text);
  };
}
ListStep EditKey(UINT key) {
  return [key](ListTest* t) {
    ASSERT_NE(nullptr, t->list.GetInCellEdit());
    PressKey(t->list.GetInCellEdit()->m_hWnd, key);
  };
}
ListStep NonClientClick() {
  return [](ListTest* t) { t->list.SendMessage(WM_NCLBUTTONDOWN, HTBORDER, 0); };
}

struct EditCase {
  const char* name;
  std::vector<ListStep> steps;
  Trail expected;
  const char* endText;
  bool modified;
};

TEST_F(ListTest, InCellEditSequences) {
  const EditCase cases[] = {
      {"Return takes the text, once", {EditText("changed"), EditKey(VK_RETURN)}, {"EDIT_END 2,3"}, "changed", true},
      {"Escape puts the old text back, silently", {EditText("changed"), EditKey(VK_ESCAPE)}, {}, "note 2", false},
      {"an empty text keeps the old one", {EditText(""), EditKey(VK_RETURN)}, {"EDIT_END 2,3"}, "note 2", false},
      {"the same text is no change", {EditKey(VK_RETURN)}, {"EDIT_END 2,3"}, "note 2", false},
      {"losing the focus takes the text", {EditText("typed"), FocusElsewhere()}, {"EDIT_END 2,3"}, "typed", true},
      {"a click on the frame ends it", {EditText("typed"), NonClientClick()}, {"EDIT_END 2,3"}, "typed", true},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    list.SetItemText(2, kNote, "note 2");
    StartCase();

    ClickCell(2, kNote);
    DrainFor(2 * kXListComboDelayMs);
    CXEdit* edit = list.GetInCellEdit();
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(edit->m_hWnd, ::GetFocus());
    CString text;
    edit->GetWindowText(text);
    EXPECT_STREQ("note 2", text);
    DWORD from = 0, to = 0;
    edit->SendMessage(EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
    EXPECT_EQ(0u, from);
    EXPECT_EQ(6u, to);
    EXPECT_EQ((int)kXListEditId, edit->GetDlgCtrlID());

    RunCase(c.steps, kXListComboDelayMs, c.expected, 2, kNote, c.endText, c.modified);
    EXPECT_EQ(nullptr, list.GetInCellEdit());
  }
}

TEST_F(ListTest, AnotherEditCellEndsTheOpenEdit) {
  ClickCell(0, kNote);
  ASSERT_NE(nullptr, list.GetInCellEdit());
  list.GetInCellEdit()->SetWindowText("first");
  ClickCell(4, kNote);
  DrainFor(kXListComboDelayMs);
  EXPECT_EQ(Trail{"EDIT_END 0,3"}, parent.m_trail);
  EXPECT_STREQ("first", list.GetItemText(0, kNote));
  ASSERT_NE(nullptr, list.GetInCellEdit());
  CString text;
  list.GetInCellEdit()->GetWindowText(text);
  EXPECT_STREQ("note 4", text);
  PressKey(list.GetInCellEdit()->m_hWnd, VK_ESCAPE);
  EXPECT_EQ(nullptr, list.GetInCellEdit());
}

// ---------------------------------------------------------------------------------
// Tooltips

TEST_F(ListTest, ToolIdsAndTipTexts) {
  TTTOOLINFOA ti = {};
  EXPECT_EQ(3003, list.OnToolHitTest(CellCentre(3, kMachine), &ti));
  EXPECT_EQ((UINT_PTR)3003, ti.uId);
  EXPECT_EQ(list.m_hWnd, ti.hwnd);
  EXPECT_EQ(LPSTR_TEXTCALLBACKA, ti.lpszText);
  CRect client;
  list.GetClientRect(&client);
  EXPECT_EQ(client, CRect(ti.rect));
  EXPECT_EQ(1, list.OnToolHitTest(CellCentre(0, kName), &ti));
  EXPECT_EQ(-1, list.OnToolHitTest(CPoint(client.right - 3, client.bottom - 3), &ti));

  std::string longTip;
  for (int i = 0; i < 60; ++i) longTip += "\xD6\xD0";  // "中" in GB bytes: 120 bytes
  list.SetCellTip(3, kMachine, "Router A, spindle 24000 rpm");
  list.SetCellTip(4, kMachine, longTip.c_str());
  struct Case {
    int row;
    UINT code;
    std::string expected;
  } cases[] = {
      {3, TTN_NEEDTEXTA, "Router A, spindle 24000 rpm"},
      {3, TTN_NEEDTEXTW, "Router A, spindle 24000 rpm"},
      {4, TTN_NEEDTEXTA, longTip.substr(0, 78)},  // whole characters within 79 bytes
      {2, TTN_NEEDTEXTA, ""},                     // no tip
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    PointAt(list.m_hWnd, CellCentre(c.row, kMachine));
    std::string got;
    if (c.code == TTN_NEEDTEXTA) {
      NMTTDISPINFOA info = {};
      info.hdr.hwndFrom = nullptr;
      info.hdr.idFrom = (UINT_PTR)(c.row * 1000 + kMachine + 1);
      info.hdr.code = c.code;
      list.SendMessage(WM_NOTIFY, info.hdr.idFrom, (LPARAM)&info);
      got = info.szText;
    } else {
      NMTTDISPINFOW info = {};
      info.hdr.idFrom = (UINT_PTR)(c.row * 1000 + kMachine + 1);
      info.hdr.code = c.code;
      list.SendMessage(WM_NOTIFY, info.hdr.idFrom, (LPARAM)&info);
      char narrow[200] = "";
      ::WideCharToMultiByte(CP_ACP, 0, info.szText, -1, narrow, sizeof narrow, nullptr, nullptr);
      got = narrow;
    }
    EXPECT_EQ(c.expected, got);
  }

  // Enabled, the tool follows the pointer.
  list.EnableToolTips(TRUE);
  CPoint at = CellCentre(3, kMachine);
  list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  EXPECT_EQ(3003, list.GetToolTipHost().GetCurrentTool());
  at = CellCentre(1, kNote);
  list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  EXPECT_EQ(1004, list.GetToolTipHost().GetCurrentTool());
  list.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(client.right - 3, client.bottom - 3));
  EXPECT_EQ(-1, list.GetToolTipHost().GetCurrentTool());
  list.EnableToolTips(FALSE);
  EXPECT_FALSE(list.GetToolTipHost().IsEnabled());
}

// ---------------------------------------------------------------------------------
// Drawing, read back from an off-screen bitmap

class Picture {
 public:
  explicit Picture(CWnd* wnd) {
    wnd->GetClientRect(&m_rc);
    m_dc.reset(new CMemoryBitmapDC(m_rc.Width(), m_rc.Height(), nullptr, RGB(255, 0, 255)));
    wnd->SendMessage(WM_PRINTCLIENT, (WPARAM)m_dc->m_hDC, PRF_CLIENT | PRF_ERASEBKGND);
  }
  COLORREF At(int x, int y) const { return m_dc->GetPixel(x, y); }
  COLORREF At(CPoint p) const { return At(p.x, p.y); }

 private:
  CRect m_rc;
  std::unique_ptr<CMemoryBitmapDC> m_dc;
};

TEST_F(ListTest, ProgressCellsAsDrawn) {
  list.SetCellPercent(0, kProgress, 0);
  list.SetCellPercent(1, kProgress, 50);
  list.SetCellPercent(2, kProgress, 100);
  list.SetCellPercent(3, kProgress, 150);
  list.SetCellProgress(4, kProgress, FALSE);  // no text
  list.SetCellPercent(4, kProgress, 100);
  ASSERT_EQ(-1, list.GetSelectedRow());
  Picture pic(&list);
  const COLORREF field = RGB(0xE0, 0xE0, 0xE0), bar = ::GetSysColor(COLOR_HIGHLIGHT);
  CRect cell[5];
  for (int r = 0; r < 5; ++r) list.GetCellRect(r, kProgress, cell[r]);
  // The frame: black top-left, shadow bottom-right, one pixel in from the cell's left.
  EXPECT_EQ(RGB(0, 0, 0), pic.At(cell[0].left + 1, cell[0].top));
  EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pic.At(cell[0].right - 1, cell[0].bottom - 2));
  // 0 %: only the field.
  EXPECT_EQ(field, pic.At(cell[0].left + 3, cell[0].top + 2));
  EXPECT_EQ(field, pic.At(cell[0].right - 3, cell[0].top + 2));
  // 50 %: filled from the left, half way.
  EXPECT_EQ(bar, pic.At(cell[1].left + 3, cell[1].top + 2));
  EXPECT_EQ(field, pic.At(cell[1].right - 3, cell[1].top + 2));
  int half = cell[1].left + 2 + (cell[1].Width() - 1) * 50 / 100;
  EXPECT_EQ(bar, pic.At(half - 1, cell[1].top + 2));
  EXPECT_EQ(field, pic.At(half + 1, cell[1].top + 2));
  // 100 %: the whole inside of the frame, and the frame itself stays.
  EXPECT_EQ(bar, pic.At(cell[2].right - 2, cell[2].top + 2));
  EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pic.At(cell[2].right - 1, cell[2].top + 2));
  // 150 %: drawn as full, never past its own frame.
  EXPECT_EQ(bar, pic.At(cell[3].right - 2, cell[3].top + 2));
  EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pic.At(cell[3].right - 1, cell[3].top + 2));
  EXPECT_NE(bar, pic.At(cell[3].right + 1, cell[3].top + 2));
  // The text over a full bar is in the highlight-text colour, none in the cell's.
  int highlightText = 0, cellText = 0, plain = 0;
  for (int y = cell[2].top + 1; y < cell[2].bottom - 2; ++y) {
    for (int x = cell[2].left + 2; x < cell[2].right - 2; ++x) {
      highlightText += pic.At(x, y) == ::GetSysColor(COLOR_HIGHLIGHTTEXT);
      cellText += pic.At(x, y) == ::GetSysColor(COLOR_WINDOWTEXT);
    }
  }
  for (int y = cell[4].top + 1; y < cell[4].bottom - 2; ++y)
    for (int x = cell[4].left + 2; x < cell[4].right - 2; ++x) plain += pic.At(x, y) != bar;
  EXPECT_GT(highlightText, 5);
  EXPECT_EQ(0, cellText);
  EXPECT_EQ(0, plain);
}

TEST_F(ListTest, CheckBoxCellsAsDrawn) {
  list.SetCellCheck(0, kRun, 1);
  list.SetCellCheck(1, kRun, 0);
  list.SetItemText(2, kRun, "with text");
  list.SetCellCheck(2, kRun, 1);
  ASSERT_EQ(-1, list.GetSelectedRow());
  Picture pic(&list);
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    CRect cell;
    list.GetCellRect(r, kRun, cell);
    int side = cell.Height() - 1;
    int left = r == 2 ? cell.left + 9 : cell.left + cell.Width() / 2 - side / 2 - 1;
    CRect box(left, cell.top, left + side, cell.top + side);
    EXPECT_EQ(kCheckFrameColor, pic.At(box.left, box.top + side / 2));
    EXPECT_EQ(kCheckFrameColor, pic.At(box.right - 1, box.top + side / 2));
    EXPECT_NE(kCheckFrameColor, pic.At(box.left - 1, box.top + side / 2));
    EXPECT_EQ(::GetSysColor(COLOR_WINDOW), pic.At(box.left + 1, box.top + 1));
    COLORREF tick = pic.At(box.left + 9, box.top + 3);
    EXPECT_EQ(r == 1 ? ::GetSysColor(COLOR_WINDOW) : kCheckTickColor, tick);
    EXPECT_EQ(r == 1 ? ::GetSysColor(COLOR_WINDOW) : kCheckTickColor, pic.At(box.left + 3, box.top + 3));
  }
  // Text starts right of the box: text pixels appear there and nowhere left of it.
  CRect cell;
  list.GetCellRect(2, kRun, cell);
  int textPixels = 0;
  for (int y = cell.top; y < cell.bottom; ++y)
    for (int x = cell.left + 9 + cell.Height() - 1 + 4; x < cell.right; ++x)
      textPixels += pic.At(x, y) == ::GetSysColor(COLOR_WINDOWTEXT);
  EXPECT_GT(textPixels, 10);
}

TEST_F(ListTest, CellColoursAndTheSelection) {
  list.SetItemText(2, kNote, nullptr, RGB(255, 0, 0), RGB(0, 0, 255));
  list.SetItemText(3, kNote, nullptr, RGB(255, 0, 0), RGB(0, 0, 255));
  list.SelectRow(3, TRUE);
  CRect c2, c3;
  list.GetCellRect(2, kNote, c2);
  list.GetCellRect(3, kNote, c3);
  {
    Picture pic(&list);  // the list has the focus: the selected row is highlighted
    EXPECT_EQ(RGB(0, 0, 255), pic.At(c2.left + 1, c2.top + 1));
    EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), pic.At(c3.left + 1, c3.top + 1));
  }
  parent.SetFocus();
  {
    Picture pic(&list);  // without the focus, and LVS_SHOWSELALWAYS: button face
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), pic.At(c3.left + 1, c3.top + 1));
  }
}

// ---------------------------------------------------------------------------------
// The header

TEST_F(ListTest, HeaderCheckBoxesDividersAndFrame) {
  HDITEMA item = {};
  item.mask = HDI_FORMAT;
  item.fmt = HDF_STRING | HDF_RIGHT;  // keeps the left of the item clear of text
  ::SendMessageA(Header(), HDM_SETITEMA, kName, (LPARAM)&item);
  SetHeaderImage(kName, 0);
  SetHeaderImage(kRun, 2);
  SetHeaderImage(kMachine, 1);
  CWnd* header = CWnd::FromHandle(Header());
  Picture pic(header);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE), window = ::GetSysColor(COLOR_WINDOW);
  CRect rc[kColumns];
  for (int c = 0; c < kColumns; ++c) ::SendMessageA(Header(), HDM_GETITEMRECT, c, (LPARAM)&rc[c]);
  for (int c : {kName, kRun, kMachine}) {
    SCOPED_TRACE(c);
    CPoint box(rc[c].left + 6, rc[c].top + (rc[c].Height() - 13) / 2);  // 13 x 13 after the spacing
    bool hasBox = c != kName;
    EXPECT_EQ(hasBox ? kCheckFrameColor : face, pic.At(box.x, box.y + 6));
    EXPECT_EQ(hasBox ? kCheckFrameColor : face, pic.At(box.x + 12, box.y + 6));
    EXPECT_EQ(hasBox ? kCheckFrameColor : face, pic.At(box.x + 6, box.y + 12));
    EXPECT_EQ(hasBox ? window : face, pic.At(box.x + 2, box.y + 2));
    // The tick: long arm from (9, 3) down-left, short arm up-left from (5, 5).
    COLORREF tick = c == kRun ? kCheckTickColor : hasBox ? window : face;
    for (CPoint p : {CPoint(9, 3), CPoint(9, 5), CPoint(6, 8), CPoint(5, 5), CPoint(3, 3), CPoint(3, 5)})
      EXPECT_EQ(tick, pic.At(box.x + p.x, box.y + p.y)) << p.x << "," << p.y;
    EXPECT_EQ(hasBox ? window : face, pic.At(box.x + 9, box.y + 6));
  }
  // Dividers right of every item but the last; the frame stops at the items' end.
  const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW), light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  for (int c = 0; c < kColumns - 1; ++c) {
    EXPECT_EQ(shadow, pic.At(rc[c].right - 1, rc[c].top + 3)) << c;
    EXPECT_EQ(light, pic.At(rc[c].right, rc[c].top + 3)) << c;
  }
  CRect last = rc[kColumns - 1];
  EXPECT_EQ(face, pic.At(last.right, last.top + 3));
  EXPECT_EQ(face, pic.At(last.right + 5, last.CenterPoint().y));
  EXPECT_EQ(light, pic.At(0, 0));
  EXPECT_EQ(shadow, pic.At(last.right - 1, last.bottom - 1));
}

TEST_F(ListTest, HeaderImagesFromAnImageList) {
  // Two 12 x 12 images: green, then blue.
  CImageList images;
  ASSERT_TRUE(images.Create(12, 12, ILC_COLOR24, 2, 0));
  CClientDC screen(nullptr);
  CBitmap strip;
  strip.CreateCompatibleBitmap(&screen, 24, 12);
  {
    CDC mem;
    mem.CreateCompatibleDC(&screen);
    HGDIOBJ old = mem.SelectObject((HGDIOBJ)strip.GetSafeHandle());
    mem.FillSolidRect(0, 0, 12, 12, RGB(0, 200, 0));
    mem.FillSolidRect(12, 0, 12, 12, RGB(0, 0, 200));
    mem.SelectObject(old);
  }
  ASSERT_EQ(0, images.Add(&strip, (CBitmap*)nullptr));
  ::SendMessageA(Header(), HDM_SETIMAGELIST, 0, (LPARAM)images.GetSafeHandle());
  SetHeaderImage(kName, 0);
  SetHeaderImage(kRun, 1);
  HDITEMA item = {};
  item.mask = HDI_FORMAT;
  item.fmt = HDF_STRING | HDF_RIGHT;
  ::SendMessageA(Header(), HDM_SETITEMA, kName, (LPARAM)&item);
  CWnd* header = CWnd::FromHandle(Header());
  Picture pic(header);
  CRect name, run;
  ::SendMessageA(Header(), HDM_GETITEMRECT, kName, (LPARAM)&name);
  ::SendMessageA(Header(), HDM_GETITEMRECT, kRun, (LPARAM)&run);
  EXPECT_EQ(RGB(0, 0, 200), pic.At(run.left + 6 + 5, run.CenterPoint().y));
  EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), pic.At(name.left + 6 + 5, name.CenterPoint().y));  // image 0: never
  ::SendMessageA(Header(), HDM_SETIMAGELIST, 0, 0);
}

}  // namespace
