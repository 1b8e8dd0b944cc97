// What can go wrong in the job order store, before it becomes a database error text.
//
// The parser, the table and the file layer report an id and a detail (the token, the
// column, the file name...). Only the connection layer turns them into codes and texts
// in the UI language, so that the portable parts stay free of texts.
#pragma once

#include "platform/core.h"

enum StoreErrorId {
  kStoreOk = 0,
  kStoreSyntax,           // detail: the text where the statement stops making sense
  kStoreNoSuchTable,      // detail: the table name
  kStoreNoSuchColumn,     // detail: the column name
  kStoreTypeMismatch,     // detail: the column name
  kStoreBadDate,          // detail: the text that is no date
  kStoreIdentReadOnly,    // ident is the store's to assign
  kStoreDuplicateColumn,  // detail: the column name
  kStoreValueCount,       // insert: columns and values differ in number
  kStoreIdentExhausted,   // no ident left to assign
  kStoreFileMissing,      // detail: the file path
  kStoreFileBad,          // detail: "line N: what"
  kStoreFileRead,         // detail: the file path and the system's reason
  kStoreFileWrite,        // detail: the file path and the system's reason
  kStoreBusy,             // detail: the file path
  kStoreBadConnection,    // detail: the connection string
  kStoreClosed,           // an operation on a closed connection or record set
  kStoreNoCurrentRow,     // a field read or a move at the end of a record set
  kStoreNoSuchField,      // detail: the field name
  kStoreFieldNotNumber,   // detail: the field name
  kStoreNotRowReturning,  // a record set opened on a statement that returns no rows
};

struct StoreError {
  StoreErrorId m_id = kStoreOk;
  CString m_strDetail;

  // Sets the error and returns false, for "return error.Set(...)".
  bool Set(StoreErrorId id, const char* detail = "") {
    m_id = id;
    m_strDetail = detail;
    return false;
  }
};
