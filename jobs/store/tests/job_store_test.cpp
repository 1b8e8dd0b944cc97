// The store through the database wrapper: statements in, rows and error texts out.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "jobs/store/store_file.h"
#include "jobs/store/tests/job_store_fixture.h"

namespace {

using jobstore_test::JobStoreTest;
using jobstore_test::Rows;

const char kInsertSign[] =
    "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
    "contract, telephone, memo) values (1, 'Sign', 'cash', '2009-07-09', '2009-07-20 12:30:00', null, 'ACME', 'Li', "
    "'0755', 'rush')";
const char kInsertBob[] =
    "insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, delivered_day, customer_name, "
    "contract, telephone, memo) values (0, 'Bob''s sign', '', null, null, null, '', '', '', '')";
const char kSignRow[] = "1|1|Sign|cash|2009-07-09 00:00:00|2009-07-20 12:30:00||ACME|Li|0755|rush";
const char kBobRow[] = "2|0|Bob's sign||||||||";
const char kLowerRow[] = "3|1|lower_case||||||||";

TEST_F(JobStoreTest, StatementsAndRows) {
  ASSERT_EQ("ok", Execute(kInsertSign));
  ASSERT_EQ("ok", Execute(kInsertBob));
  // Keywords in any case, the table without brackets, columns left out are null.
  ASSERT_EQ("ok", Execute("INSERT INTO JobInfo (Job_Name, FINISHED) VALUES ('lower_case', 1);"));

  struct Case {
    const char* sql;
    Rows rows;
  } cases[] = {
      {"SELECT * FROM [JobInfo] ", {kSignRow, kBobRow, kLowerRow}},  // insertion order
      {"select * from [jobinfo]", {kSignRow, kBobRow, kLowerRow}},
      {"SELECT * FROM [JobInfo] where (finished <> 0)", {kSignRow, kLowerRow}},
      {"SELECT * FROM [JobInfo] where (finished = 0)", {kBobRow}},
      {"SELECT * FROM [JobInfo] where (ident=2)", {kBobRow}},
      {"SELECT * FROM [JobInfo] where (ident=99)", {}},
      {"SELECT * FROM [JobInfo] where job_name='Sign'", {kSignRow}},
      {"SELECT * FROM [JobInfo] where job_name='bob''s SIGN'", {kBobRow}},  // without regard to case
      {"SELECT * FROM [JobInfo] where job_name='Sig'", {}},
      // The search: LIKE parts joined by or, no wildcard added.
      {"SELECT * FROM [JobInfo] where ((job_name like 'sign'))", {kSignRow}},
      {"SELECT * FROM [JobInfo] where ((job_name like '%sign'))", {kSignRow, kBobRow}},
      {"SELECT * FROM [JobInfo] where ((job_name like 'B_b''s%'))", {kBobRow}},
      {"SELECT * FROM [JobInfo] where ((job_name like '%\\_%'))", {}},  // no escape character
      {"SELECT * FROM [JobInfo] where ((job_name like 'lower_case'))", {kLowerRow}},
      {"SELECT * FROM [JobInfo] where ((payment like 'cash') or (memo like 'none'))", {kSignRow}},
      {"SELECT * FROM [JobInfo] where ((memo like '%'))", {kSignRow, kBobRow}},  // a null matches nothing
      // Dates match as their day when at midnight, else with the time.
      {"SELECT * FROM [JobInfo] where ((created_day like '2009-07-09'))", {kSignRow}},
      {"SELECT * FROM [JobInfo] where ((created_day like '2009-07%'))", {kSignRow}},
      {"SELECT * FROM [JobInfo] where ((expected_day like '2009-07-20'))", {}},
      {"SELECT * FROM [JobInfo] where ((expected_day like '2009-07-20 12:30:00'))", {kSignRow}},
      {"SELECT * FROM [JobInfo] where created_day='2009-7-9 00:00:00'", {kSignRow}},
      {"SELECT * FROM [JobInfo] where ((ident like '1'))", {kSignRow}},
      // Filter and search together; and binds tighter than or.
      {"SELECT * FROM [JobInfo] where (finished <> 0) and ((job_name like '%s%') or (memo like 'x'))",
       {kSignRow, kLowerRow}},
      {"SELECT * FROM [JobInfo] where finished = 0 and job_name like 'x' or ident = 1", {kSignRow}},
      {"SELECT * FROM [JobInfo] where job_name != 'Sign' and finished <> 0", {kLowerRow}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rows, Select(c.sql)) << c.sql;
}

TEST_F(JobStoreTest, UpdatesDeletesAndIdents) {
  ASSERT_EQ("ok", Execute(kInsertSign));
  ASSERT_EQ("ok", Execute(kInsertBob));
  struct Case {
    const char* sql;
    Rows rows;  // every row afterwards
  } cases[] = {
      {"update [JobInfo] set finished=0,payment='card',delivered_day='2009-07-21 08:00:00' "
       "where job_name='Sign' and ident=1",
       {"1|0|Sign|card|2009-07-09 00:00:00|2009-07-20 12:30:00|2009-07-21 08:00:00|ACME|Li|0755|rush", kBobRow}},
      // The job name and the ident must both match.
      {"update [JobInfo] set finished=1 where job_name='Sign' and ident=2",
       {"1|0|Sign|card|2009-07-09 00:00:00|2009-07-20 12:30:00|2009-07-21 08:00:00|ACME|Li|0755|rush", kBobRow}},
      {"UPDATE JobInfo SET memo=null, created_day=null WHERE ident=1",
       {"1|0|Sign|card||2009-07-20 12:30:00|2009-07-21 08:00:00|ACME|Li|0755|", kBobRow}},
      {"delete * FROM [JobInfo] where ident=1", {kBobRow}},
      {"delete * FROM [JobInfo] where ident=1", {kBobRow}},
      // A new row after deleting takes a fresh ident, also after deleting the last row.
      {"insert into [JobInfo] (job_name) values ('third')", {kBobRow, "3||third||||||||"}},
      {"DELETE FROM [JobInfo] WHERE ident=3", {kBobRow}},
      {"insert into [JobInfo] (job_name) values ('fourth')", {kBobRow, "4||fourth||||||||"}},
      {"delete * from [JobInfo]", {}},
      {"insert into [JobInfo] (job_name) values ('fifth')", {"5||fifth||||||||"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ("ok", Execute(c.sql)) << c.sql;
    EXPECT_EQ(c.rows, All()) << c.sql;
  }
}

TEST_F(JobStoreTest, StatementErrorsChangeNothing) {
  ASSERT_EQ("ok", Execute(kInsertSign));
  std::string before = FileText();
  struct Case {
    const char* sql;
    const char* error;
  } cases[] = {
      {"DROP TABLE [JobInfo]", "error: Syntax error in the statement at: DROP TABLE [JobInfo]"},
      {"", "error: Syntax error in the statement at: <end>"},
      {"delete * FROM [JobInfo] where ident=", "error: Syntax error in the statement at: <end>"},
      {"delete * FROM [JobInfo] where ident=1 extra", "error: Syntax error in the statement at: extra"},
      {"delete * FROM [JobInfo] where job_name='x' or 'a'='a'", "error: Syntax error in the statement at: 'a'='a'"},
      {"delete * FROM [JobInfo] where job_name='open", "error: Syntax error in the statement at: 'open"},
      {"delete * FROM [JobInfo] where ident=2147483648", "error: Syntax error in the statement at: 2147483648"},
      {"delete * FROM [Orders] where ident=1", "error: No such table: Orders"},
      {"delete * FROM [JobInfo] where colour='red'", "error: No such column: colour"},
      {"delete * FROM [JobInfo] where finished='1'", "error: The value does not fit the column finished"},
      {"delete * FROM [JobInfo] where job_name=1", "error: The value does not fit the column job_name"},
      {"delete * FROM [JobInfo] where job_name=null", "error: The value does not fit the column job_name"},
      {"insert into [JobInfo] (job_name, created_day) values ('x', '2009/07/09')",
       "error: Not a date: '2009/07/09' (write YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)"},
      {"insert into [JobInfo] (job_name, created_day) values ('x', '')",
       "error: Not a date: '' (write YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)"},
      {"insert into [JobInfo] (ident, job_name) values (5, 'x')",
       "error: The column ident is numbered by the database and cannot be written"},
      {"update [JobInfo] set ident=5 where ident=1",
       "error: The column ident is numbered by the database and cannot be written"},
      {"insert into [JobInfo] (job_name, job_name) values ('x', 'y')", "error: Column named twice: job_name"},
      {"insert into [JobInfo] (job_name, memo) values ('x')",
       "error: The number of values differs from the number of columns"},
      {"insert into [JobInfo] (job_name) values ('x', 'y')",
       "error: The number of values differs from the number of columns"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.error, Execute(c.sql)) << c.sql;
    // The statement is named in the error text.
    EXPECT_NE(std::string::npos,
              g_JobOrderDatabase.GetLastErrorText().str().find(std::string("\nQuery = ") + c.sql + "\n"));
  }
  EXPECT_EQ(before, FileText());
}

TEST_F(JobStoreTest, ErrorTextsInFull) {
  EXPECT_FALSE(g_JobOrderDatabase.Execute("MERGE [JobInfo]"));
  CString expected = "Connection String = " + JobOrderConnectionString(g_strAppFolder) +
                     "\nQuery = MERGE [JobInfo]\nCADODataBase Error\n\tCode = 80040e14\n\tCode meaning = "
                     "IDispatch error #3092\n\tSource = Job order store\n\tDescription = Syntax error in the "
                     "statement at: MERGE [JobInfo]\n";
  EXPECT_STREQ(expected, g_JobOrderDatabase.GetLastErrorText());
  EXPECT_EQ((LONG)0x80040E14, g_JobOrderDatabase.GetLastError());

  CADORecordset rs(&g_JobOrderDatabase);
  EXPECT_FALSE(rs.Open("   frobnicate the orders", 1));
  EXPECT_STREQ(
      "Query = frobnicate the orders\nCADORecordset Error\n\tCode = 80040e14\n\tCode meaning = IDispatch error "
      "#3092\n\tSource = Job order store\n\tDescription = Syntax error in the statement at: frobnicate the orders\n",
      rs.GetLastErrorText());
  // A writing statement is no record source: it is refused, not run.
  EXPECT_FALSE(rs.Open("delete * FROM [JobInfo]", 1));
  EXPECT_EQ("The statement returns no rows", Description(rs.GetLastErrorText()));

  // Chinese texts in the Chinese UI.
  g_nUiLanguage = 0;
  EXPECT_FALSE(g_JobOrderDatabase.Execute("delete * FROM [Orders]"));
  EXPECT_EQ("\xc3\xbb\xd3\xd0\xd5\xe2\xb8\xf6\xb1\xed: Orders", Description(g_JobOrderDatabase.GetLastErrorText()));
}

TEST_F(JobStoreTest, OpenCloseAndReopen) {
  CString connection = JobOrderConnectionString(g_strAppFolder);
  EXPECT_STREQ(CString("Driver={Microsoft Access Driver (*.mdb)};DBQ=") + g_strAppFolder + "Jobs.mdb;ReadOnly=True;",
               connection);
  EXPECT_EQ(500, g_JobOrderDatabase.GetConnection()->GetCommandTimeout());
  EXPECT_TRUE(g_JobOrderDatabase.IsOpen());
  // Open on an open connection closes and reopens; an empty string reuses the last one.
  EXPECT_TRUE(g_JobOrderDatabase.Open(connection));
  g_JobOrderDatabase.Close();
  EXPECT_FALSE(g_JobOrderDatabase.IsOpen());
  EXPECT_EQ("error: Operation is not allowed when the object is closed", Execute(kInsertSign));
  EXPECT_EQ(Rows{"error: Operation is not allowed when the object is closed"}, All());
  EXPECT_TRUE(g_JobOrderDatabase.Open(""));
  EXPECT_TRUE(g_JobOrderDatabase.IsOpen());
  EXPECT_EQ("ok", Execute(kInsertSign));

  // Only DBQ counts: in braces (which may hold ';'), any case, among other parts.
  ASSERT_TRUE(platform::MakeDirectory(Path("a;b")));
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("a;b\\Jobs.mdb"), FileText()));
  for (CString other : {"DBQ={" + Path("a;b\\Jobs.mdb") + "}", "Driver={x;y}; junk ;dbq = " + DatabasePath() + " ;"}) {
    EXPECT_TRUE(g_JobOrderDatabase.Open(other)) << g_JobOrderDatabase.GetLastErrorText();
    EXPECT_EQ(1u, All().size()) << other;
  }

  // Missing, damaged, nameless.
  struct Case {
    CString connection;
    const char* description;
  } cases[] = {
      {JobOrderConnectionString(Path("nowhere\\")), "The database file does not exist: "},
      {"Driver={x};DBQ={" + Path("bad.mdb") + "};", "The database file is damaged (line 1: not a job order file)"},
      {"Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;",
       "The connection string names no database file (DBQ=...): "},
  };
  testing_support::WriteFileBytes(Path("bad.mdb"), "some other database");
  for (const Case& c : cases) {
    EXPECT_FALSE(g_JobOrderDatabase.Open(c.connection)) << c.connection;
    EXPECT_FALSE(g_JobOrderDatabase.IsOpen());
    std::string text = g_JobOrderDatabase.GetLastErrorText().str();
    EXPECT_EQ(0u, text.find("Connection String = " + c.connection.str() +
                            "\nCADODataBase Error\n\tCode = 80004005\n"
                            "\tCode meaning = Unspecified error\n"))
        << text;
    EXPECT_EQ(0u, Description(text.c_str()).find(c.description)) << text;
  }
}

TEST_F(JobStoreTest, RecordsetReads) {
  ASSERT_EQ("ok", Execute(kInsertSign));
  ASSERT_EQ("ok", Execute(kInsertBob));
  CADORecordset rs(&g_JobOrderDatabase);
  ASSERT_TRUE(rs.Open("  SELECT * FROM [JobInfo] where (ident=1)", 1));
  ASSERT_FALSE(rs.IsEof());
  int n = -5;
  CString text = "unchanged";
  EXPECT_TRUE(rs.GetFieldInt("ident", n));
  EXPECT_EQ(1, n);
  EXPECT_TRUE(rs.GetFieldInt("FINISHED", n));
  EXPECT_EQ(1, n);
  EXPECT_TRUE(rs.GetFieldText("created_day", text, ""));
  EXPECT_STREQ("2009-07-09 00:00:00", text);
  EXPECT_TRUE(rs.GetFieldText("created_day", text, "%d.%m.%Y"));
  EXPECT_STREQ("09.07.2009", text);
  EXPECT_TRUE(rs.GetFieldText("delivered_day", text, ""));  // null
  EXPECT_STREQ("", text);
  EXPECT_TRUE(rs.GetFieldInt("delivered_day", n));  // null reads as 0
  EXPECT_EQ(0, n);
  EXPECT_TRUE(rs.GetFieldText("ident", text, ""));
  EXPECT_STREQ("1", text);

  // Failures leave the out value and name the statement (without its leading blanks).
  n = -5;
  text = "unchanged";
  EXPECT_FALSE(rs.GetFieldText("colour", text, ""));
  EXPECT_STREQ("unchanged", text);
  EXPECT_EQ(0u, rs.GetLastErrorText().str().find("Query = SELECT * FROM [JobInfo] where (ident=1)\nCADORecordset "
                                                 "Error\n\tCode = 800a0cc1\n\tCode meaning = Unknown error "
                                                 "0x800A0CC1\n"));
  EXPECT_EQ("No such field in the rows: colour", Description(rs.GetLastErrorText()));
  EXPECT_FALSE(rs.GetFieldInt("job_name", n));
  EXPECT_EQ(-5, n);
  EXPECT_EQ("The field job_name does not hold a number", Description(rs.GetLastErrorText()));
  EXPECT_EQ(0u, rs.GetLastErrorText().str().find("Query = SELECT"));
  EXPECT_FALSE(rs.GetFieldInt("created_day", n));

  // At the end: reads fail, a further move raises.
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEof());
  EXPECT_FALSE(rs.GetFieldInt("ident", n));
  EXPECT_EQ("There is no current row (the end of the rows is reached)", Description(rs.GetLastErrorText()));
  EXPECT_THROW(rs.MoveNext(), CDbError);

  // An empty source reruns the last one, and sees what changed since.
  ASSERT_EQ("ok", Execute("update [JobInfo] set memo='new' where ident=1"));
  ASSERT_TRUE(rs.Open("", 1));
  ASSERT_FALSE(rs.IsEof());
  EXPECT_TRUE(rs.GetFieldText("memo", text, ""));
  EXPECT_STREQ("new", text);

  // A record set keeps its rows when the table changes under it.
  ASSERT_TRUE(rs.Open("SELECT * FROM [JobInfo]", 1));
  ASSERT_EQ("ok", Execute("delete * FROM [JobInfo]"));
  int count = 0;
  for (; !rs.IsEof(); rs.MoveNext()) ++count;
  EXPECT_EQ(2, count);

  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_THROW(rs.IsEof(), CDbError);
  try {
    rs.MoveNext();
    ADD_FAILURE() << "no error";
  } catch (const CDbError& e) {
    EXPECT_EQ(kDbErrObjectClosed, e.m_hrCode);
    EXPECT_EQ(0u, FormatDbError("CADORecordset", e).str().find("CADORecordset Error\n\tCode = 800a0e78\n"));
  }
}

// The dialog's road: statements built from typed fields, rows read back as it shows them.
TEST_F(JobStoreTest, DialogRoundTrip) {
  JobOrderRow typed;
  typed.m_bFinished = TRUE;
  typed.m_strJobName = "O'Brien's \xb5\xf1\xbf\xcc";  // 雕刻
  typed.m_strPayment = "50% now";
  typed.m_strCreatedDay = "2009-07-09";
  typed.m_strExpectedDay = "2009-7-20 12:00:00";
  typed.m_strCustomerName = "it's_ok";
  typed.m_strMemo = "line 1\r\n\tline 2 \\ end";
  ASSERT_EQ("ok", Execute(BuildInsertSql(typed)));

  CADORecordset rs(&g_JobOrderDatabase);
  ASSERT_TRUE(rs.Open(BuildJobRowsSql(typed.m_strJobName), 1));
  ASSERT_FALSE(rs.IsEof());
  JobOrderRow read;
  ASSERT_TRUE(ReadJobOrderRow(rs, read));
  EXPECT_EQ(1, read.m_nIdent);
  EXPECT_EQ(TRUE, read.m_bFinished);
  EXPECT_STREQ(typed.m_strJobName, read.m_strJobName);
  EXPECT_STREQ("50% now", read.m_strPayment);
  EXPECT_STREQ("2009-07-09", read.m_strCreatedDay);  // the day alone
  EXPECT_STREQ("2009-07-20", read.m_strExpectedDay);
  EXPECT_STREQ("", read.m_strDeliveredDay);
  EXPECT_STREQ("it's_ok", read.m_strCustomerName);
  EXPECT_STREQ("", read.m_strContact);
  EXPECT_STREQ(typed.m_strMemo, read.m_strMemo);
  rs.Close();

  // Searching by every typed text, quotes and double-byte text included, finds the row.
  JobOrderRow search;
  search.m_strJobName = "o'brien's %";
  ASSERT_EQ(1u, Select(BuildOrderListSql(TRUE, FALSE, BuildSearchCondition(search))).size());
  EXPECT_EQ(0u, Select(BuildOrderListSql(FALSE, TRUE, BuildSearchCondition(search))).size());
  search.m_strJobName = "%\xbf\xcc";
  EXPECT_EQ(1u, Select(BuildOrderListSql(TRUE, TRUE, BuildSearchCondition(search))).size());

  // Update over the row: empty fields keep their columns, the rest change.
  JobOrderRow changed;
  changed.m_strJobName = typed.m_strJobName;
  changed.m_strDeliveredDay = "2009-07-21";
  changed.m_strContact = "D'Arcy";
  ASSERT_EQ("ok", Execute(BuildUpdateSql(changed, read.m_nIdent)));
  ASSERT_TRUE(rs.Open(BuildSelectByIdentSql(read.m_nIdent), 1));
  JobOrderRow after;
  ASSERT_TRUE(ReadJobOrderRow(rs, after));
  EXPECT_EQ(FALSE, after.m_bFinished);
  EXPECT_STREQ("50% now", after.m_strPayment);
  EXPECT_STREQ("2009-07-21", after.m_strDeliveredDay);
  EXPECT_STREQ("D'Arcy", after.m_strContact);
  EXPECT_STREQ(typed.m_strMemo, after.m_strMemo);
  rs.Close();

  // A date that is no date is refused with its text; nothing is stored.
  JobOrderRow badDate;
  badDate.m_strJobName = "late";
  badDate.m_strCreatedDay = "next week";
  EXPECT_EQ("error: Not a date: 'next week' (write YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)",
            Execute(BuildInsertSql(badDate)));
  EXPECT_EQ(1u, All().size());

  ASSERT_EQ("ok", Execute(BuildDeleteSql(read.m_nIdent)));
  EXPECT_EQ(Rows{}, All());
}

// A job name typed as a condition names one job: it neither finds nor deletes another
// job's row.
TEST_F(JobStoreTest, TypedNamesStayData) {
  const char* const kNames[] = {"A", "B", "x' or 'a'='a", "x'' or ''a''=''a", "'; delete * FROM [JobInfo] where '1'='1",
                                "%", "_"};
  for (const char* name : kNames) {
    JobOrderRow row;
    row.m_strJobName = name;
    ASSERT_EQ("ok", Execute(BuildInsertSql(row))) << name;
  }
  for (const char* name : kNames) {
    CADORecordset rs(&g_JobOrderDatabase);
    ASSERT_TRUE(rs.Open(BuildJobRowsSql(name), 1));
    ASSERT_FALSE(rs.IsEof()) << name;
    JobOrderRow found;
    ASSERT_TRUE(ReadJobOrderRow(rs, found));
    EXPECT_STREQ(name, found.m_strJobName);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEof()) << "one row only for " << name;
  }
  // The lookup of a name that is not stored finds nothing, so the dialog deletes nothing.
  EXPECT_EQ(Rows{}, Select(BuildJobRowsSql("y' or 'a'='a")));
  EXPECT_EQ(Rows{}, Select(BuildJobRowsSql("y' or job_name like '%")));

  // Deleting the row of the injection-shaped name removes that row alone.
  CADORecordset rs(&g_JobOrderDatabase);
  ASSERT_TRUE(rs.Open(BuildJobRowsSql("x' or 'a'='a"), 1));
  int ident = 0;
  ASSERT_TRUE(rs.GetFieldInt("ident", ident));
  rs.Close();
  ASSERT_EQ("ok", Execute(BuildDeleteSql(ident)));
  Rows left = All();
  ASSERT_EQ(6u, left.size());
  for (const std::string& row : left) EXPECT_EQ(std::string::npos, row.find("|x' or 'a'='a|"));
}

// Idents far up (a long-used database) are read, updated and deleted by their number.
TEST_F(JobStoreTest, LargeIdents) {
  g_JobOrderDatabase.Close();
  std::string file = FileText();
  size_t at = file.find("next_ident=1\t");
  ASSERT_NE(std::string::npos, at);
  file.replace(at, 13, "next_ident=70000\t");
  ASSERT_TRUE(testing_support::WriteFileBytes(DatabasePath(), file));
  ASSERT_TRUE(g_JobOrderDatabase.Open(""));

  ASSERT_EQ("ok", Execute(kInsertSign));
  CADORecordset rs(&g_JobOrderDatabase);
  ASSERT_TRUE(rs.Open(BuildJobRowsSql("Sign"), 1));
  int ident = 0;
  ASSERT_TRUE(rs.GetFieldInt("ident", ident));
  EXPECT_EQ(70000, ident);
  rs.Close();
  JobOrderRow fields;
  fields.m_strJobName = "Sign";
  fields.m_strMemo = "seventy thousand";
  ASSERT_EQ("ok", Execute(BuildUpdateSql(fields, ident)));
  EXPECT_EQ(Rows{"70000|0|Sign|cash|2009-07-09 00:00:00|2009-07-20 12:30:00||ACME|Li|0755|seventy thousand"},
            Select(BuildSelectByIdentSql(ident)));
  ASSERT_EQ("ok", Execute(BuildDeleteSql(ident)));
  EXPECT_EQ(Rows{}, All());
}

// A write that cannot reach the file says so, names the statement, and the rows stay.
TEST_F(JobStoreTest, FailedWritesAreReported) {
  ASSERT_EQ("ok", Execute(kInsertSign));
  std::string before = FileText();
  testing_support::SetReadOnly(DatabasePath(), true);
  JobOrderRow row;
  row.m_strJobName = "Bob's";
  CString insert = BuildInsertSql(row);
  EXPECT_FALSE(g_JobOrderDatabase.Execute(insert));
  std::string text = g_JobOrderDatabase.GetLastErrorText().str();
  EXPECT_NE(std::string::npos, text.find("\nQuery = " + insert.str() + "\nCADODataBase Error\n\tCode = 80004005\n"));
  EXPECT_EQ(0u, Description(text.c_str()).find("The database file cannot be written, nothing was changed: ")) << text;
  EXPECT_FALSE(g_JobOrderDatabase.Execute("delete * FROM [JobInfo] where ident=1"));
  testing_support::SetReadOnly(DatabasePath(), false);
  EXPECT_EQ(before, FileText());
  EXPECT_EQ(Rows{kSignRow}, All());
  EXPECT_FALSE(testing_support::FileExists(DatabasePath() + ".tmp"));
  // A statement that changes no row writes nothing, so it succeeds on a read-only file.
  testing_support::SetReadOnly(DatabasePath(), true);
  EXPECT_EQ("ok", Execute("delete * FROM [JobInfo] where ident=99"));
  testing_support::SetReadOnly(DatabasePath(), false);

  // The file vanishing under an open connection is an error too.
  ASSERT_TRUE(platform::RemoveFile(DatabasePath()));
  EXPECT_EQ(0u, Execute(insert).find("error: The database file does not exist: "));
}

// Two programs on one file: each statement reads the file afresh, so neither undoes the
// other's rows; while one holds the file, the other waits up to its command timeout.
TEST_F(JobStoreTest, SharedFile) {
  CADODataBase other;
  ASSERT_TRUE(other.Open(JobOrderConnectionString(g_strAppFolder)));
  ASSERT_EQ("ok", Execute("insert into [JobInfo] (job_name) values ('mine')"));
  ASSERT_TRUE(other.Execute("insert into [JobInfo] (job_name) values ('theirs')"));
  ASSERT_EQ("ok", Execute("insert into [JobInfo] (job_name) values ('mine again')"));
  EXPECT_EQ(Rows({"1||mine||||||||", "2||theirs||||||||", "3||mine again||||||||"}), All());

  std::mutex m;
  std::condition_variable cv;
  bool held = false, release = false;
  std::thread holder([&] {
    CJobStoreFileLock lock(DatabasePath());
    ASSERT_TRUE(lock.Lock(5000));
    std::unique_lock<std::mutex> l(m);
    held = true;
    cv.notify_all();
    cv.wait(l, [&] { return release; });
  });
  {
    std::unique_lock<std::mutex> l(m);
    cv.wait(l, [&] { return held; });
  }
  other.GetConnection()->SetCommandTimeout(1);
  EXPECT_FALSE(other.Execute("delete * FROM [JobInfo] where ident=1"));
  EXPECT_EQ(0u, Description(other.GetLastErrorText()).find("The database file is in use by another program: "));
  EXPECT_EQ(0u, other.GetLastErrorText().str().find("Connection String = "));
  {
    std::lock_guard<std::mutex> l(m);
    release = true;
  }
  cv.notify_all();
  holder.join();
  EXPECT_TRUE(other.Execute("delete * FROM [JobInfo] where ident=1")) << other.GetLastErrorText();
  EXPECT_EQ(2u, All().size());
}

}  // namespace
