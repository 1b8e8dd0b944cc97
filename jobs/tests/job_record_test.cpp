// The job record as a file: every field at its offset, run-time slots zero on disk,
// files of the wrong length or format, texts that do not end inside their field.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>
#include <vector>

#include "jobs/job_files.h"
#include "jobs/job_record.h"
#include "platform/bytes.h"
#include "platform/testing/test_support.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// A record with a distinct value in every field, as the operator program fills one.
JobRecord SampleJob() {
  JobRecord j;
  std::strcpy(j.JobName, "Sign-42");
  std::strcpy(j.SourcePath, "C:\\nc\\sign.nc");
  std::strcpy(j.Connection, "COM3:38400");
  std::strcpy(j.DeviceName, "Router 1325");
  j.StartSwitch = 2;
  j.RelativeCoords = 1;
  j.FlipX = 1;
  j.FlipY = 0;
  j.FlipZ = 1;
  j.ViewPoint = 3;
  j.MaterialHeight = 18.5;
  j.MaterialZeroOffset = 0.25;
  j.TraverseSpeed = 120.0;
  j.FeedSpeed = 30.0;
  j.PlungeSpeed = 8.0;
  j.StartSpeed = 4.5;
  j.Acceleration = 600.0;
  j.CopiesX = 2;
  j.CopiesY = 3;
  j.CopiesZ = 1;
  j.CopyOffsetX = 110.0;
  j.CopyOffsetY = 55.5;
  j.CopyOffsetZ = -1.0;
  j.ZeroZ = 0.125;
  j.TagRangeStart = 5;
  j.SourceTime = 1300000000;
  j.SourceSize = 123456;
  j.TotalTags = 77;
  j.FeedMin = Vec3(-1.5, -2.5, -3.5);
  j.FeedMax = Vec3(100.25, 200.5, 5.0);
  j.TraverseZMin = 1.0;
  j.TraverseZMax = 10.0;
  std::strcpy(j.UsedTools, "T1T2T12");
  j.Switch1 = 1;
  j.Switch2 = 0;
  j.CoolantOn = 1;
  j.SpindleOn = 1;
  j.SpindleSpeed = 18000.0;
  j.RawPathOnly = 1;
  j.ShowInterpolation = 1;
  j.PreviewParam = 0.75;
  j.ViewDepth = 3.25;
  j.ShowPlate = 1;
  j.Reserved1584 = 0x11223344;
  j.TagRangeEnd = 70;
  j.Orientation = 8;
  j.Mode2D = 1;
  std::strcpy(j.FormatName, "GCODE");
  j.AutoDisconnect = 1;
  j.AutoHome = 1;
  j.TWordEnabled = 1;
  j.FWordEnabled = 0;
  j.SWordEnabled = 1;
  j.RollEngrave = 1;
  j.Test2D = 1;
  j.SurfaceAutoDetect = 1;
  j.RollDiameter = 80.0;
  j.ReservedVec1623 = Vec3(1, 2, 3);
  j.Created = 1400000000;
  j.ToolCount = 2;
  std::strcpy(j.ToolSpeeds[1].Key, "T12");
  j.ToolSpeeds[1].Traverse = 90.0;
  j.ToolSpeeds[1].SpindleSpeed = 12000.0;
  j.ToolpathLength = 4321.5;
  j.CollinearAngle = 2.0;
  j.CollinearTolerance = 0.01;
  j.CollinearSideLeastLength = 0.2;
  j.ArcFitRadiusJitter = 0.02;
  j.ArcFitDeviation = 0.005;
  j.ArcFitLeastLength = 0.5;
  j.CornerArcDeviation = 0.03;
  j.CornerArcLeastRadius = 0.4;
  j.SlowDownFraction = 0.25;
  j.SmoothLevel = 3.0;
  j.Scale = Vec3(1.0, 1.0, 0.5);
  j.RuntimeWord2684 = 0x5A5A;
  j.DoorToolpath = 1;
  j.DoorWidth = 900.0;
  j.ReservedTail[0] = 'k';
  j.ReservedTail[4083] = 'z';
  // Run-time slots as a table entry's copy might hold them: never stored.
  j.TxChannelSlot = 0xDEADBEEF;
  j.RxChannelSlot = 0xCAFEF00D;
  j.EnginePidSlot = 4242;
  j.RuntimeWords[0] = j.RuntimeWords[1] = j.RuntimeWords[2] = 7;
  j.EngineRunningSlot = 1;
  return j;
}

std::string I32(int32_t v) {
  uint8_t b[4];
  bytes::Store32(b, (uint32_t)v);
  return std::string((const char*)b, 4);
}
std::string I16(uint16_t v) {
  uint8_t b[2];
  bytes::Store16(b, v);
  return std::string((const char*)b, 2);
}
std::string F64(double v) {
  uint8_t b[8];
  bytes::StoreDouble(b, v);
  return std::string((const char*)b, 8);
}
std::string U8(uint8_t v) { return std::string(1, (char)v); }
std::string Text(const char* s) { return std::string(s, std::strlen(s) + 1); }

class JobRecordFileTest : public ::testing::Test {
 protected:
  CString Path(const char* name) { return m_dir / name; }
  TempDir m_dir;
};

TEST(JobRecord, ConstructedRecordIsAllZero) {
  JobRecord j;
  const std::string zeros(kJobRecordSize, '\0');
  EXPECT_EQ(zeros, std::string(reinterpret_cast<const char*>(&j), kJobRecordSize));
}

// Every field the file format names, encoded independently of the struct, at its offset.
TEST_F(JobRecordFileTest, GoldenBytesAtEveryOffset) {
  CString path = Path("Sign-42.jobinfo");
  ASSERT_TRUE(WriteJobInfoFile(path, SampleJob()));
  std::string file = ReadFileBytes(path);
  ASSERT_EQ(6780u, file.size());

  struct Field {
    size_t offset;
    std::string bytes;
  } fields[] = {
      {0, Text("Sign-42")},
      {260, Text("C:\\nc\\sign.nc")},
      {520, Text("COM3:38400")},
      {780, Text("Router 1325")},
      {1040, I32(2)},
      {1044, I32(1)},
      {1048, I32(1)},
      {1052, I32(0)},
      {1056, I32(1)},
      {1060, I32(3)},
      {1064, F64(18.5)},
      {1072, F64(0.25)},
      {1080, F64(120.0)},
      {1088, F64(30.0)},
      {1096, F64(8.0)},
      {1104, F64(4.5)},
      {1112, F64(600.0)},
      {1120, I32(2)},
      {1124, I32(3)},
      {1128, I32(1)},
      {1132, F64(110.0)},
      {1140, F64(55.5)},
      {1148, F64(-1.0)},
      {1156, F64(0.125)},
      {1164, I32(5)},
      {1168, I32(1300000000)},
      {1172, I32(123456)},
      {1176, I32(77)},
      {1180, F64(-1.5) + F64(-2.5) + F64(-3.5)},
      {1204, F64(100.25) + F64(200.5) + F64(5.0)},
      {1228, F64(1.0)},
      {1236, F64(10.0)},
      {1244, I32(0)},
      {1248, Text("T1T2T12")},
      {1508, std::string(24, '\0')},  // the run-time slots
      {1532, I32(1)},
      {1536, I32(0)},
      {1540, I32(1)},
      {1544, I32(1)},
      {1548, F64(18000.0)},
      {1556, I32(1)},
      {1560, I32(1)},
      {1564, F64(0.75)},
      {1572, F64(3.25)},
      {1580, I32(1)},
      {1584, I32(0x11223344)},
      {1588, I32(70)},
      {1592, U8(0)},  // engine-running slot
      {1593, U8(8)},
      {1594, U8(1)},
      {1595, std::string("\x09\x07\x09\x20", 4)},  // the format stamp
      {1599, Text("GCODE")},
      {1607, U8(1) + U8(1) + U8(1) + U8(0) + U8(1) + U8(1) + U8(1) + U8(1)},
      {1615, F64(80.0)},
      {1623, F64(1) + F64(2) + F64(3)},
      {1671, I32(1400000000)},
      {1675, U8(2)},
      {1676 + 56, Text("T12")},
      {1676 + 56 + 8, F64(90.0)},
      {1676 + 56 + 48, F64(12000.0)},
      {2572, F64(4321.5)},
      {2580, F64(2.0)},
      {2588, F64(0.01)},
      {2596, F64(0.2)},
      {2604, F64(0.02)},
      {2612, F64(0.005)},
      {2620, F64(0.5)},
      {2628, F64(0.03)},
      {2636, F64(0.4)},
      {2644, F64(0.25)},
      {2652, F64(3.0)},
      {2660, F64(1.0) + F64(1.0) + F64(0.5)},
      {2684, I16(0x5A5A)},
      {2686, I16(1)},
      {2688, F64(900.0)},
      {2696, U8('k')},
      {6779, U8('z')},
  };
  for (const Field& f : fields) EXPECT_EQ(f.bytes, file.substr(f.offset, f.bytes.size())) << "offset " << f.offset;

  // Read back: the record as stored, run-time slots zero.
  JobRecord back;
  ASSERT_EQ(kJobInfoRead, ReadJobInfoFile(path, back));
  JobRecord expected = StoredJobRecord(SampleJob());
  EXPECT_EQ(0, std::memcmp(&expected, &back, kJobRecordSize));
  EXPECT_EQ(0u, uint32_t(back.TxChannelSlot));
  EXPECT_EQ(0u, uint32_t(back.EnginePidSlot));
  EXPECT_EQ(0, int(back.EngineRunningSlot));
}

TEST_F(JobRecordFileTest, WrittenFileReplacesALongerOneWhole) {
  CString path = Path("job.jobinfo");
  ASSERT_TRUE(WriteFileBytes(path, std::string(9000, 'x')));
  ASSERT_TRUE(WriteJobInfoFile(path, SampleJob()));
  EXPECT_EQ(6780u, ReadFileBytes(path).size());
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
}

TEST_F(JobRecordFileTest, FilesOfOtherLengthsAndFormats) {
  JobRecord stored = StoredJobRecord(SampleJob());
  std::string whole(reinterpret_cast<const char*>(&stored), kJobRecordSize);
  std::string otherStamp = whole;
  otherStamp[1595] = 0x08;
  // Runtime slots left non-zero by some writer are not believed.
  std::string slots = whole;
  std::memset(&slots[1508], 0x5A, 24);
  slots[1592] = 1;
  struct Case {
    const char* why;
    std::string bytes;
    JobInfoStatus status;
  } cases[] = {
      {"a whole record", whole, kJobInfoRead},
      {"bytes after the record are ignored", whole + "trailing", kJobInfoRead},
      {"one byte short", whole.substr(0, 6779), kJobInfoShort},
      {"empty", "", kJobInfoShort},
      {"another stamp", otherStamp, kJobInfoOldFormat},
      {"run-time slots set", slots, kJobInfoRead},
  };
  for (const Case& c : cases) {
    CString path = Path("case.jobinfo");
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    JobRecord read;
    EXPECT_EQ(c.status, ReadJobInfoFile(path, read)) << c.why;
    if (c.status == kJobInfoRead) {
      EXPECT_EQ(0, std::memcmp(&stored, &read, kJobRecordSize)) << c.why;
    }
  }
  // A short file reads as far as it goes, zeros after.
  ASSERT_TRUE(WriteFileBytes(Path("short.jobinfo"), whole.substr(0, 1000)));
  JobRecord read;
  read.CopiesX = 9;
  ASSERT_EQ(kJobInfoShort, ReadJobInfoFile(Path("short.jobinfo"), read));
  EXPECT_STREQ("COM3:38400", read.Connection);
  EXPECT_EQ(0, int(read.CopiesX));
  // A missing file leaves the record alone.
  read.CopiesX = 9;
  EXPECT_EQ(kJobInfoMissing, ReadJobInfoFile(Path("missing.jobinfo"), read));
  EXPECT_EQ(9, int(read.CopiesX));
}

TEST_F(JobRecordFileTest, TextsReadFromAFileEndInsideTheirFields) {
  std::string bytes(kJobRecordSize, 'A');
  bytes.replace(1595, 4, "\x09\x07\x09\x20", 4);
  CString path = Path("unterminated.jobinfo");
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  JobRecord j;
  ASSERT_EQ(kJobInfoRead, ReadJobInfoFile(path, j));
  EXPECT_EQ(259u, std::strlen(j.JobName));
  EXPECT_EQ(259u, std::strlen(j.SourcePath));
  EXPECT_EQ(259u, std::strlen(j.Connection));
  EXPECT_EQ(259u, std::strlen(j.DeviceName));
  EXPECT_EQ(259u, std::strlen(j.UsedTools));
  EXPECT_EQ(7u, std::strlen(j.FormatName));
  for (const ToolSpeedEntry& t : j.ToolSpeeds) EXPECT_EQ(7u, std::strlen(t.Key));
  // A tool count beyond the table is read as the table's size.
  EXPECT_EQ(kMaxToolSpeeds, j.ValidToolCount());
}

TEST(JobRecord, CopyCountsBelowOneAreOneCopy) {
  struct {
    int32_t stored;
    int effective;
  } cases[] = {{-3, 1}, {0, 1}, {1, 1}, {5, 5}, {INT_MIN, 1}, {INT_MAX, INT_MAX}};
  for (const auto& c : cases) {
    JobRecord j;
    j.CopiesX = j.CopiesY = j.CopiesZ = c.stored;
    EXPECT_EQ(c.effective, j.EffectiveCopiesX()) << c.stored;
    EXPECT_EQ(c.effective, j.EffectiveCopiesY()) << c.stored;
    EXPECT_EQ(c.effective, j.EffectiveCopiesZ()) << c.stored;
    j.NormalizeCopies();
    EXPECT_EQ(c.effective, int(j.CopiesX)) << c.stored;
    EXPECT_EQ(c.effective, int(j.CopiesZ)) << c.stored;
  }
}

TEST(JobRecord, ExportConnectionFitsOrIsRefused) {
  JobRecord j;
  std::strcpy(j.Connection, "COM1:9600");
  std::string fits(254, 'f');  // "FILE:" + 254 = 259 characters and the NUL
  ASSERT_TRUE(SetExportConnection(j, fits.c_str()));
  EXPECT_EQ("FILE:" + fits, std::string(j.Connection));
  std::strcpy(j.Connection, "COM1:9600");
  std::string tooLong(255, 'f');
  EXPECT_FALSE(SetExportConnection(j, tooLong.c_str()));
  EXPECT_STREQ("COM1:9600", j.Connection);
  EXPECT_TRUE(SetExportConnection(j, "D:\\out\\CamFile.CF"));
  EXPECT_STREQ("FILE:D:\\out\\CamFile.CF", j.Connection);
  char small[4] = "abc";
  EXPECT_FALSE(SetRecordText(small, "abcd"));
  EXPECT_STREQ("abc", small);
  EXPECT_TRUE(SetRecordText(small, "xyz"));
  EXPECT_STREQ("xyz", small);
}

TEST_F(JobRecordFileTest, ReplacingFileKeepsTheOldFileUntilCommitted) {
  CString path = Path("data.bin");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  {
    CReplacingFile f;
    ASSERT_TRUE(f.Open(path));
    ASSERT_TRUE(f.Write("new!", 4));
    EXPECT_EQ("old", ReadFileBytes(path));
    // Dropped without a commit: the old file stands and the new one is gone.
  }
  EXPECT_EQ("old", ReadFileBytes(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
  CReplacingFile f;
  ASSERT_TRUE(f.Open(path));
  ASSERT_TRUE(f.Write("new!", 4));
  ASSERT_TRUE(f.Commit());
  EXPECT_EQ("new!", ReadFileBytes(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
  // A folder that does not exist cannot take a file.
  CReplacingFile g;
  EXPECT_FALSE(g.Open(Path("no\\such\\folder.bin")));
  EXPECT_FALSE(g.Commit());
}

TEST_F(JobRecordFileTest, ARecordThatCannotTakeTheFilesPlaceFails) {
  // A folder of that name cannot be replaced by a file.
  CString path = Path("taken.jobinfo");
  ASSERT_TRUE(platform::MakeDirectory(path));
  EXPECT_FALSE(WriteJobInfoFile(path, SampleJob()));
  EXPECT_TRUE(platform::IsDirectoryPath(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
#ifdef _WIN32
  // A file another process reads (the engine streaming its job) stays as it is.
  path = Path("open.jobinfo");
  ASSERT_TRUE(WriteFileBytes(path, "old"));
  CFile reader;
  ASSERT_TRUE(reader.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary));
  EXPECT_FALSE(WriteJobInfoFile(path, SampleJob()));
  reader.Close();
  EXPECT_EQ("old", ReadFileBytes(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
#endif
}

TEST_F(JobRecordFileTest, FileStatusOfFilesAndFolders) {
  CString path = Path("five.bin");
  ASSERT_TRUE(WriteFileBytes(path, "12345"));
  FileStatus s;
  ASSERT_TRUE(GetFileStatus(path, s));
  EXPECT_EQ(5u, s.size);
  int64_t now = (int64_t)time(nullptr);
  EXPECT_LE(std::abs(now - s.modified), 120);
  EXPECT_LE(std::abs(now - s.created), 120);
  CString folder = m_dir.Path();
  folder.TrimRight('\\');
  EXPECT_TRUE(GetFileStatus(folder, s));
  EXPECT_FALSE(GetFileStatus(Path("missing"), s));
  EXPECT_FALSE(GetFileStatus("", s));
}

}  // namespace
