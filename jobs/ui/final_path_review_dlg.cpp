#include "jobs/ui/final_path_review_dlg.h"

#include <cstdlib>

#include "foundation/texts.h"
#include "jobs/job_name.h"
#include "jobs/review/path_review.h"
#include "resources/resource.h"

IMPLEMENT_DYNCREATE(CFinalPathReviewDlg)

BEGIN_MESSAGE_MAP(CFinalPathReviewDlg, CDialog)
  ON_WM_CLOSE()
  ON_BN_CLICKED(IDC_PATHREVIEW_REFRESH, &CFinalPathReviewDlg::OnRefresh)
  ON_BN_CLICKED(IDC_PATHREVIEW_SHOW_DISCARDED, &CFinalPathReviewDlg::OnShowDiscarded)
  ON_BN_CLICKED(IDC_PATHREVIEW_SHOW_INTERPOLATION, &CFinalPathReviewDlg::OnShowInterpolation)
  ON_BN_CLICKED(IDC_PATHREVIEW_SHOW_UNCHANGED, &CFinalPathReviewDlg::OnShowUnchanged)
  ON_WM_TIMER()
  ON_WM_SIZE()
END_MESSAGE_MAP()

// The listing's lines go into the list box; its pauses drain the queue and show the
// count; the line limit is asked of the operator.
class CFinalPathReviewDlg::CListSink : public CPathReviewSink {
 public:
  explicit CListSink(CFinalPathReviewDlg& dlg) : m_dlg(dlg) {}
  void AddLine(const CString& text, COLORREF color) override { m_dlg.m_wndList.AddString(text, color); }
  BOOL Checkpoint(int lines) override {
    Show(TRUE);
    platform::win::PumpPendingMessages();
    Show(FALSE);
    if (m_dlg.m_hWnd) m_dlg.SetDlgItemInt(IDC_PATHREVIEW_LINE_COUNT, lines);
    return !m_dlg.m_bRelist;
  }
  BOOL ContinuePastLimit() override {
    CString text;
    text.Format(LoadLangString(IDS_PATHREVIEW_LINE_LIMIT_CN, IDS_PATHREVIEW_LINE_LIMIT_EN),
                (const char*)m_dlg.m_strLineLimit);
    Show(TRUE);
    BOOL yes = ShowMessage(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
    Show(FALSE);
    return yes;
  }
  // The list repaints at the pauses and behind the question, not once per line: with
  // thousands of lines that is most of the listing's time.
  void Show(BOOL on) {
    if (!m_dlg.m_wndList.m_hWnd) return;
    m_dlg.m_wndList.SetRedraw(on);
    if (on) m_dlg.m_wndList.Invalidate(FALSE);
  }

 private:
  CFinalPathReviewDlg& m_dlg;
};

CFinalPathReviewDlg::CFinalPathReviewDlg(CWnd* parent, const char* jobName)
    : CDialog(PickLangId(IDD_PATH_REVIEW_CN, IDD_PATH_REVIEW_EN), parent), m_strJobName(jobName) {}

CFinalPathReviewDlg::~CFinalPathReviewDlg() = default;

void CFinalPathReviewDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_PATHREVIEW_LIST, m_wndList);
  DDX_Text(dx, IDC_PATHREVIEW_START_TAG, m_strStartTag);
  DDX_Text(dx, IDC_PATHREVIEW_END_TAG, m_strEndTag);
  DDX_Text(dx, IDC_PATHREVIEW_LINE_LIMIT, m_strLineLimit);
  DDX_Check(dx, IDC_PATHREVIEW_SHOW_DISCARDED, m_bShowDiscarded);
  DDX_Check(dx, IDC_PATHREVIEW_SHOW_INTERPOLATION, m_bShowInterpolation);
  DDX_Check(dx, IDC_PATHREVIEW_SHOW_UNCHANGED, m_bShowUnchanged);
}

BOOL CFinalPathReviewDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(128));
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  AnchorControl(IDC_PATHREVIEW_LIST, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
  for (UINT id : {IDC_PATHREVIEW_RANGE_LABEL, IDC_PATHREVIEW_START_TAG, IDC_PATHREVIEW_DASH, IDC_PATHREVIEW_END_TAG,
                  IDC_PATHREVIEW_SHOW_DISCARDED, IDC_PATHREVIEW_SHOW_INTERPOLATION, IDC_PATHREVIEW_SHOW_UNCHANGED,
                  IDC_PATHREVIEW_LIMIT_LABEL, IDC_PATHREVIEW_LINE_LIMIT, IDC_PATHREVIEW_LINE_COUNT})
    AnchorControl(id, ANCHOR_BOTTOMLEFT);
  AnchorControl(IDC_PATHREVIEW_REFRESH, ANCHOR_BOTTOMRIGHT);
  AnchorControl(IDOK, ANCHOR_BOTTOMRIGHT);
  // The first listing starts once the dialog is on screen.
  SetTimer(kTimerFirstListing, kFirstListingDelay_ms);
  CenterWindow();
  ShowWindow(SW_SHOWMAXIMIZED);
  return TRUE;
}

void CFinalPathReviewDlg::OnTimer(UINT_PTR id) {
  if (id != kTimerFirstListing) return;
  KillTimer(kTimerFirstListing);
  OnRefresh();
}

void CFinalPathReviewDlg::OnRefresh() {
  UpdateData(TRUE);
  if (m_bBusy) {
    m_bRelist = TRUE;  // the running listing stops at its next pause and lists again
    return;
  }
  do {
    m_bRelist = FALSE;
    m_strReviewFile = JobFilePath(m_strJobName, ".structs");
    ListRecords(m_strReviewFile, atol(m_strStartTag), atol(m_strEndTag));
  } while (m_bRelist && m_hWnd);
  if (m_hWnd) Invalidate();
}

void CFinalPathReviewDlg::OnShowDiscarded() { OnRefresh(); }
void CFinalPathReviewDlg::OnShowInterpolation() { OnRefresh(); }
void CFinalPathReviewDlg::OnShowUnchanged() { OnRefresh(); }

void CFinalPathReviewDlg::ListRecords(const char* file, long startTag, long endTag) {
  m_wndList.ResetContent();
  m_bBusy = TRUE;
  HCURSOR cursor = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
  int lines = 0;
  {
    CReadOnlyFileView view;  // missing, empty or unmappable: nothing to list
    if (file && *file) view.Open(file);
    PathReviewOptions options;
    options.nStartTag = (DWORD)startTag;
    options.nEndTag = (DWORD)endTag;
    options.bShowDiscarded = m_bShowDiscarded != 0;
    options.bShowInterpolation = m_bShowInterpolation != 0;
    options.bShowUnchanged = m_bShowUnchanged != 0;
    options.nLineLimit = atol(m_strLineLimit);
    CListSink sink(*this);
    sink.Show(FALSE);
    lines = ListPathRecords(view.Data(), view.Size(), options, sink);
    sink.Show(TRUE);
  }
  if (m_hWnd) SetDlgItemInt(IDC_PATHREVIEW_LINE_COUNT, lines);
  m_bBusy = FALSE;
  ::SetCursor(cursor);
}

void CFinalPathReviewDlg::OnOK() {
  if (!m_bBusy) CDialog::OnOK();
}

void CFinalPathReviewDlg::OnCancel() {
  if (!m_bBusy) CDialog::OnCancel();
}

void CFinalPathReviewDlg::OnClose() {
  if (!m_bBusy) CDialog::OnCancel();
}

void CFinalPathReviewDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  ApplyAnchors();
  Invalidate();
}
