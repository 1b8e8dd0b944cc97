// Record intake and runs: safe Z, the lift, tag markers and ranges, entry moves, run
// starts, relative splitting, Force2D and the end of a job.
#include <cmath>
#include <cstring>

#include "engine/planner/tests/planner_fixture.h"

namespace planner_testing {
namespace {

using Intake = PlannerTest;

const BYTE kXY = kAxisBitX | kAxisBitY;
const BYTE kXYZ = kAxisBitsXYZ;

// Every move item's end position, replayed.
std::vector<std::vector<int64_t>> Positions(const std::vector<StreamItem>& items) {
  std::vector<std::vector<int64_t>> out;
  CMoveReplay replay;
  for (const StreamItem& i : items)
    if (replay.Apply(i)) out.push_back({replay.Position(0), replay.Position(1), replay.Position(2)});
  return out;
}

bool Reaches(const std::vector<std::vector<int64_t>>& positions, int64_t x, int64_t y, int64_t z) {
  for (const auto& p : positions)
    if (std::llabs(p[0] - x) <= 1 && std::llabs(p[1] - y) <= 1 && std::llabs(p[2] - z) <= 1) return true;
  return false;
}

TEST_F(Intake, FirstMovesStayAtTheSafeZUntilOneMovesZ) {
  Run({MoveRecord(kGRapid, 10, 10, 0, kXY, true), MoveRecord(kGLine, 20, 10, 0, kXY),
       MoveRecord(kGLine, 20, 10, -1, kAxisBitZ), MoveRecord(kGLine, 30, 10, 0, kXY)});
  auto p = Positions(m_items);
  ASSERT_EQ(5u, p.size());
  EXPECT_EQ((std::vector<int64_t>{0, 0, 2000}), p[0]);  // the lift: min(100 mm of Z, parking 50)
  EXPECT_EQ((std::vector<int64_t>{400, 400, 2000}), p[1]);
  EXPECT_EQ((std::vector<int64_t>{800, 400, 2000}), p[2]);
  EXPECT_EQ((std::vector<int64_t>{800, 400, -40}), p[3]);
  EXPECT_EQ((std::vector<int64_t>{1200, 400, 0}), p[4]);  // the record's own Z from now on
}

// The engine lowers the parking lift after its range check, once the job has begun: the
// lift and the safe Z of the first moves both take the lowered height.
TEST_F(Intake, LiftAndSafeZShareTheParkingLiftGivenLast) {
  ASSERT_TRUE(StartJob(m_proc, &m_queue, m_job, m_device, m_settings));
  m_proc.SetParkingLift(20);
  RunRecords(m_proc, m_device, m_job,
             {MoveRecord(kGLine, 10, 0, 0, kAxisBitX, true), MoveRecord(kGLine, 20, 0, -1, kXYZ)});
  Decode();
  auto p = Positions(m_items);
  ASSERT_EQ(3u, p.size());
  EXPECT_EQ(800, p[0][2]);  // lift to 20 mm
  EXPECT_EQ(800, p[1][2]);  // the first move at that height, not at 50 mm
}

std::vector<PathRecord> ThreeTags() {
  return {MoveRecord(kGRapid, 0, 0, 5, kXYZ, true),    MoveRecord(kGLine, 10, 0, -1, kXYZ),
          MoveRecord(kGLine, 20, 0, -1, kXYZ, true),   MoveRecord(kGLine, 30, 0, -1, kXYZ),
          MoveRecord(kGLine, -30, 10, -2, kXYZ, true), MoveRecord(kGLine, -40, 20, -2, kXYZ)};
}

TEST_F(Intake, TagMarkersFollowTheRunOfTheTagBefore) {
  m_job.TotalTags = 3;
  Run(ThreeTags());
  // the lift, DH 0 twice, moves of tag 0, DH 1 twice, ... the closing markers
  std::vector<WORD> seq;
  for (const StreamItem& i : m_items) {
    if (i.IsMove() && (seq.empty() || seq.back() != 0xFFFF)) seq.push_back(0xFFFF);
    if (i.kind == ItemKind::kCommand && i.code == DT_DH) seq.push_back(WORD(100 + i.value));
  }
  EXPECT_EQ((std::vector<WORD>{0xFFFF, 100, 100, 0xFFFF, 101, 101, 0xFFFF, 102, 102, 0xFFFF, 103, 103, 103, 104}), seq);
}

TEST_F(Intake, EndOfJob) {
  std::strcpy(m_device.m_szEndString, "M5;SW0;");
  m_job.TotalTags = 3;
  Run(ThreeTags());
  std::vector<WORD> tail;
  std::vector<DWORD> values;
  for (size_t k = m_items.size() - 7; k < m_items.size(); k++) {
    tail.push_back(m_items[k].code);
    values.push_back(m_items[k].value);
  }
  EXPECT_EQ((std::vector<WORD>{DT_DH, DT_DH, DT_M03, DT_SW, DT_DH, DT_DH, DT_SP}), tail);
  EXPECT_EQ((std::vector<DWORD>{3, 3, 5, 0, 3, 4, 0}), values);
  EXPECT_TRUE(m_queue.m_bDeliveredDone);
  EXPECT_EQ(2, m_result);
}

// A tag range from tag 2: the earlier tags move nothing; the tool reaches the range's
// first point by a 45° move, the rest of XY, then Z.
TEST_F(Intake, TagRangeIsEnteredByEntryMoves) {
  Run(ThreeTags(), 2);
  auto p = Positions(m_items);
  ASSERT_EQ(6u, p.size());
  EXPECT_EQ((std::vector<int64_t>{0, 0, 2000}), p[0]);        // lift
  EXPECT_EQ((std::vector<int64_t>{-400, 400, 2000}), p[1]);   // 45° until Y is there
  EXPECT_EQ((std::vector<int64_t>{-1200, 400, 2000}), p[2]);  // the rest of X
  EXPECT_EQ((std::vector<int64_t>{-1200, 400, -80}), p[3]);   // down
  EXPECT_EQ((std::vector<int64_t>{-1200, 400, -80}), p[4]);   // the range's first record
  EXPECT_EQ((std::vector<int64_t>{-1600, 800, -80}), p[5]);
  EXPECT_EQ((std::vector<DWORD>{2, 2, 3, 3, 10, 11}), Values(DT_DH));
}

// Entry moves compare the sizes of the X and Y distances: a target whose deltas differ
// only in sign needs no 45° move of its own.
TEST_F(Intake, EntryMovesCompareMagnitudes) {
  std::vector<PathRecord> records = {MoveRecord(kGLine, 5, 5, -1, kXYZ, true),
                                     MoveRecord(kGLine, -30, 30, -1, kXYZ, true), MoveRecord(kGLine, 0, 0, -1, kXYZ)};
  Run(records, 1);
  auto p = Positions(m_items);
  ASSERT_EQ(5u, p.size());  // lift, XY, XYZ, then the range's own two moves
  EXPECT_EQ((std::vector<int64_t>{-1200, 1200, 2000}), p[1]);
  EXPECT_EQ((std::vector<int64_t>{-1200, 1200, -40}), p[2]);
}

// Moves before the first tag mark belong to tag 0: with a later range start they move
// nothing either.
TEST_F(Intake, MovesBeforeTheFirstTagMarkAreBeforeALaterRange) {
  Run({MoveRecord(kGLine, 50, 50, -1, kXYZ), MoveRecord(kGLine, 60, 50, -1, kXYZ),
       MoveRecord(kGLine, 0, 10, -1, kXYZ, true), MoveRecord(kGLine, 10, 10, -1, kXYZ, true),
       MoveRecord(kGLine, 20, 10, -1, kXYZ)},
      1);
  for (const auto& p : Positions(m_items)) EXPECT_LT(p[0], 2000) << "a move of tag 0 went out";
}

TEST_F(Intake, PassingTheRangeEndStopsTheJob) {
  ASSERT_TRUE(StartJob(m_proc, &m_queue, m_job, m_device, m_settings, 0, 1));
  std::vector<PathRecord> records = ThreeTags();
  std::vector<int> results;
  for (const PathRecord& r : records) results.push_back(m_proc.ProcessRecord(&r));
  EXPECT_EQ((std::vector<int>{0, 0, 1, 1, kRangePassed, kRangePassed}), results);
}

TEST_F(Intake, AnInsertedPieceThatDoesNotMoveIsIgnored) {
  PathRecord still = MoveRecord(kGLine, 10, 0, -1, kXYZ);
  still.m_nFlags = 0;
  Run({MoveRecord(kGLine, 10, 0, -1, kXYZ, true), still, MoveRecord(kGLine, 20, 0, -1, kXYZ)});
  EXPECT_EQ(3u, Moves().size());  // lift and two lines
}

// After a dwell the next moves begin a run of their own; its first move still goes out.
TEST_F(Intake, TheFirstMoveAfterADwellIsSent) {
  Run({MoveRecord(kGLine, 10, 0, -1, kXYZ, true), MoveRecord(kGLine, 20, 0, -1, kXYZ), CodeRecord(4),
       MoveRecord(kGLine, 30, 0, -1, kXYZ), MoveRecord(kGLine, 40, 0, -1, kXYZ)});
  auto p = Positions(m_items);
  EXPECT_TRUE(Reaches(p, 1200, 0, -40));
  EXPECT_TRUE(Reaches(p, 1600, 0, -40));
  EXPECT_EQ(5u, p.size());
}

// A run longer than the segment limit is cut where the machine passes at its continuation
// speed; the next run starts at the last point sent, so a relative job does not drift.
TEST_F(Intake, RunCutAtTheSegmentLimitContinuesFromTheLastPointSent) {
  m_job.RelativeCoords = TRUE;
  std::vector<PathRecord> records = {MoveRecord(kGLine, 0, 0, -1, kXYZ, true)};
  for (int i = 1; i <= 33000; i++)  // zigzag with tiny corner radii: corners at the continuation speed
    records.push_back(MoveRecord(kGLine, i * 0.1, (i % 2) * 0.1, -1, kXY, false, 0.01, 90));
  Run(records);
  auto p = Positions(m_items);
  ASSERT_FALSE(p.empty());
  EXPECT_EQ((std::vector<int64_t>{132000, 0, -40}), p.back());
  CCommandStreamDecoder decoder;
  for (const auto& f : m_queue.FrameData()) decoder.FeedFrame(f.data(), f.size());
  std::vector<int> blocks = decoder.BlockCounts();
  ASSERT_EQ(3u, blocks.size());  // the lift, then the run cut in two
  EXPECT_EQ(kSoftSegmentLimit, blocks[1]);
  EXPECT_EQ(33001 - kSoftSegmentLimit, blocks[2]);
}

TEST_F(Intake, RunsAreCutAtTheHardLimitWhateverTheSpeeds) {
  std::vector<PathRecord> records = {MoveRecord(kGLine, 0, 0, -1, kXYZ, true)};
  for (int i = 1; i <= kHardSegmentLimit; i++) records.push_back(MoveRecord(kGLine, i * 0.01, 0, -1, kXY));
  Run(records);
  CCommandStreamDecoder decoder;
  for (const auto& f : m_queue.FrameData()) decoder.FeedFrame(f.data(), f.size());
  std::vector<int> blocks = decoder.BlockCounts();
  ASSERT_EQ(3u, blocks.size());
  EXPECT_EQ(kHardSegmentLimit - 1, blocks[1]);
  EXPECT_EQ(2, blocks[2]);
}

// A relative job sends 16-bit deltas: every move is split on its real step deltas, rapids
// too. A 250 mm line with MaxSeg 100 goes in 3 pieces.
TEST_F(Intake, RelativeMovesAreSplitWithinSixteenBits) {
  m_job.RelativeCoords = TRUE;
  Run({MoveRecord(kGLine, 0, 0, -1, kXYZ, true), MoveRecord(kGLine, 250, 0, -1, kXY),
       MoveRecord(kGRapid, 250, 1000, -1, kXY), MoveRecord(kGLine, 0, 0, -1, kXY)});
  std::vector<StreamItem> moves = Moves();
  int pieces250 = 0;
  for (const StreamItem& i : moves) {
    if (!i.relative) continue;
    for (int a = 0; a < 3; a++) EXPECT_LE(std::abs(i.coord[a]), 32767);
    if (i.coord[0] != 0 && i.coord[1] == 0) pieces250++;
  }
  EXPECT_EQ(3, pieces250);
  auto p = Positions(m_items);
  EXPECT_EQ((std::vector<int64_t>{0, 0, -40}), p.back());
  EXPECT_TRUE(Reaches(p, 10000, 40000, -40));
}

// On a roll job the turning axis is scaled: its steps, not its millimetres, decide how a
// relative move is split.
TEST_F(Intake, RelativeSplitCountsTheScaledStepsOfTheRotaryAxis) {
  m_device.m_nMachineClass = 4;
  m_device.m_nRotaryAxis = 0;  // about X: Y turns the work
  m_job.RollEngrave = TRUE;
  m_job.RollDiameter = 80;
  m_job.RelativeCoords = TRUE;
  m_settings.m_dMaxSeg_mm = 1000;  // 40000 X steps: the piece limit is 32700
  Run({MoveRecord(kGLine, 0, 0, -1, kXYZ, true), MoveRecord(kGLine, 0, 500, -1, kXY)});
  // 500 mm of surface on 80 mm of diameter at 20000 pulses per turn: 39788 steps.
  auto p = Positions(m_items);
  EXPECT_EQ(39788, p.back()[1]);
  for (const StreamItem& i : Moves())
    if (i.relative) {
      EXPECT_LE(std::abs(i.coord[1]), 32767) << Describe(i);
    }
}

// Force2D drops Z; segments left without motion go, and the instructions held back with
// them stay in their place among the moves that remain.
TEST_F(Intake, Force2DKeepsHeldInstructionsInPlace) {
  m_proc.SetForce2D(TRUE);
  Run({MoveRecord(kGLine, 10, 0, -1, kXYZ, true), MoveRecord(kGLine, 10, 0, -2, kAxisBitZ), TagRecord("M", 8),
       MoveRecord(kGLine, 20, 0, -2, kXY), MoveRecord(kGLine, 20, 0, -3, kAxisBitZ, true), TagRecord("M", 9),
       MoveRecord(kGLine, 20, 0, -4, kAxisBitZ), MoveRecord(kGRapid, 0, 0, 5, kXYZ, true)});
  std::vector<std::string> seq;
  CMoveReplay replay;
  for (const StreamItem& i : m_items) {
    if (replay.Apply(i))
      seq.push_back(std::to_string(replay.Position(0)));
    else if (i.kind == ItemKind::kCommand && i.code == DT_M03)
      seq.push_back("M" + std::to_string(i.value));
  }
  // start commands (M9 coolant, M3 spindle), the moves to 400 and 800 with M8 between,
  // the Z-only run gone but its M9 still sent, the rapid home
  std::vector<std::string> expected = {"M9", "M3", "0", "400", "M8", "800", "M9", "0"};
  EXPECT_EQ(expected, seq);
}

TEST_F(Intake, Force2DDropsZFromRunsAndArcs) {
  m_proc.SetForce2D(TRUE);
  UseGForm();
  PathRecord helix = ArcRecord(kGArcCCW, Vec3(-10, 0, -3), Vec3(0, 0, 0));
  helix.m_byAxes = kAxisBitsXYZ;
  Run({MoveRecord(kGLine, 10, 0, -1, kXYZ, true), helix});
  for (const StreamItem& i : Moves()) {
    EXPECT_NE(ItemKind::kGArc, i.kind) << "an arc that moved Z goes as a line";
    if (i.kind == ItemKind::kGLine && i.code == DT_G01) {
      EXPECT_EQ(0, i.axes & kAxisBitZ);
    }
  }
}

}  // namespace
}  // namespace planner_testing
