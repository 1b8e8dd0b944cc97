// G-code through the program's whole load: kind detection, the line loop with its
// progress and cancel, and the one report at the end.
#include <gtest/gtest.h>

#include <string>

#include "nc/interp/tests/gcode_fixture.h"

namespace {

using interp_testing::GCodeTest;
using interp_testing::Lines;

struct CancelAfter : CProgressSink {
  explicit CancelAfter(int lines) : left(lines) {}
  void SetProgress(int, int) override { ++calls; }
  BOOL IsCanceled() override { return --left < 0; }
  int left;
  int calls = 0;
};

class GCodeLoadTest : public GCodeTest {
 protected:
  BOOL LoadWhole(const std::string& text, CProgressSink* progress = nullptr) {
    CString path = m_dir / "whole.nc";
    EXPECT_TRUE(testing_support::WriteFileBytes(path, text));
    m_program->Reset();
    return m_program->LoadFromNCFile(progress, path, Vec3(1, 1, 1));
  }
  testing_support::MessageBoxRecorder m_boxes;
};

TEST_F(GCodeLoadTest, ProgramWithReport) {
  EXPECT_TRUE(LoadWhole("%\n(sample)\nG0 X1 Y1\nG1 X1 X2\nM30\nG1 X9\n"));
  EXPECT_EQ("GCODE", std::string(m_program->GetFileKind()));
  EXPECT_EQ((Lines{"R(1,1,0)", "F(1,1,0)", "M=30"}), Elements());
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ(
      "Warning for unknown code(s), or parameter(s) not assigned, or invalid expression: \r\n\r\n"
      "Line 4: [G1 X1 X2],<X2>Multiple x words on one line\r\n",
      m_boxes.Boxes()[0].text);
}

TEST_F(GCodeLoadTest, FatalArcErrorEndsTheLoad) {
  EXPECT_FALSE(LoadWhole("G0 X0 Y0\nG2 X10 Y0 I1 J0\nG1 X5\n"));
  ASSERT_EQ(1u, m_boxes.Boxes().size());
  EXPECT_EQ(
      "Error(the last item):\r\n\r\n"
      "Line 2: [G2 X10 Y0 I1 J0],Exec:Radius to end of arc differs from radius to start\r\n",
      m_boxes.Boxes()[0].text);
}

TEST_F(GCodeLoadTest, LoopThatNeverEndsIsCancellable) {
  // The load goes on line after line, with progress: the operator's Cancel ends it.
  CancelAfter cancel(5000);
  EXPECT_FALSE(LoadWhole("o1 while [1]\n  G91 G1 X1\no1 endwhile\n", &cancel));
  EXPECT_GE(cancel.calls, 5000);
  EXPECT_GT(m_program->GetElementCount(), 1000);
  // The load closed its file and dropped the o-word state.
  EXPECT_EQ(nullptr, State().file);
  EXPECT_EQ(0, State().label_count);
}

TEST_F(GCodeLoadTest, RecursionWithoutEndStopsByItself) {
  EXPECT_FALSE(LoadWhole("o1 sub\n  o1 call\no1 endsub\no1 call\nG1 X1\n"));
  EXPECT_EQ((Lines{}), Elements());
  EXPECT_EQ("Line 2: [o1 call],Too many subroutine levels\r\n", Report());
}

}  // namespace
