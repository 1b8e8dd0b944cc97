// The question srand[] asks: keep the program's seed, or replace it (Windows only).
#pragma once

#include "platform/win/framework.h"

class CRandomSeedDlg : public CDialog {
 public:
  explicit CRandomSeedDlg(CWnd* parent = nullptr);

  int m_bEnableSrand = 1;  // the check box: keep the argument of SRAND[arg]
  CString m_strSeed;       // the seed that replaces it while the box is clear

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  afx_msg void OnEnableSrand();
  DECLARE_MESSAGE_MAP()

 private:
  void EnableSeedField();
};

// Makes srand[] ask the operator through CRandomSeedDlg; the operator program calls it
// once at start-up.
void InstallRandomSeedDialog();
