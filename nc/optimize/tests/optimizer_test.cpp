// Settings, the driver, corner geometry, merging and the corner pass.
#include <cmath>

#include "nc/optimize/optimize_progress.h"
#include "nc/optimize/tests/optimize_test_support.h"

using namespace opt_testing;
using nc_testing::Join;

namespace {

constexpr double kPi = 3.141592653589793;
double Rad(double deg) { return deg * kPi / 180.0; }

// Two legs of `leg` mm meeting at the given corner angle at (leg, 0, 0).
Vec3 SecondLegEnd(double angle_deg, double leg) {
  double turn = Rad(180.0 - angle_deg);
  return Vec3(leg + leg * std::cos(turn), leg * std::sin(turn), 0.0);
}

class SettingsTest : public OptimizerTest {};

TEST_F(SettingsTest, DefaultsAreWrittenBack) {
  CPathOptimizer opt;
  struct {
    const char* section;
    const char* key;
    const char* value;
  } keys[] = {
      {"Optimization", "MaxAngle", "165"},
      {"Optimization", "MinAngle", "90"},
      {"Optimization", "CordHeight(mm)", "0.005"},
      {"Optimization", "MinArc(mm)", "0.2"},
      {"Optimization", "Sharp2Arc", "disable"},
      {"Optimization", "Sharp2ArcMask(BxyByzBzx)", "100"},
      {"Optimization", "ErrorDiff(mm)", "0.2"},
      {"Optimization", "CornerDepart(mm)", "0.05"},
      {"Optimization", "PointFilter", "enable"},
      {"Optimization", "MergeSegLimit(mm)", "0.1"},
      {"Optimization", "MergeChordHeight(mm)", "0.005"},
      {"Optimization", "MergeByPathError", "disable"},
      {"Optimization", "MergeMinAngle(degree)", "150"},
      {"Optimization", "ForceBreak(G-Codes)", "0,17,18,19"},
      {"Optimization", "ForceBreak(M-Codes)", "3,4,5,6,7,8,9"},
      {"Optimization", "ForceBreak(G-Words)", "T,S"},
      {"Device", "SpindleWarmup(second)", "0"},
  };
  for (const auto& k : keys) EXPECT_STREQ(k.value, GetParamValue(k.section, k.key, "missing")) << k.key;

  EXPECT_NEAR(std::cos(Rad(165)), opt.GetSettings().m_dCosMaxAngle, 1e-12);
  EXPECT_NEAR(std::cos(Rad(90)), opt.GetSettings().m_dCosMinAngle, 1e-12);
  EXPECT_NEAR(std::cos(Rad(150)), opt.GetSettings().m_dCosMergeMinAngle, 1e-12);
  EXPECT_EQ(0.05, opt.GetSettings().m_dCornerDepart);
  EXPECT_EQ(1, opt.GetSettings().m_bMerge);
  EXPECT_EQ(0, opt.GetSettings().m_bCornerToArc);
  EXPECT_EQ(100, opt.GetSettings().m_nCornerArcPlanes);
  EXPECT_EQ(0.0, opt.GetSettings().m_dSpindleWarmup);
  EXPECT_EQ(0, opt.GetCount());
  EXPECT_EQ(4, opt.GetSettings().m_astrBreakGCodes.GetSize());
  EXPECT_EQ(7, opt.GetSettings().m_astrBreakMCodes.GetSize());
  EXPECT_EQ(2, opt.GetSettings().m_astrBreakWords.GetSize());
}

TEST_F(SettingsTest, LowerBoundsAndUnreadableNumbers) {
  Set("CornerDepart(mm)", "0");
  Set("MergeMinAngle(degree)", "90");
  Set("MergeSegLimit(mm)", "fast");
  Set("MergeChordHeight(mm)", "-1");
  Set("MaxAngle", "inf");
  Set("Sharp2Arc", "yes");
  Set("PointFilter", "0");
  PutParamValue("Device", "SpindleWarmup(second)", "2.5");
  CPathOptimizer opt;
  EXPECT_EQ(0.01, opt.GetSettings().m_dCornerDepart);
  EXPECT_NEAR(std::cos(Rad(100)), opt.GetSettings().m_dCosMergeMinAngle, 1e-12);
  EXPECT_EQ(0.0001, opt.GetSettings().m_dMergeSegLimit);
  EXPECT_EQ(0.0001, opt.GetSettings().m_dMergeChordHeight);
  EXPECT_EQ(1.0, opt.GetSettings().m_dCosMaxAngle);  // no number: 0 degrees
  EXPECT_EQ(1, opt.GetSettings().m_bCornerToArc);
  EXPECT_EQ(0, opt.GetSettings().m_bMerge);
  EXPECT_EQ(2.5, opt.GetSettings().m_dSpindleWarmup);
}

TEST_F(SettingsTest, ResetRereadsSettingsButNotTheBreakLists) {
  CPathOptimizer opt;
  Set("MinArc(mm)", "1.5");
  Set("ForceBreak(G-Words)", "Q");
  opt.Reset();
  EXPECT_EQ(1.5, opt.GetSettings().m_dCornerArcMinRadius);
  ASSERT_EQ(2, opt.GetSettings().m_astrBreakWords.GetSize());
  EXPECT_STREQ("T", opt.GetSettings().m_astrBreakWords[0]);
  CPathOptimizer fresh;
  ASSERT_EQ(1, fresh.GetSettings().m_astrBreakWords.GetSize());
  EXPECT_STREQ("Q", fresh.GetSettings().m_astrBreakWords[0]);
}

// A key that stands is never written back, so a list longer than a read (259
// characters) is not cut in the file.
TEST_F(SettingsTest, LongValuesStayWholeInTheFile) {
  std::string codes = "0,17,18,19";
  while (codes.size() < 300) codes += ",1";
  Set("ForceBreak(G-Codes)", codes.c_str());
  CPathOptimizer opt;
  opt.Reset();
  EXPECT_EQ(codes, std::string(ReadIniValue("Optimization", "ForceBreak(G-Codes)", "?", GetParamsFilePath())));
}

TEST(SplitBreakList, Separators) {
  struct {
    const char* text;
    const char* pieces;
  } cases[] = {
      {"t, s|zw", "T/S/ZW/"}, {"0,17,18,19", "0/17/18/19/"}, {",,a..b||", "A/B/"}, {"  x\t-y ", "X/Y/"}, {"", ""},
      {"m3", "M3/"},
  };
  for (const auto& k : cases) {
    CStringArray list;
    list.Add("stale");
    CPathOptimizer::SplitBreakList(k.text, list);
    std::string joined;
    for (int i = 0; i < list.GetSize(); i++) joined += std::string(list[i]) + "/";
    EXPECT_EQ(k.pieces, joined) << k.text;
  }
}

// ---- Corner geometry

TEST(CornerGeometry, VertexAngle) {
  Vec3 o, x(1, 0, 0), y(0, 1, 0), mx(-1, 0, 0);
  EXPECT_NEAR(kPi / 2, VertexAngle(x, o, y), 1e-12);
  EXPECT_NEAR(kPi, VertexAngle(x, o, mx), 1e-12);
  EXPECT_NEAR(0.0, VertexAngle(x, o, Vec3(2, 0, 0)), 1e-12);
  EXPECT_EQ(-1.0, VertexAngle(o, o, y));  // a leg of no length
  EXPECT_EQ(-1.0, VertexAngle(x, o, o));
}

TEST(CornerGeometry, PointSegmentDistance) {
  Vec3 a, c(10, 0, 0);
  EXPECT_NEAR(2.0, PointSegmentDistance(a, Vec3(5, 2, 0), c), 1e-12);   // over the chord
  EXPECT_NEAR(5.0, PointSegmentDistance(a, Vec3(-3, 4, 0), c), 1e-12);  // before its start
  EXPECT_NEAR(0.0, PointSegmentDistance(a, a, c), 1e-12);
}

TEST(CornerGeometry, TurnDirection) {
  Vec3 c;
  struct {
    Vec3 a, b;
    int plane;
    int dir;
  } cases[] = {
      {Vec3(1, 0, 0), Vec3(0, 1, 0), 0, 3},                                         // a quarter turn counter-clockwise
      {Vec3(0, 1, 0), Vec3(1, 0, 0), 0, 2}, {Vec3(0, -1, 0), Vec3(1, 0, 0), 0, 3},  // across the zero angle
      {Vec3(1, 0, 0), Vec3(1, 0, 0), 0, 3},                                         // no turn
      {Vec3(0, 0, 1), Vec3(1, 0, 0), 4, 3},                                         // XZ: from Z towards X
      {Vec3(0, 1, 0), Vec3(0, 0, 1), 8, 3},                                         // YZ: from Y towards Z
  };
  for (const auto& k : cases) EXPECT_EQ(k.dir, TurnDirection(k.plane, k.a, k.b, c));
}

// ---- Driver

class DriverTest : public OptimizerTest {};

TEST_F(DriverTest, AlreadyCancelledChangesNothing) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(0.05, 0, 5).F(0.1, 0, 5).F(0.15, 0, 5);
  FakeProgress progress;
  progress.cancelled = true;
  std::string before = Join(List(opt));
  EXPECT_FALSE(opt.Optimize(&progress, nullptr));
  EXPECT_EQ(before, Join(List(opt)));
  EXPECT_EQ(0, progress.calls);
}

TEST_F(DriverTest, CancelInTheCornerPassKeepsTheMergesAndSkipsTheRest) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(0.05, 0, 5).F(0.1, 0, 5).F(0.15, 0, 5).F(5, 5, 5).F(10, 0, 5).F(10, 10, 5);
  int n = opt.GetElementCount();
  FakeProgress progress;
  progress.cancelAfter = n;  // the merging pass reads n elements
  DoorPathArea door = {-1000, 1000, 1000, -1000, kDoorPathImport};
  EXPECT_FALSE(opt.Optimize(&progress, &door));
  EXPECT_EQ(n, opt.GetElementCount());  // no door vertices
  EXPECT_EQ(1u, opt.GetElement(2)->m_nDiscard);
  for (int i = 0; i < n; i++) EXPECT_EQ(0.0, opt.GetMoveExtras(i).m_dMark) << i;
  EXPECT_EQ(3 * n, progress.range);
}

TEST_F(DriverTest, ProgressCountsEveryElementOfEveryPass) {
  Set("Sharp2Arc", "enable");
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(10, 10, 0).Tag("F", 20);
  int n = opt.GetElementCount();
  FakeProgress progress;
  EXPECT_TRUE(opt.Optimize(&progress, nullptr));
  int k = opt.GetElementCount() - n;  // the corner arc
  EXPECT_GT(k, 0);
  EXPECT_EQ(3 * n + 2 * k, progress.range);
  EXPECT_EQ(progress.range, progress.position);
}

TEST_F(DriverTest, DrainsAtIntervalsAndAnswersCancelFromTheQueue) {
  static int pumps;
  static FakeProgress* sink;
  pumps = 0;
  CPathOptimizer opt;
  PathBuilder b(opt);
  b.R(0, 0, 5);
  for (int i = 1; i <= 40; i++) b.F(i, (i % 2) * 3.0, 5);
  FakeProgress progress;
  progress.sleepPerStep_ms = 2;  // time passes, so drains fall due
  sink = &progress;
  platform::SetPumpHook([] { pumps++; });
  DWORD start = GetTickCount();
  EXPECT_TRUE(opt.Optimize(&progress, nullptr));
  DWORD elapsed_ms = GetTickCount() - start;
  EXPECT_GE(pumps, 1);
  EXPECT_LE((DWORD)pumps, elapsed_ms / COptimizeProgress::kDrainInterval_ms + 1);
  EXPECT_LT(pumps, progress.calls);

  // The operator's Cancel arrives while the queue is drained.
  opt.Reset();
  for (int i = 1; i <= 40; i++) b.F(i, (i % 2) * 3.0, 5);
  FakeProgress second;
  second.sleepPerStep_ms = 2;
  sink = &second;
  platform::SetPumpHook([] { sink->cancelled = true; });
  EXPECT_FALSE(opt.Optimize(&second, nullptr));
  EXPECT_LT(second.calls, 3 * opt.GetElementCount());
  platform::SetPumpHook(nullptr);
}

// ---- Merging

class MergeTest : public OptimizerTest {};

TEST_F(MergeTest, ShortCollinearFeedsMergeFromTheSecondVertex) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(0.05, 0, 5).F(0.1, 0, 5).F(0.15, 0, 5);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ("R(0,0,5)\nF(0.05,0,5)\nF(0.1,0,5) x\nF(0.15,0,5)\n", Join(List(opt)));
  EXPECT_NEAR(5.15, opt.GetMoveExtras(3).m_dMark, 1e-12);  // the rapid up 5 mm, the third spans 0.1 mm
  EXPECT_NEAR(0.15, opt.GetPathLength(), 1e-12);
}

TEST_F(MergeTest, ZeroLengthFeedsAreDroppedAndCheckedAgainstTheNewChord) {
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(1, 0, 5).F(2, 0, 5).F(2, 0, 5).F(3, 0, 5);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  // The zero-length feed goes at once; the vertex at 2 lies on the chord 1-3.
  EXPECT_EQ("R(0,0,5)\nF(1,0,5)\nF(2,0,5) x\nF(2,0,5) x\nF(3,0,5)\n", Join(List(opt)));

  // The dropped point is checked against the new chord with the corner angle: at 179.9
  // degrees it counts as a corner, so the vertex stays although it would merge.
  Set("MaxAngle", "179.9");
  opt.Reset();
  PathBuilder(opt).R(0, 0, 5).F(1, 0, 5).F(2, 0.001, 5).F(2, 0.001, 5).F(3, 0, 5);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ(0u, opt.GetElement(2)->m_nDiscard);
  EXPECT_EQ(1u, opt.GetElement(3)->m_nDiscard);
}

TEST_F(MergeTest, LongLegsAtACornerStay) {
  CPathOptimizer opt;
  Vec3 e = SecondLegEnd(170, 10), f = e + Vec3(10 * std::cos(Rad(20)), 10 * std::sin(Rad(20)), 0);
  PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(e.x, e.y, 0).F(f.x, f.y, 0);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  for (int i = 0; i < 4; i++) EXPECT_EQ(0u, opt.GetElement(i)->m_nDiscard) << i;
  // The merge test of the vertex at e measured its distance from the chord.
  EXPECT_NEAR(10 * std::sin(Rad(5)), opt.GetMoveExtras(2).m_dDeviation, 1e-9);
}

TEST_F(MergeTest, ForceBreaksStartANewTag) {
  CPathOptimizer opt;
  struct {
    const char* name;
    double value;
    DWORD tagStart;
  } cases[] = {{"M", 3, 1}, {"M", 3.7, 1}, {"M", 10, 0}, {"F", 20, 0}, {"S", 12000, 1}, {"T", 2, 1}};
  for (const auto& k : cases) {
    opt.Reset();
    PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(20, 3, 0).Tag(k.name, k.value).F(30, 0, 0).F(40, 3, 0);
    ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
    EXPECT_EQ(k.tagStart, MoveAt(opt, 4)->m_nTagStart) << k.name << k.value;
  }
  PathRecord r;
  r.m_nCode = 18;
  EXPECT_TRUE(opt.IsForceBreak(r));
  r.m_nCode = 90;
  EXPECT_FALSE(opt.IsForceBreak(r));
  r.m_nCode = kCodeFeed;
  EXPECT_FALSE(opt.IsForceBreak(r));
}

// A tag or mode code that forces a break ends the run of feeds being merged: the vertex
// where the program put it stays, so the spindle stops (the tool changes) where the
// program says, not one cut earlier. Through the loader and the optimiser, as an import.
TEST_F(MergeTest, BreakTagsEndTheRun) {
  testing_support::MessageBoxRecorder boxes;
  struct {
    const char* line;
    bool breaks;
  } cases[] = {{"M5", true},     {"M3", true},      {"M8", true}, {"T2", true},
               {"S12000", true}, {"T2 F900", true},  // a tag that does not break after one that does keeps the break
               {"F900", false},  {"G90", false}};
  for (const auto& k : cases) {
    CPathOptimizer opt;
    CString path = m_dir / "run.nc";
    std::string text = "G0 X0 Y0 Z1\nG1 Z0 F600\nG1 X10\nG1 X20\n" + std::string(k.line) + "\nG1 X30\nG1 X40\n";
    ASSERT_TRUE(testing_support::WriteFileBytes(path, text));
    ASSERT_TRUE(opt.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1))) << k.line;
    ASSERT_TRUE(opt.Optimize(nullptr, nullptr)) << k.line;
    std::string list = Join(List(opt));
    EXPECT_NE(std::string::npos, list.find(k.breaks ? "F(20,0,0)\n" : "F(20,0,0) x\n")) << k.line << "\n" << list;
    EXPECT_NE(std::string::npos, list.find("F(10,0,0) x\n")) << k.line << "\n" << list;  // inside the run
  }
}

TEST_F(MergeTest, PointFilterOffLeavesEveryFeedButStillMarks) {
  Set("PointFilter", "disable");
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 5).F(0.05, 0, 5).F(0.1, 0, 5).F(0.15, 0, 5);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  for (int i = 0; i < 4; i++) EXPECT_EQ(0u, opt.GetElement(i)->m_nDiscard) << i;
  EXPECT_NEAR(180.0, opt.GetMoveExtras(1).m_dAngle, 1e-9);
  EXPECT_NEAR(5.15, opt.GetMoveExtras(3).m_dMark, 1e-12);
}

TEST_F(MergeTest, PathErrorMeasure) {
  CPathOptimizer opt;
  // Without dropped points there is no path to compare with.
  EXPECT_EQ(0.0, opt.MergePathError(Vec3(), Vec3(1, 1, 0), Vec3(2, 0, 0)));
}

// ---- Corner pass

class CornerTest : public OptimizerTest {};

TEST_F(CornerTest, AnglesRadiiAndNewTags) {
  struct {
    double angle_deg;
    DWORD tagStart;  // of the second feed
    double radius;   // of the first feed
  } cases[] = {
      {170, 0, 13.0896},  // departure rule: 0.05 sin 85 / (1 - sin 85)
      {100, 0, 0.16371},  // 0.05 sin 50 / (1 - sin 50)
      {80, 2, DBL_MAX},   // sharper than the minimum angle: new tag, radius untouched
  };
  for (const auto& k : cases) {
    CPathOptimizer opt;
    Vec3 e = SecondLegEnd(k.angle_deg, 10);
    PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(e.x, e.y, 0);
    ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
    if (k.radius == DBL_MAX) {
      EXPECT_EQ(DBL_MAX, opt.GetMoveExtras(1).m_dRadius) << k.angle_deg;
    } else {
      EXPECT_NEAR(k.radius, opt.GetMoveExtras(1).m_dRadius, 1e-4) << k.angle_deg;
    }
    EXPECT_EQ(k.tagStart, MoveAt(opt, 2)->m_nTagStart) << k.angle_deg;
    if (k.tagStart == 0) {
      EXPECT_NEAR(k.angle_deg, opt.GetMoveExtras(1).m_dAngle, 1e-9);
    }
  }
}

TEST_F(CornerTest, NearlyStraightCornersGetTheCircleThroughTheirPoints) {
  CPathOptimizer opt;
  // 179.99 degrees: the vertex lies 0.0009 mm off the chord, below "CordHeight(mm)".
  Vec3 e = SecondLegEnd(179.99, 10);
  PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(e.x, e.y, 0);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  double d3 = std::hypot(e.x, e.y);
  EXPECT_NEAR(d3 / (2 * std::sin(Rad(179.99))), opt.GetMoveExtras(1).m_dRadius, 1e-3);
}

// A program that starts with a cut: the cut counts in the marks and the toolpath length,
// measured from the origin where the program starts.
TEST_F(MergeTest, AFirstCutCountsFromTheOrigin) {
  testing_support::MessageBoxRecorder boxes;  // the first-move warning
  CPathOptimizer opt;
  CString path = m_dir / "cut.nc";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "G1 X10 F600\nG1 X10 Y20\n"));
  ASSERT_TRUE(opt.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1)));
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ(10.0, opt.GetMoveExtras(1).m_dMark);
  EXPECT_EQ(30.0, opt.GetMoveExtras(2).m_dMark);
  EXPECT_EQ(30.0, opt.GetPathLength());
}

TEST_F(CornerTest, FirstMoveWithoutARapidSetsOnlyItsLeg) {
  CPathOptimizer opt;
  Vec3 e = SecondLegEnd(100, 10);
  PathBuilder(opt).F(10, 0, 0).F(e.x, e.y, 0);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  // The leg from the origin is known, so the corner at (10, 0, 0) is measured as usual.
  EXPECT_NEAR(100.0, opt.GetMoveExtras(0).m_dAngle, 1e-9);
  EXPECT_NEAR(0.16371, opt.GetMoveExtras(0).m_dRadius, 1e-4);
  EXPECT_EQ(1u, MoveAt(opt, 0)->m_nTagStart);
}

TEST_F(CornerTest, SharpCornerBecomesATangentArc) {
  Set("Sharp2Arc", "enable");
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(10, 10, 0).R(10, 10, 20);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  const double r = 0.2 * std::sqrt(0.5) / (1 - std::sqrt(0.5));  // 0.4828
  const CPathLineElement* first = MoveAt(opt, 1);
  EXPECT_NEAR(10 - r, first->m_vEnd.x, 1e-9);
  EXPECT_NEAR(0.0, first->m_vEnd.y, 1e-12);
  EXPECT_NEAR(r, opt.GetMoveExtras(1).m_dRadius, 1e-9);
  // Eight pieces of 11.25 degrees keep the chord height below 0.005 mm: seven inserted
  // pieces, then the arc itself, before the second feed.
  ASSERT_EQ(4 + 8, opt.GetElementCount());
  for (int i = 2; i < 10; i++) {
    const CPathArcElement* piece = AsArc(opt.GetElement(i));
    ASSERT_NE(nullptr, piece) << i;
    EXPECT_EQ(kCodeArcCCW, piece->m_nCode);
    EXPECT_TRUE(piece->IsFitted());
    EXPECT_EQ(i == 9, piece->IsSource() == 1) << i;
    EXPECT_NEAR(10 - r, piece->m_vCenter.x, 1e-9);
    EXPECT_NEAR(r, piece->m_vCenter.y, 1e-9);
  }
  EXPECT_NEAR(10.0, MoveAt(opt, 9)->m_vEnd.x, 1e-9);
  EXPECT_NEAR(r, MoveAt(opt, 9)->m_vEnd.y, 1e-9);
  EXPECT_EQ("F(10,10,0)", nc_testing::Describe(opt.GetElement(10)));
  // The arc's pieces lie inside the corner: they do not stretch the cutting box (to the
  // end of the program, the final rapid at Z 20).
  EXPECT_EQ(0.0, opt.GetExtents().m_vCutMax.z);
}

TEST_F(CornerTest, CornerArcsOnlyWhereTheyFit) {
  Set("Sharp2Arc", "enable");
  struct {
    const char* what;
    Vec3 p1, p2;
  } cases[] = {
      {"XZ corner with the ZX digit 0", Vec3(10, 0, 0), Vec3(10, 0, 10)},
      {"corner in space", Vec3(10, 0, 0), Vec3(10, 10, 10)},
      {"tangent longer than the legs", Vec3(0.3, 0, 0), Vec3(0.3, 0.3, 0)},
  };
  for (const auto& k : cases) {
    CPathOptimizer opt;
    PathBuilder(opt).R(0, 0, 0).F(k.p1.x, k.p1.y, k.p1.z).F(k.p2.x, k.p2.y, k.p2.z);
    ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
    EXPECT_EQ(3, opt.GetElementCount()) << k.what;
    EXPECT_EQ(k.p1, MoveAt(opt, 1)->m_vEnd) << k.what;
  }
  // With the ZX digit set the XZ corner gets its arc, wrapped in plane codes.
  Set("Sharp2ArcMask(BxyByzBzx)", "101");
  CPathOptimizer opt;
  PathBuilder(opt).R(0, 0, 0).F(10, 0, 0).F(10, 0, 10);
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  std::vector<std::string> list = List(opt);
  ASSERT_GT(list.size(), 5u);
  EXPECT_EQ("G18", list[2]);
  EXPECT_EQ("G17", list[list.size() - 2]);
}

TEST_F(CornerTest, NoCornerArcWhereALegIsAnArc) {
  Set("Sharp2Arc", "enable");
  CPathOptimizer opt;
  // A quarter arc ending at (10, 10) followed by a feed turning back at 45 degrees.
  PathBuilder(opt).R(0, 0, 0).F(0, 10, 0).Arc(kCodeArcCW, Vec3(10, 0, 0), Vec3(0, 0, 0)).F(0, 5, 0);
  int n = opt.GetElementCount();
  ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
  EXPECT_EQ(n, opt.GetElementCount());
}

TEST_F(CornerTest, CoincidentPointsAndZeroSettingsDivideByNothing) {
  Set("PointFilter", "disable");
  Set("Sharp2Arc", "enable");
  Set("CordHeight(mm)", "0");
  double savedZero = g_dDoubleZero;
  for (double zero : {1e-7, 0.0}) {
    g_dDoubleZero = zero;  // "double_zero" may be set to 0
    CPathOptimizer opt;
    PathBuilder(opt).R(0, 0, 0).F(0, 0, 0).F(0, 0, 0).F(5, 0, 0).F(10, 0, 0).F(10, 0, 0).F(10, 5, 0).F(0, 0, 0);
    ASSERT_TRUE(opt.Optimize(nullptr, nullptr));
    for (int i = 0; i < opt.GetElementCount(); i++) {
      const CPathLineElement* m = MoveAt(opt, i);
      ASSERT_NE(nullptr, m);
      PathRecord rec;
      ASSERT_TRUE(opt.GetPathRecord(i, rec, FALSE));
      EXPECT_TRUE(rec.m_dRadius == DBL_MAX || std::isfinite(rec.m_dRadius)) << zero << " " << i;
      const MoveExtras x = opt.GetMoveExtras(i);
      EXPECT_TRUE(x.m_dAngle == DBL_MAX || std::isfinite(x.m_dAngle)) << zero << " " << i;
      EXPECT_TRUE(std::isfinite(x.m_dMark)) << zero << " " << i;
    }
    // A straight continuation, not within a chord height of 0: the straight radius.
    EXPECT_EQ(10000.0, opt.GetMoveExtras(3).m_dRadius) << zero;
  }
  g_dDoubleZero = savedZero;
}

TEST_F(CornerTest, CornerArcBuilderRefusesDegenerateCorners) {
  CPathOptimizer opt;
  CPathElementArray list;
  Vec3 a, b, c;
  int plane = -1;
  EXPECT_EQ(-1, opt.BuildCornerArc(Vec3(), Vec3(10, 0, 0), Vec3(20, 0, 0), 0.2, 0.2, a, b, c, plane, list));
  EXPECT_EQ(-1, opt.BuildCornerArc(Vec3(), Vec3(10, 0, 0), Vec3(5, 0, 0), 0.2, 0.2, a, b, c, plane, list));
  EXPECT_EQ(-1, opt.BuildCornerArc(Vec3(), Vec3(), Vec3(5, 5, 0), 0.2, 0.2, a, b, c, plane, list));
  // Settings of 0 would make an arc of no radius.
  EXPECT_EQ(-1, opt.BuildCornerArc(Vec3(), Vec3(10, 0, 0), Vec3(10, 10, 0), 0, 0, a, b, c, plane, list));
  EXPECT_EQ(0, list.GetSize());
  EXPECT_EQ(3, opt.BuildCornerArc(Vec3(), Vec3(10, 0, 0), Vec3(10, 10, 0), 0.2, 0.2, a, b, c, plane, list));
  EXPECT_EQ(0, plane);
  EXPECT_GT(list.GetSize(), 0);
  for (int i = 0; i < list.GetSize(); i++) DeleteElement(list[i]);
}

}  // namespace
