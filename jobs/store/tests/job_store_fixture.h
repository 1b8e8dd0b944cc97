// A program folder with the shipped empty "Jobs.mdb" and the job order database opened
// on it, English texts.
#pragma once

#include <string>
#include <vector>

#include "foundation/settings.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/store/job_order_database.h"

namespace jobstore_test {

using Rows = std::vector<std::string>;

class JobStoreTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    // Beside the test program, as beside the programs (corvane_ship_job_database).
    std::string shipped = testing_support::ReadFileBytes("Jobs.mdb");
    ASSERT_FALSE(shipped.empty()) << "Jobs.mdb is not beside the test program";
    ASSERT_TRUE(testing_support::WriteFileBytes(DatabasePath(), shipped));
    ASSERT_TRUE(OpenJobOrderDatabase()) << g_JobOrderDatabase.GetLastErrorText();
  }
  void TearDown() override {
    g_JobOrderDatabase.Close();
    EnglishAppFolderTest::TearDown();
  }

  CString DatabasePath() const { return Path("Jobs.mdb"); }
  std::string FileText() const { return testing_support::ReadFileBytes(DatabasePath()); }

  // The rows of a select, one text per row: the columns in table order read as text
  // with the empty date format, joined by '|'; or "error: <description>".
  std::vector<std::string> Select(const char* sql) {
    static const char* const kColumns[] = {"ident",       "finished",     "job_name",      "payment",
                                           "created_day", "expected_day", "delivered_day", "customer_name",
                                           "contract",    "telephone",    "memo"};
    CADORecordset rs(&g_JobOrderDatabase);
    if (!rs.Open(sql, 1)) return {"error: " + Description(rs.GetLastErrorText())};
    std::vector<std::string> rows;
    while (!rs.IsEof()) {
      std::string row;
      for (size_t i = 0; i < sizeof kColumns / sizeof kColumns[0]; ++i) {
        CString value;
        EXPECT_TRUE(rs.GetFieldText(kColumns[i], value, "")) << kColumns[i];
        if (i > 0) row += "|";
        row += value.str();
      }
      rows.push_back(row);
      rs.MoveNext();
    }
    rs.Close();
    return rows;
  }
  std::vector<std::string> All() { return Select("SELECT * FROM [JobInfo]"); }

  // "ok" or "error: <description>".
  std::string Execute(const char* sql) {
    return g_JobOrderDatabase.Execute(sql) ? "ok" : "error: " + Description(g_JobOrderDatabase.GetLastErrorText());
  }

  // The description line of an error text.
  static std::string Description(const CString& text) {
    const std::string& s = text.str();
    size_t at = s.find("\tDescription = ");
    if (at == std::string::npos) return "<no description in: " + s + ">";
    at += 15;
    size_t end = s.find('\n', at);
    return s.substr(at, end == std::string::npos ? std::string::npos : end - at);
  }
};

}  // namespace jobstore_test
