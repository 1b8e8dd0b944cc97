#include "nc/ui/random_seed_dlg.h"

#include "foundation/texts.h"
#include "nc/interp/interp_read.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

namespace {

// The seed hook: the dialog shows x; OK with the box clear hands back the seed text.
BOOL AskRandomSeed(double x, CString* seedText) {
  CRandomSeedDlg dlg;
  dlg.m_strSeed.Format("%.0f", x);
  if (dlg.DoModal() != IDOK || dlg.m_bEnableSrand) return FALSE;
  *seedText = dlg.m_strSeed;
  return TRUE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CRandomSeedDlg, CDialog)
  ON_BN_CLICKED(IDC_ENABLE_SRAND, &CRandomSeedDlg::OnEnableSrand)
END_MESSAGE_MAP()

CRandomSeedDlg::CRandomSeedDlg(CWnd* parent) : CDialog(PickLangId(IDD_RANDOM_SEED_CN, IDD_RANDOM_SEED_EN), parent) {}

void CRandomSeedDlg::DoDataExchange(CDataExchange* dx) {
  DDX_Check(dx, IDC_ENABLE_SRAND, m_bEnableSrand);
  DDX_Text(dx, IDC_SEED_EDIT, m_strSeed);
}

BOOL CRandomSeedDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  EnableSeedField();
  return TRUE;
}

void CRandomSeedDlg::OnEnableSrand() {
  UpdateData(TRUE);
  EnableSeedField();
}

void CRandomSeedDlg::EnableSeedField() { GetDlgItem(IDC_SEED_EDIT)->EnableWindow(!m_bEnableSrand); }

void InstallRandomSeedDialog() { SetRandomSeedHook(AskRandomSeed); }
