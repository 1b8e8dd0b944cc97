#include "console/force_2d_dlg.h"

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

BEGIN_MESSAGE_MAP(CForce2DDlg, CDialog)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

CForce2DDlg::CForce2DDlg(CWnd* parent) : CDialog(PickLangId(IDD_FORCE_2D_CN, IDD_FORCE_2D_EN), parent) {}

void CForce2DDlg::DoDataExchange(CDataExchange* dx) { DDX_Check(dx, IDC_FORCE_2D_PROMPT_AGAIN, m_bPromptAgain); }

BOOL CForce2DDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  m_bPromptAgain = TextToBool(GetParamValue("Device", "PromptFor2dForce", "disable")) ? 1 : 0;
  UpdateData(FALSE);
  return TRUE;
}

// "Sure" and "No" (also Escape) both keep the check box's answer.
void CForce2DDlg::OnOK() { SavePromptAndEnd(IDOK); }

void CForce2DDlg::OnCancel() { SavePromptAndEnd(IDCANCEL); }

// The close box does nothing: the operator answers with one of the buttons.
void CForce2DDlg::OnClose() {}

void CForce2DDlg::SavePromptAndEnd(int result) {
  UpdateData(TRUE);
  PutParamValue("Device", "PromptFor2dForce", m_bPromptAgain ? "enable" : "disable");
  EndDialog(result);
}
