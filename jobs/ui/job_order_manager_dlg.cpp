#include "jobs/ui/job_order_manager_dlg.h"

#include <cstdlib>
#include <cstring>
#include <exception>

#include "foundation/texts.h"
#include "jobs/store/job_order_database.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CJobOrderManagerDlg, CDialog)
  ON_WM_CLOSE()
  ON_BN_CLICKED(IDC_JOB_ORDER_RESET, &CJobOrderManagerDlg::OnReset)
  ON_BN_CLICKED(IDC_JOB_ORDER_QUERY, &CJobOrderManagerDlg::OnQuery)
  ON_BN_CLICKED(IDC_JOB_ORDER_SAVE, &CJobOrderManagerDlg::OnSave)
  ON_BN_CLICKED(IDC_JOB_ORDER_DELETE, &CJobOrderManagerDlg::OnDelete)
  ON_NOTIFY(NM_CLICK, IDC_JOB_ORDER_LIST, &CJobOrderManagerDlg::OnClickList)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_JOB_ORDER_LIST, &CJobOrderManagerDlg::OnItemChangedList)
  ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {

// The list's columns, in order; the ident is the last.
enum {
  kOrderColStatus,
  kOrderColJobName,
  kOrderColCreatedDay,
  kOrderColPayment,
  kOrderColExpectedDay,
  kOrderColDeliveredDay,
  kOrderColCustomer,
  kOrderColContact,
  kOrderColTelephone,
  kOrderColIdent,
  kOrderColumns
};

struct ColumnSpec {
  UINT nChineseId, nEnglishId;
  int nFormat;  // LVCFMT_
  int nWidth_px;
};
const ColumnSpec kColumnSpecs[kOrderColumns] = {
    {IDS_JOB_ORDER_COL_STATUS_CN, IDS_JOB_ORDER_COL_STATUS_EN, LVCFMT_LEFT, 60},
    {IDS_JOB_ORDER_COL_JOB_NAME_CN, IDS_JOB_ORDER_COL_JOB_NAME_EN, LVCFMT_LEFT, 120},
    {IDS_JOB_ORDER_COL_CREATED_DAY_CN, IDS_JOB_ORDER_COL_CREATED_DAY_EN, LVCFMT_CENTER, 100},
    {IDS_JOB_ORDER_COL_PAYMENT_CN, IDS_JOB_ORDER_COL_PAYMENT_EN, LVCFMT_CENTER, 100},
    {IDS_JOB_ORDER_COL_CONTRACT_DAY_CN, IDS_JOB_ORDER_COL_CONTRACT_DAY_EN, LVCFMT_CENTER, 100},
    {IDS_JOB_ORDER_COL_DELIVERY_DAY_CN, IDS_JOB_ORDER_COL_DELIVERY_DAY_EN, LVCFMT_CENTER, 100},
    {IDS_JOB_ORDER_COL_COMPANY_CN, IDS_JOB_ORDER_COL_COMPANY_EN, LVCFMT_CENTER, 200},
    {IDS_JOB_ORDER_COL_CONTACT_CN, IDS_JOB_ORDER_COL_CONTACT_EN, LVCFMT_CENTER, 80},
    {IDS_JOB_ORDER_COL_TELEPHONE_CN, IDS_JOB_ORDER_COL_TELEPHONE_EN, LVCFMT_CENTER, 100},
    {IDS_JOB_ORDER_COL_IDENT_CN, IDS_JOB_ORDER_COL_IDENT_EN, LVCFMT_CENTER, 60},
};

// Cell texts pass through one buffer of this size, terminator included.
constexpr int kCellBuffer = 260;

// The text as a cell holds it: at most kCellBuffer - 1 bytes, never half a double-byte
// character.
CString CellText(const CString& text) {
  if (text.GetLength() < kCellBuffer) return text;
  const char* s = text;
  int keep = 0;
  while (s[keep] != '\0') {
    int step = (::IsDBCSLeadByte((BYTE)s[keep]) && s[keep + 1] != '\0') ? 2 : 1;
    if (keep + step > kCellBuffer - 1) break;
    keep += step;
  }
  return text.Left(keep);
}

void ShowDbError(const CString& text) { ShowMessage(text, MB_OK | MB_ICONERROR); }

// Runs a select and hands its rows to body. A record set that does not open, and an
// error a read lets through (IsEof, MoveNext), are shown with their statement; the
// dialog then goes on.
template <class Body>
void RunSelect(const CString& sql, Body body) {
  try {
    CADORecordset records(&g_JobOrderDatabase);
    if (!records.Open(sql, 1)) {
      ShowDbError(records.GetLastErrorText());
      return;
    }
    body(records);
    records.Close();
  } catch (const CDbError& e) {
    ShowDbError("Query = " + sql + "\n" + FormatDbError("CADORecordset", e));
  } catch (const std::exception& e) {
    ShowDbError(CString("Query = ") + sql + "\n" + e.what());
  }
}

}  // namespace

CJobOrderManagerDlg::CJobOrderManagerDlg(CWnd* parent, const char* jobName)
    : CDialog(PickLangId(IDD_JOB_ORDER_MANAGER_CN, IDD_JOB_ORDER_MANAGER_EN), parent), m_strJobName(jobName) {
  m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_PROGRAM));
}

CJobOrderManagerDlg::~CJobOrderManagerDlg() = default;

void CJobOrderManagerDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_JOB_ORDER_LIST, m_lstOrders);
  DDX_Text(dx, IDC_JOB_ORDER_CUSTOMER, m_strCustomerName);
  DDX_Text(dx, IDC_JOB_ORDER_DELIVERED_DAY, m_strDeliveredDay);
  DDX_Text(dx, IDC_JOB_ORDER_PAYMENT, m_strPayment);
  DDX_Text(dx, IDC_JOB_ORDER_MEMO, m_strMemo);
  DDX_Text(dx, IDC_JOB_ORDER_CONTACT, m_strContact);
  DDX_Text(dx, IDC_JOB_ORDER_TELEPHONE, m_strTelephone);
  DDX_Check(dx, IDC_JOB_ORDER_SHOW_FINISHED, m_bShowFinished);
  DDX_Check(dx, IDC_JOB_ORDER_FINISHED, m_bFinished);
  DDX_Check(dx, IDC_JOB_ORDER_SHOW_NOT_FINISHED, m_bShowNotFinished);
  DDX_Text(dx, IDC_JOB_ORDER_EXPECTED_DAY, m_strExpectedDay);
  DDX_Text(dx, IDC_JOB_ORDER_CREATED_DAY, m_strCreatedDay);
  DDX_Text(dx, IDC_JOB_ORDER_JOB_NAME, m_strJobName);
}

BOOL CJobOrderManagerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  // Only the list grows with the dialog; the fields and buttons keep their place.
  AnchorControl(IDC_JOB_ORDER_LIST, ANCHOR_TOPLEFT, ANCHOR_BOTTOMRIGHT);
  m_lstOrders.SetExtendedStyle(m_lstOrders.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  InsertColumns();

  if (!OpenJobOrderDatabase()) {
    // The message first, then why: a missing file, a damaged one, one held by another
    // program.
    ShowMessage(LoadLangString(IDS_JOBORDER_NO_DATABASE_CN, IDS_JOBORDER_NO_DATABASE_EN) + "\n\n" +
                    g_JobOrderDatabase.GetLastErrorText(),
                MB_OK);
    EndDialog(0);
    return FALSE;
  }
  FillList("");
  UpdateData(FALSE);
  CenterWindow();
  ShowWindow(SW_SHOWMAXIMIZED);
  return TRUE;
}

void CJobOrderManagerDlg::InsertColumns() {
  for (int c = 0; c < kOrderColumns; ++c) {
    const ColumnSpec& spec = kColumnSpecs[c];
    m_lstOrders.InsertColumn(c, LoadLangString(spec.nChineseId, spec.nEnglishId), spec.nFormat, spec.nWidth_px);
  }
}

JobOrderRow CJobOrderManagerDlg::FieldsAsRow() const {
  JobOrderRow row;
  row.m_bFinished = m_bFinished ? TRUE : FALSE;
  row.m_strJobName = m_strJobName;
  row.m_strPayment = m_strPayment;
  row.m_strCreatedDay = m_strCreatedDay;
  row.m_strExpectedDay = m_strExpectedDay;
  row.m_strDeliveredDay = m_strDeliveredDay;
  row.m_strCustomerName = m_strCustomerName;
  row.m_strContact = m_strContact;
  row.m_strTelephone = m_strTelephone;
  row.m_strMemo = m_strMemo;
  return row;
}

CString CJobOrderManagerDlg::JobMessage(UINT chineseId, UINT englishId) const {
  CString text;
  text.Format(LoadLangString(chineseId, englishId), (const char*)m_strJobName);
  return text;
}

bool CJobOrderManagerDlg::ExecuteShowingError(const CString& sql) {
  if (g_JobOrderDatabase.Execute(sql)) return true;
  ShowDbError(g_JobOrderDatabase.GetLastErrorText());
  return false;
}

// ---------------------------------------------------------------------------------
// The list

void CJobOrderManagerDlg::SetCellText(int item, int column, const CString& text) {
  CString cell = CellText(text);
  char present[kCellBuffer] = "";
  m_lstOrders.GetItemText(item, column, present, kCellBuffer);
  if (strcmp(present, cell) != 0) m_lstOrders.SetItemText(item, column, cell);
}

void CJobOrderManagerDlg::FillList(const CString& condition) {
  RunSelect(BuildOrderListSql(m_bShowFinished, m_bShowNotFinished, condition),
            [&](CADORecordset& records) { FillListFrom(records); });
}

// Row i of the result goes into item i: an item that is there keeps every cell whose
// text is unchanged (no flicker, the selection stays), a missing one is appended, and
// items beyond the result are deleted from the end.
void CJobOrderManagerDlg::FillListFrom(CADORecordset& records) {
  const int itemsBefore = m_lstOrders.GetItemCount();
  int i = 0;
  for (; !records.IsEof(); ++i, records.MoveNext()) {
    JobOrderRow row;
    if (!ReadJobOrderRow(records, row)) {
      ShowDbError(records.GetLastErrorText());
      return;
    }
    CString status = row.m_bFinished ? "OK" : "-";
    if (i < itemsBefore)
      SetCellText(i, kOrderColStatus, status);
    else
      m_lstOrders.InsertItem(i, CellText(status));
    CString ident;
    ident.Format("%d", row.m_nIdent);
    const CString* cells[kOrderColumns] = {nullptr,
                                           &row.m_strJobName,
                                           &row.m_strCreatedDay,
                                           &row.m_strPayment,
                                           &row.m_strExpectedDay,
                                           &row.m_strDeliveredDay,
                                           &row.m_strCustomerName,
                                           &row.m_strContact,
                                           &row.m_strTelephone,
                                           &ident};
    for (int c = kOrderColJobName; c < kOrderColumns; ++c) SetCellText(i, c, *cells[c]);
  }
  while (m_lstOrders.GetItemCount() > i) m_lstOrders.DeleteItem(m_lstOrders.GetItemCount() - 1);
}

void CJobOrderManagerDlg::LoadRowOfItem(int item) {
  UpdateData(TRUE);
  CString ident;
  if (item >= 0 && item < m_lstOrders.GetItemCount())
    ident = m_lstOrders.GetItemText(item, m_lstOrders.GetHeaderCtrl()->GetItemCount() - 1);
  if (!ident.IsEmpty()) {
    RunSelect(BuildSelectByIdentSql(atoi(ident)), [&](CADORecordset& records) {
      JobOrderRow row;
      if (records.IsEof()) return;
      if (!ReadJobOrderRow(records, row)) {
        ShowDbError(records.GetLastErrorText());
        return;
      }
      m_bFinished = row.m_bFinished ? 1 : 0;
      m_strJobName = row.m_strJobName;
      m_strPayment = row.m_strPayment;
      m_strCustomerName = row.m_strCustomerName;
      m_strContact = row.m_strContact;
      m_strTelephone = row.m_strTelephone;
      m_strMemo = row.m_strMemo;
      m_strCreatedDay = row.m_strCreatedDay;
      m_strExpectedDay = row.m_strExpectedDay;
      m_strDeliveredDay = row.m_strDeliveredDay;
    });
  }
  UpdateData(FALSE);
}

void CJobOrderManagerDlg::OnClickList(NMHDR* nm, LRESULT* result) {
  if (nm) LoadRowOfItem(((const NMITEMACTIVATE*)nm)->iItem);
  *result = 0;
}

// A row that becomes the selected and focused one (mouse or keyboard) is loaded. Text
// changes of the selected row during a refresh are no selection and load nothing.
void CJobOrderManagerDlg::OnItemChangedList(NMHDR* nm, LRESULT* result) {
  const NMLISTVIEW* lv = (const NMLISTVIEW*)nm;
  if ((lv->uChanged & LVIF_STATE) && lv->uNewState == (LVIS_SELECTED | LVIS_FOCUSED)) LoadRowOfItem(lv->iItem);
  *result = 0;
}

// ---------------------------------------------------------------------------------
// The buttons

void CJobOrderManagerDlg::OnReset() {
  UpdateData(TRUE);
  m_strCustomerName.Empty();
  m_strDeliveredDay.Empty();
  m_strPayment.Empty();
  m_strMemo.Empty();
  m_strContact.Empty();
  m_strTelephone.Empty();
  m_strExpectedDay.Empty();
  m_strCreatedDay.Empty();
  m_strJobName.Empty();
  m_bShowFinished = 0;
  m_bFinished = 0;
  m_bShowNotFinished = 0;
  m_lstOrders.DeleteAllItems();
  UpdateData(FALSE);
}

void CJobOrderManagerDlg::OnQuery() {
  UpdateData(TRUE);
  FillList(BuildSearchCondition(FieldsAsRow()));
}

// The first row of the typed job name: its ident. Without the lookup no row is known,
// so there is nothing to ask about, update or delete.
CJobOrderManagerDlg::JobRowLookup CJobOrderManagerDlg::FindJobRow(int& ident) {
  JobRowLookup result = kJobRowLookupFailed;
  RunSelect(BuildJobRowsSql(m_strJobName), [&](CADORecordset& records) {
    if (records.IsEof())
      result = kNoJobRow;
    else if (records.GetFieldInt("ident", ident))
      result = kJobRowFound;
    else
      ShowDbError(records.GetLastErrorText());
  });
  return result;
}

// A new job name inserts a row; a name that has one updates it (the job's first row)
// once the operator agrees.
void CJobOrderManagerDlg::OnSave() {
  UpdateData(TRUE);
  int ident = 0;
  JobRowLookup found = FindJobRow(ident);
  if (found == kJobRowLookupFailed) return;
  if (found == kJobRowFound && ShowMessage(JobMessage(IDS_JOBORDER_CONFIRM_UPDATE_CN, IDS_JOBORDER_CONFIRM_UPDATE_EN),
                                           MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  JobOrderRow fields = FieldsAsRow();
  ExecuteShowingError(found == kJobRowFound ? BuildUpdateSql(fields, ident) : BuildInsertSql(fields));
  FillList("");
}

void CJobOrderManagerDlg::OnDelete() {
  UpdateData(TRUE);
  int ident = 0;
  JobRowLookup found = FindJobRow(ident);
  if (found == kJobRowLookupFailed) return;
  if (found == kNoJobRow) {
    ShowMessage(JobMessage(IDS_JOBORDER_NO_SUCH_JOB_CN, IDS_JOBORDER_NO_SUCH_JOB_EN), MB_OK);
    return;
  }
  if (ShowMessage(JobMessage(IDS_JOBORDER_CONFIRM_DELETE_CN, IDS_JOBORDER_CONFIRM_DELETE_EN),
                  MB_YESNO | MB_ICONQUESTION) == IDYES)
    ExecuteShowingError(BuildDeleteSql(ident));
  FillList("");
}

// ---------------------------------------------------------------------------------
// Size and the ways out: each closes the connection, so the next opening reads the
// file afresh.

void CJobOrderManagerDlg::OnSize(UINT type, int cx, int cy) {
  (void)cx;
  (void)cy;
  Default();
  if (type == SIZE_MINIMIZED) return;
  ApplyAnchors();
  Invalidate(TRUE);
}

void CJobOrderManagerDlg::OnClose() {
  g_JobOrderDatabase.Close();
  Default();
}

void CJobOrderManagerDlg::OnOK() {
  g_JobOrderDatabase.Close();
  CDialog::OnOK();
}

void CJobOrderManagerDlg::OnCancel() {
  g_JobOrderDatabase.Close();
  CDialog::OnCancel();
}
