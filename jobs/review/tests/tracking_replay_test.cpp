// The path tracking replay: tag ranges, steps, copies over the working space, pens,
// the box of each view, and the loader that rebuilds the program from a ".structs" file.
#include <cstring>
#include <thread>

#include "device/device_params.h"
#include "foundation/tests/app_folder_test.h"
#include "jobs/review/tracking_replay.h"
#include "jobs/review/tests/review_test_support.h"
#include "platform/testing/test_support.h"

using namespace review_testing;

namespace {

class TrackingReplayTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_pProgram = std::make_unique<CNCProgram>();
    g_DeviceTable.m_nCount = 0;
    m_job.CopiesX = m_job.CopiesY = m_job.CopiesZ = 1;
  }
  void TearDown() override {
    g_DeviceTable.m_nCount = 0;
    AppFolderTest::TearDown();
  }
  // Three tags of two feeds each, every tag led in by a rapid: 9 moves.
  void LoadThreeTags() {
    std::vector<PathRecord> records;
    for (int t = 0; t < 3; ++t) {
      records.push_back(MoveRecord(0, t * 10.0, 0, 5));
      records.push_back(MoveRecord(1, t * 10.0, 0, -1, 0x20, true));
      records.push_back(MoveRecord(1, t * 10.0 + 5, 5, -1, 0xC0));
    }
    AddRecords(*m_pProgram, records);
  }
  BOOL Start(TrackingRange range, int view = kViewXY, bool workSpace = false, GraySettings gray = GraySettings()) {
    return m_replay.Start(m_pProgram.get(), m_job, view, workSpace, range, gray, m_canvas, 600, 400);
  }
  // Steps until the replay ends; the number of steps taken.
  int RunToEnd(int n) {
    int steps = 1;
    while (m_replay.Step(n, m_canvas)) ++steps;
    return steps;
  }

  JobRecord m_job;
  // Made once the program folder is the test's: a program reads its settings there.
  std::unique_ptr<CNCProgram> m_pProgram;
  CRecordingCanvas m_canvas;
  CTrackingReplay m_replay;
};

TEST_F(TrackingReplayTest, AnEmptyProgramIsRefused) {
  EXPECT_FALSE(Start({0, 0}));
  EXPECT_TRUE(m_canvas.m_calls.empty());
  EXPECT_FALSE(m_replay.Step(10, m_canvas));
}

TEST_F(TrackingReplayTest, StartZeroOrOneReplaysFromTheFirstMoveEndZeroToTheEnd) {
  LoadThreeTags();
  for (long start : {0L, 1L}) {
    m_canvas.Clear();
    ASSERT_TRUE(Start({start, 0}));
    EXPECT_EQ(2, RunToEnd(5));  // 9 moves: 5, then 4 and the end
    EXPECT_EQ(6u, m_canvas.Calls("line").size()) << start;
    EXPECT_EQ(3, m_replay.TagCounter());
  }
}

TEST_F(TrackingReplayTest, MovesBeforeTheStartTagMoveThePenOnly) {
  LoadThreeTags();
  ASSERT_TRUE(Start({2, 0}));
  // The first step passes over tag 1 (moved, not drawn) and draws tag 2.
  ASSERT_TRUE(m_replay.Step(1, m_canvas));
  EXPECT_TRUE(m_replay.IsInRange());
  EXPECT_EQ(2, m_replay.TagCounter());
  EXPECT_EQ(1u, m_canvas.Calls("line").size());
  RunToEnd(100);
  EXPECT_EQ(4u, m_canvas.Calls("line").size());
}

TEST_F(TrackingReplayTest, AfterTheEndTagTheRestIsSkippedInOneStep) {
  LoadThreeTags();
  ASSERT_TRUE(Start({0, 1}));
  // One step of 100: tag 1 drawn, tags 2 and 3 passed over, the program ends.
  EXPECT_FALSE(m_replay.Step(100, m_canvas));
  EXPECT_EQ(2u, m_canvas.Calls("line").size());
  EXPECT_EQ(3, m_replay.TagCounter());
  // A step of 3 (rapid and two feeds) ends within tag 1; the next skips the rest.
  m_canvas.Clear();
  ASSERT_TRUE(Start({0, 1}));
  EXPECT_TRUE(m_replay.Step(3, m_canvas));
  EXPECT_FALSE(m_replay.Step(3, m_canvas));
  EXPECT_EQ(2u, m_canvas.Calls("line").size());
}

TEST_F(TrackingReplayTest, ATagRangePastTheProgramEndsAtOnce) {
  LoadThreeTags();
  ASSERT_TRUE(Start({50, 0}));
  EXPECT_FALSE(m_replay.Step(1, m_canvas));
  EXPECT_TRUE(m_canvas.Calls("line").empty());
}

TEST_F(TrackingReplayTest, CopiesReplayOneAfterAnotherOnlyOverTheWorkingSpace) {
  LoadThreeTags();
  OnlyDevice("Router", 100, 80, 20);
  std::strcpy(m_job.DeviceName, "Router");
  m_job.CopiesX = 2;
  m_job.CopyOffsetX = 40;
  ASSERT_TRUE(Start({0, 0}, kViewXY, true));
  EXPECT_DOUBLE_EQ(100.0, m_replay.Box().x);
  RunToEnd(4);
  ASSERT_EQ(12u, m_canvas.Calls("line").size());
  // The second copy's first line is the first copy's, 40 mm further right.
  std::vector<std::string> lines = m_canvas.Calls("line");
  int x0 = std::atoi(lines[0].c_str() + 5), x6 = std::atoi(lines[6].c_str() + 5);
  EXPECT_EQ(TruncPixel(40 * m_replay.Projection().Scale()), x6 - x0);

  // Without the working space: one copy, the program's own box.
  m_canvas.Clear();
  ASSERT_TRUE(Start({0, 0}, kViewXY, false));
  EXPECT_DOUBLE_EQ(25.0, m_replay.Box().x);
  RunToEnd(4);
  EXPECT_EQ(6u, m_canvas.Calls("line").size());
}

TEST_F(TrackingReplayTest, FeedsAreGreyByDepthOrRedWhenFlatOrOff) {
  LoadThreeTags();
  ASSERT_TRUE(Start({0, 0}));
  EXPECT_DOUBLE_EQ(180.0 / 6.0, m_replay.GrayScale());  // Z from -1 to 5
  RunToEnd(100);
  // The plunge: |5 + -1| / 2 * 30 = 60; the move along: |-1 + -1| / 2 * 30 = 30.
  ASSERT_EQ(6u, m_canvas.m_lineColors.size());
  EXPECT_EQ(RGB(80, 80, 80), m_canvas.m_lineColors[0]);
  EXPECT_EQ(RGB(50, 50, 50), m_canvas.m_lineColors[1]);

  m_canvas.Clear();
  ASSERT_TRUE(Start({0, 0}, kViewXY, false, MakeGraySettings(false, 20, 200)));
  EXPECT_EQ(DBL_MAX, m_replay.GrayScale());
  RunToEnd(100);
  for (COLORREF c : m_canvas.m_lineColors) EXPECT_EQ(kFeedRed, c);
}

TEST_F(TrackingReplayTest, EachViewDrawsItsBoxAndAnUnknownViewNone) {
  LoadThreeTags();
  struct Case {
    int view;
    const char* first;  // the first call after the pen
    int polygons;
  } cases[] = {{kViewXY, "rect", 0}, {kViewYZ, "rect", 0}, {kViewZX, "rect", 0}, {kViewOblique, "poly", 2}, {9, "", 0}};
  for (const Case& c : cases) {
    m_canvas.Clear();
    ASSERT_TRUE(Start({0, 0}, c.view));
    ASSERT_GE(m_canvas.m_calls.size(), 1u);
    EXPECT_EQ("pen dotted 1 c80000", m_canvas.m_calls[0]);
    if (*c.first) {
      ASSERT_GE(m_canvas.m_calls.size(), 2u);
      EXPECT_EQ(0, m_canvas.m_calls[1].compare(0, std::strlen(c.first), c.first)) << c.view;
    } else {
      EXPECT_EQ(1u, m_canvas.m_calls.size()) << c.view;
    }
    EXPECT_EQ((size_t)c.polygons, m_canvas.Calls("poly").size()) << c.view;
  }
  // XY: one pixel outside the drawn box at the top left, two past it at the bottom right.
  m_canvas.Clear();
  ASSERT_TRUE(Start({0, 0}, kViewXY));
  const CPreviewProjection& p = m_replay.Projection();
  int left = TruncPixel(p.OffsetX() - 1), top = TruncPixel(p.OffsetY() - 1);
  char text[64];
  std::snprintf(text, sizeof text, "rect %d,%d,%d,%d dcdcdc", left, top, TruncPixel(p.Scale() * 25 + left) + 2,
                TruncPixel(p.Scale() * 5 + top) + 2);
  EXPECT_EQ(text, m_canvas.m_calls[1]);
}

class LoaderTest : public AppFolderTest {};

TEST_F(LoaderTest, LoadsEveryWholeRecordAndCountsThem) {
  std::vector<PathRecord> records = {MoveRecord(0, 0, 0, 5), TagRecord("T", 3), MoveRecord(1, 1, 2, -1, 0xE0, true)};
  std::string bytes = StructsBytes(records) + std::string(50, 'x');  // and a partial record
  CString path = Path("job.structs");
  ASSERT_TRUE(testing_support::WriteFileBytes(path, bytes));
  CNCProgram program;
  TrackingLoadCounters counters;
  ASSERT_TRUE(LoadTrackingProgram(path, program, counters));
  EXPECT_EQ(3, counters.lTotalRecords.load());
  EXPECT_EQ(3, counters.lLoadedRecords.load());
  ASSERT_EQ(3, program.GetElementCount());
  EXPECT_EQ(1, program.GetTagCount());
  EXPECT_STREQ("T3", program.GetUsedTools());
}

TEST_F(LoaderTest, MissingShortAndStoppedLoads) {
  CNCProgram program;
  AddRecords(program, {MoveRecord(1, 1, 1, 1)});
  TrackingLoadCounters counters;
  EXPECT_FALSE(LoadTrackingProgram(Path("none.structs"), program, counters));
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("short.structs"), std::string(117, '\0')));
  EXPECT_FALSE(LoadTrackingProgram(Path("short.structs"), program, counters));
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("empty.structs"), ""));
  EXPECT_FALSE(LoadTrackingProgram(Path("empty.structs"), program, counters));
  EXPECT_EQ(1, program.GetElementCount());  // left as it was

  std::vector<PathRecord> many(1000, MoveRecord(1, 1, 2, 3));
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("many.structs"), StructsBytes(many)));
  counters.lStopLoading = 1;  // a stop before the first record
  ASSERT_TRUE(LoadTrackingProgram(Path("many.structs"), program, counters));
  EXPECT_EQ(1000, counters.lTotalRecords.load());
  EXPECT_EQ(0, counters.lLoadedRecords.load());
  EXPECT_EQ(0, program.GetElementCount());
}

}  // namespace
