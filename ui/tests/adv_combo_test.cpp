// The owner-drawn combo box and its drop-down: what the parent hears and in which
// order, the CB_* answers, the drop-down's placement and grip, and the theme question
// with its fallbacks (driven by a stand-in theme library).
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "foundation/draw/offscreen_dc.h"
#include "ui/adv_combo_box.h"
#include "ui/drop_wnd.h"
#include "ui/tests/fake_theme.h"
#include "ui/tests/msg_trail.h"
#include "ui/theme_api.h"
#include "ui/xheader_ctrl.h"

namespace {

const char kFakeTheme[] = "ui_fake_theme.dll";

// A combo whose two endings are recorded with the notifications.
class CTestCombo : public CAdvComboBox {
 public:
  explicit CTestCombo(CTrailParent* parent) : CAdvComboBox(parent), m_pTrail(parent) {}
  void OnEscapeKey() override { m_pTrail->Note("escape"); }
  void OnComboComplete() override { m_pTrail->Note("complete"); }
  CTrailParent* m_pTrail;
};

class ComboTest : public ::testing::Test {
 public:
  CTrailParent parent;
  CTestCombo combo{&parent};

  void SetUp() override {
    ASSERT_TRUE(parent.Create(CRect(100, 100, 500, 400)));
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(10, 10, 170, 32), &parent, 1001));
    combo.SetFocus();
    DrainFor(0);
    parent.m_trail.clear();
  }
  void TearDown() override {
    combo.DestroyWindow();
    parent.DestroyWindow();
    DrainFor(0);
  }
  void AddItems(int n) {
    for (int i = 0; i < n; ++i) {
      char text[16];
      snprintf(text, sizeof text, "item %02d", i);
      combo.AddString(text);
    }
  }
  // Opens the drop-down over items rows showing lines of them.
  CDropWnd* OpenWith(int items, int lines) {
    AddItems(items);
    combo.SetDropLines(lines);
    PressKey(combo.m_hWnd, VK_F4);
    return combo.GetDropWnd();
  }
  CDropListBox* DropList() { return combo.GetDropWnd() ? combo.GetDropWnd()->GetListBox() : nullptr; }
};

typedef std::function<void(ComboTest*)> Step;
Step Key(UINT key) {
  return [key](ComboTest* t) { PressKey(t->combo.m_hWnd, key); };
}
Step AltKey(UINT key) {
  return [key](ComboTest* t) { PressKey(t->combo.m_hWnd, key, true); };
}
Step Wheel(short delta) {
  return [delta](ComboTest* t) { t->combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0); };
}

struct SequenceCase {
  const char* name;
  int items;
  int startSel;
  std::vector<Step> steps;
  Trail expected;
  int endSel;
  bool endOpen;
};

// The platform's order: a choice is CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE; a close
// without one is CBN_SELENDCANCEL, CBN_CLOSEUP.
TEST_F(ComboTest, KeyboardAndWheelSequences) {
  const SequenceCase cases[] = {
      {"F4 opens, Escape only closes",
       5,
       1,
       {Key(VK_F4), Key(VK_ESCAPE)},
       {"CBN_DROPDOWN", "CBN_SELENDCANCEL", "CBN_CLOSEUP"},
       1,
       false},
      // Once before the key goes on, once more as its character.
      {"a second Escape cancels the interaction",
       5,
       1,
       {Key(VK_F4), Key(VK_ESCAPE), Key(VK_ESCAPE)},
       {"CBN_DROPDOWN", "CBN_SELENDCANCEL", "CBN_CLOSEUP", "escape", "escape"},
       1,
       false},
      {"Return in the open list takes its row and completes",
       5,
       1,
       {Key(VK_F4), Key(VK_DOWN), Key(VK_RETURN)},
       {"CBN_DROPDOWN", "CBN_SELENDOK", "CBN_CLOSEUP", "CBN_SELCHANGE", "complete"},
       2,
       false},
      {"Return with the list closed completes", 5, 1, {Key(VK_RETURN)}, {"complete"}, 1, false},
      {"Alt+Down toggles the list",
       5,
       0,
       {AltKey(VK_DOWN), AltKey(VK_DOWN)},
       {"CBN_DROPDOWN", "CBN_SELENDCANCEL", "CBN_CLOSEUP"},
       0,
       false},
      {"Down moves the closed selection", 5, 1, {Key(VK_DOWN)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 2, false},
      {"Up at the first item does nothing", 5, 0, {Key(VK_UP)}, {}, 0, false},
      {"Page Down moves ten items", 25, 0, {Key(VK_NEXT)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 10, false},
      {"Page Down stops at the last item", 25, 20, {Key(VK_NEXT)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 24, false},
      {"Page Down at the last item does nothing", 25, 24, {Key(VK_NEXT)}, {}, 24, false},
      {"Page Up stops at the first item", 25, 4, {Key(VK_PRIOR)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 0, false},
      {"one notch up moves one item up", 5, 2, {Wheel(120)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 1, false},
      {"two half notches make one", 5, 2, {Wheel(60), Wheel(60)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 1, false},
      {"one notch down moves one item down", 5, 2, {Wheel(-120)}, {"CBN_SELENDOK", "CBN_SELCHANGE"}, 3, false},
      {"a wheel notch scrolls the open list instead", 25, 0, {Key(VK_F4), Wheel(-120)}, {"CBN_DROPDOWN"}, 0, true},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    combo.SendMessage(CB_RESETCONTENT);
    AddItems(c.items);
    combo.SetCurSel(c.startSel);
    parent.m_trail.clear();
    for (const Step& step : c.steps) step(this);
    DrainFor(0);
    EXPECT_EQ(c.expected, parent.m_trail);
    EXPECT_EQ(c.endSel, combo.GetCurSel());
    EXPECT_EQ(c.endOpen, (bool)combo.IsDropped());
    if (combo.IsDropped()) combo.SendMessage(WM_ACB_DESTROY_DROPDOWN);
  }
}

TEST_F(ComboTest, WheelScrollsTheOpenListThreeRows) {
  ASSERT_NE(nullptr, OpenWith(25, 5));
  combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
  EXPECT_EQ(3, DropList()->GetTopIndex());
  EXPECT_EQ(3, (int)combo.SendMessage(CB_GETTOPINDEX));
  combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  combo.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(0, DropList()->GetTopIndex());
}

TEST_F(ComboTest, PageKeysInTheOpenList) {
  OpenWith(25, 5);
  CDropListBox* list = DropList();
  ASSERT_NE(nullptr, list);
  int visible = list->VisibleRows();
  ASSERT_GT(visible, 1);
  EXPECT_EQ(-1, list->GetCurSel());
  PressKey(combo.m_hWnd, VK_NEXT);  // no selection: the first row
  EXPECT_EQ(0, list->GetCurSel());
  PressKey(combo.m_hWnd, VK_NEXT);  // the last visible row
  EXPECT_EQ(visible - 1, list->GetCurSel());
  CString text;
  combo.GetWindowText(text);
  EXPECT_STREQ(list->RowText(visible - 1), text);
  PressKey(combo.m_hWnd, VK_NEXT);  // a page further
  EXPECT_EQ(std::min(2 * visible - 2, 24), list->GetCurSel());
  int top = list->GetTopIndex();
  ASSERT_NE(top, list->GetCurSel());
  PressKey(combo.m_hWnd, VK_PRIOR);  // the top visible row
  EXPECT_EQ(top, list->GetCurSel());
  PressKey(combo.m_hWnd, VK_PRIOR);  // a page up
  EXPECT_EQ(std::max(top - visible + 1, 0), list->GetCurSel());
}

TEST_F(ComboTest, ReleaseOverARowChoosesItAndCompletes) {
  AddItems(5);
  combo.SetCurSel(0);
  combo.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  CDropListBox* list = DropList();
  ASSERT_NE(nullptr, list);
  int h = list->ItemHeight();
  LPARAM row2 = MAKELPARAM(10, 2 * h + h / 2);
  list->SendMessage(WM_MOUSEMOVE, 0, row2);
  EXPECT_EQ(2, list->GetCurSel());
  list->SendMessage(WM_LBUTTONUP, 0, row2);
  DrainFor(0);
  Trail expected = {"CBN_DROPDOWN", "CBN_SELENDOK", "CBN_CLOSEUP", "CBN_SELCHANGE", "complete"};
  EXPECT_EQ(expected, parent.m_trail);
  EXPECT_FALSE(combo.IsDropped());
  EXPECT_EQ(nullptr, combo.GetDropWnd());
  EXPECT_EQ(2, combo.GetCurSel());
}

// The drop-down hands a click to the combo; a click that makes the combo close the
// drop-down must not be finished on the destroyed window.
TEST_F(ComboTest, ClicksOnTheDropDownItself) {
  struct Case {
    const char* name;
    CPoint at;  // drop-down client coordinates
  } cases[] = {
      {"outside: the drop-down closes", CPoint(-40, -60)},
      {"on its frame, over the combo's area: the combo toggles it shut", CPoint(0, 5)},
  };
  AddItems(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    parent.m_trail.clear();
    PressKey(combo.m_hWnd, VK_F4);
    ASSERT_NE(nullptr, combo.GetDropWnd());
    combo.GetDropWnd()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.at.x, c.at.y));
    DrainFor(0);
    Trail expected = {"CBN_DROPDOWN", "CBN_SELENDCANCEL", "CBN_CLOSEUP"};
    EXPECT_EQ(expected, parent.m_trail);
    EXPECT_FALSE(combo.IsDropped());
  }
}

TEST(RuntimeClassTest, RecordsOfTheComboAndTheHeader) {
  EXPECT_STREQ("CAdvComboBox", RUNTIME_CLASS(CAdvComboBox)->m_lpszClassName);
  EXPECT_STREQ("CXHeaderCtrl", RUNTIME_CLASS(CXHeaderCtrl)->m_lpszClassName);
  std::unique_ptr<CWnd> header(RUNTIME_CLASS(CXHeaderCtrl)->CreateObject());
  ASSERT_NE(nullptr, dynamic_cast<CXHeaderCtrl*>(header.get()));
  EXPECT_EQ(RUNTIME_CLASS(CXHeaderCtrl), static_cast<CXHeaderCtrl*>(header.get())->GetRuntimeClass());
}

TEST_F(ComboTest, ItemAnswers) {
  for (const char* s : {"a", "same", "b", "same"}) combo.AddString(s);
  // The exact search starts at the start index itself.
  EXPECT_EQ(3, combo.FindStringExact(2, "same"));
  EXPECT_EQ(1, combo.FindStringExact(-1, "same"));
  EXPECT_EQ(CB_ERR, combo.FindStringExact(2, "a"));
  EXPECT_EQ(CB_ERR, combo.FindStringExact(5, "a"));
  EXPECT_EQ(CB_ERR, combo.FindStringExact(0, "SAME"));  // case counts
  // The selection is the first item with the displayed text.
  EXPECT_EQ(3, combo.SetCurSel(3));
  EXPECT_EQ(1, combo.GetCurSel());
  EXPECT_EQ(1, (int)combo.SendMessage(CB_GETCURSEL));
  EXPECT_EQ(CB_ERR, combo.SetCurSel(4));
  EXPECT_EQ(-1, combo.SetCurSel(-1));
  EXPECT_EQ(CB_ERR, combo.GetCurSel());
  EXPECT_EQ(2, (int)combo.SendMessage(CB_SELECTSTRING, 1, (LPARAM) "b"));

  // Text answers as the platform combo gives them: the length without terminator.
  EXPECT_EQ(4, (int)combo.SendMessage(CB_GETLBTEXTLEN, 1));
  char buf[16] = "";
  EXPECT_EQ(4, (int)combo.SendMessage(CB_GETLBTEXT, 1, (LPARAM)buf));
  EXPECT_STREQ("same", buf);
  EXPECT_EQ(CB_ERR, (int)combo.SendMessage(CB_GETLBTEXTLEN, 9));
  CComboBox* asPlatform = (CComboBox*)&combo;  // the framework's wrapper reads it unchanged
  CString text;
  asPlatform->GetLBText(3, text);
  EXPECT_STREQ("same", text);
  EXPECT_EQ(4, text.GetLength());
  combo.GetLBText(7, text);
  EXPECT_TRUE(text.IsEmpty());

  EXPECT_EQ(CB_ERR, (int)combo.SendMessage(CB_GETTOPINDEX));  // closed
  EXPECT_EQ(-1, combo.SetDropLines(8));                       // the previous count
  EXPECT_EQ(8, combo.SetDropLines(-1));
  EXPECT_EQ(4, (int)combo.SendMessage(CB_GETCOUNT));
  EXPECT_EQ(0, (int)combo.SendMessage(CB_RESETCONTENT));
  EXPECT_EQ(0, combo.GetCount());
  EXPECT_EQ(CB_ERR, combo.GetCurSel());
  // Without items an index is kept for later and answered -1.
  EXPECT_EQ(CB_ERR, combo.SetCurSel(2));
}

// ---------------------------------------------------------------------------------
// The drop-down's placement (screen 1024 x 768, rows 16 high, scroll bars 16 wide)

DropPlacementInput Below(int items, int dropLines, int widest = 40) {
  DropPlacementInput in;
  in.rcCombo = CRect(100, 78, 250, 100);
  in.rcCreate = CRect(100, 100, 250, 100);
  in.nItemHeight = 16;
  in.nItems = items;
  in.nDropLines = dropLines;
  in.nWidestText = widest;
  in.dwStyle = kAcbsStandard;
  in.sizeScreen = CSize(1024, 768);
  in.cxVScroll = 16;
  in.cyVScroll = 16;
  return in;
}

DropPlacementInput Above(int items, int dropLines, int comboTop = 718) {
  DropPlacementInput in = Below(items, dropLines);
  in.rcCombo = CRect(100, comboTop, 250, 740);
  in.rcCreate = CRect(100, 740, 250, 740);  // 28 pixels left below: fewer than 5 rows
  return in;
}

TEST(DropPlacementTest, Table) {
  struct Case {
    const char* name;
    DropPlacementInput in;
    CRect expected;
  } cases[] = {
      {"below, all rows", Below(5, -1), CRect(100, 100, 250, 182)},
      {"below, 25 rows shown 10", Below(25, 10), CRect(100, 100, 250, 262)},
      {"below, 3 rows of 10 lines", Below(3, 10), CRect(100, 100, 250, 150)},
      {"below, no rows: one scroll bar high", Below(0, -1), CRect(100, 100, 250, 116)},
      {"above, all rows, ending at the combo's top", Above(5, -1), CRect(100, 636, 250, 718)},
      {"above, 25 rows shown 10", Above(25, 10), CRect(100, 556, 250, 718)},
      {"above, cut at the screen's top", Above(5, -1, 30), CRect(100, 0, 250, 30)},
      {"a wide row widens it", Below(5, -1, 300), CRect(100, 100, 424, 182)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, PlaceDropDown(c.in));
  }
}

// A list that answers no row height (a list without a window answers 0) must not make
// anything divide by 0: the row under the pointer, the visible rows, the placement.
TEST(DropPlacementTest, ARowHeightOfZeroNeverDivides) {
  CTrailParent parent;
  ASSERT_TRUE(parent.Create(CRect(0, 0, 100, 100)));
  CAdvComboBox combo(&parent);
  CDropListBox orphan(&combo, nullptr);
  EXPECT_GE(orphan.ItemHeight(), 1);
  EXPECT_EQ(0, orphan.VisibleRows());
  parent.DestroyWindow();
}

TEST(DropPlacementTest, ScreenEdgesAndAZeroRowHeight) {
  DropPlacementInput in = Below(5, -1, 300);
  in.rcCreate.OffsetRect(800, 0);
  in.rcCombo.OffsetRect(800, 0);
  CRect r = PlaceDropDown(in);
  EXPECT_EQ(1024, r.right);  // moved left to fit
  EXPECT_EQ(324, r.Width());
  in.nWidestText = 2000;
  r = PlaceDropDown(in);
  EXPECT_EQ(0, r.left);
  EXPECT_EQ(1024, r.Width());
  // A row height of 0 (a list that answered nothing) is taken as 1: no division by 0.
  in = Below(5, -1);
  in.nItemHeight = 0;
  r = PlaceDropDown(in);
  EXPECT_EQ(100, r.top);
  EXPECT_EQ(16, r.Height());  // 5 x 1 + 2, raised to one scroll bar
  in.nDropLines = 3;
  EXPECT_EQ(5, PlaceDropDown(in).Height());
}

TEST_F(ComboTest, OpenDropDownSizeScrollRangeAndGrip) {
  CDropWnd* drop = OpenWith(25, 10);
  ASSERT_NE(nullptr, drop);
  int h = drop->GetListBox()->ItemHeight();
  CRect rc, comboRect;
  drop->GetWindowRect(&rc);
  combo.GetWindowRect(&comboRect);
  EXPECT_EQ(10 * h + 2, rc.Height());
  EXPECT_EQ(comboRect.bottom, rc.top);
  EXPECT_EQ(comboRect.left, rc.left);
  EXPECT_GE(rc.Width(), comboRect.Width());
  int lo = -1, hi = -1;
  drop->GetScrollBar()->GetScrollRange(&lo, &hi);
  EXPECT_EQ(0, lo);
  EXPECT_EQ(24, hi);
  EXPECT_EQ(25, drop->GetListBox()->GetCount());

  // The grip: never narrower than the combo, never 100 pixels beyond the first size.
  CRect grip = drop->GetGripRect();
  CPoint start = grip.CenterPoint();
  drop->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
  drop->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start.x + 1000, start.y + 1000));
  CRect big;
  drop->GetWindowRect(&big);
  EXPECT_EQ(rc.Width() + 100, big.Width());
  EXPECT_EQ(rc.Height() + 100, big.Height());
  drop->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start.x - 1000, start.y - 1000));
  CRect small;
  drop->GetWindowRect(&small);
  EXPECT_EQ(comboRect.Width(), small.Width());
  EXPECT_EQ(::GetSystemMetrics(SM_CXVSCROLL) + 1, small.Height());
  drop->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(start.x, start.y));
  combo.SendMessage(WM_ACB_DESTROY_DROPDOWN);
  EXPECT_EQ(nullptr, combo.GetDropWnd());
}

TEST_F(ComboTest, ScrollBarMovesTheListTopRow) {
  CDropWnd* drop = OpenWith(25, 5);
  ASSERT_NE(nullptr, drop);
  HWND bar = drop->GetScrollBar()->m_hWnd;
  struct Case {
    WORD code;
    WORD pos;
    int top;
  } cases[] = {
      {SB_LINEDOWN, 0, 1}, {SB_THUMBPOSITION, 7, 7}, {SB_LINEUP, 0, 6}, {SB_THUMBTRACK, 0, 0}, {SB_LINEUP, 0, 0}};
  for (const Case& c : cases) {
    drop->SendMessage(WM_VSCROLL, MAKEWPARAM(c.code, c.pos), (LPARAM)bar);
    EXPECT_EQ(c.top, drop->GetListBox()->GetTopIndex()) << c.code;
    EXPECT_EQ(c.top, drop->GetScrollBar()->GetScrollPos());
  }
}

// ---------------------------------------------------------------------------------
// Theme access

TEST(ThemeApiTest, WithoutTheLibraryEveryCallFails) {
  CThemeApi api("NoSuchThemeLibrary.dll", "NoSuchCommonControls.dll");
  EXPECT_FALSE(api.IsLoaded());
  EXPECT_EQ(nullptr, api.OpenThemeData(nullptr, L"COMBOBOX"));
  const HRESULT kFail = (HRESULT)0x80004005L;
  EXPECT_EQ(kFail, api.CloseThemeData(nullptr));
  RECT rc = {0, 0, 10, 10};
  EXPECT_EQ(kFail, api.DrawThemeBackground(nullptr, nullptr, 1, 1, &rc, nullptr));
  COLORREF color = 0;
  EXPECT_EQ(kFail, api.GetThemeColor(nullptr, 1, 1, kThemeBorderColor, &color));
  EXPECT_FALSE(api.IsAppThemed());
  WCHAR a[8], b[8];
  EXPECT_EQ(kFail, api.GetCurrentThemeName(a, 8, b, 8, nullptr, 0));
  EXPECT_FALSE(api.IsThemeUsable());
}

FakeThemeConfig Themed(DWORD major, DWORD minor, const wchar_t* scheme, BOOL appThemed = TRUE) {
  FakeThemeConfig c = {};
  c.dwMajor = major;
  c.dwMinor = minor;
  lstrcpynW(c.szColorName, scheme, 64);
  c.bAppThemed = appThemed;
  return c;
}

TEST(ThemeApiTest, UsableOnlyWithCommonControlsSixAndAKnownScheme) {
  FakeThemeConfig failing = Themed(6, 0, L"NormalColor");
  failing.bNameFails = TRUE;
  struct Case {
    const char* name;
    FakeThemeConfig config;
    BOOL usable;
  } cases[] = {
      {"6.0, NormalColor", Themed(6, 0, L"NormalColor"), TRUE},
      {"letter case does not matter", Themed(6, 0, L"nORMALcOLOR"), TRUE},
      {"HomeStead", Themed(6, 0, L"HomeStead"), TRUE},
      {"Metallic", Themed(6, 0, L"Metallic"), TRUE},
      {"another scheme", Themed(6, 0, L"Royale"), FALSE},
      {"common controls 6.10", Themed(6, 10, L"NormalColor"), FALSE},
      {"common controls 5.82", Themed(5, 82, L"NormalColor"), FALSE},
      {"no theme name", failing, FALSE},
      {"application not themed", Themed(6, 0, L"NormalColor", FALSE), FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTheme_Set(&c.config);
    CThemeApi api(kFakeTheme, kFakeTheme);
    ASSERT_TRUE(api.IsLoaded());
    EXPECT_EQ(c.usable, api.IsThemeUsable());
    EXPECT_EQ(c.usable, api.IsThemeUsable());  // the cached answer is the same
  }
}

// The first answer is the one kept: a system that said "not themed" is not later
// taken for themed, and a change of style while running is not noticed either way.
TEST(ThemeApiTest, TheCachedAnswerIsTheFinalOne) {
  FakeThemeConfig off = Themed(6, 0, L"NormalColor", FALSE), on = Themed(6, 0, L"NormalColor", TRUE);
  FakeTheme_Set(&off);
  CThemeApi unthemed(kFakeTheme, kFakeTheme);
  EXPECT_FALSE(unthemed.IsThemeUsable());
  FakeTheme_Set(&on);
  EXPECT_FALSE(unthemed.IsThemeUsable());
  CThemeApi themed(kFakeTheme, kFakeTheme);
  EXPECT_TRUE(themed.IsThemeUsable());
  FakeTheme_Set(&off);
  EXPECT_TRUE(themed.IsThemeUsable());
}

// Pixels of the combo's button, drawn into an off-screen bitmap.
int CountButtonPixels(CAdvComboBox& combo, COLORREF color, CRect* button) {
  CRect rc;
  combo.GetClientRect(&rc);
  CMemoryBitmapDC dc(rc.Width(), rc.Height(), nullptr, RGB(255, 0, 255));
  combo.SendMessage(WM_PRINTCLIENT, (WPARAM)dc.m_hDC, PRF_CLIENT);
  *button = rc;
  button->left = rc.right - ::GetSystemMetrics(SM_CXHSCROLL) - 2;
  int n = 0;
  for (int y = button->top; y < button->bottom; ++y)
    for (int x = button->left; x < button->right; ++x) n += dc.GetPixel(x, y) == color;
  return n;
}

TEST_F(ComboTest, ButtonDrawsClassicWhenTheThemeGivesNoHandle) {
  AddItems(3);
  CRect button;
  // Themed: the theme draws the button.
  FakeThemeConfig config = Themed(6, 0, L"NormalColor");
  FakeTheme_Set(&config);
  CThemeApi themed(kFakeTheme, kFakeTheme);
  combo.UseThemeApi(&themed);
  EXPECT_GT(CountButtonPixels(combo, FAKE_THEME_MARK, &button), 50);

  // Themed system, but no theme for the class: the classic button, not nothing.
  config.bOpenFails = TRUE;
  FakeTheme_Set(&config);
  EXPECT_EQ(0, CountButtonPixels(combo, FAKE_THEME_MARK, &button));
  int face = CountButtonPixels(combo, ::GetSysColor(COLOR_BTNFACE), &button);
  EXPECT_GT(face, button.Height() * 4);

  // No library at all: the same classic button.
  CThemeApi none("NoSuchThemeLibrary.dll", "NoSuchCommonControls.dll");
  combo.UseThemeApi(&none);
  EXPECT_EQ(face, CountButtonPixels(combo, ::GetSysColor(COLOR_BTNFACE), &button));
  combo.UseThemeApi(&g_ThemeApi);
}

}  // namespace
