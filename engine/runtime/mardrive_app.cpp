// The job engine program: one hidden dialog for the life of the process.
#include <winsock2.h>

#include "device/device_params.h"
#include "engine/runtime/engine_settings.h"
#include "engine/runtime/mardrive_dlg.h"
#include "foundation/settings.h"
#include "platform/win/app.h"

class CMardriveApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

CMardriveApp theApp;

BOOL CMardriveApp::InitInstance() {
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return FALSE;
  g_strAppFolder = GetAppFolder();
  EngineTraceSettings trace;
  LoadTraceSettings(trace);
  LoadDeviceTable();
  {
    CMardriveDlg dlg(trace);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
  ::WSACleanup();
  return FALSE;
}
