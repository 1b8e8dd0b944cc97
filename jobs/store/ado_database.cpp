#include "jobs/store/ado_database.h"

CADODataBase::CADODataBase() : m_pConnection(std::make_shared<CDbConnection>()) {}

CADODataBase::~CADODataBase() { Close(); }

bool CADODataBase::Open(const char* connectionString) {
  if (IsOpen()) Close();
  if (connectionString != nullptr && *connectionString != '\0') m_strConnectionString = connectionString;
  try {
    m_pConnection->Open(m_strConnectionString);
    return true;
  } catch (const CDbError& e) {
    ReportError(e);
    return false;
  }
}

bool CADODataBase::IsOpen() const { return m_pConnection->IsOpen(); }

void CADODataBase::Close() {
  if (IsOpen()) m_pConnection->Close();
}

bool CADODataBase::Execute(const char* sql) {
  try {
    m_pConnection->Execute(sql);
    return true;
  } catch (const CDbError& e) {
    ReportError(e, sql);
    return false;
  }
}

// "Connection String = ..." first; for a failed statement the statement itself follows,
// so that the text shown says which write did not happen.
void CADODataBase::ReportError(const CDbError& error, const char* sql) {
  m_strLastErrorText = "Connection String = " + m_strConnectionString + "\n";
  if (sql != nullptr) m_strLastErrorText += CString("Query = ") + sql + "\n";
  m_strLastErrorText += FormatDbError("CADODataBase", error);
  m_hrLastError = error.m_hrCode;
}

CADORecordset::CADORecordset(CADODataBase* database)
    : m_pRecordset(std::make_shared<CDbRecordset>()), m_pConnection(database->GetConnection()) {}

CADORecordset::~CADORecordset() { Close(); }

bool CADORecordset::Open(const char* source, int option) {
  (void)option;  // 1: the source is a statement; no other kind of source exists here
  if (IsOpen()) Close();
  if (source != nullptr && *source != '\0') m_strSource = source;
  m_strSource.TrimLeft();
  try {
    m_pRecordset->Open(m_strSource, *m_pConnection);
    return true;
  } catch (const CDbError& e) {
    ReportError(e);
    return false;
  }
}

bool CADORecordset::IsOpen() const { return m_pRecordset->IsOpen(); }

void CADORecordset::Close() {
  if (IsOpen()) m_pRecordset->Close();
}

bool CADORecordset::IsEof() { return m_pRecordset->IsEof(); }

void CADORecordset::MoveNext() { m_pRecordset->MoveNext(); }

bool CADORecordset::GetFieldInt(const char* name, int& value) {
  try {
    const CDbValue& v = m_pRecordset->GetField(name);
    if (v.GetKind() == CDbValue::kText || v.GetKind() == CDbValue::kDate) {
      StoreError e;
      e.Set(kStoreFieldNotNumber, name);
      ReportError(CDbError(e));
      return false;
    }
    value = v.IsNull() ? 0 : v.GetInt();
    return true;
  } catch (const CDbError& e) {
    ReportError(e);
    return false;
  }
}

bool CADORecordset::GetFieldText(const char* name, CString& text, CString dateFormat) {
  try {
    const CDbValue& v = m_pRecordset->GetField(name);
    switch (v.GetKind()) {
      case CDbValue::kNull: text.Empty(); break;
      case CDbValue::kInt: text.Format("%d", v.GetInt()); break;
      case CDbValue::kText: text = v.GetText(); break;
      case CDbValue::kDate: text = FormatDbDate(v.GetDate(), dateFormat); break;
    }
    return true;
  } catch (const CDbError& e) {
    ReportError(e);
    return false;
  }
}

void CADORecordset::ReportError(const CDbError& error) {
  m_strLastErrorText = "Query = " + m_strSource + "\n" + FormatDbError("CADORecordset", error);
  m_hrLastError = error.m_hrCode;
}
