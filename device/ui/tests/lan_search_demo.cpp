// Shows the LAN search dialog for a screenshot (run beside the test controller).
// usage: lan_search_demo.exe <language 0|1> <port>
#include <cstdlib>
#include <cstring>

#include "device/ui/lan_search_dlg.h"
#include "device/links/udp_socket.h"
#include "foundation/settings.h"

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    static const LocalAddressRow rows[] = {{inet_addr("127.1.2.3"), inet_addr("255.0.0.0")}};
    SetLocalAddressRowsForTests(rows, 1);  // loopback broadcasts only
    g_strAppFolder = GetAppFolder();
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    const char* space = strchr(m_lpCmdLine, ' ');
    CLanSearchDlg dlg(nullptr, (WORD)(space ? atoi(space + 1) : kUdpDiscoveryPort));
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    WSACleanup();
    return FALSE;
  }
};

CDemoApp theApp;
