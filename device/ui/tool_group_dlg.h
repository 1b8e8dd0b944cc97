// The tool grouping dialog: for the logical tools T1 to T15 of a multi-head machine the
// operator types the physical tools each one cuts with ("1,2,3"). OK hands back one
// comment text per group, "(@T@T4:1,2,3)", which the import writes into the toolpath
// for the interpreter's "@T" tag.
#pragma once

#include "device/ui/edit_list_dlg.h"

constexpr int kLogicalTools = 15;

class CToolGroupDlg : public CEditListDlg {
 public:
  explicit CToolGroupDlg(CWnd* parent);

  BOOL OnInitDialog() override;
  void OnOK() override;

  CStringArray m_groups;  // the comment texts, read by the opener after IDOK

 protected:
  // A group holds tool numbers and commas only: anything else (a ")" above all) would
  // break the comment the text is written into.
  BOOL AcceptCell(int row, int col, const CString& text) override;

 private:
  void FillList();
};
