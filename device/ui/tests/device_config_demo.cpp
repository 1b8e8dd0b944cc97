// Shows the Device Configuration dialog over the template's parameters for a screenshot
// (scripts/screenshot.sh): three rows ticked, one shown in the fields, the progress bar
// at 2 of 3. Its files go to "device_config_demo_<language>\" beside the program.
// usage: device_config_demo.exe <language 0|1>
#include <cstdlib>

#include "device/ui/device_config_dlg.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

namespace {

class CDemoDlg : public CDeviceConfigDlg {
 public:
  using CDeviceConfigDlg::CDeviceConfigDlg;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CDeviceConfigDlg::OnInitDialog();
    for (int row : {0, 5, 12}) m_list.SetCellCheck(row, 0, 1);
    m_list.SetItemState(5, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    CString format;
    format.Format(LoadLangString(IDS_ROM_PROGRESS_CN, IDS_ROM_PROGRESS_EN), 3);
    m_progress.SetTextFormat(format, PPS_TEXT_POSITION);
    m_progress.SetRange(0, 3);
    m_progress.SetPosition(2);
    KillTimer(kTimerControls);  // keeps the bar where it is
    UpdateControls();
    return result;
  }
};

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    g_strAppFolder = GetAppFolder() + (g_nUiLanguage == 0 ? "device_config_demo_0\\" : "device_config_demo_1\\");
    platform::MakeDirectory(g_strAppFolder);
    CDemoDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
  }
};

}  // namespace

CDemoApp theApp;
