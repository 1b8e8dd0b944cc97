#include "ui/page_tab_ctrl.h"

BEGIN_MESSAGE_MAP(CPageTabCtrl, COwnerDrawTabCtrl)
  ON_WM_SIZE()
END_MESSAGE_MAP()

// A page whose window was never made cannot delete itself with it.
CPageTabCtrl::~CPageTabCtrl() {
  for (int i = 0; i < m_pages.GetSize(); ++i)
    if (!m_pages[i]->m_bCreated && !m_pages[i]->m_hWnd) delete m_pages[i];
}

OwnerTabItem* CPageTabCtrl::AddPage(CChildPageDlg* page, HICON icon, DWORD data) {
  int index = COwnerDrawTabCtrl::AddTab(page->m_strTitle, data, icon);
  if (index < 0) return nullptr;
  page->CreateInHost(this);
  m_pages.Add(page);
  SetCurSel(index);
  SendMessage(WM_SIZE, 0, 0);
  return GetTab(index);
}

CChildPageDlg* CPageTabCtrl::GetPage(int index) const {
  return index >= 0 && index < m_pages.GetSize() ? m_pages[index] : nullptr;
}

void CPageTabCtrl::OnSelChange(int oldIndex, int newIndex) {
  if (CChildPageDlg* old = GetPage(oldIndex))
    if (old->m_hWnd) old->ShowWindow(SW_HIDE);
  if (CChildPageDlg* page = GetPage(newIndex))
    if (page->m_hWnd) page->ShowWindow(SW_SHOW);
}

// Every page, shown or not, follows the page rectangle.
void CPageTabCtrl::OnSize(UINT type, int cx, int cy) {
  COwnerDrawTabCtrl::OnSize(type, cx, cy);
  CRect page = GetPageRect();
  for (int i = 0; i < m_pages.GetSize(); ++i)
    if (m_pages[i]->m_hWnd) m_pages[i]->SendMessage(WM_SIZE, 0, MAKELPARAM(page.Width(), page.Height()));
}
