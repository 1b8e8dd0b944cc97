// The pane layout model on a table of control rectangles: what each set-up of fixed,
// percent and greedy children makes of a given rectangle, the bounds a window is held
// to, and the rectangles that must place nothing.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/layout/layout_manager.h"

namespace {

// A window and its controls as a table: each control is its dialog id.
class CControlTable : public ILayoutWindow {
 public:
  struct Control {
    CRect rect;
    DWORD style = 0;
    bool combo = false;
    int listBottom = -1;  // a simple combo's list bottom; -1 none
    int moves = 0;
    int redraws = 0;
    int erasedRedraws = 0;
  };
  std::map<UINT, Control> m_controls;
  CRect m_client = CRect(0, 0, 400, 300);
  CRect m_window = CRect(100, 100, 416, 338);  // 8 + 8 wide, 30 + 8 high frame
  BOOL m_bTopLevel = FALSE;
  CRect m_tabFrame = CRect(2, 24, 2, 2);  // what a tab control adds around its display area
  int m_nAfterLayout = 0;
  std::vector<CRect> m_windowMoves;

  static HWND H(UINT id) { return (HWND)(uintptr_t)id; }
  static UINT Id(HWND h) { return (UINT)(uintptr_t)h; }
  HWND Add(UINT id, CRect rect, DWORD style = 0, bool combo = false) {
    Control c;
    c.rect = rect;
    c.style = style;
    c.combo = combo;
    m_controls[id] = c;
    return H(id);
  }
  CRect Rect(UINT id) { return m_controls.at(id).rect; }

  HWND FindControl(UINT id) override { return m_controls.count(id) ? H(id) : nullptr; }
  CRect GetControlRect(HWND ctl) override { return m_controls.at(Id(ctl)).rect; }
  DWORD GetControlStyle(HWND ctl) override { return m_controls.at(Id(ctl)).style; }
  BOOL IsComboControl(HWND ctl) override { return m_controls.at(Id(ctl)).combo; }
  void MoveControl(HWND ctl, const CRect& rect) override {
    Control& c = m_controls.at(Id(ctl));
    EXPECT_GE(rect.Width(), 0);
    EXPECT_GE(rect.Height(), 0);
    c.rect = rect;
    ++c.moves;
  }
  void RedrawControl(HWND ctl, BOOL erase) override {
    Control& c = m_controls.at(Id(ctl));
    ++c.redraws;
    if (erase) ++c.erasedRedraws;
  }
  BOOL GetComboListBottom(HWND combo, int* bottom) override {
    const Control& c = m_controls.at(Id(combo));
    if (c.listBottom < 0) return FALSE;
    *bottom = c.listBottom;
    return TRUE;
  }
  void AdjustTabRect(HWND, BOOL larger, CRect* r) override {
    int s = larger ? 1 : -1;
    r->left -= s * m_tabFrame.left;
    r->top -= s * m_tabFrame.top;
    r->right += s * m_tabFrame.right;
    r->bottom += s * m_tabFrame.bottom;
  }
  CRect GetClientRect() override { return m_client; }
  BOOL IsTopLevelDialog() override { return m_bTopLevel; }
  CRect GetWindowRect() override { return m_window; }
  void MoveWindowTo(const CRect& r) override {
    m_windowMoves.push_back(r);
    m_client = CRect(0, 0, m_client.Width() + r.Width() - m_window.Width(),
                     m_client.Height() + r.Height() - m_window.Height());
    m_window = r;
  }
  void AfterLayout() override { ++m_nAfterLayout; }
};

// A control spec of a set-up: id, mode, width, height, minimum width, minimum height.
struct ItemSpec {
  UINT id;
  UINT mode;
  int width, height, minWidth, minHeight;
};

std::string Describe(const CRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

class PaneLayoutTest : public ::testing::Test {
 protected:
  CControlTable table;
  RDQLayoutManager mgr{&table};
};

// Horizontal panes of items in a 0..width x 0..100 rectangle: the left and right edge
// of every control afterwards.
TEST_F(PaneLayoutTest, HorizontalSplitsTable) {
  struct Case {
    const char* name;
    int width, gap, border;
    std::vector<ItemSpec> items;
    std::vector<std::pair<int, int>> spans;  // left, right per item
  } cases[] = {
      {"fixed, 50%, two greedy: the second greedy takes the odd pixel",
       401,
       2,
       4,
       {{1, LM_FIXED_WIDTH, 50, 20, 0, 0},
        {2, LM_PERCENT_WIDTH, 50, 20, 0, 0},
        {3, 0, 30, 20, 0, 0},
        {4, 0, 30, 20, 0, 0}},
       {{4, 54}, {56, 224}, {226, 310}, {312, 397}}},
      {"a greedy child below its minimum: the other gives way",
       200,
       0,
       0,
       {{1, 0, 30, 20, 150, 0}, {2, 0, 30, 20, 0, 0}},
       {{0, 150}, {150, 200}}},
      {"two greedy children give way in proportion to their sizes",
       300,
       0,
       0,
       {{1, 0, 30, 20, 150, 0}, {2, 0, 30, 20, 0, 0}, {3, 0, 30, 20, 0, 0}},
       {{0, 150}, {150, 225}, {225, 300}}},
      {"a remainder of five pixels or less is given by one child",
       301,
       0,
       0,
       {{1, 0, 30, 20, 150, 0}, {2, 0, 30, 20, 0, 0}, {3, 0, 30, 20, 0, 0}},
       {{0, 150}, {150, 225}, {225, 301}}},
      {"a percent child below its minimum: the other percent child gives way",
       300,
       0,
       0,
       {{1, LM_PERCENT_WIDTH, 10, 20, 50, 0}, {2, LM_PERCENT_WIDTH, 50, 20, 0, 0}, {3, 0, 30, 20, 0, 0}},
       {{0, 50}, {50, 180}, {180, 300}}},
      {"a percent deficit beyond the slack comes out of the free space",
       300,
       0,
       0,
       {{1, LM_PERCENT_WIDTH, 10, 20, 100, 0}, {2, LM_PERCENT_WIDTH, 20, 20, 55, 0}, {3, 0, 30, 20, 0, 0}},
       {{0, 100}, {100, 155}, {155, 300}}},
      {"fill children share the leftover, the last takes the rest",
       201,
       0,
       0,
       {{1, LM_FIXED_WIDTH | LM_FILL_WIDTH, 50, 20, 0, 0}, {2, LM_FIXED_WIDTH | LM_FILL_WIDTH, 50, 20, 0, 0}},
       {{0, 100}, {100, 201}}},
      {"a minimum of 0 still counts 3 pixels", 4, 0, 0, {{1, 0, 30, 20, 0, 0}, {2, 0, 30, 20, 0, 0}}, {{0, 3}, {3, 6}}},
      {"children wider than the pane overflow it and keep their minima",
       100,
       0,
       0,
       {{1, LM_FIXED_WIDTH, 80, 20, 0, 0}, {2, 0, 30, 20, 40, 0}},
       {{0, 80}, {80, 120}}},
  };
  for (const Case& c : cases) {
    CControlTable t;
    RDQLayoutManager m(&t);
    RDQLayoutRef root = m.NewRootPane(LM_HORIZONTAL, c.gap, c.border);
    for (const ItemSpec& s : c.items) {
      t.Add(s.id, CRect(0, 0, s.width, s.height));
      root << m.CreateItem(s.id, s.mode, s.width, s.height, s.minWidth, s.minHeight);
    }
    ASSERT_TRUE(m.LayoutRootInRect(CRect(0, 0, c.width, 100))) << c.name;
    for (size_t i = 0; i < c.items.size(); ++i) {
      CRect r = t.Rect(c.items[i].id);
      EXPECT_EQ(c.spans[i].first, r.left) << c.name << " item " << i;
      EXPECT_EQ(c.spans[i].second, r.right) << c.name << " item " << i;
    }
  }
}

// Greedy children held at their maximum (a pane of fixed controls has a maximum).
TEST_F(PaneLayoutTest, SpaceLeftByAHeldChild) {
  struct Case {
    const char* name;
    bool heldBelowMin;  // the second child's minimum is above its share
    bool secondIsFill;  // the second child is a fixed fill control instead
    int firstRight, secondLeft, secondRight;
  } cases[] = {
      {"goes to the other greedy child", false, false, 40, 40, 200},
      {"goes to a child held at its minimum", true, false, 40, 40, 200},
      {"is not offered to fill children", false, true, 40, 40, 60},
  };
  for (const Case& c : cases) {
    CControlTable t;
    RDQLayoutManager m(&t);
    t.Add(1, CRect(0, 0, 40, 20));
    t.Add(2, CRect(0, 0, 20, 20));
    RDQLayoutRef root = m.NewRootPane(LM_HORIZONTAL);
    // A vertical pane of one 40-wide control: greedy in the row, at most 40 wide.
    RDQLayoutRef column = m.CreatePane(LM_VERTICAL);
    column << m.CreateItem(1, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
    root << column;
    if (c.secondIsFill)
      root << m.CreateItem(2, LM_FIXED_WIDTH | LM_FILL_WIDTH, 20, 20);
    else
      root << m.CreateItem(2, 0, 20, 20, c.heldBelowMin ? 120 : 0, 0);
    ASSERT_EQ(40, column->MaxWidth());
    m.LayoutRootInRect(CRect(0, 0, 200, 100));
    EXPECT_EQ(c.firstRight, t.Rect(1).right) << c.name;
    EXPECT_EQ(c.secondLeft, t.Rect(2).left) << c.name;
    EXPECT_EQ(c.secondRight, t.Rect(2).right) << c.name;
  }
}

TEST_F(PaneLayoutTest, VerticalPaneGivesEveryChildTheWidthLessTheBorder) {
  table.Add(1, CRect(0, 0, 10, 30));
  table.Add(2, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.NewRootPane(LM_VERTICAL, 5, 10);
  root << mgr.CreateItem(1, LM_FIXED_HEIGHT, 0, 30) << mgr.CreateItem(2);
  mgr.LayoutRootInRect(CRect(20, 40, 220, 240));
  EXPECT_EQ(Describe(CRect(30, 50, 210, 80)), Describe(table.Rect(1)));
  EXPECT_EQ(Describe(CRect(30, 85, 210, 230)), Describe(table.Rect(2)));
  EXPECT_EQ(2, table.m_controls[1].redraws + table.m_controls[2].redraws);
}

TEST_F(PaneLayoutTest, FixedControlsSitInTheirCellByAlignment) {
  struct Case {
    UINT align;
    CRect expected;  // in a 200 x 100 cell, the control being 40 x 20
  } cases[] = {
      {0, CRect(0, 0, 40, 20)},
      {LM_ALIGN_LEFT | LM_ALIGN_TOP, CRect(0, 0, 40, 20)},
      {LM_ALIGN_RIGHT, CRect(160, 0, 200, 20)},
      {LM_ALIGN_HCENTER, CRect(80, 0, 120, 20)},
      {LM_ALIGN_BOTTOM, CRect(0, 80, 40, 100)},
      {LM_ALIGN_VCENTER | LM_ALIGN_RIGHT, CRect(160, 40, 200, 60)},
      {LM_FILL_WIDTH | LM_ALIGN_HCENTER, CRect(0, 0, 200, 20)},
  };
  for (const Case& c : cases) {
    CControlTable t;
    RDQLayoutManager m(&t);
    t.Add(1, CRect(5, 5, 45, 25));
    RDQLayoutRef root = m.NewRootPane(LM_HORIZONTAL);
    // The cell is the item's own 200 x 100; the control keeps its 40 x 20.
    root << m.CreateItem(1, LM_FIXED_WIDTH | LM_FIXED_HEIGHT | c.align, 200, 100);
    m.LayoutRootInRect(CRect(0, 0, 200, 100));
    EXPECT_EQ(Describe(c.expected), Describe(t.Rect(1))) << "align 0x" << std::hex << c.align;
  }
}

TEST_F(PaneLayoutTest, ComboBoxesKeepTheirHeightOrMeetTheirList) {
  struct Case {
    DWORD style;
    int listBottom;
    int expectedBottom;
  } cases[] = {
      {0x0002, -1, 21},    // drop-down: closed height kept
      {0x0003, -1, 21},    // drop-down list: the same
      {0x0001, 150, 150},  // simple: down to its list
      {0x0401, 150, 100},  // simple without integral height: the cell
  };
  for (const Case& c : cases) {
    CControlTable t;
    RDQLayoutManager m(&t);
    t.Add(1, CRect(0, 0, 80, 21), c.style, true);
    t.m_controls[1].listBottom = c.listBottom;
    RDQLayoutRef root = m.NewRootPane(LM_HORIZONTAL);
    RDQLayoutRef item = m.CreateItem(1, 0, 80, 21, 10, 10);
    EXPECT_EQ(1, ((RDQLayoutItem*)item.Get())->m_bCombo);
    root << item;
    m.LayoutRootInRect(CRect(0, 0, 200, 100));
    EXPECT_EQ(c.expectedBottom, t.Rect(1).bottom) << "style 0x" << std::hex << c.style;
    EXPECT_EQ(200, t.Rect(1).right);
  }
}

TEST_F(PaneLayoutTest, RectanglesWithoutAreaPlaceNothing) {
  table.Add(1, CRect(1, 2, 30, 40));
  RDQLayoutRef root = mgr.NewRootPane(LM_HORIZONTAL, 4, 4);
  root << mgr.CreateItem(1);
  for (CRect r : {CRect(0, 0, 0, 100), CRect(0, 0, 100, 0), CRect(50, 50, 10, 100), CRect(0, 10, 100, -5)}) {
    EXPECT_FALSE(mgr.LayoutRootInRect(r)) << Describe(r);
    EXPECT_EQ(0, table.m_controls[1].moves) << Describe(r);
  }
  // A window without client area does not lay out, nor clamp its size.
  table.m_bTopLevel = TRUE;
  table.m_client = CRect(0, 0, 0, 0);
  mgr.Relayout();
  EXPECT_EQ(0, table.m_controls[1].moves);
  EXPECT_TRUE(table.m_windowMoves.empty());
  // A margin larger than the client area leaves no area either.
  table.m_client = CRect(0, 0, 5, 5);
  table.m_bTopLevel = FALSE;
  mgr.Relayout();
  EXPECT_EQ(0, table.m_controls[1].moves);
  // No root: nothing.
  RDQLayoutManager empty(&table);
  EXPECT_FALSE(empty.LayoutRootInRect(CRect(0, 0, 100, 100)));
}

TEST_F(PaneLayoutTest, BordersLargerThanThePaneGiveEmptyCellsNotNegativeOnes) {
  table.Add(1, CRect(0, 0, 10, 10));
  table.Add(2, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.NewRootPane(LM_HORIZONTAL, 0, 30);
  RDQLayoutRef frame = mgr.CreateCtrlPane(2, LM_VERTICAL, 0, 0, 0, 50);
  frame << mgr.CreateItem(1);
  root << frame;
  ASSERT_TRUE(mgr.LayoutRootInRect(CRect(0, 0, 100, 40)));
  // MoveControl checks every rectangle for negative extents. The frame gets what is
  // left (nothing); the control inside it keeps its minimum (its height when built).
  EXPECT_EQ(0, table.Rect(2).Height());
  EXPECT_EQ(10, table.Rect(1).Height());
}

TEST_F(PaneLayoutTest, PaneBounds) {
  table.Add(1, CRect(0, 0, 40, 20));
  table.Add(2, CRect(0, 0, 60, 30));
  table.Add(3, CRect(0, 0, 10, 10));
  RDQLayoutRef row = mgr.CreatePane(LM_HORIZONTAL, 0, 5, 2);
  row << mgr.CreateItem(1, LM_FIXED_WIDTH | LM_FIXED_HEIGHT) << mgr.CreateItem(2, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
  RDQLayoutPane* p = row.Pane();
  EXPECT_EQ(40 + 60 + 5 + 4, p->MinWidth());
  EXPECT_EQ(40 + 60 + 5 + 4, p->MaxWidth());
  EXPECT_EQ(30 + 4, p->MinHeight());
  EXPECT_EQ(30 + 4, p->MaxHeight());
  row << mgr.CreateItem(3, 0, 0, 0, 0, 0);  // greedy, minimum counted as 3
  EXPECT_EQ(40 + 60 + 3 + 2 * 5 + 4, p->MinWidth());
  EXPECT_EQ(kLayoutUnbounded, p->MaxWidth());
  EXPECT_EQ(kLayoutUnbounded, p->MaxHeight());
  // Fixed across with its own size: that size.
  p->m_nMode = LM_FIXED_HEIGHT;
  p->m_nSecondary = 50;
  EXPECT_EQ(50, p->MinHeight());
  EXPECT_EQ(50, p->MaxHeight());
  // Empty pane.
  RDQLayoutRef empty = mgr.CreatePane(LM_VERTICAL, 0, 7, 3);
  EXPECT_EQ(6, empty->MinHeight());
  EXPECT_EQ(kLayoutUnbounded, empty->MaxHeight());
}

TEST_F(PaneLayoutTest, AppendingAPaneOfTheSameDirectionInsertsAWrapper) {
  RDQLayoutRef root = mgr.NewRootPane(LM_HORIZONTAL);
  RDQLayoutRef inner = mgr.CreatePane(LM_HORIZONTAL, LM_PERCENT_WIDTH, 0, 0, 30);
  root << inner;
  RDQLayoutPane* r = root.Pane();
  ASSERT_EQ(1u, r->m_children.size());
  RDQLayoutPane* wrapper = r->m_children[0].Pane();
  ASSERT_NE(nullptr, wrapper);
  EXPECT_NE(inner.Get(), wrapper);
  EXPECT_EQ(LM_VERTICAL, wrapper->m_nOrientation);
  EXPECT_EQ(LM_PERCENT_WIDTH, wrapper->m_nMode);
  EXPECT_EQ(30, wrapper->m_nSecondary);
  ASSERT_EQ(1u, wrapper->m_children.size());
  EXPECT_EQ(inner.Get(), wrapper->m_children[0].Get());
  EXPECT_EQ(&mgr, wrapper->m_pMgr);

  // A fixed child pane of size 0 takes its own minimum along the parent.
  table.Add(1, CRect(0, 0, 70, 20));
  RDQLayoutRef column = mgr.CreatePane(LM_VERTICAL, LM_FIXED_WIDTH, 0, 4);
  column << mgr.CreateItem(1, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
  root << column;
  EXPECT_EQ(78, column.Pane()->m_nSecondary);
}

TEST_F(PaneLayoutTest, PercentAndFixedPanesInARow) {
  table.Add(1, CRect(0, 0, 10, 10));
  table.Add(2, CRect(0, 0, 10, 10));
  table.Add(3, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.NewRootPane(LM_HORIZONTAL);
  RDQLayoutRef a = mgr.CreatePane(LM_VERTICAL, LM_PERCENT_WIDTH, 0, 0, 25);
  RDQLayoutRef b = mgr.CreatePane(LM_VERTICAL, LM_FIXED_WIDTH, 0, 0, 100);
  RDQLayoutRef c = mgr.CreatePane(LM_VERTICAL);
  a << mgr.CreateItem(1);
  b << mgr.CreateItem(2);
  c << mgr.CreateItem(3);
  root << a << b << c;
  mgr.LayoutRootInRect(CRect(0, 0, 500, 100));
  EXPECT_EQ(Describe(CRect(0, 0, 100, 100)), Describe(table.Rect(1)));  // 25% of 400
  EXPECT_EQ(Describe(CRect(100, 0, 200, 100)), Describe(table.Rect(2)));
  EXPECT_EQ(Describe(CRect(200, 0, 500, 100)), Describe(table.Rect(3)));
}

TEST_F(PaneLayoutTest, TabPaneLaysOutInTheDisplayArea) {
  HWND tab = table.Add(9, CRect(0, 0, 10, 10));
  table.Add(1, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.NewRootPane(LM_HORIZONTAL);
  RDQLayoutRef pages = mgr.CreateTabPane(tab, LM_VERTICAL, 0, 0, 2);
  pages << mgr.CreateItem(1, 0, 0, 0, 50, 40);
  root << pages;
  RDQLayoutNode* p = pages.Get();
  EXPECT_EQ(4 + 50 + 4, p->MinWidth());    // frame 2 + 2, border 2 + 2
  EXPECT_EQ(26 + 40 + 4, p->MinHeight());  // tabs 24, frame 2
  EXPECT_EQ(kLayoutUnbounded, p->MaxWidth());
  mgr.LayoutRootInRect(CRect(0, 0, 300, 200));
  EXPECT_EQ(Describe(CRect(0, 0, 300, 200)), Describe(table.Rect(9)));
  EXPECT_EQ(Describe(CRect(4, 26, 296, 196)), Describe(table.Rect(1)));
  // Fixed sizes are the frame plus the pane's own size in both directions.
  p->m_nMode = LM_FIXED_WIDTH | LM_FIXED_HEIGHT;
  pages.Pane()->m_nSecondary = 100;
  EXPECT_EQ(104, p->PreferredWidth(0));
  EXPECT_EQ(126, p->PreferredHeight(0));
}

TEST_F(PaneLayoutTest, FramedPaneReservesItsCaption) {
  table.Add(7, CRect(0, 0, 10, 10));
  table.Add(1, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.NewRootPane(LM_VERTICAL);
  RDQLayoutRef group = mgr.CreateCtrlPane(7, LM_HORIZONTAL, 0, 0, 6, 12);
  group << mgr.CreateItem(1, 0, 0, 0, 30, 20);
  root << group;
  EXPECT_EQ(20 + 12 + 12, group->MinHeight());
  mgr.LayoutRootInRect(CRect(10, 10, 210, 110));
  EXPECT_EQ(Describe(CRect(10, 10, 210, 110)), Describe(table.Rect(7)));
  EXPECT_EQ(1, table.m_controls[7].erasedRedraws);
  EXPECT_EQ(Describe(CRect(16, 28, 204, 104)), Describe(table.Rect(1)));
}

TEST_F(PaneLayoutTest, ItemsTakeCurrentSizesAndMissingControlsAreSpacers) {
  table.Add(1, CRect(10, 10, 70, 35));
  RDQLayoutRef item = mgr.CreateItem(1, LM_FIXED_WIDTH);
  RDQLayoutItem* i = (RDQLayoutItem*)item.Get();
  EXPECT_EQ(60, i->m_nWidth);
  EXPECT_EQ(25, i->m_nHeight);
  EXPECT_EQ(60, i->m_nMinWidth);
  EXPECT_EQ(25, i->m_nMinHeight);
  RDQLayoutRef missing = mgr.CreateItem(99, 0, 0, 0, -1, -1);
  RDQLayoutItem* s = (RDQLayoutItem*)missing.Get();
  EXPECT_EQ(nullptr, s->m_hWnd);
  EXPECT_EQ(3, s->MinWidth());
  EXPECT_TRUE(s->PlaceInRect(CRect(0, 0, 10, 10)));
  RDQLayoutRef spacer = mgr.CreateGrowingSpacer(LM_HORIZONTAL);
  EXPECT_EQ(LM_FIXED_HEIGHT, spacer->m_nMode);
  EXPECT_EQ(0, spacer->MinHeight());
  EXPECT_EQ(3, spacer->MinWidth());
  EXPECT_EQ(kLayoutUnbounded, spacer->MaxWidth());
  EXPECT_EQ(LM_FIXED_WIDTH, mgr.CreateGrowingSpacer(LM_VERTICAL)->m_nMode);
}

// The window's bounds: tracking sizes and the clamp of a top-level dialog.
TEST_F(PaneLayoutTest, TopLevelWindowIsHeldWithinTheTreesBounds) {
  table.Add(1, CRect(0, 0, 10, 10));
  table.Add(2, CRect(0, 0, 100, 50));
  RDQLayoutRef root = mgr.NewRootPane(LM_VERTICAL);
  root << mgr.CreateItem(1, 0, 0, 0, 200, 100);
  CSize minTrack, maxTrack;
  ASSERT_TRUE(mgr.GetTrackingSizes(CSize(16, 38), &minTrack, &maxTrack));
  EXPECT_EQ(200 + 16 + 6, minTrack.cx);
  EXPECT_EQ(100 + 38 + 6, minTrack.cy);
  EXPECT_EQ(kLayoutUnbounded, maxTrack.cx);
  EXPECT_EQ(kLayoutUnbounded, maxTrack.cy);

  // Smaller than the minimum: the window grows, keeping its corner.
  table.m_bTopLevel = TRUE;
  table.m_window = CRect(100, 100, 250, 250);
  table.m_client = CRect(0, 0, 134, 112);
  mgr.Relayout();
  ASSERT_EQ(1u, table.m_windowMoves.size());
  EXPECT_EQ(Describe(CRect(100, 100, 322, 250)), Describe(table.m_windowMoves[0]));
  EXPECT_EQ(Describe(CRect(3, 3, 203, 109)), Describe(table.Rect(1)));
  EXPECT_EQ(1, table.m_nAfterLayout);

  // A bounded tree: the maximum, never below the minimum.
  RDQLayoutRef fixed = mgr.NewRootPane(LM_VERTICAL);
  fixed << mgr.CreateItem(2, LM_FIXED_WIDTH | LM_FIXED_HEIGHT);
  ASSERT_TRUE(mgr.GetTrackingSizes(CSize(16, 38), &minTrack, &maxTrack));
  EXPECT_EQ(100 + 16 + 6, maxTrack.cx);
  EXPECT_EQ(50 + 38 + 6, maxTrack.cy);
  EXPECT_EQ(minTrack.cx, maxTrack.cx);
  table.m_windowMoves.clear();
  mgr.Relayout();
  ASSERT_EQ(1u, table.m_windowMoves.size());
  EXPECT_EQ(Describe(CRect(100, 100, 222, 194)), Describe(table.m_windowMoves[0]));

  // A child window is never resized by its tree.
  table.m_bTopLevel = FALSE;
  table.m_windowMoves.clear();
  table.m_client = CRect(0, 0, 10, 10);
  mgr.Relayout();
  EXPECT_TRUE(table.m_windowMoves.empty());

  RDQLayoutManager empty(&table);
  EXPECT_FALSE(empty.GetTrackingSizes(CSize(), &minTrack, &maxTrack));
}

// A node that counts its deletions.
int g_deleted = 0;
class CCountedNode : public RDQLayoutItem {
 public:
  ~CCountedNode() override { ++g_deleted; }
};

TEST_F(PaneLayoutTest, NodesDieWithTheirLastReference) {
  g_deleted = 0;
  {
    RDQLayoutRef a(new CCountedNode);
    EXPECT_EQ(1, a.UseCount());
    RDQLayoutRef b = a;
    EXPECT_EQ(2, a.UseCount());
    RDQLayoutRef c;
    EXPECT_TRUE(c == nullptr);
    c = b;
    c = c;  // self-assignment keeps the node
    EXPECT_EQ(3, a.UseCount());
    b = RDQLayoutRef();
    EXPECT_EQ(2, a.UseCount());
    EXPECT_EQ(0, g_deleted);
  }
  EXPECT_EQ(1, g_deleted);
  EXPECT_TRUE(RDQLayoutRef(nullptr) == nullptr);

  // A tree dies with its root; a pane kept by the builder outlives it.
  g_deleted = 0;
  RDQLayoutRef kept;
  {
    RDQLayoutManager m(&table);
    RDQLayoutRef root = m.NewRootPane(LM_HORIZONTAL);
    kept = m.CreatePane(LM_VERTICAL);
    kept << RDQLayoutRef(new CCountedNode);
    root << RDQLayoutRef(new CCountedNode) << kept;
    m.ReleaseRoot();
    EXPECT_EQ(0, g_deleted);  // `root` still holds it
  }
  EXPECT_EQ(1, g_deleted);
  kept = RDQLayoutRef();
  EXPECT_EQ(2, g_deleted);
}

TEST_F(PaneLayoutTest, ReplaceRootLaysTheNewTreeOut) {
  table.Add(1, CRect(0, 0, 10, 10));
  RDQLayoutRef root = mgr.CreatePane(LM_HORIZONTAL);
  root << mgr.CreateItem(1);
  mgr.ReplaceRoot(root);
  EXPECT_EQ(Describe(CRect(3, 3, 397, 297)), Describe(table.Rect(1)));
  EXPECT_EQ(1, table.m_nAfterLayout);
}

}  // namespace
