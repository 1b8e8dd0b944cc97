// The speed trace as the engine's planner writes it, read back by the review: every row
// the planner wrote becomes one point whose fields print back to the same row.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/planner/tests/planner_fixture.h"
#include "jobs/review/speed_trace.h"
#include "platform/testing/test_support.h"

using namespace planner_testing;

namespace {

std::vector<std::string> Rows(const std::string& text) {
  std::vector<std::string> rows;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    rows.push_back(text.substr(start, end - start));
  if (start < text.size()) rows.push_back(text.substr(start));
  return rows;
}

// A point in the planner's row format.
std::string Row(const SpeedTracePoint& p) {
  const char* plane = p.plane == 4 ? "ZX" : p.plane == 8 ? "YZ" : "XY";
  char text[256];
  std::snprintf(text, sizeof text, "%.4f, %.4f, %.4f, %.4f, %.4f, %d, T%d, %s, %d", p.time, p.distance, p.speed,
                p.deltaTime, p.deltaDistance, (int)p.lineType, (int)p.toolNo, plane, (int)p.lineNo);
  return text;
}

using SpeedTraceWriterTest = PlannerTest;

// Rapids, feeds and arcs both ways, a second tool and the ZX plane: every kind of field
// the planner writes.
TEST_F(SpeedTraceWriterTest, EveryRowThePlannerWritesIsReadBackWhole) {
  m_job.TotalTags = 3;
  m_job.ToolCount = 1;  // a second tool, at half the feed
  std::strcpy(m_job.ToolSpeeds[0].Key, "T2");
  m_job.ToolSpeeds[0].Feed = m_job.FeedSpeed / 2;
  m_settings.m_bLogSpeedTrace = TRUE;
  const double kUp = 50, kDown = 45;
  Run({
      MoveRecord(kGRapid, 0, 0, kUp, 0xE0, true),
      MoveRecord(kGRapid, 100, 0, kUp),
      MoveRecord(kGLine, 100, 0, kDown, 0x20),
      MoveRecord(kGLine, 160, 0, kDown, 0x80, true),
      ArcRecord(kGArcCW, Vec3(200, 40, kDown), Vec3(160, 40, kDown)),
      ArcRecord(kGArcCCW, Vec3(240, 80, kDown), Vec3(240, 40, kDown)),
      MoveRecord(kGLine, 240, 80, kUp, 0x20),
      TagRecord("T", 2),
      CodeRecord(18),
      MoveRecord(kGLine, 240, 80, kDown, 0x20, true),
      MoveRecord(kGLine, 300, 80, 30, 0xA0),
      MoveRecord(kGRapid, 300, 80, kUp, 0x20),
  });

  const CString path = GetSpeedTracePath(m_job.JobName);
  std::vector<std::string> rows = Rows(testing_support::ReadFileBytes(path));
  ASSERT_GE(rows.size(), 6u);
  CSpeedTrace trace;
  ASSERT_TRUE(trace.Load(path));
  const std::vector<SpeedTracePoint>& points = trace.Points();
  ASSERT_EQ(rows.size() - 1, points.size()) << "the header is the only row left out";
  std::set<int> types, tools, planes;
  double maxTime = 0, maxDistance = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(rows[i + 1], Row(points[i])) << "row " << i + 1;
    types.insert(points[i].lineType);
    tools.insert(points[i].toolNo);
    planes.insert(points[i].plane);
    maxTime = std::max(maxTime, points[i].time);
    maxDistance = std::max(maxDistance, points[i].distance);
  }
  EXPECT_EQ((std::set<int>{0, 1, 2, 3}), types);
  EXPECT_EQ((std::set<int>{1, 2}), tools);
  EXPECT_EQ((std::set<int>{0, 4}), planes);
  EXPECT_DOUBLE_EQ(maxTime, trace.MaxX(true));
  EXPECT_DOUBLE_EQ(maxDistance, trace.MaxX(false));
}

}  // namespace
