#include "jobs/store/job_order_sql.h"

namespace {

// The text fields in the order the search and the update name them.
struct TextField {
  const char* m_pszColumn;
  CString JobOrderRow::*m_pField;
};
const TextField kSearchFields[] = {
    {"job_name", &JobOrderRow::m_strJobName},
    {"payment", &JobOrderRow::m_strPayment},
    {"created_day", &JobOrderRow::m_strCreatedDay},
    {"expected_day", &JobOrderRow::m_strExpectedDay},
    {"delivered_day", &JobOrderRow::m_strDeliveredDay},
    {"customer_name", &JobOrderRow::m_strCustomerName},
    {"contract", &JobOrderRow::m_strContact},
    {"telephone", &JobOrderRow::m_strTelephone},
    {"memo", &JobOrderRow::m_strMemo},
};

CString DateOrNull(const CString& text) { return text.IsEmpty() ? CString("null") : SqlQuote(text); }

}  // namespace

CString SqlQuote(const char* text) {
  CString quoted(text);
  quoted.Replace("'", "''");
  return "'" + quoted + "'";
}

CString BuildOrderListSql(BOOL bShowFinished, BOOL bShowNotFinished, const CString& condition) {
  CString sql;
  CString joiner;
  if (bShowFinished && !bShowNotFinished) {
    sql = "SELECT * FROM [JobInfo] where (finished <> 0)";
    joiner = " and ";
  } else if (!bShowFinished && bShowNotFinished) {
    sql = "SELECT * FROM [JobInfo] where (finished = 0)";
    joiner = " and ";
  } else {
    sql = "SELECT * FROM [JobInfo] ";
    joiner = "where ";
  }
  if (!condition.IsEmpty()) sql += joiner + condition;
  return sql;
}

CString BuildSearchCondition(const JobOrderRow& fields) {
  CString parts;
  for (const TextField& f : kSearchFields) {
    const CString& value = fields.*f.m_pField;
    if (value.IsEmpty()) continue;
    if (!parts.IsEmpty()) parts += " or ";
    parts += CString("(") + f.m_pszColumn + " like " + SqlQuote(value) + ")";
  }
  return parts.IsEmpty() ? parts : "(" + parts + ")";
}

CString BuildSelectByIdentSql(int ident) {
  CString sql;
  sql.Format("SELECT * FROM [JobInfo] where (ident=%d)", ident);
  return sql;
}

CString BuildJobRowsSql(const char* jobName) { return "SELECT * FROM [JobInfo] where job_name=" + SqlQuote(jobName); }

CString BuildInsertSql(const JobOrderRow& f) {
  CString sql;
  sql.Format(
      "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
      "contract, telephone, memo) values (%d, %s, %s, %s, %s, %s, %s, %s, %s, %s)",
      f.m_bFinished ? 1 : 0, (const char*)SqlQuote(f.m_strJobName), (const char*)SqlQuote(f.m_strPayment),
      (const char*)DateOrNull(f.m_strCreatedDay), (const char*)DateOrNull(f.m_strExpectedDay),
      (const char*)DateOrNull(f.m_strDeliveredDay), (const char*)SqlQuote(f.m_strCustomerName),
      (const char*)SqlQuote(f.m_strContact), (const char*)SqlQuote(f.m_strTelephone),
      (const char*)SqlQuote(f.m_strMemo));
  return sql;
}

CString BuildUpdateSql(const JobOrderRow& fields, int ident) {
  CString sql;
  sql.Format("update [JobInfo] set finished=%d", fields.m_bFinished ? 1 : 0);
  for (const TextField& f : kSearchFields) {
    if (f.m_pField == &JobOrderRow::m_strJobName) continue;  // the key, never changed
    const CString& value = fields.*f.m_pField;
    if (!value.IsEmpty()) sql += CString(",") + f.m_pszColumn + "=" + SqlQuote(value);
  }
  sql.AppendFormat(" where job_name=%s and ident=%d", (const char*)SqlQuote(fields.m_strJobName), ident);
  return sql;
}

CString BuildDeleteSql(int ident) {
  CString sql;
  sql.Format("delete * FROM [JobInfo] where ident=%d", ident);
  return sql;
}
