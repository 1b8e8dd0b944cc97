// Adders, arc splitting, extents and orientation.
#include <cmath>

#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

constexpr double kPi = 3.141592653589793;

class PathBuildingTest : public AppFolderTest {};

const CPathLineElement* Move(const CNCProgram& p, int i) { return AsMove(p.GetElement(i)); }

TEST_F(PathBuildingTest, AddersCheckTheirCodesAndStampTheLine) {
  CNCProgram p;
  ReadState(p).m_nLine = 12;
  for (WORD code : {0, 1, 2, 3}) EXPECT_FALSE(p.AddCode(code));
  EXPECT_FALSE(p.AddLine(2, kAxesXYZ, Vec3()));
  EXPECT_FALSE(p.AddArc(1, 0, kAxesXYZ, Vec3(), Vec3()));
  EXPECT_FALSE(p.AddTag("", 1));
  EXPECT_FALSE(p.AddTag(nullptr, 1, new ToolRecord()));  // the tool is not leaked
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_EQ(-1, p.GetFirstMoveCode());

  EXPECT_TRUE(p.AddCode(21));
  EXPECT_TRUE(p.AddTag("ABC", 3));  // cut at two characters
  EXPECT_EQ("G21\nAB=3\n", Join(Describe(p)));
  for (int i = 0; i < p.GetElementCount(); i++) EXPECT_EQ(12u, p.GetElement(i)->m_nLine);
}

TEST_F(PathBuildingTest, FirstFeedSetsTheCuttingBox) {
  CNCProgram p;
  ASSERT_TRUE(p.AddLine(kCodeFeed, kAxisX, Vec3(10, 0, 0)));
  EXPECT_EQ(1, p.GetFirstMoveCode());
  Vec3 lo, hi;
  p.GetCutMin(lo, FALSE);
  p.GetCutMax(hi, FALSE);
  EXPECT_EQ(Vec3(0, 0, 0), lo);
  EXPECT_EQ(Vec3(10, 0, 0), hi);
  const CPathLineElement* e = Move(p, 0);
  EXPECT_EQ(0u, e->m_nTagStart);
  EXPECT_EQ(DBL_MAX, p.GetMoveExtras(0).m_dRadius);
  EXPECT_EQ(DBL_MAX, p.GetMoveExtras(0).m_dAngle);
  // A later rapid leaves the first-move code alone.
  p.AddLine(kCodeRapid, kAxisX, Vec3(0, 0, 0));
  EXPECT_EQ(1, p.GetFirstMoveCode());
}

TEST_F(PathBuildingTest, QuarterCircleBecomes32EqualPieces) {
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(10, 0, 0);
  ASSERT_TRUE(p.AddArc(kCodeArcCCW, 0, kAxesXY, Vec3(0, 10, 0), Vec3(0, 0, 0)));
  ASSERT_EQ(32, p.GetElementCount());
  double step = (kPi / 2) / 32;  // 2.8125 degrees
  for (int i = 0; i < 32; i++) {
    const CPathArcElement* piece = AsArc(p.GetElement(i));
    ASSERT_NE(nullptr, piece);
    EXPECT_EQ(i == 31 ? 1 : 0, piece->IsSource()) << i;
    EXPECT_EQ(kCodeArcCCW, piece->m_nCode);
    EXPECT_EQ(10.0, piece->m_dRadius);
    EXPECT_NEAR(10 * std::cos(step * (i + 1)), piece->m_vEnd.x, 1e-9) << i;
    EXPECT_NEAR(10 * std::sin(step * (i + 1)), piece->m_vEnd.y, 1e-9) << i;
    EXPECT_EQ(Vec3(0, 0, 0), piece->m_vCenter);
  }
  // Clockwise the other way round: from (0,10) down to (10,0).
  CNCProgram cw;
  ReadState(cw).m_vLastPoint = Vec3(0, 10, 0);
  cw.AddArc(kCodeArcCW, 0, kAxesXY, Vec3(10, 0, 0), Vec3(0, 0, 0));
  ASSERT_EQ(32, cw.GetElementCount());
  EXPECT_NEAR(10 * std::cos(kPi / 2 - step), Move(cw, 0)->m_vEnd.x, 1e-9);
  Vec3 lo, hi;
  cw.GetCutMin(lo, FALSE);
  cw.GetCutMax(hi, FALSE);
  EXPECT_EQ(Vec3(0, 0, 0), lo);
  EXPECT_EQ(Vec3(10, 10, 0), hi);
}

TEST_F(PathBuildingTest, FullCircleStartsOppositeTheStart) {
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(10, 0, 0);
  p.SetArcTolerance(3.0);  // r(1 - cos(45deg)) = 2.93 < 3: quarters
  ASSERT_TRUE(p.AddArc(kCodeArcCCW, 0, kAxesXY, Vec3(10, 0, 0), Vec3(0, 0, 0)));
  ASSERT_EQ(4, p.GetElementCount());
  // The first bisection puts the middle at 180 degrees, the next ones at 90 and 270.
  EXPECT_NEAR(0.0, Move(p, 0)->m_vEnd.x, 1e-9);
  EXPECT_NEAR(10.0, Move(p, 0)->m_vEnd.y, 1e-9);
  EXPECT_NEAR(-10.0, Move(p, 1)->m_vEnd.x, 1e-9);
  EXPECT_NEAR(-10.0, Move(p, 2)->m_vEnd.y, 1e-9);
  EXPECT_EQ("CCW(10,0,0)@(0,0,0)", Describe(p.GetElement(3)));
}

TEST_F(PathBuildingTest, ArcsThatStayWhole) {
  struct {
    const char* why;
    Vec3 start, end, center;
    double radius;  // expected element radius
  } cases[] = {
      {"radii disagree", {10, 0, 0}, {0, 10.01, 0}, {0, 0, 0}, 10.01},
      {"nil radius", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0.0},
      {"non-finite centre", {10, 0, 0}, {0, 10, 0}, {NAN, 0, 0}, NAN},
      {"infinite end", {10, 0, 0}, {INFINITY, 10, 0}, {0, 0, 0}, INFINITY},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    ReadState(p).m_vLastPoint = k.start;
    ASSERT_TRUE(p.AddArc(kCodeArcCCW, 0, kAxesXY, k.end, k.center)) << k.why;
    ASSERT_EQ(1, p.GetElementCount()) << k.why;
    double r = AsArc(p.GetElement(0))->m_dRadius;
    if (std::isnan(k.radius))
      EXPECT_TRUE(std::isnan(r)) << k.why;
    else
      EXPECT_EQ(k.radius, r) << k.why;
  }
  // A plane selector that is none of the three inserts nothing either.
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(10, 0, 0);
  p.AddArc(kCodeArcCCW, 2, kAxesXY, Vec3(0, 10, 0), Vec3());
  EXPECT_EQ(1, p.GetElementCount());
}

// An arc is cut into at most 2^16 pieces. One that would need more cannot keep its chord
// height: it is refused and stops the load, with its line in the report.
TEST_F(PathBuildingTest, ArcsBeyondThePieceLimitAreRefused) {
  g_nUiLanguage = 1;
  // A full circle needs r (1 - cos(pi / 2^k)) below 0.005 mm: 2^16 pieces up to about
  // 4.35 km of radius.
  EXPECT_EQ(kMaxArcPieces, CountArcPieces(kCodeArcCCW, kPlaneXY, Vec3(3e6, 0, 0), Vec3(3e6, 0, 0), Vec3(), 0.005));
  EXPECT_EQ(-1, CountArcPieces(kCodeArcCCW, kPlaneXY, Vec3(5e6, 0, 0), Vec3(5e6, 0, 0), Vec3(), 0.005));
  CNCProgram fits;
  ReadState(fits).m_vLastPoint = Vec3(3e6, 0, 0);
  ASSERT_TRUE(fits.AddArc(kCodeArcCCW, kPlaneXY, kAxesXY, Vec3(3e6, 0, 0), Vec3()));
  EXPECT_EQ(kMaxArcPieces, fits.GetElementCount());

  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(1e9, 0, 0);
  ReadState(p).m_nLine = 7;
  EXPECT_FALSE(p.AddArc(kCodeArcCCW, kPlaneXY, kAxesXY, Vec3(1e9, 0, 0), Vec3(0, 0, 0)));
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_EQ(1, p.GetReadState().m_bStop);
  EXPECT_STREQ("Line 7: Arc too large to split within the chord tolerance\r\n", p.GetErrors());
  // Coordinates so large that bisection points collapse onto each other.
  CNCProgram q;
  ReadState(q).m_vLastPoint = Vec3(1e20, 0, 0);
  ASSERT_TRUE(q.AddArc(kCodeArcCCW, kPlaneXY, kAxesXY, Vec3(1e20, 1, 0), Vec3(1e20, 0.5, 0)));
  EXPECT_LE(q.GetElementCount(), kMaxArcPieces);
}

// The piece count is 2^k for the least k whose pieces keep their chord height below the
// tolerance, over radii from a micron to kilometres (the heights at depth k taken as the
// tolerance: the closest calls) and sweeps of every size in both directions.
TEST_F(PathBuildingTest, PiecesAreTheFewestThatKeepTheChordHeight) {
  auto height = [](double sweep_rad, double radius_mm, int depth) {
    const double quarter_rad = sweep_rad / double(1 << depth) / 4;
    return 2 * radius_mm * std::sin(quarter_rad) * std::sin(quarter_rad);
  };
  auto leastDepth = [&](double sweep_rad, double radius_mm, double tolerance_mm, int least) {
    for (int depth = least; depth <= kMaxArcSplitDepth; ++depth)
      if (height(sweep_rad, radius_mm, depth) < tolerance_mm) return depth;
    return -1;
  };
  int checked = 0;
  for (double radius_mm = 1e-3; radius_mm < 1e7; radius_mm *= 3.7) {
    for (double end_rad : {1e-4, 0.05, 0.7, 1.5707963, 3.0, 4.9, 6.2831, 2 * kPi}) {
      for (WORD code : {kCodeArcCW, kCodeArcCCW}) {
        const Vec3 start(radius_mm, 0, 0), end(radius_mm * std::cos(end_rad), radius_mm * std::sin(end_rad), 0);
        const bool closed = IsSamePointInPlane(kPlaneXY, start, end);
        const double a_rad = PlaneAngle(start.x, start.y, start.z, kPlaneXY);
        const double b_rad = PlaneAngle(end.x, end.y, end.z, kPlaneXY);
        const double sweep_rad = closed               ? 2 * kPi
                                 : code == kCodeArcCW ? (b_rad < a_rad ? a_rad - b_rad : a_rad - b_rad + 2 * kPi)
                                                      : (b_rad > a_rad ? b_rad - a_rad : b_rad - a_rad + 2 * kPi);
        const double end_radius_mm = std::sqrt(end.x * end.x + end.y * end.y);
        std::vector<double> tolerances = {0.005, 1e-6, 0.5};
        for (int depth = 0; depth <= kMaxArcSplitDepth; depth += 3)
          if (height(sweep_rad, end_radius_mm, depth) > 0)
            tolerances.push_back(height(sweep_rad, end_radius_mm, depth));
        for (double tolerance_mm : tolerances) {
          const int depth = leastDepth(sweep_rad, end_radius_mm, tolerance_mm, closed ? 1 : 0);
          SCOPED_TRACE(testing::Message()
                       << "r " << radius_mm << " end " << end_rad << " code " << code << " tol " << tolerance_mm);
          EXPECT_EQ(depth < 0 ? -1 : 1 << depth, CountArcPieces(code, kPlaneXY, start, end, Vec3(), tolerance_mm));
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 2000);
}

TEST_F(PathBuildingTest, HelicalArcClimbsLinearly) {
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(10, 0, 0);
  ASSERT_TRUE(p.AddArc(kCodeArcCCW, 0, kAxesXY, Vec3(0, 10, 1), Vec3(0, 0, 0)));
  ASSERT_EQ(32, p.GetElementCount());
  for (int i = 0; i < 32; i++) {
    EXPECT_NEAR((i + 1) / 32.0, Move(p, i)->m_vEnd.z, 1e-12) << i;
    EXPECT_EQ(1, Move(p, i)->IsHelical()) << i;
    EXPECT_EQ(kAxesXYZ, Move(p, i)->m_byAxes) << i;
  }
}

TEST_F(PathBuildingTest, ArcsInTheOtherPlanes) {
  // XZ: angles run from Z towards X; YZ: from Y towards Z. A counter-clockwise quarter
  // from the first axis to the second passes 45 degrees halfway.
  struct {
    BYTE plane;
    Vec3 start, end, halfway;
  } cases[] = {
      {4, {0, 5, 10}, {10, 5, 0}, {10 * std::sin(kPi / 4), 5, 10 * std::cos(kPi / 4)}},
      {8, {3, 10, 0}, {3, 0, 10}, {3, 10 * std::cos(kPi / 4), 10 * std::sin(kPi / 4)}},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    ReadState(p).m_vLastPoint = k.start;
    ASSERT_TRUE(p.AddArc(kCodeArcCCW, k.plane, kAxesXYZ, k.end, Vec3(0, 0, 0)));
    ASSERT_EQ(32, p.GetElementCount());
    const Vec3& h = Move(p, 15)->m_vEnd;
    EXPECT_NEAR(k.halfway.x, h.x, 1e-9);
    EXPECT_NEAR(k.halfway.y, h.y, 1e-9);
    EXPECT_NEAR(k.halfway.z, h.z, 1e-9);
    EXPECT_EQ(0, Move(p, 31)->IsHelical());
  }
}

TEST_F(PathBuildingTest, ExtentsOfRapidsAndFeeds) {
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(0, 0, 5);
  p.AddLine(kCodeRapid, kAxesXYZ, Vec3(20, 30, 10));
  Vec3 lo, hi, size;
  p.GetExtentMin(lo, FALSE);
  EXPECT_EQ(-DBL_MAX, lo.x);  // the smaller of the empty cutting box's corners
  EXPECT_EQ(-DBL_MAX, lo.z);  // Z counts the empty cutting box too
  p.NormalizeExtents();
  p.GetExtentMin(lo, FALSE);
  p.GetExtentMax(hi, FALSE);
  EXPECT_EQ(Vec3(0, 0, 0), lo);
  EXPECT_EQ(Vec3(0, 0, 10), hi);

  p.ResetExtents();
  ReadState(p).m_vLastPoint = Vec3(0, 0, 5);
  p.AddLine(kCodeRapid, kAxesXYZ, Vec3(1, 1, 10));
  ReadState(p).m_vLastPoint = Vec3(1, 1, 10);
  p.AddLine(kCodeFeed, kAxesXYZ, Vec3(4, 6, -2));
  p.GetExtentMin(lo, FALSE);
  p.GetExtentMax(hi, FALSE);
  p.GetExtentSize(size, FALSE);
  EXPECT_EQ(Vec3(1, 1, -2), lo);
  EXPECT_EQ(Vec3(4, 6, 10), hi);
  EXPECT_EQ(Vec3(3, 5, 12), size);
  double zMin, zMax;
  EXPECT_TRUE(p.GetTraverseZRange(zMin, zMax, FALSE));
  EXPECT_EQ(5.0, zMin);
  EXPECT_EQ(10.0, zMax);
  // Z reversal turns the range over.
  p.SetOrientation(0, 0, 1, 1);
  p.GetTraverseZRange(zMin, zMax, TRUE);
  EXPECT_EQ(-10.0, zMin);
  EXPECT_EQ(-5.0, zMax);

  p.SetExtentsFromJob(Vec3(-1, -2, -3), Vec3(7, 8, 9), 2, 4);
  p.SetOrientation(0, 0, 0, 1);
  p.GetExtentMin(lo, FALSE);
  p.GetExtentMax(hi, FALSE);
  EXPECT_EQ(Vec3(-1, -2, -3), lo);
  EXPECT_EQ(Vec3(7, 8, 9), hi);
}

TEST_F(PathBuildingTest, OrientationTypesKeepTheBoxAtTheOrigin) {
  CNCProgram p;
  p.AddLine(kCodeFeed, kAxesXY, Vec3(100, 50, 0));  // cutting box (0,0)-(100,50)
  struct {
    int type;
    Vec3 origin, corner;  // images of (0,0) and (100,50)
  } cases[] = {
      {1, {0, 0, 0}, {100, 50, 0}}, {2, {100, 0, 0}, {0, 50, 0}}, {3, {50, 100, 0}, {0, 0, 0}},
      {4, {0, 100, 0}, {50, 0, 0}}, {5, {0, 50, 0}, {100, 0, 0}}, {6, {100, 50, 0}, {0, 0, 0}},
      {7, {50, 0, 0}, {0, 100, 0}}, {8, {0, 0, 0}, {50, 100, 0}}, {0, {0, 0, 0}, {100, 50, 0}},
      {9, {0, 0, 0}, {100, 50, 0}},
  };
  for (const auto& k : cases) {
    p.SetOrientation(1, 1, 0, k.type);  // the X and Y flips have no effect
    EXPECT_EQ(k.type, p.GetOrientation());
    const TransformMatrix& m = p.GetOrientationMatrix();
    EXPECT_EQ(k.origin, m.Apply(0, 0, 0)) << k.type;
    EXPECT_EQ(k.corner, m.Apply(100, 50, 0)) << k.type;
    EXPECT_EQ(3.0, m.Apply(0, 0, 3).z) << k.type;
    Vec3 lo, hi;
    p.GetExtentMin(lo, TRUE);
    p.GetExtentMax(hi, TRUE);
    EXPECT_EQ(0.0, lo.x) << k.type;
    EXPECT_EQ(0.0, lo.y) << k.type;
  }
}

TEST_F(PathBuildingTest, SamePointInPlane) {
  Vec3 a(1, 2, 3);
  struct {
    int plane;
    Vec3 b;
    bool same;
  } cases[] = {
      {0, {1, 2, 9}, true}, {0, {1, 2.1, 3}, false}, {4, {1, 9, 3}, true},  {4, {1.1, 2, 3}, false},
      {8, {9, 2, 3}, true}, {8, {1, 2, 3.1}, false}, {2, {1, 2, 9}, false}, {2, {1, 2, 3}, true},
  };
  for (const auto& k : cases) EXPECT_EQ(k.same, IsSamePointInPlane(k.plane, a, k.b)) << k.plane;
}

}  // namespace
