// The main window's part in the controller lines, for the tests and demos of the dialogs
// that take them: it is the job table's engine-line window, runs the supervision pass
// every 100 ms as the main window's timer does, keeps the one registered viewer
// (kEngineLineMessage with wParam 0, lParam the viewer's window or 0) and forwards each
// line to it (wParam 1, the same heap text); a line without a viewer is freed.
#pragma once

#include <string>
#include <vector>

#include "platform/win/framework.h"

class CMainWindowStandIn : public CWnd {
 public:
  ~CMainWindowStandIn() override;
  // A hidden top-level window, made the job table's engine-line window.
  BOOL Create();

  HWND m_hViewer = nullptr;          // the registered viewer; null when none
  std::vector<std::string> m_lines;  // every line that came from the job table, in order

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static constexpr UINT_PTR kTimerMonitor = 1;
};
