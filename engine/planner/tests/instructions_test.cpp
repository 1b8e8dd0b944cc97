// Instruction texts, start commands, tag records, tool selection, M codes and the
// instructions held back inside a run.
#include <cstring>

#include "engine/planner/tests/planner_fixture.h"

namespace planner_testing {
namespace {

class Instructions : public PlannerTest {
 protected:
  // Commands written by `write` on a prepared job, as (code, value) pairs.
  template <class F>
  std::vector<std::pair<WORD, DWORD>> Written(F write) {
    m_queue.Clear();
    CString error;
    m_proc.SetOutput(&m_queue);
    m_proc.SetForce2D(m_force2D);
    EXPECT_TRUE(m_proc.PrepareJob(m_job, m_device, m_settings, error));
    m_proc.BeginJob(0, 0);
    write();
    m_proc.FlushOutput();
    Decode();
    std::vector<std::pair<WORD, DWORD>> out;
    for (const StreamItem& i : m_items)
      if (i.kind == ItemKind::kCommand) out.push_back({i.code, i.value});
    return out;
  }
  std::vector<std::pair<WORD, DWORD>> Tag(const char* name, double value) {
    PathRecord r = TagRecord(name, value);
    return Written([&] { m_proc.ProcessRecord(&r); });
  }
  BOOL m_force2D = FALSE;
};

typedef std::vector<std::pair<WORD, DWORD>> Commands;

// SS, SU, SD, SZ and G97 of tool selection with the plain job's velocities.
Commands Selection(DWORD spindle = 18000) {
  return {{DT_SS, 8}, {DT_SU, 100}, {DT_SD, 40}, {DT_SZ, 10}, {DT_G97, spindle}};
}
Commands Join(Commands a, const Commands& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(Instructions, InstructionText) {
  struct Case {
    const char* text;
    Commands expected;
  } cases[] = {
      // pieces without a closing ";" are ignored; blanks go first
      {"SW1; SP2; M3", Join({{DT_SW, 1}}, Join(Selection(), {{DT_SP, 2}}))},
      {"IN;", {}},
      {"G90;G17;", {}},
      {"m8;sa300;", {{DT_M03, 8}, {DT_CS, 50}, {DT_PN, 2}, {DT_CU, 10}, {DT_SA, 300}}},
      {";;S;XY9;", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Written([&] { m_proc.ParseInstructionString(c.text); })) << c.text;
}

TEST_F(Instructions, ZwOfAnInstructionTextIsSentWithTheStartCommands) {
  Commands out = Written([&] {
    m_proc.ParseInstructionString("ZW250;");
    m_proc.AddStartCommands();
  });
  Commands expected = {{DT_SS, 8},  {DT_SU, 100}, {DT_SD, 40}, {DT_SZ, 10},     {DT_CS, 50}, {DT_PN, 2},
                       {DT_CU, 10}, {DT_SA, 500}, {DT_M03, 9}, {DT_G97, 18000}, {DT_M03, 3}, {DT_ZW, 250}};
  EXPECT_EQ(expected, out);
}

TEST_F(Instructions, StartCommandsByMachine) {
  Commands common = {{DT_SS, 8},  {DT_SU, 100}, {DT_SD, 40}, {DT_SZ, 10},
                     {DT_CS, 50}, {DT_PN, 2},   {DT_CU, 10}, {DT_SA, 500}};
  // A plasma cutter: spindle speed x 10, surface detection and S-word switches, ZZ 0.
  m_device.m_nMachineClass = 1;
  m_job.CoolantOn = TRUE;
  m_job.SWordEnabled = TRUE;
  EXPECT_EQ(Join(common, {{DT_M03, 8}, {DT_G97, 180000}, {DT_M03, 3}, {DT_M03, 128}, {DT_M03, 145}, {DT_ZZ, 0}}),
            Written([&] { m_proc.AddStartCommands(); }));
  // A log engraver on its roll: ZZ 3 when it turns about X.
  m_device.m_nMachineClass = 4;
  m_job.CoolantOn = FALSE;
  m_job.SpindleOn = FALSE;
  m_job.RollEngrave = TRUE;
  m_job.RollDiameter = 50;
  EXPECT_EQ(Join(common, {{DT_M03, 9}, {DT_M03, 5}, {DT_ZZ, 3}}), Written([&] { m_proc.AddStartCommands(); }));
  // Force2D on a router: ZZ 0 at the end.
  m_device = PlainDevice();
  m_job = PlainJob(10);
  m_force2D = TRUE;
  EXPECT_EQ(Join(common, {{DT_M03, 9}, {DT_G97, 18000}, {DT_M03, 3}, {DT_ZZ, 0}}),
            Written([&] { m_proc.AddStartCommands(); }));
}

TEST_F(Instructions, TagRecords) {
  m_job.SWordEnabled = TRUE;
  struct Case {
    const char* name;
    double value;
    Commands expected;
  } cases[] = {
      {"IN", 0, {{DT_IN, 0xAAAA}}},
      {"SW", 1, {{DT_SW, 1}}},
      {"SA", 200, {{DT_CS, 50}, {DT_PN, 2}, {DT_CU, 10}, {DT_SA, 200}}},
      {"ZW", 300, {{DT_ZW, 300}}},
      {"ZZ", 1, {{DT_ZZ, 1}}},
      {"SP", 2.7, Join(Selection(), {{DT_SP, 2}})},
      {"PU", 1, {{DT_PU, 1}}},
      {"pd", 2, {{DT_PD, 2}}},
      {"F", 20, {}},
      {"S", 12000, {{DT_G97, 12000}}},
      {"M", 8, {{DT_M03, 8}}},
      {"T", 4, Join(Selection(), {{DT_SP, 4}})},
      {"P", 7, {{DT_P, 7}}},
      {"Y", 10, {{DT_Y, 400}}},
      {"D", 3, {{DT_D, 3}}},
      {"@T", 3.02, {}},  // one spindle: nothing
      {"#X", 5, {}},
      {"QQ", 5, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Tag(c.name, c.value)) << c.name;
}

TEST_F(Instructions, SWordsAndFWordsFollowTheirSwitches) {
  m_job.SWordEnabled = FALSE;
  EXPECT_EQ(Commands{}, Tag("S", 12000));
}

// After a plasma start (ZZ 0 sent), ZZ 0 and 1 are not sent again; 2 is.
TEST_F(Instructions, ZzGuard) {
  m_device.m_nMachineClass = 1;
  PathRecord one = TagRecord("ZZ", 1), two = TagRecord("ZZ", 2);
  Commands out = Written([&] {
    m_proc.AddStartCommands();
    m_proc.ProcessRecord(&one);
    m_proc.ProcessRecord(&two);
  });
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ((std::pair<WORD, DWORD>(DT_ZZ, 0)), out[out.size() - 2]);
  EXPECT_EQ((std::pair<WORD, DWORD>(DT_ZZ, 2)), out.back());
}

// "@T" 3.02 puts tool 3 in slot 2; a later "T" 2 selects tool 2's velocities and sends
// the slot's tool with bit 15.
TEST_F(Instructions, ToolSlots) {
  m_device.m_nSpindles = 2;
  m_job.ToolCount = 1;
  std::strcpy(m_job.ToolSpeeds[0].Key, "t2");
  m_job.ToolSpeeds[0].Traverse = 150;
  m_job.ToolSpeeds[0].Start = 0.5;  // below 1: the job's own
  m_job.ToolSpeeds[0].SpindleSpeed = 24000;
  PathRecord at = TagRecord("@t", 3.02), t = TagRecord("T", 2);
  Commands out = Written([&] {
    m_proc.ProcessRecord(&at);
    m_proc.ProcessRecord(&t);
  });
  Commands expected = {{DT_AT, 0x00030002}, {DT_SS, 8},      {DT_SU, 150},   {DT_SD, 40},
                       {DT_SZ, 10},         {DT_G97, 24000}, {DT_SP, 0x8003}};
  EXPECT_EQ(expected, out);
}

// A tool table can hold 16 entries; a larger count reads no further.
TEST_F(Instructions, ToolCountAboveSixteenIsClamped) {
  m_job.ToolCount = 40;
  for (int i = 0; i < kMaxToolSpeeds; i++) {
    std::snprintf(m_job.ToolSpeeds[i].Key, sizeof m_job.ToolSpeeds[i].Key, "T%d", i + 1);
    m_job.ToolSpeeds[i].Feed = 100 + i;
  }
  EXPECT_EQ(Join({{DT_SS, 8}, {DT_SU, 100}, {DT_SD, 115}, {DT_SZ, 10}, {DT_G97, 18000}}, {{DT_SP, 16}}), Tag("T", 16));
  EXPECT_EQ(Join(Selection(), {{DT_SP, 17}}), Tag("T", 17));
}

// The record's slot at 114 belongs to the writer's memory; whatever it holds, nothing
// changes.
TEST_F(Instructions, TheToolSlotOfARecordIsNotRead) {
  PathRecord plain = TagRecord("T", 3), stray = TagRecord("T", 3);
  stray.m_nToolRef = 0xDEADBEEF;
  EXPECT_EQ(Written([&] { m_proc.ProcessRecord(&plain); }), Written([&] { m_proc.ProcessRecord(&stray); }));
}

TEST_F(Instructions, MCodes) {
  struct Case {
    int m;
    BOOL passThru, tWords;
    int spindles;
    bool sent;
  } cases[] = {
      {3, FALSE, FALSE, 1, true},    {9, FALSE, FALSE, 1, true},  {6, FALSE, FALSE, 1, false},
      {6, TRUE, FALSE, 1, true},     {105, FALSE, TRUE, 2, true}, {105, FALSE, TRUE, 1, false},
      {105, FALSE, FALSE, 2, false}, {215, FALSE, TRUE, 3, true}, {116, FALSE, TRUE, 2, false},
      {116, TRUE, TRUE, 2, true},
  };
  for (const Case& c : cases) {
    m_settings.m_bPassThruUnknownMcode = c.passThru;
    m_job.TWordEnabled = c.tWords;
    m_device.m_nSpindles = c.spindles;
    Commands expected;
    if (c.sent) expected.push_back({DT_M03, (DWORD)c.m});
    EXPECT_EQ(expected, Tag("M", c.m)) << "M" << c.m;
  }
}

// A tag record between two moves of a run goes out after the first of them: the move
// block ends there and a new one begins after the instruction.
TEST_F(Instructions, HeldInstructionsCloseTheMoveBlock) {
  Run({MoveRecord(kGLine, 10, 0, -1, kAxisBitsXYZ, true), TagRecord("M", 8), MoveRecord(kGLine, 20, 0, -1, kAxisBitX),
       MoveRecord(kGLine, 30, 0, -1, kAxisBitX)});
  CCommandStreamDecoder decoder;
  for (const auto& f : m_queue.FrameData()) decoder.FeedFrame(f.data(), f.size());
  EXPECT_EQ((std::vector<int>{1, 1, 2}), decoder.BlockCounts());  // lift, up to the M8, the rest
  std::vector<std::string> seq;
  CMoveReplay replay;
  for (const StreamItem& i : m_items) {
    if (replay.Apply(i))
      seq.push_back(std::to_string(replay.Position(0)));
    else if (i.kind == ItemKind::kCommand && i.code == DT_M03 && i.value == 8)
      seq.push_back("M8");
  }
  EXPECT_EQ((std::vector<std::string>{"0", "400", "M8", "800", "1200"}), seq);
}

TEST_F(Instructions, FeedWordTakesEffectForTheFollowingSegments) {
  m_job.FWordEnabled = TRUE;
  Run({MoveRecord(kGLine, 100, 0, -1, kAxisBitsXYZ, true), MoveRecord(kGLine, 200, 0, -1, kAxisBitX),
       TagRecord("F", 20), MoveRecord(kGLine, 300, 0, -1, kAxisBitX), MoveRecord(kGLine, 400, 0, -1, kAxisBitX)});
  std::vector<StreamItem> moves = Moves();
  ASSERT_EQ(5u, moves.size());
  EXPECT_GT(moves[2].vn, 20);
  EXPECT_EQ(20, moves[3].vn);
  EXPECT_EQ(20, moves[4].vn);
}

// Orientations that exchange X and Y exchange the XZ and YZ planes of the plane codes.
TEST_F(Instructions, PlaneCodesFollowTheOrientation) {
  UseGForm();
  struct Case {
    int orientation;
    WORD code;
    WORD plane;
  } cases[] = {{1, 18, kPlaneXZ}, {1, 19, kPlaneYZ}, {3, 18, kPlaneYZ}, {8, 19, kPlaneXZ}, {2, 17, kPlaneXY}};
  for (const Case& c : cases) {
    m_queue.Clear();
    m_job.Orientation = c.orientation;
    PathRecord arc = ArcRecord(kGArcCW, Vec3(0, 0, -20), Vec3(0, 0, -10));
    arc.m_byAxes = kAxisBitsXYZ;
    Run({MoveRecord(kGLine, 0, 0, 0, kAxisBitsXYZ, true), CodeRecord(c.code), arc});
    bool found = false;
    for (const StreamItem& i : m_items)
      if (i.kind == ItemKind::kGArc) {
        EXPECT_EQ(c.plane, i.plane) << c.orientation << " " << c.code;
        found = true;
      }
    EXPECT_TRUE(found) << c.orientation << " " << c.code;
  }
}

}  // namespace
}  // namespace planner_testing
