// CProgressDlg: the modeless progress strip shown while a long operation runs on the
// UI thread (import, optimise, add a job, path records, snapshot, port scan).
//
// It owns no work and no loop: the operation pushes its position, drains the message
// queue itself (platform::PumpMessages) so that the strip repaints and Cancel
// arrives, and polls IsCanceled. The templates are child windows; the strip is
// created as a topmost popup owned by its parent (or the main window) so that it
// stays above the windows it reports on.
#pragma once

#include "foundation/draw/progress_bar.h"
#include "platform/progress.h"
#include "platform/win/framework.h"

class CProgressDlg : public CDialog, public CProgressSink {
 public:
  explicit CProgressDlg(CWnd* parent = nullptr);
  ~CProgressDlg() override;

  // Template PickLangId(139, 140); parent null: owned by the main window.
  BOOL Create(UINT templateId, CWnd* parent = nullptr) override;
  BOOL DestroyWindow() override { return CDialog::DestroyWindow(); }

  // Two stores; timer 1 carries them to the bar within 50 ms.
  void SetProgress(int position, int range) override;
  // Non-zero once the operator pressed Cancel.
  BOOL IsCanceled() override { return m_bCanceled; }
  void MakeTopmost();

  CProgressBar m_wndProgress;  // control 1053; callers set its text format
  CFont m_font;                // the bar's text
  volatile LONG m_nRange = 1;  // upper end, lower end always 0
  volatile LONG m_nPos = 0;
  volatile LONG m_bCanceled = 0;  // written by interlocked exchange only

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override;
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnClose() {}  // the operator cannot close the strip
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()
};
