// The part the tool grouping and feedrate dialogs share: a dialog around one editable
// list (control 1296) whose rows alternate white and light green, where an edited cell
// turns red, the title gains " *" and the dialog's OK button comes on.
//
// A derived dialog checks the typed text first (AcceptCell): a refused text goes back
// to what the cell held before, so the list never shows a value that Apply would not
// store.
#pragma once

#include <vector>

#include "platform/win/framework.h"
#include "ui/xlist_ctrl.h"

constexpr COLORREF kToolRowEven = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kToolRowOdd = RGB(0xD2, 0xFF, 0xD2);
constexpr COLORREF kToolTextEdited = RGB(0xFF, 0, 0);
constexpr COLORREF kToolTextPlain = RGB(0, 0, 0);

class CEditListDlg : public CDialog {
 public:
  CEditListDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

  BOOL IsModified() const { return m_bModified; }
  // Whether the operator changed this cell (and the change was kept).
  bool IsCellEdited(int row, int col) const;

  int m_bModified = 0;  // a cell was changed
  CString m_strTitle;   // the window title as it was at the start
  CXListCtrl m_list;    // control 1296

 protected:
  // Icon, full-row selection, flag 0, OK off; the list subclassed.
  void SetUpList();
  static COLORREF RowBackground(int row) { return row % 2 ? kToolRowOdd : kToolRowEven; }
  // Inserts a row with its first cell in black on the row's background.
  void InsertRow(int row, const char* text);
  // Writes a cell's text (only when it differs) and keeps it as the text a refused
  // edit goes back to.
  void SetCell(int row, int col, const char* text);
  // FALSE refuses the typed text (the derived dialog has said why).
  virtual BOOL AcceptCell(int row, int col, const CString& text) { return TRUE; }

  afx_msg LRESULT OnEditEnd(WPARAM row, LPARAM col);
  afx_msg void OnColumnClick(NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  void MarkEdited(int row, int col, bool edited);
  // Texts the cells held when last accepted, to put back a refused edit.
  std::vector<std::vector<CString>> m_accepted;
  std::vector<std::vector<bool>> m_edited;
};
