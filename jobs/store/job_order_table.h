// The rows of [JobInfo] in memory: running parsed statements on them, and their text
// form, the file "Jobs.mdb".
//
// File format (texts in the program's code page, lines ended by "\n", "\r\n" read too):
//   header: "CorvaneJobInfo/1" TAB "next_ident=N" TAB the column names in table order
//   rows:   one line per row in insertion order, one field per column, TAB between;
//           "\N" is null; in texts "\\", "\t", "\n", "\r" stand for backslash, tab, line
//           feed and carriage return; integers in decimal; dates "YYYY-MM-DD HH:MM:SS".
// next_ident is the ident the next insert gets; it only grows, so that an ident once
// given never comes back after a delete, not even the last row's.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "jobs/store/job_order_schema.h"
#include "jobs/store/sql_statement.h"

// One row: the values in column order.
using JobOrderValues = std::array<CDbValue, kJobOrderColumnCount>;

class CJobOrderTable {
 public:
  // Runs a parsed statement. A select copies the rows it matches into *rows (when
  // given); the others change the table. *affected (when given) counts the rows matched,
  // inserted, changed or removed. False (table unchanged) when no ident is left.
  bool Execute(const SqlStatement& statement, std::vector<JobOrderValues>* rows, int* affected, StoreError& error);

  // Replaces the table with the file's rows; on a malformed file the table is unchanged
  // and the error names the line.
  bool Load(const std::string& text, StoreError& error);
  std::string Save() const;

  const std::vector<JobOrderValues>& Rows() const { return m_rows; }
  int NextIdent() const { return m_nNextIdent; }

 private:
  std::vector<JobOrderValues> m_rows;  // insertion order; idents unique
  int m_nNextIdent = 1;                // above every ident ever given
};
