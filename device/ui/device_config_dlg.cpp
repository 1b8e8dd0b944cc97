// The Device Configuration dialog: set-up, the list, editing and the files. The exchange
// with the controller is in device_config_query.cpp.
#include "device/ui/device_config_dlg.h"

#include <cmath>
#include <cstdlib>

#include "device/device_text.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/table/job_manager.h"
#include "platform/ui_hooks.h"
#include "resources/resource.h"
#include "ui/program_icon.h"

BEGIN_MESSAGE_MAP(CDeviceConfigDlg, CDialog)
  ON_BN_CLICKED(IDC_ROM_DELETE, &CDeviceConfigDlg::OnDelete)
  ON_BN_CLICKED(IDC_ROM_UPDATE_LIST, &CDeviceConfigDlg::OnUpdateList)
  ON_BN_CLICKED(IDC_ROM_READ, &CDeviceConfigDlg::OnReadFromDevice)
  ON_BN_CLICKED(IDC_ROM_WRITE, &CDeviceConfigDlg::OnWriteToDevice)
  ON_BN_CLICKED(IDC_ROM_SAVE, &CDeviceConfigDlg::OnSaveAllToFile)
  ON_BN_CLICKED(IDC_ROM_LOAD, &CDeviceConfigDlg::OnLoadFromFile)
  ON_NOTIFY(NM_CLICK, IDC_ROM_LIST, &CDeviceConfigDlg::OnListClick)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_ROM_LIST, &CDeviceConfigDlg::OnListItemChanged)
  ON_CBN_SELCHANGE(IDC_ROM_JOB, &CDeviceConfigDlg::OnJobSelChange)
  ON_CBN_SELCHANGE(IDC_ROM_VALUE_CHOICE, &CDeviceConfigDlg::OnValueSelChange)
  ON_BN_CLICKED(IDC_ROM_CLEAR_ALL, &CDeviceConfigDlg::OnClearAll)
  ON_BN_CLICKED(IDC_ROM_STOP, &CDeviceConfigDlg::OnStop)
  ON_BN_CLICKED(IDC_ROM_SELECT_ALL, &CDeviceConfigDlg::OnSelectAll)
  ON_BN_CLICKED(IDC_ROM_DESELECT, &CDeviceConfigDlg::OnDeselectAll)
  ON_WM_TIMER()
  ON_WM_SIZE()
  ON_MESSAGE(kEngineLineMessage, &CDeviceConfigDlg::OnDeviceReply)
END_MESSAGE_MAP()

namespace {

constexpr COLORREF kRowEven = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kRowOdd = RGB(0xD2, 0xFF, 0xD2);
constexpr int kRowImage = 3;  // the chip of the image strip
constexpr int kColumns = 6;

CString Field(const char* text, size_t size) { return CString(text, (int)strnlen(text, size)); }

// Valid values as the dialog shows them: "|" as ",".
CString Shown(CString text) {
  text.Replace('|', ',');
  return text;
}

CString WithoutTrailingZeros(const CString& text) {
  CString t(text);
  TrimTrailingZeros(t);
  return t;
}

}  // namespace

CDeviceConfigDlg::CDeviceConfigDlg(CWnd* parent)
    : CDialog(PickLangId(IDD_DEVICE_CONFIG_CN, IDD_DEVICE_CONFIG_EN), parent) {}

CDeviceConfigDlg::~CDeviceConfigDlg() { SetMainWindowViewer(FALSE); }

void CDeviceConfigDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ROM_LIST, m_list);
  DDX_Control(dx, IDC_ROM_CLASS, m_cmbClass);
  DDX_Control(dx, IDC_ROM_TYPE, m_cmbType);
  DDX_Control(dx, IDC_ROM_VALUE_CHOICE, m_cmbValue);
  DDX_Control(dx, IDC_ROM_JOB, m_cmbJob);
  DDX_Control(dx, IDC_ROM_PROGRESS, m_progress);
  DDX_Text(dx, IDC_ROM_INDEX, m_strIndex);
  DDX_Text(dx, IDC_ROM_MEMO, m_strMemo);
  DDX_Text(dx, IDC_ROM_VALUE, m_strValue);
  DDX_Text(dx, IDC_ROM_FILE_PATH, m_strFilePath);
}

BOOL CDeviceConfigDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetProgramIcon(*this);

  m_strFilePath = g_strAppFolder + kRomTemplateName;
  BOOL templateAvailable = WriteTemplateIfMissing(m_strFilePath);
  if (!templateAvailable) m_strFilePath.Empty();

  AnchorControls();

  m_nTimeout = (WORD)atoi(GetParamValue("RomExchange", "Timeout", "3000"));
  m_nRepeat = (WORD)atoi(GetParamValue("RomExchange", "Repeat", "3"));

  m_cmbClass.ResetContent();
  m_cmbType.ResetContent();
  m_cmbJob.ResetContent();
  CStringArray jobs;
  CJobManager::ListAttachedJobs(jobs);
  for (const CString& job : jobs) m_cmbJob.AddString(job);

  m_progress.SetRange(0, 20);
  m_font.CreateFont(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体");
  m_progress.SetTextFont(&m_font);
  m_progress.SetBkColor(RGB(0xC0, 0xC0, 0xC0));
  m_progress.SetColors(RGB(0xFF, 0, 0), RGB(0, 0xFF, 0));
  m_progress.SetTextColors(RGB(0xC0, 0xC0, 0xC0), RGB(0, 0, 0xFF));

  m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  if (m_images.Create(IDB_ROM_LIST_IMAGES, 16, 1, RGB(0xFF, 0xFF, 0xFF))) m_list.SetImageList(&m_images, LVSIL_SMALL);
  InsertColumns();
  // A map left by an earlier opening keeps its parameters: its classes and types are
  // the choices, as after loading.
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    if (!g_RomParamMap.m_map.empty()) {
      m_arrClassChoices.RemoveAll();
      m_arrTypeChoices.RemoveAll();
      m_arrClassChoices.Add("none");
      m_arrTypeChoices.Add("none");
      for (const auto& entry : g_RomParamMap.m_map) {
        CString type, value;
        GetTypeAndValueText(entry.second, type, value);
        AddChoice(m_arrTypeChoices, type);
        AddChoice(m_arrClassChoices, Field(entry.second.className, sizeof(entry.second.className)));
      }
      LoadChoices();
    }
  }
  m_cmbClass.SetCurSel(0);
  m_cmbType.SetCurSel(0);
  m_cmbJob.SetCurSel(0);
  InterlockedExchange(&m_lStop, 0);
  InterlockedExchange(&m_lRefreshing, 0);
  m_cmbValue.ShowWindow(SW_HIDE);
  m_cmbValue.EnableWindow(FALSE);
  GetDlgItem(IDC_ROM_VALUE)->ShowWindow(SW_SHOW);
  GetDlgItem(IDC_ROM_VALUE)->EnableWindow(TRUE);

  SetMainWindowViewer(TRUE);

  BOOL empty;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    empty = g_RomParamMap.m_map.empty();
  }
  if (empty) {
    if (templateAvailable) {
      LoadRomFile(m_strFilePath);
      LoadChoices();
    } else {
      PostMessage(WM_COMMAND, MAKEWPARAM(IDC_ROM_LOAD, BN_CLICKED), (LPARAM)GetDlgItem(IDC_ROM_LOAD)->m_hWnd);
    }
  }
  RefreshParamList();
  UpdateData(FALSE);

  SetTimer(kTimerControls, kControlsPeriod_ms);
  SetTimer(kTimerRefresh, kRefreshPeriod_ms);
  CenterWindow();
  ShowWindow(SW_SHOWMAXIMIZED);
  OnJobSelChange();
  UpdateControls();
  return TRUE;
}

void CDeviceConfigDlg::InsertColumns() {
  struct Column {
    UINT cn, en;
    int width, format;
  } columns[kColumns] = {
      {IDS_ROM_COL_INDEX_CN, IDS_ROM_COL_INDEX_EN, 80, LVCFMT_RIGHT},
      {IDS_ROM_COL_CLASS_CN, IDS_ROM_COL_CLASS_EN, 60, LVCFMT_RIGHT},
      {IDS_ROM_COL_TYPE_CN, IDS_ROM_COL_TYPE_EN, 60, LVCFMT_RIGHT},
      {IDS_ROM_COL_VALUE_CN, IDS_ROM_COL_VALUE_EN, 100, LVCFMT_RIGHT},
      {IDS_ROM_COL_VALID_CN, IDS_ROM_COL_VALID_EN, 200, LVCFMT_LEFT},
      {IDS_ROM_COL_DESCRIPTION_CN, IDS_ROM_COL_DESCRIPTION_EN, 530, LVCFMT_LEFT},
  };
  for (int c = 0; c < kColumns; ++c)
    m_list.InsertColumn(c, LoadLangString(columns[c].cn, columns[c].en), columns[c].format, columns[c].width);
}

void CDeviceConfigDlg::AnchorControls() {
  for (UINT id : {IDC_ROM_LABEL_INDEX, IDC_ROM_INDEX, IDC_ROM_LABEL_CLASS, IDC_ROM_CLASS, IDC_ROM_LABEL_TYPE,
                  IDC_ROM_TYPE, IDC_ROM_LABEL_VALUE, IDC_ROM_VALUE, IDC_ROM_VALUE_CHOICE, IDC_ROM_LABEL_MEMO,
                  IDC_ROM_SELECT_ALL, IDC_ROM_DESELECT})
    AnchorControl(id, ANCHOR_TOPLEFT);
  for (UINT id : {IDC_ROM_VALID_VALUES, IDC_ROM_MEMO, IDC_ROM_SEPARATOR, IDC_ROM_HINT})
    AnchorControl(id, ANCHOR_TOPLEFT, ANCHOR_TOPRIGHT);
  for (UINT id : {IDC_ROM_UPDATE_LIST, IDC_ROM_DELETE, IDC_ROM_CLEAR_ALL, IDC_ROM_COUNT})
    AnchorControl(id, ANCHOR_TOPRIGHT);
  AnchorControl(IDC_ROM_LIST, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
  for (UINT id : {IDC_ROM_LOAD, IDC_ROM_READ, IDC_ROM_JOB}) AnchorControl(id, ANCHOR_BOTTOMLEFT);
  for (UINT id : {IDC_ROM_FILE_PATH, IDC_ROM_PROGRESS}) AnchorControl(id, ANCHOR_BOTTOMLEFT, ANCHOR_BOTTOMRIGHT);
  for (UINT id : {IDC_ROM_SAVE, IDC_ROM_STOP, IDC_ROM_WRITE}) AnchorControl(id, ANCHOR_BOTTOMRIGHT);
}

// The class and type choices from the ones loading collected.
void CDeviceConfigDlg::LoadChoices() {
  m_cmbClass.ResetContent();
  m_cmbType.ResetContent();
  for (const CString& c : m_arrClassChoices) m_cmbClass.AddString(c);
  for (const CString& t : m_arrTypeChoices) m_cmbType.AddString(t);
  m_cmbClass.SetCurSel(0);
  m_cmbType.SetCurSel(0);
}

void CDeviceConfigDlg::SetMainWindowViewer(BOOL on) {
  if (on == m_bRegistered) return;
  HWND main = m_pParentWnd ? m_pParentWnd->m_hWnd : platform::GetMainWindow();
  if (main && main != m_hWnd && ::IsWindow(main)) ::SendMessageA(main, kEngineLineMessage, 0, on ? (LPARAM)m_hWnd : 0);
  m_bRegistered = on;
}

void CDeviceConfigDlg::OnOK() {
  KillTimer(kTimerAnswer);
  SetMainWindowViewer(FALSE);
  CDialog::OnOK();
}

void CDeviceConfigDlg::OnCancel() {
  KillTimer(kTimerAnswer);
  SetMainWindowViewer(FALSE);
  CDialog::OnCancel();
}

void CDeviceConfigDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED || !m_hWnd) return;
  ApplyAnchors();
  Invalidate();
}

// ---------------------------------------------------------------------------
// The list

void CDeviceConfigDlg::RefreshParamList() {
  InterlockedExchange(&m_lRefreshing, 1);
  int rows = 0;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    for (const auto& entry : g_RomParamMap.m_map) {
      const RomParam& p = entry.second;
      CString texts[kColumns];
      texts[0].Format("0x%02x", p.index);
      CString className = Field(p.className, sizeof(p.className));
      texts[1] = className.CompareNoCase("none") == 0 ? CString("-") : className;
      GetTypeAndValueText(p, texts[2], texts[3]);
      CString valid = p.range[0] ? Field(p.range, sizeof(p.range)) : Field(p.list, sizeof(p.list));
      texts[4] = valid.IsEmpty() ? CString(" ") : Shown(valid);
      texts[5] = Field(p.description, sizeof(p.description));
      for (int c = 1; c <= 4; ++c) TrimTrailingZeros(texts[c]);
      COLORREF back = rows % 2 ? kRowOdd : kRowEven;
      if (rows < m_list.GetItemCount()) {
        for (int c = 0; c < kColumns; ++c)
          if (m_list.GetItemText(rows, c) != texts[c]) m_list.SetItemText(rows, c, texts[c]);
      } else {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = rows;
        item.pszText = const_cast<char*>((const char*)texts[0]);
        item.iImage = kRowImage;
        m_list.InsertItem(&item, RGB(0, 0, 0), back);
        for (int c = 1; c < kColumns; ++c) m_list.SetItemText(rows, c, texts[c], RGB(0, 0, 0), back);
        m_list.SetCellCheck(rows, 0, 0);
      }
      ++rows;
    }
  }
  for (int i = m_list.GetItemCount() - 1; i >= rows; --i) m_list.DeleteItem(i);
  InterlockedExchange(&m_lRefreshing, 0);
}

int CDeviceConfigDlg::CheckedRows() const {
  int n = 0;
  for (int i = 0; i < m_list.GetItemCount(); ++i)
    if (m_list.GetCellCheckState(i, 0) == 1) ++n;
  return n;
}

void CDeviceConfigDlg::SelectChoice(CComboBox& combo, const CString& text) {
  int at = combo.FindString(-1, text);
  if (at < 0) at = combo.AddString(text);
  combo.SetCurSel(at);
}

CString CDeviceConfigDlg::ChosenText(const CComboBox& combo) const {
  CString text;
  int at = combo.GetCurSel();
  if (at >= 0) combo.GetLBText(at, text);
  return text;
}

void CDeviceConfigDlg::ShowParam(const char* indexText) {
  RomParam p;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    auto it = g_RomParamMap.m_map.find((WORD)(ParseIndex(indexText) & 0xFFFF));
    if (it == g_RomParamMap.m_map.end()) return;
    p = it->second;
  }
  UpdateData(TRUE);
  CString type, value;
  GetTypeAndValueText(p, type, value);
  m_strIndex = indexText;
  m_strMemo = Field(p.description, sizeof(p.description));
  m_strValue = value;
  CString className = Field(p.className, sizeof(p.className));
  className.MakeLower();
  className.Trim();
  if (!className.IsEmpty()) SelectChoice(m_cmbClass, className);
  SelectChoice(m_cmbType, type);
  m_cmbValue.ResetContent();

  CWnd* valueEdit = GetDlgItem(IDC_ROM_VALUE);
  CString range = Field(p.range, sizeof(p.range)), list = Field(p.list, sizeof(p.list));
  CString validText;
  if (!list.IsEmpty() && range.IsEmpty()) {
    valueEdit->ShowWindow(SW_HIDE);
    valueEdit->EnableWindow(FALSE);
    m_cmbValue.ShowWindow(SW_SHOW);
    m_cmbValue.EnableWindow(TRUE);
    // Entries up to each ",", "}" or "]"; the one matching the value is chosen.
    CString rest = Shown(list);
    rest.Remove('{');
    double v = atof(value);
    int chosen = 0;
    while (!rest.IsEmpty()) {
      int end = rest.FindOneOf(",}]");
      CString entry = end < 0 ? rest : rest.Left(end);
      if (!entry.IsEmpty()) {
        int at = m_cmbValue.AddString(WithoutTrailingZeros(entry));
        if (fabs(atof(entry) - v) < m_dTolerance) chosen = at;
      }
      if (end < 0) break;
      rest = rest.Mid(end + 1);
    }
    m_cmbValue.SetCurSel(chosen);
    validText.Format("%s:%s", (const char*)LoadLangString(IDS_ROM_VALID_VALUES_CN, IDS_ROM_VALID_VALUES_EN),
                     (const char*)Shown(list));
  } else {
    m_cmbValue.ShowWindow(SW_HIDE);
    m_cmbValue.EnableWindow(FALSE);
    valueEdit->ShowWindow(SW_SHOW);
    valueEdit->EnableWindow(TRUE);
    if (!range.IsEmpty()) {
      m_strValue = WithoutTrailingZeros(m_strValue);
      validText.Format("%s:%s", (const char*)LoadLangString(IDS_ROM_RANGE_IS_CN, IDS_ROM_RANGE_IS_EN),
                       (const char*)Shown(range));
    }
    m_cmbValue.SetCurSel(m_cmbValue.AddString(m_strValue));
  }
  SetDlgItemText(IDC_ROM_VALID_VALUES, validText);
  UpdateData(FALSE);
}

void CDeviceConfigDlg::OnListClick(NMHDR*, LRESULT* result) {
  *result = 0;
  if (m_lRefreshing) return;
  int row = m_list.GetSelectedRow();
  if (row >= 0) ShowParam(m_list.GetItemText(row, 0));
}

void CDeviceConfigDlg::OnListItemChanged(NMHDR* nm, LRESULT* result) {
  *result = 0;
  const NMLISTVIEW* lv = (const NMLISTVIEW*)nm;
  if (m_lRefreshing || !(lv->uChanged & LVIF_STATE) || !(lv->uNewState & LVIS_SELECTED)) return;
  ShowParam(m_list.GetItemText(lv->iItem, 0));
}

void CDeviceConfigDlg::OnValueSelChange() {
  UpdateData(TRUE);
  m_strValue = ChosenText(m_cmbValue);
  UpdateData(FALSE);
}

// ---------------------------------------------------------------------------
// Editing

void CDeviceConfigDlg::OnUpdateList() {
  UpdateData(TRUE);
  CString error;
  if (m_cmbClass.GetCurSel() < 0) error += LoadLangString(IDS_ROM_SELECT_CLASS_CN, IDS_ROM_SELECT_CLASS_EN);
  if (m_cmbType.GetCurSel() < 0) error += LoadLangString(IDS_ROM_SELECT_TYPE_CN, IDS_ROM_SELECT_TYPE_EN);
  if (!error.IsEmpty()) {
    ShowMessage(error, MB_OK);
    return;
  }
  RomParam record;
  m_strIndex.Trim();
  m_strIndex.MakeUpper();
  record.index = (WORD)(ParseIndex(m_strIndex) & 0xFFFF);
  device_text::CopyField(record.className, sizeof(record.className), ChosenText(m_cmbClass));
  device_text::CopyField(record.description, sizeof(record.description), m_strMemo);
  CString typeName = ChosenText(m_cmbType);

  RomParam present;
  bool found;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    auto it = g_RomParamMap.m_map.find(record.index);
    found = it != g_RomParamMap.m_map.end();
    if (found) present = it->second;
  }
  CString valueText = m_strValue;
  CString refused;
  if (found) {
    CString range = Field(present.range, sizeof(present.range)), list = Field(present.list, sizeof(present.list));
    if (!list.IsEmpty() && range.IsEmpty()) valueText = ChosenText(m_cmbValue);
    if (!IsValueAllowed(valueText, range, list)) {
      CString text;
      text.Format("%s: %s", (const char*)LoadLangString(IDS_ROM_BAD_VALUE_CN, IDS_ROM_BAD_VALUE_EN),
                  (const char*)Shown(range.IsEmpty() ? list : range));
      UpdateData(FALSE);
      ShowMessage(text, MB_OK);
      return;
    }
  }
  if (!SetValueFromText(record, typeName, valueText, &refused)) {
    UpdateData(FALSE);
    ShowMessage(refused, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  UpdateData(FALSE);
  CString question;
  if (found) {
    question.Format(LoadLangString(IDS_ROM_EXISTS_CN, IDS_ROM_EXISTS_EN), (const char*)FormatRomLine(present));
    if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    memcpy(record.range, present.range, sizeof(record.range));
    memcpy(record.list, present.list, sizeof(record.list));
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map[record.index] = record;
  } else {
    question.Format(LoadLangString(IDS_ROM_ADD_CN, IDS_ROM_ADD_EN), (const char*)FormatRomLine(record));
    if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.emplace(record.index, record);
  }
  RefreshParamList();
}

void CDeviceConfigDlg::OnDelete() {
  UpdateData(TRUE);
  WORD index = (WORD)(ParseIndex(m_strIndex) & 0xFFFF);
  RomParam present;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    auto it = g_RomParamMap.m_map.find(index);
    if (it == g_RomParamMap.m_map.end()) return;
    present = it->second;
  }
  CString question;
  question.Format(LoadLangString(IDS_ROM_DELETE_ASK_CN, IDS_ROM_DELETE_ASK_EN), (const char*)FormatRomLine(present));
  if (ShowMessage(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.erase(index);
  }
  RefreshParamList();
}

void CDeviceConfigDlg::OnClearAll() {
  UpdateData(TRUE);
  m_list.DeleteAllItems();
  m_strIndex.Empty();
  m_strMemo.Empty();
  m_strValue.Empty();
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.clear();
  }
  UpdateData(FALSE);
}

void CDeviceConfigDlg::OnSelectAll() {
  for (int i = 0; i < m_list.GetItemCount(); ++i) m_list.SetCellCheck(i, 0, 1);
}

void CDeviceConfigDlg::OnDeselectAll() {
  for (int i = 0; i < m_list.GetItemCount(); ++i)
    if (m_list.GetCellCheckState(i, 0) == 1) m_list.SetCellCheck(i, 0, 0);
}

// ---------------------------------------------------------------------------
// Files

void CDeviceConfigDlg::OnLoadFromFile() {
  UpdateData(TRUE);
  CString filter = LoadLangString(IDS_ROM_FILTER_CN, IDS_ROM_FILTER_EN);
  CFileDialog chooser(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, filter, this);
  if (chooser.DoModal() != IDOK) return;
  m_strFilePath = chooser.GetPathName();
  UpdateData(FALSE);
  if (LoadRomFile(m_strFilePath)) LoadChoices();
  RefreshParamList();
}

void CDeviceConfigDlg::OnSaveAllToFile() {
  UpdateData(TRUE);
  CString filter = LoadLangString(IDS_ROM_FILTER_CN, IDS_ROM_FILTER_EN);
  CFileDialog chooser(FALSE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, filter, this);
  if (chooser.DoModal() != IDOK) return;
  CString path = chooser.GetPathName();
  if (!SaveRomFile(path)) {
    CString text;
    text.Format(LoadLangString(IDS_ROM_SAVE_FAILED_CN, IDS_ROM_SAVE_FAILED_EN), (const char*)path);
    ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
  }
}
