#include <gtest/gtest.h>

#include <cmath>

#include "nc/interp/interp_exec.h"
#include "nc/interp/tests/gcode_fixture.h"

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

using interp_testing::GCodeTest;
using interp_testing::Lines;

TEST_F(GCodeTest, TagsAndModes) {
  struct Case {
    const char* program;
    Lines elements;
  } cases[] = {
      {"F600", {"F=10"}},
      {"G93 F600", {}},
      {"S12000 M3", {"S=12000", "M=3"}},
      {"T3\nT3", {"T=3", "T=3"}},
      {"G4 P1.5", {"ZW=1500"}},
      {"G20 G0 X1", {"G20", "R(25.4,0,0)"}},
      {"G91 G1 X5\nG1 X5", {"G91", "F(5,0,0)", "F(10,0,0)"}},
      {"G17 G18 G19", {"G17"}},  // one plane per line: reading stops at the second
      {"G18\nG19\nG17", {"G18", "G19", "G17"}},
      {"G90 G98\nG99", {"G90", "G98", "G99"}},
      {"G38.2 X1 Y2", {}},
      {"G1 X0\nG100 P2 Y5", {"F(0,0,0)", "P=2", "Y=5", "F(0,5,0)"}},
      {"G80\nG100 P2 D3 Y5", {"G80", "P=2", "D=3", "Y=5", "G80"}},
      {"G20 G54", {"G20"}},
      // The order of the M codes of one line: user, tool change, spindle, coolant,
      // overrides, then the stop after the moves.
      {"M0 M49 M9 M5 M6 M101 G0 X1", {"M=101", "M=6", "M=5", "M=9", "M=49", "R(1,0,0)", "M=0"}},
      {"M2\nG0 X1", {"M=2"}},
      {"M30\nG0 X1", {"M=30"}},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    Load(c.program);
    EXPECT_EQ(c.elements, Elements()) << c.program;
  }
}

TEST_F(GCodeTest, StateAfterBlocks) {
  Load("T12\nT1\nF300 S9000\nM3\nG38.2 X1 Y2 A7\nM8 M48\n");
  EXPECT_STREQ("T12T1", m_program->GetUsedTools());
  EXPECT_EQ(1, State().selected_tool_slot);
  EXPECT_EQ(300.0, State().feed_rate);
  EXPECT_EQ(9000.0, State().speed);
  EXPECT_EQ(2, State().spindle_turning);
  EXPECT_EQ(1.0, State().parameters[5061]);
  EXPECT_EQ(2.0, State().parameters[5062]);
  EXPECT_EQ(0.0, State().parameters[5063]);
  EXPECT_EQ(7.0, State().parameters[5064]);
  EXPECT_EQ(-1, State().motion_mode);  // probing leaves the motion mode
  EXPECT_EQ(1, State().flood);
  EXPECT_EQ(8, State().active_m_codes[5]);
  EXPECT_EQ(48, State().active_m_codes[6]);
}

TEST_F(GCodeTest, AxisFactorsAndUnits) {
  Load("G1 X1 Y1 Z1\nG38.2 X1 Y1 Z1\nG20\nG100 Y1\n", "t.nc", Vec3(2.0, 3.0, -1.0));
  // G100 moves the head and, with the modal G1, the machine too.
  EXPECT_EQ((Lines{"F(2,3,-1)", "G20", "Y=76.2", "F(2,76.2,-1)"}), Elements());
  EXPECT_EQ(2.0, State().parameters[5061]);
  EXPECT_EQ(3.0, State().parameters[5062]);
  EXPECT_EQ(-1.0, State().parameters[5063]);
}

// Arcs: the centre from I, J, K (relative, else absolute) or from R, in all planes.
TEST_F(GCodeTest, ArcCentres) {
  struct Case {
    const char* program;
    const char* arc;
  } cases[] = {
      {"G2 X10 Y0 I5 J0", "CW(10,0,0)@(5,0,0)"},
      {"G0 X20\nG2 X30 Y0 I25 J0", "CW(30,0,0)@(25,0,0)"},  // relative fails, absolute fits
      {"G3 X0 Y10 I0 J5", "CCW(0,10,0)@(0,5,0)"},
      {"G2 X10 Y0 R5", "CW(10,0,0)@(5,0,0)"},
      {"G2 X10 Y0 R10", "CW(10,0,0)@(5,-8.66025,0)"},
      {"G2 X10 Y0 R-10", "CW(10,0,0)@(5,8.66025,0)"},
      {"G3 X10 Y0 R10", "CCW(10,0,0)@(5,8.66025,0)"},
      {"G2 X10 Y0 Z-1 I5", "CW(10,0,-1)@(5,0,0)"},  // helical: centre at the start's Z
      {"G18 G2 X10 Z0 I5 K0", "CW(10,0,0)@(5,0,0)"},
      {"G18 G3 X0 Z10 R5", "CCW(0,0,10)@(0,0,5)"},
      {"G19 G2 Y10 Z0 J5 K0", "CW(0,10,0)@(0,5,0)"},
      {"G19 G3 Y0 Z10 K5", "CCW(0,0,10)@(0,0,5)"},
      {"G19 G2 Y10 Z0 R5", "CW(0,10,0)@(0,5,0)"},
      {"G91 G0 X1 Y1\nG2 X10 Y0 I5", "CW(11,1,0)@(6,1,0)"},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    Load(c.program);
    Lines e = Elements();
    ASSERT_FALSE(e.empty()) << c.program;
    EXPECT_EQ(c.arc, e.back()) << c.program;
    EXPECT_EQ("", Report()) << c.program;
  }
}

TEST_F(GCodeTest, ArcFromRadiusGeometry) {
  // Start to end (10, 0) with |R| 10: the short arc for R > 0, the long one for R < 0.
  Vec3 start, end(10, 0, 0);
  Vec3 c = ArcCenterFromRadius(2, 0, kAxesXY, start, end, 10.0);
  EXPECT_NEAR(5.0, c.x, 1e-9);
  EXPECT_NEAR(-std::sqrt(75.0), c.y, 1e-9);
  c = ArcCenterFromRadius(3, 0, kAxesXY, start, end, -10.0);
  EXPECT_NEAR(-std::sqrt(75.0), c.y, 1e-9);
  // An end beyond the diameter: the centre on the chord at |R| from the start.
  c = ArcCenterFromRadius(2, 0, kAxesXY, start, end, 2.0);
  EXPECT_NEAR(2.0, c.x, 1e-9);
  EXPECT_NEAR(0.0, c.y, 1e-9);
  // No usable radius, direction or plane: the start point.
  EXPECT_EQ(start, ArcCenterFromRadius(2, 0, kAxesXY, start, end, 0.0));
  EXPECT_EQ(start, ArcCenterFromRadius(1, 0, kAxesXY, start, end, 5.0));
  EXPECT_EQ(start, ArcCenterFromRadius(2, 2, kAxesXY, start, end, 5.0));
}

TEST_F(GCodeTest, ArcErrors) {
  struct Case {
    const char* line;
    const char* report;
  } cases[] = {
      {"G2 X1 R1 I1", "Line 1: [G2 X1 R1 I1],Exec:Mixed radius ijk format for arc\r\n"},
      {"G2 Z1 I1", "Line 1: [G2 Z1 I1],Exec:X and y words missing for arc in xy plane\r\n"},
      {"G18 G2 Y1 I1", "Line 1: [G18 G2 Y1 I1],Exec:X and z words missing for arc in xz plane\r\n"},
      {"G19 G2 X1 J1", "Line 1: [G19 G2 X1 J1],Exec:Y and z words missing for arc in yz plane\r\n"},
      {"G2 X1", "Line 1: [G2 X1],Exec:R i j k words all missing for arc\r\n"},
      {"G2 A1 R1", "Line 1: [G2 A1 R1],Exec:All axes missing with motion code\r\n"},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    EXPECT_TRUE(Load(c.line)) << c.line;
    EXPECT_EQ(c.report, Report()) << c.line;
  }
}

// An arc that needs more pieces than an arc may have (it could not keep its chord height)
// stops the load: the moves after it would start from the wrong place.
TEST_F(GCodeTest, ArcsBeyondAnyMachineAreRefused) {
  // A full circle of 5e12 mm would be cut into some 10^8 pieces; 1e6 mm fits.
  EXPECT_TRUE(Load("G2 X0 Y0 I1000000\n"));
  EXPECT_EQ((Lines{"CW(0,0,0)@(1e+06,0,0)"}), Elements());
  m_program->Reset();
  EXPECT_FALSE(Load("G0 X0 Y0\nG2 X0 Y0 I5000000000000\nG1 X1\n"));
  EXPECT_EQ("Line 2: Arc too large to split within the chord tolerance\r\n", Report());
  EXPECT_EQ((Lines{"R(0,0,0)"}), Elements());
}

TEST_F(GCodeTest, InfiniteValuesAreNoWords) {
  EXPECT_TRUE(Load("#1=[exp[1000]]\nG1 X#1\nG1 X[0*#1]\n"));
  EXPECT_EQ(
      "Line 2: [G1 X#1],<X>Bad number format,Check:All axes missing with motion code,"
      "Exec:All axes missing with motion code\r\n"
      "Line 3: [G1 X[0*#1]],<X[0*>Bad number format,Check:All axes missing with motion code,"
      "Exec:All axes missing with motion code\r\n",
      Report());
  EXPECT_EQ((Lines{}), Elements());
}

TEST_F(GCodeTest, AnArcThatFitsNoCentreStopsTheLoad) {
  EXPECT_FALSE(Load("G1 X0\nG2 X10 Y0 I1 J0\nG1 X5\n"));
  EXPECT_EQ((Lines{"F(0,0,0)"}), Elements());
  EXPECT_EQ("Line 2: [G2 X10 Y0 I1 J0],Exec:Radius to end of arc differs from radius to start\r\n", Report());
  EXPECT_EQ(1, ReadState(*m_program).m_bStop);
}

// An R arc whose radius cannot reach its end point has no centre: it stops the load
// (as a centre that fits neither reading does) instead of becoming an arc whose start and
// end radii differ.
TEST_F(GCodeTest, ImpossibleRadiusArcsStopTheLoad) {
  struct {
    const char* arc;
    bool loads;
    Lines elements;
  } cases[] = {
      {"G2 X10 Y0 R2", false, {"R(0,0,0)"}},
      {"G2 X10 Y0 R0", false, {"R(0,0,0)"}},
      {"G3 X10 Y0 R-4.9", false, {"R(0,0,0)"}},
      {"G2 X10 Y0 R5", true, {"R(0,0,0)", "CW(10,0,0)@(5,0,0)", "F(20,0,0)"}},
      // Half the chord past the radius by less than the centre words' tolerance: a half
      // circle with a rounded radius.
      {"G2 X10 Y0 R4.998", true, {"R(0,0,0)", "CW(10,0,0)@(5,0,0)", "F(20,0,0)"}},
  };
  for (const auto& k : cases) {
    m_program->Reset();
    EXPECT_EQ(k.loads, Load(std::string("G0 X0 Y0\n") + k.arc + "\nG1 X20\n")) << k.arc;
    EXPECT_EQ(k.elements, Elements()) << k.arc;
    if (!k.loads) {
      EXPECT_EQ("Line 2: [" + std::string(k.arc) + "],Exec:Arc radius too small to reach end point\r\n", Report())
          << k.arc;
    }
  }
}

// After G88 the tool is at the bottom of the hole until it is taken out: the stop the
// cycle asks for ("M" 0), then the retract, so the next move starts at the clearance.
TEST_F(GCodeTest, AMoveAfterG88StartsAtTheClearance) {
  EXPECT_TRUE(Load("M3\nG0 Z5\nG88 X5 Y5 Z-2 R1 P1\nG0 X20\n"));
  EXPECT_EQ((Lines{"M=3", "R(0,0,5)", "G88", "R(5,5,5)", "R(5,5,1)", "F(5,5,-2)", "ZW=1000", "M=5", "M=0", "R(5,5,1)",
                   "M=3", "R(20,5,1)"}),
            AllElements());
  EXPECT_EQ(Vec3(20, 5, 1), m_program->GetReadState().m_vLastPoint);
}

// [UnitSystem] "XYZAbs" = disable makes every coordinate incremental: moves and canned
// cycles alike.
TEST_F(GCodeTest, DistanceModeFollowsTheSetting) {
  PutParamValue("UnitSystem", "XYZAbs", "disable");
  m_program->Reset();
  EXPECT_TRUE(Load("G0 Z5\nG1 X1\nG1 X1\nG81 X10 Z-3 R-1 L2\n"));
  EXPECT_EQ((Lines{"R(0,0,5)", "F(1,0,5)", "F(2,0,5)", "G81", "R(12,0,5)", "R(12,0,4)", "F(12,0,1)", "R(12,0,4)",
                   "R(22,0,4)", "F(22,0,1)", "R(22,0,4)"}),
            Elements());
  EXPECT_EQ("", Report());
  EXPECT_EQ(1, State().distance_mode);
}

TEST_F(GCodeTest, RefusedCodes) {
  struct Case {
    const char* line;
    const char* report;
  } cases[] = {
      {"G54", "Line 1: [G54],Exec:Unknown g code used\r\n"},
      {"G40", "Line 1: [G40],Exec:Unknown g code used\r\n"},
      {"G61", "Line 1: [G61],Exec:Unknown g code used\r\n"},
      {"G10 L2 P1", "Line 1: [G10 L2 P1],Exec:Unknown g code used\r\n"},
      {"G92 X0", "Line 1: [G92 X0],Exec:Unknown g code used\r\n"},
      {"G4", "Line 1: [G4],Check:Dwell time missing with g4,Exec:Dwell time missing with g4\r\n"},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    EXPECT_TRUE(Load(c.line)) << c.line;
    EXPECT_EQ(c.report, Report()) << c.line;
  }
}

// Canned cycles: the moves of one block, in every plane.
TEST_F(GCodeTest, CannedCycles) {
  struct Case {
    const char* program;
    Lines elements;
  } cases[] = {
      {"G0 Z10\nG81 X5 Y5 Z-2 R1", {"R(0,0,10)", "G81", "R(5,5,10)", "R(5,5,1)", "F(5,5,-2)", "R(5,5,1)"}},
      {"G0 Z10\nG98 G81 X5 Y5 Z-2 R1", {"R(0,0,10)", "G98", "G81", "R(5,5,10)", "R(5,5,1)", "F(5,5,-2)", "R(5,5,10)"}},
      // The modal cycle repeats with the remembered R and depth; X alone moves only X.
      {"G0 Z10\nG81 X5 Y5 Z-2 R1\nX10",
       {"R(0,0,10)", "G81", "R(5,5,10)", "R(5,5,1)", "F(5,5,-2)", "R(5,5,1)", "G81", "R(10,5,1)", "F(10,5,-2)",
        "R(10,5,1)"}},
      {"G0 Z5\nG91 G81 X10 Z-3 R-1 L3",
       {"R(0,0,5)", "G91", "G81", "R(10,0,5)", "R(10,0,4)", "F(10,0,1)", "R(10,0,4)", "R(20,0,4)", "F(20,0,1)",
        "R(20,0,4)", "R(30,0,4)", "F(30,0,1)", "R(30,0,4)"}},
      // Below the R level the tool first rises to it.
      {"G81 X1 Z-1 R2", {"G81", "R(0,0,2)", "R(1,0,2)", "F(1,0,-1)", "R(1,0,2)"}},
      {"G0 Z5\nG82 X1 Z-1 R1 P0.5", {"R(0,0,5)", "G82", "R(1,0,5)", "R(1,0,1)", "F(1,0,-1)", "ZW=500", "R(1,0,1)"}},
      {"G0 Z5\nG83 Z-3 R1 Q1.5",
       {"R(0,0,5)", "G83", "R(0,0,1)", "F(0,0,-0.5)", "R(0,0,1)", "R(0,0,-0.246)", "F(0,0,-2)", "R(0,0,1)",
        "R(0,0,-1.746)", "F(0,0,-3)", "R(0,0,1)"}},
      {"M3\nG0 Z5\nG84 Z-1 R1",
       {"M=3", "R(0,0,5)", "G84", "R(0,0,1)", "F(0,0,-1)", "M=5", "M=4", "F(0,0,1)", "M=5", "M=3"}},
      {"G0 Z5\nG85 Z-1 R1", {"R(0,0,5)", "G85", "R(0,0,1)", "F(0,0,-1)", "F(0,0,1)"}},
      {"M4\nG0 Z5\nG86 Z-1 R1 P2",
       {"M=4", "R(0,0,5)", "G86", "R(0,0,1)", "F(0,0,-1)", "ZW=2000", "M=5", "R(0,0,1)", "M=4"}},
      {"M3\nG0 Z5\nG87 Z-1 R1 I2 J0 K0.5",
       {"M=3", "R(0,0,5)", "G87", "R(0,0,1)", "R(2,0,1)", "M=5", "R(2,0,-1)", "R(0,0,-1)", "M=3", "F(0,0,0.5)",
        "F(0,0,-1)", "M=5", "R(2,0,-1)", "R(2,0,1)", "R(0,0,1)", "M=3"}},
      // The operator retracts by hand at the program stop; the path retracts after it.
      {"M3\nG0 Z5\nG88 Z-1 R1 P1",
       {"M=3", "R(0,0,5)", "G88", "R(0,0,1)", "F(0,0,-1)", "ZW=1000", "M=5", "M=0", "R(0,0,1)", "M=3"}},
      {"G0 Z5\nG89 Z-1 R1 P1", {"R(0,0,5)", "G89", "R(0,0,1)", "F(0,0,-1)", "ZW=1000", "F(0,0,1)"}},
      // XZ plane: holes in Z and X, depth along Y.
      {"G18\nG0 Y5\nG81 X2 Z3 Y-1 R1", {"G18", "R(0,5,0)", "G81", "R(2,5,3)", "R(2,1,3)", "F(2,-1,3)", "R(2,1,3)"}},
      // YZ plane: holes in Y and Z, depth along X.
      {"G19\nG0 X5\nG81 Y2 Z3 X-1 R1", {"G19", "R(5,0,0)", "G81", "R(5,2,3)", "R(1,2,3)", "F(-1,2,3)", "R(1,2,3)"}},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    Load(c.program);
    EXPECT_EQ(c.elements, Elements()) << c.program;
    EXPECT_EQ("", Report()) << c.program;
  }
}

TEST_F(GCodeTest, CannedCycleErrors) {
  struct Case {
    const char* program;
    const char* report;
  } cases[] = {
      {"G81 X1 Y1 Z5 R1", "Line 1: [G81 X1 Y1 Z5 R1],Exec:R less than z in cycle in xy plane\r\n"},
      {"G81 X1 Y1 Z-1", "Line 1: [G81 X1 Y1 Z-1],Exec:R clearance plane unspecified in cycle\r\n"},
      {"G81 X1 Y1 R1", "Line 1: [G81 X1 Y1 R1],Exec:Z value unspecified in xy plane canned cycle\r\n"},
      {"G19 G81 Y1 R1", "Line 1: [G19 G81 Y1 R1],Exec:X value unspecified in yz plane canned cycle\r\n"},
      {"G18 G81 X1 R1", "Line 1: [G18 G81 X1 R1],Exec:Y value unspecified in xz plane canned cycle\r\n"},
      {"G19 G81 Y1 X5 R1", "Line 1: [G19 G81 Y1 X5 R1],Exec:R less than x in cycle in yz plane\r\n"},
      {"G18 G81 X1 Y5 R1", "Line 1: [G18 G81 X1 Y5 R1],Exec:R less than y in cycle in xz plane\r\n"},
      {"G81 X1 Z-1 R1 L0", "Line 1: [G81 X1 Z-1 R1 L0],Exec:Cannot do zero repeats of cycle\r\n"},
      {"G82 X1 Z-1 R1", "Line 1: [G82 X1 Z-1 R1],Exec:Dwell time p word missing with g82\r\n"},
      {"G86 X1 Z-1 R1", "Line 1: [G86 X1 Z-1 R1],Exec:Dwell time p word missing with g86\r\n"},
      {"G88 X1 Z-1 R1", "Line 1: [G88 X1 Z-1 R1],Exec:Dwell time p word missing with g88\r\n"},
      {"G89 X1 Z-1 R1", "Line 1: [G89 X1 Z-1 R1],Exec:Dwell time p word missing with g89\r\n"},
      {"G83 X1 Z-1 R1", "Line 1: [G83 X1 Z-1 R1],Exec:Q word missing with g83\r\n"},
      {"G87 X1 Z-1 R1 J1 K1", "Line 1: [G87 X1 Z-1 R1 J1 K1],Exec:I word missing with g87\r\n"},
      {"G87 X1 Z-1 R1 I1 K1", "Line 1: [G87 X1 Z-1 R1 I1 K1],Exec:J word missing with g87\r\n"},
      {"G87 X1 Z-1 R1 I1 J1", "Line 1: [G87 X1 Z-1 R1 I1 J1],Exec:K word missing with g87\r\n"},
      {"G84 X1 Z-1 R1", "Line 1: [G84 X1 Z-1 R1],Exec:Spindle not turning clockwise in g84\r\n"},
      {"M4\nG84 X1 Z-1 R1", "Line 2: [G84 X1 Z-1 R1],Exec:Spindle not turning clockwise in g84\r\n"},
      {"G86 X1 Z-1 R1 P1", "Line 1: [G86 X1 Z-1 R1 P1],Exec:Spindle not turning in g86\r\n"},
      {"M5\nG87 X1 Z-1 R1 I1 J1 K1", "Line 2: [G87 X1 Z-1 R1 I1 J1 K1],Exec:Spindle not turning in g87\r\n"},
      {"G88 X1 Z-1 R1 P1", "Line 1: [G88 X1 Z-1 R1 P1],Exec:Spindle not turning in g88\r\n"},
      {"G81 A1 X1 Z-1 R1", "Line 1: [G81 A1 X1 Z-1 R1],Check:Cannot put an a in canned cycle\r\n"},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    EXPECT_TRUE(Load(c.program)) << c.program;
    EXPECT_EQ(c.report, Report()) << c.program;
  }
  // A refused cycle appends its code and nothing else.
  m_program->Reset();
  Load("G84 X1 Z-1 R1");
  EXPECT_EQ((Lines{"G84"}), Elements());
}

// Faults of the cycles, mended.
TEST_F(GCodeTest, PeckOfZeroIsRefused) {
  EXPECT_TRUE(Load("G83 X1 Z-1 R1 Q0\n"));
  EXPECT_EQ("Line 1: [G83 X1 Z-1 R1 Q0],Exec:Negative or zero q value used\r\n", Report());
  EXPECT_EQ((Lines{"G83"}), Elements());
}

TEST_F(GCodeTest, CycleThatWouldNeverEndIsRefused) {
  EXPECT_TRUE(Load("G83 X1 Z-1 R1 Q0.0000000000000000001\nG81 X1 Z-1 R1 L2000000000\n"));
  EXPECT_EQ(
      "Line 1: [G83 X1 Z-1 R1 Q0.0000000000000000001],Exec:Canned cycle expands to too many moves\r\n"
      "Line 2: [G81 X1 Z-1 R1 L2000000000],Exec:Canned cycle expands to too many moves\r\n",
      Report());
}

TEST_F(GCodeTest, NextMoveStartsWhereTheCycleLeftTheTool) {
  Load("G0 Z10\nG81 X5 Y5 Z-2 R1\nG80\nG0 X20 Y10 Z5\n");
  // The rapid splits from (5, 5, 1): 45 degrees, then the rest of XY, then Z.
  Lines all = AllElements();
  Lines tail(all.end() - 3, all.end());
  EXPECT_EQ((Lines{"R(10,10,1) ~", "R(20,10,1) ~", "R(20,10,5)"}), tail);
  EXPECT_EQ(Vec3(20, 10, 5), ReadState(*m_program).m_vLastPoint);
  EXPECT_EQ(20.0, State().current_x);
}

TEST_F(GCodeTest, CyclesInInchesStayInMillimetres) {
  // G20 keeps the current height (10 mm); the peck backs off 0.254 mm in either unit.
  Load("G0 Z10\nG20\nG83 X1 Z-0.1 R0.1 Q0.06\n");
  EXPECT_EQ((Lines{"R(0,0,10)", "G20", "G83", "R(25.4,0,10)", "R(25.4,0,2.54)", "F(25.4,0,1.016)", "R(25.4,0,2.54)",
                   "R(25.4,0,1.27)", "F(25.4,0,-0.508)", "R(25.4,0,2.54)", "R(25.4,0,-0.254)", "F(25.4,0,-2.032)",
                   "R(25.4,0,2.54)", "R(25.4,0,-1.778)", "F(25.4,0,-2.54)", "R(25.4,0,2.54)"}),
            Elements());
}

}  // namespace
