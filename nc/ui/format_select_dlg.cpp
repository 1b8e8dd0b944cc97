#include "nc/ui/format_select_dlg.h"

#include "foundation/texts.h"
#include "nc/formats/format_question.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

namespace {

int AskFormat(const char* text) {
  CFormatSelectDlg dlg;
  dlg.m_strText = text;
  dlg.DoModal();
  return dlg.m_nFormat == 1 ? 1 : 0;
}

}  // namespace

BEGIN_MESSAGE_MAP(CFormatSelectDlg, CDialog)
  ON_BN_CLICKED(IDC_FORMAT_SELECT_2D, &CFormatSelectDlg::On2DFormat)
  ON_BN_CLICKED(IDC_FORMAT_SELECT_3D, &CFormatSelectDlg::On3DFormat)
END_MESSAGE_MAP()

CFormatSelectDlg::CFormatSelectDlg(CWnd* parent)
    : CDialog(PickLangId(IDD_FORMAT_SELECT_CN, IDD_FORMAT_SELECT_EN), parent) {}

void CFormatSelectDlg::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, IDC_FORMAT_SELECT_LINE, m_strText); }

BOOL CFormatSelectDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  Choose(0);
  return TRUE;
}

// Cancel is hidden; Escape and the close box come here and are ignored.
void CFormatSelectDlg::OnCancel() {}

void CFormatSelectDlg::On2DFormat() { Choose(0); }

void CFormatSelectDlg::On3DFormat() { Choose(1); }

void CFormatSelectDlg::Choose(int format) {
  m_nFormat = format;
  CheckRadioButton(IDC_FORMAT_SELECT_2D, IDC_FORMAT_SELECT_3D,
                   format == 1 ? IDC_FORMAT_SELECT_3D : IDC_FORMAT_SELECT_2D);
}

void InstallFormatSelectDialog() { SetFormatQuestionHook(AskFormat); }
