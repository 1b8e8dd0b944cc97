#include "ui/layout_dialog.h"

#include <cstdlib>

#include "foundation/texts.h"

BEGIN_MESSAGE_MAP(RDQLayoutDialog, CDialog)
  ON_WM_SIZE()
  ON_WM_GETMINMAXINFO()
  ON_WM_ERASEBKGND()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

RDQLayoutDialog::RDQLayoutDialog(UINT templateId, CWnd* parent, LPCTSTR section, BOOL gripper)
    : CDialog(templateId, parent), CWndLayoutManager(this), m_bGripper(gripper ? 1 : 0) {
  if (section) m_strSection = section;
}

RDQLayoutDialog::~RDQLayoutDialog() = default;

BOOL RDQLayoutDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  ModifyStyle(0, WS_THICKFRAME, SWP_FRAMECHANGED);
  if (!m_strSection.IsEmpty()) LoadWindowPlacement(m_strSection);
  // The framework has no document templates, so there is no template icon to take.
  if (m_bGripper && !CreateGripBar()) ShowMessage("Error - Statusbar");
  return TRUE;
}

// One stretching pane without borders and no text: the bar is there for its grip.
BOOL RDQLayoutDialog::CreateGripBar() {
  DWORD style = WS_CHILD | WS_VISIBLE | CCS_BOTTOM | ((GetStyle() & WS_THICKFRAME) ? SBARS_SIZEGRIP : 0);
  if (!m_wndStatusBar.Create(style, CRect(0, 0, 0, 0), this, AFX_IDW_STATUS_BAR)) return FALSE;
  int right = -1;
  m_wndStatusBar.SetParts(1, &right);
  m_wndStatusBar.SetText("", 0, SBT_NOBORDERS);
  RepositionBars(this);
  return TRUE;
}

CRect RDQLayoutDialog::GetLayoutRect() {
  CRect r;
  GetClientRect(&r);
  if (m_bGripper && m_wndStatusBar.m_hWnd) {
    CRect bar;
    m_wndStatusBar.GetWindowRect(&bar);
    r.bottom -= bar.Height() - m_sizeMargin.cy - 5;
  }
  return r;
}

void RDQLayoutDialog::OnSize(UINT type, int cx, int cy) {
  Default();
  if (std::abs(cx) + std::abs(cy) > 0) {
    Relayout();
    RepositionBars(this);
  }
}

void RDQLayoutDialog::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  if (m_root == nullptr) return;
  CRect layout = GetLayoutRect();
  if (layout.Width() < 1 && layout.Height() < 1) return;  // not ready
  CRect window;
  GetWindowRect(&window);
  CSize minTrack, maxTrack;
  GetTrackingSizes(CSize(window.Width() - layout.Width(), window.Height() - layout.Height()), &minTrack, &maxTrack);
  info->ptMinTrackSize.x = minTrack.cx;
  info->ptMinTrackSize.y = minTrack.cy;
  if (maxTrack.cx != kLayoutUnbounded) info->ptMaxTrackSize.x = info->ptMaxSize.x = maxTrack.cx;
  if (maxTrack.cy != kLayoutUnbounded) info->ptMaxTrackSize.y = info->ptMaxSize.y = maxTrack.cy;
}

BOOL RDQLayoutDialog::OnEraseBkgnd(CDC* dc) {
  PaintBackground(dc);
  return TRUE;
}

void RDQLayoutDialog::OnDestroy() {
  if (!m_strSection.IsEmpty()) SaveWindowPlacement(m_strSection);
  ReleaseRoot();
  Default();
}
