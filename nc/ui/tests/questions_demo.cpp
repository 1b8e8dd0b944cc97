// Shows one of the NC readers' questions for a screenshot.
// usage: nc_questions_demo.exe <language 0|1> <format|seed>
#include <cstdlib>
#include <cstring>

#include "foundation/settings.h"
#include "nc/ui/format_select_dlg.h"
#include "nc/ui/random_seed_dlg.h"

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_strAppFolder = GetAppFolder();
    g_nUiLanguage = std::atoi(m_lpCmdLine) == 0 ? 0 : 1;
    if (std::strstr(m_lpCmdLine, "seed")) {
      CRandomSeedDlg dlg;
      dlg.m_strSeed = "7";
      Show(dlg);
    } else {
      CFormatSelectDlg dlg;
      dlg.m_strText = "[Line 3 (items=6)] PA1,2,3,4,5,6;";
      Show(dlg);
    }
    return FALSE;
  }

 private:
  void Show(CDialog& dlg) {
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
};

CDemoApp theApp;
