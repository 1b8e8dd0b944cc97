// CPathTrackingDemoDlg, "Path Tracking Demo": replays a job's stored toolpath as an
// animation, so that the operator sees in which order and where the machine will cut.
// The main window's job menu runs it modally with the job's name.
//
// A worker thread rebuilds the job's program from its ".structs" file while the view
// shows the percentage; Start stays disabled until it has finished, so the program is
// never read and written at once. The worker shares only its counters with the dialog
// and never touches a window: it posts its end. Closing stops it and waits for it
// before the program is freed; since the worker waits on nothing of the window, the
// wait always ends.
//
// Replay: a 10 ms timer draws up to "speed" moves into an off-screen bitmap and the
// view copies the bitmap.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "foundation/draw/offscreen_dc.h"
#include "jobs/job_record.h"
#include "jobs/review/tracking_replay.h"
#include "jobs/ui/gdi_preview_canvas.h"
#include "jobs/ui/picture_frame.h"
#include "nc/optimize/path_optimizer.h"
#include "platform/win/framework.h"
#include "ui/anchor_layout.h"

class CPathTrackingDemoDlg : public CDialog, public CAnchorLayout {
 public:
  CPathTrackingDemoDlg(CWnd* parent, const char* jobName);
  ~CPathTrackingDemoDlg() override;

  CWnd* GetAnchoredWindow() override { return this; }

  BOOL StartTracking2D();
  // FALSE once the replay has ended (the timer stops; the button still reads "Stop").
  BOOL StepTracking2D(int n);
  BOOL StopTracking2D();

  BOOL IsRunning() const { return m_bRunning; }
  BOOL IsLoaderIdle() const { return m_lLoaderIdle.load() != 0; }
  LONG LoadedRecords() const { return m_load.lLoadedRecords.load(); }
  LONG TotalRecords() const { return m_load.lTotalRecords.load(); }
  CNCProgram& Program() { return m_program; }
  const CTrackingReplay& Replay() const { return m_replay; }
  // The replay's picture; null while not running.
  CMemoryBitmapDC* ViewBitmap() const { return m_pViewDC.get(); }

  // Dialog data.
  CString m_strStartTag;
  CString m_strEndTag;
  CString m_strJobName;      // edit 1015; read when the loader starts
  int m_bShowWorkSpace = 0;  // check 1284
  int m_nSpeed = 10;         // moves per tick, slider 1279 (1..100)
  int m_nViewMode = 1;       // 1 XY, 2 YZ, 3 ZX, 4 oblique

  JobRecord m_job;          // the job, from the job table
  long long m_nCopies = 1;  // copies of the job, each count at least 1
  CRect m_rcView;           // the view's client area less 1 pixel each side

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;      // Start / Stop
  void OnCancel() override;  // stops the loader, frees the program, closes
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnXYView();
  afx_msg void OnYZView();
  afx_msg void OnZXView();
  afx_msg void On3DView();
  afx_msg void OnSpeedChanged(NMHDR* nm, LRESULT* result);
  afx_msg LRESULT OnLoaderDone(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  enum { kTimerStep = 1, kTimerRepaint = 2, kStep_ms = 10, kLoadRepaint_ms = 50, kRunRepaint_ms = 10 };
  void StartLoader();
  static void LoaderThread(CPathTrackingDemoDlg* dlg, CString path, HWND hwnd);
  void StopLoader();
  void SetViewMode(int mode);
  void EnableControls();
  void PaintView(CDC& dc);
  void DrawBanner(CDC& dc, const CString& text, BOOL tiled);

  CPathOptimizer m_program;  // rebuilt by the loader
  CSliderCtrl m_wndSpeed;    // 1279
  CPictureFrame m_wndView;   // 1277
  HICON m_hIcon = nullptr;
  BOOL m_bRunning = FALSE;
  BOOL m_bClosing = FALSE;

  // Shared with the loader thread; changed only atomically.
  TrackingLoadCounters m_load;
  std::atomic<LONG> m_lLoaderIdle{1};  // 0 from before the loader starts until it ends
  std::thread m_loader;

  CTrackingReplay m_replay;
  std::unique_ptr<CMemoryBitmapDC> m_pViewDC;    // the replay's picture while running
  std::unique_ptr<CGdiPreviewCanvas> m_pCanvas;  // drawing on it
};

// Posted by the loader thread when it has finished.
constexpr UINT WM_TRACKING_LOADED = WM_APP + 0x131;
