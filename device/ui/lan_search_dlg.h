// The LAN search dialog: runs a discover-only UDP link for five seconds, broadcasting
// Enum once a second, and lists the controllers that answered. The result also stays
// in g_FoundDevices for the device attachment.
#pragma once

#include "device/links/udp_link.h"
#include "foundation/draw/progress_bar.h"
#include "platform/win/framework.h"

class CLanSearchDlg : public CDialog {
 public:
  CLanSearchDlg(CWnd* parent, WORD port);
  ~CLanSearchDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;      // the Search button
  void OnCancel() override;  // the Close button
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg LRESULT OnSocketNotify(WPARAM socket, LPARAM event);

  int GetProbesLeft() const { return m_nProbesLeft; }
  BOOL IsSearching() const { return m_pLink != nullptr; }

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  static constexpr int kProbes = 5;  // Enum broadcasts of one search
  static constexpr UINT_PTR kTimerProbe = 1;
  static constexpr UINT kProbeInterval_ms = 1000;
  void EnableButtons(BOOL enable);
  void EndSearch();

  CFont m_font;                 // the bar's text font
  CProgressBar m_progress;      // control 1053
  CListBox m_list;              // control 1023
  HICON m_hIcon = nullptr;      // the program's icon
  int m_nProbesLeft = kProbes;  // Enum broadcasts still to come
  WORD m_nPort;                 // where the controllers listen
  CUdpLink* m_pLink = nullptr;  // the running search; null when none
};
