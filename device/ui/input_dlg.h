// The one-line name input ("Copy for New Device"): a caption, one edit field, OK and
// Cancel. After IDOK the entered text is in m_strText.
#pragma once

#include "platform/win/framework.h"

class CInputDlg : public CDialog {
 public:
  CInputDlg(const char* caption, CWnd* parent);

  BOOL OnInitDialog() override;

  CString m_strCaption;
  CString m_strText;  // the entered text, empty at start

 protected:
  void DoDataExchange(CDataExchange* dx) override;
};
