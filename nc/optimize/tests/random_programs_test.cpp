// Random programs and settings through the whole optimisation: nothing crashes (the
// host build runs this under the sanitizers) and the results keep their invariants.
#include <cmath>
#include <random>

#include "nc/optimize/tests/optimize_test_support.h"
#include "platform/testing/test_support.h"

using namespace opt_testing;

namespace {

class RandomProgramsTest : public OptimizerTest {
 protected:
  std::mt19937 m_rnd{20240611};
  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_rnd); }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rnd); }
  bool Chance(double p) { return Uniform(0, 1) < p; }

  Vec3 RandomPoint() {
    if (Chance(0.02)) return Vec3(Uniform(-1e6, 1e6), Uniform(-1e6, 1e6), Uniform(-1e3, 1e3));
    return Vec3(Uniform(-100, 700), Uniform(-100, 2100), Uniform(-10, 20));
  }

  void RandomSettings(CPathOptimizer& opt) {
    opt.m_bMerge = Chance(0.8);
    opt.m_bMergeByPathError = Chance(0.3);
    opt.m_bCornerToArc = Chance(0.5);
    const int masks[] = {0, 1, 10, 100, 111, 101};
    opt.m_nCornerArcPlanes = masks[Pick(6)];
    opt.m_dCosMaxAngle = std::cos(Uniform(0, 3.2));
    opt.m_dCosMinAngle = std::cos(Uniform(0, 3.2));
    opt.m_dCosMergeMinAngle = std::cos(Uniform(1.7, 3.2));
    opt.m_dCornerArcMinRadius = Chance(0.1) ? 0.0 : Uniform(0, 2);
    opt.m_dCornerArcDeviation = Chance(0.1) ? 0.0 : Uniform(0, 1);
    opt.m_dChordHeight = Uniform(0, 0.1);
    opt.m_dCornerDepart = Uniform(0.01, 1);
    opt.m_dMergeSegLimit = Uniform(0.0001, 2);
    opt.m_dMergeChordHeight = Uniform(0.0001, 0.5);
    opt.m_dSpindleWarmup = Chance(0.5) ? Uniform(0, 20) : 0.0;
    opt.SetFeedSpeed(Uniform(0, 100));
    opt.SetPlungeSpeed(Uniform(0, 10));
  }

  void RandomProgram(CPathOptimizer& opt, int items) {
    PathBuilder b(opt);
    Vec3 last;
    for (int k = 0; k < items; k++) {
      int what = Pick(100);
      if (what < 12) {
        last = RandomPoint();
        b.R(last.x, last.y, last.z, (BYTE)(Chance(0.8) ? kAxesXYZ : kAxisZ));
      } else if (what < 60) {
        Vec3 next = last;
        if (!Chance(0.1)) next += Vec3(Uniform(-3, 3), Uniform(-3, 3), Chance(0.7) ? 0.0 : Uniform(-1, 1));
        if (Chance(0.05)) next = RandomPoint();
        last = next;
        b.F(last.x, last.y, last.z);
      } else if (what < 75) {
        const BYTE planes[] = {0, 4, 8};
        BYTE plane = planes[Pick(3)];
        Vec3 center = last + Vec3(Uniform(-5, 5), Uniform(-5, 5), Uniform(-5, 5));
        Vec3 r = last - center;
        double turn = Uniform(-6.3, 6.3), c = std::cos(turn), s = std::sin(turn);
        Vec3 end = last;
        if (plane == 0) end = center + Vec3(r.x * c - r.y * s, r.x * s + r.y * c, r.z);
        if (plane == 4) end = center + Vec3(r.x * c + r.z * s, r.y, -r.x * s + r.z * c);
        if (plane == 8) end = center + Vec3(r.x, r.y * c - r.z * s, r.y * s + r.z * c);
        if (Chance(0.1)) end += Vec3(0, 0, Uniform(-1, 1));  // helical, or mismatched
        b.Arc(Chance(0.5) ? kCodeArcCW : kCodeArcCCW, end, center, plane, kAxesXYZ);
        last = end;
      } else if (what < 92) {
        const char* names[] = {"F", "S", "T", "M", "ZW", "t"};
        const char* name = names[Pick(6)];
        double value = Uniform(0, 100);
        if (name[0] == 'T' || name[0] == 't') value = Chance(0.05) ? 1e12 : Pick(21);
        if (name[0] == 'M') {
          const double ms[] = {2, 3, 5, 6, 30, 8, 3.5, 99, 0};
          value = ms[Pick(9)];
        }
        b.Tag(name, value);
      } else {
        const WORD codes[] = {17, 18, 19, 4, 90, 81, 98};
        b.Code(codes[Pick(7)]);
      }
    }
  }
};

TEST_F(RandomProgramsTest, OptimiseWithoutFaultAndKeepTheInvariants) {
  testing_support::MessageBoxRecorder boxes;
  CPathOptimizer opt;
  for (int run = 0; run < 300; run++) {
    opt.Reset();
    RandomSettings(opt);
    RandomProgram(opt, 1 + Pick(150));
    DoorPathArea door;
    door.m_dLeft = Uniform(-50, 50);
    door.m_dRight = Chance(0.2) ? door.m_dLeft : door.m_dLeft + Uniform(100, 600);
    door.m_dBottom = Uniform(-50, 50);
    door.m_dTop = Chance(0.2) ? door.m_dBottom : door.m_dBottom + Uniform(100, 2000);
    door.m_nFlags = (WORD)(kDoorPathImport | (Chance(0.3) ? kDoorPathKeepTools : 0));
    const DoorPathArea* area = Chance(0.3) ? &door : nullptr;
    FakeProgress progress;
    bool mayCancel = Chance(0.1);
    if (mayCancel) progress.cancelAfter = Pick(3 * opt.GetElementCount() + 1);

    BOOL done = opt.Optimize(&progress, area);
    SCOPED_TRACE(run);
    for (int i = 0; i < opt.GetElementCount(); i++) ASSERT_NE(nullptr, opt.GetElement(i));
    if (!done) {
      EXPECT_TRUE(mayCancel);
      continue;
    }
    // Marks grow along the kept moves; the toolpath length is a part of them.
    double mark = 0.0;
    int toolTags = 0, prepareTags = 0;
    for (int i = 0; i < opt.GetElementCount(); i++) {
      const CPathElement* e = opt.GetElement(i);
      if (IsMoveCode(e->m_nCode) && !e->m_nDiscard) {
        double m = MoveAt(opt, i)->m_dMark;
        ASSERT_TRUE(std::isfinite(m));
        EXPECT_GE(m, mark) << i;
        mark = m;
      }
      if (const CPathTagElement* tag = dynamic_cast<const CPathTagElement*>(e)) {
        if ((tag->m_szName[0] == 'T' || tag->m_szName[0] == 't') && !tag->m_szName[1]) toolTags++;
        if (tag->IsNamed("M") && tag->m_dValue >= 100) prepareTags++;
      }
    }
    EXPECT_LE(opt.m_dPathLength, mark + 1e-6);
    if (opt.m_dSpindleWarmup > 0) {
      EXPECT_EQ(toolTags, prepareTags);
    }
  }
}

}  // namespace
