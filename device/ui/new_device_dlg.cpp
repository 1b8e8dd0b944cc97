#include "device/ui/new_device_dlg.h"

#include "device/device_text.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

namespace {

// How a field's text is made from its record value and read back.
enum Kind {
  kText,      // a text field of the record
  kLength,    // times the unit factor, number format, trailing zeros trimmed
  kRes,       // "%.8f", trimmed
  kFixed3,    // "%.3f", trimmed
  kPlain,     // number format, trimmed, no unit factor
  kWhole,     // "%.0f", trimmed
  kWholeRaw,  // "%.0f"
  kCount,     // "%d"
};

struct FieldDef {
  int control;
  Kind kind;
  double DeviceParams::*number;  // null for texts and the spindle count
};

// In the order of CNewDeviceDlg::Field.
const FieldDef kFields[CNewDeviceDlg::kFieldCount] = {
    {IDC_NEWDEV_NAME, kText, nullptr},
    {IDC_NEWDEV_INITIAL, kText, nullptr},
    {IDC_NEWDEV_END, kText, nullptr},
    {IDC_NEWDEV_MEMO, kText, nullptr},
    {IDC_NEWDEV_X_MAX, kLength, &DeviceParams::m_dWorkX},
    {IDC_NEWDEV_Y_MAX, kLength, &DeviceParams::m_dWorkY},
    {IDC_NEWDEV_Z_MAX, kLength, &DeviceParams::m_dWorkZ},
    {IDC_NEWDEV_X_RES, kRes, &DeviceParams::m_dResX},
    {IDC_NEWDEV_Y_RES, kRes, &DeviceParams::m_dResY},
    {IDC_NEWDEV_Z_RES, kRes, &DeviceParams::m_dResZ},
    {IDC_NEWDEV_X_LO, kLength, &DeviceParams::m_dMinSpeedX},
    {IDC_NEWDEV_X_HI, kLength, &DeviceParams::m_dMaxSpeedX},
    {IDC_NEWDEV_Y_LO, kLength, &DeviceParams::m_dMinSpeedY},
    {IDC_NEWDEV_Y_HI, kLength, &DeviceParams::m_dMaxSpeedY},
    {IDC_NEWDEV_Z_LO, kLength, &DeviceParams::m_dMinSpeedZ},
    {IDC_NEWDEV_Z_HI, kLength, &DeviceParams::m_dMaxSpeedZ},
    {IDC_NEWDEV_XY_START_LO, kLength, &DeviceParams::m_dMinXYStart},
    {IDC_NEWDEV_XY_START_HI, kLength, &DeviceParams::m_dMaxXYStart},
    {IDC_NEWDEV_Z_START_LO, kLength, &DeviceParams::m_dMinZStart},
    {IDC_NEWDEV_Z_START_HI, kLength, &DeviceParams::m_dMaxZStart},
    {IDC_NEWDEV_SMOOTH, kLength, &DeviceParams::m_dLoForContinue},
    {IDC_NEWDEV_ACCEL_LO, kLength, &DeviceParams::m_dMinAccel},
    {IDC_NEWDEV_ACCEL_HI, kLength, &DeviceParams::m_dMaxAccel},
    {IDC_NEWDEV_KMAX, kFixed3, &DeviceParams::m_dCoeff},
    {IDC_NEWDEV_KMIN, kPlain, &DeviceParams::m_dMinK},
    {IDC_NEWDEV_KR, kFixed3, &DeviceParams::m_dKRThreshold},
    {IDC_NEWDEV_PARAM_N, kWhole, &DeviceParams::m_dParamN},
    {IDC_NEWDEV_CORNER_DOWN, kPlain, &DeviceParams::m_dCornerSpeed},
    {IDC_NEWDEV_CORNER_UP, kPlain, &DeviceParams::m_dCornerUp},
    {IDC_NEWDEV_PCR, kWholeRaw, &DeviceParams::m_dPcr},
    {IDC_NEWDEV_SPINDLES, kCount, nullptr},
};

const char* const kModels[] = {"V4", "V5", "V6", "V7", "V8"};
const int kHomeButtons[5] = {IDC_NEWDEV_HOME_LB, IDC_NEWDEV_HOME_RB, IDC_NEWDEV_HOME_RT, IDC_NEWDEV_HOME_LT,
                             IDC_NEWDEV_HOME_CENTER};
const UINT kHomeBitmaps[5] = {IDB_HOME_LB, IDB_HOME_RB, IDB_HOME_RT, IDB_HOME_LT, IDB_HOME_CENTER};

CString NumberText(Kind kind, double value) {
  CString text;
  switch (kind) {
    case kLength: text.Format(g_strNumberFormat, value * g_dUnitFactor); break;
    case kRes: text.Format("%.8f", value); break;
    case kFixed3: text.Format("%.3f", value); break;
    case kPlain: text.Format(g_strNumberFormat, value); break;
    case kWhole:
    case kWholeRaw: text.Format("%.0f", value); break;
    default: break;
  }
  if (kind != kWholeRaw) TrimTrailingZeros(text);
  return text;
}

}  // namespace

BEGIN_MESSAGE_MAP(CNewDeviceDlg, CDialog)
  ON_CONTROL_RANGE(BN_CLICKED, IDC_NEWDEV_HOME_LB, IDC_NEWDEV_HOME_CENTER, &CNewDeviceDlg::OnHome)
  ON_BN_CLICKED(IDC_NEWDEV_Z_UP, &CNewDeviceDlg::OnZUp)
  ON_BN_CLICKED(IDC_NEWDEV_Z_DOWN, &CNewDeviceDlg::OnZDown)
  ON_CONTROL_RANGE(BN_CLICKED, IDC_NEWDEV_2D, IDC_NEWDEV_AROUND_Y, &CNewDeviceDlg::OnMachine)
END_MESSAGE_MAP()

int CNewDeviceDlg::ControlOf(Field field) { return kFields[field].control; }

CNewDeviceDlg::CNewDeviceDlg(const DeviceParams* record, CWnd* parent)
    : CDialog(PickLangId(IDD_NEW_DEVICE_CN, IDD_NEW_DEVICE_EN), parent) {
  if (!record) {
    m_strFields[kKmin] = "2";
    m_strFields[kKR] = "12";
    m_strFields[kPcr] = "20000";
    m_strFields[kSpindles] = "1";
    return;
  }
  m_bEdit = 1;
  m_strFields[kName] = record->m_szName;
  m_strFields[kInitial] = record->m_szInitialString;
  m_strFields[kEnd] = record->m_szEndString;
  m_strFields[kMemo] = record->m_szDescription;
  for (int f = 0; f < kFieldCount; ++f)
    if (kFields[f].number) m_strFields[f] = NumberText(kFields[f].kind, record->*kFields[f].number);
  m_strFields[kSpindles].Format("%d", record->m_nSpindles);
  m_strControllerModel = record->m_szControllerModel;
  m_nCodeSet = record->m_nCommandSet;
  m_nXYHome = record->m_nXYHome;
  m_nZDir = record->m_nZDir;
  m_nMachineType = record->m_nMachineType;
  m_nMachineClass = record->m_nMachineClass;
  m_nRotaryAxis = record->m_nRotaryAxis;
  m_bArcSupport = record->m_nArcSupport != 0;
}

CNewDeviceDlg::~CNewDeviceDlg() {
  for (HBITMAP& bitmap : m_hHome) {
    if (bitmap) ::DeleteObject(bitmap);
    bitmap = nullptr;
  }
}

void CNewDeviceDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  for (int f = 0; f < kFieldCount; ++f) DDX_Text(dx, kFields[f].control, m_strFields[f]);
  DDX_Check(dx, IDC_NEWDEV_ARC, m_bArcSupport);
}

BOOL CNewDeviceDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  if (m_bEdit) GetDlgItem(IDC_NEWDEV_NAME)->EnableWindow(FALSE);
  CString title;
  if (m_strFields[kName].IsEmpty())
    title = LoadLangString(IDS_NEWDEV_ADD_TITLE_CN, IDS_NEWDEV_ADD_TITLE_EN);
  else
    title.Format(LoadLangString(IDS_NEWDEV_EDIT_TITLE_CN, IDS_NEWDEV_EDIT_TITLE_EN), m_strFields[kName].GetString());
  SetWindowText(title);
  for (int i = 0; i < 5; ++i) {
    m_hHome[i] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(kHomeBitmaps[i]));
    ::SendDlgItemMessageA(m_hWnd, IDC_NEWDEV_HOME_PIC_LB + i, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)m_hHome[i]);
  }

  CComboBox* codes = (CComboBox*)GetDlgItem(IDC_NEWDEV_CODE_SET);
  codes->AddString(LoadLangString(IDS_NEWDEV_CODE_G_CN, IDS_NEWDEV_CODE_G_EN));
  codes->AddString(LoadLangString(IDS_NEWDEV_CODE_HPGL_CN, IDS_NEWDEV_CODE_HPGL_EN));
  codes->SetCurSel(m_nCodeSet);
  UpdateHomeControls();
  SetDlgItemText(IDC_NEWDEV_UNIT, g_strUnit);

  CComboBox* models = (CComboBox*)GetDlgItem(IDC_NEWDEV_MODEL);
  CString model(m_strControllerModel);
  model.MakeUpper();
  int chosen = 1;  // "V5"
  for (int i = 0; i < 5; ++i) models->AddString(kModels[i]);
  if (!model.IsEmpty()) {
    for (int i = 0; i < 5; ++i) {
      if (CString(kModels[i]).Left(model.GetLength()).CompareNoCase(model) == 0) {
        chosen = i;
        break;
      }
    }
  }
  models->SetCurSel(chosen);
  UpdateMachineControls();
  UpdateData(FALSE);
  return TRUE;
}

void CNewDeviceDlg::UpdateHomeControls() {
  for (int id : kHomeButtons) CheckDlgButton(id, BST_UNCHECKED);
  CheckDlgButton(IDC_NEWDEV_Z_UP, BST_UNCHECKED);
  CheckDlgButton(IDC_NEWDEV_Z_DOWN, BST_UNCHECKED);
  if (m_nXYHome >= 1 && m_nXYHome <= 5) {
    CheckDlgButton(kHomeButtons[m_nXYHome - 1], BST_CHECKED);
    ((CStatic*)GetDlgItem(IDC_NEWDEV_HOME_PICTURE))->SetBitmap(m_hHome[m_nXYHome - 1]);
  }
  CheckDlgButton(m_nZDir == 1 ? IDC_NEWDEV_Z_UP : IDC_NEWDEV_Z_DOWN, BST_CHECKED);
}

void CNewDeviceDlg::OnHome(UINT id) {
  m_nXYHome = (int)(id - IDC_NEWDEV_HOME_LB) + 1;
  UpdateHomeControls();
}

void CNewDeviceDlg::OnZUp() {
  m_nZDir = 1;
  UpdateHomeControls();
}

void CNewDeviceDlg::OnZDown() {
  m_nZDir = 0;
  UpdateHomeControls();
}

void CNewDeviceDlg::OnMachine(UINT id) {
  UpdateData(TRUE);
  switch (id) {
    case IDC_NEWDEV_2D: m_nMachineType = 1; break;
    case IDC_NEWDEV_3D:
      if (m_nMachineType == 1) m_nMachineClass = 0;
      m_nMachineType = 0;
      break;
    case IDC_NEWDEV_PLASMA: m_nMachineClass = 1; break;
    case IDC_NEWDEV_LASER: m_nMachineClass = 2; break;
    case IDC_NEWDEV_CUTTER: m_nMachineClass = 3; break;
    case IDC_NEWDEV_LOG: m_nMachineClass = 4; break;
    case IDC_NEWDEV_DEFAULT_2D:
    case IDC_NEWDEV_DEFAULT_3D: m_nMachineClass = 0; break;
    case IDC_NEWDEV_AROUND_X: m_nRotaryAxis = 0; break;
    case IDC_NEWDEV_AROUND_Y: m_nRotaryAxis = 1; break;
    default: return;
  }
  UpdateMachineControls();
}

void CNewDeviceDlg::UpdateMachineControls() {
  bool is2D = m_nMachineType == 1;
  bool log = !is2D && m_nMachineClass == 4;
  for (int id : {IDC_NEWDEV_PLASMA, IDC_NEWDEV_LASER, IDC_NEWDEV_CUTTER, IDC_NEWDEV_DEFAULT_2D})
    GetDlgItem(id)->EnableWindow(is2D);
  for (int id : {IDC_NEWDEV_LOG, IDC_NEWDEV_DEFAULT_3D}) GetDlgItem(id)->EnableWindow(!is2D);
  for (int id : {IDC_NEWDEV_PCR, IDC_NEWDEV_AROUND_X, IDC_NEWDEV_AROUND_Y}) GetDlgItem(id)->EnableWindow(log);
  CheckDlgButton(IDC_NEWDEV_2D, is2D ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_NEWDEV_3D, is2D ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(IDC_NEWDEV_AROUND_X, m_nRotaryAxis == 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_NEWDEV_AROUND_Y, m_nRotaryAxis == 1 ? BST_CHECKED : BST_UNCHECKED);
  const struct {
    int id, cls;
  } classes[] = {{IDC_NEWDEV_PLASMA, 1}, {IDC_NEWDEV_LASER, 2},      {IDC_NEWDEV_CUTTER, 3},
                 {IDC_NEWDEV_LOG, 4},    {IDC_NEWDEV_DEFAULT_2D, 0}, {IDC_NEWDEV_DEFAULT_3D, 0}};
  for (const auto& c : classes) CheckDlgButton(c.id, m_nMachineClass == c.cls ? BST_CHECKED : BST_UNCHECKED);
}

void CNewDeviceDlg::OnOK() {
  UpdateData(TRUE);
  CComboBox* models = (CComboBox*)GetDlgItem(IDC_NEWDEV_MODEL);
  m_strControllerModel.Empty();
  if (models->GetCurSel() >= 0) models->GetLBText(models->GetCurSel(), m_strControllerModel);
  if (!m_bEdit) {
    m_nCodeSet = 0;
    CString error;
    if (!CheckFileBaseName(m_strFields[kName], kDeviceNameCut, &error)) {
      ShowMessage(error, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    bool exists = false;
    {
      CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
      for (int i = 0; i < g_DeviceTable.m_nCount && !exists; ++i)
        exists = m_strFields[kName] == g_DeviceTable.m_records[i].m_szName;
    }
    if (exists) {
      ShowMessage(LoadLangString(IDS_NEWDEV_EXISTS_CN, IDS_NEWDEV_EXISTS_EN), MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  if (m_bChanged)
    ShowMessage(LoadLangString(IDS_NEWDEV_NEXT_TIME_CN, IDS_NEWDEV_NEXT_TIME_EN), MB_OK | MB_ICONEXCLAMATION);
  CString question;
  question.Format(LoadLangString(IDS_NEWDEV_SURE_SAVE_CN, IDS_NEWDEV_SURE_SAVE_EN), m_strFields[kName].GetString());
  if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) == IDYES) EndDialog(IDOK);
}

void CNewDeviceDlg::OnCancel() {
  UpdateData(TRUE);
  EndDialog(IDCANCEL);
}

void CNewDeviceDlg::CopyValuesTo(DeviceParams& rec) const {
  using device_text::CopyField;
  CopyField(rec.m_szName, sizeof rec.m_szName, m_strFields[kName]);
  CopyField(rec.m_szInitialString, sizeof rec.m_szInitialString, m_strFields[kInitial]);
  CopyField(rec.m_szEndString, sizeof rec.m_szEndString, m_strFields[kEnd]);
  CopyField(rec.m_szDescription, sizeof rec.m_szDescription, m_strFields[kMemo]);
  CopyField(rec.m_szControllerModel, sizeof rec.m_szControllerModel, m_strControllerModel);
  for (int f = 0; f < kFieldCount; ++f) {
    if (!kFields[f].number) continue;
    double value = device_text::ToDouble(m_strFields[f]);
    rec.*kFields[f].number = kFields[f].kind == kLength ? value / g_dUnitFactor : value;
  }
  rec.m_nSpindles = device_text::ToLong(m_strFields[kSpindles]);
  rec.m_nCommandSet = m_nCodeSet;
  rec.m_nXYHome = m_nXYHome;
  rec.m_nZDir = m_nZDir;
  rec.m_nArcSupport = m_bArcSupport ? 1 : 0;
  rec.m_nMachineType = m_nMachineType;
  rec.m_nMachineClass = m_nMachineClass;
  rec.m_nRotaryAxis = m_nRotaryAxis;
}
