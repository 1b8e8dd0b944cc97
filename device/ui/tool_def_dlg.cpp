#include "device/ui/tool_def_dlg.h"

#include <cstdlib>

#include "device/device_text.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

BEGIN_MESSAGE_MAP(CToolDefDlg, CDialog)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE1, &CToolDefDlg::OnType1)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE2, &CToolDefDlg::OnType2)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE3, &CToolDefDlg::OnType3)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE4, &CToolDefDlg::OnType4)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE5, &CToolDefDlg::OnType5)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE6, &CToolDefDlg::OnType6)
  ON_BN_CLICKED(IDC_TOOLDEF_TYPE7, &CToolDefDlg::OnType7)
  ON_BN_CLICKED(IDC_TOOLDEF_METRIC, &CToolDefDlg::OnMetric)
  ON_BN_CLICKED(IDC_TOOLDEF_INCH, &CToolDefDlg::OnInch)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

namespace {

constexpr UINT kTypeButtons[7] = {IDC_TOOLDEF_TYPE1, IDC_TOOLDEF_TYPE2, IDC_TOOLDEF_TYPE3, IDC_TOOLDEF_TYPE4,
                                  IDC_TOOLDEF_TYPE5, IDC_TOOLDEF_TYPE6, IDC_TOOLDEF_TYPE7};
constexpr const char* kTypeNames[7] = {"Ball Nosed",         "Slot Drill",         "Radiused Slot Drill",  "Conical",
                                       "Conical Ball Nosed", "Conical Flat Nosed", "Conical Flat Radiused"};

CString Number(double v) {
  CString s;
  s.Format("%f", v);
  return s;
}

}  // namespace

ToolTypeUse ToolTypeUses(int type) {
  switch (type) {
    case 3: return {true, false, true};
    case 4: return {false, true, false};
    case 5: return {true, true, false};
    case 6: return {false, true, true};
    case 7: return {true, true, true};
    default: return {false, false, false};
  }
}

CToolPictures::~CToolPictures() {
  for (HBITMAP b : m_h)
    if (b) ::DeleteObject(b);
}

void CToolPictures::Load() {
  static constexpr UINT kIds[7] = {IDB_TOOL_TYPE1, IDB_TOOL_TYPE2, IDB_TOOL_TYPE3, IDB_TOOL_TYPE4,
                                   IDB_TOOL_TYPE5, IDB_TOOL_TYPE6, IDB_TOOL_TYPE7};
  for (int i = 0; i < 7; ++i)
    if (!m_h[i]) m_h[i] = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(kIds[i]));
}

CToolDefDlg::CToolDefDlg(CWnd* parent, const CCutter* cutter)
    : CDialog(PickLangId(IDD_TOOL_DEF_CN, IDD_TOOL_DEF_EN), parent) {
  if (!cutter) return;
  m_cutter = *cutter;
  m_strLength = Number(cutter->m_dLength);
  m_strDiameter = Number(cutter->m_dDiameter);
  m_strFlat = Number(cutter->m_dFlatDiameter);
  m_strAngle = Number(cutter->m_dAngle);
  m_strTipRadius = Number(cutter->m_dTipRadius);
  m_strNumber.Format("%d", cutter->m_nNumber);
  m_strOriginal.Format("%d", cutter->m_nOriginalNumber);
  m_strDescription = cutter->m_szDescription;
  m_strMemo = cutter->m_szMemo;
  m_nEditNumber = cutter->m_nNumber;
  m_nType = cutter->m_nType;
  m_nUnit = cutter->m_nUnit;
}

void CToolDefDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_TOOLDEF_DESCRIPTION, m_strDescription);
  DDX_Text(dx, IDC_TOOLDEF_NUMBER, m_strNumber);
  DDX_Text(dx, IDC_TOOLDEF_ORIGINAL, m_strOriginal);
  DDX_Text(dx, IDC_TOOLDEF_DIAMETER, m_strDiameter);
  DDX_Text(dx, IDC_TOOLDEF_LENGTH, m_strLength);
  DDX_Text(dx, IDC_TOOLDEF_TIP_RADIUS, m_strTipRadius);
  DDX_Text(dx, IDC_TOOLDEF_FLAT, m_strFlat);
  DDX_Text(dx, IDC_TOOLDEF_ANGLE, m_strAngle);
  DDX_Text(dx, IDC_TOOLDEF_MEMO, m_strMemo);
}

BOOL CToolDefDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  m_pictures.Load();
  SetWindowText(m_nEditNumber ? LoadLangString(IDS_TOOL_SAVE_AS_CN, IDS_TOOL_SAVE_AS_EN)
                              : LoadLangString(IDS_TOOL_CREATE_CN, IDS_TOOL_CREATE_EN));
  LoadCutterTable();
  ShowTypeControls(m_nType);
  return TRUE;
}

void CToolDefDlg::ShowTypeControls(int type) {
  CheckDlgButton(IDC_TOOLDEF_METRIC, m_nUnit == 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(IDC_TOOLDEF_INCH, m_nUnit == 1 ? BST_CHECKED : BST_UNCHECKED);
  ToolTypeUse use = ToolTypeUses(type);
  auto show = [this](UINT label, UINT edit, bool on) {
    GetDlgItem(label)->ShowWindow(on ? SW_SHOW : SW_HIDE);
    GetDlgItem(edit)->ShowWindow(on ? SW_SHOW : SW_HIDE);
  };
  show(IDC_TOOLDEF_LABEL_DIAMETER, IDC_TOOLDEF_DIAMETER, true);
  show(IDC_TOOLDEF_LABEL_LENGTH, IDC_TOOLDEF_LENGTH, true);
  show(IDC_TOOLDEF_LABEL_TIP_RADIUS, IDC_TOOLDEF_TIP_RADIUS, use.tipRadius);
  show(IDC_TOOLDEF_LABEL_ANGLE, IDC_TOOLDEF_ANGLE, use.angle);
  show(IDC_TOOLDEF_LABEL_FLAT, IDC_TOOLDEF_FLAT, use.flat);
  for (int t = 1; t <= 7; ++t) CheckDlgButton(kTypeButtons[t - 1], t == type ? BST_CHECKED : BST_UNCHECKED);
  HBITMAP picture = m_pictures.Get(type);
  ::SendDlgItemMessageA(m_hWnd, IDC_TOOLDEF_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)picture);
  if (m_strNumber.IsEmpty()) SetDefaults(type);
  UpdateData(FALSE);
}

void CToolDefDlg::SetDefaults(int type) {
  m_strLength = "13.00";
  m_strDiameter = "6.00";
  m_strFlat = "1.00";
  m_strAngle = "10.00";
  m_strTipRadius = "1.00";
  m_nUnit = 0;
  m_strNumber.Empty();
  CheckDlgButton(IDC_TOOLDEF_METRIC, BST_CHECKED);
  CheckDlgButton(IDC_TOOLDEF_INCH, BST_UNCHECKED);
  m_strDescription = m_strMemo = type >= 1 && type <= 7 ? kTypeNames[type - 1] : "";
}

void CToolDefDlg::OnType(int type) {
  UpdateData(TRUE);
  m_nType = type;
  ShowTypeControls(type);
}

void CToolDefDlg::OnMetric() {
  UpdateData(TRUE);
  m_nUnit = 0;
  CheckDlgButton(IDC_TOOLDEF_METRIC, BST_CHECKED);
  CheckDlgButton(IDC_TOOLDEF_INCH, BST_UNCHECKED);
}

void CToolDefDlg::OnInch() {
  UpdateData(TRUE);
  m_nUnit = 1;
  CheckDlgButton(IDC_TOOLDEF_METRIC, BST_UNCHECKED);
  CheckDlgButton(IDC_TOOLDEF_INCH, BST_CHECKED);
}

// An angle must lie strictly between 0 and 90 degrees: at 90 the flank is flat and its
// tangent undefined, beyond it the cut width would turn negative.
BOOL CToolDefDlg::Validate() {
  int number = atoi(m_strNumber);
  ToolTypeUse use = ToolTypeUses(m_nType);
  double angle = atof(m_strAngle);
  bool bad = number <= 0 || number >= 100 || !(atof(m_strLength) > 0) || !(atof(m_strDiameter) > 0) ||
             (m_nUnit != 0 && m_nUnit != 1) || (use.flat && !(atof(m_strFlat) > 0)) ||
             (use.tipRadius && !(atof(m_strTipRadius) > 0)) || (use.angle && !(angle > 0 && angle < 90));
  if (!bad) return TRUE;
  ShowMessage(LoadLangString(IDS_TOOL_BAD_PARAMETER_CN, IDS_TOOL_BAD_PARAMETER_EN), MB_OK);
  return FALSE;
}

void CToolDefDlg::OnOK() {
  UpdateData(TRUE);
  if (!Validate()) return;
  CCutter& c = m_cutter;
  c.m_dDiameter = atof(m_strDiameter);
  c.m_dLength = atof(m_strLength);
  c.m_dAngle = atof(m_strAngle);
  c.m_dTipRadius = atof(m_strTipRadius);
  c.m_dFlatDiameter = atof(m_strFlat);
  c.m_nNumber = atoi(m_strNumber);
  c.m_nOriginalNumber = atoi(m_strOriginal);
  c.m_nType = m_nType;
  c.m_nUnit = m_nUnit;
  // Longer texts are cut to the record's fields.
  device_text::CopyField(c.m_szDescription, sizeof(c.m_szDescription), m_strDescription);
  device_text::CopyField(c.m_szMemo, sizeof(c.m_szMemo), m_strMemo);
  // The dimensions the type does not use are not kept, whatever the hidden edits held.
  ToolTypeUse use = ToolTypeUses(m_nType);
  if (!use.angle) c.m_dAngle = 0;
  if (!use.tipRadius) c.m_dTipRadius = 0;
  if (!use.flat) c.m_dFlatDiameter = 0;

  CutterTable& table = g_CutterTable;
  int found = -1;
  for (int i = 0; i < table.m_nCount && found < 0; ++i)
    if (table.m_records[i].m_nNumber == c.m_nNumber) found = i;
  int saved;
  int oldOriginal = 0;
  bool replaced = false;
  if (found >= 0 && m_nEditNumber != 0 && c.m_nNumber == m_nEditNumber) {
    if (ShowMessage(LoadLangString(IDS_TOOL_REPLACE_ASK_CN, IDS_TOOL_REPLACE_ASK_EN), MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
      return;
    oldOriginal = table.m_records[found].m_nOriginalNumber;
    table.m_records[found] = c;
    saved = found;
    replaced = true;
  } else if (found >= 0) {
    ShowMessage(LoadLangString(IDS_TOOL_EXISTS_CN, IDS_TOOL_EXISTS_EN), MB_OK | MB_ICONEXCLAMATION);
    return;
  } else {
    if (ShowMessage(LoadLangString(IDS_TOOL_ADD_ASK_CN, IDS_TOOL_ADD_ASK_EN), MB_YESNO | MB_ICONQUESTION) != IDYES)
      return;
    if (table.m_nCount >= kCutterTableSize) {
      CString text;
      text.Format(LoadLangString(IDS_TOOL_TABLE_FULL_CN, IDS_TOOL_TABLE_FULL_EN), kCutterTableSize);
      ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    saved = table.m_nCount++;
    table.m_records[saved] = c;
  }

  // One original number per tool: the tool that had the entered one takes the changed
  // tool's former one.
  int sharing = 0;
  for (int i = 0; i < table.m_nCount; ++i) {
    if (table.m_records[i].m_nOriginalNumber != c.m_nOriginalNumber) continue;
    ++sharing;
    if (replaced && i != saved) table.m_records[i].m_nOriginalNumber = oldOriginal;
  }
  if (sharing > 1) {
    CString text;
    text.Format(LoadLangString(IDS_TOOL_ORIGINAL_SWAP_CN, IDS_TOOL_ORIGINAL_SWAP_EN), (const char*)m_strOriginal);
    ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
  }
  SaveCutterTable();
  EndDialog(IDOK);
}

void CToolDefDlg::OnCancel() {
  m_cutter = CCutter();
  EndDialog(IDCANCEL);
}

void CToolDefDlg::OnClose() { OnCancel(); }
