#include "jobs/store/db_connection.h"

#include "foundation/texts.h"
#include "jobs/store/store_file.h"
#include "resources/resource.h"

namespace {

struct ErrorText {
  StoreErrorId m_id;
  LONG m_hrCode;
  UINT m_nChineseId;
  UINT m_nEnglishId;
};

const ErrorText kErrorTexts[] = {
    {kStoreSyntax, kDbErrInCommand, IDS_JOBDB_SYNTAX_CN, IDS_JOBDB_SYNTAX_EN},
    {kStoreNoSuchTable, kDbErrInCommand, IDS_JOBDB_NO_TABLE_CN, IDS_JOBDB_NO_TABLE_EN},
    {kStoreNoSuchColumn, kDbErrInCommand, IDS_JOBDB_NO_COLUMN_CN, IDS_JOBDB_NO_COLUMN_EN},
    {kStoreTypeMismatch, kDbErrCantConvert, IDS_JOBDB_TYPE_MISMATCH_CN, IDS_JOBDB_TYPE_MISMATCH_EN},
    {kStoreBadDate, kDbErrCantConvert, IDS_JOBDB_BAD_DATE_CN, IDS_JOBDB_BAD_DATE_EN},
    {kStoreIdentReadOnly, kDbErrInCommand, IDS_JOBDB_IDENT_READ_ONLY_CN, IDS_JOBDB_IDENT_READ_ONLY_EN},
    {kStoreDuplicateColumn, kDbErrInCommand, IDS_JOBDB_DUPLICATE_COLUMN_CN, IDS_JOBDB_DUPLICATE_COLUMN_EN},
    {kStoreValueCount, kDbErrInCommand, IDS_JOBDB_VALUE_COUNT_CN, IDS_JOBDB_VALUE_COUNT_EN},
    {kStoreIdentExhausted, kDbErrFail, IDS_JOBDB_IDENT_EXHAUSTED_CN, IDS_JOBDB_IDENT_EXHAUSTED_EN},
    {kStoreFileMissing, kDbErrFail, IDS_JOBDB_FILE_MISSING_CN, IDS_JOBDB_FILE_MISSING_EN},
    {kStoreFileBad, kDbErrFail, IDS_JOBDB_FILE_BAD_CN, IDS_JOBDB_FILE_BAD_EN},
    {kStoreFileRead, kDbErrFail, IDS_JOBDB_FILE_READ_CN, IDS_JOBDB_FILE_READ_EN},
    {kStoreFileWrite, kDbErrFail, IDS_JOBDB_FILE_WRITE_CN, IDS_JOBDB_FILE_WRITE_EN},
    {kStoreBusy, kDbErrTimeout, IDS_JOBDB_BUSY_CN, IDS_JOBDB_BUSY_EN},
    {kStoreBadConnection, kDbErrFail, IDS_JOBDB_BAD_CONNECTION_CN, IDS_JOBDB_BAD_CONNECTION_EN},
    {kStoreClosed, kDbErrObjectClosed, IDS_JOBDB_CLOSED_CN, IDS_JOBDB_CLOSED_EN},
    {kStoreNoCurrentRow, kDbErrNoCurrentRecord, IDS_JOBDB_NO_CURRENT_ROW_CN, IDS_JOBDB_NO_CURRENT_ROW_EN},
    {kStoreNoSuchField, kDbErrItemNotFound, IDS_JOBDB_NO_FIELD_CN, IDS_JOBDB_NO_FIELD_EN},
    {kStoreFieldNotNumber, kDbErrTypeMismatch, IDS_JOBDB_NOT_NUMBER_CN, IDS_JOBDB_NOT_NUMBER_EN},
    {kStoreNotRowReturning, kDbErrInCommand, IDS_JOBDB_NO_ROWS_CN, IDS_JOBDB_NO_ROWS_EN},
};

// The few system texts of the codes above that the platform has one for.
struct CodeText {
  LONG m_hrCode;
  const char* m_pszText;
};
const CodeText kCodeTexts[] = {
    {kDbErrFail, "Unspecified error"},
    {kDbErrTypeMismatch, "Type mismatch."},
};

[[noreturn]] void Raise(StoreErrorId id, const char* detail = "") {
  StoreError e;
  e.Set(id, detail);
  throw CDbError(e);
}

// The value of one key of "key=value;key={value;with;semicolons};..." (the key without
// regard to case); empty when the key is not there.
CString ConnectionValue(const char* connectionString, const char* key) {
  CString s(connectionString);
  int pos = 0;
  while (pos < s.GetLength()) {
    int eq = s.Find('=', pos);
    int semi = s.Find(';', pos);
    if (eq < 0) break;
    if (semi >= 0 && semi < eq) {  // a part without '='
      pos = semi + 1;
      continue;
    }
    CString name = s.Mid(pos, eq - pos);
    name.Trim();
    int start = eq + 1;
    while (start < s.GetLength() && s[start] == ' ') ++start;
    CString value;
    int end;
    if (start < s.GetLength() && s[start] == '{') {
      int close = s.Find('}', start);
      if (close < 0) close = s.GetLength();
      value = s.Mid(start + 1, close - start - 1);
      end = s.Find(';', close);
    } else {
      end = s.Find(';', start);
      value = s.Mid(start, (end < 0 ? s.GetLength() : end) - start);
      value.Trim();
    }
    if (name.CompareNoCase(key) == 0) return value;
    if (end < 0) break;
    pos = end + 1;
  }
  return CString();
}

}  // namespace

CDbError::CDbError(const StoreError& error) {
  for (const ErrorText& t : kErrorTexts) {
    if (t.m_id == error.m_id) {
      m_hrCode = t.m_hrCode;
      m_strDescription.Format(LoadLangString(t.m_nChineseId, t.m_nEnglishId), (const char*)error.m_strDetail);
      return;
    }
  }
  m_hrCode = kDbErrFail;
  m_strDescription = error.m_strDetail;
}

CString DbCodeMeaning(LONG code) {
  for (const CodeText& t : kCodeTexts) {
    if (t.m_hrCode == code) return t.m_pszText;
  }
  CString s;
  ULONG u = (ULONG)code;
  if (u >= 0x80040201u && u <= 0x8004FFFFu) {
    s.Format("IDispatch error #%d", (int)(u - 0x80040200u));
  } else {
    s.Format("Unknown error 0x%0lX", (unsigned long)u);
  }
  return s;
}

CString FormatDbError(const char* objectName, const CDbError& error) {
  CString text;
  text.Format("%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n", objectName,
              (unsigned long)(ULONG)error.m_hrCode, (const char*)DbCodeMeaning(error.m_hrCode),
              (const char*)error.m_strSource, (const char*)error.m_strDescription);
  return text;
}

void CDbConnection::Open(const char* connectionString) {
  m_bOpen = false;
  CString path = ConnectionValue(connectionString, "DBQ");
  if (path.IsEmpty()) Raise(kStoreBadConnection, connectionString);
  // Opening proves that the file is there and readable, as the statements need it.
  CJobOrderTable table;
  StoreError error;
  if (!LoadJobStoreFile(path, table, error)) throw CDbError(error);
  m_strPath = path;
  m_bOpen = true;
}

int CDbConnection::Execute(const char* sql) {
  if (!m_bOpen) Raise(kStoreClosed);
  SqlStatement statement;
  StoreError error;
  if (!ParseSql(sql, statement, error)) throw CDbError(error);
  return Run(statement, nullptr);
}

void CDbConnection::Query(const char* sql, std::vector<JobOrderValues>& rows) {
  if (!m_bOpen) Raise(kStoreClosed);
  SqlStatement statement;
  StoreError error;
  if (!ParseSql(sql, statement, error)) throw CDbError(error);
  if (statement.m_kind != SqlStatement::kSelect) Raise(kStoreNotRowReturning);
  Run(statement, &rows);
}

// Every statement reads the file afresh under the file's lock and writes it back when
// it changed rows, so that two programs using one file never undo each other's rows.
int CDbConnection::Run(const SqlStatement& statement, std::vector<JobOrderValues>* rows) {
  CJobStoreFileLock lock(m_strPath);
  // Beyond about 49 days a DWORD of milliseconds overflows: that is as good as no end.
  bool bounded = m_nCommandTimeout_s > 0 && m_nCommandTimeout_s < 4000000;
  DWORD wait_ms = bounded ? (DWORD)m_nCommandTimeout_s * 1000u : INFINITE;
  if (!lock.Lock(wait_ms)) Raise(kStoreBusy, m_strPath);
  CJobOrderTable table;
  StoreError error;
  int affected = 0;
  if (!LoadJobStoreFile(m_strPath, table, error) || !table.Execute(statement, rows, &affected, error)) {
    throw CDbError(error);
  }
  bool changed = statement.m_kind != SqlStatement::kSelect && affected > 0;
  if (changed && !SaveJobStoreFile(m_strPath, table, error)) throw CDbError(error);
  return affected;
}

void CDbRecordset::Open(const char* source, CDbConnection& connection) {
  Close();
  std::vector<JobOrderValues> rows;
  connection.Query(source, rows);
  m_rows = std::move(rows);
  m_nRow = 0;
  m_bOpen = true;
}

void CDbRecordset::Close() {
  m_bOpen = false;
  m_rows.clear();
  m_nRow = 0;
}

void CDbRecordset::ThrowIfClosed() const {
  if (!m_bOpen) Raise(kStoreClosed);
}

bool CDbRecordset::IsEof() const {
  ThrowIfClosed();
  return m_nRow >= m_rows.size();
}

void CDbRecordset::MoveNext() {
  if (IsEof()) Raise(kStoreNoCurrentRow);
  ++m_nRow;
}

const CDbValue& CDbRecordset::GetField(const char* name) const {
  ThrowIfClosed();
  int column = FindJobOrderColumn(name);
  if (column < 0) Raise(kStoreNoSuchField, name);
  if (m_nRow >= m_rows.size()) Raise(kStoreNoCurrentRow);
  return m_rows[m_nRow][(size_t)column];
}
