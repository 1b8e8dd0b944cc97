#include "device/ui/tests/main_window_stand_in.h"

#include "jobs/table/job_manager.h"

CMainWindowStandIn::~CMainWindowStandIn() {
  if (m_hWnd) {
    CJobManager::SetEngineLineWindow(nullptr);
    DestroyWindow();
  }
}

BOOL CMainWindowStandIn::Create() {
  LPCTSTR cls = CWnd::RegisterClass(0, nullptr, (HBRUSH)(COLOR_BTNFACE + 1));
  if (!CWnd::CreateEx(0, cls, "main", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0)) return FALSE;
  CJobManager::SetEngineLineWindow(m_hWnd);
  SetTimer(kTimerMonitor, 100);
  return TRUE;
}

LRESULT CMainWindowStandIn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimerMonitor) {
    CJobManager::MonitorJobs();
    return 0;
  }
  if (message == kEngineLineMessage) {
    if (wParam == 0) {
      m_hViewer = (HWND)lParam;
      return 0;
    }
    char* text = (char*)lParam;
    if (text) m_lines.push_back(text);
    if (!m_hViewer || !::PostMessageA(m_hViewer, kEngineLineMessage, 1, lParam)) delete[] text;
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}
