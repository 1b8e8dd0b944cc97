// CChildPageDlg: a page of a settings dialog, a modeless dialog living inside a host
// tab strip (COwnerDrawTabCtrl).
//
// The page fills its host's page rectangle and follows its size changes, swallows
// Enter and Escape so that they close nothing, and deletes itself when its window is
// destroyed: create pages with new and hand them to the host.
#pragma once

#include "platform/win/framework.h"

class COwnerDrawTabCtrl;

class CChildPageDlg : public CDialog {
 public:
  // The title is the string with the template's id (empty without one); a page may
  // set its own before it is added.
  CChildPageDlg(UINT templateId, CWnd* parent = nullptr);

  // Creates the page as a child of the host (no frame, clipping its siblings and
  // children) and moves it onto the host's page rectangle. FALSE when the template
  // cannot be created.
  virtual BOOL CreateInHost(COwnerDrawTabCtrl* host);
  BOOL PreTranslateMessage(MSG* msg) override;

  CString m_strTitle;            // tab label (m_nIDTemplate is the page's template id)
  BOOL m_bCreated = FALSE;       // the page exists inside its host
  BOOL m_bStretchChild = FALSE;  // each size change also stretches the first child over the page

 protected:
  void OnOK() override {}      // Enter never ends a page
  void OnCancel() override {}  // nor Escape
  void PostNcDestroy() override { delete this; }
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

 private:
  void KeepGroupBoxesSeeThrough();
};
