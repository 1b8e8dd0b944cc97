// Shows one of the device and tool dialogs over a few sample devices and tools, for a
// screenshot (scripts/screenshot.sh). The files go into "device_demo_<language>\" beside
// the program.
// usage: device_dialogs_demo.exe <language 0|1> <toolgroup|feedrate|attach|devices|device|input>
#include <cstdlib>
#include <cstring>

#include "device/device_params.h"
#include "device/device_text.h"
#include "device/links/net_devices.h"
#include "device/ui/attached_devices.h"
#include "device/ui/device_attach_dlg.h"
#include "device/ui/devices_dlg.h"
#include "device/ui/feedrate_dlg.h"
#include "device/ui/input_dlg.h"
#include "device/ui/new_device_dlg.h"
#include "device/ui/tool_group_dlg.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

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

// Three devices of the table, written to their files.
void MakeDevices() {
  const struct {
    const char* name;
    const char* description;
    double x, y, z;
    int home;
  } devices[] = {{"Router1325", "Wood router, 3 spindles", 1300, 2500, 200, 1},
                 {"Laser6040", "CO2 laser, 80 W", 600, 400, 50, 4},
                 {"Plasma1530", "Plasma cutter", 1500, 3000, 100, 2}};
  g_DeviceTable.m_nCount = 0;
  for (const auto& d : devices) {
    DeviceParams& rec = g_DeviceTable.m_records[g_DeviceTable.m_nCount++];
    rec.ResetForName(d.name);
    device_text::CopyField(rec.m_szName, sizeof rec.m_szName, d.name);
    device_text::CopyField(rec.m_szDescription, sizeof rec.m_szDescription, d.description);
    device_text::CopyField(rec.m_szControllerModel, sizeof rec.m_szControllerModel, "V5");
    device_text::CopyField(rec.m_szInitialString, sizeof rec.m_szInitialString, "IN;ZZ2;SP1");
    rec.m_dWorkX = d.x;
    rec.m_dWorkY = d.y;
    rec.m_dWorkZ = d.z;
    rec.m_nXYHome = d.home;
    rec.m_dResX = rec.m_dResY = rec.m_dResZ = 1016;
    rec.m_dMinSpeedX = rec.m_dMinSpeedY = rec.m_dMinSpeedZ = 0.5;
    rec.m_dMaxSpeedX = rec.m_dMaxSpeedY = 160;
    rec.m_dMaxSpeedZ = 50;
    rec.m_dMinXYStart = rec.m_dMinZStart = 0.5;
    rec.m_dMaxXYStart = rec.m_dMaxZStart = 8;
    rec.m_dLoForContinue = 8;
    rec.m_dCoeff = 17;
    rec.m_dMinK = 2;
    rec.m_dKRThreshold = 20;
    rec.m_dMinAccel = 0.5;
    rec.m_dMaxAccel = 640;
    rec.m_dParamN = 1;
    rec.m_dCornerSpeed = 50;
    rec.m_dCornerUp = 10;
    rec.m_nSpindles = 3;
    rec.m_nArcSupport = 1;
  }
  SaveDeviceTable();
}

// The attachment with an entry selected, as after the operator's click.
class CDemoAttachDlg : public CDeviceAttachDlg {
 public:
  using CDeviceAttachDlg::CDeviceAttachDlg;
  BOOL OnInitDialog() override {
    CDeviceAttachDlg::OnInitDialog();
    m_lstAttached.SetCurSel(1);
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ATTACH_LIST, LBN_SELCHANGE), (LPARAM)m_lstAttached.m_hWnd);
    return TRUE;
  }
};

BOOL DemoPortProbe(const char* name) { return strcmp(name, "COM3") == 0 || strcmp(name, "COM4") == 0; }

}  // namespace

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    g_strAppFolder = GetAppFolder() + (g_nUiLanguage ? "device_demo_1\\" : "device_demo_0\\");
    CreateFolderPath(g_strAppFolder);
    MakeDevices();
    const char* space = strchr(m_lpCmdLine, ' ');
    CString which = space ? space + 1 : "toolgroup";
    which.Trim();
    if (which == "feedrate") {
      CFeedrateDlg dlg(nullptr);
      AddTool(dlg.m_JobRecord, "T1", 120, 40, 10, 5, 640, 18000);
      AddTool(dlg.m_JobRecord, "T2", 120, 25.4, 8, 5, 640, 24000);
      AddTool(dlg.m_JobRecord, "T5", 100, 12.5, 4, 2.5, 320, 12000);
      Run(dlg);
    } else if (which == "attach") {
      CStringArray entries;
      entries.Add("Router1325@COM3:115200");
      entries.Add("Laser6040@NET:Carver-A:192.168.1.20:7878:192.168.1.5:7879");
      entries.Add("Plasma1530@SIMU:");
      WriteAttachedDevices(entries);
      g_FoundDevices.RemoveAll();
      g_FoundDevices.Add("Carver-A:192.168.1.20:7878:192.168.1.5:7879");
      CDeviceAttachDlg::SetComPortProbe(DemoPortProbe);
      CDemoAttachDlg dlg(nullptr);
      dlg.m_strDeviceName = "Laser6040";
      Run(dlg);
    } else if (which == "devices") {
      CDevicesDlg dlg(nullptr, -1);
      dlg.m_strPreselect = "Laser6040";
      Run(dlg);
    } else if (which == "device") {
      CNewDeviceDlg dlg(&g_DeviceTable.m_records[0], nullptr);
      Run(dlg);
    } else if (which == "input") {
      CString caption;
      caption.Format(LoadLangString(IDS_DEVICES_SAVE_AS_CN, IDS_DEVICES_SAVE_AS_EN), "Router1325");
      CInputDlg dlg(caption, nullptr);
      dlg.m_strText = "Router1325-B";
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
