// The Job Order Manager's statements: dialog fields in, exact statement text out.
#include <gtest/gtest.h>

#include "jobs/store/job_order_sql.h"

namespace {

JobOrderRow Fields(const char* job, const char* payment = "", const char* created = "", const char* expected = "",
                   const char* delivered = "", const char* customer = "", const char* contact = "",
                   const char* telephone = "", const char* memo = "", BOOL finished = FALSE) {
  JobOrderRow f;
  f.m_bFinished = finished;
  f.m_strJobName = job;
  f.m_strPayment = payment;
  f.m_strCreatedDay = created;
  f.m_strExpectedDay = expected;
  f.m_strDeliveredDay = delivered;
  f.m_strCustomerName = customer;
  f.m_strContact = contact;
  f.m_strTelephone = telephone;
  f.m_strMemo = memo;
  return f;
}

TEST(JobOrderSql, OrderList) {
  struct Case {
    BOOL finished, notFinished;
    const char* condition;
    const char* sql;
  } cases[] = {
      {TRUE, TRUE, "", "SELECT * FROM [JobInfo] "},
      {FALSE, FALSE, "", "SELECT * FROM [JobInfo] "},
      {TRUE, FALSE, "", "SELECT * FROM [JobInfo] where (finished <> 0)"},
      {FALSE, TRUE, "", "SELECT * FROM [JobInfo] where (finished = 0)"},
      {TRUE, TRUE, "((job_name like 'a%'))", "SELECT * FROM [JobInfo] where ((job_name like 'a%'))"},
      {FALSE, FALSE, "((job_name like 'a%'))", "SELECT * FROM [JobInfo] where ((job_name like 'a%'))"},
      {TRUE, FALSE, "((job_name like 'a%'))",
       "SELECT * FROM [JobInfo] where (finished <> 0) and ((job_name like 'a%'))"},
      {FALSE, TRUE, "((job_name like 'a%'))",
       "SELECT * FROM [JobInfo] where (finished = 0) and ((job_name like 'a%'))"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.sql, BuildOrderListSql(c.finished, c.notFinished, c.condition));
}

TEST(JobOrderSql, SearchCondition) {
  struct Case {
    JobOrderRow fields;
    const char* condition;
  } cases[] = {
      {Fields(""), ""},
      {Fields("", "", "", "", "", "", "", "", "", TRUE), ""},  // finished takes no part
      {Fields("Sign"), "((job_name like 'Sign'))"},
      {Fields("", "", "", "", "", "ACME%"), "((customer_name like 'ACME%'))"},
      {Fields("S_gn%", "cash", "2009-07%", "2009-08%", "2009-09%", "ACME", "Li", "0755", "rush"),
       "((job_name like 'S_gn%') or (payment like 'cash') or (created_day like '2009-07%') or "
       "(expected_day like '2009-08%') or (delivered_day like '2009-09%') or (customer_name like 'ACME') or "
       "(contract like 'Li') or (telephone like '0755') or (memo like 'rush'))"},
      {Fields("O'Brien's%"), "((job_name like 'O''Brien''s%'))"},
      {Fields("", "", "", "", "", "", "", "", "'"), "((memo like ''''))"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.condition, BuildSearchCondition(c.fields)) << c.condition;
}

TEST(JobOrderSql, RowStatements) {
  struct Case {
    CString sql;
    const char* expected;
  } cases[] = {
      {BuildSelectByIdentSql(70000), "SELECT * FROM [JobInfo] where (ident=70000)"},
      {BuildJobRowsSql("Sign"), "SELECT * FROM [JobInfo] where job_name='Sign'"},
      {BuildJobRowsSql(""), "SELECT * FROM [JobInfo] where job_name=''"},
      {BuildJobRowsSql("x' or 'a'='a"), "SELECT * FROM [JobInfo] where job_name='x'' or ''a''=''a'"},
      {BuildDeleteSql(70000), "delete * FROM [JobInfo] where ident=70000"},
      {BuildInsertSql(Fields("Sign")),
       "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
       "contract, telephone, memo) values (0, 'Sign', '', null, null, null, '', '', '', '')"},
      {BuildInsertSql(
           Fields("Sign", "cash", "2009-07-09", "2009-07-20 12:00:00", "", "ACME", "Li", "0755-1", "m", TRUE)),
       "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
       "contract, telephone, memo) values (1, 'Sign', 'cash', '2009-07-09', '2009-07-20 12:00:00', null, 'ACME', "
       "'Li', '0755-1', 'm')"},
      {BuildInsertSql(Fields("Bob's sign", "", "", "", "'", "", "", "", "it's\r\nfine")),
       "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
       "contract, telephone, memo) values (0, 'Bob''s sign', '', null, null, '''', '', '', '', 'it''s\r\nfine')"},
      {BuildUpdateSql(Fields("Sign"), 7), "update [JobInfo] set finished=0 where job_name='Sign' and ident=7"},
      {BuildUpdateSql(Fields("Sign", "cash", "2009-07-09", "2009-07-20", "2009-07-21", "ACME", "Li", "0755", "m", TRUE),
                      70000),
       "update [JobInfo] set finished=1,payment='cash',created_day='2009-07-09',expected_day='2009-07-20',"
       "delivered_day='2009-07-21',customer_name='ACME',contract='Li',telephone='0755',memo='m' "
       "where job_name='Sign' and ident=70000"},
      {BuildUpdateSql(Fields("x' or 'a'='a", "", "", "", "", "O'Neil"), 3),
       "update [JobInfo] set finished=0,customer_name='O''Neil' where job_name='x'' or ''a''=''a' and ident=3"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.expected, c.sql);
}

TEST(JobOrderSql, QuoteKeepsDoubleByteText) {
  // GBK trail bytes never equal the quote, so only real quotes double.
  EXPECT_STREQ("'\xb5\xf1\xbf\xcc''s'", SqlQuote("\xb5\xf1\xbf\xcc's"));
  EXPECT_STREQ("''", SqlQuote(""));
}

}  // namespace
