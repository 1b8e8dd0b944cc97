// Shows the tool dialogs over the default tools for screenshots (scripts/screenshot.sh):
// the Tool Database with a conical tool chosen, or the Tool Definition of that tool.
// Their "Cutter.db" goes to "tool_dlg_demo_<language>\" beside the program.
// usage: tool_dlg_demo.exe <language 0|1> [def]
#include <cstdlib>
#include <cstring>

#include "device/ui/tool_database_dlg.h"
#include "device/ui/tool_def_dlg.h"
#include "foundation/settings.h"

namespace {

class CDemoDatabaseDlg : public CToolDatabaseDlg {
 public:
  using CToolDatabaseDlg::CToolDatabaseDlg;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CToolDatabaseDlg::OnInitDialog();
    m_list.SetItemState(6, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return result;
  }
};

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    g_strAppFolder = GetAppFolder() + (g_nUiLanguage == 0 ? "tool_dlg_demo_0\\" : "tool_dlg_demo_1\\");
    platform::MakeDirectory(g_strAppFolder);
    BuildDefaultTools();
    SaveCutterTable();
    if (strstr(m_lpCmdLine, "def")) {
      CToolDefDlg dlg(nullptr, &g_CutterTable.m_records[6]);
      m_pMainWnd = &dlg;
      dlg.DoModal();
    } else {
      CDemoDatabaseDlg dlg(nullptr, 1);
      m_pMainWnd = &dlg;
      dlg.DoModal();
    }
    m_pMainWnd = nullptr;
    return FALSE;
  }
};

}  // namespace

CDemoApp theApp;
