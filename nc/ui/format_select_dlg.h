// The 2D/3D question of an HPGL import (Windows only): are the numbers of this line
// 2D or 3D points? The answer holds for the rest of the file. The dialog ends only with
// "Use Selected Format"; Escape and the close box leave it open.
#pragma once

#include "platform/win/framework.h"

class CFormatSelectDlg : public CDialog {
 public:
  explicit CFormatSelectDlg(CWnd* parent = nullptr);

  CString m_strText;   // the line in question (edit 1181), set by the caller
  int m_nFormat = -1;  // 0 2D, 1 3D; -1 until the dialog opens

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  afx_msg void On2DFormat();
  afx_msg void On3DFormat();
  DECLARE_MESSAGE_MAP()

 private:
  void Choose(int format);
};

// Makes the HPGL reader ask through CFormatSelectDlg; the operator program calls it once
// at start-up.
void InstallFormatSelectDialog();
