#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_frame.h"
#include "device/link_helpers.h"
#include "foundation/checksum.h"

namespace {

TEST(ParseTag, FindsValuesByNameIgnoringCase) {
  struct Case {
    const char* text;
    const char* tag;
    int size;
    int result;
    const char* value;
    int32_t number;
  } cases[] = {
      {"NCID[123]PROT[1]", "prot", 64, 1, "1", 1},
      {"NCID[123]PROT[1]", "NCID", 64, 3, "123", 123},
      {"NCID[123]PROT[1]", "APR", 64, 0, "", -99},
      {"PROT[]NCID[5]PROT[7]", "PROT", 64, 0, "", -99},  // an empty value ends the search
      {"NAME[abcdefgh]", "name", 4, 3, "abc", 0},        // cut to size - 1
      {"X[1]", "X", 64, 1, "1", 1},
      {"X[]", "X", 64, 0, "", -99},
      {"A[ -42x]", "a", 64, 5, " -42x", -42},
      {"A[55", "a", 64, 2, "55", 55},  // no "]": runs to the end of the text
      {"A[5", "a", 64, 0, "", -99},    // tag length + 2 is not below the text length
      {"", "A", 64, 0, "", -99},
  };
  for (const Case& c : cases) {
    char value[64] = "";
    int32_t number = -99;
    EXPECT_EQ(c.result, ParseTag(c.text, (int)strlen(c.text), c.tag, value, c.size, &number)) << c.text << " " << c.tag;
    EXPECT_STREQ(c.value, value) << c.text;
    EXPECT_EQ(c.number, number) << c.text;
  }
  char value[8];
  EXPECT_EQ(0, ParseTag(nullptr, 5, "A", value, 8));
  EXPECT_EQ(0, ParseTag("A[1]", 4, "", value, 8));
  EXPECT_EQ(0, ParseTag("A[1]", 4, "A", value, 0));
  EXPECT_EQ(1, ParseTag("A[1]", 4, "A", nullptr, 8));
}

TEST(ParseTag, NeverReadsPastTheGivenLength) {
  // The text is not NUL-terminated: its length alone bounds the scan.
  std::string text = "PROT[12345";
  std::string exact(text.begin(), text.end());
  char value[32];
  EXPECT_EQ(5, ParseTag(exact.data(), (int)exact.size(), "PROT", value, sizeof(value)));
  EXPECT_EQ(2, ParseTag(exact.data(), 7, "PROT", value, sizeof(value)));
  EXPECT_STREQ("12", value);
}

class ProtocolVersion : public ::testing::Test {
 protected:
  void TearDown() override { g_nProtocolVersion = 5; }
};

DeviceFrame V5Frame(BYTE pack) {
  DeviceFrame f{};
  f.m_bytes[0] = f.m_bytes[1] = 0x7E;
  f.m_bytes[2] = pack;
  for (int i = 0; i < 128; ++i) f.m_bytes[3 + i] = (BYTE)(i * 7);
  BYTE sum = 0;
  for (int i = 2; i <= 130; ++i) sum = (BYTE)(sum + f.m_bytes[i]);
  f.m_bytes[131] = sum;
  return f;
}

DeviceFrame V7Frame(WORD length, BYTE fill) {
  DeviceFrame f{};
  f.m_bytes[0] = f.m_bytes[1] = 0xE7;
  f.m_bytes[4] = 0x00;
  f.m_bytes[5] = 0x02;  // data
  f.m_bytes[6] = 0x34;  // pack
  f.m_bytes[7] = 0x12;
  f.m_bytes[8] = (BYTE)length;
  f.m_bytes[9] = (BYTE)(length >> 8);
  for (int i = 0; i < length && i < DEVICE_FRAME_MAX_DATA; ++i) f.m_bytes[10 + i] = fill;
  WORD crc = Crc16Arc(f.m_bytes + 4, (size_t)length + 6);
  f.m_bytes[2] = (BYTE)crc;
  f.m_bytes[3] = (BYTE)(crc >> 8);
  return f;
}

TEST_F(ProtocolVersion, Version5Frame) {
  g_nProtocolVersion = 5;
  DeviceFrame f = V5Frame(9);
  EXPECT_EQ(6, f.GetHeaderSize());
  EXPECT_EQ(128, f.GetDataLength());
  EXPECT_EQ(134, f.GetFrameSize());
  EXPECT_TRUE(f.IsSyncValid());
  EXPECT_TRUE(f.IsChecksumValid());
  EXPECT_FALSE(f.IsDataEmpty());
  BYTE data[DEVICE_FRAME_MAX_DATA];
  EXPECT_EQ(128, f.GetData(data));
  EXPECT_EQ(7, data[1]);
  for (int at : {2, 3, 70, 130}) {
    DeviceFrame bad = f;
    bad.m_bytes[at] ^= 1;
    EXPECT_FALSE(bad.IsChecksumValid()) << at;
  }
  DeviceFrame empty{};
  EXPECT_TRUE(empty.IsDataEmpty());
  EXPECT_FALSE(empty.IsSyncValid());
  EXPECT_TRUE(f.IsLengthValid(134));
  EXPECT_FALSE(f.IsLengthValid(133));
}

TEST_F(ProtocolVersion, Version7Frame) {
  g_nProtocolVersion = 7;
  DeviceFrame f = V7Frame(0, 0);
  EXPECT_EQ(10, f.GetHeaderSize());
  EXPECT_EQ(10, f.GetFrameSize());
  EXPECT_TRUE(f.IsSyncValid());
  EXPECT_TRUE(f.IsChecksumValid());  // CRC over exactly bytes 4 to 9
  EXPECT_EQ(0xF5D7, Crc16Arc(f.m_bytes + 4, 6));
  EXPECT_TRUE(f.IsDataEmpty());

  f = V7Frame(300, 0xAB);
  EXPECT_EQ(310, f.GetFrameSize());
  EXPECT_TRUE(f.IsChecksumValid());
  EXPECT_FALSE(f.IsDataEmpty());
  BYTE data[DEVICE_FRAME_MAX_DATA];
  EXPECT_EQ(300, f.GetData(data));
  EXPECT_EQ(0xAB, data[299]);
  f.m_bytes[200] ^= 0x10;
  EXPECT_FALSE(f.IsChecksumValid());
  g_nProtocolVersion = 5;
  EXPECT_FALSE(f.IsSyncValid());
}

TEST_F(ProtocolVersion, Version7LengthWordIsBoundedByTheLimitAndTheBytesReceived) {
  g_nProtocolVersion = 7;
  DeviceFrame f = V7Frame(1024, 1);
  EXPECT_TRUE(f.IsChecksumValid());
  EXPECT_TRUE(f.IsLengthValid(1034));
  EXPECT_FALSE(f.IsLengthValid(1033));
  // A length word beyond 1024 names bytes that are not there: never checksummed or copied.
  f.m_bytes[8] = 0xFF;
  f.m_bytes[9] = 0xFF;
  EXPECT_FALSE(f.IsChecksumValid());
  EXPECT_FALSE(f.IsLengthValid(65535));
  BYTE data[DEVICE_FRAME_MAX_DATA];
  EXPECT_EQ(DEVICE_FRAME_MAX_DATA, f.GetData(data));
  EXPECT_FALSE(f.IsDataEmpty());
  g_nProtocolVersion = 6;  // any other version: empty by definition
  EXPECT_TRUE(f.IsDataEmpty());
}

}  // namespace
