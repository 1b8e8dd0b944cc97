// The reply-line reader and the parsers of reply texts, with a fuzz run.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "engine/protocol/reply_line.h"

namespace {

// Feeds text; returns the results of the lines it ended, and the last good text.
std::vector<ReplyLineResult> Feed(CReplyLineReader& reader, const std::string& text, std::string* good = nullptr) {
  std::vector<ReplyLineResult> results;
  for (char c : text) {
    ReplyLineResult r = reader.Feed(c);
    if (r == kReplyCollecting) continue;
    results.push_back(r);
    if (r == kReplyGood && good) *good = reader.GetText();
  }
  return results;
}

TEST(ReplyLine, WireFormOfAText) {
  EXPECT_STREQ("SONLINE 38;", MakeReplyLine("SONLINE"));
  EXPECT_STREQ("G12 CA;", MakeReplyLine("G12"));
  EXPECT_EQ(0x38, ReplyLineSum("SONLINE ", 8));
}

TEST(ReplyLine, Lines) {
  struct Case {
    const char* wire;
    ReplyLineResult result;
    const char* text;  // the good line's text
  } cases[] = {
      {"SONLINE 38;", kReplyGood, "SONLINE "},
      {"SONLINE 38;", kReplyGood, "SONLINE "},
      {"TREADY e9;", kReplyGood, "TREADY "},  // digits in either case
      {"WX100000 Y48000 Z6400 A9;", kReplyGood, "WX100000 Y48000 Z6400 "},
      {"SONLINE 39;", kReplyBadSum, ""},
      {"SONLINE38;", kReplyMalformed, ""},   // no blank before the digits
      {"SONLINEX38;", kReplyMalformed, ""},  // a letter where the blank belongs
      {"SONLINE 3G;", kReplyMalformed, ""},  // not a hex digit
      {" 20;", kReplyMalformed, ""},         // a blank alone: no text
      {"38;", kReplyMalformed, ""},
      {";", kReplyMalformed, ""},
  };
  for (const Case& c : cases) {
    CReplyLineReader reader;
    std::string good;
    std::vector<ReplyLineResult> results = Feed(reader, c.wire, &good);
    ASSERT_EQ(1u, results.size()) << c.wire;
    EXPECT_EQ(c.result, results[0]) << c.wire;
    EXPECT_EQ(c.text, good) << c.wire;
    EXPECT_STREQ(c.wire, reader.GetReceived());
  }
}

// Without its blank a line has no summed part; its sum would be 0 and "00" would match.
TEST(ReplyLine, ALineWithoutItsBlankIsNotGoodEvenWhenTheDigitsMatchNothing) {
  CReplyLineReader reader;
  EXPECT_EQ(std::vector<ReplyLineResult>{kReplyMalformed}, Feed(reader, "SONLINE00;"));
}

TEST(ReplyLine, ALongLineIsDroppedAndCollectionRestarts) {
  CReplyLineReader reader;
  std::string good;
  std::string junk(kReplyLineMax, 'x');
  EXPECT_TRUE(Feed(reader, junk, &good).empty());
  EXPECT_EQ(0u, reader.GetOverflows());
  EXPECT_EQ(std::vector<ReplyLineResult>{kReplyGood}, Feed(reader, "SONLINE 38;", &good));  // 513th starts anew
  EXPECT_EQ("SONLINE ", good);
  EXPECT_EQ(1u, reader.GetOverflows());
  std::string longest = std::string(kReplyLineMax - 4 - 1, 'A');
  EXPECT_EQ(std::vector<ReplyLineResult>{kReplyGood}, Feed(reader, MakeReplyLine(longest.c_str()).GetString(), &good));
  EXPECT_EQ(longest + " ", good);
}

TEST(ReplyLine, ConsecutiveLines) {
  CReplyLineReader reader;
  std::string good;
  auto results = Feed(reader, "TREADY e9;SONLINE 39;G12 CA;", &good);
  EXPECT_EQ((std::vector<ReplyLineResult>{kReplyGood, kReplyBadSum, kReplyGood}), results);
  EXPECT_EQ("G12 ", good);
}

TEST(ReplyLine, ParsePosition) {
  struct Case {
    const char* line;
    bool ok;
    double x, y, z;
  } cases[] = {
      {"WX100000 Y48000 Z6400", true, 100000, 48000, 6400},
      {"wx-1.5 y2.25e1 z+3", true, -1.5, 22.5, 3},
      {"OX 5 Y 6 Z 7 ", true, 5, 6, 7},
      {"WX100 Y200", false, 100, 200, 0},  // no Z: what was found stays
      {"WY5 Z6", false, 0, 0, 0},          // no X: nothing further is read
      {"WXabc Y Z", true, 0, 0, 0},        // letters without numbers
      {"WX0X10 Y0 Z0", true, 0, 0, 0},     // no hexadecimal
      {"WXINF YNAN Z1", true, 0, 0, 1},
      {"", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Vec3 p(9, 9, 9);
    EXPECT_EQ(c.ok, ParsePosition(c.line, p)) << c.line;
    EXPECT_DOUBLE_EQ(c.x, p.x) << c.line;
    EXPECT_DOUBLE_EQ(c.y, p.y) << c.line;
    EXPECT_DOUBLE_EQ(c.z, p.z) << c.line;
  }
}

TEST(ReplyLine, ControllerVersionNumber) {
  struct Case {
    const char* text;
    int number;
  } cases[] = {
      {"V5", 5}, {" v 7 ", 7}, {"V12X", 12}, {"V", 0}, {"", 0}, {"  ", 0}, {"X-3", -3}, {"V99999999999999", INT_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(c.number, GetVersionNumber(c.text)) << "[" << c.text << "]";
  EXPECT_EQ(0, GetVersionNumber(nullptr));
}

// Random characters never crash the reader; a good line is one whose digits match; a
// line made by MakeReplyLine is always good and its text comes back.
TEST(ReplyLine, Fuzz) {
  std::mt19937 rng(5);
  CReplyLineReader reader;
  const char alphabet[] = " ;0123456789ABCDEFabcdefSTWOGPX";
  int good = 0;
  auto randomText = [&rng] {
    std::string text(1 + rng() % 60, ' ');
    for (char& c : text) c = (char)(0x21 + rng() % 0x5E);
    return text;
  };
  std::string noise;
  for (int i = 0; i < 300000; ++i) {
    noise += rng() % 3 ? alphabet[rng() % (sizeof(alphabet) - 1)] : (char)(0x20 + rng() % 0x60);
    if (rng() % 50 == 0) noise += MakeReplyLine(randomText().c_str()).GetString();
  }
  for (char c : noise) {
    if (reader.Feed(c) == kReplyGood) {
      ++good;
      std::string text = reader.GetText();
      ASSERT_GE(text.size(), 2u);
      ASSERT_EQ(' ', text.back());
      std::string received = reader.GetReceived();
      ASSERT_EQ(text.size() + 3, received.size());
      ASSERT_EQ(received.substr(0, text.size()), text);
      ASSERT_EQ(ReplyLineSum(text.c_str(), (int)text.size()), std::stoul(received.substr(text.size(), 2), nullptr, 16));
    }
  }
  EXPECT_GT(good, 100);
  reader.Reset();
  for (int i = 0; i < 2000; ++i) {
    std::string text = randomText();
    if (text.find(';') != std::string::npos) continue;
    std::string got;
    CString wire = MakeReplyLine(text.c_str());
    ASSERT_EQ(std::vector<ReplyLineResult>{kReplyGood}, Feed(reader, wire.GetString(), &got)) << wire.GetString();
    ASSERT_EQ(text + " ", got);
  }
}

}  // namespace
