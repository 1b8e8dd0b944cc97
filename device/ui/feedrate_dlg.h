// The feedrate dialog: the per-tool speeds a job record carries (traverse, feed,
// plunge and start velocity, acceleration, spindle speed) in an editable list, shown in
// the unit of the settings. Apply writes the operator's changes into the dialog's own
// copy of the record; the opener takes the record back.
//
// Only the cells the operator changed are written back, from the number typed: the
// others keep their stored value to the last bit instead of coming back rounded from
// their two-decimal display. A text that is not a number is refused when typed. The
// spindle speed is in rpm whatever the length unit.
#pragma once

#include "device/ui/edit_list_dlg.h"
#include "jobs/job_record.h"

class CFeedrateDlg : public CEditListDlg {
 public:
  explicit CFeedrateDlg(CWnd* parent);

  BOOL OnInitDialog() override;
  void OnOK() override;  // Apply
  void FillList();

  JobRecord m_JobRecord;  // the working copy: set by the opener, read back after IDOK

  // List columns.
  enum { kColName, kColTraverse, kColFeed, kColPlunge, kColStart, kColAccel, kColSpindle, kColumns };

 protected:
  BOOL AcceptCell(int row, int col, const CString& text) override;
};

// The number a cell text holds: blanks around it allowed, nothing else; FALSE for any
// other text, an empty one and a number too large for a double.
BOOL ParseCellNumber(const char* text, double* value);
