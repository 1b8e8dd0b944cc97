// Shows one of the device and tool dialogs over a few sample devices and tools, for a
// screenshot (scripts/screenshot.sh). The files go into "device_demo_<language>\" beside
// the program.
// usage: device_dialogs_demo.exe <language 0|1> <toolgroup|feedrate>
#include <cstdlib>
#include <cstring>

#include "device/ui/feedrate_dlg.h"
#include "device/ui/tool_group_dlg.h"
#include "foundation/settings.h"
#include "foundation/texts.h"

namespace {

// The tool grouping with two groups typed, as the operator leaves it before OK.
class CDemoToolGroupDlg : public CToolGroupDlg {
 public:
  using CToolGroupDlg::CToolGroupDlg;
  BOOL OnInitDialog() override {
    CToolGroupDlg::OnInitDialog();
    m_list.SetItemText(0, 1, "1,2", kToolTextEdited, RowBackground(0));
    m_list.SetItemText(3, 1, "1,2,3", kToolTextEdited, RowBackground(3));
    SetWindowText(m_strTitle + " *");
    GetDlgItem(IDOK)->EnableWindow(TRUE);
    return TRUE;
  }
};

void AddTool(JobRecord& record, const char* key, double traverse, double feed, double plunge, double start,
             double accel, double spindle) {
  ToolSpeedEntry& e = record.ToolSpeeds[record.ToolCount++];
  strncpy(e.Key, key, sizeof e.Key - 1);
  e.Traverse = traverse;
  e.Feed = feed;
  e.Plunge = plunge;
  e.Start = start;
  e.Acceleration = accel;
  e.SpindleSpeed = spindle;
}

}  // namespace

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_strAppFolder = GetAppFolder();
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    const char* space = strchr(m_lpCmdLine, ' ');
    CString which = space ? space + 1 : "toolgroup";
    which.Trim();
    if (which == "feedrate") {
      CFeedrateDlg dlg(nullptr);
      AddTool(dlg.m_JobRecord, "T1", 120, 40, 10, 5, 640, 18000);
      AddTool(dlg.m_JobRecord, "T2", 120, 25.4, 8, 5, 640, 24000);
      AddTool(dlg.m_JobRecord, "T5", 100, 12.5, 4, 2.5, 320, 12000);
      Run(dlg);
    } else {
      CDemoToolGroupDlg dlg(nullptr);
      Run(dlg);
    }
    return FALSE;
  }

 private:
  void Run(CDialog& dlg) {
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
  }
};

CDemoApp theApp;
