// The HPGL reader, line by line.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/texts.h"
#include "nc/formats/format_question.h"
#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

std::vector<std::string> g_questions;
int g_answer = 0;
int RecordQuestion(const char* text) {
  g_questions.push_back(text);
  return g_answer;
}

class HpglReaderTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    g_questions.clear();
    g_answer = 0;
    m_previous = SetFormatQuestionHook(RecordQuestion);
    g_nUiLanguage = 1;
  }
  void TearDown() override {
    SetFormatQuestionHook(m_previous);
    AppFolderTest::TearDown();
  }
  // Feeds the lines one by one as the loader numbers them.
  static std::string Run(CNCProgram& p, const std::vector<const char*>& lines) {
    if (ReadState(p).m_nLine < 0) ReadState(p).m_nLine = 0;
    for (const char* line : lines) {
      ReadState(p).m_nLine++;
      p.InterpretHpglLine(ReadState(p).m_nLine, line);
    }
    return Join(Describe(p));
  }
  FormatQuestionHook m_previous = nullptr;
};

TEST_F(HpglReaderTest, PenMovesAndCommands) {
  struct {
    const char* why;
    double scale;
    std::vector<const char*> lines;
    const char* expected;
  } cases[] = {
      {"pen up and down", 0.005, {"PU;PA100,100;PD;PA200,100;"}, "ZZ=0\nR(0.5,0.5,0)\nF(1,0.5,0)\n"},
      {"pen command glued to the next", 0.005, {"PUPA100,100;"}, "ZZ=0\nR(0.5,0.5,0)\n"},
      {"glued pen down with points", 1, {"PA0,0;PDPR10,0,0,10;"}, "ZZ=0\nR(0,0,0)\nF(10,0,0)\nF(10,10,0)\n"},
      {"lower case", 0.005, {"pu;pa100,100;"}, "ZZ=0\nR(0.5,0.5,0)\n"},
      {"three values decide 3D", 1, {"PA1,2,3;"}, "ZZ=1\nR(1,1,0) ~\nR(1,2,0) ~\nR(1,2,3)\n"},
      {"relative", 1, {"PA0,0;PD;PR10,10,5,0;"}, "ZZ=0\nR(0,0,0)\nF(10,10,0)\nF(15,10,0)\n"},
      {"no closing semicolon", 1, {"PA10,20"}, ""},
      {"text after the last semicolon", 1, {"PA10,20;PA30,40"}, "ZZ=0\nR(10,10,0) ~\nR(10,20,0)\n"},
      {"3D list missing z keeps z", 1, {"ZZ1;PA1,2,3;PA4,5;"}, "ZZ=1\nR(1,1,0) ~\nR(1,2,0) ~\nR(1,2,3)\nR(4,5,3)\n"},
      {"parameters", 1, {"IN;SP3;SF12.5;SW2;SA1;ZW500;ZZ1;"}, "T=3\nF=12.5\nSW=2\nSA=1\nZW=500\nZZ=1\n"},
      {"tool zero is the program end", 1, {"SP0;", "PA1,1;"}, "M=2\n"},
      {"SF zero is no tag; ZZ 2 no tag", 1, {"SF0;ZZ2;SP2.5;"}, "T=2.5\n"},
      {"blank and empty commands", 1, {" ;;  PA5,5 ;"}, "ZZ=0\nR(5,5,0)\n"},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    p.SetHpglScale(k.scale);
    EXPECT_EQ(k.expected, Run(p, k.lines)) << k.why;
    EXPECT_TRUE(g_questions.empty()) << k.why;
  }
}

TEST_F(HpglReaderTest, ProgramEndRefusesTheNextLine) {
  CNCProgram p;
  EXPECT_TRUE(p.InterpretHpglLine(1, "SP0;"));
  EXPECT_TRUE(ReadState(p).m_bProgramEnd);
  EXPECT_FALSE(p.InterpretHpglLine(2, "PA1,1;"));
  EXPECT_EQ(1, p.GetElementCount());
}

TEST_F(HpglReaderTest, FactorsAndHpgl3DFlag) {
  CNCProgram p;
  p.SetHpglScale(1);
  ReadState(p).m_vAxisFactor = Vec3(2, 3, -1);
  EXPECT_EQ("ZZ=1\nR(20,20,0) ~\nR(20,30,0) ~\nR(20,30,-5)\n", Run(p, {"ZZ1;PD;PU;PA10,10,5;"}));
  EXPECT_TRUE(p.IsHpgl3DSeen());
  EXPECT_FALSE(p.IsHpgl2D());
}

TEST_F(HpglReaderTest, UndecidedListsAskOnce) {
  struct {
    const char* line;
    int answer;
    const char* question;
    const char* expected;
  } cases[] = {
      {"PA1,2,3,4,5,6;", 1, "[Line 1 (items=6)] PA1,2,3,4,5,6;",
       "ZZ=1\nR(1,1,0) ~\nR(1,2,0) ~\nR(1,2,3)\nR(4,5,3) ~\nR(4,5,6)\n"},
      {"PA1,2,3,4,5,6;", 0, "[Line 1 (items=6)] PA1,2,3,4,5,6;", "ZZ=0\nR(1,1,0) ~\nR(1,2,0)\nR(3,4,0)\nR(5,6,0)\n"},
      {"PA1,2,3,4,5;", 0, "[Line 1 (items=5)] PA1,2,3,4,5;",
       "ZZ=0\nR(1,1,0) ~\nR(1,2,0)\nR(3,4,0)\nR(5,2,0) ~\nR(5,0,0)\n"},
  };
  for (const auto& k : cases) {
    g_questions.clear();
    g_answer = k.answer;
    CNCProgram p;
    p.SetHpglScale(1);
    EXPECT_EQ(k.expected, Run(p, {k.line})) << k.line;
    p.InterpretHpglLine(2, "PA7,8,9,10,11,12;");
    ASSERT_EQ(1u, g_questions.size()) << k.line;  // never again for this file
    EXPECT_EQ(k.question, g_questions[0]);
  }
  // Without a known line number the question is only the command.
  g_questions.clear();
  CNCProgram p;
  p.InterpretHpglLine(0, "PR1,1,1,1,1,1;");
  ASSERT_EQ(1u, g_questions.size());
  EXPECT_EQ("PR1,1,1,1,1,1;", g_questions[0]);
  // Without a hook the answer is 2D.
  SetFormatQuestionHook(nullptr);
  CNCProgram q;
  q.InterpretHpglLine(0, "PR1,1,1,1,1,1;");
  EXPECT_TRUE(q.IsHpgl2D());
}

TEST_F(HpglReaderTest, Arcs) {
  struct {
    const char* why;
    std::vector<const char*> lines;
    const char* arc;  // the last element
  } cases[] = {
      {"AA quarter", {"PA10,0;", "AA0,0,90;"}, "CCW(0,10,0)@(0,0,0)"},
      {"AR quarter", {"PA10,0;", "AR-10,0,90;"}, "CCW(0,10,0)@(0,0,0)"},
      {"AR from origin", {"PA0,0;", "AR10,-10,90;"}, "CCW(0,-20,0)@(10,-10,0)"},
      {"AA clockwise", {"PA10,0;", "AA0,0,-90;"}, "CW(0,-10,0)@(0,0,0)"},
      {"AA with chord angle", {"PA10,0;", "AA0,0,180,5;"}, "CCW(-10,0,0)@(0,0,0)"},
      {"AA left of centre below", {"PA-5,-5;", "AA0,0,90;"}, "CCW(5,-5,0)@(0,0,0)"},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    p.SetHpglScale(1);
    p.SetArcTolerance(100);  // whole arcs
    Run(p, k.lines);
    ASSERT_GT(p.GetElementCount(), 0) << k.why;
    std::string last = Describe(p.GetElement(p.GetElementCount() - 1));
    EXPECT_EQ(k.arc, last) << k.why;
  }
}

TEST_F(HpglReaderTest, ZeroSweepDrawsNothing) {
  for (const char* arc : {"AA0,0,0;", "AA0,0;", "AR-10,0,0;", "AA0;", "AA;"}) {
    CNCProgram p;
    p.SetHpglScale(1);
    Run(p, {"PA10,0;", arc, "PA20,0;"});
    EXPECT_EQ("ZZ=0\nR(10,0,0)\nR(20,0,0)\n", Join(Describe(p))) << arc;
    EXPECT_EQ(Vec3(20, 0, 0), ReadState(p).m_vNewPoint);
  }
}

TEST_F(HpglReaderTest, UnknownCommandsAreListedOnceAndEndTheLine) {
  CNCProgram p;
  p.SetHpglScale(1);
  Run(p, {"PA1,1;XX5;PA2,2;", "XX5;", "@@@;PD;", "YY;ZZ;"});
  EXPECT_EQ("ZZ=0\nR(1,1,0)\n", Join(Describe(p)));
  EXPECT_STREQ("Line 1: XX5;\r\nLine 3: @@@;\r\nLine 4: YY;\r\n", p.GetErrors());
  EXPECT_EQ(1, Hpgl(p).m_bPenUp);  // PD after garbage was not carried out
}

TEST_F(HpglReaderTest, GarbageLinesStopBeingReportedNearTheCap) {
  CNCProgram p;
  char line[64];
  for (int i = 0; i < 500; i++) {
    std::snprintf(line, sizeof line, "Q%03d;", i);
    p.InterpretHpglLine(i + 1, line);
  }
  const CString& report = p.GetErrors();
  EXPECT_LT(report.GetLength(), 2048 + 64);
  EXPECT_EQ(report.GetLength() - 29, report.Find("Too much error messages . . ."));
}

}  // namespace

namespace {

// Coordinates read exactly as the C library reads them, whatever their form; a value
// that is no finite number is refused with the command.
TEST_F(HpglReaderTest, NumbersReadAsTheCLibraryDoes) {
  std::vector<std::string> numbers = {"0",
                                      "-0",
                                      "007",
                                      "0.125",
                                      "-3.5",
                                      "+2.25",
                                      ".5",
                                      "5.",
                                      "1e2",
                                      "-1.5E-3",
                                      "0x10",
                                      "12345678901234567890",
                                      "1.0000000000000000001",
                                      "999999999999999",
                                      "9999999999999999",
                                      "0.000000000000001",
                                      "0.1234567890123456",
                                      "40000",
                                      "-40000",
                                      " 12",
                                      "1d5",
                                      "+inf",
                                      "-nan"};
  std::mt19937 rnd(7);
  for (int i = 0; i < 2000; i++) {
    std::string s = rnd() % 2 ? "-" : "";
    for (int k = rnd() % 12; k >= 0; k--) s += (char)('0' + rnd() % 10);
    if (rnd() % 2) {
      s += ".";
      for (int k = rnd() % 12; k >= 0; k--) s += (char)('0' + rnd() % 10);
    }
    numbers.push_back(s);
  }
  CNCProgram p;
  p.SetHpglScale(1);
  Hpgl(p).m_nHpglMode = 0;
  for (const std::string& n : numbers) {
    // Moves along X only: one element each.
    std::string line = "PA" + n + ",0;";
    int before = p.GetElementCount();
    p.InterpretHpglLine(1, line.c_str());
    double expected = std::atof(n.c_str());
    if (!std::isfinite(expected)) {
      ASSERT_EQ(before, p.GetElementCount()) << n;
      EXPECT_NE(-1, p.GetErrors().Find("Not a finite number")) << n;
      continue;
    }
    ASSERT_EQ(before + 1, p.GetElementCount()) << n;
    double x = static_cast<const CPathLineElement*>(p.GetElement(before))->m_vEnd.x;
    EXPECT_EQ(0, std::memcmp(&expected, &x, sizeof x)) << n << ": " << expected << " vs " << x;
  }
}

}  // namespace
