// CSpeedTraceReviewDlg, "Corvane Speed Trace Review": the speed plan the engine wrote
// for a job (its speed trace file), plotted as speed over time or over distance in the
// colour of each segment type, and listed point by point. The main window's tool box
// opens it once the file exists, sets m_strTraceFile and runs it modally.
//
// The file is read once when the dialog opens; afterwards only the origins, the zoom
// and the axis change. Every change redraws the whole plot into an off-screen bitmap
// that reaches the screen in one copy.
#pragma once

#include <memory>

#include "foundation/draw/offscreen_dc.h"
#include "jobs/review/speed_trace.h"
#include "jobs/ui/fixed_header_list_ctrl.h"
#include "jobs/ui/picture_frame.h"
#include "platform/win/framework.h"
#include "ui/anchor_layout.h"

class CSpeedTraceReviewDlg : public CDialog, public CAnchorLayout {
 public:
  explicit CSpeedTraceReviewDlg(CWnd* parent = nullptr);
  ~CSpeedTraceReviewDlg() override;

  CWnd* GetAnchoredWindow() override { return this; }

  // The file and its points, ranges, first view and list.
  void LoadTrace();
  void FillList();
  // The plot of the given view into the off-screen bitmap; FALSE when nothing was
  // drawn (no bitmap either when a span is below 1e-6).
  BOOL DrawPlot(double x0, double y0, double spanX, double spanY);
  void Redraw() { DrawPlot(m_dOriginX, m_dOriginY, m_dSpanX, m_dSpanY); }
  // The bitmap onto the plot frame.
  void ShowPlot();

  const CSpeedTrace& Trace() const { return m_trace; }
  // The plot's off-screen context (its bitmap selected); null before the first drawing
  // and when there is nothing to draw.
  CMemoryBitmapDC* PlotDC() const { return m_pPlotDC.get(); }

  CString m_strTraceFile;   // set by the caller before DoModal
  int m_bDistanceMode = 0;  // 0 speed over time, 1 over distance
  double m_dOriginX = 0.0;  // s or mm at the plot's left edge
  double m_dSpanX = 0.0;    // s or mm across the plot at zoom 1
  double m_dOriginY = 0.0;  // mm/s at the plot's bottom edge
  double m_dSpanY = 0.0;    // mm/s up the plot at zoom 1
  double m_dZoomX = 1.0;    // slider position / 8
  double m_dZoomY = 1.0;
  CRect m_rcPlot;       // client rectangle of the plot frame
  int m_bGrid = 1;      // check 1010
  int m_bFullView = 1;  // check 1012

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnCustomDrawScale(NMHDR* nm, LRESULT* result);
  afx_msg void OnGetListText(NMHDR* nm, LRESULT* result);
  afx_msg void OnGrid();
  afx_msg void OnFullView();
  afx_msg void OnTimeSpeed();
  afx_msg void OnDistanceSpeed();
  DECLARE_MESSAGE_MAP()

 private:
  enum { kScaleMin = 8, kScaleMax = 16, kScaleOne = 8 };
  bool TimeAxis() const { return m_bDistanceMode == 0; }
  static int ScrollTarget(CScrollBar& bar, UINT code, UINT pos, int lo, int hi);
  void ShowAxis(bool distance);
  void PaintPlot(CDC& dc, int x, int y);
  void DrawGrid(CDC& dc, int width, int height);
  void FreeDrawing();

  CSpeedTrace m_trace;
  CPictureFrame m_wndPlot;                     // 1002
  CScrollBar m_wndVScroll;                     // 1009
  CScrollBar m_wndHScroll;                     // 1007
  CSliderCtrl m_wndScale;                      // 1004
  CFixedHeaderListCtrl m_wndList;              // 1003
  std::unique_ptr<CMemoryBitmapDC> m_pPlotDC;  // the plot, none until the first drawing
  HICON m_hIcon = nullptr;
  char m_szCell[32] = {};  // the text handed to the list for one cell
};
