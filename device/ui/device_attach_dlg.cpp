#include "device/ui/device_attach_dlg.h"

#include <cstdlib>

#include "device/device_params.h"
#include "device/links/net_devices.h"
#include "device/ui/attached_devices.h"
#include "device/ui/devices_dlg.h"
#include "device/ui/lan_search_dlg.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"
#include "ui/progress_dlg.h"

namespace {

CDeviceAttachDlg::ComPortProbe g_probe = nullptr;

const int kBaudButtons[kBaudRates] = {1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, IDC_ATTACH_BAUD_230400};

// The number after "COM" (0 when none).
int ComNumber(const CString& text) {
  if (text.GetLength() < 4 || text.Left(3).CompareNoCase("COM") != 0) return 0;
  return atoi(text.Mid(3));
}

}  // namespace

WORD ConnectionMode(const char* connection) {
  CString text(connection);
  if (text.Left(3).CompareNoCase("COM") == 0) {
    // "COM" and digits, then ":" or the end.
    int i = 3;
    while (i < text.GetLength() && text[i] >= '0' && text[i] <= '9') ++i;
    int port = i > 3 && i <= 5 ? atoi(text.Mid(3, i - 3)) : 0;
    if (port >= kModeFirstCom && port <= kModeLastCom && (i == text.GetLength() || text[i] == ':')) return (WORD)port;
    return kModeUnknown;
  }
  if (text.Find("NET:") >= 0) return kModeNet;
  if (text.Find("SIMU:") >= 0) return kModeDummy;
  if (text.Find("FILE:") >= 0) return kModeFile;
  return kModeUnknown;
}

BEGIN_MESSAGE_MAP(CDeviceAttachDlg, CDialog)
  ON_BN_CLICKED(IDC_ATTACH_MODE_COM, &CDeviceAttachDlg::OnModeCom)
  ON_BN_CLICKED(IDC_ATTACH_MODE_NET, &CDeviceAttachDlg::OnModeNet)
  ON_BN_CLICKED(IDC_ATTACH_MODE_FILE, &CDeviceAttachDlg::OnModeFile)
  ON_BN_CLICKED(IDC_ATTACH_MODE_DUMMY, &CDeviceAttachDlg::OnModeDummy)
  ON_CBN_SELCHANGE(IDC_ATTACH_PORT_LIST, &CDeviceAttachDlg::OnPortChange)
  ON_BN_CLICKED(IDC_ATTACH_BROWSE, &CDeviceAttachDlg::OnBrowse)
  ON_BN_CLICKED(IDC_ATTACH_DISCOVERY, &CDeviceAttachDlg::OnDiscovery)
  ON_BN_CLICKED(IDC_ATTACH_REMOVE, &CDeviceAttachDlg::OnDelete)
  ON_LBN_SELCHANGE(IDC_ATTACH_LIST, &CDeviceAttachDlg::OnSelect)
  ON_BN_CLICKED(IDC_ATTACH_DEVICE_CONFIG, &CDeviceAttachDlg::OnDeviceConfig)
END_MESSAGE_MAP()

CDeviceAttachDlg::CDeviceAttachDlg(CWnd* parent)
    : CDialog(PickLangId(IDD_DEVICE_ATTACH_CN, IDD_DEVICE_ATTACH_EN), parent), m_strNetPort("7878") {}

CDeviceAttachDlg::ComPortProbe CDeviceAttachDlg::SetComPortProbe(ComPortProbe probe) {
  ComPortProbe old = g_probe;
  g_probe = probe;
  return old;
}

BOOL CDeviceAttachDlg::IsComPortPresent(const char* portName) {
  if (g_probe) return g_probe(portName);
  CString path = CString("\\\\.\\") + portName;
  HANDLE port =
      ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return FALSE;
  ::CloseHandle(port);
  return TRUE;
}

void CDeviceAttachDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ATTACH_LIST, m_lstAttached);
  DDX_Control(dx, IDC_ATTACH_DEVICE_LIST, m_cbDevices);
  DDX_Control(dx, IDC_ATTACH_PORT_LIST, m_cbPorts);
  DDX_Control(dx, IDC_ATTACH_NET_LIST, m_cbNet);
  DDX_Radio(dx, IDC_ATTACH_BAUD_2400, m_nBaudChoice);
  DDX_Text(dx, IDC_ATTACH_FILE_PATH, m_strFilePath);
  DDX_Text(dx, IDC_ATTACH_NET_PORT, m_strNetPort);
  DDX_Text(dx, IDC_ATTACH_SELECTION, m_strSelection);
}

void CDeviceAttachDlg::FillNetList() {
  m_cbNet.ResetContent();
  for (const CString& found : g_FoundDevices) {
    int item = m_cbNet.AddString(found);
    if (found.Find(m_strNetText) >= 0) m_cbNet.SetCurSel(item);
  }
}

BOOL CDeviceAttachDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  m_cbPorts.ResetContent();
  FillNetList();

  CString wanted(m_strDeviceName);
  wanted.Trim();
  int select = 0;
  {
    CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
    for (int i = 0; i < g_DeviceTable.m_nCount; ++i) {
      CString name(g_DeviceTable.m_records[i].m_szName);
      name.Trim();
      int item = m_cbDevices.AddString(name);
      if (name == wanted) select = item;
    }
  }
  if (m_cbDevices.GetCount() > 0) m_cbDevices.SetCurSel(select);

  CStringArray entries;
  ReadAttachedDevices(entries);
  for (const CString& entry : entries) m_lstAttached.AddString(entry);
  UpdateData(FALSE);
  UpdateModeControls();
  return TRUE;
}

void CDeviceAttachDlg::UpdateModeControls() {
  UpdateData(TRUE);
  for (int id : kBaudButtons) GetDlgItem(id)->EnableWindow(FALSE);
  for (int id : {IDC_ATTACH_NET_PORT, IDC_ATTACH_NET_LIST, IDC_ATTACH_DISCOVERY, IDC_ATTACH_BROWSE,
                 IDC_ATTACH_FILE_PATH, IDC_ATTACH_PORT_LIST})
    GetDlgItem(id)->EnableWindow(FALSE);
  for (int id : {IDC_ATTACH_MODE_COM, IDC_ATTACH_MODE_NET, IDC_ATTACH_MODE_FILE, IDC_ATTACH_MODE_DUMMY})
    CheckDlgButton(id, BST_UNCHECKED);

  if (m_nMode >= kModeFirstCom && m_nMode <= kModeLastCom) {
    m_cbPorts.EnableWindow(m_cbPorts.GetCount() > 0);
    CString port;
    port.Format("COM%d", m_nMode);
    int item = m_cbPorts.FindStringExact(-1, port);
    if (item >= 0) {
      m_cbPorts.SetCurSel(item);
      CheckDlgButton(IDC_ATTACH_MODE_COM, BST_CHECKED);
    } else if (IsComPortPresent(port)) {
      m_cbPorts.SetCurSel(m_cbPorts.AddString(port));
      m_cbPorts.EnableWindow(TRUE);
      CheckDlgButton(IDC_ATTACH_MODE_COM, BST_CHECKED);
    } else {
      ShowMessage(LoadLangString(IDS_ATTACH_NO_SUCH_PORT, IDS_ATTACH_NO_SUCH_PORT));
    }
    for (int id : kBaudButtons) GetDlgItem(id)->EnableWindow(TRUE);
  } else if (m_nMode == kModeNet) {
    CheckDlgButton(IDC_ATTACH_MODE_NET, BST_CHECKED);
    for (int id : {IDC_ATTACH_NET_PORT, IDC_ATTACH_NET_LIST, IDC_ATTACH_DISCOVERY}) GetDlgItem(id)->EnableWindow(TRUE);
  } else if (m_nMode == kModeFile) {
    CheckDlgButton(IDC_ATTACH_MODE_FILE, BST_CHECKED);
    for (int id : {IDC_ATTACH_BROWSE, IDC_ATTACH_FILE_PATH}) GetDlgItem(id)->EnableWindow(TRUE);
  } else if (m_nMode == kModeDummy) {
    CheckDlgButton(IDC_ATTACH_MODE_DUMMY, BST_CHECKED);
  }
}

void CDeviceAttachDlg::ScanComPorts() {
  m_cbPorts.ResetContent();
  m_cbPorts.SetCurSel(m_cbPorts.AddString(LoadLangString(IDS_ATTACH_WAITING_CN, IDS_ATTACH_WAITING_EN)));
  m_cbPorts.EnableWindow(m_cbPorts.GetCount() > 0);

  CProgressDlg* progress = new CProgressDlg(nullptr);
  progress->Create(PickLangId(IDD_PROGRESS_CN, IDD_PROGRESS_EN));
  progress->m_wndProgress.SetTextFormat(LoadLangString(IDS_ATTACH_SCANNING_CN, IDS_ATTACH_SCANNING_EN),
                                        PPS_TEXT_PERCENT);
  progress->ShowWindow(SW_SHOW);
  CStringArray present;
  for (int n = 1; n <= kModeLastCom; ++n) {
    progress->SetProgress(n, kModeLastCom);
    platform::PumpMessages();
    CString port;
    port.Format("COM%d", n);
    if (IsComPortPresent(port)) present.Add(port);
  }
  m_cbPorts.ResetContent();
  for (const CString& port : present) m_cbPorts.AddString(port);
  progress->DestroyWindow();
  delete progress;

  if (present.GetSize() == 0) ShowMessage(LoadLangString(IDS_ATTACH_PORT_UNUSABLE_CN, IDS_ATTACH_PORT_UNUSABLE_EN));
  if (m_cbPorts.GetCount() > 0) m_cbPorts.SetCurSel(0);
  m_cbPorts.EnableWindow(m_cbPorts.GetCount() > 0);
}

int CDeviceAttachDlg::PortNumberOfSelection() const {
  int item = m_cbPorts.GetCurSel();
  if (item < 0) return 0;
  CString text;
  m_cbPorts.GetLBText(item, text);
  return ComNumber(text);
}

void CDeviceAttachDlg::SetModeAndUpdate(WORD mode) {
  UpdateData(TRUE);
  m_nMode = mode;
  UpdateModeControls();
}

void CDeviceAttachDlg::OnModeNet() { SetModeAndUpdate(kModeNet); }
void CDeviceAttachDlg::OnModeFile() { SetModeAndUpdate(kModeFile); }
void CDeviceAttachDlg::OnModeDummy() { SetModeAndUpdate(kModeDummy); }

void CDeviceAttachDlg::OnModeCom() {
  UpdateData(TRUE);
  ScanComPorts();
  m_nMode = (WORD)PortNumberOfSelection();
  UpdateModeControls();
}

void CDeviceAttachDlg::OnPortChange() { m_nMode = (WORD)PortNumberOfSelection(); }

void CDeviceAttachDlg::OnBrowse() {
  UpdateData(TRUE);
  CFileDialog dlg(FALSE, nullptr, m_strFilePath, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "All Files (*.*)|*.*||", this);
  if (dlg.DoModal() != IDOK) return;
  m_strFilePath = dlg.GetPathName();
  UpdateData(FALSE);
}

void CDeviceAttachDlg::OnDiscovery() {
  UpdateData(TRUE);
  CLanSearchDlg search(this, (WORD)strtoul(m_strNetPort, nullptr, 10));
  search.DoModal();
  FillNetList();
  if (m_cbNet.GetCount() > 0) m_cbNet.SetCurSel(0);
}

BOOL CDeviceAttachDlg::SaveList() {
  CStringArray entries;
  for (int i = 0; i < m_lstAttached.GetCount(); ++i) {
    CString entry;
    m_lstAttached.GetText(i, entry);
    entry.Trim();
    if (!entry.IsEmpty()) entries.Add(entry);
  }
  return WriteAttachedDevices(entries);
}

void CDeviceAttachDlg::OnOK() {
  UpdateData(TRUE);
  m_strFilePath.TrimRight();
  m_strNetPort.TrimRight();

  CString connection;
  if (m_nMode == kModeNet) {
    int item = m_cbNet.GetCurSel();
    if (item < 0) {
      ShowMessage(LoadLangString(IDS_ATTACH_NO_NET_DEVICE_CN, IDS_ATTACH_NO_NET_DEVICE_EN));
      return;
    }
    m_cbNet.GetLBText(item, m_strNetText);
    connection = "NET:" + m_strNetText;
  } else if (m_nMode == kModeFile) {
    if (m_strFilePath.IsEmpty()) {
      ShowMessage(LoadLangString(IDS_ATTACH_NO_FILE_CN, IDS_ATTACH_NO_FILE_EN));
      return;
    }
    connection = "FILE:" + m_strFilePath;
  } else if (m_nMode == kModeDummy) {
    connection = "SIMU:";
  } else if (m_nMode >= kModeFirstCom && m_nMode <= kModeLastCom) {
    bool chosen = m_nBaudChoice >= 0 && m_nBaudChoice < kBaudRates;
    connection.Format("COM%d:%s", m_nMode, chosen ? kBaudRateTexts[m_nBaudChoice] : "38400");
  } else {
    ShowMessage(LoadLangString(IDS_ATTACH_NO_MODE_CN, IDS_ATTACH_NO_MODE_EN));
    return;
  }

  CString device;
  int item = m_cbDevices.GetCurSel();
  if (item >= 0) m_cbDevices.GetLBText(item, device);
  if (device.IsEmpty()) {
    ShowMessage(LoadLangString(IDS_ATTACH_NO_DEVICE_CN, IDS_ATTACH_NO_DEVICE_EN));
    return;
  }

  CString entry = device + "@" + connection;
  for (int i = 0; i < m_lstAttached.GetCount(); ++i) {
    CString old;
    m_lstAttached.GetText(i, old);
    old.Trim();
    if (old.CompareNoCase(entry) == 0) {
      ShowMessage(LoadLangString(IDS_ATTACH_EXISTS_CN, IDS_ATTACH_EXISTS_EN));
      return;
    }
  }
  int added = m_lstAttached.AddString(entry);
  if (!SaveList()) {
    m_lstAttached.DeleteString((UINT)added);
    ShowMessage(LoadLangString(IDS_ATTACH_LIST_FULL_CN, IDS_ATTACH_LIST_FULL_EN), MB_OK | MB_ICONEXCLAMATION);
  }
}

void CDeviceAttachDlg::OnDelete() {
  int item = m_lstAttached.GetCurSel();
  if (item < 0) return;
  CString entry, question;
  m_lstAttached.GetText(item, entry);
  question.Format(LoadLangString(IDS_ATTACH_SURE_DELETE_CN, IDS_ATTACH_SURE_DELETE_EN), entry.GetString());
  if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_lstAttached.DeleteString((UINT)item);
  SaveList();
}

void CDeviceAttachDlg::OnSelect() {
  UpdateData(TRUE);
  int item = m_lstAttached.GetCurSel();
  if (item < 0) return;
  m_lstAttached.GetText(item, m_strSelection);
  int at = m_strSelection.Find('@');
  CString device = at >= 0 ? m_strSelection.Left(at) : m_strSelection;
  CString connection = at >= 0 ? m_strSelection.Mid(at + 1) : CString();
  int found = m_cbDevices.FindString(-1, device);
  if (found >= 0) m_cbDevices.SetCurSel(found);
  m_nMode = ConnectionMode(connection);
  UpdateData(FALSE);
  UpdateModeControls();
}

void CDeviceAttachDlg::OnDeviceConfig() {
  CDevicesDlg devices(this, -1);
  m_cbDevices.GetWindowText(devices.m_strPreselect);
  devices.DoModal();
}
