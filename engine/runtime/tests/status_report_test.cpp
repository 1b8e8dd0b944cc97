// The engine's report messages and the texts it writes: lines cut to a ring slot on a
// character boundary, positions converted per axis, tag numbers kept within the job.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/runtime/status_report.h"
#include "platform/bytes.h"

namespace {

TEST(StatusReport, LineMessageFitsItsSlot) {
  BYTE buffer[kChannelMaxMessage + 16];
  std::memset(buffer, 0xCC, sizeof buffer);
  UINT n = BuildLineMessage("T Ready   ", buffer);
  EXPECT_EQ(kMsgControllerLine, bytes::Load16(buffer));
  EXPECT_EQ(8u, bytes::Load16(buffer + 2));  // "T Ready" and its NUL
  EXPECT_EQ(12u, n);
  EXPECT_STREQ("T Ready", (const char*)buffer + 4);

  // 300 characters: cut to what a slot carries, with the NUL inside it.
  std::string longLine(300, 'E');
  std::memset(buffer, 0xCC, sizeof buffer);
  n = BuildLineMessage(longLine.c_str(), buffer);
  EXPECT_EQ(kChannelMaxMessage, n);
  EXPECT_EQ(kChannelMaxPayload, bytes::Load16(buffer + 2));
  EXPECT_EQ(0, buffer[n - 1]);
  EXPECT_EQ(0xCC, buffer[n]);

  // A double-byte character across the limit is left out whole.
  std::string chinese = "E" + std::string(kChannelMaxPayload - 3, 'x') + "\xd6\xd0";
  n = BuildLineMessage(chinese.c_str(), buffer);
  EXPECT_EQ(kChannelMaxPayload - 2 + 4 + 1, n);
  EXPECT_EQ('x', buffer[n - 2]);
}

TEST(StatusReport, ProgressAndAttachMessages) {
  BYTE buffer[16];
  EXPECT_EQ(12u, BuildProgressMessage(12, 40, buffer));
  EXPECT_EQ(21, bytes::Load16(buffer));
  EXPECT_EQ(8, bytes::Load16(buffer + 2));
  EXPECT_EQ(12u, bytes::Load32(buffer + 4));
  EXPECT_EQ(40u, bytes::Load32(buffer + 8));
  EXPECT_EQ(5u, BuildAttachResultMessage(TRUE, buffer));
  EXPECT_EQ(30, bytes::Load16(buffer));
  EXPECT_EQ(1, buffer[4]);
  BuildAttachResultMessage(FALSE, buffer);
  EXPECT_EQ(255, buffer[4]);
}

TEST(StatusReport, PositionsUseEachAxisResolution) {
  const double same[3] = {2540, 2540, 2540};
  Vec3 mm;
  ASSERT_TRUE(ParseReplyPosition("WX2540Y0Z-254", same, mm));
  EXPECT_DOUBLE_EQ(25.4, mm.x);
  EXPECT_DOUBLE_EQ(0.0, mm.y);
  EXPECT_DOUBLE_EQ(-2.54, mm.z);
  const double mixed[3] = {1016, 2032, 254};
  ASSERT_TRUE(ParseReplyPosition("W X1016 Y1016 Z100", mixed, mm));
  EXPECT_DOUBLE_EQ(25.4, mm.x);
  EXPECT_DOUBLE_EQ(12.7, mm.y);
  EXPECT_DOUBLE_EQ(10.0, mm.z);
  Vec3 kept(1, 2, 3);
  EXPECT_FALSE(ParseReplyPosition("WX1Y2", same, kept));
  EXPECT_DOUBLE_EQ(3.0, kept.z);
}

TEST(StatusReport, TagProgressStaysWithinTheJob) {
  struct {
    const char* text;
    DWORD total;
    BOOL valid;
    DWORD tag;
  } cases[] = {
      {"12", 40, TRUE, 12}, {" 0", 40, TRUE, 0},  {"40", 40, TRUE, 40},
      {"41", 40, FALSE, 0}, {"-1", 40, FALSE, 0}, {"65535", 40, FALSE, 0},
      {"", 40, FALSE, 0},   {"x", 40, FALSE, 0},  {"99999999999", 40, FALSE, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    DWORD tag = 0;
    EXPECT_EQ(c.valid, ParseTagProgress(c.text, c.total, tag));
    if (c.valid) {
      EXPECT_EQ(c.tag, tag);
    }
  }
}

TEST(StatusReport, Texts) {
  EXPECT_STREQ("999.0B", FormatByteSize(999));
  EXPECT_STREQ("1.5KB", FormatByteSize(1500));
  EXPECT_STREQ("2.0MB", FormatByteSize(2e6));
  EXPECT_STREQ("3.2GB", FormatByteSize(3.2e9));
  EXPECT_STREQ("00:00:59", FormatElapsed(59));
  EXPECT_STREQ("01 02:03:04", FormatElapsed(86400 + 2 * 3600 + 3 * 60 + 4));
}

}  // namespace
