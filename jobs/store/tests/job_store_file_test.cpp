// "Jobs.mdb" on disk: its exact text, files written by hand, damaged files, and a crash
// between writing the new file and putting it in place.
#include <gtest/gtest.h>

#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "jobs/store/store_file.h"
#include "jobs/store/tests/job_store_fixture.h"

namespace {

using jobstore_test::JobStoreTest;
using jobstore_test::Rows;

const char kHeader[] =
    "CorvaneJobInfo/1\tnext_ident=%d\tident\tfinished\tjob_name\tpayment\tcreated_day\texpected_day\tdelivered_day\t"
    "customer_name\tcontract\ttelephone\tmemo\n";

std::string Header(int nextIdent) {
  CString s;
  s.Format(kHeader, nextIdent);
  return s.str();
}

TEST(JobStoreFile, ShippedDatabaseIsEmpty) {
  CJobOrderTable table;
  StoreError error;
  ASSERT_TRUE(LoadJobStoreFile("Jobs.mdb", table, error)) << error.m_strDetail;
  EXPECT_TRUE(table.Rows().empty());
  EXPECT_EQ(1, table.NextIdent());
  EXPECT_EQ(Header(1), testing_support::ReadFileBytes("Jobs.mdb"));
}

TEST_F(JobStoreTest, FileTextIsExact) {
  ASSERT_EQ("ok", Execute("insert into [JobInfo] (finished, job_name, payment, created_day, expected_day, "
                          "delivered_day, customer_name, contract, telephone, memo) values (1, 'tab\there', "
                          "'back\\slash', '2009-07-09', '2009-07-20 12:30:05', null, '', null, '\\N', "
                          "'two\r\nlines')"));
  ASSERT_EQ("ok", Execute("insert into [JobInfo] (job_name) values ('\xb5\xf1\xbf\xcc')"));
  EXPECT_EQ(Header(3) +
                "1\t1\ttab\\there\tback\\\\slash\t2009-07-09 00:00:00\t2009-07-20 12:30:05\t\\N\t\t\\N\t\\\\N\t"
                "two\\r\\nlines\n"
                "2\t\\N\t\xb5\xf1\xbf\xcc\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n",
            FileText());
  // And back: the texts as typed, null apart from the empty text (it reads as empty).
  EXPECT_EQ(Rows({"1|1|tab\there|back\\slash|2009-07-09 00:00:00|2009-07-20 12:30:05||||\\N|two\r\nlines",
                  "2||\xb5\xf1\xbf\xcc||||||||"}),
            All());
}

// Every byte value but NUL survives the statement and the file.
TEST_F(JobStoreTest, EveryByteSurvives) {
  std::string text;
  for (int b = 1; b < 256; ++b) text += (char)b;
  JobOrderRow row;
  row.m_strJobName = "bytes";
  row.m_strMemo = text.c_str();
  ASSERT_EQ("ok", Execute(BuildInsertSql(row)));
  g_JobOrderDatabase.Close();
  ASSERT_TRUE(g_JobOrderDatabase.Open(""));
  CADORecordset rs(&g_JobOrderDatabase);
  ASSERT_TRUE(rs.Open(BuildJobRowsSql("bytes"), 1));
  CString memo;
  ASSERT_TRUE(rs.GetFieldText("memo", memo, ""));
  EXPECT_EQ(text, memo.str());
}

TEST_F(JobStoreTest, HandWrittenFiles) {
  // Line ends of either kind, blank lines, and a row whose ident is at or above
  // next_ident: the next row gets a number above every stored one.
  std::string file = Header(2);
  file.pop_back();
  file += "\r\n5\t0\tfive\t\\N\t2009-7-9\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\r\n\r\n1\t1\tone\t\t\\N\t\\N\t\\N\t\t\t\t";
  ASSERT_TRUE(testing_support::WriteFileBytes(DatabasePath(), file));
  ASSERT_EQ("ok", Execute("insert into [JobInfo] (job_name) values ('six')"));
  EXPECT_EQ(Rows({"5|0|five||2009-07-09 00:00:00||||||", "1|1|one||||||||", "6||six||||||||"}), All());
  EXPECT_EQ(0u, FileText().find(Header(7)));
}

TEST_F(JobStoreTest, DamagedFilesAreRefused) {
  const std::string row = "1\t0\tname\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n";
  struct Case {
    std::string file;
    const char* why;
  } cases[] = {
      {"", "line 1: not a job order file"},
      {"\n", "line 1: not a job order file"},
      {"CorvaneJobInfo/2\tnext_ident=1\n", "line 1: not a job order file"},
      {Header(0), "line 1: bad next_ident"},
      {Header(1).replace(Header(1).find("memo"), 4, "notes"), "line 1: unexpected columns"},
      {"CorvaneJobInfo/1\tnext_ident=1\tident\n", "line 1: unexpected columns"},
      {Header(2) + "1\t0\tname\n", "line 2: wrong number of fields"},
      {Header(2) + row + row, "line 3: ident given twice"},
      {Header(2) + "0\t0\tname\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: ident"},
      {Header(2) + "\\N\t0\tname\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: ident"},
      {Header(2) + "1\tyes\tname\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: finished"},
      {Header(2) + "1\t0\tna\\me\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: job_name"},
      {Header(2) + "1\t0\tname\\\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: job_name"},
      {Header(2) + "1\t0\tname\t\\N\t2009-02-30\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: created_day"},
      {Header(2) + "1\t0\tname\t\\N\t\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: created_day"},
      {Header(2) + "2147483647\t0\tname\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n", "line 2: ident"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(testing_support::WriteFileBytes(DatabasePath(), c.file));
    EXPECT_EQ(Rows{std::string("error: The database file is damaged (") + c.why + ")"}, All()) << c.file;
    // A damaged file is never written over.
    EXPECT_EQ("error: The database file is damaged (" + std::string(c.why) + ")",
              Execute("insert into [JobInfo] (job_name) values ('x')"));
    EXPECT_EQ(c.file, FileText());
  }
}

// The process ends after the new file is written and before it replaces the old one.
void EndProcess(const char*) { std::_Exit(7); }

// A death test runs the test body again in a child process up to the statement that
// dies, so the folder must be the same in both: the parent names it once, after its own
// process id (two test runs at once must not share it), and hands the name down through
// the environment.
CString CrashTestFolder() {
  static const char kVariable[] = "CORVANE_JOBSTORE_CRASH_DIR";
  if (const char* named = std::getenv(kVariable)) return named;
  CString dir;
#ifdef _WIN32
  char base[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, base);
  dir.Format("%scorvane_jobstore_crash_%lu\\", base, (unsigned long)GetCurrentProcessId());
  _putenv((CString(kVariable) + "=" + dir).GetString());
#else
  dir.Format("\\tmp\\corvane_jobstore_crash_%lu\\", (unsigned long)getpid());
  setenv(kVariable, dir, 1);
#endif
  return dir;
}

TEST(JobStoreCrash, CrashBeforeRenameKeepsOldFile) {
  const CString dir = CrashTestFolder();
  const CString path = dir + "Jobs.mdb";
  const std::string before = Header(2) + "1\t\\N\tkept\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n";
  platform::MakeDirectory(dir);
  platform::RemoveFile(path + ".tmp");
  ASSERT_TRUE(testing_support::WriteFileBytes(path, before));

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CADODataBase db;
        if (db.Open(JobOrderConnectionString(dir))) {
          jobstore_testing::SetTempWrittenHook(EndProcess);
          db.Execute("insert into [JobInfo] (job_name) values ('lost')");
        }
      },
      testing::ExitedWithCode(7), "");

  // The old file is whole; the new one lies written out beside it.
  EXPECT_EQ(before, testing_support::ReadFileBytes(path));
  EXPECT_NE(std::string::npos, testing_support::ReadFileBytes(path + ".tmp").find("\tlost\t"));

  // The next write goes over the stale temporary file and leaves none.
  CADODataBase db;
  ASSERT_TRUE(db.Open(JobOrderConnectionString(dir))) << db.GetLastErrorText();
  ASSERT_TRUE(db.Execute("insert into [JobInfo] (job_name) values ('next')")) << db.GetLastErrorText();
  db.Close();
  EXPECT_EQ(Header(3) + "1\t\\N\tkept\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n" +
                "2\t\\N\tnext\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n",
            testing_support::ReadFileBytes(path));
  EXPECT_FALSE(testing_support::FileExists(path + ".tmp"));
  platform::RemoveFile(path);
  platform::RemoveFolder(dir);
}

}  // namespace
