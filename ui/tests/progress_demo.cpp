// Shows the progress strip over a main window for a screenshot.
// usage: progress_demo.exe <language 0|1> [seconds]
#include <cstdlib>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/progress_dlg.h"

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    const char* space = strchr(m_lpCmdLine, ' ');
    DWORD seconds = space ? (DWORD)atoi(space + 1) : 8;
    CWnd main;
    m_pMainWnd = &main;
    main.CreateEx(0, CWnd::RegisterClass(0, nullptr, (HBRUSH)(COLOR_BTNFACE + 1)),
                  LoadLangString(IDS_APP_TITLE_CN, IDS_APP_TITLE_EN), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                  CRect(40, 40, 720, 520), nullptr, 0);
    CProgressDlg strip(nullptr);
    strip.Create(PickLangId(IDD_PROGRESS_CN, IDD_PROGRESS_EN));
    strip.m_wndProgress.SetTextFormat("%d%%", PPS_TEXT_PERCENT);
    strip.ShowWindow(SW_SHOWNORMAL);
    DWORD start = ::GetTickCount();
    for (DWORD t = 0; t < seconds * 1000; t = ::GetTickCount() - start) {
      strip.SetProgress((int)(t / 40 > 45 ? 45 : t / 40), 100);
      platform::PumpMessages();
      ::Sleep(5);
    }
    strip.DestroyWindow();
    main.DestroyWindow();
    m_pMainWnd = nullptr;
    return FALSE;
  }
};

CDemoApp theApp;
