// Random and mutated statements for the store's parser and its conditions, and mutated
// files for its loader. Nothing may crash, read past its input or run away (the host
// build runs this under the sanitizers); whatever parses must run.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jobs/store/job_order_sql.h"
#include "jobs/store/job_order_table.h"

namespace {

std::string Mutate(std::string s, std::mt19937& rng) {
  static const char* const kPieces[] = {
      "'",  "''",   "(",  ")",  " or ", " and ",  "%",     "_", "[", "]",          ",",     "null", "-",       "=",
      "<>", "\xb5", "\\", "\t", "\n",   " like ", "where", ";", "*", "2147483648", "ident", "memo", "\xff\xff"};
  int edits = 1 + (int)(rng() % 4);
  for (int i = 0; i < edits; ++i) {
    size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 4) {
      case 0:
        if (!s.empty()) s.erase(rng() % s.size(), 1 + rng() % 8);
        break;
      case 1: s.insert(at, kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])]); break;
      case 2:
        if (!s.empty()) s[rng() % s.size()] = (char)(1 + rng() % 255);
        break;
      case 3: s.resize(at); break;
    }
  }
  return s;
}

std::vector<std::string> Seeds() {
  JobOrderRow f;
  f.m_bFinished = TRUE;
  f.m_strJobName = "O'Brien \xb5\xf1\xbf\xcc";
  f.m_strPayment = "50%";
  f.m_strCreatedDay = "2009-07-09";
  f.m_strExpectedDay = "2009-07-20 12:00:00";
  f.m_strCustomerName = "a_b";
  f.m_strMemo = "x";
  return {BuildOrderListSql(TRUE, FALSE, BuildSearchCondition(f)).str(),
          BuildOrderListSql(TRUE, TRUE, "").str(),
          BuildSelectByIdentSql(70000).str(),
          BuildJobRowsSql("x' or 'a'='a").str(),
          BuildInsertSql(f).str(),
          BuildUpdateSql(f, 7).str(),
          BuildDeleteSql(7).str(),
          "select * from JobInfo where ((a = 1 or b = 2) and (c like 'x' or (d <> 'y')))"};
}

TEST(SqlFuzz, MutatedStatementsParseOrFailCleanly) {
  std::mt19937 rng(20240709);
  std::vector<std::string> seeds = Seeds();
  CJobOrderTable table;
  for (int i = 0; i < 3; ++i) {
    SqlStatement insert;
    StoreError error;
    ASSERT_TRUE(ParseSql(seeds[4].c_str(), insert, error));
    ASSERT_TRUE(table.Execute(insert, nullptr, nullptr, error));
  }
  int parsed = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string sql = Mutate(seeds[rng() % seeds.size()], rng);
    SqlStatement st;
    StoreError error;
    if (!ParseSql(sql.c_str(), st, error)) {
      ASSERT_NE(kStoreOk, error.m_id) << sql;
      continue;
    }
    ++parsed;
    // Run on a copy: whatever parses runs, and the table stays loadable.
    CJobOrderTable copy = table;
    std::vector<JobOrderValues> rows;
    int affected = -1;
    ASSERT_TRUE(copy.Execute(st, &rows, &affected, error)) << sql;
    ASSERT_GE(affected, 0);
    CJobOrderTable reloaded;
    ASSERT_TRUE(reloaded.Load(copy.Save(), error)) << sql << ": " << error.m_strDetail;
    ASSERT_EQ(copy.Save(), reloaded.Save());
  }
  EXPECT_GT(parsed, 1000);  // the mutations reach past the parser's first checks
}

TEST(SqlFuzz, RandomBytesAndDeepNesting) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50000; ++round) {
    std::string sql((size_t)(rng() % 64), ' ');
    for (char& c : sql) c = (char)(1 + rng() % 255);
    SqlStatement st;
    StoreError error;
    ParseSql(sql.c_str(), st, error);
  }
  // Nesting is bounded; long flat chains are not recursion.
  for (int depth : {10, 31, 32, 33, 100000}) {
    std::string sql = "select * from [JobInfo] where " + std::string((size_t)depth, '(') + "ident=1" +
                      std::string((size_t)depth, ')');
    SqlStatement st;
    StoreError error;
    EXPECT_EQ(depth <= 32, ParseSql(sql.c_str(), st, error)) << depth;
  }
  std::string chain = "select * from [JobInfo] where ident=1";
  for (int i = 0; i < 100000; ++i) chain += i % 2 ? " or ident=2" : " and ident=3";
  SqlStatement st;
  StoreError error;
  ASSERT_TRUE(ParseSql(chain.c_str(), st, error));
  CJobOrderTable table;
  ASSERT_TRUE(table.Execute(st, nullptr, nullptr, error));
}

TEST(SqlFuzz, MutatedFilesLoadOrFailCleanly) {
  std::mt19937 rng(99);
  CJobOrderTable table;
  for (const std::string& sql : Seeds()) {
    SqlStatement st;
    StoreError error;
    if (ParseSql(sql.c_str(), st, error) && st.m_kind == SqlStatement::kInsert)
      table.Execute(st, nullptr, nullptr, error);
  }
  const std::string file = table.Save();
  for (int round = 0; round < 50000; ++round) {
    std::string text = Mutate(file, rng);
    CJobOrderTable loaded;
    StoreError error;
    if (loaded.Load(text, error)) {
      CJobOrderTable again;
      ASSERT_TRUE(again.Load(loaded.Save(), error)) << error.m_strDetail;
    } else {
      ASSERT_EQ(kStoreFileBad, error.m_id);
    }
  }
}

}  // namespace
