// CPageTabCtrl: the owner-drawn tab strip with one page (CChildPageDlg) per tab;
// changing the tab shows the tab's page. The pages are not deleted by the control:
// they delete themselves with their windows.
#pragma once

#include "ui/child_page_dlg.h"
#include "ui/owner_draw_tab.h"

class CPageTabCtrl : public COwnerDrawTabCtrl {
 public:
  ~CPageTabCtrl() override;

  // Adds a tab labelled with the page's title, creates the page inside this control
  // and selects it. The page and its tab are kept even when the page's template
  // cannot be created. Returns the new tab.
  OwnerTabItem* AddPage(CChildPageDlg* page, HICON icon = nullptr, DWORD data = 0);
  // Plain tabs are refused: -1.
  int AddTab(LPCTSTR label, DWORD data = 0, HICON icon = nullptr) override { return -1; }
  // Hides the old tab's page and shows the new one's.
  void OnSelChange(int oldIndex, int newIndex) override;
  virtual CChildPageDlg* GetPage(int index) const;  // null out of range

  CArray<CChildPageDlg*> m_pages;  // one per tab, in tab order

 protected:
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};
