// The Job Order Manager: the operator keeps the customer side of a job here. It lists
// the rows of "Jobs.mdb" (filtered by the finished flag, searched by any field), loads
// a clicked row into its fields, and saves or deletes the order row of a job name.
//
// The dialog works on the program's one database object, g_JobOrderDatabase: it opens
// the connection when it starts and closes it on every way out. Every statement's
// result is checked: a select that cannot run, a write the store refuses (a date it
// cannot read, a file it cannot write) and a read that fails half-way are shown with
// the store's error text, so typed data is never dropped without a word.
#pragma once

#include "jobs/store/job_order_sql.h"
#include "platform/win/framework.h"
#include "ui/anchor_layout.h"

class CADORecordset;

class CJobOrderManagerDlg : public CDialog, public CAnchorLayout {
 public:
  CJobOrderManagerDlg(CWnd* parent, const char* jobName);
  ~CJobOrderManagerDlg() override;

  CWnd* GetAnchoredWindow() override { return this; }

  // Refreshes the list in place from the order list narrowed by the search condition
  // (empty: every row the filters let through): only cells whose text changed are
  // written, surplus rows go from the end. A select that fails leaves the list as it
  // is and says why.
  void FillList(const CString& condition);

  CListCtrl m_lstOrders;  // control 1000
  CString m_strCustomerName;
  CString m_strDeliveredDay;
  CString m_strPayment;
  CString m_strMemo;
  CString m_strContact;
  CString m_strTelephone;
  int m_bShowFinished = 0;     // filter "Job Finished", 0 or 1
  int m_bFinished = 0;         // the row's own flag, 0 or 1
  int m_bShowNotFinished = 0;  // filter "Job Not Finished", 0 or 1
  CString m_strExpectedDay;
  CString m_strCreatedDay;
  CString m_strJobName;
  HICON m_hIcon = nullptr;  // the program's icon (IDI_PROGRAM)

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  afx_msg void OnClose();
  afx_msg void OnReset();
  afx_msg void OnQuery();
  afx_msg void OnSave();
  afx_msg void OnDelete();
  afx_msg void OnClickList(NMHDR* nm, LRESULT* result);
  afx_msg void OnItemChangedList(NMHDR* nm, LRESULT* result);
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

 private:
  void InsertColumns();
  // The typed fields as a row of the statement builders.
  JobOrderRow FieldsAsRow() const;
  // Loads the row with the ident shown in the list's last column of that item into
  // the fields; an item index outside the list leaves them.
  void LoadRowOfItem(int item);
  // Stops at a row that cannot be read, after saying why.
  void FillListFrom(CADORecordset& records);
  // Writes a cell only when its text differs from what it shows.
  void SetCellText(int item, int column, const CString& text);
  enum JobRowLookup { kJobRowFound, kNoJobRow, kJobRowLookupFailed };
  // The ident of the typed job name's first row; kJobRowLookupFailed after showing why.
  JobRowLookup FindJobRow(int& ident);
  // Runs an insert, update or delete; false after showing the store's error text.
  bool ExecuteShowingError(const CString& sql);
  // The job name put into one of the message texts.
  CString JobMessage(UINT chineseId, UINT englishId) const;
};
