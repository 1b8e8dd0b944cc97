// Planned times, the speed trace file and tag progress.
#include <cmath>
#include <string>

#include "engine/planner/tests/planner_fixture.h"
#include "platform/clock.h"

namespace planner_testing {
namespace {

const BYTE kXYZ = kAxisBitsXYZ;

class Timing : public PlannerTest {
 protected:
  std::vector<std::string> TraceLines() const {
    std::string text = testing_support::ReadFileBytes(GetSpeedTracePath(m_job.JobName));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
};

const char kHeader[] =
    "time_second, distance_mm, speed_mm_s, delta_time, delta_distance, line_type, tool_no, plane, line_no";

// One 100 mm line at the lift height: up from the start velocity 8 to 160 mm/s, cruise,
// down to 8 again; (160² - 8²) / (2 · 500) = 25.536 mm and 0.304 s for each ramp.
TEST_F(Timing, PhasesOfASegmentInTheTrace) {
  m_settings.m_bLogSpeedTrace = TRUE;
  Run({MoveRecord(kGLine, 100, 0, 50, kXYZ, true)});
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(kHeader, lines[0]);
  EXPECT_EQ("0.3040, 25.5360, 160.0000, 0.3040, 25.5360, 1, T1, XY, 0", lines[1]);
  EXPECT_EQ("0.6098, 74.4640, 160.0000, 0.3058, 48.9280, 1, T1, XY, 0", lines[2]);
  EXPECT_EQ("0.9138, 100.0000, 8.0000, 0.3040, 25.5360, 1, T1, XY, 0", lines[3]);
  EXPECT_NEAR(0.9138 + 0.04, m_proc.GetCumulativeTime(), 1e-4);
}

// Ending at its nominal speed, a segment has no deceleration; entered faster than its
// nominal speed (an "F" word below the continuation speed), it brakes and then cruises.
TEST_F(Timing, PhasesByHowASegmentIsEnteredAndLeft) {
  m_settings.m_bLogSpeedTrace = TRUE;
  m_job.FWordEnabled = TRUE;
  Run({MoveRecord(kGLine, 100, 0, 50, kXYZ, true), MoveRecord(kGLine, 200, 0, 50, kXYZ), TagRecord("F", 4),
       MoveRecord(kGLine, 210, 0, 50, kXYZ)});
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(7u, lines.size());
  // first line: ramp up and cruise; second: cruise and ramp down to the corner
  EXPECT_NE(std::string::npos, lines[1].find(", 160.0000, 0.3040, 25.5360, 1, T1, XY, 0"));
  EXPECT_NE(std::string::npos, lines[2].find(", 1, T1, XY, 0"));
  EXPECT_NE(std::string::npos, lines[3].find(", 1, T1, XY, 1"));
  EXPECT_NE(std::string::npos, lines[4].find(", 1, T1, XY, 1"));
  // the slow line: brakes from 8 to 4 in (64 - 16) / 1000 mm, then goes on at its corner speed 4
  EXPECT_NE(std::string::npos, lines[5].find(", 4.0000, 0.0080, 0.0480, 1, T1, XY, 2"));
  EXPECT_NE(std::string::npos, lines[6].find(", 4.0000, 2.4880, 9.9520, 1, T1, XY, 2"));
}

TEST_F(Timing, AnEmptyTraceFileGetsTheHeader) {
  m_settings.m_bLogSpeedTrace = TRUE;
  CreateFolderPath(GetSpeedTracePath(m_job.JobName));
  ASSERT_TRUE(testing_support::WriteFileBytes(GetSpeedTracePath(m_job.JobName), ""));
  Run({MoveRecord(kGLine, 100, 0, 50, kXYZ, true)});
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(kHeader, lines[0]);
}

TEST_F(Timing, WithoutTheTraceTimesAreStillPlanned) {
  Run({MoveRecord(kGLine, 100, 0, 50, kXYZ, true)});
  EXPECT_FALSE(testing_support::FileExists(GetSpeedTracePath(m_job.JobName)));
  EXPECT_NEAR(0.9138, m_proc.GetPlannedTagTime(0), 1e-4);  // the turnaround is not a tag's
  // Before any tag has finished, the projection is the plan.
  EXPECT_EQ(m_proc.GetCumulativeTime(), m_proc.GetPlannedTagTime(-1));
}

TEST_F(Timing, EveryPlannedRunAddsTheTurnaround) {
  Run({MoveRecord(kGLine, 0, 0, 50, kXYZ, true), MoveRecord(kGLine, 0, 0, 50, kXYZ, true),
       MoveRecord(kGLine, 0, 0, 50, kXYZ, true)});
  EXPECT_NEAR(0.12, m_proc.GetCumulativeTime(), 1e-9);
}

// A job written to a file times only its rapid runs.
TEST_F(Timing, FileTargetsTimeOnlyRapidRuns) {
  m_settings.m_bLogSpeedTrace = TRUE;
  m_queue.m_bFileTarget = true;
  Run({MoveRecord(kGRapid, 100, 0, 50, kXYZ, true), CodeRecord(4), MoveRecord(kGLine, 100, 0, -1, kXYZ),
       MoveRecord(kGLine, 200, 0, -1, kXYZ)});
  std::vector<std::string> lines = TraceLines();
  ASSERT_GE(lines.size(), 2u);
  for (size_t i = 1; i < lines.size(); i++) EXPECT_NE(std::string::npos, lines[i].find(", 0, T1, XY, ")) << lines[i];
}

// The controller reports tags; the times it took make the projection, and a tag number
// that is not one of the job's is ignored.
TEST_F(Timing, TagProgress) {
  CManualTicks ticks(5000);
  CPathProcessor proc(&ticks);
  m_job.TotalTags = 3;
  ASSERT_TRUE(StartJob(proc, &m_queue, m_job, m_device, m_settings));
  RunRecords(proc, m_device, m_job,
             {MoveRecord(kGLine, 100, 0, 50, kXYZ, true), MoveRecord(kGLine, 200, 0, 50, kXYZ, true),
              MoveRecord(kGLine, 300, 0, 50, kXYZ, true)});
  double planned0 = proc.GetPlannedTagTime(0);
  ASSERT_GT(planned0, 0);
  double plan = proc.GetPlannedTagTime(-1);

  proc.OnTagProgress(0);
  ticks.Advance(2000);
  EXPECT_NEAR(2.0, proc.GetElapsedTime(), 1e-9);
  proc.OnTagProgress(1);  // tag 0 took 2 s
  EXPECT_NEAR(plan * 2.0 / planned0, proc.GetPlannedTagTime(-1), 1e-9);
  ticks.Advance(500);
  proc.PauseTagTimer();
  ticks.Advance(10000);  // paused: does not count
  EXPECT_NEAR(2.5, proc.GetElapsedTime(), 1e-9);
  proc.StartTagTimer();
  ticks.Advance(100);
  EXPECT_NEAR(2.6, proc.GetElapsedTime(), 1e-9);

  for (int bad : {4, 100, -2, 0x7FFFFFFF}) proc.OnTagProgress(bad);
  EXPECT_NEAR(2.6, proc.GetElapsedTime(), 1e-9);
  EXPECT_NEAR(plan * 2.0 / planned0, proc.GetPlannedTagTime(-1), 1e-9);

  proc.OnTagProgress(2);  // tag 1 took 0.6 s
  double planned1 = proc.GetPlannedTagTime(1);
  EXPECT_NEAR(plan * 2.6 / (planned0 + planned1), proc.GetPlannedTagTime(-1), 1e-9);
  proc.OnTagProgress(3);  // the last tag: the timer stops
  ticks.Advance(1000);
  EXPECT_NEAR(2.6, proc.GetElapsedTime(), 1e-9);
}

}  // namespace
}  // namespace planner_testing
