// The statements of the Job Order Manager, built from the dialog's fields.
//
// Every text enters a statement as a quoted literal with its quotes doubled, LIKE
// patterns included, so whatever the operator types stays data: a job name such as
// x' or 'a'='a names a job, it does not widen a condition. '%' and '_' typed into a
// search field remain LIKE wildcards; nothing is added around the typed pattern.
// Idents are integers, so nothing typed reaches a statement unquoted.
#pragma once

#include "platform/core.h"

// The order fields as the dialog holds them; dates as typed ("YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM:SS", empty for none). Read back from the store, the dates hold only
// their day (the text before the first blank).
struct JobOrderRow {
  int m_nIdent = 0;  // the store's number of the row; 0 before it is stored
  BOOL m_bFinished = FALSE;
  CString m_strJobName;
  CString m_strPayment;
  CString m_strCreatedDay;
  CString m_strExpectedDay;
  CString m_strDeliveredDay;
  CString m_strCustomerName;
  CString m_strContact;  // column "contract"
  CString m_strTelephone;
  CString m_strMemo;
};

// 'text' with every quote doubled.
CString SqlQuote(const char* text);

// The order list: all rows, or those finished / not finished when exactly one of the
// two filters is on, narrowed by the search condition when it is not empty.
CString BuildOrderListSql(BOOL bShowFinished, BOOL bShowNotFinished, const CString& condition);
// "(part or part ...)" with one LIKE per non-empty text field, in the dialog's order;
// empty when every text field is empty. Finished and ident take no part.
CString BuildSearchCondition(const JobOrderRow& fields);
// One row by its ident.
CString BuildSelectByIdentSql(int ident);
// The rows of a job name (the dialog uses the first).
CString BuildJobRowsSql(const char* jobName);
// A new row from the fields: texts as typed (empty stays empty), empty dates null.
CString BuildInsertSql(const JobOrderRow& fields);
// The finished flag and every non-empty field of the job's row with that ident; empty
// fields leave their columns, the job name is never changed.
CString BuildUpdateSql(const JobOrderRow& fields, int ident);
CString BuildDeleteSql(int ident);
