// The connection and record-set objects under the database wrapper: what the platform's
// data-access objects are elsewhere, here a thin layer over our own store of [JobInfo].
//
// Like the platform objects they raise errors (CDbError: a 32-bit code, a source and a
// description) and leave catching them to the wrapper, which turns them into a false
// result and an error text. A record set holds a copy of the rows its statement
// matched (a static cursor): later changes to the file do not show in it.
#pragma once

#include <vector>

#include "jobs/store/job_order_table.h"

// Error codes, as the data-access layer of the platform reports them.
constexpr LONG kDbOk = 0;
constexpr LONG kDbErrFail = (LONG)0x80004005;             // files: missing, damaged, unwritable
constexpr LONG kDbErrTypeMismatch = (LONG)0x80020005;     // a field read as the wrong type
constexpr LONG kDbErrCantConvert = (LONG)0x80040E07;      // a value that does not fit its column
constexpr LONG kDbErrInCommand = (LONG)0x80040E14;        // errors in the statement
constexpr LONG kDbErrTimeout = (LONG)0x80040E31;          // the file stayed locked
constexpr LONG kDbErrNoCurrentRecord = (LONG)0x800A0BCD;  // at the end of the rows
constexpr LONG kDbErrItemNotFound = (LONG)0x800A0CC1;     // no field of that name
constexpr LONG kDbErrObjectClosed = (LONG)0x800A0E78;     // connection or record set closed

class CDbError {
 public:
  CDbError(LONG code, const CString& description) : m_hrCode(code), m_strDescription(description) {}
  // The code, the source and the description in the UI language.
  explicit CDbError(const StoreError& error);

  LONG m_hrCode = kDbOk;
  CString m_strSource = "Job order store";
  CString m_strDescription;
};

// The system's text for a code, without its line end; for codes it has no text for,
// "IDispatch error #N" (0x80040201..0x8004FFFF, N = code - 0x80040200) or
// "Unknown error 0x<code>".
CString DbCodeMeaning(LONG code);

// "<object> Error\n\tCode = ...\n\tCode meaning = ...\n\tSource = ...\n\tDescription = ...\n"
CString FormatDbError(const char* objectName, const CDbError& error);

class CDbConnection {
 public:
  // Opens the store named by the connection string's "DBQ=<file>" (other keys are
  // accepted and ignored). The file must exist and be a job order file. Throws CDbError.
  void Open(const char* connectionString);
  void Close() { m_bOpen = false; }
  bool IsOpen() const { return m_bOpen; }

  // How long a statement waits for the file while another program writes it, in
  // seconds; 0 waits as long as it takes.
  void SetCommandTimeout(long timeout_s) { m_nCommandTimeout_s = timeout_s; }
  long GetCommandTimeout() const { return m_nCommandTimeout_s; }

  // Runs any statement; a select's rows are dropped. Returns the rows affected.
  int Execute(const char* sql);
  // Runs a select and hands its rows over; any other statement is an error.
  void Query(const char* sql, std::vector<JobOrderValues>& rows);

  const CString& GetPath() const { return m_strPath; }

 private:
  int Run(const SqlStatement& statement, std::vector<JobOrderValues>* rows);

  CString m_strPath;  // the file, from DBQ
  bool m_bOpen = false;
  long m_nCommandTimeout_s = 30;  // seconds; 0 without end
};

class CDbRecordset {
 public:
  // Runs the select on the connection and holds its rows, positioned on the first.
  // Throws CDbError; the record set is then closed.
  void Open(const char* source, CDbConnection& connection);
  void Close();
  bool IsOpen() const { return m_bOpen; }

  // These throw CDbError on a closed record set; MoveNext and GetField also at the end.
  bool IsEof() const;
  void MoveNext();
  const CDbValue& GetField(const char* name) const;

 private:
  void ThrowIfClosed() const;

  std::vector<JobOrderValues> m_rows;
  size_t m_nRow = 0;  // current row; m_rows.size() at the end
  bool m_bOpen = false;
};
