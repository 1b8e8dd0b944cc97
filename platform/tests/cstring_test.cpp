#include <gtest/gtest.h>

#include "platform/cstring.h"

namespace {

// GBK texts whose trail bytes look like ASCII: 癨 = 0xB0 0x5C (trail is '\'),
// 瓵 = 0xAD 0x41 (trail 'A'), 獇 = 0xAB 0x61 (trail 'a').
constexpr char kBackslashTrail[] = "\xB0\x5C";
constexpr char kUpperATrail[] = "\xAD\x41";
constexpr char kLowerATrail[] = "\xAB\x61";

TEST(CStringTest, SubstringsClampLikeThePlatform) {
  CString s("abcdef");
  EXPECT_STREQ("cdef", s.Mid(2));
  EXPECT_STREQ("cd", s.Mid(2, 2));
  EXPECT_STREQ("", s.Mid(10));
  EXPECT_STREQ("abcdef", s.Mid(-3));
  EXPECT_STREQ("ef", s.Mid(4, 99));
  EXPECT_STREQ("", s.Left(-1));
  EXPECT_STREQ("abcdef", s.Left(99));
  EXPECT_STREQ("def", s.Right(3));
  EXPECT_STREQ("abcdef", s.Right(99));
}

TEST(CStringTest, FormatHasC99Semantics) {
  CString s;
  s.Format("%d|%5.2f|%s|%lld|%x|%%", -7, 3.14159, "txt", 1234567890123LL, 255);
  EXPECT_STREQ("-7| 3.14|txt|1234567890123|ff|%", s);
  s.AppendFormat("+%03d", 5);
  EXPECT_STREQ("-7| 3.14|txt|1234567890123|ff|%+005", s);
  // Longer than the stack buffer.
  CString big;
  big.Format("%s%s", std::string(400, 'x').c_str(), std::string(400, 'y').c_str());
  EXPECT_EQ(800, big.GetLength());
  EXPECT_EQ('y', big[799]);
}

TEST(CStringTest, CaseMappingLeavesTrailBytesAlone) {
  CString s = CString("ab") + kLowerATrail + "cd";
  s.MakeUpper();
  EXPECT_EQ(CString("AB") + kLowerATrail + "CD", s);
  CString t = CString("XY") + kUpperATrail + "Z";
  t.MakeLower();
  EXPECT_EQ(CString("xy") + kUpperATrail + "z", t);
}

TEST(CStringTest, SearchingNeverMatchesInsideACharacter) {
  CString path = CString("C:\\") + kBackslashTrail + "\\x";
  EXPECT_EQ(2, path.Find('\\'));
  EXPECT_EQ(5, path.ReverseFind('\\'));
  EXPECT_EQ(5, path.Find('\\', 3));
  EXPECT_EQ(-1, CString(kUpperATrail).Find('A'));
  EXPECT_EQ(-1, CString(kUpperATrail).Find("A"));
  EXPECT_EQ(-1, CString(kUpperATrail).FindOneOf("A"));
  CString two = CString(kUpperATrail) + "A";
  EXPECT_EQ(2, two.Find("A"));
  EXPECT_EQ(2, two.Find('A'));
  EXPECT_EQ(0, CString("abc").Find(""));
  EXPECT_EQ(-1, CString("abc").Find("abcd"));
}

TEST(CStringTest, ReplaceRemoveTrimKeepCharactersWhole) {
  CString s = CString(kBackslashTrail) + "\\a\\";
  EXPECT_EQ(2, s.Replace('\\', '/'));
  EXPECT_EQ(CString(kBackslashTrail) + "/a/", s);
  CString r = CString(kBackslashTrail) + "\\";
  EXPECT_EQ(1, r.Remove('\\'));
  EXPECT_EQ(CString(kBackslashTrail), r);
  CString t = CString("\\\\") + kBackslashTrail;
  t.Trim('\\');
  EXPECT_EQ(CString(kBackslashTrail), t);
  CString u = CString(kUpperATrail) + "AA";
  u.TrimRight("A");
  EXPECT_EQ(CString(kUpperATrail), u);
  CString v = "xxabcxx";
  EXPECT_EQ(1, v.Replace("abc", "Q"));
  EXPECT_STREQ("xxQxx", v);
  CString w = " \t\r\n text \v\f";
  w.Trim();
  EXPECT_STREQ("text", w);
}

TEST(CStringTest, CompareNoCase) {
  EXPECT_EQ(0, CString("Section").CompareNoCase("SECTION"));
  EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
  EXPECT_GT(CString("abd").CompareNoCase("ABC"), 0);
  EXPECT_NE(0, CString(kUpperATrail).CompareNoCase(kLowerATrail));
  EXPECT_NE(0, CString("a").CompareNoCase("a "));
}

TEST(CStringTest, BufferRoundTrip) {
  CString s("old");
  char* p = s.GetBuffer(20);
  strcpy(p, "a longer text");
  s.ReleaseBuffer();
  EXPECT_STREQ("a longer text", s);
  EXPECT_EQ(13, s.GetLength());
  p = s.GetBuffer(4);
  p[1] = 0;
  s.ReleaseBuffer();
  EXPECT_STREQ("a", s);
  s.GetBuffer(10);
  s.ReleaseBuffer(0);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, TokenizeAndSpans) {
  CString s = "a,b,,c";
  int pos = 0;
  EXPECT_STREQ("a", s.Tokenize(",", pos));
  EXPECT_STREQ("b", s.Tokenize(",", pos));
  EXPECT_STREQ("c", s.Tokenize(",", pos));
  EXPECT_STREQ("", s.Tokenize(",", pos));
  EXPECT_EQ(-1, pos);
  EXPECT_STREQ("123", CString("123abc").SpanIncluding("0123456789"));
  EXPECT_STREQ("abc", CString("abc;def").SpanExcluding(";"));
}

TEST(CStringTest, ReverseKeepsDoubleBytePairs) {
  CString s = CString("ab") + kUpperATrail;
  s.MakeReverse();
  EXPECT_EQ(CString(kUpperATrail) + "ba", s);
}

TEST(CStringTest, InsertDelete) {
  CString s = "held";
  s.Insert(2, "llo wor");
  EXPECT_STREQ("hello world", s);
  s.Delete(5, 6);
  EXPECT_STREQ("hello", s);
  s.Delete(10);
  EXPECT_STREQ("hello", s);
  s.Insert(99, '!');
  EXPECT_STREQ("hello!", s);
}

TEST(CStringTest, LoadStringOfMissingIdIsEmpty) {
  CString s("x");
  EXPECT_FALSE(s.LoadString(65000));
  EXPECT_TRUE(s.IsEmpty());
}

}  // namespace
