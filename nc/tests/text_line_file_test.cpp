// Line reading of NC text files: every line end, a byte-order mark, NUL bytes, long lines
// and positions across buffer refills.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "nc/text_line_file.h"
#include "platform/testing/test_support.h"

namespace {

struct Line {
  int length;
  std::string text;
  bool operator==(const Line& o) const { return length == o.length && text == o.text; }
};
void PrintTo(const Line& l, std::ostream* os) { *os << l.length << ":\"" << l.text << "\""; }

std::vector<Line> ReadAll(const std::string& bytes, int capacity = 64) {
  testing_support::TempDir dir;
  CString path = dir / "t.nc";
  EXPECT_TRUE(testing_support::WriteFileBytes(path, bytes));
  CTextLineFile file;
  EXPECT_TRUE(file.Open(path));
  std::vector<Line> lines;
  std::vector<char> buf((size_t)capacity);
  int n;
  while ((n = file.ReadLine(buf.data(), capacity)) >= 0) {
    int stored = n < capacity - 1 ? n : capacity - 1;
    lines.push_back({n, std::string(buf.data(), (size_t)stored)});
  }
  EXPECT_FALSE(file.HasReadError());
  return lines;
}

TEST(TextLineFile, EveryLineEnd) {
  struct {
    const char* why;
    std::string bytes;
    std::vector<Line> lines;
  } cases[] = {
      {"LF", "G1\nG2\n", {{2, "G1"}, {2, "G2"}}},
      {"CR LF", "G1\r\nG2\r\n", {{2, "G1"}, {2, "G2"}}},
      {"CR alone", "G1\rG2\r", {{2, "G1"}, {2, "G2"}}},
      {"mixed", "G1\rG2\nG3\r\nG4", {{2, "G1"}, {2, "G2"}, {2, "G3"}, {2, "G4"}}},
      {"empty lines count", "\r\n\n\r\r\nX", {{0, ""}, {0, ""}, {0, ""}, {0, ""}, {1, "X"}}},
      {"LF CR is two ends", "A\n\rB", {{1, "A"}, {0, ""}, {1, "B"}}},
      {"byte-order mark", "\xEF\xBB\xBFG1\nG2", {{2, "G1"}, {2, "G2"}}},
      {"a mark later is text", "G1\n\xEF\xBB\xBF", {{2, "G1"}, {3, "\xEF\xBB\xBF"}}},
      {"NUL bytes are kept", std::string("G1\0X1\n", 6), {{5, std::string("G1\0X1", 5)}}},
      {"no bytes", "", {}},
  };
  for (const auto& k : cases) EXPECT_EQ(k.lines, ReadAll(k.bytes)) << k.why;
}

TEST(TextLineFile, LinesWithANulAreMarked) {
  testing_support::TempDir dir;
  CString path = dir / "t.nc";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, std::string("G1\nG1\0X1\r\nG2\n", 13)));
  CTextLineFile file;
  ASSERT_TRUE(file.Open(path));
  char buf[16];
  bool marks[3];
  for (bool& m : marks) {
    ASSERT_GE(file.ReadLine(buf, sizeof buf), 0);
    m = file.LineHadNul();
  }
  EXPECT_FALSE(marks[0]);
  EXPECT_TRUE(marks[1]);
  EXPECT_FALSE(marks[2]);
}

TEST(TextLineFile, LongLinesGiveTheirWholeLength) {
  std::string longLine(100, 'x');
  std::vector<Line> lines = ReadAll(longLine + "\r\nG1\r\n", 10);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(100, lines[0].length);
  EXPECT_EQ(std::string(9, 'x'), lines[0].text);
  EXPECT_EQ((Line{2, "G1"}), lines[1]);
}

TEST(TextLineFile, LineEndsAcrossRefillsAndSeeks) {
  // Lines of 9 bytes and CR LF around the 64 KB buffer boundary, then a seek back.
  std::string bytes;
  std::vector<ULONGLONG> starts;
  for (int i = 0; i < 20000; i++) {
    starts.push_back(bytes.size());
    bytes += "L" + std::to_string(100000 + i).substr(1) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\r" : "\n");
  }
  testing_support::TempDir dir;
  CString path = dir / "t.nc";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, bytes));
  CTextLineFile file;
  ASSERT_TRUE(file.Open(path));
  char buf[32];
  for (int i = 0; i < 20000; i++) {
    ASSERT_EQ(starts[(size_t)i], file.GetPosition()) << i;
    ASSERT_EQ(6, file.ReadLine(buf, sizeof buf)) << i;
    ASSERT_EQ("L" + std::to_string(100000 + i).substr(1), std::string(buf)) << i;
  }
  EXPECT_EQ(-1, file.ReadLine(buf, sizeof buf));
  ASSERT_TRUE(file.Seek(starts[7]));
  ASSERT_EQ(6, file.ReadLine(buf, sizeof buf));
  EXPECT_STREQ("L00007", buf);
  ASSERT_TRUE(file.Seek(starts[19990]));
  ASSERT_EQ(6, file.ReadLine(buf, sizeof buf));
  EXPECT_STREQ("L19990", buf);
}

}  // namespace
