// The job snapshot as a file: the BMP header, pixels at sample points (box, depth
// shades, the cutter footprint and the cutter index that names no cutter), no file for
// an empty program, a cancel that saves what was drawn, and a plate of size zero.
#include <cstring>

#include "device/cutter.h"
#include "device/device_params.h"
#include "jobs/review/tests/review_test_support.h"
#include "jobs/ui/job_snapshot.h"
#include "jobs/ui/tests/review_ui_support.h"
#include "resources/resource.h"
#include "ui/progress_dlg.h"

using namespace review_testing;
using namespace review_ui_testing;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

namespace {

uint32_t U32(const std::string& b, size_t at) {
  return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
         (uint32_t)(uint8_t)b[at + 3] << 24;
}
uint16_t U16(const std::string& b, size_t at) { return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8); }

// The pixel (x from the left, y from the top) of a 750 x 550 snapshot file.
COLORREF PixelAt(const std::string& bmp, int x, int y) {
  size_t at = 58 + (size_t)(549 - y) * 3000 + (size_t)x * 4;
  return RGB((uint8_t)bmp[at + 2], (uint8_t)bmp[at + 1], (uint8_t)bmp[at]);
}

class SnapshotFileTest : public ReviewUiTest {
 protected:
  void SetUp() override {
    ReviewUiTest::SetUp();
    m_pProgram = std::make_unique<CNCProgram>();
    g_CutterTable.m_nCount = 0;
    g_DeviceTable.m_nCount = 0;
    // A plate of 20 x 20 x 10 mm: 24.5 pixels per mm, its corner at (130, 30).
    OnlyDevice("Plate", 20, 20, 10);
    std::strcpy(m_job.JobName, "Sign");
    std::strcpy(m_job.DeviceName, "Plate");
    m_job.ShowPlate = 1;
    m_job.ViewPoint = 1;
    m_job.RawPathOnly = 1;
    m_job.CopiesX = m_job.CopiesY = m_job.CopiesZ = 1;
    // Down at the origin, along X, up Y rising to -1, back along X at Y 10: the last
    // move crosses the plate at pixel row 275.
    AddRecords(*m_pProgram,
               {MoveRecord(0, 0, 0, 5), MoveRecord(1, 0, 0, -2, 0x20, true), MoveRecord(1, 10, 0, -2, 0x80),
                MoveRecord(1, 10, 10, -1, 0x60), MoveRecord(1, 0, 10, -1, 0x80)});
  }
  void TearDown() override {
    g_CutterTable.m_nCount = 0;
    g_DeviceTable.m_nCount = 0;
    ReviewUiTest::TearDown();
  }
  void AddCutters(int count) {
    for (int i = 0; i < count; ++i) {
      CCutter& c = g_CutterTable.m_records[i];
      c.m_nNumber = i + 1;
      c.m_nOriginalNumber = 50 + i;
      c.m_nType = 2;  // flat end mill
      c.m_nUnit = 0;
      c.m_dDiameter = 2.0;
    }
    g_CutterTable.m_nCount = count;
  }

  JobRecord m_job;
  // Made once the program folder is the test's: a program reads its settings there.
  std::unique_ptr<CNCProgram> m_pProgram;
};

TEST_F(SnapshotFileTest, HeaderAndPixelsOfTheTopView) {
  CString path = Path("preview.snapshot");
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), path, -1));
  std::string bmp = ReadFileBytes(path);
  ASSERT_EQ(1650058u, bmp.size());
  EXPECT_EQ("BM", bmp.substr(0, 2));
  EXPECT_EQ(1650058u, U32(bmp, 2));
  EXPECT_EQ(0u, U32(bmp, 6));
  EXPECT_EQ(58u, U32(bmp, 10));
  EXPECT_EQ(40u, U32(bmp, 14));
  EXPECT_EQ(750u, U32(bmp, 18));
  EXPECT_EQ(550u, U32(bmp, 22));  // positive: rows bottom-up
  EXPECT_EQ(1u, U16(bmp, 26));
  EXPECT_EQ(32u, U16(bmp, 28));
  EXPECT_EQ(0u, U32(bmp, 30));
  EXPECT_EQ(1650000u, U32(bmp, 34));
  EXPECT_EQ(0u, U32(bmp, 38));
  EXPECT_EQ(0u, U32(bmp, 42));
  EXPECT_EQ(0u, U32(bmp, 46));
  EXPECT_EQ(0u, U32(bmp, 50));
  EXPECT_EQ(0u, U32(bmp, 54));  // the gap before the pixels

  EXPECT_EQ(RGB(255, 255, 255), PixelAt(bmp, 50, 50));    // outside the plate
  EXPECT_EQ(RGB(220, 220, 220), PixelAt(bmp, 600, 100));  // the plate
  EXPECT_EQ(RGB(0, 0, 200), PixelAt(bmp, 130, 100));      // its edge, the 2-pixel box pen
  EXPECT_EQ(RGB(0, 0, 200), PixelAt(bmp, 400, 30));
  // Depth 7 mm (Z from -2 to the rapid's 5) over 180 grey levels from 20.
  EXPECT_EQ(RGB(58, 58, 58), PixelAt(bmp, 375, 400));  // rising from -2 to -1: level 20 + 38
  EXPECT_EQ(RGB(45, 45, 45), PixelAt(bmp, 250, 275));  // along at -1: level 20 + 25
  // The job's record now lists the program's tools (none here).
  EXPECT_STREQ("", m_job.UsedTools);
}

TEST_F(SnapshotFileTest, FootprintsOnlyForACutterOfTheTable) {
  m_job.RawPathOnly = 0;
  m_job.ViewDepth = 0;
  // Two cutters: the first index, 3, names none; no circle, the plate shows.
  AddCutters(2);
  CString path = Path("stale.snapshot");
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), path, -1));
  std::string bmp = ReadFileBytes(path);
  ASSERT_EQ(1650058u, bmp.size());
  EXPECT_EQ(RGB(220, 220, 220), PixelAt(bmp, 140, 290));
  // Four cutters: index 3 is a 2 mm end mill, a white circle of 49 pixels at each end.
  AddCutters(4);
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), path, -1));
  bmp = ReadFileBytes(path);
  EXPECT_EQ(RGB(255, 255, 255), PixelAt(bmp, 140, 290));    // inside the last move's end circle
  EXPECT_EQ(RGB(45, 45, 45), PixelAt(bmp, 130, 275 - 24));  // its outline in the move's pen
}

TEST_F(SnapshotFileTest, AnEmptyProgramWritesNoFile) {
  CNCProgram empty;
  CString path = Path("none.snapshot");
  EXPECT_EQ(0, DrawSnapshot(nullptr, &m_job, &empty, path, -1));
  EXPECT_EQ(0, DrawSnapshot(nullptr, &m_job, nullptr, path, -1));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(FileExists(path + kReplacingSuffix));
  // Without a path the job's own snapshot, in its folder.
  std::strcpy(m_job.JobName, Name("Own"));
  EXPECT_EQ(0, DrawSnapshot(nullptr, &m_job, &empty, nullptr, -1));
  EXPECT_FALSE(FileExists(JobFilePath(m_job.JobName, ".snapshot")));
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), nullptr, -1));
  EXPECT_EQ(1650058u, ReadFileBytes(JobFilePath(m_job.JobName, ".snapshot")).size());
}

TEST_F(SnapshotFileTest, APlateOfSizeZeroAndAOnePointProgramDrawAtScaleOne) {
  DeviceParams& d = g_DeviceTable.m_records[0];
  d.m_dWorkX = d.m_dWorkY = d.m_dWorkZ = 0;
  CString path = Path("zero.snapshot");
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), path, -1));
  std::string bmp = ReadFileBytes(path);
  ASSERT_EQ(1650058u, bmp.size());
  // 1 pixel per mm from the middle: the move along X at -2 runs from (375, 275) right.
  EXPECT_NE(RGB(255, 255, 255), PixelAt(bmp, 380, 275));
  for (int view : {2, 3, 4}) {
    m_job.ViewPoint = view;
    EXPECT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), path, -1)) << view;
    EXPECT_EQ(1650058u, ReadFileBytes(path).size()) << view;
  }
  CNCProgram dot;
  AddRecords(dot, {MoveRecord(0, 3, 4, 0), MoveRecord(1, 3, 4, 0)});
  m_job.ShowPlate = 0;
  m_job.ViewPoint = 1;
  ASSERT_EQ(1, DrawSnapshot(nullptr, &m_job, &dot, path, -1));
  EXPECT_EQ(RGB(0, 0, 0), PixelAt(ReadFileBytes(path), 375, 275));  // the move is a dot
}

TEST_F(SnapshotFileTest, ACancelSavesThePictureSoFarAndAFileThatCannotBeWrittenIsNone) {
  CProgressDlg progress;
  ASSERT_TRUE(progress.Create(PickLangId(IDD_PROGRESS_CN, IDD_PROGRESS_EN)));
  progress.m_bCanceled = 1;  // asked after the first element
  CString path = Path("cancel.snapshot");
  ASSERT_EQ(1, DrawSnapshot(&progress, &m_job, m_pProgram.get(), path, -1));
  std::string bmp = ReadFileBytes(path);
  ASSERT_EQ(1650058u, bmp.size());
  EXPECT_EQ(RGB(220, 220, 220), PixelAt(bmp, 375, 400));  // no move drawn
  progress.DestroyWindow();

  // A folder where the file should be: drawn, nothing written, still 1.
  CString folder = Path("taken.snapshot");
  ASSERT_TRUE(platform::MakeDirectory(folder));
  EXPECT_EQ(1, DrawSnapshot(nullptr, &m_job, m_pProgram.get(), folder, -1));
  EXPECT_TRUE(platform::IsDirectoryPath(folder));
  EXPECT_FALSE(FileExists(folder + kReplacingSuffix));
}

TEST_F(SnapshotFileTest, DdbToDib32ReadsABitmapAndRefusesNone) {
  EXPECT_TRUE(DdbToDib32(nullptr).empty());
  CBitmap none;
  EXPECT_TRUE(DdbToDib32(&none).empty());
  EXPECT_FALSE(SaveDibAsBmp(Path("x.bmp"), std::vector<BYTE>()));
  EXPECT_FALSE(FileExists(Path("x.bmp")));
}

}  // namespace
