// CFinalPathReviewDlg, "Path Review": lists a job's stored toolpath (its ".structs"
// file, mapped read-only for each listing) in a colour-coded list, within a tag range,
// a line limit and three filters. The main window's job menu runs it modally.
//
// A listing runs on the UI thread and lets messages through every 200 records. While
// it runs the dialog cannot be closed; a Refresh or a filter change meanwhile ends it
// at its next pause and lists again, so the list always ends with the last listing.
#pragma once

#include "jobs/ui/color_list_box.h"
#include "platform/win/framework.h"
#include "platform/win/runtime_class.h"
#include "ui/anchor_layout.h"

class CFinalPathReviewDlg : public CDialog, public CAnchorLayout {
  DECLARE_DYNCREATE(CFinalPathReviewDlg)

 public:
  explicit CFinalPathReviewDlg(CWnd* parent = nullptr, const char* jobName = "");
  ~CFinalPathReviewDlg() override;

  CWnd* GetAnchoredWindow() override { return this; }

  // Lists the file's records from tag `startTag` to tag `endTag`.
  void ListRecords(const char* file, long startTag, long endTag);
  BOOL IsBusy() const { return m_bBusy; }

  CString m_strJobName;
  CString m_strReviewFile;  // the file listed last
  CColorListBox m_wndList;  // control 1120
  CString m_strStartTag = "0";
  CString m_strEndTag = "100";
  CString m_strLineLimit = "1000";
  int m_bShowDiscarded = 0;
  int m_bShowInterpolation = 0;
  int m_bShowUnchanged = 0;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  afx_msg void OnClose();
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnRefresh();
  afx_msg void OnShowDiscarded();
  afx_msg void OnShowInterpolation();
  afx_msg void OnShowUnchanged();
  DECLARE_MESSAGE_MAP()

 private:
  class CListSink;
  enum { kTimerFirstListing = 1, kFirstListingDelay_ms = 20 };

  BOOL m_bBusy = FALSE;     // a listing runs
  BOOL m_bRelist = FALSE;   // a new listing was asked for while one ran
  HICON m_hIcon = nullptr;  // the program's icon 128
};
