#include "jobs/ui/speed_trace_review_dlg.h"

#include <cstdio>
#include <vector>

#include "foundation/texts.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CSpeedTraceReviewDlg, CDialog)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_NOTIFY(NM_CUSTOMDRAW, IDC_TRACE_SCALE, &CSpeedTraceReviewDlg::OnCustomDrawScale)
  ON_NOTIFY(LVN_GETDISPINFOA, IDC_TRACE_LIST, &CSpeedTraceReviewDlg::OnGetListText)
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_BN_CLICKED(IDC_TRACE_GRID, &CSpeedTraceReviewDlg::OnGrid)
  ON_BN_CLICKED(IDC_TRACE_FULL_VIEW, &CSpeedTraceReviewDlg::OnFullView)
  ON_BN_CLICKED(IDC_TRACE_TIME_SPEED, &CSpeedTraceReviewDlg::OnTimeSpeed)
  ON_BN_CLICKED(IDC_TRACE_DISTANCE_SPEED, &CSpeedTraceReviewDlg::OnDistanceSpeed)
END_MESSAGE_MAP()

namespace {

constexpr int kColumnWidth = 60;  // pixels, each of the three columns
constexpr COLORREF kGridColor = 0xE6E6E6;

// The pen of a segment type: 1 feed red, 2 and 3 arcs green and blue, rapids dotted.
struct TracePens {
  CPen rapid{PS_DOT, 1, RGB(0, 0, 0)};
  CPen feed{PS_SOLID, 1, RGB(255, 0, 0)};
  CPen cw{PS_SOLID, 1, RGB(0, 255, 0)};
  CPen ccw{PS_SOLID, 1, RGB(0, 0, 255)};
  CPen* For(int lineType) { return lineType == 1 ? &feed : lineType == 2 ? &cw : lineType == 3 ? &ccw : &rapid; }
};

}  // namespace

CSpeedTraceReviewDlg::CSpeedTraceReviewDlg(CWnd* parent)
    : CDialog(PickLangId(IDD_SPEED_TRACE_CN, IDD_SPEED_TRACE_EN), parent) {}

CSpeedTraceReviewDlg::~CSpeedTraceReviewDlg() = default;

void CSpeedTraceReviewDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TRACE_VSCROLL, m_wndVScroll);
  DDX_Control(dx, IDC_TRACE_HSCROLL, m_wndHScroll);
  DDX_Control(dx, IDC_TRACE_SCALE, m_wndScale);
  DDX_Control(dx, IDC_TRACE_LIST, m_wndList);
  DDX_Control(dx, IDC_TRACE_PLOT, m_wndPlot);
  DDX_Check(dx, IDC_TRACE_GRID, m_bGrid);
  DDX_Check(dx, IDC_TRACE_FULL_VIEW, m_bFullView);
}

BOOL CSpeedTraceReviewDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(128));
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  AnchorControl(IDC_TRACE_PLOT, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDC_TRACE_LIST, ANCHOR_TOPRIGHT, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDC_TRACE_VSCROLL, ANCHOR_TOPRIGHT, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDC_TRACE_HSCROLL, ANCHOR_BOTTOMLEFT, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDC_TRACE_SCALE, ANCHOR_BOTTOMLEFT, ANCHOR_BOTTOMRIGHT);
  for (UINT id :
       {IDC_TRACE_SCALE_LABEL, IDC_TRACE_GRID, IDC_TRACE_FULL_VIEW, IDC_TRACE_TIME_SPEED, IDC_TRACE_DISTANCE_SPEED})
    AnchorControl(id, ANCHOR_BOTTOMLEFT);
  AnchorControl(IDCANCEL, ANCHOR_BOTTOMRIGHT);
  m_wndPlot.m_paint = [this](CDC& dc) { PaintPlot(dc, 0, 0); };

  m_wndList.SetExtendedStyle(m_wndList.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  m_wndList.InsertColumn(0, LoadLangString(IDS_TRACE_COL_TIME_CN, IDS_TRACE_COL_TIME_EN), LVCFMT_RIGHT, kColumnWidth);
  m_wndList.InsertColumn(1, LoadLangString(IDS_TRACE_COL_DISTANCE_CN, IDS_TRACE_COL_DISTANCE_EN), LVCFMT_RIGHT,
                         kColumnWidth);
  m_wndList.InsertColumn(2, LoadLangString(IDS_TRACE_COL_SPEED_CN, IDS_TRACE_COL_SPEED_EN), LVCFMT_RIGHT, kColumnWidth);
  LoadTrace();
  m_wndPlot.GetClientRect(&m_rcPlot);
  m_rcPlot.DeflateRect(1, 1);
  m_wndScale.SetRange(kScaleMin, kScaleMax, TRUE);
  m_wndScale.SetPos(kScaleOne);
  CheckRadioButton(IDC_TRACE_TIME_SPEED, IDC_TRACE_DISTANCE_SPEED,
                   m_bDistanceMode ? IDC_TRACE_DISTANCE_SPEED : IDC_TRACE_TIME_SPEED);
  OnFullView();
  CenterWindow();
  ShowWindow(SW_SHOWMAXIMIZED);
  return TRUE;
}

void CSpeedTraceReviewDlg::LoadTrace() {
  m_trace.Load(m_strTraceFile);  // a file that cannot be read leaves the trace empty
  TraceView v = InitialTraceView(m_trace, TimeAxis());
  m_dOriginX = v.dOriginX;
  m_dSpanX = v.dSpanX;
  m_dOriginY = v.dOriginY;
  m_dSpanY = v.dSpanY;
  m_wndHScroll.SetScrollRange(v.nHMin, v.nHMax, FALSE);
  SCROLLINFO page = {};
  page.fMask = SIF_PAGE;
  page.nPage = (UINT)(v.nHPage > 0 ? v.nHPage : 0);
  m_wndHScroll.SetScrollInfo(&page, FALSE);
  m_wndHScroll.SetScrollPos(0);  // the bar keeps it within its range
  m_wndVScroll.SetScrollRange(v.nVMin, v.nVMax, FALSE);
  m_wndVScroll.SetScrollPos(v.nVPos);
  FillList();
}

void CSpeedTraceReviewDlg::FillList() {
  m_wndList.DeleteAllItems();
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT;
  column.fmt = LVCFMT_CENTER;
  m_wndList.SetColumn(0, &column);
  // The rows are the points; the list asks for each cell as it shows it.
  m_wndList.SetItemCount((int)m_trace.Points().size());
}

void CSpeedTraceReviewDlg::OnGetListText(NMHDR* nm, LRESULT* result) {
  NMLVDISPINFOA* info = (NMLVDISPINFOA*)nm;
  *result = 0;
  const std::vector<SpeedTracePoint>& points = m_trace.Points();
  LVITEMA& item = info->item;
  if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || (size_t)item.iItem >= points.size()) return;
  const SpeedTracePoint& p = points[(size_t)item.iItem];
  double value = item.iSubItem == 0 ? p.time : item.iSubItem == 1 ? p.distance : p.speed;
  std::snprintf(m_szCell, sizeof m_szCell, "%.3f", value);
  item.pszText = m_szCell;
}

BOOL CSpeedTraceReviewDlg::DrawPlot(double x0, double y0, double spanX, double spanY) {
  UpdateData(TRUE);
  // Full View locks scrolling and zoom also when there is nothing to plot.
  for (CWnd* control : {(CWnd*)&m_wndVScroll, (CWnd*)&m_wndHScroll, (CWnd*)&m_wndScale})
    control->EnableWindow(!m_bFullView);
  if (!(spanX >= 1e-6) || !(spanY >= 1e-6)) return FALSE;

  FreeDrawing();
  CDC* frameDC = m_wndPlot.GetDC();
  if (!frameDC) return FALSE;
  m_wndPlot.GetClientRect(&m_rcPlot);
  const int w = m_rcPlot.Width(), h = m_rcPlot.Height();
  m_pPlotDC = std::make_unique<CMemoryBitmapDC>(w, h, frameDC, RGB(255, 255, 255));
  m_wndPlot.ReleaseDC(frameDC);
  CDC& dc = *m_pPlotDC;

  CBrush black(RGB(0, 0, 0));
  CRect area(kTracePlotMargin, kTracePlotMargin, w - kTracePlotMargin, h - kTracePlotMargin);
  dc.FillRect(&area, &black);
  if (m_bGrid) DrawGrid(dc, w, h);

  std::vector<TraceStroke> strokes;
  BOOL drawn = BuildTracePlot(m_trace, TimeAxis(), x0, y0, spanX, spanY, m_dZoomX, m_dZoomY, w, h, strokes);
  TracePens pens;
  CPen* old = dc.SelectObject(&pens.rapid);
  for (const TraceStroke& s : strokes) {
    if (s.x1 == s.x2 && s.y1 == s.y2) {
      dc.SetPixel(s.x1, s.y1, RGB(0, 0, 0));
      continue;
    }
    dc.SelectObject(pens.For(s.lineType));
    dc.MoveTo(s.x1, s.y1);
    dc.LineTo(s.x2, s.y2);
  }
  dc.SelectObject(old);
  return drawn;
}

// The grid: the plot area in tenths, dotted in a light grey.
void CSpeedTraceReviewDlg::DrawGrid(CDC& dc, int w, int h) {
  const int plotW = w - 2 * kTracePlotMargin, plotH = h - 2 * kTracePlotMargin;
  if (plotW <= 0 || plotH <= 0) return;
  CPen grid(PS_DOT, 1, kGridColor);
  CPen* old = dc.SelectObject(&grid);
  int mode = dc.SetBkMode(TRANSPARENT);
  for (int i = 1; i < 10; ++i) {
    int x = kTracePlotMargin + plotW * i / 10, y = kTracePlotMargin + plotH * i / 10;
    dc.MoveTo(x, kTracePlotMargin);
    dc.LineTo(x, h - kTracePlotMargin);
    dc.MoveTo(kTracePlotMargin, y);
    dc.LineTo(w - kTracePlotMargin, y);
  }
  dc.SetBkMode(mode);
  dc.SelectObject(old);
}

void CSpeedTraceReviewDlg::PaintPlot(CDC& dc, int x, int y) {
  if (!m_pPlotDC) return;
  BITMAP bm = {};
  CBitmap* bitmap = m_pPlotDC->GetCurrentBitmap();
  if (!bitmap || !bitmap->GetBitmap(&bm)) return;
  dc.StretchBlt(x, y, m_rcPlot.Width(), m_rcPlot.Height(), m_pPlotDC.get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
}

void CSpeedTraceReviewDlg::ShowPlot() {
  CClientDC dc(&m_wndPlot);
  m_wndPlot.GetClientRect(&m_rcPlot);
  dc.FillSolidRect(&m_rcPlot, RGB(255, 255, 255));
  PaintPlot(dc, 1, 1);
}

void CSpeedTraceReviewDlg::OnPaint() {
  CPaintDC paint(this);
  if (!m_pPlotDC) Redraw();
  m_wndPlot.Invalidate(FALSE);
}

void CSpeedTraceReviewDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  ApplyAnchors();
  if (m_wndPlot.m_hWnd) {
    m_wndPlot.GetClientRect(&m_rcPlot);
    Redraw();
  }
  Invalidate();
}

// The position a scroll code asks for: a line back or on within lo..hi, the thumb's
// position (32 bits: a long job has more seconds than a message's 16 bits hold), or
// where the bar is for any other code.
int CSpeedTraceReviewDlg::ScrollTarget(CScrollBar& bar, UINT code, UINT pos, int lo, int hi) {
  int at = bar.GetScrollPos();
  SCROLLINFO si = {};
  switch (code) {
    case SB_LINEUP: return at - 1 < lo ? lo : at - 1;    // SB_LINELEFT
    case SB_LINEDOWN: return at + 1 > hi ? hi : at + 1;  // SB_LINERIGHT
    case SB_THUMBPOSITION: return bar.GetScrollInfo(&si, SIF_TRACKPOS) ? si.nTrackPos : (int)pos;
    default: return at;
  }
}

void CSpeedTraceReviewDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (!bar || bar->m_hWnd != m_wndHScroll.m_hWnd) {
    CDialog::OnHScroll(code, pos, bar);
    return;
  }
  int at = ScrollTarget(m_wndHScroll, code, pos, TruncScroll(m_trace.MinX(TimeAxis())),
                        TruncScroll(m_trace.MaxX(TimeAxis())));
  m_wndHScroll.SetScrollPos(at);
  m_dOriginX = at;
  Redraw();
  ShowPlot();
}

void CSpeedTraceReviewDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (!bar || bar->m_hWnd != m_wndVScroll.m_hWnd) {
    CDialog::OnVScroll(code, pos, bar);
    return;
  }
  int at = ScrollTarget(m_wndVScroll, code, pos, TruncScroll(m_trace.MinSpeed()), TruncScroll(m_trace.MaxSpeed()));
  m_wndVScroll.SetScrollPos(at);
  // The top of the bar shows the highest speeds.
  m_dOriginY = m_trace.MinSpeed() + m_trace.MaxSpeed() - at;
  Redraw();
  ShowPlot();
}

void CSpeedTraceReviewDlg::OnCustomDrawScale(NMHDR*, LRESULT* result) {
  *result = 0;
  if (m_bFullView) return;
  UpdateData(TRUE);
  double zoom = m_wndScale.GetPos() / (double)kScaleOne;
  if (zoom == m_dZoomX) return;
  m_dZoomX = m_dZoomY = zoom;
  Redraw();
  ShowPlot();
  UpdateData(FALSE);
}

void CSpeedTraceReviewDlg::OnGrid() {
  m_bGrid = !m_bGrid;
  Redraw();
  ShowPlot();
}

void CSpeedTraceReviewDlg::OnFullView() {
  m_bFullView = !m_bFullView;
  if (m_bFullView) {
    m_wndPlot.GetClientRect(&m_rcPlot);
    m_wndScale.SetPos(kScaleOne);
    m_dOriginX = m_trace.MinX(TimeAxis());
    m_dOriginY = m_trace.MinSpeed();
  }
  m_dZoomX = m_dZoomY = m_wndScale.GetPos() / (double)kScaleOne;
  Redraw();
  ShowPlot();
}

void CSpeedTraceReviewDlg::ShowAxis(bool distance) {
  m_bDistanceMode = distance ? 1 : 0;
  CheckRadioButton(IDC_TRACE_TIME_SPEED, IDC_TRACE_DISTANCE_SPEED,
                   distance ? IDC_TRACE_DISTANCE_SPEED : IDC_TRACE_TIME_SPEED);
  m_dOriginX = m_trace.MinX(TimeAxis());
  m_dOriginY = m_trace.MinSpeed();
  // The span stays the one of the load: only the origin and the scroll range change.
  const int lo = TruncScroll(m_trace.MinX(TimeAxis())), hi = TruncScroll(m_trace.MaxX(TimeAxis()));
  m_wndHScroll.SetScrollRange(lo, hi, FALSE);
  m_wndHScroll.SetScrollPos(lo);
  m_wndScale.SetPos(kScaleOne);
  Redraw();
  ShowPlot();
}

void CSpeedTraceReviewDlg::OnTimeSpeed() { ShowAxis(false); }
void CSpeedTraceReviewDlg::OnDistanceSpeed() { ShowAxis(true); }

void CSpeedTraceReviewDlg::FreeDrawing() { m_pPlotDC.reset(); }

void CSpeedTraceReviewDlg::OnCancel() {
  FreeDrawing();
  m_trace.Clear();
  if (m_wndList.m_hWnd) m_wndList.SetItemCount(0);
  CDialog::OnCancel();
}
