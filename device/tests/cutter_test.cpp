#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "device/cutter.h"
#include "foundation/tests/app_folder_test.h"

using testing_support::MessageBoxRecorder;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

class CutterFile : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_CutterTable.m_nCount = 0;
  }
  std::string Records(int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
      CutterFileRecord r;
      memset(&r, 0, sizeof(r));
      r.number = i + 1;
      r.originalNumber = 10 + i;
      r.type = 2;
      r.diameter = 3.0;
      strcpy(r.description, "tool");
      bytes.append((const char*)&r, sizeof(r));
    }
    return bytes;
  }
};

TEST_F(CutterFile, CountComesFromTheFileLength) {
  struct {
    size_t extra;
    int records;
    int count;
  } cases[] = {{0, 2, 2}, {40, 2, 2}, {0, 0, 0}};
  for (auto c : cases) {
    g_CutterTable.m_nCount = 0;
    WriteFileBytes(Path("Cutter.db"), Records(c.records) + std::string(c.extra, '\x7f'));
    LoadCutterTable();
    EXPECT_EQ(c.count, g_CutterTable.m_nCount);
    // Bytes past the last whole record land in the next one, which is not counted.
    EXPECT_EQ(c.extra ? 0x7f7f7f7f : 0, g_CutterTable.m_records[2].m_nNumber);
  }
}

// A file of more records than the table takes loads the first hundred, says so, and is
// never saved over: a save would cut it to a hundred records.
TEST_F(CutterFile, FileBeyondTheTableIsReportedAndNeverSavedShort) {
  const std::string bytes = Records(120);
  WriteFileBytes(Path("Cutter.db"), bytes);
  MessageBoxRecorder boxes;
  g_nUiLanguage = 1;
  LoadCutterTable();
  EXPECT_EQ(100, g_CutterTable.m_nCount);
  EXPECT_EQ(109, g_CutterTable.m_records[99].m_nOriginalNumber);
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_NE(std::string::npos, boxes.Boxes()[0].text.find("120 tools")) << boxes.Boxes()[0].text;
  EXPECT_FALSE(SaveCutterTable());
  ASSERT_EQ(2u, boxes.Boxes().size());
  EXPECT_EQ(bytes, ReadFileBytes(Path("Cutter.db")));
  // A file that fits clears the refusal.
  WriteFileBytes(Path("Cutter.db"), Records(3));
  LoadCutterTable();
  EXPECT_TRUE(SaveCutterTable());
  EXPECT_EQ(Records(3).size(), ReadFileBytes(Path("Cutter.db")).size());
  EXPECT_EQ(2u, boxes.Boxes().size());
}

// An emptied file empties the table; the old count over blank records is never saved.
TEST_F(CutterFile, EmptyFileEmptiesTheTable) {
  WriteFileBytes(Path("Cutter.db"), Records(2));
  LoadCutterTable();
  ASSERT_EQ(2, g_CutterTable.m_nCount);
  WriteFileBytes(Path("Cutter.db"), "");
  LoadCutterTable();
  EXPECT_EQ(0, g_CutterTable.m_nCount);
  EXPECT_TRUE(SaveCutterTable());
  EXPECT_EQ("", ReadFileBytes(Path("Cutter.db")));
}

TEST_F(CutterFile, MissingFileLeavesTheTable) {
  BuildDefaultTools();
  LoadCutterTable();
  EXPECT_EQ(7, g_CutterTable.m_nCount);
  EXPECT_EQ(5, g_CutterTable.m_records[4].m_nType);
}

TEST_F(CutterFile, SaveWritesTheRecordsAndCutsTheFile) {
  WriteFileBytes(Path("Cutter.db"), Records(10));
  BuildDefaultTools();
  SaveCutterTable();
  std::string bytes = ReadFileBytes(Path("Cutter.db"));
  ASSERT_EQ(7u * 580u, bytes.size());
  CutterFileRecord r;
  memcpy(&r, bytes.data() + 580 * 6, sizeof(r));
  EXPECT_EQ(kCutterTypeTag, r.typeTag);
  EXPECT_EQ(7, r.number);
  EXPECT_EQ(7, r.type);
  EXPECT_DOUBLE_EQ(20.0, r.angle);
  EXPECT_DOUBLE_EQ(1.0, r.flatDiameter);
  EXPECT_STREQ("Conical Flat Radiused", r.memo);
  g_CutterTable.m_nCount = 0;
  LoadCutterTable();
  EXPECT_EQ(7, g_CutterTable.m_nCount);
  EXPECT_STREQ("Slot Drill", g_CutterTable.m_records[1].m_szDescription);
}

TEST_F(CutterFile, TextsWithoutTerminatorStayInsideTheirFields) {
  CutterFileRecord r;
  memset(&r, 'A', sizeof(r));
  WriteFileBytes(Path("Cutter.db"), std::string((const char*)&r, sizeof(r)));
  LoadCutterTable();
  ASSERT_EQ(1, g_CutterTable.m_nCount);
  EXPECT_EQ(255u, strlen(g_CutterTable.m_records[0].m_szDescription));
  EXPECT_EQ(255u, strlen(g_CutterTable.m_records[0].m_szMemo));
}

TEST_F(CutterFile, FindCutterReturnsTheFirstMatch) {
  BuildDefaultTools();
  g_CutterTable.m_records[5].m_nOriginalNumber = 3;
  EXPECT_EQ(2, FindCutter(3));
  EXPECT_EQ(-1, FindCutter(42));
  g_CutterTable.m_records[8].m_nOriginalNumber = 42;  // beyond the count
  EXPECT_EQ(-1, FindCutter(42));
}

CCutter Tool(int type, int unit, double d, double c, double a, double r, double f) {
  CCutter t;
  t.m_nType = type;
  t.m_nUnit = unit;
  t.m_dDiameter = d;
  t.m_dLength = c;
  t.m_dAngle = a;
  t.m_dTipRadius = r;
  t.m_dFlatDiameter = f;
  return t;
}

TEST(CutWidth, ByToolShapeAndDepth) {
  const double t20 = tan(20.0 * 3.14159265358979323846 / 180.0);
  struct {
    CCutter tool;
    int unit;
    double depth, width;
  } cases[] = {
      {Tool(1, 0, 6, 15, 0, 0, 0), 0, 1, 2 * sqrt(5.0)},
      {Tool(1, 0, 6, 15, 0, 0, 0), 0, 3, 6},
      {Tool(1, 0, 6, 15, 0, 0, 0), 0, 9, 6},
      {Tool(2, 0, 6, 15, 0, 0, 0), 0, 0.1, 6},
      {Tool(4, 0, 6, 15, 20, 0, 0), 0, 1, 2 * t20},
      {Tool(4, 0, 6, 15, 20, 0, 0), 0, 10, 6},  // 7.28 limited to D
      {Tool(3, 0, 6, 15, 0, 1, 1), 0, 0.5, 2 * sqrt(0.5 * 1.5) + 1},
      {Tool(3, 0, 6, 15, 0, 1, 1), 0, 1, 6},
      {Tool(6, 0, 6, 15, 20, 0, 1), 0, 2, 4 * t20 + 1},
      {Tool(6, 0, 6, 15, 20, 0, 1), 0, 40, 6},
      {Tool(5, 0, 6, 15, 20, 1, 0), 0, 15, 6},
      {Tool(9, 0, 6, 15, 20, 1, 0), 0, 1, 0},
      // Inch tool asked in mm: every dimension, the flat diameter included, scales.
      {Tool(3, 1, 0.25, 1, 0, 0.04, 0.04), 0, 0.5, 2 * sqrt(0.5 * (2 * 1.016 - 0.5)) + 1.016},
      {Tool(3, 1, 0.25, 1, 0, 0.04, 0.04), 1, 0.02, 2 * sqrt(0.02 * 0.06) + 0.04},
  };
  for (auto& c : cases)
    EXPECT_NEAR(c.width, c.tool.GetCutWidth(c.unit, c.depth), 1e-9) << c.tool.m_nType << " at " << c.depth;
}

TEST(CutWidth, RoundedConeIsContinuousWhereFlankMeetsTip) {
  for (int type : {5, 7}) {
    CCutter t = Tool(type, 0, 10, 15, 20, 1, type == 7 ? 0.5 : 0);
    double h = 1 * (1 - sin(20.0 * 3.14159265358979323846 / 180.0));
    double below = t.GetCutWidth(0, h - 1e-9), above = t.GetCutWidth(0, h + 1e-9);
    EXPECT_NEAR(below, above, 1e-6) << type;
    // No angle: the tip continues as a cylinder, never a NaN.
    CCutter flat = Tool(type, 0, 10, 15, 0, 1, 0);
    EXPECT_NEAR(2.0, flat.GetCutWidth(0, 5), 1e-12) << type;
  }
}

TEST(CutterRecord, TypeNamesAndCopy) {
  g_nUiLanguage = 1;
  CCutter t = Tool(4, 0, 1, 1, 1, 1, 1);
  EXPECT_STREQ("Conical", t.GetTypeName());
  t.m_nType = 8;
  EXPECT_STREQ("未知类型", t.GetTypeName());
  g_nUiLanguage = 0;
  t.m_nType = 1;
  EXPECT_STREQ("球头刀", t.GetTypeName());
  g_nUiLanguage = 1;
  CCutter u;
  u.m_dwReserved[0] = 77;
  u = t;
  EXPECT_EQ(77u, u.m_dwReserved[0]);
  EXPECT_TRUE(u == t);
}

}  // namespace
