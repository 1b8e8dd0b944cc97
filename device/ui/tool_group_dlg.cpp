#include "device/ui/tool_group_dlg.h"

#include "foundation/texts.h"
#include "resources/resource.h"

namespace {

// Blanks out, upper case.
CString Compact(CString text) {
  text.Trim();
  text.MakeUpper();
  text.Remove(' ');
  text.Remove('\t');
  return text;
}

}  // namespace

CToolGroupDlg::CToolGroupDlg(CWnd* parent) : CEditListDlg(PickLangId(IDD_TOOL_GROUP_CN, IDD_TOOL_GROUP_EN), parent) {}

BOOL CToolGroupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetUpList();
  m_list.InsertColumn(0, LoadLangString(IDS_TOOL_NAME_CN, IDS_TOOL_NAME_EN), LVCFMT_CENTER, 80);
  m_list.InsertColumn(1, LoadLangString(IDS_TOOL_GROUP_TOOLS_CN, IDS_TOOL_GROUP_TOOLS_EN), LVCFMT_CENTER, 120);
  FillList();
  GetWindowText(m_strTitle);
  return TRUE;
}

void CToolGroupDlg::FillList() {
  for (int i = 0; i < kLogicalTools; ++i) {
    CString name;
    name.Format("T%d", i + 1);
    InsertRow(i, name);
    SetCell(i, 0, name);
    SetCell(i, 1, "");
    m_list.SetItemText(i, 1, nullptr, kToolTextPlain, RowBackground(i));
    m_list.SetCellEditable(i, 1);
  }
}

BOOL CToolGroupDlg::AcceptCell(int, int, const CString& text) {
  for (int i = 0; i < text.GetLength(); ++i) {
    char c = text[i];
    if ((c >= '0' && c <= '9') || c == ',' || c == ' ' || c == '\t') continue;
    CString message;
    message.Format(LoadLangString(IDS_TOOL_GROUP_BAD_TEXT_CN, IDS_TOOL_GROUP_BAD_TEXT_EN), text.GetString());
    ShowMessage(message, MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  return TRUE;
}

void CToolGroupDlg::OnOK() {
  m_groups.RemoveAll();
  if (m_bModified) {
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
      CString name = Compact(m_list.GetItemText(row, 0));
      CString tools = Compact(m_list.GetItemText(row, 1));
      if (name.IsEmpty() || tools.IsEmpty()) continue;
      CString group;
      group.Format("(@T@%s:%s)", name.GetString(), tools.GetString());
      m_groups.Add(group);
    }
  }
  EndDialog(IDOK);
}
