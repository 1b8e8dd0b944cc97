// The force-2D question of a job start (Windows only): output the job as 2D? The
// answer to "Prompt next time" is kept in "Parameters.ini" [Device] "PromptFor2dForce".
// Result: IDOK output as 2D, IDCANCEL keep the 3D data.
#pragma once

#include "platform/win/framework.h"

class CForce2DDlg : public CDialog {
 public:
  explicit CForce2DDlg(CWnd* parent = nullptr);

  int m_bPromptAgain = 0;  // check box 1213

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnClose();
  DECLARE_MESSAGE_MAP()

 private:
  void SavePromptAndEnd(int result);
};
