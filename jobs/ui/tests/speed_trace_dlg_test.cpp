// The speed trace review: the list's cells, the first view and its scroll ranges, the
// Full View state, scrolling, the axis switch, a trace without points, and the fixed
// column widths.
#include "jobs/ui/speed_trace_review_dlg.h"
#include "jobs/ui/tests/review_ui_support.h"
#include "resources/resource.h"

using namespace review_ui_testing;

namespace {

class SpeedTraceDlgTest : public ReviewUiTest {
 protected:
  void Open(const char* file) {
    m_dlg = std::make_unique<CSpeedTraceReviewDlg>(nullptr);
    m_dlg->m_strTraceFile = file;
    ASSERT_TRUE(m_dlg->Create(PickLangId(IDD_SPEED_TRACE_CN, IDD_SPEED_TRACE_EN)));
    PumpFor(50);
  }
  void TearDown() override {
    if (m_dlg && m_dlg->m_hWnd) m_dlg->DestroyWindow();
    m_dlg.reset();
    ReviewUiTest::TearDown();
  }
  HWND Item(int id) { return ::GetDlgItem(m_dlg->m_hWnd, id); }
  CString Cell(int row, int column) {
    char text[64] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ::SendMessageA(Item(IDC_TRACE_LIST), LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
  }
  void Range(int id, int& lo, int& hi) { ::GetScrollRange(Item(id), SB_CTL, &lo, &hi); }
  COLORREF PlotPixel(int x, int y) { return m_dlg->PlotDC() ? m_dlg->PlotDC()->GetPixel(x, y) : CLR_INVALID; }
  CSize PlotSize() {
    BITMAP bm = {};
    if (m_dlg->PlotDC()) m_dlg->PlotDC()->GetCurrentBitmap()->GetBitmap(&bm);
    return CSize(bm.bmWidth, bm.bmHeight);
  }
  void Scroll(UINT message, int id, int code) { ::SendMessageA(m_dlg->m_hWnd, message, code, (LPARAM)Item(id)); }
  void Click(int id) { ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Item(id)); }
  void Toggle(int id) {
    ::CheckDlgButton(m_dlg->m_hWnd, id, ::IsDlgButtonChecked(m_dlg->m_hWnd, id) ? BST_UNCHECKED : BST_CHECKED);
    Click(id);
  }
  // Whether any pixel of the column x between rows y1 and y2 has the colour.
  bool ColumnHas(int x, int y1, int y2, COLORREF color) {
    for (int y = y1; y <= y2; ++y)
      if (PlotPixel(x, y) == color) return true;
    return false;
  }
  std::unique_ptr<CSpeedTraceReviewDlg> m_dlg;
};

const char kTrace[] =
    "time_second, distance_mm, speed_mm_s, delta_time, delta_distance, line_type, tool_no, plane, line_no\r\n"
    "0.0000, 0.0000, 0.0000, 0.0000, 0.0000, 0, T1, XY, 0\r\n"
    "10.0000, 500.0000, 100.0000, 10.0000, 500.0000, 1, T1, XY, 1\r\n"
    "20.0000, 1500.0000, 100.0000, 10.0000, 1000.0000, 1, T1, XY, 1\r\n"
    "bad line\r\n"
    "50.0000, 2000.0000, 20.0000, 30.0000, 500.0000, 2, T2, ZX, 2\r\n";

TEST_F(SpeedTraceDlgTest, ListFirstViewAndScrollRanges) {
  CString path = Path("Temp\\job.trace");
  CreateFolderPath(path);
  ASSERT_TRUE(testing_support::WriteFileBytes(path, kTrace));
  Open(path);
  ASSERT_EQ(4u, m_dlg->Trace().Points().size());
  EXPECT_EQ(4, (int)::SendMessageA(Item(IDC_TRACE_LIST), LVM_GETITEMCOUNT, 0, 0));
  EXPECT_STREQ("10.000", Cell(1, 0));
  EXPECT_STREQ("500.000", Cell(1, 1));
  EXPECT_STREQ("100.000", Cell(1, 2));
  EXPECT_STREQ("50.000", Cell(3, 0));
  // The first fifth of the run; speeds with 5 percent above.
  EXPECT_DOUBLE_EQ(0.0, m_dlg->m_dOriginX);
  EXPECT_DOUBLE_EQ(10.0, m_dlg->m_dSpanX);
  EXPECT_DOUBLE_EQ(105.0, m_dlg->m_dSpanY);
  int lo = -1, hi = -1;
  Range(IDC_TRACE_HSCROLL, lo, hi);
  EXPECT_EQ(0, lo);
  EXPECT_EQ(50, hi);
  Range(IDC_TRACE_VSCROLL, lo, hi);
  EXPECT_EQ(0, lo);
  EXPECT_EQ(100, hi);
  EXPECT_EQ(100, ::GetScrollPos(Item(IDC_TRACE_VSCROLL), SB_CTL));
  // Opened in Full View: no scrolling, no zoom.
  EXPECT_TRUE(m_dlg->m_bFullView);
  EXPECT_TRUE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACE_FULL_VIEW));
  EXPECT_TRUE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACE_TIME_SPEED));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_TRACE_HSCROLL)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_TRACE_VSCROLL)));
  EXPECT_FALSE(::IsWindowEnabled(Item(IDC_TRACE_SCALE)));
  // The plot: white margins, a black area, the feed in red from (0, 0) to (10 s, 100 mm/s)
  // across the whole area, a dotted grey grid in tenths.
  ASSERT_NE(nullptr, m_dlg->PlotDC());
  CSize size = PlotSize();
  const int w = size.cx, h = size.cy, plotW = w - 80, plotH = h - 80;
  ASSERT_GT(plotW, 100);
  ASSERT_GT(plotH, 100);
  EXPECT_EQ(RGB(255, 255, 255), PlotPixel(5, 5));
  EXPECT_EQ(RGB(0, 0, 0), PlotPixel(w - 45, h - 45));
  int x = 40 + plotW / 4;
  int y = h - 40 - (int)((plotW / 4) * (100.0 / 105.0 * plotH / plotW));
  EXPECT_TRUE(ColumnHas(x, y - 2, y + 2, RGB(255, 0, 0))) << x << "," << y;
  int gridX = 40 + plotW * 5 / 10;
  EXPECT_TRUE(ColumnHas(gridX, h - 60, h - 45, 0xE6E6E6));
  Toggle(IDC_TRACE_GRID);
  EXPECT_FALSE(m_dlg->m_bGrid);
  EXPECT_FALSE(ColumnHas(gridX, h - 60, h - 45, 0xE6E6E6));
}

TEST_F(SpeedTraceDlgTest, ScrollZoomAndTheOtherAxis) {
  CString path = Path("job.trace");
  ASSERT_TRUE(testing_support::WriteFileBytes(path, kTrace));
  Open(path);
  Toggle(IDC_TRACE_FULL_VIEW);
  EXPECT_FALSE(m_dlg->m_bFullView);
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_TRACE_HSCROLL)));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_TRACE_SCALE)));
  // Whole units, within the run.
  Scroll(WM_HSCROLL, IDC_TRACE_HSCROLL, SB_LINERIGHT);
  EXPECT_DOUBLE_EQ(1.0, m_dlg->m_dOriginX);
  Scroll(WM_HSCROLL, IDC_TRACE_HSCROLL, SB_LINELEFT);
  Scroll(WM_HSCROLL, IDC_TRACE_HSCROLL, SB_LINELEFT);
  EXPECT_DOUBLE_EQ(0.0, m_dlg->m_dOriginX);
  EXPECT_EQ(0, ::GetScrollPos(Item(IDC_TRACE_HSCROLL), SB_CTL));
  // The top of the vertical bar is the highest speed.
  Scroll(WM_VSCROLL, IDC_TRACE_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(100, ::GetScrollPos(Item(IDC_TRACE_VSCROLL), SB_CTL));
  Scroll(WM_VSCROLL, IDC_TRACE_VSCROLL, SB_LINEUP);
  EXPECT_EQ(99, ::GetScrollPos(Item(IDC_TRACE_VSCROLL), SB_CTL));
  EXPECT_DOUBLE_EQ(1.0, m_dlg->m_dOriginY);
  // The scale slider: position / 8.
  ::SendMessageA(Item(IDC_TRACE_SCALE), TBM_SETPOS, TRUE, 16);
  NMCUSTOMDRAW draw = {};
  draw.hdr.hwndFrom = Item(IDC_TRACE_SCALE);
  draw.hdr.idFrom = IDC_TRACE_SCALE;
  draw.hdr.code = NM_CUSTOMDRAW;
  ::SendMessageA(m_dlg->m_hWnd, WM_NOTIFY, IDC_TRACE_SCALE, (LPARAM)&draw);
  EXPECT_DOUBLE_EQ(2.0, m_dlg->m_dZoomX);
  EXPECT_DOUBLE_EQ(2.0, m_dlg->m_dZoomY);
  // Distance over the same span from load: only the origin and the scroll range change.
  Click(IDC_TRACE_DISTANCE_SPEED);
  EXPECT_EQ(1, m_dlg->m_bDistanceMode);
  EXPECT_TRUE(::IsDlgButtonChecked(m_dlg->m_hWnd, IDC_TRACE_DISTANCE_SPEED));
  EXPECT_DOUBLE_EQ(10.0, m_dlg->m_dSpanX);
  EXPECT_DOUBLE_EQ(0.0, m_dlg->m_dOriginX);
  int lo = -1, hi = -1;
  Range(IDC_TRACE_HSCROLL, lo, hi);
  EXPECT_EQ(2000, hi);
  Click(IDC_TRACE_TIME_SPEED);
  Range(IDC_TRACE_HSCROLL, lo, hi);
  EXPECT_EQ(50, hi);
  // Full View again: the origin back at the start, zoom 1.
  Toggle(IDC_TRACE_FULL_VIEW);
  EXPECT_DOUBLE_EQ(1.0, m_dlg->m_dZoomX);
  EXPECT_DOUBLE_EQ(0.0, m_dlg->m_dOriginY);
  // The operator cannot drag a column's width.
  HWND header = (HWND)::SendMessageA(Item(IDC_TRACE_LIST), LVM_GETHEADER, 0, 0);
  NMHEADERA track = {};
  track.hdr.hwndFrom = header;
  track.hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(header);
  track.hdr.code = HDN_BEGINTRACKA;
  EXPECT_EQ(1, ::SendMessageA(Item(IDC_TRACE_LIST), WM_NOTIFY, track.hdr.idFrom, (LPARAM)&track));
  track.hdr.code = HDN_BEGINTRACKW;
  EXPECT_EQ(1, ::SendMessageA(Item(IDC_TRACE_LIST), WM_NOTIFY, track.hdr.idFrom, (LPARAM)&track));
  // Close lets the picture and the points go.
  ::SendMessageA(m_dlg->m_hWnd, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(nullptr, m_dlg->PlotDC());
  EXPECT_TRUE(m_dlg->Trace().IsEmpty());
  EXPECT_FALSE(m_dlg->IsWindowVisible());
}

TEST_F(SpeedTraceDlgTest, ATraceWithoutPointsScrollsOverNothingAndDrawsNothing) {
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("header.trace"), "time_second, distance_mm, speed_mm_s\r\n"));
  for (const char* name : {"header.trace", "missing.trace"}) {
    Open(Path(name));
    EXPECT_TRUE(m_dlg->Trace().IsEmpty());
    EXPECT_EQ(0, (int)::SendMessageA(Item(IDC_TRACE_LIST), LVM_GETITEMCOUNT, 0, 0));
    for (int id : {IDC_TRACE_HSCROLL, IDC_TRACE_VSCROLL}) {
      int lo = -1, hi = -1;
      Range(id, lo, hi);
      EXPECT_EQ(0, lo) << name;
      EXPECT_EQ(0, hi) << name;
    }
    EXPECT_EQ(nullptr, m_dlg->PlotDC());
    // Full View locks scrolling and zoom here too.
    for (int id : {IDC_TRACE_HSCROLL, IDC_TRACE_VSCROLL, IDC_TRACE_SCALE})
      EXPECT_FALSE(::IsWindowEnabled(Item(id))) << name << " " << id;
    // Everything the operator can do still does nothing harmful.
    Toggle(IDC_TRACE_FULL_VIEW);
    Scroll(WM_HSCROLL, IDC_TRACE_HSCROLL, SB_LINERIGHT);
    Scroll(WM_VSCROLL, IDC_TRACE_VSCROLL, SB_LINEUP);
    Click(IDC_TRACE_DISTANCE_SPEED);
    EXPECT_DOUBLE_EQ(0.0, m_dlg->m_dOriginX);
    EXPECT_EQ(nullptr, m_dlg->PlotDC());
    m_dlg->DestroyWindow();
  }
}

}  // namespace
