// The snapshot's drawing, as calls on a canvas: the box, pens by depth and by arc run,
// merged-away moves, copies over the plate, the cutter footprints and the cutter index
// that no longer names a cutter.
#include <cstring>

#include "device/cutter.h"
#include "device/device_params.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/review/snapshot_painter.h"
#include "jobs/review/tests/review_test_support.h"

using namespace review_testing;

namespace {

class SnapshotPainterTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_pProgram = std::make_unique<CNCProgram>();
    g_CutterTable.m_nCount = 0;
    g_DeviceTable.m_nCount = 0;
    m_job.ViewPoint = kViewXY;
    m_job.RawPathOnly = 1;
    m_job.CopiesX = m_job.CopiesY = m_job.CopiesZ = 1;
  }
  void TearDown() override {
    g_CutterTable.m_nCount = 0;
    g_DeviceTable.m_nCount = 0;
    AppFolderTest::TearDown();
  }

  // A square pocket side: down at the origin, along X, then up Y while rising to -1.
  // Box 10 x 10 x 7 (Z from -2 to the rapids' 5): 49 pixels per mm, corner (130, 30).
  void LoadSquare() {
    AddRecords(*m_pProgram,
               {MoveRecord(0, 0, 0, 5), MoveRecord(1, 0, 0, -2, 0x20, true), MoveRecord(1, 10, 0, -2, 0x80),
                MoveRecord(1, 10, 10, -1, 0x60), MoveRecord(0, 10, 10, 5, 0x20)});
  }
  BOOL Paint(GraySettings gray = GraySettings()) {
    CSnapshotPainter painter(m_canvas, kSnapshotWidth, kSnapshotHeight);
    BOOL ok = painter.Paint(m_pProgress, m_job, m_pProgram.get(), gray);
    m_scale = painter.Projection().Scale();
    return ok;
  }
  static void AddCutter(int number, double diameter) {
    CCutter& c = g_CutterTable.m_records[g_CutterTable.m_nCount++];
    c.m_nNumber = g_CutterTable.m_nCount;
    c.m_nOriginalNumber = number;
    c.m_nType = 2;  // flat end mill: cuts its diameter at any depth
    c.m_nUnit = 0;
    c.m_dDiameter = diameter;
  }

  JobRecord m_job;
  // Made once the program folder is the test's: a program reads its settings there.
  std::unique_ptr<CNCProgram> m_pProgram;
  CRecordingCanvas m_canvas;
  CProgressSink* m_pProgress = nullptr;
  double m_scale = 0.0;
};

TEST_F(SnapshotPainterTest, AnEmptyProgramDrawsNothing) {
  EXPECT_FALSE(Paint());
  EXPECT_TRUE(m_canvas.m_calls.empty());
  CSnapshotPainter painter(m_canvas, kSnapshotWidth, kSnapshotHeight);
  EXPECT_FALSE(painter.Paint(nullptr, m_job, nullptr, GraySettings()));
}

TEST_F(SnapshotPainterTest, TopViewDrawsTheBoxThenEveryMoveShadedByDepth) {
  LoadSquare();
  ASSERT_TRUE(Paint());
  EXPECT_DOUBLE_EQ(49.0, m_scale);
  // Depth 7 mm over 180 levels: |zPrev + z| / 2 * 180 / 7.
  std::vector<std::string> expected = {
      "pen solid 2 c80000",   "rect 130,30,620,520 dcdcdc",
      "move 130,520",  // rapid
      "pen solid 1 3a3a3a",   "move 130,520",
      "pixel 130,520 000000",  // plunge: level 20 + 38
      "pen solid 1 474747",   "move 130,520",
      "line 620,520",  // 20 + 51
      "pen solid 1 3a3a3a",   "move 620,520",
      "line 620,30",  // 20 + 38
      "move 620,30",  // rapid
  };
  EXPECT_EQ(expected, m_canvas.m_calls);
}

TEST_F(SnapshotPainterTest, FeedsAreRedWithoutShadingOrWithoutDepth) {
  LoadSquare();
  ASSERT_TRUE(Paint(MakeGraySettings(false, 20, 200)));
  for (const std::string& pen : m_canvas.Calls("pen solid 1")) EXPECT_EQ("pen solid 1 0000ff", pen);

  // A flat program is drawn red even with shading on.
  CNCProgram flat;
  AddRecords(flat, {MoveRecord(0, 0, 0, 0), MoveRecord(1, 5, 0, 0), MoveRecord(1, 5, 5, 0)});
  m_canvas.Clear();
  CSnapshotPainter painter(m_canvas, kSnapshotWidth, kSnapshotHeight);
  ASSERT_TRUE(painter.Paint(nullptr, m_job, &flat, GraySettings()));
  EXPECT_FALSE(painter.IsShaded());
  std::vector<std::string> pens = m_canvas.Calls("pen solid 1");
  ASSERT_EQ(2u, pens.size());
  for (const std::string& pen : pens) EXPECT_EQ("pen solid 1 0000ff", pen);
}

TEST_F(SnapshotPainterTest, AOnePointProgramIsDrawnAtScaleOne) {
  AddRecords(*m_pProgram, {MoveRecord(0, 3, 4, 0), MoveRecord(1, 3, 4, 0)});
  ASSERT_TRUE(Paint());
  EXPECT_DOUBLE_EQ(1.0, m_scale);
  // The box of size 0 sits in the middle, and the move is a dot there.
  std::vector<std::string> expected = {"pen solid 2 c80000", "rect 375,275,375,275 dcdcdc",
                                       "move 375,275",       "pen solid 1 0000ff",
                                       "move 375,275",       "pixel 375,275 000000"};
  EXPECT_EQ(expected, m_canvas.m_calls);
}

TEST_F(SnapshotPainterTest, ArcPiecesBrightenForTwentyPiecesThenStayFullInTheirDirection) {
  std::vector<PathRecord> records = {MoveRecord(0, 0, 0, 0)};
  for (int i = 1; i <= 30; ++i) records.push_back(ArcRecord(2, i, (i % 2) * 0.5, 0, 0, 0, 0));
  records.push_back(ArcRecord(3, 31, 0, 0, 0, 0, 0));
  AddRecords(*m_pProgram, records);
  ASSERT_TRUE(Paint());
  ASSERT_EQ(31u, m_canvas.m_lineColors.size());
  for (int i = 0; i < 30; ++i) EXPECT_EQ(RGB(0, i < 20 ? 110 + 7 * i : 255, 0), m_canvas.m_lineColors[i]) << i;
  EXPECT_EQ(RGB(0, 0, 110), m_canvas.m_lineColors[30]);  // the other direction starts its own run

  // Orientation 2 mirrors the XY plane: the same clockwise pieces are drawn counter-clockwise.
  m_canvas.Clear();
  m_job.Orientation = 2;
  ASSERT_TRUE(Paint());
  EXPECT_EQ(RGB(0, 0, 110), m_canvas.m_lineColors[0]);
  EXPECT_EQ(RGB(0, 110, 0), m_canvas.m_lineColors[30]);
}

TEST_F(SnapshotPainterTest, AMergedAwayMoveIsRedFromWhereThePenIs) {
  AddRecords(*m_pProgram, {MoveRecord(0, 0, 0, 0), MoveRecord(1, 10, 0, 0), MoveRecord(1, 10, 10, 0, 0xE0, false, true),
                           MoveRecord(1, 0, 10, 0)});
  ASSERT_TRUE(Paint(MakeGraySettings(false, 20, 200)));
  std::vector<std::string> lines = m_canvas.Calls("line");
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(RGB(255, 0, 0), m_canvas.m_lineColors[1]);
  // The next move starts at the merged move's end.
  std::vector<std::string> moves = m_canvas.Calls("move");
  EXPECT_EQ(moves.back(), "move " + lines[1].substr(5));
}

TEST_F(SnapshotPainterTest, CopiesOverThePlateAreEachDrawnShifted) {
  OnlyDevice("Router", 300, 200, 50);
  std::strcpy(m_job.DeviceName, "ROUTER");
  m_job.ShowPlate = 1;
  m_job.CopiesX = 2;
  m_job.CopiesY = 3;
  m_job.CopyOffsetX = 100;
  m_job.CopyOffsetY = 50;
  m_job.ViewPoint = kViewZX;  // the material face shows as a line
  m_job.MaterialHeight = 20;
  m_job.MaterialZeroOffset = 5;
  LoadSquare();
  CSnapshotPainter painter(m_canvas, kSnapshotWidth, kSnapshotHeight);
  ASSERT_TRUE(painter.Paint(nullptr, m_job, m_pProgram.get(), GraySettings()));
  EXPECT_DOUBLE_EQ(25.0, painter.MaterialTop_mm());
  const CPreviewProjection& p = painter.Projection();
  const double s = p.Scale();
  EXPECT_DOUBLE_EQ(690.0 / 300.0, s);
  // The box, and the material face 25 mm up from its bottom.
  ASSERT_GE(m_canvas.m_calls.size(), 4u);
  RECT box = {TruncPixel(p.OffsetX()), TruncPixel(p.OffsetY()), TruncPixel(p.OffsetX() + 300 * s),
              TruncPixel(p.OffsetY() + 50 * s)};
  EXPECT_EQ(30, box.left);
  EXPECT_EQ(217, box.top);
  char text[64];
  std::snprintf(text, sizeof text, "rect %ld,%ld,%ld,%ld dcdcdc", (long)box.left, (long)box.top, (long)box.right,
                (long)box.bottom);
  EXPECT_EQ(text, m_canvas.m_calls[1]);
  std::snprintf(text, sizeof text, "move %ld,%d", (long)box.left, TruncPixel(box.bottom - 25 * s));
  EXPECT_EQ(text, m_canvas.m_calls[2]);
  // Six copies, X outermost: each draws its plunge, its X move and its Y move (seen as
  // a rise); Y does not show in this view, so copies differ in X only.
  std::vector<std::string> lines = m_canvas.Calls("line");
  ASSERT_EQ(1u + 6u * 3u, lines.size());
  for (int c = 0; c < 6; ++c) {
    int x = TruncPixel((c / 3) * 100 * s + p.OffsetX());
    std::string plunge = lines[1 + 3 * c];
    EXPECT_EQ("line " + std::to_string(x) + ",", plunge.substr(0, plunge.find(',') + 1)) << c;
  }
}

TEST_F(SnapshotPainterTest, FootprintsNeedACutterThatIsInTheTable) {
  m_job.RawPathOnly = 0;
  m_job.ViewDepth = 0.0;
  LoadSquare();
  // The first cutter index is 3: with two cutters in the table it names none.
  AddCutter(1, 2.0);
  AddCutter(2, 3.0);
  ASSERT_TRUE(Paint());
  EXPECT_TRUE(m_canvas.Calls("circle").empty());

  // With four cutters index 3 is the fourth: a circle at the end of every feed below 0.
  AddCutter(7, 1.0);
  AddCutter(8, 4.0);
  m_canvas.Clear();
  ASSERT_TRUE(Paint());
  std::vector<std::string> expected = {"circle 130,520 196", "circle 620,520 196", "circle 620,30 196"};
  EXPECT_EQ(expected, m_canvas.Calls("circle"));

  // A "T" tag picks its cutter by number; an unknown number gives none.
  CNCProgram tagged;
  AddRecords(tagged, {MoveRecord(0, 0, 0, 5), TagRecord("T", 2), MoveRecord(1, 0, 0, -2, 0x20, true), TagRecord("T", 9),
                      MoveRecord(1, 10, 0, -2, 0x80), MoveRecord(1, 10, 10, -1, 0x60)});
  m_canvas.Clear();
  CSnapshotPainter painter(m_canvas, kSnapshotWidth, kSnapshotHeight);
  ASSERT_TRUE(painter.Paint(nullptr, m_job, &tagged, GraySettings()));
  expected = {"circle 130,520 147"};
  EXPECT_EQ(expected, m_canvas.Calls("circle"));
  EXPECT_STREQ("T2T9", m_job.UsedTools);
}

TEST_F(SnapshotPainterTest, CutterTrackPutsACircleEveryTwoPixelsAboveTheObservedDepth) {
  m_job.RawPathOnly = 0;
  m_job.ShowInterpolation = 1;
  m_job.ViewDepth = -1.5;
  AddCutter(1, 1.0);
  // Down to -2, along X at -2 (490 pixels), then rising to -1 along Y.
  AddRecords(*m_pProgram, {TagRecord("T", 1), MoveRecord(0, 0, 0, 5), MoveRecord(1, 0, 0, -2, 0x20, true),
                           MoveRecord(1, 10, 0, -2, 0x80), MoveRecord(1, 10, 10, -1, 0x60)});
  ASSERT_TRUE(Paint());
  std::vector<std::string> circles = m_canvas.Calls("circle");
  // The plunge (one pixel): its end only. Along X: its end and 244 more. Up Y: the end is
  // above -1.5, and of its 244 steps those in the first half (depth -2 .. -1.5).
  int alongY = 0;
  for (int i = 1; i <= 244; ++i)
    if (-2.0 + 1.0 * i / 244 <= -1.5) ++alongY;
  EXPECT_EQ(1u + 1u + 244u + (size_t)alongY, circles.size());
  EXPECT_EQ("circle 132,520 49", circles[2]);  // the first step along X
}

class CancelAfter : public CProgressSink {
 public:
  explicit CancelAfter(int n) : m_n(n) {}
  void SetProgress(int position, int range) override {
    m_last = position;
    m_range = range;
  }
  BOOL IsCanceled() override { return ++m_asked >= m_n; }
  int m_n, m_asked = 0, m_last = 0, m_range = 0;
};

TEST_F(SnapshotPainterTest, ACancelEndsTheDrawingWithWhatIsDrawn) {
  LoadSquare();
  CancelAfter cancel(3);
  m_pProgress = &cancel;
  ASSERT_TRUE(Paint());
  EXPECT_EQ(3, cancel.m_last);
  EXPECT_EQ(5, cancel.m_range);
  EXPECT_EQ(1u, m_canvas.Calls("line").size());
}

}  // namespace
