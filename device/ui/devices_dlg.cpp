#include "device/ui/devices_dlg.h"

#include "device/device_params.h"
#include "device/device_text.h"
#include "device/ui/input_dlg.h"
#include "device/ui/new_device_dlg.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

namespace {
const UINT kHomeBitmaps[5] = {IDB_HOME_LB, IDB_HOME_RB, IDB_HOME_RT, IDB_HOME_LT, IDB_HOME_CENTER};

CString Message(UINT cn, UINT en, const char* arg) {
  CString text;
  text.Format(LoadLangString(cn, en), arg);
  return text;
}
}  // namespace

BEGIN_MESSAGE_MAP(CDevicesDlg, CDialog)
  ON_NOTIFY(NM_CLICK, IDC_DEVICES_LIST, &CDevicesDlg::OnListSelect)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_DEVICES_LIST, &CDevicesDlg::OnListSelect)
  ON_BN_CLICKED(IDC_DEVICES_NEW, &CDevicesDlg::OnNew)
  ON_BN_CLICKED(IDC_DEVICES_EDIT, &CDevicesDlg::OnEdit)
  ON_BN_CLICKED(IDC_DEVICES_DELETE, &CDevicesDlg::OnDelete)
  ON_BN_CLICKED(IDC_DEVICES_SAVE_AS, &CDevicesDlg::OnSaveAs)
END_MESSAGE_MAP()

CDevicesDlg::CDevicesDlg(CWnd* parent, int selection)
    : CDialog(PickLangId(IDD_DEVICES_CN, IDD_DEVICES_EN), parent), m_nSelection(selection) {}

CDevicesDlg::~CDevicesDlg() {
  for (HBITMAP& bitmap : m_hHome) {
    if (bitmap) ::DeleteObject(bitmap);
    bitmap = nullptr;
  }
}

void CDevicesDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_DEVICES_LIST, m_list);
  DDX_Control(dx, IDC_DEVICES_PICTURE, m_picture);
  DDX_Text(dx, IDC_DEVICES_NAME, m_strName);
  DDX_Text(dx, IDC_DEVICES_INITIAL, m_strInitial);
  DDX_Text(dx, IDC_DEVICES_END, m_strEnd);
  DDX_Text(dx, IDC_DEVICES_DESCRIPTION, m_strDescription);
  DDX_Text(dx, IDC_DEVICES_RESOLUTION, m_strResolution);
  DDX_Text(dx, IDC_DEVICES_DIMENSION, m_strDimension);
  DDX_Text(dx, IDC_DEVICES_SPEEDS, m_strSpeeds);
  DDX_Text(dx, IDC_DEVICES_PARAM_K, m_strParamK);
  DDX_Text(dx, IDC_DEVICES_PARAM_A, m_strParamA);
  DDX_Radio(dx, IDC_DEVICES_Z_UP, m_nZDir);
}

BOOL CDevicesDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  for (int i = 0; i < 5; ++i) m_hHome[i] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(kHomeBitmaps[i]));
  m_picture.SetBitmap(m_hHome[0]);
  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  FillList();
  if (m_nSelection == -1 && !m_strPreselect.IsEmpty()) {
    CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
    for (int i = 0; i < g_DeviceTable.m_nCount; ++i) {
      if (m_strPreselect.CompareNoCase(g_DeviceTable.m_records[i].m_szName) == 0) {
        m_nSelection = i;
        break;
      }
    }
  }
  if (m_nSelection != -1) {
    m_list.SendMessage(LVM_SETSELECTIONMARK, 0, m_nSelection);
    ShowDevice(m_nSelection);
  }
  UpdateData(FALSE);
  return TRUE;
}

void CDevicesDlg::FillList() {
  while (m_list.DeleteColumn(0)) {
  }
  m_list.InsertColumn(0, LoadLangString(IDS_DEVICES_COL_NAME_CN, IDS_DEVICES_COL_NAME_EN), LVCFMT_LEFT, 100);
  m_list.InsertColumn(1, LoadLangString(IDS_DEVICES_COL_SIZE_CN, IDS_DEVICES_COL_SIZE_EN) + " " + g_strUnit,
                      LVCFMT_LEFT, 200);
  m_list.InsertColumn(2, LoadLangString(IDS_DEVICES_COL_DESCRIPTION_CN, IDS_DEVICES_COL_DESCRIPTION_EN), LVCFMT_LEFT,
                      200);
  m_list.DeleteAllItems();
  for (int i = 0; i < g_DeviceTable.m_nCount; ++i) {
    const DeviceParams& d = g_DeviceTable.m_records[i];
    CString size;
    size.Format("%.3f x %.3f x %.3f", d.m_dWorkX * g_dUnitFactor, d.m_dWorkY * g_dUnitFactor,
                d.m_dWorkZ * g_dUnitFactor);
    m_list.InsertItem(i, d.m_szName);
    m_list.SetItemText(i, 1, size);
    m_list.SetItemText(i, 2, d.m_szDescription);
  }
}

void CDevicesDlg::ShowDevice(int index) {
  if (index < 0 || index >= g_DeviceTable.m_nCount) return;
  const DeviceParams& d = g_DeviceTable.m_records[index];
  const double f = g_dUnitFactor;
  const char* unit = g_strUnit;
  m_strName = d.m_szName;
  m_strInitial = d.m_szInitialString;
  m_strEnd = d.m_szEndString;
  m_strDescription = d.m_szDescription;
  m_strResolution.Format("%.3f x %.3f x %.3f", d.m_dResX, d.m_dResY, d.m_dResZ);
  m_strDimension.Format("%.3f x %.3f x %.3f(%s)", d.m_dWorkX * f, d.m_dWorkY * f, d.m_dWorkZ * f, unit);
  m_strSpeeds.Format(
      "X:%.3f --- %.3f(%s/s)\r\nY:%.3f --- %.3f(%s/s)\r\nZ:%.3f --- %.3f(%s/s)\r\nO:%.3f --- %.3f(%s/s)\r\n",
      d.m_dMinSpeedX * f, d.m_dMaxSpeedX * f, unit, d.m_dMinSpeedY * f, d.m_dMaxSpeedY * f, unit, d.m_dMinSpeedZ * f,
      d.m_dMaxSpeedZ * f, unit, d.m_dMinXYStart * f, d.m_dMaxXYStart * f, unit);
  m_strParamK.Format("%.3f --- %.3f", d.m_dMinK, d.m_dCoeff);
  m_strParamA.Format("%.3f --- %.3f(%s/s/s)", d.m_dMinAccel * f, d.m_dMaxAccel * f, unit);
  if (d.m_nXYHome >= 1 && d.m_nXYHome <= 5) m_picture.SetBitmap(m_hHome[d.m_nXYHome - 1]);
  m_nZDir = d.m_nZDir == 1 ? 0 : 1;
}

void CDevicesDlg::OnListSelect(NMHDR*, LRESULT* result) {
  *result = 0;
  UpdateData(TRUE);
  int row = m_list.GetNextItem(-1, LVNI_SELECTED);
  if (row >= 0) {
    m_nSelection = row;
    ShowDevice(row);
  }
  UpdateData(FALSE);
}

bool CDevicesDlg::HasSelection() const { return m_nSelection >= 0 && m_nSelection < g_DeviceTable.m_nCount; }

bool CDevicesDlg::NameInUse(const CString& name) const { return FindDevice(name, nullptr) != FALSE; }

bool CDevicesDlg::TableFull() const {
  if (g_DeviceTable.m_nCount < kDeviceTableSize) return false;
  CString text;
  text.Format(LoadLangString(IDS_DEVICES_TABLE_FULL_CN, IDS_DEVICES_TABLE_FULL_EN), kDeviceTableSize);
  ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
  return true;
}

void CDevicesDlg::SaveTable() {
  CString failed;
  if (!SaveDeviceTable(&failed))
    ShowMessage(Message(IDS_DEVICES_NOT_SAVED_CN, IDS_DEVICES_NOT_SAVED_EN, failed), MB_OK | MB_ICONEXCLAMATION);
}

void CDevicesDlg::Refresh() {
  FillList();
  ShowDevice(m_nSelection);
  UpdateData(FALSE);
}

void CDevicesDlg::OnNew() {
  if (TableFull()) return;
  CNewDeviceDlg dlg(nullptr, this);
  if (dlg.DoModal() != IDOK) return;
  const CString& name = dlg.m_strFields[CNewDeviceDlg::kName];
  if (NameInUse(name)) {
    ShowMessage(Message(IDS_DEVICES_EXISTS_CN, IDS_DEVICES_EXISTS_EN, name));
    return;
  }
  DeviceParams& rec = g_DeviceTable.m_records[g_DeviceTable.m_nCount];
  rec.ResetForName(name);
  dlg.CopyValuesTo(rec);
  if (!rec.Save()) {
    ShowMessage(Message(IDS_DEVICES_NOT_SAVED_CN, IDS_DEVICES_NOT_SAVED_EN, name), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  m_nSelection = g_DeviceTable.m_nCount++;
  SaveTable();
  Refresh();
}

void CDevicesDlg::OnEdit() {
  if (!HasSelection()) {
    ShowMessage(LoadLangString(IDS_DEVICES_SELECT_CHANGE_CN, IDS_DEVICES_SELECT_CHANGE_EN));
    return;
  }
  DeviceParams& rec = g_DeviceTable.m_records[m_nSelection];
  CNewDeviceDlg dlg(&rec, this);
  if (dlg.DoModal() != IDOK) return;
  rec.Reset();
  dlg.CopyValuesTo(rec);
  SaveTable();
  Refresh();
}

void CDevicesDlg::OnDelete() {
  UpdateData(TRUE);
  if (!HasSelection()) {
    ShowMessage(LoadLangString(IDS_DEVICES_SELECT_DELETE_CN, IDS_DEVICES_SELECT_DELETE_EN));
    return;
  }
  DeviceParams& rec = g_DeviceTable.m_records[m_nSelection];
  if (ShowMessage(Message(IDS_DEVICES_SURE_DELETE_CN, IDS_DEVICES_SURE_DELETE_EN, rec.m_szName),
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  try {
    rec.MoveToBackup();
  } catch (const CFileException& e) {
    ShowMessage(e.GetErrorMessage(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  {
    CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
    for (int i = m_nSelection; i + 1 < g_DeviceTable.m_nCount; ++i)
      g_DeviceTable.m_records[i] = g_DeviceTable.m_records[i + 1];
    --g_DeviceTable.m_nCount;
  }
  if (m_nSelection > 0) --m_nSelection;
  SaveTable();
  Refresh();
}

void CDevicesDlg::OnSaveAs() {
  UpdateData(TRUE);
  if (!HasSelection()) {
    ShowMessage(LoadLangString(IDS_DEVICES_SELECT_SAVE_CN, IDS_DEVICES_SELECT_SAVE_EN));
    return;
  }
  if (TableFull()) return;
  CInputDlg input(
      Message(IDS_DEVICES_SAVE_AS_CN, IDS_DEVICES_SAVE_AS_EN, g_DeviceTable.m_records[m_nSelection].m_szName), this);
  if (input.DoModal() != IDOK) return;
  CString name = input.m_strText;
  if (name.IsEmpty()) {
    ShowMessage(LoadLangString(IDS_DEVICES_ENTER_NAME_CN, IDS_DEVICES_ENTER_NAME_EN));
    return;
  }
  name.Trim();
  if (NameInUse(name)) {
    ShowMessage(Message(IDS_DEVICES_EXISTS_CN, IDS_DEVICES_EXISTS_EN, name));
    return;
  }
  CString error;
  if (!CheckFileBaseName(name, kDeviceNameCut, &error)) {
    ShowMessage(error, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  DeviceParams& copy = g_DeviceTable.m_records[g_DeviceTable.m_nCount];
  copy = g_DeviceTable.m_records[m_nSelection];
  device_text::CopyField(copy.m_szName, sizeof copy.m_szName, name);
  if (!copy.Save()) {
    ShowMessage(Message(IDS_DEVICES_NOT_SAVED_CN, IDS_DEVICES_NOT_SAVED_EN, name), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  ++g_DeviceTable.m_nCount;
  SaveTable();
  Refresh();
}
