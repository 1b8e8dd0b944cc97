#include "device/ui/lan_search_dlg.h"

#include "device/links/net_devices.h"
#include "foundation/texts.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CLanSearchDlg, CDialog)
  ON_WM_TIMER()
  ON_MESSAGE(kWmUdpSocket, &CLanSearchDlg::OnSocketNotify)
END_MESSAGE_MAP()

CLanSearchDlg::CLanSearchDlg(CWnd* parent, WORD port)
    : CDialog(PickLangId(IDD_LAN_SEARCH_CN, IDD_LAN_SEARCH_EN), parent), m_nPort(port) {}

CLanSearchDlg::~CLanSearchDlg() { EndSearch(); }

BOOL CLanSearchDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_progress.SubclassDlgItem(IDC_LAN_SEARCH_PROGRESS, this);
  m_list.SubclassDlgItem(IDC_LAN_SEARCH_LIST, this);
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM));
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  m_progress.SetRange(0, kProbes);
  m_progress.SetPos(0);
  m_font.CreateFont(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体");
  m_progress.SetTextFont(&m_font);
  m_progress.SetBkColor(RGB(0xC0, 0xC0, 0xC0));
  m_progress.SetColors(RGB(0xFF, 0, 0), RGB(0, 0xFF, 0));  // red to green
  m_progress.SetTextColors(RGB(0xC0, 0xC0, 0xC0), RGB(0, 0, 0xFF));
  m_progress.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
  // The search starts as soon as the dialog shows.
  PostMessage(WM_COMMAND, IDOK);
  return TRUE;
}

void CLanSearchDlg::EnableButtons(BOOL enable) {
  for (int id : {IDOK, IDCANCEL})
    if (CWnd* button = GetDlgItem(id)) button->EnableWindow(enable);
}

void CLanSearchDlg::EndSearch() {
  if (!m_pLink) return;
  m_pLink->Close();
  delete m_pLink;
  m_pLink = nullptr;
}

void CLanSearchDlg::OnOK() {
  m_nProbesLeft = kProbes;
  EndSearch();
  m_pLink = new CUdpLink;
  if (!m_pLink->Open("NET:", 0, 1, m_hWnd, kWmUdpSocket)) {
    delete m_pLink;
    m_pLink = nullptr;
    CString text;
    text.Format(LoadLangString(IDS_DEVICE_OPEN_FAILED_CN, IDS_DEVICE_OPEN_FAILED_EN), "NET:", "");
    ShowMessage(text);
    return;
  }
  m_pLink->SetPeer("", m_nPort);
  m_pLink->SendEnum();
  m_progress.SetRange(0, kProbes);
  m_progress.SetPos(0);
  SetTimer(kTimerProbe, kProbeInterval_ms);
  EnableButtons(FALSE);
}

void CLanSearchDlg::OnTimer(UINT_PTR id) {
  if (id != kTimerProbe) {
    CDialog::OnTimer(id);
    return;
  }
  --m_nProbesLeft;
  m_progress.SetPos(kProbes - m_nProbesLeft);
  if (m_nProbesLeft > 0) {
    if (m_pLink) {
      m_pLink->SendEnum();
      m_list.ResetContent();
      if (m_pLink->GetFoundDevices(g_FoundDevices) > 0)
        for (const CString& device : g_FoundDevices) m_list.AddString(device);
    }
    SetTimer(kTimerProbe, kProbeInterval_ms);
    return;
  }
  KillTimer(kTimerProbe);
  EndSearch();
  EnableButtons(TRUE);
}

LRESULT CLanSearchDlg::OnSocketNotify(WPARAM socket, LPARAM event) {
  if (m_pLink && (SOCKET)socket == m_pLink->GetSocket() && WSAGETSELECTERROR(event) == 0 &&
      (WSAGETSELECTEVENT(event) & FD_READ))
    m_pLink->ReceiveData();
  return 0;
}

void CLanSearchDlg::OnCancel() {
  KillTimer(kTimerProbe);
  EndSearch();
  CDialog::OnCancel();
}
