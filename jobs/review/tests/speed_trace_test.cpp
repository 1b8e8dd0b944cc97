// The speed trace: the line parser, the loaded ranges and first view (an empty trace
// scrolls over 0..0), the clipping of plot segments, and the plot's strokes.
#include <cfloat>
#include <climits>
#include <limits>

#include "foundation/tests/app_folder_test.h"
#include "jobs/review/speed_trace.h"
#include "platform/testing/test_support.h"

namespace {

TEST(SpeedTraceParse, FieldsInOrderAndShortLinesRefused) {
  struct Case {
    const char* line;
    BOOL ok;
    double time = 0, distance = 0, speed = 0, dt = 0, dd = 0;
    int type = 0, tool = 0, plane = 0, lineNo = 0;
  } cases[] = {
      {"1.2500, 10.0000, 80.0000, 0.1250, 10.0000, 1, T12, XY, 7", TRUE, 1.25, 10, 80, 0.125, 10, 1, 12, 0, 7},
      {"2.5, 20, 40, 0.5, 10, 2, T3, ZX, 8\r\n", TRUE, 2.5, 20, 40, 0.5, 10, 2, 3, 4, 8},
      {" 3 ,\t30 , 0 , 1 , 10 , 0 , T0 , YZ , 9 ", TRUE, 3, 30, 0, 1, 10, 0, 0, 8, 9},
      {"4,40,1,1,1,3,T7,xy,10", TRUE, 4, 40, 1, 1, 1, 3, 7, 0, 10},  // planes are upper case
      {"5,50,1,1,1,1,12,XZ,11", TRUE, 5, 50, 1, 1, 1, 1, 2, 0, 11},  // the first character is dropped
      {"abc,def,1,1,1,x,T,XY,", TRUE, 0, 0, 1, 1, 1, 0, 0, 0, 0},    // not numbers: 0
      {"6,60,1,1,1,1,,XY,12", TRUE, 6, 60, 1, 1, 1, 1, 0, 0, 12},    // an empty tool field
      {"7,70,1,1,1,1,T99999999999,XY,99999999999", TRUE, 7, 70, 1, 1, 1, 1, INT32_MAX, 0, INT32_MAX},
      {"1,2,3,4,5,6,T7,XY", FALSE},  // seven commas
      {"", FALSE},
      {"   ", FALSE},
      {"time_second, distance_mm, speed_mm_s", FALSE},
  };
  for (const Case& c : cases) {
    SpeedTracePoint p;
    p.speed = 99;
    EXPECT_EQ(c.ok, ParseTraceLine(c.line, p)) << c.line;
    EXPECT_DOUBLE_EQ(c.ok ? c.time : 0, p.time) << c.line;
    EXPECT_DOUBLE_EQ(c.ok ? c.distance : 0, p.distance) << c.line;
    EXPECT_DOUBLE_EQ(c.ok ? c.speed : 0, p.speed) << c.line;
    EXPECT_DOUBLE_EQ(c.ok ? c.dt : 0, p.deltaTime) << c.line;
    EXPECT_DOUBLE_EQ(c.ok ? c.dd : 0, p.deltaDistance) << c.line;
    EXPECT_EQ(c.ok ? c.type : 0, p.lineType) << c.line;
    EXPECT_EQ(c.ok ? c.tool : 0, p.toolNo) << c.line;
    EXPECT_EQ(c.ok ? c.plane : 0, p.plane) << c.line;
    EXPECT_EQ(c.ok ? c.lineNo : 0, p.lineNo) << c.line;
  }
  SpeedTracePoint none;
  EXPECT_FALSE(ParseTraceLine(nullptr, none));
}

class SpeedTraceFileTest : public AppFolderTest {};

TEST_F(SpeedTraceFileTest, HeaderDroppedBadLinesSkippedRangesWidened) {
  CString path = Path("job.trace");
  ASSERT_TRUE(testing_support::WriteFileBytes(
      path,
      "time_second, distance_mm, speed_mm_s, delta_time, delta_distance, line_type, tool_no, plane, line_no\r\n"
      "0.5000, 5.0000, 20.0000, 0.5000, 5.0000, 0, T1, XY, 0\r\n"
      "\r\n"
      "garbage\r\n"
      "10.0000, 105.0000, 100.0000, 9.5000, 100.0000, 1, T1, XY, 1\r\n"
      "12.5000, 125.0000, 5.0000, 2.5000, 20.0000, 2, T1, XY, 1\r\n"));
  CSpeedTrace trace;
  ASSERT_TRUE(trace.Load(path));
  ASSERT_EQ(3u, trace.Points().size());
  EXPECT_DOUBLE_EQ(0.5, trace.MinX(true));
  EXPECT_DOUBLE_EQ(12.5, trace.MaxX(true));
  EXPECT_DOUBLE_EQ(5.0, trace.MinX(false));
  EXPECT_DOUBLE_EQ(125.0, trace.MaxX(false));
  EXPECT_DOUBLE_EQ(5.0, trace.MinSpeed());
  EXPECT_DOUBLE_EQ(100.0, trace.MaxSpeed());

  TraceView v = InitialTraceView(trace, true);
  EXPECT_DOUBLE_EQ(0.5, v.dOriginX);
  EXPECT_DOUBLE_EQ(12.0 / 5.0, v.dSpanX);  // the first fifth of the run
  EXPECT_EQ(0, v.nHMin);
  EXPECT_EQ(12, v.nHMax);
  EXPECT_EQ(2, v.nHPage);
  EXPECT_DOUBLE_EQ(5.0, v.dOriginY);
  EXPECT_DOUBLE_EQ(95.0 * 1.05, v.dSpanY);
  EXPECT_EQ(5, v.nVMin);
  EXPECT_EQ(100, v.nVMax);
  EXPECT_EQ(100, v.nVPos);
  v = InitialTraceView(trace, false);
  EXPECT_DOUBLE_EQ(5.0, v.dOriginX);
  EXPECT_DOUBLE_EQ(24.0, v.dSpanX);
  EXPECT_EQ(125, v.nHMax);
}

TEST_F(SpeedTraceFileTest, AnEmptyOrMissingTraceScrollsOverNothing) {
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("header.trace"), "time_second, distance_mm\r\n"));
  for (const char* name : {"header.trace", "none.trace"}) {
    CSpeedTrace trace;
    EXPECT_EQ(CString(name) == "header.trace", trace.Load(Path(name)) != FALSE);
    EXPECT_TRUE(trace.IsEmpty());
    for (bool timeAxis : {true, false}) {
      TraceView v = InitialTraceView(trace, timeAxis);
      EXPECT_EQ(0, v.nHMin);
      EXPECT_EQ(0, v.nHMax);
      EXPECT_EQ(0, v.nHPage);
      EXPECT_EQ(0, v.nVMin);
      EXPECT_EQ(0, v.nVMax);
      EXPECT_EQ(0, v.nVPos);
      EXPECT_EQ(0.0, v.dSpanX);
      EXPECT_EQ(0.0, v.dSpanY);
    }
    std::vector<TraceStroke> strokes;
    EXPECT_FALSE(BuildTracePlot(trace, true, 0, 0, 0, 0, 1, 1, 400, 300, strokes));
    EXPECT_TRUE(strokes.empty());
  }
  EXPECT_EQ(INT_MAX, TruncScroll(DBL_MAX));
  EXPECT_EQ(INT_MIN, TruncScroll(-DBL_MAX));
  EXPECT_EQ(0, TruncScroll(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(-7, TruncScroll(-7.9));
}

TEST(SpeedTraceClip, SegmentsAgainstARectangleWithItsEdgesInside) {
  const RECT r = {0, 0, 100, 50};
  struct Case {
    int x1, y1, x2, y2;
    BOOL kept;
    int ex1 = 0, ey1 = 0, ex2 = 0, ey2 = 0;
  } cases[] = {
      {10, 10, 20, 20, TRUE, 10, 10, 20, 20},      // inside
      {0, 0, 100, 50, TRUE, 0, 0, 100, 50},        // corner to corner, on the edges
      {5, 5, 5, 5, TRUE, 5, 5, 5, 5},              // a dot inside
      {-5, 5, -5, 5, FALSE},                       // a dot outside
      {30, -20, 30, 80, TRUE, 30, 0, 30, 50},      // vertical through
      {130, -20, 130, 80, FALSE},                  // vertical beside
      {30, 60, 30, 80, FALSE},                     // vertical below
      {-50, 20, 150, 20, TRUE, 0, 20, 100, 20},    // horizontal through
      {-50, 60, 150, 60, FALSE},                   // horizontal below
      {-10, -10, -20, 30, FALSE},                  // both left
      {50, 25, 150, 25, TRUE, 50, 25, 100, 25},    // horizontal out to the right
      {50, 25, 150, 75, TRUE, 50, 25, 100, 50},    // out through the corner
      {-50, 0, 50, 50, TRUE, 0, 25, 50, 50},       // in from the left, ends on the bottom edge
      {-100, -25, 200, 125, TRUE, 0, 25, 50, 50},  // through: in left, out bottom
      {200, 125, -100, -25, TRUE, 50, 50, 0, 25},  // the same backwards: ends follow the direction
      {-30, 40, 40, 110, FALSE},                   // passes the corner outside
      {90, -10, 110, 10, TRUE, 100, 0, 100, 0},    // grazes a corner: one point
  };
  for (const Case& c : cases) {
    int x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    BOOL kept = ClipSegment(x1, y1, x2, y2, r);
    EXPECT_EQ(c.kept, kept) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    if (!c.kept || !kept) continue;
    EXPECT_EQ(c.ex1, x1) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    EXPECT_EQ(c.ey1, y1) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    EXPECT_EQ(c.ex2, x2) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    EXPECT_EQ(c.ey2, y2) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
  }
  int a = 1, b = 1, c = 2, d = 2;
  EXPECT_FALSE(ClipSegment(a, b, c, d, RECT{10, 10, 10, 20}));  // an empty rectangle
  // Far ends do not overflow.
  a = INT_MIN, b = INT_MIN, c = INT_MAX, d = INT_MAX;
  EXPECT_TRUE(ClipSegment(a, b, c, d, r));
  EXPECT_GE(a, 0);
  EXPECT_LE(c, 100);
}

TEST(SpeedTracePlot, StrokesAreUpsideDownWithinTheMarginAndDottedForRapids) {
  CSpeedTrace trace;
  auto add = [&](double t, double v, int type) {
    SpeedTracePoint p;
    p.time = t;
    p.distance = t * 10;
    p.speed = v;
    p.lineType = type;
    trace.Add(p);
  };
  add(0, 0, 0);
  add(1, 100, 0);
  add(2, 100, 1);
  add(3, 100, 1);  // past the right edge along the top
  add(100, 0, 2);  // far to the right
  std::vector<TraceStroke> s;
  // 280 x 180 bitmap: a 200 x 100 plot area, 100 pixels per second, 1 per mm/s.
  ASSERT_TRUE(BuildTracePlot(trace, true, 0, 0, 2, 100, 1, 1, 280, 180, s));
  ASSERT_EQ(3u, s.size());
  EXPECT_EQ((std::vector<int>{40, 140, 140, 40, 0}),
            (std::vector<int>{s[0].x1, s[0].y1, s[0].x2, s[0].y2, s[0].lineType}));
  EXPECT_EQ((std::vector<int>{140, 40, 240, 40, 1}),
            (std::vector<int>{s[1].x1, s[1].y1, s[1].x2, s[1].y2, s[1].lineType}));
  // Along the top edge out to the right: cut to a dot on the edge; the segment on to
  // the far point lies wholly outside and draws nothing.
  EXPECT_EQ((std::vector<int>{240, 40, 240, 40, 1}),
            (std::vector<int>{s[2].x1, s[2].y1, s[2].x2, s[2].y2, s[2].lineType}));
  // Zoomed twice: the first second already reaches past the top.
  ASSERT_TRUE(BuildTracePlot(trace, true, 0, 0, 2, 100, 2, 2, 280, 180, s));
  ASSERT_EQ(1u, s.size());
  EXPECT_EQ((std::vector<int>{40, 140, 140, 40}), (std::vector<int>{s[0].x1, s[0].y1, s[0].x2, s[0].y2}));
  // The distance axis.
  ASSERT_TRUE(BuildTracePlot(trace, false, 0, 0, 20, 100, 1, 1, 280, 180, s));
  EXPECT_EQ(140, s[0].x2);
  // Spans below 1e-6 draw nothing.
  EXPECT_FALSE(BuildTracePlot(trace, true, 0, 0, 1e-7, 100, 1, 1, 280, 180, s));
  EXPECT_FALSE(BuildTracePlot(trace, true, 0, 0, 2, -5, 1, 1, 280, 180, s));
  EXPECT_TRUE(s.empty());
}

}  // namespace
