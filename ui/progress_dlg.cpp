#include "ui/progress_dlg.h"

#include "foundation/texts.h"
#include "resources/resource.h"

namespace {
constexpr UINT_PTR kPushTimer = 1;     // position and range to the bar
constexpr UINT_PTR kRepaintTimer = 2;  // the whole strip
constexpr UINT kPush_ms = 50;
constexpr UINT kRepaint_ms = 300;
constexpr COLORREF kGrey = RGB(0xC0, 0xC0, 0xC0);
}  // namespace

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
  ON_WM_TIMER()
  ON_WM_CLOSE()
  ON_WM_PAINT()
END_MESSAGE_MAP()

CProgressDlg::CProgressDlg(CWnd* parent) : CDialog(PickLangId(IDD_PROGRESS_CN, IDD_PROGRESS_EN), parent) {}

CProgressDlg::~CProgressDlg() = default;

BOOL CProgressDlg::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  m_pParentWnd = parent;
  HWND owner = parent ? ::GetAncestor(parent->m_hWnd, GA_ROOT) : platform::GetMainWindow();
  return CreateFromTemplate(MAKEINTRESOURCEA(templateId), owner, WS_CHILD, WS_POPUP);
}

void CProgressDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_PROGRESS_BAR, m_wndProgress);
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CenterWindow();
  m_wndProgress.SendMessage(PBM_SETRANGE32, 0, m_nRange);
  InterlockedExchange(&m_bCanceled, 0);  // a strip used again starts uncancelled

  LOGFONTA lf = {};
  lstrcpynA(lf.lfFaceName, "宋体", LF_FACESIZE);
  lf.lfHeight = 12;
  m_font.DeleteObject();
  m_font.CreateFontIndirect(&lf);
  m_wndProgress.SetTextFont(&m_font);

  m_wndProgress.SetBkColor(kGrey);
  m_wndProgress.SetColors(RGB(0xFF, 0, 0), RGB(0, 0xFF, 0));  // red to green
  m_wndProgress.SetTextColors(kGrey, RGB(0, 0, 0xFF));

  MakeTopmost();
  SetTimer(kPushTimer, kPush_ms);
  SetTimer(kRepaintTimer, kRepaint_ms);
  return TRUE;
}

void CProgressDlg::MakeTopmost() {
  CRect r;
  GetWindowRect(&r);
  SetWindowPos(HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), SWP_SHOWWINDOW);
  MoveWindow(&r, TRUE);
  CenterWindow();
}

void CProgressDlg::SetProgress(int position, int range) {
  m_nPos = position;
  m_nRange = range;
}

void CProgressDlg::OnCancel() { InterlockedExchange(&m_bCanceled, 1); }

void CProgressDlg::OnTimer(UINT_PTR id) {
  if (id == kPushTimer) {
    LONG range = m_nRange;
    if (range != 0) {  // no total yet: leave the bar as it is
      m_wndProgress.SendMessage(PBM_SETRANGE32, 0, range);
      m_wndProgress.SetPosition(m_nPos);
    }
  } else if (id == kRepaintTimer) {
    Invalidate(TRUE);
  }
}

void CProgressDlg::OnPaint() { CPaintDC dc(this); }
