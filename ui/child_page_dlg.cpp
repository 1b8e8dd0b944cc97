#include "ui/child_page_dlg.h"

#include "ui/owner_draw_tab.h"

BEGIN_MESSAGE_MAP(CChildPageDlg, CDialog)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CChildPageDlg::CChildPageDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {
  m_strTitle.LoadString(templateId);
}

// Made a child of the host at creation (rather than a popup moved in afterwards), so
// the page never shows outside it.
BOOL CChildPageDlg::CreateInHost(COwnerDrawTabCtrl* host) {
  m_pParentWnd = host;
  if (!CreateFromTemplate(MAKEINTRESOURCEA(m_nIDTemplate), host->m_hWnd, WS_THICKFRAME | WS_DLGFRAME | WS_POPUP,
                          WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN))
    return FALSE;
  KeepGroupBoxesSeeThrough();
  CRect page = host->GetPageRect();
  MoveWindow(&page, TRUE);
  m_bCreated = TRUE;
  return TRUE;
}

// A page clips its children when it erases, and a group box paints only its frame:
// its inside would show whatever was there before. A transparent group box is left
// out of the clipping, so the page's background shows through it.
void CChildPageDlg::KeepGroupBoxesSeeThrough() {
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char cls[16] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") == 0 && (::GetWindowLongPtrA(child, GWL_STYLE) & 0xF) == BS_GROUPBOX)
      ::SetWindowLongPtrA(child, GWL_EXSTYLE, ::GetWindowLongPtrA(child, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  }
}

BOOL CChildPageDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) return TRUE;
  return CDialog::PreTranslateMessage(msg);
}

void CChildPageDlg::OnSize(UINT, int, int) {
  Default();
  if (!m_bCreated) return;
  COwnerDrawTabCtrl* host = dynamic_cast<COwnerDrawTabCtrl*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
  if (host) {
    CRect page = host->GetPageRect();
    CRect now;
    GetWindowRect(&now);
    host->ScreenToClient(&now);
    if (now != page) MoveWindow(&page, TRUE);
  }
  HWND first = ::GetWindow(m_hWnd, GW_CHILD);
  if (m_bStretchChild && first) {
    CRect client;
    GetClientRect(&client);
    ::MoveWindow(first, client.left, client.top, client.Width(), client.Height(), TRUE);
  }
}
