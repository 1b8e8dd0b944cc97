#include "device/ui/edit_list_dlg.h"

#include "resources/resource.h"
#include "ui/program_icon.h"

BEGIN_MESSAGE_MAP(CEditListDlg, CDialog)
  ON_REGISTERED_MESSAGE(WM_XLISTCTRL_EDIT_END, &CEditListDlg::OnEditEnd)
  ON_NOTIFY(LVN_COLUMNCLICK, IDC_TOOL_LIST, &CEditListDlg::OnColumnClick)
END_MESSAGE_MAP()

void CEditListDlg::SetUpList() {
  m_list.SubclassDlgItem(IDC_TOOL_LIST, this);
  SetProgramIcon(*this);
  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  m_bModified = 0;
  m_accepted.clear();
  m_edited.clear();
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(FALSE);
}

void CEditListDlg::InsertRow(int row, const char* text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = (LPSTR)text;
  m_list.InsertItem(&item, kToolTextPlain, RowBackground(row));
}

void CEditListDlg::SetCell(int row, int col, const char* text) {
  if (row >= (int)m_accepted.size()) m_accepted.resize((size_t)row + 1);
  std::vector<CString>& accepted = m_accepted[(size_t)row];
  if (col >= (int)accepted.size()) accepted.resize((size_t)col + 1);
  accepted[(size_t)col] = text;
  if (m_list.GetItemText(row, col) != text) m_list.SetItemText(row, col, text);
}

bool CEditListDlg::IsCellEdited(int row, int col) const {
  return row >= 0 && row < (int)m_edited.size() && col >= 0 && col < (int)m_edited[(size_t)row].size() &&
         m_edited[(size_t)row][(size_t)col];
}

void CEditListDlg::MarkEdited(int row, int col, bool edited) {
  if (row >= (int)m_edited.size()) m_edited.resize((size_t)row + 1);
  std::vector<bool>& cells = m_edited[(size_t)row];
  if (col >= (int)cells.size()) cells.resize((size_t)col + 1, false);
  cells[(size_t)col] = edited;
}

LRESULT CEditListDlg::OnEditEnd(WPARAM wParam, LPARAM lParam) {
  int row = (int)wParam, col = (int)lParam;
  COLORREF text = 0, back = 0;
  if (!m_list.GetCellColors(row, col, text, back)) return 0;
  if (row >= (int)m_accepted.size()) m_accepted.resize((size_t)row + 1);
  std::vector<CString>& accepted = m_accepted[(size_t)row];
  if (col >= (int)accepted.size()) accepted.resize((size_t)col + 1);
  CString typed = m_list.GetItemText(row, col);
  // The list keeps a cell's modified mark once set, so an edit back to the text the
  // cell started with still counts; what matters is that the text is not refused.
  if (!m_list.IsCellModified(row, col)) {
    m_list.SetItemText(row, col, nullptr, kToolTextPlain, back);
    return 0;
  }
  if (!AcceptCell(row, col, typed)) {
    m_list.SetItemText(row, col, accepted[(size_t)col], IsCellEdited(row, col) ? kToolTextEdited : kToolTextPlain,
                       back);
    return 0;
  }
  accepted[(size_t)col] = typed;
  MarkEdited(row, col, true);
  m_list.SetItemText(row, col, nullptr, kToolTextEdited, back);
  SetWindowText(m_strTitle + " *");
  m_bModified = 1;
  if (CWnd* ok = GetDlgItem(IDOK)) ok->EnableWindow(TRUE);
  return 0;
}

void CEditListDlg::OnColumnClick(NMHDR*, LRESULT* result) {
  SetWindowText(m_strTitle + " *");
  *result = 0;
}
