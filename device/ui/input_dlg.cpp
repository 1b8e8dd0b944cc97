#include "device/ui/input_dlg.h"

#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

CInputDlg::CInputDlg(const char* caption, CWnd* parent)
    : CDialog(PickLangId(IDD_INPUT_NAME_CN, IDD_INPUT_NAME_EN), parent), m_strCaption(caption) {}

void CInputDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_INPUT_TEXT, m_strText);
}

BOOL CInputDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  SetWindowText(m_strCaption);
  return TRUE;
}
