// The Device Configuration dialog: the operator edits the controller ROM parameters of
// g_RomParamMap, loads and saves them as ".rom" files, and reads chosen parameters from
// a controller or writes them to it.
//
// The controller is reached through a job attached to it: each request goes to that
// job's engine as engine command 15 (CJobManager::SendRomParam), the engine sends it
// on, and the controller's answer line ("B<index>,<flag>,<value>") comes back through
// the job table and the main window as kEngineLineMessage. Requests go one at a time;
// an answer sends the next one, a silence of Timeout ms sends the same one again, and
// a query that has used its Repeat resends ends with "Communication timeout !".
#pragma once

#include <deque>

#include "device/rom_params.h"
#include "foundation/draw/progress_bar.h"
#include "platform/win/framework.h"
#include "ui/anchor_layout.h"
#include "ui/xlist_ctrl.h"

class CDeviceConfigDlg : public CDialog, public RomParamFile, public CAnchorLayout {
 public:
  explicit CDeviceConfigDlg(CWnd* parent = nullptr);
  ~CDeviceConfigDlg() override;

  CWnd* GetAnchoredWindow() override { return this; }

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  afx_msg void OnDelete();
  afx_msg void OnUpdateList();
  afx_msg void OnReadFromDevice() { StartQuery(1); }
  afx_msg void OnWriteToDevice() { StartQuery(0); }
  afx_msg void OnSaveAllToFile();
  afx_msg void OnLoadFromFile();
  afx_msg void OnListClick(NMHDR* nm, LRESULT* result);
  afx_msg void OnListItemChanged(NMHDR* nm, LRESULT* result);
  afx_msg void OnJobSelChange();
  afx_msg void OnValueSelChange();
  afx_msg void OnClearAll();
  afx_msg void OnStop();
  afx_msg void OnSelectAll();
  afx_msg void OnDeselectAll();
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnSize(UINT type, int cx, int cy);
  // kEngineLineMessage from the main window: wParam 1, lParam a heap text (delete[]).
  afx_msg LRESULT OnDeviceReply(WPARAM wParam, LPARAM lParam);

  void RefreshParamList();
  void ShowParam(const char* indexText);
  void StartQuery(int reading);
  void StoreDeviceValue(const char* indexText, const char* flagText, const char* valueText);
  void UpdateControls();

  BOOL IsQueryRunning() const { return m_bBusy; }
  int GetRetriesLeft() const { return m_nRetriesLeft; }
  const CStringArray& GetPendingIndexes() const { return m_arrPending; }

  // Timers.
  static constexpr UINT_PTR kTimerControls = 1;  // progress and button states
  static constexpr UINT_PTR kTimerRefresh = 2;   // the list from the map
  static constexpr UINT_PTR kTimerAnswer = 3;    // an answer is overdue
  static constexpr UINT kControlsPeriod_ms = 200;
  static constexpr UINT kRefreshPeriod_ms = 1000;

  // Controls.
  CXListCtrl m_list;
  CComboBox m_cmbClass;
  CComboBox m_cmbType;
  CComboBox m_cmbValue;  // the value's choices, in the place of the value edit
  CComboBox m_cmbJob;    // "<job>@<device>" of every attached job
  CProgressBar m_progress;

  // Texts bound to the edits.
  CString m_strIndex;
  CString m_strMemo;
  CString m_strValue;
  CString m_strFilePath;  // the file loaded last; empty when the template is unavailable

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

 private:
  void InsertColumns();
  void AnchorControls();
  void LoadChoices();
  void SelectChoice(CComboBox& combo, const CString& text);
  CString ChosenText(const CComboBox& combo) const;
  CString CurrentJobName() const;
  // Sends the current request to the job's engine and disables the two query buttons.
  void SendRomRequest();
  void EndQuery();
  void SetMainWindowViewer(BOOL on);
  int CheckedRows() const;

  volatile LONG m_lStop = 0;        // "Stop" was pressed; taken at the next answer
  volatile LONG m_lRefreshing = 0;  // the list is being rebuilt: its notifications are ignored

  // The running query.
  BOOL m_bBusy = FALSE;
  int m_nReading = 1;      // 1 read, 0 write
  int m_nRetriesLeft = 0;  // resends left for the whole query
  WORD m_nRepeat = 3;      // [RomExchange] "Repeat"
  WORD m_nTimeout = 3000;  // [RomExchange] "Timeout", ms
  WORD m_nTotal = 0;       // indexes of the running query
  CString m_strJobName;
  CStringArray m_arrPending;  // "0x%02x" of each index not answered yet
  std::deque<RomParamRequest> m_queue;
  RomParamRequest m_current = {};

  CFont m_font;  // the progress text's
  CImageList m_images;
  BOOL m_bRegistered = FALSE;  // the main window forwards controller lines here
};
