// Speed planning, smoothing and arc fitting, seen through the planned runs and the stream.
#include <cmath>

#include "engine/planner/tests/planner_fixture.h"

namespace planner_testing {
namespace {

const double kPi = 3.14159265358979323846;
const BYTE kXY = kAxisBitX | kAxisBitY;
const BYTE kXYZ = kAxisBitsXYZ;

// Keeps a copy of every planned run.
class CRunRecorder : public IPlanObserver {
 public:
  void OnRunPlanned(const PlanSegment* s, int n, WORD) override { runs.emplace_back(s, s + n); }
  std::vector<std::vector<PlanSegment>> runs;
};

class Planning : public PlannerTest {
 protected:
  void SetUp() override {
    PlannerTest::SetUp();
    m_proc.SetPlanObserver(&m_runs);
  }
  // The planned run that holds the most segments.
  const std::vector<PlanSegment>& LongestRun() const {
    size_t best = 0;
    for (size_t i = 1; i < m_runs.runs.size(); i++)
      if (m_runs.runs[i].size() > m_runs.runs[best].size()) best = i;
    return m_runs.runs.at(best);
  }
  std::vector<StreamItem> Arcs() const {
    std::vector<StreamItem> out;
    for (const StreamItem& i : m_items)
      if (i.kind == ItemKind::kGArc) out.push_back(i);
    return out;
  }
  void FitArcs() {
    UseGForm();
    EnableArcFitting(m_job);
  }
  CRunRecorder m_runs;
};

// Lines along a circle about (cx, cy) from angle a0 to a1 (radians), each ending with the
// circle's radius as its corner radius; the first starts a tag.
std::vector<PathRecord> Chords(double cx, double cy, double r, double a0, double a1, int n, double z = -1) {
  std::vector<PathRecord> out;
  out.push_back(MoveRecord(kGLine, cx + r * std::cos(a0), cy + r * std::sin(a0), z, kXYZ, true));
  double angle = 180.0 - 360.0 / n * (a1 - a0) / (2 * kPi);  // vertex angle of the polygon
  for (int k = 1; k <= n; k++) {
    double a = a0 + (a1 - a0) * k / n;
    out.push_back(MoveRecord(kGLine, cx + r * std::cos(a), cy + r * std::sin(a), z, kXY, false, r, angle));
  }
  return out;
}

// A half circle of radius 20 about (0, 0) as eight arc pieces, the last one Org, with
// `among` after the fourth.
std::vector<PathRecord> HalfCircleOfPieces(const PathRecord& among) {
  std::vector<PathRecord> records = {MoveRecord(kGLine, 20, 0, -1, kXYZ, true)};
  for (int k = 1; k <= 8; k++) {
    double a = kPi * k / 8;
    records.push_back(ArcRecord(kGArcCCW, Vec3(20 * std::cos(a), 20 * std::sin(a), -1), Vec3(0, 0, -1), k == 8));
    if (k == 4) records.push_back(among);
  }
  return records;
}

// ---- Ramp table

TEST_F(Planning, RampTable) {
  ASSERT_TRUE(StartJob(m_proc, &m_queue, m_job, m_device, m_settings));
  const CRampTable& t = m_proc.GetRampTable();
  // a(i) rises from 250 to 500 mm/s/s at CornerUP 10; 40 steps per mm.
  EXPECT_EQ(0u, t.Entry(0));
  EXPECT_EQ(1u, t.Entry(1));  // trunc(40 / 550) = 0, at least 1
  EXPECT_EQ(2u, t.Entry(2));
  EXPECT_EQ(7u, t.Entry(100) - t.Entry(99));      // trunc(199 * 40 / 1000)
  EXPECT_EQ(81u, t.Entry(1024) - t.Entry(1023));  // trunc(2047 * 40 / 1000)
  for (int i = 1; i <= CRampTable::kTop; i++) ASSERT_GT(t.Entry(i), t.Entry(i - 1)) << i;
  // Lookups both ways agree; whole millimetres between speeds; the top reads the last interval.
  EXPECT_NEAR(50.3, t.SpeedAtDistance(t.DistanceOfSpeed(50.3)), 1e-9);
  EXPECT_EQ(std::trunc(t.DistanceOfSpeed(200)), t.DistanceBetween(0, 200));
  EXPECT_EQ(t.DistanceOfSpeed(1023), t.DistanceOfSpeed(5000));
  EXPECT_EQ(1024.0, t.SpeedAtDistance(1e9));
  EXPECT_EQ(0.0, t.SpeedAtDistance(0));
  EXPECT_GT(t.ReachableSpeed(100, 10, 1), 100);
  EXPECT_LT(t.ReachableSpeed(100, 10, -1), 100);

  // The start switch 1 doubles every step.
  m_job.StartSwitch = 1;
  CPathProcessor doubled;
  ASSERT_TRUE(StartJob(doubled, &m_queue, m_job, m_device, m_settings));
  EXPECT_EQ(2 * t.Entry(1024), doubled.GetRampTable().Entry(1024));
}

// ---- Initial speeds and cut types

TEST_F(Planning, PlungesAndCutTypes) {
  struct Case {
    const char* name;
    std::vector<PathRecord> records;
    std::vector<WORD> cutTypes;  // of the longest run's segments after the first
  } cases[] = {
      // all steep downward moves: plunges
      {"plunges", {MoveRecord(kGLine, 0, 0, -5, kXYZ, true), MoveRecord(kGLine, 0, 1, -9, kXYZ)}, {2, 2}},
      // one plunge among cutting moves cuts as a line
      {"mixed", {MoveRecord(kGLine, 0, 0, -5, kXYZ, true), MoveRecord(kGLine, 20, 0, -5, kXY)}, {1, 1}},
      // the optimiser forbids plunge marking
      {"no plunge mark", {MoveRecord(kGLine, 0, 0, -5, kXYZ, true)}, {1}},
      // the optimiser marked a plunge: kept when the run is all plunges
      {"marked", {MoveRecord(kGLine, 100, 0, 40, kXYZ, true)}, {2}},
  };
  cases[2].records[0].m_nFlags |= kSegNoPlunge;
  cases[3].records[0].m_nFlags |= kSegPlunge;
  for (const Case& c : cases) {
    m_runs.runs.clear();
    Run(c.records);
    std::vector<WORD> types;
    for (size_t i = 1; i < LongestRun().size(); i++) types.push_back(LongestRun()[i].m_nCutType);
    EXPECT_EQ(c.cutTypes, types) << c.name;
  }
}

TEST_F(Planning, PureZMoveIsLimitedByZ) {
  Run({MoveRecord(kGLine, 0, 0, -5, kXYZ, true), MoveRecord(kGLine, 0, 0, -60, kAxisBitZ),
       MoveRecord(kGLine, 0, 0, -61, kAxisBitZ)});
  const std::vector<PlanSegment>& run = LongestRun();
  for (size_t i = 1; i < run.size(); i++) {
    EXPECT_LE(run[i].m_dVn, 50.0);
    EXPECT_LE(run[i].m_dVc, 50.0);
  }
}

TEST_F(Planning, CornerSpeedsAndTheLastSegment) {
  Run(Chords(0, 0, 5, 0, kPi, 12));
  const std::vector<PlanSegment>& run = LongestRun();
  for (size_t i = 1; i + 1 < run.size(); i++) EXPECT_GE(run[i].m_dVc, m_device.m_dLoForContinue);
  double start = m_job.StartSpeed;
  EXPECT_EQ(start, run.back().m_dVc);
  // The stream's last item of the run carries the start velocity too.
  EXPECT_EQ(8, Moves().back().vc);
}

// A stop at the end of many short segments: braking reaches back over as many of them as
// it needs, each corner within reach of the next.
TEST_F(Planning, BrakingReachesBackOverShortSegments) {
  std::vector<PathRecord> records = {MoveRecord(kGLine, 0, 0, -1, kXYZ, true), MoveRecord(kGLine, 300, 0, -1, kXY)};
  for (int k = 1; k <= 40; k++) records.push_back(MoveRecord(kGLine, 300 + k * 0.5, 0, -1, kXY));
  Run(records);
  const std::vector<PlanSegment>& run = LongestRun();
  const CRampTable& ramp = m_proc.GetRampTable();
  for (size_t i = 1; i < run.size(); i++)
    EXPECT_LE(ramp.DistanceBetween(run[i - 1].m_dVc, run[i].m_dVc), run[i].m_dLength) << i;
  EXPECT_GT(run[2].m_dVc, 20);     // fast after the long line ...
  EXPECT_EQ(8, run.back().m_dVc);  // ... stopped at the end
}

// A rapid run is only timed: its speeds go out as set at intake, saturated to 16 bits.
TEST_F(Planning, SpeedsSaturateInSixteenBits) {
  m_device.m_dMaxSpeedX = m_device.m_dMaxSpeedY = 100000;
  Run({MoveRecord(kGRapid, 1000, 0, 50, kXYZ, true)});
  std::vector<StreamItem> moves = Moves();
  ASSERT_EQ(2u, moves.size());
  EXPECT_EQ(65535, moves[1].vn);
}

// ---- Smoothing

TEST_F(Planning, SmoothingGivesAChainOneRadiusAndSpeed) {
  std::vector<PathRecord> records = Chords(0, 0, 20, 0, kPi / 2, 16);
  for (size_t k = 1; k < records.size(); k++) records[k].m_dRadius = 20 + (k % 2 ? 0.5 : -0.5);  // jitter
  Run(records);
  const std::vector<PlanSegment>& run = LongestRun();
  int chained = 0;
  double radius = 0;
  for (size_t i = 1; i + 1 < run.size(); i++) {
    if (run[i].m_dOldRadius == kUnset) continue;
    if (chained++ == 0) radius = run[i].m_dRadius;
    EXPECT_EQ(radius, run[i].m_dRadius);
  }
  EXPECT_GE(chained, 10);
  EXPECT_NEAR(20, radius, 0.5);
}

TEST_F(Planning, WhatSmoothingLeavesAlone) {
  // three segments (the start and two moves)
  Run(Chords(0, 0, 20, 0, kPi / 8, 1));
  for (const PlanSegment& s : LongestRun()) EXPECT_EQ(kUnset, s.m_dOldRadius);
  // legs in a ratio above 10
  m_runs.runs.clear();
  std::vector<PathRecord> uneven = Chords(0, 0, 20, 0, kPi / 2, 8);
  Vec3 a = uneven[3].m_vEnd, b = uneven[4].m_vEnd;  // a short leg along the next chord: straight, yet uneven
  uneven.insert(uneven.begin() + 4,
                MoveRecord(kGLine, a.x + (b.x - a.x) * 0.02, a.y + (b.y - a.y) * 0.02, -1, kXY, false, 20, 180));
  Run(uneven);
  for (const PlanSegment& s : LongestRun())
    if (std::fabs(s.m_vEnd.x - uneven[4].m_vEnd.x) < 1e-9) {
      EXPECT_EQ(kUnset, s.m_dOldRadius);
    }
  // segments the optimiser marked as not to be smoothed
  m_runs.runs.clear();
  std::vector<PathRecord> marked = Chords(0, 0, 20, 0, kPi / 2, 8);
  for (PathRecord& r : marked) r.m_nFlags |= kSegNoSmoothing;
  Run(marked);
  for (const PlanSegment& s : LongestRun()) EXPECT_EQ(kUnset, s.m_dOldRadius);
}

// A chain of zero radii (the optimiser's sharp but smooth-looking vertices) still moves at
// the continuation speed at least.
TEST_F(Planning, AChainOfZeroRadiiDoesNotStop) {
  std::vector<PathRecord> records = Chords(0, 0, 20, 0, kPi / 2, 16);
  for (size_t k = 1; k < records.size(); k++) records[k].m_dRadius = 0;
  Run(records);
  const std::vector<PlanSegment>& run = LongestRun();
  for (size_t i = 1; i + 1 < run.size(); i++) EXPECT_GE(run[i].m_dVn, m_device.m_dLoForContinue) << i;
  for (const StreamItem& i : Moves()) EXPECT_GE(i.vn, 8);
}

// A chain's radius may allow more than the segment's axes do; the chain speed does not go
// above the segment's own limit.
TEST_F(Planning, SmoothingStaysWithinTheAxisLimits) {
  Run(Chords(0, 0, 1000, 0, 0.2, 10));  // 20 mm chords on a circle of 1000 mm
  for (const PlanSegment& s : LongestRun()) EXPECT_LE(s.m_dVn, s.m_dVmax + 1e-9);
  for (const StreamItem& i : Moves()) EXPECT_LE(i.vn, 227);  // 160 mm/s on each of X and Y
}

// ---- Arc fitting

TEST_F(Planning, HalfCircleOfLinesBecomesOneArc) {
  FitArcs();
  std::vector<PathRecord> records = Chords(50, 50, 20, 0, kPi, 40);
  Run(records);
  std::vector<StreamItem> arcs = Arcs();
  ASSERT_EQ(1u, arcs.size());
  EXPECT_EQ(DT_G03, arcs[0].code);  // counter-clockwise
  EXPECT_EQ(kPlaneXY, arcs[0].plane);
  EXPECT_EQ(2000, arcs[0].center[0]);
  EXPECT_EQ(2000, arcs[0].center[1]);
  EXPECT_EQ(800u, arcs[0].radius);
  // It ends at the last piece; nothing is left to send after it.
  EXPECT_EQ(1200, arcs[0].end[0]);
  EXPECT_NEAR(2000, arcs[0].end[1], 1);
}

TEST_F(Planning, WhatIsNotFitted) {
  FitArcs();
  struct Case {
    const char* name;
    std::vector<PathRecord> records;
  } cases[] = {
      {"four lines", Chords(50, 50, 20, 0, kPi / 2, 4)},
      {"a tilted circle", Chords(50, 50, 20, 0, kPi, 40)},
      // a circle in the XZ plane while the plane is XY
      {"another plane", {}},
      // an XY circle whose Z wobbles within the fitting tolerance: an arc cannot carry Z
      {"a wobbling circle", Chords(50, 50, 20, 0, kPi, 40)},
  };
  for (size_t k = 1; k < cases[3].records.size(); k++) {
    cases[3].records[k].m_vEnd.z = -1 + (k % 2 ? 0.03 : 0);
    cases[3].records[k].m_byAxes = kXYZ;
  }
  for (size_t k = 1; k < cases[1].records.size(); k++) {
    cases[1].records[k].m_vEnd.z = -1 - 0.2 * cases[1].records[k].m_vEnd.x / 20;
    cases[1].records[k].m_byAxes = kXYZ;
  }
  for (int k = 0; k <= 40; k++) {
    double a = kPi * k / 40;
    cases[2].records.push_back(MoveRecord(kGLine, 50 + 20 * std::cos(a), 0, -20 * std::sin(a) - 1, k ? 0xA0 : kXYZ,
                                          k == 0, k ? 20 : kUnset, 175.5));
  }
  for (const Case& c : cases) {
    m_items.clear();
    Run(c.records);
    EXPECT_EQ(0u, Arcs().size()) << c.name;
  }
  // The same circle in the plane it lies in is one arc.
  std::vector<PathRecord> xz = cases[2].records;
  xz.insert(xz.begin(), CodeRecord(18));
  Run(xz);
  ASSERT_EQ(1u, Arcs().size());
  EXPECT_EQ(kPlaneXZ, Arcs()[0].plane);
}

// Arcs shorter than MinArcReplace go out as lines.
TEST_F(Planning, ShortArcsBecomeLines) {
  UseGForm();
  std::vector<PathRecord> records = {MoveRecord(kGLine, 0.5, 0, -1, kXYZ, true)};
  for (int k = 1; k <= 4; k++) {
    double a = kPi / 2 * k / 4;
    records.push_back(ArcRecord(kGArcCCW, Vec3(0.5 * std::cos(a), 0.5 * std::sin(a), -1), Vec3(0, 0, -1), k == 4));
  }
  Run(records);
  EXPECT_EQ(0u, Arcs().size());
  EXPECT_EQ(6u, Moves().size());  // lift, the line, four pieces as lines
  m_settings.m_dMinArcReplace_mm = 0;
  Run(records);
  EXPECT_EQ(1u, Arcs().size());
}

// The pieces of an arc wait for its last one; when the run ends before it (here at a
// dwell) they go out as an arc of their own, and the rest follows from where they ended.
TEST_F(Planning, AnArcCutOffBeforeItsLastPieceIsStillSent) {
  UseGForm();
  Run(HalfCircleOfPieces(CodeRecord(4)));
  std::vector<StreamItem> arcs = Arcs();
  ASSERT_EQ(2u, arcs.size());
  EXPECT_EQ(0, arcs[0].end[0]);
  EXPECT_EQ(800, arcs[0].end[1]);
  EXPECT_EQ(-800, arcs[1].end[0]);
  EXPECT_NEAR(0, arcs[1].end[1], 1);
}

// An instruction among an arc's pieces goes out where it stood: after the arc up to there.
TEST_F(Planning, AnInstructionInsideAnArcFollowsThePiecesBeforeIt) {
  UseGForm();
  Run(HalfCircleOfPieces(TagRecord("M", 8)));
  std::vector<std::string> seq;
  for (const StreamItem& i : m_items) {
    if (i.kind == ItemKind::kGArc) seq.push_back("arc to " + std::to_string(i.end[0]));
    if (i.kind == ItemKind::kCommand && i.code == DT_M03 && i.value == 8) seq.push_back("M8");
  }
  EXPECT_EQ((std::vector<std::string>{"arc to 0", "M8", "arc to -800"}), seq);
}

}  // namespace
}  // namespace planner_testing
