// Shows the editable list filled as a job list, with one machine cell's choice open,
// for a screenshot (scripts/screenshot.sh).
// usage: xlist_demo.exe <language 0|1> [seconds]
#include <algorithm>
#include <cstdlib>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/adv_combo_box.h"
#include "ui/xcombo.h"
#include "ui/xlist_ctrl.h"

namespace {

enum Column { kJob, kRun, kMachine, kState, kProgress, kNote, kColumns };

struct DemoRow {
  const char* job;
  int run;      // check state
  int machine;  // index into the machine names
  const char* state;
  COLORREF stateText, stateBack;
  int percent;
  UINT noteCn, noteEn;  // 0: no note
};

const char* const kMachines[] = {"Router-1325", "Router-2030", "Laser-6040", "Plasma-1530"};

const DemoRow kRows[] = {
    {"Sign_A.nc", 1, 0, "TRANSMITTING", RGB(0, 0, 160), RGB(255, 255, 225), 62, IDS_XLIST_NOTE_TOOL_CN,
     IDS_XLIST_NOTE_TOOL_EN},
    {"门板_01.nc", 1, 1, "READY", RGB(0, 110, 0), RGB(255, 255, 255), 0, IDS_XLIST_NOTE_SIDES_CN,
     IDS_XLIST_NOTE_SIDES_EN},
    {"Logo_laser.plt", 0, 2, "FINISHED", RGB(96, 96, 96), RGB(255, 255, 255), 100, IDS_XLIST_NOTE_MDF_CN,
     IDS_XLIST_NOTE_MDF_EN},
    {"Relief_3D.cam", 0, 3, "ERROR", RGB(255, 255, 255), RGB(200, 30, 30), 35, IDS_XLIST_NOTE_WAIT_CN,
     IDS_XLIST_NOTE_WAIT_EN},
    {"Panel_B.nc", 1, 1, "ATTACHED", RGB(0, 0, 0), RGB(225, 240, 255), 0, 0, 0},
};
const int kOpenRow = 1;  // the row whose machine choice is shown open

class CXListDemoDlg : public CDialog {
 public:
  CXListDemoDlg() : CDialog(PickLangId(IDD_XLIST_DEMO_CN, IDD_XLIST_DEMO_EN)) {
    for (const char* name : kMachines) m_machines.Add(name);
  }

  // Opens the machine choice of a row as the operator's click does, and its list.
  void OpenMachineChoice(int row) {
    CRect cell;
    if (!m_list.GetCellRect(row, kMachine, cell)) return;
    CPoint at = cell.CenterPoint();
    m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    m_list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    if (CXCombo* combo = m_list.GetInCellCombo()) combo->SendMessage(WM_ACB_DROPDOWN_BUTTON);
  }

  CXListCtrl m_list;
  CStringArray m_machines;  // the machine cells' choices: lives as long as the list

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_XLIST_DEMO_LIST, m_list);
  }

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    InsertColumns();
    for (int r = 0; r < (int)(sizeof kRows / sizeof kRows[0]); ++r) FillRow(r, kRows[r]);
    // The run column carries a header box: ticked when every job is to run.
    HDITEMA item = {};
    item.mask = HDI_IMAGE;
    item.iImage = 1;
    m_list.GetXHeader().SetItem(kRun, &item);
    m_list.SetCellCheck(0, kRun, 1);
    m_list.EnableToolTips(TRUE);
    return TRUE;
  }

 private:
  // Widths from the texts in the list's font, so that both languages fit.
  int TextWidth(LPCTSTR text) { return (int)m_list.SendMessage(LVM_GETSTRINGWIDTHA, 0, (LPARAM)text); }

  void InsertColumns() {
    const UINT titles[kColumns][2] = {
        {IDS_XLIST_COL_JOB_CN, IDS_XLIST_COL_JOB_EN},           {IDS_XLIST_COL_RUN_CN, IDS_XLIST_COL_RUN_EN},
        {IDS_XLIST_COL_MACHINE_CN, IDS_XLIST_COL_MACHINE_EN},   {IDS_XLIST_COL_STATE_CN, IDS_XLIST_COL_STATE_EN},
        {IDS_XLIST_COL_PROGRESS_CN, IDS_XLIST_COL_PROGRESS_EN}, {IDS_XLIST_COL_NOTE_CN, IDS_XLIST_COL_NOTE_EN},
    };
    int widths[kColumns] = {};
    for (int c = 0; c < kColumns; ++c) widths[c] = TextWidth(LoadLangString(titles[c][0], titles[c][1])) + 20;
    for (const DemoRow& row : kRows) {
      widths[kJob] = std::max(widths[kJob], TextWidth(row.job) + 16);
      widths[kState] = std::max(widths[kState], TextWidth(row.state) + 16);
      if (row.noteCn) widths[kNote] = std::max(widths[kNote], TextWidth(LoadLangString(row.noteCn, row.noteEn)) + 16);
    }
    widths[kRun] += 18;  // the header box
    for (const char* name : kMachines)
      widths[kMachine] = std::max(widths[kMachine], TextWidth(name) + 16 + ::GetSystemMetrics(SM_CXHSCROLL));
    widths[kProgress] = std::max(widths[kProgress], TextWidth("100%") + 60);
    CRect client;
    m_list.GetClientRect(&client);
    int used = 0;
    for (int c = 0; c < kNote; ++c) used += widths[c];
    widths[kNote] = std::max(widths[kNote], (int)client.Width() - used);
    for (int c = 0; c < kColumns; ++c)
      m_list.InsertColumn(c, LoadLangString(titles[c][0], titles[c][1]), c == kRun ? LVCFMT_CENTER : LVCFMT_LEFT,
                          widths[c]);
  }

  void FillRow(int r, const DemoRow& row) {
    m_list.InsertItem(r, row.job);
    m_list.SetCellCheck(r, kRun, row.run);
    m_list.SetCellCombo(r, kMachine, TRUE, &m_machines, 10, row.machine);
    m_list.SetCellTip(r, kMachine, LoadLangString(IDS_XLIST_TIP_MACHINE_CN, IDS_XLIST_TIP_MACHINE_EN));
    m_list.SetItemText(r, kState, row.state, row.stateText, row.stateBack);
    m_list.SetCellProgress(r, kProgress, TRUE, "%d%%");
    m_list.SetCellPercent(r, kProgress, row.percent);
    if (row.noteCn) m_list.SetItemText(r, kNote, LoadLangString(row.noteCn, row.noteEn));
    m_list.SetCellEditable(r, kNote);
  }
};

class CDemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    g_nUiLanguage = atoi(m_lpCmdLine) == 0 ? 0 : 1;
    const char* space = strchr(m_lpCmdLine, ' ');
    DWORD seconds = space ? (DWORD)atoi(space + 1) : 8;
    CXListDemoDlg dlg;
    if (!dlg.Create(PickLangId(IDD_XLIST_DEMO_CN, IDD_XLIST_DEMO_EN))) return FALSE;
    m_pMainWnd = &dlg;
    dlg.ShowWindow(SW_SHOWNORMAL);
    Pump(400);
    dlg.OpenMachineChoice(kOpenRow);
    Pump(seconds * 1000);
    dlg.DestroyWindow();
    m_pMainWnd = nullptr;
    return FALSE;
  }

 private:
  static void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
      platform::PumpMessages();
      ::Sleep(5);
    }
  }
};

}  // namespace

CDemoApp theApp;
