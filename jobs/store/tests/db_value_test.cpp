// Dates in their two accepted forms and LIKE with '%' and '_'.
#include <gtest/gtest.h>

#include "jobs/store/db_value.h"

namespace {

TEST(DbDate, AcceptedFormsAndRejects) {
  struct Case {
    const char* text;
    bool ok;
    const char* stored;  // "%Y-%m-%d %H:%M:%S" when ok
  } cases[] = {
      {"2009-07-09", true, "2009-07-09 00:00:00"},
      {"2009-07-09 13:05:59", true, "2009-07-09 13:05:59"},
      {"2009-7-9", true, "2009-07-09 00:00:00"},
      {"2009-7-9 8:5:3", true, "2009-07-09 08:05:03"},
      {" 2009-07-09  13:05:59 ", true, "2009-07-09 13:05:59"},
      {"2008-02-29", true, "2008-02-29 00:00:00"},
      {"2000-02-29", true, "2000-02-29 00:00:00"},
      {"2009-12-31 23:59:59", true, "2009-12-31 23:59:59"},
      {"1900-02-29", false, ""},  // not a leap year
      {"2009-02-29", false, ""},
      {"2009-04-31", false, ""},
      {"2009-13-01", false, ""},
      {"2009-00-10", false, ""},
      {"2009-07-00", false, ""},
      {"2009-07-09 24:00:00", false, ""},
      {"2009-07-09 12:60:00", false, ""},
      {"2009-07-09 12:00", false, ""},
      {"2009-07-0912:00:00", false, ""},
      {"2009/07/09", false, ""},
      {"09-07-09", false, ""},
      {"1899-12-31", false, ""},
      {"2009-07-09x", false, ""},
      {"2009-007-09", false, ""},
      {"", false, ""},
      {"today", false, ""},
  };
  for (const Case& c : cases) {
    DbDate d;
    d.m_nYear = 1234;
    EXPECT_EQ(c.ok, ParseDbDate(c.text, d)) << c.text;
    if (c.ok) {
      EXPECT_STREQ(c.stored, FormatDbDate(d, "")) << c.text;
    } else {
      EXPECT_EQ(1234, d.m_nYear) << "a rejected text leaves the date: " << c.text;
    }
  }
}

TEST(DbDate, FormatsAndMatchText) {
  DbDate d;
  ASSERT_TRUE(ParseDbDate("2009-07-09 08:05:03", d));
  EXPECT_STREQ("09/07/09 08h05 %", FormatDbDate(d, "%y/%m/%d %Hh%M %%"));
  EXPECT_STREQ("2009 %Q %", FormatDbDate(d, "%Y %Q %"));  // unknown fields stay as they are
  EXPECT_STREQ("2009-07-09 08:05:03", DbDateMatchText(d));
  ASSERT_TRUE(ParseDbDate("2009-07-09", d));
  EXPECT_STREQ("2009-07-09", DbDateMatchText(d));  // midnight: the day alone, as shown
}

TEST(DbValue, LikePatterns) {
  struct Case {
    const char* text;
    const char* pattern;
    bool match;
  } cases[] = {
      {"Sign", "Sign", true},
      {"Sign", "sIGN", true},  // without regard to case
      {"Sign", "Sig", false},  // no wildcard is added
      {"Signs", "Sign", false},
      {"Sign", "S%", true},
      {"Sign", "%n", true},
      {"Sign", "%ig%", true},
      {"Sign", "%", true},
      {"", "%", true},
      {"", "", true},
      {"", "_", false},
      {"Sign", "S__n", true},
      {"Sign", "S_n", false},
      {"Sign", "____", true},
      {"Sign", "_____", false},
      {"abcabd", "%abd", true},  // the '%' has to give back characters
      {"abcabc", "%abd", false},
      {"aXbXc", "%X%X%", true},
      {"aXbc", "%X%X%", false},
      {"100%", "100%", true},
      {"a_b", "a_b", true},
      {"it's", "it's", true},
      {"\xb5\xf1\xbf\xcc", "\xb5\xf1\xbf\xcc", true},  // 雕刻
      {"\xb5\xf1\xbf\xcc", "_\xbf\xcc", true},         // '_' is one double-byte character
      {"\xb5\xf1\xbf\xcc", "__", true},
      {"\xb5\xf1\xbf\xcc", "___", false},
      {"\xb5\xf1\xbf\xcc", "%\xbf\xcc", true},
      {"\xb5\xf1\xbf\xcc", "\xb5%", false},  // a lead byte takes the next byte along
      // Trail bytes that look like '_' (0x5F) or a letter are no wildcard and no letter.
      {"\x81\x5f", "\x81\x5f", true},
      {"\x81\x41", "\x81\x61", false},
      {"x\x81\x5f", "x_", true},
      {"x\x81\x5f", "x__", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.match, LikeMatch(c.text, c.pattern)) << c.text << " like " << c.pattern;
}

TEST(DbValue, QueryEquality) {
  DbDate d1, d2;
  ASSERT_TRUE(ParseDbDate("2009-07-09", d1));
  ASSERT_TRUE(ParseDbDate("2009-7-9 00:00:00", d2));
  EXPECT_TRUE(CDbValue::Date(d1).EqualsForQuery(CDbValue::Date(d2)));
  EXPECT_TRUE(CDbValue::Text("Sign").EqualsForQuery(CDbValue::Text("SIGN")));
  EXPECT_FALSE(CDbValue::Text("Sign ").EqualsForQuery(CDbValue::Text("Sign")));
  EXPECT_FALSE(CDbValue::Int(1).EqualsForQuery(CDbValue::Text("1")));
  EXPECT_FALSE(CDbValue().EqualsForQuery(CDbValue()));
  EXPECT_STREQ("-7", CDbValue::Int(-7).MatchText());
}

}  // namespace
