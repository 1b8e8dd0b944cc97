// The database wrapper: one connection (CADODataBase) and record sets opened on it
// (CADORecordset) behind a boolean-result interface. Every error raised underneath is
// caught here and kept as a code and a text for the caller to show; only IsEof and
// MoveNext let it through, as CDbError, to the caller's handler.
//
// The objects underneath are our own store's (db_connection.h): the program needs no
// database engine or driver on the machine.
#pragma once

#include <memory>

#include "jobs/store/db_connection.h"

class CADODataBase {
 public:
  CADODataBase();
  ~CADODataBase();
  CADODataBase(const CADODataBase&) = delete;
  CADODataBase& operator=(const CADODataBase&) = delete;

  // Opens with the connection string, closing first when open; an empty string reopens
  // with the previous one. False, with the error text set, when the store cannot be
  // opened.
  bool Open(const char* connectionString);
  bool IsOpen() const;
  void Close();
  // Runs a statement that returns no rows. False, with the error text set (the
  // statement included), when it cannot be parsed or run or its change cannot be
  // written; the stored rows are then as they were.
  bool Execute(const char* sql);
  CString GetLastErrorText() const { return m_strLastErrorText; }
  LONG GetLastError() const { return m_hrLastError; }

  // The connection object, for its properties (the command timeout).
  const std::shared_ptr<CDbConnection>& GetConnection() const { return m_pConnection; }

 private:
  void ReportError(const CDbError& error, const char* sql = nullptr);

  std::shared_ptr<CDbConnection> m_pConnection;  // always there
  CString m_strConnectionString;                 // the last non-empty one given to Open
  CString m_strLastErrorText;                    // empty until an error
  LONG m_hrLastError = kDbOk;                    // code of that error
};

class CADORecordset {
 public:
  explicit CADORecordset(CADODataBase* database);
  ~CADORecordset();
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // Runs a select (option 1, the only one used: the source is a statement) and holds
  // its rows. Leading blanks of the source are dropped; an empty source reruns the
  // previous one. False, with the error text set, on any error.
  bool Open(const char* source, int option = 1);
  bool IsOpen() const;
  void Close();
  // Throw CDbError on a closed record set; MoveNext also at the end.
  bool IsEof();
  void MoveNext();

  // The field of the current row by name. Null reads as 0 and as the empty text, an
  // integer as its decimal text, a date through the format (empty: "%Y-%m-%d %H:%M:%S").
  // False, the out value unchanged and the error text set, for an unknown field, a
  // closed record set, the end of the rows, or a text or date read as an integer.
  bool GetFieldInt(const char* name, int& value);
  bool GetFieldText(const char* name, CString& text, CString dateFormat);

  CString GetLastErrorText() const { return m_strLastErrorText; }
  LONG GetLastError() const { return m_hrLastError; }

 private:
  void ReportError(const CDbError& error);

  std::shared_ptr<CDbRecordset> m_pRecordset;    // always there
  std::shared_ptr<CDbConnection> m_pConnection;  // the database's; never opened or closed here
  CString m_strLastErrorText;
  LONG m_hrLastError = kDbOk;
  CString m_strSource;  // the last non-empty source given to Open, without leading blanks
};
