#include <gtest/gtest.h>

#include <string>

#include "nc/interp/tests/gcode_fixture.h"

namespace {

using interp_testing::GCodeTest;
using interp_testing::Lines;

// Loops and conditions: the feeds each program makes.
TEST_F(GCodeTest, LoopsAndConditions) {
  struct Case {
    const char* name;
    const char* program;
    Lines elements;
  } cases[] = {
      {"while",
       "#1=3\n"
       "o100 while [#1 gt 0]\n"
       "  G1 X#1\n"
       "  #1=[#1-1]\n"
       "o100 endwhile\n"
       "G1 X9\n",
       {"F(3,0,0)", "F(2,0,0)", "F(1,0,0)", "F(9,0,0)"}},
      {"while false from the start", "o100 while [0]\n  G1 X1\no100 endwhile\nG1 X9\n", {"F(9,0,0)"}},
      {"break",
       "#1=0\n"
       "o100 while [1]\n"
       "  #1=[#1+1]\n"
       "  o101 if [#1 ge 3]\n"
       "    o100 break\n"
       "  o101 endif\n"
       "  G1 X#1\n"
       "o100 endwhile\n"
       "G1 X9\n",
       {"F(1,0,0)", "F(2,0,0)", "F(9,0,0)"}},
      {"continue",
       "#1=0\n"
       "o100 while [#1 lt 4]\n"
       "  #1=[#1+1]\n"
       "  o101 if [#1 eq 2]\n"
       "    o100 continue\n"
       "  o101 endif\n"
       "  G1 X#1\n"
       "o100 endwhile\n",
       {"F(1,0,0)", "F(3,0,0)", "F(4,0,0)"}},
      {"repeat 2.5 runs three times",
       "o200 repeat [2.5]\n  G91 G1 X1\no200 endrepeat\n",
       {"G91", "F(1,0,0)", "G91", "F(2,0,0)", "G91", "F(3,0,0)"}},
      {"repeat 0", "o200 repeat [0]\n  G1 X1\no200 endrepeat\nG1 X9\n", {"F(9,0,0)"}},
      {"do while",
       "#1=0\n"
       "o300 do\n"
       "  #1=[#1+1]\n"
       "  G1 X#1\n"
       "o300 while [#1 lt 3]\n"
       "G1 X9\n",
       {"F(1,0,0)", "F(2,0,0)", "F(3,0,0)", "F(9,0,0)"}},
      {"do runs once", "o300 do\n  G1 X1\no300 while [0]\nG1 X9\n", {"F(1,0,0)", "F(9,0,0)"}},
      {"break leaves a do loop",
       "#1=0\n"
       "o300 do\n"
       "  #1=[#1+1]\n"
       "  o301 if [#1 ge 2]\n"
       "    o300 break\n"
       "  o301 endif\n"
       "  G1 X#1\n"
       "o300 while [1]\n"
       "G1 X9\n",
       {"F(1,0,0)", "F(9,0,0)"}},
      {"if true",
       "o1 if [1]\n G1 X1\no1 elseif [1]\n G1 X2\no1 else\n G1 X3\no1 endif\nG1 X9\n",
       {"F(1,0,0)", "F(9,0,0)"}},
      {"elseif",
       "o1 if [0]\n G1 X1\no1 elseif [1]\n G1 X2\no1 else\n G1 X3\no1 endif\nG1 X9\n",
       {"F(2,0,0)", "F(9,0,0)"}},
      {"else",
       "o1 if [0]\n G1 X1\no1 elseif [0]\n G1 X2\no1 else\n G1 X3\no1 endif\nG1 X9\n",
       {"F(3,0,0)", "F(9,0,0)"}},
      {"a repeat left by break counts afresh",
       "o10 sub\n"
       "  #2=0\n"
       "  o11 repeat [3]\n"
       "    #2=[#2+1]\n"
       "    o12 if [#2 eq 2]\n"
       "      o11 break\n"
       "    o12 endif\n"
       "    G91 G1 Y1\n"
       "  o11 endrepeat\n"
       "o10 endsub\n"
       "G90 G1 X1\n"
       "o10 call\n"
       "G90 G1 X2\n"
       "o10 call\n",
       {"G90", "F(1,0,0)", "G91", "F(1,1,0)", "G90", "F(2,1,0)", "G91", "F(2,2,0)"}},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    Load(c.program);
    EXPECT_EQ(c.elements, Elements()) << c.name;
    EXPECT_EQ("", Report()) << c.name;
  }
}

TEST_F(GCodeTest, TestsOfLinesPassedOverAreNotEvaluated) {
  EXPECT_TRUE(
      Load("o1 if [0]\n"
           "  o2 while [#<nowhere> gt 0]\n"
           "  o2 endwhile\n"
           "  o3 if [1/0]\n"
           "  o3 endif\n"
           "o1 endif\n"
           "G1 X1\n"));
  EXPECT_EQ((Lines{"F(1,0,0)"}), Elements());
  EXPECT_EQ("", Report());
}

TEST_F(GCodeTest, SubroutinesInTheProgram) {
  Load(
      "o200 sub\n"
      "  G1 X#1 Y#2\n"
      "  #<local>=5\n"
      "  #<_global>=7\n"
      "  o201 if [#1 gt 2]\n"
      "    o200 return\n"
      "  o201 endif\n"
      "  G0 Z#<local>\n"
      "o200 endsub\n"
      "#1=11\n"
      "o200 call [1] [2]\n"
      "o200 call [3] [4]\n"
      "G0 X#1 Y#<_global>\n");
  EXPECT_EQ((Lines{"F(1,2,0)", "R(1,2,5)", "F(3,4,5)", "R(11,7,5)"}), Elements());
  EXPECT_EQ("", Report());
  double v;
  EXPECT_FALSE(lookup_named_param(State(), "local", &v));
  EXPECT_TRUE(lookup_named_param(State(), "_global", &v));
  EXPECT_EQ(0, State().call_level);
}

TEST_F(GCodeTest, CallBeforeTheDefinition) {
  // The call finds the subroutine further down; the main program later passes over the
  // same definition without complaint.
  Load(
      "o7 call [5]\n"
      "G1 Y1\n"
      "o7 sub\n"
      "  G1 X#1\n"
      "o7 endsub\n"
      "G1 Y2\n");
  EXPECT_EQ((Lines{"F(5,0,0)", "F(5,1,0)", "F(5,2,0)"}), Elements());
  EXPECT_EQ("", Report());
}

TEST_F(GCodeTest, SubroutineFiles) {
  // "<prefix>\<name>.nc" first, then anywhere below the wizard folder. The program
  // created both folders when it read its settings.
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir / "Prefix\\300.nc",
                                              "(sub file)\no300 sub\n  G1 X#1\n  o400 call\no300 endsub\n"));
  ASSERT_TRUE(platform::MakeDirectory(m_dir / "Wizard\\door"));
  ASSERT_TRUE(platform::MakeDirectory(m_dir / "Wizard\\door\\lock"));
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir / "Wizard\\door\\lock\\400.nc",
                                              "o400 sub\n  G1 Y4\n  o400 return\n  G1 Y99\no400 endsub\n"));
  m_program->Reset();  // takes the folders from the settings
  EXPECT_TRUE(Load("G1 X1\no300 call [3]\nG1 Z1\n"));
  EXPECT_EQ((Lines{"F(1,0,0)", "F(3,0,0)", "F(3,4,0)", "F(3,4,1)"}), Elements());
  EXPECT_EQ("", Report());
  // Line numbers run on from the call into a subroutine file, and back at the return.
  m_program->Reset();
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir / "Prefix\\301.nc", "o301 sub\n  G5\no301 endsub\n"));
  Load("o301 call\nG5\n");
  EXPECT_EQ("Line 3: [G5],<G5>Unknown g code used\r\nLine 2: [G5],<G5>Unknown g code used\r\n", Report());
}

TEST_F(GCodeTest, EndlessRecursionEndsAtTheDeepestFrame) {
  EXPECT_FALSE(
      Load("o1 sub\n"
           "  G91 G1 X1\n"
           "  o1 call\n"
           "o1 endsub\n"
           "o1 call\n"
           "G90 G1 Y5\n"));
  // Nine nested calls run; the tenth fails the load.
  Lines e = Elements();
  ASSERT_FALSE(e.empty());
  EXPECT_EQ("F(9,0,0)", e.back());
  EXPECT_EQ("Line 3: [o1 call],Too many subroutine levels\r\n", Report());
  EXPECT_EQ(0, State().call_level);
}

// A fault of the program's flow fails the load at its line: a body run in the wrong
// place, or a block skipped to the end of the file, would lose or misplace the work.
TEST_F(GCodeTest, OwordStructureErrors) {
  const std::string thirtyOne =
      "o1 call [1] [2] [3] [4] [5] [6] [7] [8] [9] [10] [11] [12] [13] [14] [15] [16] [17] [18] [19] [20] [21] "
      "[22] [23] [24] [25] [26] [27] [28] [29] [30] [31]";
  struct Case {
    const char* why;
    std::string program;
    Lines elements;
    std::string report;
  } cases[] = {
      {"unknown command", "o1 foo\nG1 X1\n", {}, "Line 1: [o1 foo],Unknown control command in o word\r\n"},
      {"test without a bracket",
       "o1 if 1\nG1 X1\n",
       {},
       "Line 1: [o1 if 1],Left bracket missing after o-word command\r\n"},
      {"31 arguments", thirtyOne + "\nG1 X1\n", {}, "Line 1: [" + thirtyOne + "],Too many subroutine parameters\r\n"},
      {"a second definition never runs its body",
       "o5 sub\n G1 X5\no5 endsub\no5 sub\n G1 X6\no5 endsub\nG1 X1\n",
       {},
       "Line 4: [o5 sub],Subroutine defined twice\r\n"},
      {"endsub without sub",
       "G1 X1\no5 endsub\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: [o5 endsub],Not in subroutine definition\r\n"},
      {"if without endif",
       "G1 X1\no1 if [0]\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: O-word block not closed before the end of the file\r\n"},
      {"while without endwhile",
       "G1 X1\no1 while [0]\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: O-word block not closed before the end of the file\r\n"},
      {"sub without endsub",
       "G1 X1\no2 sub\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: Subroutine definition not closed by endsub\r\n"},
      {"break outside a loop",
       "G1 X1\no3 break\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: [o3 break],Break or continue outside a loop\r\n"},
      {"continue outside a loop",
       "G1 X1\no3 if [1]\no3 continue\no3 endif\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 3: [o3 continue],Break or continue outside a loop\r\n"},
      {"endwhile without while",
       "G1 X1\no4 endwhile\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: [o4 endwhile],Unknown oword number\r\n"},
      {"call of a subroutine nowhere defined",
       "G1 X1\no77 call\nG1 X2\n",
       {"F(1,0,0)"},
       "Line 2: Subroutine not defined\r\n"},
      {"one number for two while loops",
       "#1=0\no2 while [#1 lt 2]\n #1=[#1+1]\n G91 G1 X1\no2 endwhile\n#1=0\no2 while [#1 lt 2]\n #1=[#1+1]\n"
       "o2 endwhile\n",
       {"G91", "F(1,0,0)", "G91", "F(2,0,0)"},
       "Line 7: [o2 while [#1 lt 2]],O-word number used for two loops\r\n"},
      {"a do loop's number used again",
       "o3 do\n G91 G1 X1\no3 while [0]\no3 while [1]\n G1 X1\no3 endwhile\n",
       {"G91", "F(1,0,0)"},
       "Line 4: [o3 while [1]],O-word number used for two loops\r\n"},
      {"a test that is no number",
       "G1 X1\no1 while [exp[1000]*0]\n G91 G1 X1\no1 endwhile\n",
       {"F(1,0,0)"},
       "Line 2: [o1 while [exp[1000]*0]],O-word test value is not a finite number\r\n"},
      {"an infinite count",
       "G1 X1\no1 repeat [exp[1000]]\n G91 G1 X1\no1 endrepeat\n",
       {"F(1,0,0)"},
       "Line 2: [o1 repeat [exp[1000]]],O-word test value is not a finite number\r\n"},
  };
  for (const Case& c : cases) {
    m_program->Reset();
    EXPECT_FALSE(Load(c.program)) << c.why;
    EXPECT_EQ(c.elements, Elements()) << c.why;
    EXPECT_EQ(c.report, Report()) << c.why;
    EXPECT_EQ(1, m_program->GetReadState().m_bStop) << c.why;
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << c.why;
    EXPECT_NE(std::string::npos, m_boxes.Boxes()[0].text.find("Error(the last item):\r\n\r\n" + c.report)) << c.why;
  }
}

// A full label table used to let the definition's body run in the main program, and a
// later call skip the rest of the file, with a successful load.
TEST_F(GCodeTest, TooManyLabels) {
  std::string program;
  for (int i = 0; i <= kInterpMaxLabels; ++i) program += "o" + std::to_string(i + 1) + " do\n";
  program += "o5000 sub\n G1 X5\no5000 endsub\nG1 X1\no5000 call\nG1 X2\n";
  EXPECT_FALSE(Load(program));
  EXPECT_EQ("Line 1001: [o1001 do],Too many oword labels\r\n", Report());
  EXPECT_EQ((Lines{}), Elements());
}

}  // namespace
