#include "device/ui/tool_database_dlg.h"

#include <cstdlib>

#include "device/ui/tool_def_dlg.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

BEGIN_MESSAGE_MAP(CToolDatabaseDlg, CDialog)
  ON_NOTIFY(NM_CLICK, IDC_TOOLDB_LIST, &CToolDatabaseDlg::OnListClick)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_TOOLDB_LIST, &CToolDatabaseDlg::OnListItemChanged)
  ON_BN_CLICKED(IDC_TOOLDB_DELETE, &CToolDatabaseDlg::OnDelete)
  ON_BN_CLICKED(IDC_TOOLDB_MODIFY, &CToolDatabaseDlg::OnModify)
  ON_BN_CLICKED(IDC_TOOLDB_NEW, &CToolDatabaseDlg::OnNewTool)
  ON_BN_CLICKED(IDC_TOOLDB_DEFAULT, &CToolDatabaseDlg::OnDefault)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

namespace {
constexpr double kMmPerInch = 25.4;
}

CToolDatabaseDlg::CToolDatabaseDlg(CWnd* parent, int mode)
    : CDialog(PickLangId(IDD_TOOL_DATABASE_CN, IDD_TOOL_DATABASE_EN), parent), m_nMode(mode) {}

void CToolDatabaseDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TOOLDB_LIST, m_list);
  DDX_Text(dx, IDC_TOOLDB_DIAMETER, m_strDiameter);
  DDX_Text(dx, IDC_TOOLDB_LENGTH, m_strLength);
  DDX_Text(dx, IDC_TOOLDB_TIP_RADIUS, m_strTipRadius);
  DDX_Text(dx, IDC_TOOLDB_ANGLE, m_strAngle);
  DDX_Text(dx, IDC_TOOLDB_FLAT, m_strFlat);
  DDX_Text(dx, IDC_TOOLDB_DESCRIPTION, m_strDescription);
  DDX_Text(dx, IDC_TOOLDB_MEMO, m_strMemo);
}

BOOL CToolDatabaseDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);
  m_pictures.Load();
  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  if (m_images.Create(IDB_TOOL_LIST_IMAGES, 16, 1, RGB(0xFF, 0xFF, 0xFF))) m_list.SetImageList(&m_images, LVSIL_SMALL);
  if (m_nMode) {
    GetDlgItem(IDOK)->ShowWindow(SW_HIDE);
    SetWindowText(LoadLangString(IDS_TOOL_DATABASE_CN, IDS_TOOL_DATABASE_EN));
  } else {
    SetWindowText(LoadLangString(IDS_TOOL_SELECTOR_CN, IDS_TOOL_SELECTOR_EN));
  }
  LoadTools();
  FillList();
  if (g_CutterTable.m_nCount > 0) m_nSelected = 1;
  ShowTool(m_nSelected);
  return TRUE;
}

void CToolDatabaseDlg::LoadTools() {
  ULONGLONG length = 0;
  {
    CFile file;
    if (!file.Open(g_strAppFolder + "Cutter.db", CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return;
    try {
      length = file.GetLength();
    } catch (const CFileException&) {
      return;
    }
  }
  if (length == 0) {
    BuildDefaultTools();
    SaveTools();
    return;
  }
  LoadCutterTable();
}

int CToolDatabaseDlg::IndexOfNumber(int number) const {
  for (int i = 0; i < g_CutterTable.m_nCount; ++i)
    if (g_CutterTable.m_records[i].m_nNumber == number) return i;
  return -1;
}

// The diameter in the program's unit: each tool's own unit is taken into account.
void CToolDatabaseDlg::FillList() {
  while (m_list.DeleteColumn(0)) {
  }
  struct Column {
    UINT cn, en;
    int width, format;
  } columns[] = {{IDS_TOOL_COL_TOOL_CN, IDS_TOOL_COL_TOOL_EN, 50, LVCFMT_CENTER},
                 {IDS_TOOL_COL_ORIGINAL_CN, IDS_TOOL_COL_ORIGINAL_EN, 120, LVCFMT_CENTER},
                 {IDS_TOOL_COL_DIAMETER_CN, IDS_TOOL_COL_DIAMETER_EN, 60, LVCFMT_CENTER},
                 {IDS_TOOL_COL_DESCRIPTION_CN, IDS_TOOL_COL_DESCRIPTION_EN, 350, LVCFMT_LEFT}};
  for (int c = 0; c < 4; ++c)
    m_list.InsertColumn(c, LoadLangString(columns[c].cn, columns[c].en), columns[c].format, columns[c].width);
  m_list.DeleteAllItems();
  for (int i = 0; i < g_CutterTable.m_nCount; ++i) {
    const CCutter& t = g_CutterTable.m_records[i];
    CString number, original, diameter;
    number.Format("%d", t.m_nNumber);
    original.Format("%d", t.m_nOriginalNumber);
    double diameter_mm = t.m_nUnit == 1 ? t.m_dDiameter * kMmPerInch : t.m_dDiameter;
    diameter.Format(g_strNumberFormat, diameter_mm * g_dUnitFactor);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = i;
    item.pszText = const_cast<char*>((const char*)number);
    item.iImage = t.m_nType - 1;
    m_list.InsertItem(&item);
    m_list.SetItemText(i, 1, original);
    m_list.SetItemText(i, 2, diameter);
    m_list.SetItemText(i, 3, t.m_szDescription);
  }
}

void CToolDatabaseDlg::ShowTool(int number) {
  m_strDiameter.Empty();
  m_strLength.Empty();
  m_strTipRadius.Empty();
  m_strAngle.Empty();
  m_strFlat.Empty();
  m_strDescription.Empty();
  m_strMemo.Empty();
  int at = IndexOfNumber(number);
  if (at >= 0) {
    const CCutter& t = g_CutterTable.m_records[at];
    CString unit = t.m_nUnit == 0   ? LoadLangString(IDS_TOOL_UNIT_MM_CN, IDS_TOOL_UNIT_MM_EN)
                   : t.m_nUnit == 1 ? LoadLangString(IDS_TOOL_UNIT_INCH_CN, IDS_TOOL_UNIT_INCH_EN)
                                    : CString();
    auto length = [&unit](double v) {
      CString s;
      s.Format("%f", v);
      return s + unit;
    };
    m_strLength = length(t.m_dLength);
    m_strDiameter = length(t.m_dDiameter);
    m_strFlat = length(t.m_dFlatDiameter);
    m_strTipRadius = length(t.m_dTipRadius);
    m_strAngle.Format(LoadLangString(IDS_TOOL_DEGREE_CN, IDS_TOOL_DEGREE_EN), t.m_dAngle);
    m_strDescription = t.m_szDescription;
    m_strMemo = t.m_szMemo;
    ShowTypeControls(t.m_nType);
  }
  UpdateData(FALSE);
}

void CToolDatabaseDlg::ShowTypeControls(int type) {
  ToolTypeUse use = ToolTypeUses(type);
  auto show = [this](UINT label, UINT value, bool on) {
    GetDlgItem(label)->ShowWindow(on ? SW_SHOW : SW_HIDE);
    GetDlgItem(value)->ShowWindow(on ? SW_SHOW : SW_HIDE);
  };
  show(IDC_TOOLDB_LABEL_DIAMETER, IDC_TOOLDB_DIAMETER, true);
  show(IDC_TOOLDB_LABEL_LENGTH, IDC_TOOLDB_LENGTH, true);
  show(IDC_TOOLDB_LABEL_TIP_RADIUS, IDC_TOOLDB_TIP_RADIUS, use.tipRadius);
  show(IDC_TOOLDB_LABEL_ANGLE, IDC_TOOLDB_ANGLE, use.angle);
  show(IDC_TOOLDB_LABEL_FLAT, IDC_TOOLDB_FLAT, use.flat);
  HBITMAP picture = m_pictures.Get(type);
  ::SendDlgItemMessageA(m_hWnd, IDC_TOOLDB_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)picture);
}

void CToolDatabaseDlg::SelectFromList() {
  int row = m_list.GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) return;
  int number = atoi(m_list.GetItemText(row, 0));
  if (IndexOfNumber(number) >= 0) m_nSelected = number;
  ShowTool(m_nSelected);
}

void CToolDatabaseDlg::OnListClick(NMHDR*, LRESULT* result) {
  *result = 0;
  SelectFromList();
}

void CToolDatabaseDlg::OnListItemChanged(NMHDR* nm, LRESULT* result) {
  *result = 0;
  const NMLISTVIEW* lv = (const NMLISTVIEW*)nm;
  if ((lv->uChanged & LVIF_STATE) && (lv->uNewState & LVIS_SELECTED)) SelectFromList();
}

void CToolDatabaseDlg::OnDelete() {
  int at = IndexOfNumber(m_nSelected);
  if (at < 0) {
    ShowMessage(LoadLangString(IDS_TOOL_NO_SUCH_CN, IDS_TOOL_NO_SUCH_EN), MB_OK);
    return;
  }
  CString question;
  question.Format(LoadLangString(IDS_TOOL_DELETE_ASK_CN, IDS_TOOL_DELETE_ASK_EN), m_nSelected);
  if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  CutterTable& table = g_CutterTable;
  for (int i = at; i + 1 < table.m_nCount; ++i) table.m_records[i] = table.m_records[i + 1];
  --table.m_nCount;
  SaveTools();
  FillList();
}

void CToolDatabaseDlg::OnModify() {
  SaveTools();
  int at = IndexOfNumber(m_nSelected);
  if (at < 0) {
    ShowMessage(LoadLangString(IDS_TOOL_NO_SUCH_CN, IDS_TOOL_NO_SUCH_EN), MB_OK);
    return;
  }
  CToolDefDlg dlg(this, &g_CutterTable.m_records[at]);
  dlg.DoModal();
  LoadTools();
  FillList();
}

void CToolDatabaseDlg::OnNewTool() {
  SaveTools();
  CToolDefDlg dlg(this, nullptr);
  dlg.DoModal();
  LoadTools();
  FillList();
}

void CToolDatabaseDlg::OnDefault() {
  if (ShowMessage(LoadLangString(IDS_TOOL_DEFAULT_ASK_CN, IDS_TOOL_DEFAULT_ASK_EN), MB_YESNO | MB_ICONQUESTION) !=
      IDYES)
    return;
  BuildDefaultTools();
  SaveTools();
  FillList();
}

void CToolDatabaseDlg::OnOK() {
  if (m_nMode == 0) EndDialog(IDOK);
}

void CToolDatabaseDlg::OnCancel() { EndDialog(IDCANCEL); }
