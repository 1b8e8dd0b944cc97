// The door fold: faces, folding, face changes, speeds and the stops with their messages.
#include <cstring>

#include "nc/optimize/tests/optimize_test_support.h"
#include "platform/testing/test_support.h"

using namespace opt_testing;
using nc_testing::Join;
using testing_support::MessageBoxRecorder;

namespace {

// The door's face from (0, 0) to (600, 2000).
const DoorPathArea kDoor = {0, 600, 2000, 0, kDoorPathImport};

class DoorFoldTest : public OptimizerTest {
 protected:
  void Speeds(CPathOptimizer& opt) {
    opt.SetTraverseSpeed(100);
    opt.SetFeedSpeed(20);
    opt.SetPlungeSpeed(5);
  }
  MessageBoxRecorder m_boxes;
};

TEST_F(DoorFoldTest, EachStripFoldsOntoItsFace) {
  struct {
    Vec3 flat;
    Vec3 folded;
    BYTE axes;  // a plunge named only Z
    DWORD edgeBit;
  } cases[] = {
      {Vec3(-5, 100, -3), Vec3(3, 100, -5), kAxisX, kFlagMarkB},        // left edge
      {Vec3(605, 100, -3), Vec3(597, 100, -5), kAxisX, kFlagMarkB},     // right edge
      {Vec3(100, 2010, -3), Vec3(100, 1997, -10), kAxisY, kFlagMarkB},  // top edge
      {Vec3(100, -10, -3), Vec3(100, 3, -10), kAxisY, kFlagMarkB},      // bottom edge
      {Vec3(100, 100, -3), Vec3(100, 100, -3), kAxisZ, 0},              // the face
  };
  for (const auto& k : cases) {
    CPathOptimizer opt;
    // The second feed, since the first takes over the axes of the rapid the fold drops.
    PathBuilder(opt).R(k.flat.x, k.flat.y, 5).F(k.flat.x, k.flat.y, -1, kAxisZ).F(k.flat.x, k.flat.y, k.flat.z, kAxisZ);
    ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
    const CPathLineElement* feed = MoveAt(opt, opt.GetElementCount() - 1);
    EXPECT_EQ(k.folded, feed->m_vEnd) << k.flat.x << "," << k.flat.y;
    EXPECT_EQ(k.axes, feed->m_byAxes) << k.flat.x << "," << k.flat.y;
    EXPECT_EQ(kFlagMarkA | k.edgeBit, feed->m_nFlags & (kFlagMarkA | kFlagMarkB));
  }
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DoorFoldTest, WithoutARightEdgeEverythingRightOfTheLeftBoundIsFaceOrTopOrBottom) {
  DoorPathArea door = {0, 0, 2000, 0, kDoorPathImport};
  CPathOptimizer opt;
  PathBuilder(opt).R(605, 100, 5).F(605, 100, -3, kAxisZ);
  ASSERT_TRUE(opt.Optimize(nullptr, &door));
  EXPECT_EQ(Vec3(605, 100, -3), MoveAt(opt, opt.GetElementCount() - 1)->m_vEnd);
}

// A fold that fails leaves moves that cut through the door's corners and edges: the
// optimisation fails with the fold's message (the import stops), and the list is as the
// corner pass left it, earlier face changes included: nothing is half folded.
TEST_F(DoorFoldTest, AFailedFoldLeavesTheListAsItWas) {
  struct {
    const char* why;
    std::function<void(PathBuilder&)> path;
    const char* message;
  } cases[] = {
      {"a move into a disabled corner",
       [](PathBuilder& b) {
         b.R(100, 100, 5).F(100, 100, -1).R(100, 100, 5).R(100, 2005, 5).R(-5, 2005, 5).F(-5, 2005, -1);
       },
       "Invalid path in disabled area @ line #5"},
      {"leaving the face on a feed", [](PathBuilder& b) { b.R(100, 100, 5).F(100, 100, -1).F(-5, 100, -1); },
       "Error boundary for Plane change, line #3"},
      {"a feed back to the face after a face change on a rapid",
       [](PathBuilder& b) {
         b.R(100, 100, 5).F(100, 100, -1).R(100, 100, 5).R(-5, 100, 5).F(-5, 100, -1).F(100, 100, -1);
       },
       "Error boundary for Plane change, line #6"},
  };
  for (const auto& k : cases) {
    m_boxes.Clear();
    CPathOptimizer reference;
    PathBuilder r(reference);
    k.path(r);
    ASSERT_TRUE(reference.Optimize(nullptr, nullptr)) << k.why;

    CPathOptimizer opt;
    PathBuilder b(opt);
    k.path(b);
    EXPECT_FALSE(opt.Optimize(nullptr, &kDoor)) << k.why;
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << k.why;
    EXPECT_EQ(k.message, m_boxes.Boxes()[0].text) << k.why;
    EXPECT_EQ(MB_OK | MB_ICONEXCLAMATION, m_boxes.Boxes()[0].type) << k.why;
    EXPECT_EQ(Join(List(reference)), Join(List(opt))) << k.why;
    EXPECT_TRUE(g_aVertexList.IsEmpty()) << k.why;
  }
}

TEST_F(DoorFoldTest, ARapidToAnotherFaceRetractsApproachesAndChangesTool) {
  CPathOptimizer opt;
  Speeds(opt);
  PathBuilder(opt).R(100, 100, 5).F(100, 100, -2).R(-5, 100, -2);
  ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
  EXPECT_EQ(
      // The rapid's Z piece goes with the rapid, which the vertices replace.
      "R(100,100,0) ~ x\n"
      // From nowhere onto the face: up to the lift, across, then down to the target.
      "#O=0 ~\nR(0,0,50) ~\nR(100,0,50) ~\nR(100,100,50) ~\nT=1 ~\nM=6 ~\nM=3 ~\nG17 ~\n"
      "R(100,100,5) ~\n"
      "R(100,100,5) x\n"
      "F=5 ~\n"
      "F(100,100,-2)\n"
      // Off the face, out to the left edge's lift, onto it with tool 2 in the YZ plane.
      "R(100,100,50) ~\n#O=0 ~\nR(-50,100,50) ~\nR(-50,100,-5) ~\nT=2 ~\nM=6 ~\nM=3 ~\nG19 ~\n"
      "R(2,100,-5) ~\n"
      "R(2,100,-5) x\n",
      Join(List(opt)));
  EXPECT_TRUE(m_boxes.Boxes().empty());
  EXPECT_EQ(-50.0, opt.GetExtents().m_vTravMin.x);
}

TEST_F(DoorFoldTest, OffsetTagsOfTheRightAndTopEdges) {
  struct {
    Vec3 target;
    const char* offset;
  } cases[] = {{Vec3(605, 100, 0), "#X=-600 ~"}, {Vec3(100, 2005, 0), "#Y=-2000 ~"}};
  for (const auto& k : cases) {
    CPathOptimizer opt;
    PathBuilder(opt).R(100, 100, 5).F(100, 100, -2).R(k.target.x, k.target.y, k.target.z);
    ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
    std::string list = Join(List(opt));
    EXPECT_NE(std::string::npos, list.find(std::string("R(100,100,50) ~\n") + k.offset)) << list;
  }
}

TEST_F(DoorFoldTest, KeepingTheFilesToolCodes) {
  DoorPathArea door = kDoor;
  door.m_nFlags |= kDoorPathKeepTools;
  CPathOptimizer opt;
  PathBuilder(opt).R(100, 100, 5).Tag("T", 7).Tag("M", 3).F(100, 100, -2).R(-5, 100, -2);
  ASSERT_TRUE(opt.Optimize(nullptr, &door));
  std::string list = Join(List(opt));
  EXPECT_NE(std::string::npos, list.find("T=7\n")) << list;    // kept
  EXPECT_NE(std::string::npos, list.find("M=3 x\n")) << list;  // spindle codes go
  EXPECT_EQ(std::string::npos, list.find("T=2")) << list;
  EXPECT_EQ(std::string::npos, list.find("M=6")) << list;

  CPathOptimizer own;
  PathBuilder(own).R(100, 100, 5).Tag("T", 7).F(100, 100, -2);
  ASSERT_TRUE(own.Optimize(nullptr, &kDoor));
  EXPECT_NE(std::string::npos, Join(List(own)).find("T=7 x\n"));
}

TEST_F(DoorFoldTest, SpeedTagsFollowTheMotion) {
  CPathOptimizer opt;
  Speeds(opt);
  PathBuilder(opt).R(100, 100, 5).F(100, 100, -2).F(200, 100, -2).R(200, 100, 5).F(300, 100, 5).Code(18);
  ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
  std::vector<std::string> list = List(opt);
  std::vector<std::string> tail(list.end() - 9, list.end());
  EXPECT_EQ("F=5 ~\nF(100,100,-2)\nF=20 ~\nF(200,100,-2)\nF=100 ~\nR(200,100,5)\nF=20 ~\nF(300,100,5)\nG18 x\n",
            Join(tail));
  int plunge = (int)list.size() - 8;
  EXPECT_EQ(kFlagMarkA, MoveAt(opt, plunge)->m_nFlags & kFlagMarkA);
  EXPECT_EQ(0u, MoveAt(opt, plunge + 2)->m_nFlags & kFlagMarkA);
}

TEST_F(DoorFoldTest, CancelInTheFoldLeavesTheListAsItWas) {
  CPathOptimizer opt;
  PathBuilder(opt).R(100, 100, 5).F(100, 100, -2).F(200, 100, -2).Tag("M", 5);
  int n = opt.GetElementCount();
  FakeProgress progress;
  progress.cancelAfter = 2 * n - 1;  // the first question after the corner pass
  EXPECT_FALSE(opt.Optimize(&progress, &kDoor));
  EXPECT_EQ(n, opt.GetElementCount());
  EXPECT_EQ(0u, opt.GetElement(1)->m_nDiscard);  // the rapid the fold had replaced is back
  EXPECT_EQ(0u, opt.GetElement(n - 1)->m_nDiscard);
  EXPECT_EQ(2 * n, progress.position);  // no pass after the fold
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DoorFoldTest, TheProgramEndEndsTheFold) {
  CPathOptimizer opt;
  PathBuilder(opt).R(100, 100, 5).F(100, 100, -2).Tag("M", 30).Code(17).F(100, 100, -3);
  ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
  std::vector<std::string> list = List(opt);
  EXPECT_EQ("G17", list[list.size() - 2]);  // not discarded: the fold had ended
}

TEST_F(DoorFoldTest, ArcPiecesOnAnEdgeAreFoldedWithTheirArc) {
  CPathOptimizer opt;
  Speeds(opt);
  PathBuilder(opt).R(-5, 100, 5).F(-5, 100, -3, kAxisZ).Arc(kCodeArcCW, Vec3(-5, 120, -3), Vec3(-5, 110, -3));
  int pieces = 0;
  for (int i = 0; i < opt.GetElementCount(); i++) pieces += IsArcCode(opt.GetElement(i)->m_nCode) ? 1 : 0;
  ASSERT_GT(pieces, 1);
  ASSERT_TRUE(opt.Optimize(nullptr, &kDoor));
  int arcs = 0, first = -1;
  for (int i = 0; i < opt.GetElementCount(); i++) {
    const CPathArcElement* arc = AsArc(opt.GetElement(i));
    if (!arc) continue;
    if (first < 0) first = i;
    arcs++;
    // (x, y, z) on the left edge is (0 - z, y, x - 0); the fold mirrors the rotation.
    EXPECT_NEAR(3.0, arc->m_vEnd.x, 1e-9) << i;
    EXPECT_LE(arc->m_vEnd.z, -5.0 + 1e-9) << i;
    EXPECT_GE(arc->m_vEnd.z, -15.0 - 1e-9) << i;
    EXPECT_EQ(Vec3(3, 110, -5), arc->m_vCenter) << i;
    EXPECT_EQ(kCodeArcCCW, arc->m_nCode) << i;
    EXPECT_EQ(kFlagMarkB, arc->m_nFlags & kFlagMarkB) << i;
  }
  EXPECT_EQ(pieces, arcs);
  EXPECT_EQ("F=20 ~", List(opt)[(size_t)first - 1]);
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST(PathVertex, SettersClearTheVertex) {
  CPathVertex v;
  v.SetPoint(4, kAxisZ, Vec3(1, 2, 3));
  EXPECT_EQ(0, v.m_nCode);
  v.SetOffset(7, 'Y', -2000);
  EXPECT_EQ(7, v.m_nIndex);
  EXPECT_EQ(-1, v.m_nCode);
  EXPECT_STREQ("#Y", v.m_szName);
  EXPECT_EQ(-2000.0, v.m_dValue);
  EXPECT_EQ(0, v.m_nAxes);
  EXPECT_EQ(Vec3(), v.m_vPoint);
  v.SetPlane(2, 19);
  EXPECT_EQ(19, v.m_nCode);
  EXPECT_STREQ("", v.m_szName);
}

TEST(PathVertex, CopyPathRecordTakesItsOwnToolCopy) {
  ToolRecord tool = {};
  tool.m_dDiameter = 6;
  PathRecord src, dst;
  src.m_nCode = kCodeTag;
  std::strcpy(src.m_szName, "T");
  src.m_dValue = 3;
  src.SetTool(&tool);
  CopyPathRecord(dst, src);
  ASSERT_NE(nullptr, dst.GetTool());
  EXPECT_NE(src.GetTool(), dst.GetTool());
  double diameter = dst.GetTool()->m_dDiameter;
  EXPECT_EQ(6.0, diameter);
  std::strcpy(src.m_szName, "t");  // only exactly "T" carries a tool
  CopyPathRecord(dst, src);
  EXPECT_EQ(nullptr, dst.GetTool());
  EXPECT_FALSE(PointsDiffer(Vec3(1, 1, 1), Vec3(1.00005, 1, 1)));
  EXPECT_TRUE(PointsDiffer(Vec3(1, 1, 1), Vec3(1, 1, 1.0002)));
}

}  // namespace
