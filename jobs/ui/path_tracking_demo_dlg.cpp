#include "jobs/ui/path_tracking_demo_dlg.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/texts.h"
#include "jobs/job_name.h"
#include "jobs/table/job_manager.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CPathTrackingDemoDlg, CDialog)
  ON_WM_TIMER()
  ON_WM_SIZE()
  ON_BN_CLICKED(IDC_TRACKING_3D, &CPathTrackingDemoDlg::On3DView)
  ON_BN_CLICKED(IDC_TRACKING_XY, &CPathTrackingDemoDlg::OnXYView)
  ON_BN_CLICKED(IDC_TRACKING_YZ, &CPathTrackingDemoDlg::OnYZView)
  ON_BN_CLICKED(IDC_TRACKING_ZX, &CPathTrackingDemoDlg::OnZXView)
  ON_NOTIFY(NM_RELEASEDCAPTURE, IDC_TRACKING_SPEED, &CPathTrackingDemoDlg::OnSpeedChanged)
  ON_MESSAGE(WM_TRACKING_LOADED, &CPathTrackingDemoDlg::OnLoaderDone)
END_MESSAGE_MAP()

namespace {

constexpr int kMaxSpeed = 100;
constexpr int kShownEndTagLimit = 1000;  // the end-tag edit shows at least this many tags
constexpr COLORREF kBannerShade = 0xF0F0F0;
constexpr COLORREF kBannerFace = 0xFAFAFA;

const UINT kViewButtons[] = {IDC_TRACKING_XY, IDC_TRACKING_YZ, IDC_TRACKING_ZX, IDC_TRACKING_3D};

}  // namespace

CPathTrackingDemoDlg::CPathTrackingDemoDlg(CWnd* parent, const char* jobName)
    : CDialog(PickLangId(IDD_TRACKING_DEMO_CN, IDD_TRACKING_DEMO_EN), parent), m_strJobName(jobName) {
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(128));
}

CPathTrackingDemoDlg::~CPathTrackingDemoDlg() { StopLoader(); }

void CPathTrackingDemoDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TRACKING_SPEED, m_wndSpeed);
  DDX_Control(dx, IDC_TRACKING_VIEW, m_wndView);
  DDX_Text(dx, IDC_TRACKING_START_TAG, m_strStartTag);
  DDX_Text(dx, IDC_TRACKING_END_TAG, m_strEndTag);
  DDX_Text(dx, IDC_TRACKING_JOB_NAME, m_strJobName);
  DDX_Check(dx, IDC_TRACKING_WORKSPACE, m_bShowWorkSpace);
}

BOOL CPathTrackingDemoDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  AnchorControl(IDC_TRACKING_VIEW, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
  for (UINT id : {IDC_TRACKING_JOB_LABEL, IDC_TRACKING_JOB_NAME, IDC_TRACKING_RANGE_LABEL, IDC_TRACKING_START_TAG,
                  IDC_TRACKING_DASH, IDC_TRACKING_END_TAG, IDC_TRACKING_SLASH, IDC_TRACKING_RANGE,
                  IDC_TRACKING_WORKSPACE, IDC_TRACKING_XY, IDC_TRACKING_YZ, IDC_TRACKING_ZX, IDC_TRACKING_3D,
                  IDC_TRACKING_SLOWER, IDC_TRACKING_SPEED, IDC_TRACKING_FASTER})
    AnchorControl(id, ANCHOR_BOTTOMLEFT);
  AnchorControl(IDOK, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDCANCEL, ANCHOR_BOTTOMRIGHT);
  m_wndView.m_paint = [this](CDC& dc) { PaintView(dc); };
  m_wndSpeed.SetRange(1, kMaxSpeed, TRUE);
  m_wndSpeed.SetPos(m_nSpeed);

  if (!CJobManager::GetJob(m_strJobName, &m_job)) {
    EndDialog(0);
    return FALSE;
  }
  m_program.Reset();
  m_nCopies = (long long)m_job.EffectiveCopiesX() * m_job.EffectiveCopiesY() * m_job.EffectiveCopiesZ();
  m_bShowWorkSpace = m_job.ShowPlate ? 1 : 0;
  m_nViewMode = m_job.ViewPoint;

  CString text;
  text.Format("1-%d", (int)m_job.TotalTags);
  SetDlgItemText(IDC_TRACKING_RANGE, text);
  m_strStartTag.Format("%d", (int)m_job.TagRangeStart);
  DWORD shown = std::min((DWORD)m_job.TotalTags, (DWORD)kShownEndTagLimit);
  m_strEndTag.Format("%d", (int)std::max((DWORD)m_job.TagRangeEnd, shown));
  SetViewMode(m_nViewMode);
  m_wndView.GetClientRect(&m_rcView);
  m_rcView.DeflateRect(1, 1);
  UpdateData(FALSE);
  EnableControls();

  StartLoader();
  CenterWindow();
  ShowWindow(SW_SHOWMAXIMIZED);
  return TRUE;
}

// The loader is marked busy here, before its thread exists: a Close at once still
// waits for it, and a stop asked for before it runs is not lost.
void CPathTrackingDemoDlg::StartLoader() {
  SetTimer(kTimerRepaint, kLoadRepaint_ms);
  m_load.lStopLoading = 0;
  m_lLoaderIdle = 0;
  if (CWnd* start = GetDlgItem(IDOK)) start->EnableWindow(FALSE);
  UpdateData(TRUE);
  CString path = m_strJobName.IsEmpty() ? CString() : JobFilePath(m_strJobName, ".structs");
  m_loader = std::thread(LoaderThread, this, path, m_hWnd);
}

// The worker: fills the program, then posts its end to the window it never touches.
void CPathTrackingDemoDlg::LoaderThread(CPathTrackingDemoDlg* dlg, CString path, HWND hwnd) {
  if (!dlg) return;
  if (!path.IsEmpty()) LoadTrackingProgram(path, dlg->m_program, dlg->m_load);
  dlg->m_lLoaderIdle = 1;
  ::PostMessageA(hwnd, WM_TRACKING_LOADED, 0, 0);
}

void CPathTrackingDemoDlg::StopLoader() {
  m_load.lStopLoading = 1;
  if (m_loader.joinable()) m_loader.join();
}

LRESULT CPathTrackingDemoDlg::OnLoaderDone(WPARAM, LPARAM) {
  if (m_bClosing) return 0;
  if (m_loader.joinable()) m_loader.join();  // it has posted its last word
  KillTimer(kTimerRepaint);
  EnableControls();
  Invalidate(TRUE);
  m_wndView.Invalidate(TRUE);
  return 0;
}

void CPathTrackingDemoDlg::SetViewMode(int mode) {
  m_nViewMode = mode;
  for (int i = 0; i < 4; ++i) CheckDlgButton(kViewButtons[i], mode == i + 1 ? BST_CHECKED : BST_UNCHECKED);
}

void CPathTrackingDemoDlg::OnXYView() { SetViewMode(kViewXY); }
void CPathTrackingDemoDlg::OnYZView() { SetViewMode(kViewYZ); }
void CPathTrackingDemoDlg::OnZXView() { SetViewMode(kViewZX); }
void CPathTrackingDemoDlg::On3DView() { SetViewMode(kViewOblique); }

void CPathTrackingDemoDlg::OnSpeedChanged(NMHDR*, LRESULT* result) {
  m_nSpeed = m_wndSpeed.GetPos();
  *result = 0;
}

// Which controls take input: Start once loaded; while running, Stop only.
void CPathTrackingDemoDlg::EnableControls() {
  auto enable = [this](UINT id, BOOL on) {
    if (CWnd* w = GetDlgItem(id)) w->EnableWindow(on);
  };
  for (UINT id : {(UINT)IDC_TRACKING_3D, (UINT)IDC_TRACKING_XY, (UINT)IDC_TRACKING_YZ, (UINT)IDC_TRACKING_ZX,
                  (UINT)IDC_TRACKING_START_TAG, (UINT)IDC_TRACKING_END_TAG, (UINT)IDC_TRACKING_JOB_NAME})
    enable(id, !m_bRunning);
  enable(IDC_TRACKING_WORKSPACE, !m_bRunning && m_nCopies == 1);
  enable(IDOK, IsLoaderIdle() && !m_bClosing);
  enable(IDCANCEL, !m_bRunning && !m_bClosing);
}

void CPathTrackingDemoDlg::OnOK() {
  UpdateData(TRUE);
  if (!IsLoaderIdle() || m_bClosing) return;
  if (!m_bRunning) {
    if (StartTracking2D()) m_bRunning = TRUE;
  } else {
    StopTracking2D();
    m_bRunning = FALSE;
  }
  SetDlgItemText(IDOK, m_bRunning ? LoadLangString(IDS_TRACKING_STOP_CN, IDS_TRACKING_STOP_EN)
                                  : LoadLangString(IDS_TRACKING_START_CN, IDS_TRACKING_START_EN));
  EnableControls();
  Invalidate();
  m_wndView.Invalidate(FALSE);
}

BOOL CPathTrackingDemoDlg::StartTracking2D() {
  UpdateData(TRUE);
  if (m_program.GetElementCount() <= 0) return FALSE;
  GraySettings gray = ReadGraySettings();
  SetTimer(kTimerRepaint, kRunRepaint_ms);
  m_wndView.GetClientRect(&m_rcView);
  m_rcView.DeflateRect(1, 1);
  const int w = std::max(1, (int)m_rcView.right), h = std::max(1, (int)m_rcView.bottom);
  CDC* viewDC = m_wndView.GetDC();
  m_pCanvas.reset();
  m_pViewDC = std::make_unique<CMemoryBitmapDC>(w, h, viewDC, RGB(255, 255, 255));
  if (viewDC) m_wndView.ReleaseDC(viewDC);
  m_pCanvas = std::make_unique<CGdiPreviewCanvas>(*m_pViewDC);
  TrackingRange range;
  range.nStart = atol(m_strStartTag);
  range.nEnd = atol(m_strEndTag);
  if (!m_replay.Start(&m_program, m_job, m_nViewMode, m_bShowWorkSpace != 0, range, gray, *m_pCanvas, w, h)) {
    StopTracking2D();
    return FALSE;
  }
  SetTimer(kTimerStep, kStep_ms);
  return TRUE;
}

BOOL CPathTrackingDemoDlg::StepTracking2D(int n) {
  if (!m_pCanvas) return FALSE;
  BOOL more = m_replay.Step(n, *m_pCanvas);
  if (!more) KillTimer(kTimerStep);
  CString text;
  text.Format("%d/%d", m_replay.TagCounter(), (int)m_job.TotalTags);
  SetDlgItemText(IDC_TRACKING_RANGE, text);
  return more;
}

BOOL CPathTrackingDemoDlg::StopTracking2D() {
  KillTimer(kTimerStep);
  KillTimer(kTimerRepaint);
  m_pCanvas.reset();  // gives the bitmap's context its own pens back first
  m_pViewDC.reset();
  return TRUE;
}

void CPathTrackingDemoDlg::OnTimer(UINT_PTR id) {
  if (id == kTimerStep && m_bRunning) {
    StepTracking2D(m_nSpeed);
  } else if (id == kTimerRepaint) {
    m_wndView.Invalidate(FALSE);
  }
}

void CPathTrackingDemoDlg::PaintView(CDC& dc) {
  m_wndView.GetClientRect(&m_rcView);
  m_rcView.DeflateRect(1, 1);
  const CRect& r = m_rcView;
  if (m_bRunning && m_pViewDC) {
    dc.StretchBlt(1, 1, r.right - 4, r.bottom - 4, m_pViewDC.get(), 0, 0, r.right, r.bottom, SRCCOPY);
    return;
  }
  CRect fill(r.left + 1, r.top + 1, r.right - 4, r.bottom - 4);
  dc.FillSolidRect(&fill, ::GetSysColor(COLOR_WINDOW));
  int mode = dc.SetBkMode(TRANSPARENT);
  LONG total = m_load.lTotalRecords.load();
  if (!IsLoaderIdle() && total > 0) {
    CString text;
    text.Format(LoadLangString(IDS_TRACKING_LOADING_CN, IDS_TRACKING_LOADING_EN),
                m_load.lLoadedRecords.load() * 100.0 / total);
    DrawBanner(dc, text, FALSE);
  } else {
    DrawBanner(dc, LoadLangString(IDS_TRACKING_BANNER_CN, IDS_TRACKING_BANNER_EN), TRUE);
  }
  dc.SetBkMode(mode);
}

void CPathTrackingDemoDlg::DrawBanner(CDC& dc, const CString& text, BOOL tiled) {
  CRect r;
  m_wndView.GetClientRect(&r);
  r.DeflateRect(2, 2);
  if (r.Width() <= 0 || r.Height() <= 0) return;
  CFont font;
  font.CreateFont(r.Width() / 11, 0, 0, 0, 900, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                  LoadLangString(IDS_TRACKING_BANNER_FONT_CN, IDS_TRACKING_BANNER_FONT_EN));
  CFont* old = dc.SelectObject(&font);
  int saved = dc.SaveDC();
  dc.IntersectClipRect(&r);
  CSize size = dc.GetTextExtent(text);
  if (tiled) {
    for (int pass = 0; pass < 2; ++pass) {
      dc.SetTextColor(pass == 0 ? kBannerShade : kBannerFace);
      int start = pass == 0 ? 22 : 20;
      for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j) dc.TextOut((size.cx + 40) * i + start, (size.cy + 40) * j + start, text);
    }
  } else {
    int x = r.left + (r.Width() - size.cx) / 2, y = r.top + (r.Height() - size.cy) / 2;
    dc.SetTextColor(kBannerShade);
    dc.TextOut(x + 2, y + 2, text);
    dc.SetTextColor(kBannerFace);
    dc.TextOut(x, y, text);
  }
  dc.RestoreDC(saved);
  dc.SelectObject(old);
}

void CPathTrackingDemoDlg::OnCancel() {
  if (m_bClosing) return;
  m_bClosing = TRUE;
  KillTimer(kTimerStep);
  KillTimer(kTimerRepaint);
  {
    CClientDC dc(&m_wndView);
    CRect r;
    m_wndView.GetClientRect(&r);
    CRect fill(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    dc.FillSolidRect(&fill, ::GetSysColor(COLOR_WINDOW));
    int mode = dc.SetBkMode(TRANSPARENT);
    DrawBanner(dc, LoadLangString(IDS_TRACKING_QUITTING_CN, IDS_TRACKING_QUITTING_EN), FALSE);
    dc.SetBkMode(mode);
  }
  EnableControls();
  // The loader looks at the stop request after every record and never waits on this
  // window, so the wait is short.
  StopLoader();
  StopTracking2D();
  m_bRunning = FALSE;
  m_program.FreeElements();
  CDialog::OnCancel();
}

void CPathTrackingDemoDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  ApplyAnchors();
  Invalidate();
}
