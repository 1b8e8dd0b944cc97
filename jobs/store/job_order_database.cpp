#include "jobs/store/job_order_database.h"

#include "foundation/settings.h"

CADODataBase g_JobOrderDatabase;

namespace {

CString DayOf(const CString& dateText) {
  int blank = dateText.Find(' ');
  return blank < 0 ? dateText : dateText.Left(blank);
}

}  // namespace

CString JobOrderConnectionString(const char* appFolder) {
  CString s;
  s.Format("Driver={Microsoft Access Driver (*.mdb)};DBQ=%s%s;ReadOnly=True;", appFolder, kJobOrderFileName);
  return s;
}

bool OpenJobOrderDatabase() {
  CString connection = JobOrderConnectionString(g_strAppFolder);
  g_JobOrderDatabase.GetConnection()->SetCommandTimeout(kJobOrderCommandTimeout_s);
  return g_JobOrderDatabase.Open(connection);
}

bool ReadJobOrderRow(CADORecordset& rs, JobOrderRow& row) {
  JobOrderRow r;
  int finished = 0;
  bool ok = rs.GetFieldInt("ident", r.m_nIdent) && rs.GetFieldInt("finished", finished) &&
            rs.GetFieldText("job_name", r.m_strJobName, "") && rs.GetFieldText("payment", r.m_strPayment, "") &&
            rs.GetFieldText("created_day", r.m_strCreatedDay, "") &&
            rs.GetFieldText("expected_day", r.m_strExpectedDay, "") &&
            rs.GetFieldText("delivered_day", r.m_strDeliveredDay, "") &&
            rs.GetFieldText("customer_name", r.m_strCustomerName, "") &&
            rs.GetFieldText("contract", r.m_strContact, "") && rs.GetFieldText("telephone", r.m_strTelephone, "") &&
            rs.GetFieldText("memo", r.m_strMemo, "");
  if (!ok) return false;
  r.m_bFinished = finished != 0 ? TRUE : FALSE;
  r.m_strCreatedDay = DayOf(r.m_strCreatedDay);
  r.m_strExpectedDay = DayOf(r.m_strExpectedDay);
  r.m_strDeliveredDay = DayOf(r.m_strDeliveredDay);
  row = r;
  return true;
}
