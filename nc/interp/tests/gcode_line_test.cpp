#include <gtest/gtest.h>

#include <string>

#include "nc/interp/tests/gcode_fixture.h"

namespace {

using interp_testing::GCodeTest;
using interp_testing::Lines;

// Malformed lines: the exact report line of each, and what the block still did.
TEST_F(GCodeTest, ReportOfFaultyLines) {
  struct Case {
    const char* line;
    const char* report;
    Lines elements;
  } cases[] = {
      {"G1 G0 X1",
       "Line 1: [G1 G0 X1],<G0>Two g codes used from same modal group,Check:All axes missing with motion code,"
       "Exec:All axes missing with motion code\r\n",
       {}},
      {"G1 X1 X2", "Line 1: [G1 X1 X2],<X2>Multiple x words on one line\r\n", {"F(1,0,0)"}},
      {"G5 X1", "Line 1: [G5 X1],<G5>Unknown g code used\r\n", {}},
      {"M5000", "Line 1: [M5000],<M5000>M code greater than 199\r\n", {}},
      {"M77 M3", "Line 1: [M77 M3],<M77>Unknown m code used\r\n", {}},
      {"E5 G1 X1",
       "Line 1: [E5 G1 X1],<E,5>Bad character used,Check:All axes missing with motion code,"
       "Exec:All axes missing with motion code\r\n",
       {}},
      {"T0", "Line 1: [T0],<T0>Unknown word starting with t\r\n", {}},
      {"G1 X[1/0]",
       "Line 1: [G1 X[1/0]],<X>Attempt to divide by zero,Check:All axes missing with motion code,"
       "Exec:All axes missing with motion code\r\n",
       {}},
      {"X10", "Line 1: [X10],Check:Cannot use axis values without a g code that uses them\r\n", {}},
      {"G80 X10", "Line 1: [G80 X10],Check:Cannot use axis values with g80\r\n", {"G80"}},
      {"G1 X1 I1", "Line 1: [G1 X1 I1],Check:I word with no g2 or g3 or g87, or g43  to use it\r\n", {"F(1,0,0)"}},
      {"G1 X1 W2", "Line 1: [G1 X1 W2],<W>Bad character used\r\n", {"F(1,0,0)"}},
      {"G1 X1 #1", "Line 1: [G1 X1 #1],<#>Equal sign missing in parameter setting\r\n", {"F(1,0,0)"}},
      {"M3 M8 M48 M6 M0",
       "Line 1: [M3 M8 M48 M6 M0],Check:Too many m codes on line\r\n",
       {"M=6", "M=3", "M=8", "M=48", "M=0"}},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    EXPECT_TRUE(Load(c.line)) << c.line;
    EXPECT_EQ(c.report, Report()) << c.line;
    EXPECT_EQ(c.elements, Elements()) << c.line;
  }
}

TEST_F(GCodeTest, ChineseReport) {
  g_nUiLanguage = 0;
  Load("G1 X1 X2\n");
  // 一行中有多个 X 字
  EXPECT_EQ("Line 1: [G1 X1 X2],<X2>\xD2\xBB\xD0\xD0\xD6\xD0\xD3\xD0\xB6\xE0\xB8\xF6 X \xD7\xD6\r\n", Report());
}

TEST_F(GCodeTest, TheSameFaultIsReportedOnce) {
  Load("G1 X1 X2\nG1 X1 X2\nG1 X1 X3 Y1 Y2\n");
  EXPECT_EQ(
      "Line 1: [G1 X1 X2],<X2>Multiple x words on one line\r\n"
      "Line 3: [G1 X1 X3 Y1 Y2],<X3>Multiple x words on one line\r\n",
      Report());
}

TEST_F(GCodeTest, ReportIsCapped) {
  std::string program;
  // Unknown codes are reported on every line: the report fills up.
  for (int i = 0; i < 200; ++i) program += "G5." + std::to_string(i % 10) + " X" + std::to_string(i) + "\n";
  Load(program);
  std::string report = Report();
  const std::string tooMuch = "\r\nToo much error messages . . .";
  ASSERT_NE(std::string::npos, report.find(tooMuch));
  EXPECT_LT(report.size(), 2048u + 200u);
  EXPECT_EQ(report.find(tooMuch), report.rfind(tooMuch));
  EXPECT_EQ(report.size() - tooMuch.size(), report.find(tooMuch));
}

TEST_F(GCodeTest, PercentAndBlockDelete) {
  EXPECT_TRUE(Load("%\nG1 X1\n/G1 X5\nG1 Y1\n"));
  EXPECT_EQ((Lines{"F(1,0,0)", "F(1,1,0)"}), Elements());
  // A later "%" is the program end: the load ends there, successfully.
  m_program->Reset();
  EXPECT_TRUE(Load("G1 X1\n%\nG1 X5\n"));
  EXPECT_EQ((Lines{"F(1,0,0)"}), Elements());
  EXPECT_EQ(1, m_program->GetReadState().m_bProgramEnd);
  m_program->Reset();
  EXPECT_TRUE(Load("G1 X1\ng1x2%\nG1 X5\n"));
  EXPECT_EQ((Lines{"F(1,0,0)"}), Elements());
}

TEST_F(GCodeTest, CommentsAndToolGroups) {
  Load("(@T@T3:1,2,5) G1 (a (b) c) X1\n(@T@T0:1)\nG1 Y1 (open\n");
  EXPECT_EQ((Lines{"@T=19.0301", "F(1,0,0)", "F(1,1,0)"}), Elements());
  EXPECT_EQ("", Report());
  EXPECT_STREQ("open", State().block.comment);
}

TEST_F(GCodeTest, LongLines) {
  // 509 characters and the line end are read; 510 and the line end are too long, and
  // end the load as a failure.
  std::string ok = "G1 X1" + std::string(504, ' ');
  std::string tooLong = "G1 X2" + std::string(505, ' ');
  EXPECT_FALSE(Load(ok + "\r\n" + tooLong + "\r\nG1 X3\n"));
  EXPECT_EQ((Lines{"F(1,0,0)"}), Elements());
  EXPECT_EQ("Line 2: Command too long\r\n", Report());

  // Lines over 512 characters keep 512 as the block text and are read in full; over the
  // work buffer they are refused.
  m_program->Reset();
  std::string longer = "G1 X4" + std::string(600, ' ') + "Y4";
  std::string buffer(longer);
  EXPECT_TRUE(m_program->InterpretLine(1, &buffer[0]));
  EXPECT_EQ((Lines{"F(4,4,0)"}), Elements());
  std::string huge = "G1 X5" + std::string(kInterpWorkSize, ' ') + "Y5";
  buffer = huge;
  EXPECT_TRUE(m_program->InterpretLine(2, &buffer[0]));
  EXPECT_EQ((Lines{"F(4,4,0)"}), Elements());
  EXPECT_EQ("Line 2: [" + huge.substr(0, kInterpTextSize - 1) + "],Command too long\r\n", Report());
}

TEST_F(GCodeTest, ParametersAndExpressionsInWords) {
  Load(
      "#1=2 #2=[#1*3]\n"
      "G1 X#1 Y#2\n"
      "#<_w>=[atan[1]/[1]] #<len>=10\n"
      "G1 X[#<len>*cos[#<_w>]] Y[#<len>*sin[#<_w>]]\n"
      "#3=[7 mod -3] G1 Z#3\n"
      "G1 X[round[2.5]] Y[fix[-1.5]] Z[2**3**2]\n");
  Lines e = Elements();
  ASSERT_EQ(4u, e.size());
  EXPECT_EQ("F(2,0,0)", e[0]);
  EXPECT_EQ("F(7.07107,7.07107,0)", e[1]);
  EXPECT_EQ("F(7.07107,7.07107,0)", e[2]);  // the setting applies after the line
  EXPECT_EQ("F(3,-2,64)", e[3]);
  EXPECT_EQ(0.0, State().parameters[2]);  // from the old #1
  EXPECT_EQ(1.0, State().parameters[3]);
  EXPECT_EQ("", Report());
}

}  // namespace
