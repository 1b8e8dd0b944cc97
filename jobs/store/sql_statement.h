// The statements the job order store understands, parsed and checked against the
// [JobInfo] table before anything runs: a statement that parses cannot fail on a type.
//
//   SELECT * FROM [JobInfo] [WHERE cond]
//   INSERT INTO [JobInfo] (col, ...) VALUES (value, ...)
//   UPDATE [JobInfo] SET col=value, ... [WHERE cond]
//   DELETE [*] FROM [JobInfo] [WHERE cond]
//   cond:  conj {OR conj};  conj: part {AND part};  part: (cond) | col op value
//   op:    = <> != LIKE;  value: 'text' ('' is a quote) | [-]integer | null
// null only as a value to store: a condition never holds for a null column.
//
// Keywords, the table and the column names are read without regard to case; the table
// name may stand in brackets or not; one ';' may end the statement.
#pragma once

#include <memory>
#include <vector>

#include "jobs/store/db_value.h"
#include "jobs/store/store_error.h"

enum SqlCompareOp { kSqlEqual, kSqlNotEqual, kSqlLike };

// A WHERE condition. A comparison holds its value already in the column's kind (a
// date column's text literal is a DbDate), LIKE its pattern as a text.
struct SqlCondition {
  enum Kind { kCompare, kAnd, kOr };
  Kind m_kind = kCompare;
  int m_nColumn = 0;                                   // kCompare: JobOrderColumn
  SqlCompareOp m_op = kSqlEqual;                       // kCompare
  CDbValue m_value;                                    // kCompare
  std::vector<std::unique_ptr<SqlCondition>> m_parts;  // kAnd, kOr: two or more
};

// One column and the value a statement gives it (insert and update).
struct SqlAssignment {
  int m_nColumn = 0;  // JobOrderColumn, never kColIdent
  CDbValue m_value;   // null or a value of the column's kind
};

struct SqlStatement {
  enum Kind { kSelect, kInsert, kUpdate, kDelete };
  Kind m_kind = kSelect;
  std::vector<SqlAssignment> m_values;     // insert: the listed columns; update: SET
  std::unique_ptr<SqlCondition> m_pWhere;  // none: every row
};

// Parses one statement. On failure the statement is left as it was and the error says
// why (syntax with the text where parsing stopped, unknown table or column, a value
// that does not fit its column, ident written).
bool ParseSql(const char* sql, SqlStatement& statement, StoreError& error);

// Whether a row (values in column order) satisfies the condition; a null never does.
bool SqlConditionHolds(const SqlCondition& condition, const CDbValue* row);
