#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "device/device_frame.h"
#include "platform/bytes.h"
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

std::string Hex(const BYTE* bytes, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof(b), i ? " %02x" : "%02x", bytes[i]);
    out += b;
  }
  return out;
}

std::vector<BYTE> Bytes(const std::string& hex) {
  std::vector<BYTE> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 3) out.push_back((BYTE)std::stoul(hex.substr(i, 2), nullptr, 16));
  return out;
}

// Built the way every builder builds, then numbered and sealed the way the sender does.
DeviceFrame Build(int version, WORD mark, WORD command, const std::vector<BYTE>& data, BYTE pack) {
  DeviceFrame f;
  f.Clear();
  f.SetSync(version);
  f.SetAckMark(mark, version);
  f.PutData(0, data.data(), (int)data.size(), version);
  f.SetCommand(command, version);
  f.SetLength((WORD)data.size(), version);
  f.SetPackNo(pack, version);
  f.UpdateChecksum(version);
  return f;
}

// Golden frames, their check values computed apart from this code.
TEST(DeviceFrameGolden, BothGenerations) {
  const std::vector<BYTE> word = Bytes("09 80 02 00 03 00");  // one word command
  DeviceFrame v5 = Build(5, kFrameMarkData, kFrameCommandData, word, 0x23);
  ASSERT_EQ(134, v5.GetFrameSize(5));
  EXPECT_EQ("7e 7e 23 09 80 02 00 03 00 00", Hex(v5.m_bytes, 10));
  EXPECT_FALSE(v5.IsDataEmpty(5));
  for (int i = 9; i < 131; ++i) ASSERT_EQ(0, v5.m_bytes[i]) << i;  // the unused data travels as zeros
  EXPECT_EQ("b1 55 55", Hex(v5.m_bytes + 131, 3));                 // the sum covers all 128 data bytes

  DeviceFrame sync5 = Build(5, kFrameMarkCommand, kFrameCommandSync, {0, 0}, 1);
  EXPECT_EQ(134, sync5.GetFrameSize(5));
  EXPECT_EQ("7e 7e 01 00", Hex(sync5.m_bytes, 4));
  EXPECT_EQ("01 aa aa", Hex(sync5.m_bytes + 131, 3));

  DeviceFrame sync7 = Build(7, kFrameMarkCommand, kFrameCommandSync, {0, 0}, 0x23);
  ASSERT_EQ(12, sync7.GetFrameSize(7));
  EXPECT_EQ("e7 e7 a2 35 00 01 23 87 02 00 00 00", Hex(sync7.m_bytes, 12));  // flags 0x8723

  DeviceFrame data7 = Build(7, kFrameMarkData, kFrameCommandData, word, 5);
  ASSERT_EQ(16, data7.GetFrameSize(7));
  EXPECT_EQ("e7 e7 bd bd 00 02 05 07 06 00 09 80 02 00 03 00", Hex(data7.m_bytes, 16));
  EXPECT_TRUE(data7.IsChecksumValid(7));
  EXPECT_EQ(5, data7.GetPackNo(7));
}

TEST(DeviceFrameGolden, CheckValueFailures) {
  struct Case {
    int version;
    int at;  // byte flipped
  } cases[] = {{5, 2}, {5, 3}, {5, 130}, {5, 131}, {7, 2}, {7, 4}, {7, 6}, {7, 9}, {7, 15}};
  for (const Case& c : cases) {
    DeviceFrame f = Build(c.version, kFrameMarkData, kFrameCommandData, Bytes("09 80 02 00 03 00"), 7);
    ASSERT_TRUE(f.IsChecksumValid(c.version));
    f.m_bytes[c.at] ^= 0x20;
    EXPECT_FALSE(f.IsChecksumValid(c.version)) << c.version << "@" << c.at;
  }
  // The mark word lies outside the version 5 sum; the bytes after the length outside the CRC.
  DeviceFrame f5 = Build(5, kFrameMarkData, kFrameCommandData, {1}, 0);
  f5.m_bytes[132] ^= 1;
  EXPECT_TRUE(f5.IsChecksumValid(5));
  DeviceFrame f7 = Build(7, kFrameMarkData, kFrameCommandData, {1}, 0);
  f7.m_bytes[11] ^= 1;
  EXPECT_TRUE(f7.IsChecksumValid(7));
}

TEST(DeviceFrameBuild, MarksCommandsAndLimits) {
  DeviceFrame f;
  f.Clear();
  f.SetAckMark(0x1234, 7);  // neither mark: unchanged
  EXPECT_EQ(0, bytes::Load16(f.m_bytes + kV7FlagsOffset));
  f.SetAckMark(kFrameMarkCommand, 7);
  f.SetPackNo(0x23, 7);
  f.SetLength(0, 7);
  EXPECT_EQ(0x8723, bytes::Load16(f.m_bytes + kV7FlagsOffset));
  f.SetAckMark(kFrameMarkData, 7);
  EXPECT_EQ(0x0723, bytes::Load16(f.m_bytes + kV7FlagsOffset));
  f.SetLength(5000, 7);  // more than a frame holds
  EXPECT_EQ(DEVICE_FRAME_MAX_DATA, f.GetDataLength(7));

  f.Clear();
  f.SetAckMark(0x1234, 5);  // stored as given
  EXPECT_EQ(0x1234, bytes::Load16(f.m_bytes + kV5MarkOffset));
  DeviceFrame before = f;
  f.SetCommand(kFrameCommandSync, 5);
  f.SetLength(2, 5);
  EXPECT_EQ(0, memcmp(before.m_bytes, f.m_bytes, sizeof(f.m_bytes)));

  BYTE src[300];
  memset(src, 0xAB, sizeof(src));
  EXPECT_EQ(28, f.PutData(100, src, 50, 5));  // up to the capacity only
  EXPECT_EQ(0, f.m_bytes[kV5DataOffset + 128]);
  EXPECT_EQ(0, f.PutData(128, src, 1, 5));
  EXPECT_EQ(0, f.PutData(-1, src, 1, 5));
  EXPECT_EQ(128, GetFrameDataCapacity(5));
  EXPECT_EQ(1024, GetFrameDataCapacity(7));
}

TEST(DeviceFrameDump, LinesAndCheckValue) {
  DeviceFrame f = Build(7, kFrameMarkCommand, kFrameCommandSync, {0xAB, 0x01}, 0x23);
  EXPECT_STREQ("Frame:35 sent @ 10:11:12, Sent=2\r\n\t AB 01\r\n\tCRC=C51C\r\n", f.Dump("10:11:12", 7));
  CString v5 = Build(5, kFrameMarkData, kFrameCommandData, {}, 1).Dump("t", 5);
  EXPECT_EQ(0, v5.Find("Frame:1 sent @ t, Sent=128\r\n\t 00"));
  int lines = 0;
  for (int at = v5.Find("\r\n\t"); at >= 0; at = v5.Find("\r\n\t", at + 1)) ++lines;
  EXPECT_EQ(9, lines);  // 8 data lines of 16 bytes, then the sum
  EXPECT_NE(-1, v5.Find("\tACC=01\r\n"));
}

// The scanner: frame length, 0 for "need more", minus the bytes to skip.
TEST(ScanDeviceFrame, Table) {
  DeviceFrame good5 = Build(5, kFrameMarkData, kFrameCommandData, Bytes("09 80 02 00 03 00"), 3);
  std::vector<BYTE> f5(good5.m_bytes, good5.m_bytes + 134);
  DeviceFrame good7 = Build(7, kFrameMarkData, kFrameCommandData, Bytes("09 80 02 00 03 00"), 3);
  std::vector<BYTE> f7(good7.m_bytes, good7.m_bytes + 16);
  auto cat = [](std::vector<BYTE> a, const std::vector<BYTE>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  std::vector<BYTE> bad5 = f5;
  bad5[50] ^= 1;
  std::vector<BYTE> bad7 = f7;
  bad7[12] ^= 1;
  std::vector<BYTE> long7 = f7;
  long7[9] = 0x04;  // 1025 + bytes
  long7[8] = 0x01;
  std::vector<BYTE> inside = bad5;  // a bad frame with a good one starting inside it
  inside.resize(20);
  inside = cat(inside, f5);

  struct Case {
    const char* name;
    int version;
    std::vector<BYTE> bytes;
    int result;
    DeviceFrameScanReason reason;
  } cases[] = {
      {"nothing", 5, {}, 0, kScanNeedMore},
      {"half a sync word", 5, {0x7E}, 0, kScanNeedMore},
      {"a sync word", 5, {0x7E, 0x7E}, 0, kScanNeedMore},
      {"one garbage byte", 5, {0x00}, -1, kScanGarbage},
      {"garbage up to half a sync word", 5, {0x00, 0x11, 0x7E}, -2, kScanGarbage},
      {"garbage before a sync word", 5, {0x00, 0x7E, 0x7E, 0x00}, -1, kScanGarbage},
      {"a lone sync byte is skipped", 5, {0x7E, 0x00, 0x7E, 0x7E}, -2, kScanGarbage},
      {"the other generation's sync word", 5, {0xE7, 0xE7, 0x00}, -3, kScanGarbage},
      {"whole frame", 5, f5, 134, kScanFrame},
      {"frame but one byte", 5, std::vector<BYTE>(f5.begin(), f5.end() - 1), 0, kScanNeedMore},
      {"two frames", 5, cat(f5, f5), 134, kScanFrame},
      {"bad sum", 5, bad5, -134, kScanBadCheckValue},
      {"bad sum, a frame inside", 5, inside, -20, kScanBadCheckValue},
      {"garbage then a frame", 5, cat({1, 2, 3}, f5), -3, kScanGarbage},
      {"version 7 frame", 7, f7, 16, kScanFrame},
      {"version 7 header only", 7, std::vector<BYTE>(f7.begin(), f7.begin() + 10), 0, kScanNeedMore},
      {"version 7 short header", 7, std::vector<BYTE>(f7.begin(), f7.begin() + 9), 0, kScanNeedMore},
      {"version 7 bad CRC", 7, bad7, -16, kScanBadCheckValue},
      {"version 7 length beyond 1024", 7, long7, -16, kScanGarbage},
      {"version 7 sees version 5 garbage", 7, f5, -134, kScanGarbage},
  };
  for (const Case& c : cases) {
    DeviceFrameScanReason reason = kScanFrame;
    EXPECT_EQ(c.result, ScanDeviceFrame(c.bytes.data(), (int)c.bytes.size(), c.version, &reason)) << c.name;
    EXPECT_EQ(c.reason, reason) << c.name;
  }
  EXPECT_EQ(0, ScanDeviceFrame(nullptr, 5, 5));
}

// A stream cut anywhere: consuming by the scanner's answers finds every frame once.
TEST(ScanDeviceFrame, SplitAndConcatenatedStreams) {
  for (int version : {5, 7}) {
    std::vector<BYTE> stream;
    int frames = 0;
    for (int i = 0; i < 40; ++i) {
      if (i % 3 == 0) stream.insert(stream.end(), {0x11, 0x22, (BYTE)(version == 5 ? 0x7E : 0xE7)});
      DeviceFrame f =
          Build(version, kFrameMarkData, kFrameCommandData, std::vector<BYTE>(i * 7 % 100 + 1, (BYTE)i), (BYTE)i);
      stream.insert(stream.end(), f.m_bytes, f.m_bytes + f.GetFrameSize(version));
      ++frames;
    }
    for (int cut : {1, 2, 7, 64, 133, 1000}) {
      std::vector<BYTE> buffer;
      int found = 0;
      int expectedPack = 0;
      for (size_t at = 0; at < stream.size(); at += cut) {
        buffer.insert(buffer.end(), stream.begin() + at, stream.begin() + std::min(stream.size(), at + cut));
        for (;;) {
          int r = ScanDeviceFrame(buffer.data(), (int)buffer.size(), version);
          if (r == 0) break;
          if (r > 0) {
            DeviceFrame f;
            f.Clear();
            memcpy(f.m_bytes, buffer.data(), (size_t)r);
            EXPECT_EQ(expectedPack++, f.GetPackNo(version));
            ++found;
          }
          buffer.erase(buffer.begin(), buffer.begin() + (r > 0 ? r : -r));
        }
      }
      EXPECT_EQ(frames, found) << version << " cut " << cut;
    }
  }
}

}  // namespace
