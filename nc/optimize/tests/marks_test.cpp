// Path marks, totals and tool preparation tags.
#include "nc/optimize/tests/optimize_test_support.h"

using namespace opt_testing;
using nc_testing::Join;

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

class MarksTest : public OptimizerTest {
 protected:
  // Feeds of 10 mm from the origin along Y (the tests switch merging off), a tool
  // change after the fifth, then two more feeds.
  void ToolChangeProgram(CPathOptimizer& opt, const char* warmup_s) {
    PutParamValue("Device", "SpindleWarmup(second)", warmup_s);
    opt.Reset();
    opt.SetFeedSpeed(20);
    PathBuilder b(opt);
    for (int i = 1; i <= 5; i++) b.F(0, i * 10, 0);
    b.Tag("T", 2);
    b.F(0, 60, 0).F(0, 70, 0);
  }
};

TEST_F(MarksTest, ToolPreparationTagGoesWarmupTimesFeedBack) {
  Set("PointFilter", "disable");
  CPathOptimizer opt;
  ToolChangeProgram(opt, "1");
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  // The first feed starts at the origin, so the tool change has mark 50; the target is
  // 50 - 20 * 1: the move with mark 30 stops the walk back and the tag goes right after it.
  EXPECT_EQ("F(0,10,0)\nF(0,20,0)\nF(0,30,0)\nM=102\nF(0,40,0)\nF(0,50,0)\nT=2\nF(0,60,0)\nF(0,70,0)\n",
            Join(List(opt)));
  EXPECT_EQ(10.0, opt.GetMoveExtras(0).m_dMark);
  EXPECT_EQ(30.0, opt.GetMoveExtras(2).m_dMark);
  EXPECT_EQ(50.0, opt.GetMoveExtras(5).m_dMark);
  EXPECT_EQ((DWORD)ReadState(opt).m_nLine, opt.GetElement(3)->m_nLine);

  // Ten seconds reach back past the start: the tag goes before the first feed.
  ToolChangeProgram(opt, "10");
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ("M=102", List(opt)[0]);

  // No warm-up: the tool changes are only collected.
  ToolChangeProgram(opt, "0");
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ(8, opt.GetElementCount());
  ASSERT_EQ(1, opt.GetToolMarks().GetSize());
  EXPECT_EQ(2, opt.GetToolMarks()[0].m_nTool);
  EXPECT_EQ(5, opt.GetToolMarks()[0].m_nIndex);
  EXPECT_EQ(50.0, opt.GetToolMarks()[0].m_dMark);
}

TEST_F(MarksTest, ToolChangesAtOnePointGetTheirTagsThere) {
  Set("PointFilter", "disable");
  PutParamValue("Device", "SpindleWarmup(second)", "1");
  CPathOptimizer opt;
  opt.SetFeedSpeed(20);
  PathBuilder b(opt);
  for (int i = 1; i <= 5; i++) b.F(0, i * 10, 0);
  b.Tag("T", 2).Tag("T", 3).F(0, 60, 0);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  std::vector<std::string> list = List(opt);
  ASSERT_EQ(10u, list.size());
  EXPECT_EQ("M=103", list[3]);
  EXPECT_EQ("M=102", list[4]);
}

// A program that starts with a cut counts that cut from the origin, where it starts.
TEST_F(MarksTest, RapidsCountInMarksButNotInTheToolpathLength) {
  CPathOptimizer opt;
  PathBuilder(opt).F(10, 0, 0).R(10, 100, 0).F(20, 100, 0);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ(10.0, opt.GetMoveExtras(0).m_dMark);
  EXPECT_EQ(110.0, opt.GetMoveExtras(1).m_dMark);
  EXPECT_EQ(120.0, opt.GetMoveExtras(2).m_dMark);
  EXPECT_EQ(20.0, opt.GetPathLength());
}

TEST_F(MarksTest, DiscardedMovesKeepTheirMarkAndAddNothing) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(0.05, 0, 5).F(0.1, 0, 5).F(0.15, 0, 5).F(0.15, 3, 5);
  opt.SetMark(2, 99);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  ASSERT_EQ(1u, opt.GetElement(2)->m_nDiscard);
  EXPECT_EQ(99.0, opt.GetMoveExtras(2).m_dMark);
  EXPECT_NEAR(5 + 3.15, opt.GetMoveExtras(4).m_dMark, 1e-12);
}

TEST_F(MarksTest, UsedToolsAndTagCount) {
  CPathOptimizer opt;
  PathBuilder(opt)
      .R(0, 0, 5)
      .Tag("T", 10)
      .F(1, 0, -1)
      .F(10, 0, -1)
      .Tag("t", 1)
      .Tag("T", 10)
      .R(10, 0, 5)
      .R(20, 0, 5)
      .F(21, 0, -1)
      .F(25, 5, -1)
      .F(30, 5, -1);  // corners above 90 degrees: no new tags
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  // One entry per exact tool number: tool 1 is listed after tool 10.
  EXPECT_STREQ("T10T1", opt.GetUsedTools());
  EXPECT_EQ(3, opt.GetToolMarks().GetSize());
  // Tags: the rapid at the start, the first feed after it is counted with it; the
  // second run starts at the rapid to (10, 0, 5).
  EXPECT_EQ(2, opt.GetTagCount());
}

TEST_F(MarksTest, CuttingMovesBeforeTheProgramEnd) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).Tag("M", 30).F(1, 1, 1).Tag("M", 3).F(2, 2, 2);
  EXPECT_FALSE(opt.HasCuttingMoves(0));
  EXPECT_TRUE(opt.HasCuttingMoves(2));
  EXPECT_TRUE(opt.HasCuttingMoves(3));
  EXPECT_FALSE(opt.HasCuttingMoves(5));
  EXPECT_TRUE(opt.InsertToolPrepareTag(1, 4));
  EXPECT_EQ("R(0,0,5)\nM=104\nM=30\nF(1,1,1)\nM=3\nF(2,2,2)\n", Join(List(opt)));
  EXPECT_TRUE(opt.InsertToolPrepareTag(opt.GetElementCount(), 5));
  EXPECT_EQ("M=105", List(opt).back());
}

}  // namespace
