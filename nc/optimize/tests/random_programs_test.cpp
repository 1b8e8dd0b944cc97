// Random and generated programs, with random settings, through the whole optimisation:
// nothing crashes (the host build runs this under the sanitizers) and the results keep
// their invariants. Element lists come from the adders directly, and G-code text through
// the loader and the interpreter.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <random>
#include <string>

#include "nc/interp/tests/gcode_generator.h"
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
    OptimizerSettings s = opt.GetSettings();
    s.m_bMerge = Chance(0.8);
    s.m_bMergeByPathError = Chance(0.3);
    s.m_bCornerToArc = Chance(0.5);
    const int masks[] = {0, 1, 10, 100, 111, 101};
    s.m_nCornerArcPlanes = masks[Pick(6)];
    s.m_dCosMaxAngle = std::cos(Uniform(0, 3.2));
    s.m_dCosMinAngle = std::cos(Uniform(0, 3.2));
    s.m_dCosMergeMinAngle = std::cos(Uniform(1.7, 3.2));
    s.m_dCornerArcMinRadius = Chance(0.1) ? 0.0 : Uniform(0, 2);
    s.m_dCornerArcDeviation = Chance(0.1) ? 0.0 : Uniform(0, 1);
    s.m_dChordHeight = Uniform(0, 0.1);
    s.m_dCornerDepart = Uniform(0.01, 1);
    s.m_dMergeSegLimit = Uniform(0.0001, 2);
    s.m_dMergeChordHeight = Uniform(0.0001, 0.5);
    s.m_dSpindleWarmup = Chance(0.5) ? Uniform(0, 20) : 0.0;
    opt.SetSettings(s);
    opt.SetFeedSpeed(Uniform(0, 100));
    opt.SetPlungeSpeed(Uniform(0, 10));
  }

  DoorPathArea RandomDoor() {
    DoorPathArea door;
    door.m_dLeft = Uniform(-50, 50);
    door.m_dRight = Chance(0.2) ? door.m_dLeft : door.m_dLeft + Uniform(100, 600);
    door.m_dBottom = Uniform(-50, 50);
    door.m_dTop = Chance(0.2) ? door.m_dBottom : door.m_dBottom + Uniform(100, 2000);
    door.m_nFlags = (WORD)(kDoorPathImport | (Chance(0.3) ? kDoorPathKeepTools : 0));
    return door;
  }

  // Optimises with random settings and checks the result; false when a door fold failed.
  bool OptimizeAndCheck(CPathOptimizer& opt) {
    RandomSettings(opt);
    DoorPathArea door = RandomDoor();
    int mTags = CountHundredMTags(opt);
    const DoorPathArea* area = Chance(0.3) ? &door : nullptr;
    if (!opt.Optimize(nullptr, area)) {
      // Only a door fold fails an optimisation without a progress display.
      EXPECT_NE(nullptr, area);
      return false;
    }
    ExpectOptimizedInvariants(opt, mTags);
    return true;
  }

  void Line(std::string& text, const char* fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    text += buf;
    text += "\r\n";
  }

  // A relief raster: rows of short G1 moves in X, Y and Z.
  std::string Relief(int rows, int cols) {
    std::string t;
    Line(t, "%%");
    Line(t, "G21 G90 G17");
    Line(t, "G0 Z5.000");
    Line(t, "T1 M6");
    Line(t, "S18000 M3");
    Line(t, "F1200");
    for (int r = 0; r < rows; r++) {
      double y = r * 0.2;
      Line(t, "G0 X0.000 Y%.3f", y);
      for (int c = 0; c < cols; c++) {
        int col = r % 2 ? cols - 1 - c : c;
        double x = col * 0.2;
        Line(t, "G1 X%.3f Y%.3f Z%.4f", x, y,
             -1.5 + 0.9 * std::sin(x * 0.07) * std::cos(y * 0.05) + Uniform(-0.02, 0.02));
      }
    }
    Line(t, "G0 Z5.000");
    Line(t, "M5");
    Line(t, "M30");
    return t;
  }

  // Contours of arcs (centre and radius forms) and lines, with tool changes.
  std::string Contour(int contours) {
    std::string t;
    Line(t, "(contours with arcs)");
    Line(t, "G21 G90 G17 G94");
    Line(t, "G0 Z10");
    for (int k = 0; k < contours; k++) {
      if (Chance(0.2)) {
        Line(t, "M5");
        Line(t, "G0 Z10");
        Line(t, "T%d M6", 1 + Pick(6));
        Line(t, "S%d M3", 12000 + 3000 * Pick(4));
      }
      double cx = Uniform(10, 290), cy = Uniform(10, 190), r = Uniform(1, 25);
      Line(t, "G0 X%.3f Y%.3f", cx + r, cy);
      Line(t, "G1 Z%.3f F300", -Uniform(0.2, 3));
      Line(t, "F%d", 600 + 300 * Pick(4));
      int segs = 4 + Pick(20);
      double a0 = 0.0;
      for (int s = 0; s < segs; s++) {
        double a1 = a0 + 2 * 3.141592653589793 / segs;
        double x0 = cx + r * std::cos(a0), y0 = cy + r * std::sin(a0);
        double x1 = cx + r * std::cos(a1), y1 = cy + r * std::sin(a1);
        int kind = Pick(10);
        if (kind < 4)
          Line(t, "G3 X%.4f Y%.4f I%.4f J%.4f", x1, y1, cx - x0, cy - y0);
        else if (kind < 6)
          Line(t, "G3 X%.4f Y%.4f R%.4f", x1, y1, r);
        else
          Line(t, "G1 X%.4f Y%.4f", x1, y1);
        a0 = a1;
      }
      Line(t, "G0 Z10 (lift)");
    }
    Line(t, "M5");
    Line(t, "M30");
    return t;
  }

  // Drilling cycles and a subroutine called in a counted loop.
  std::string Cycles(int blocks) {
    std::string t;
    Line(t, "(drilling and o-word loops)");
    Line(t, "G21 G90 G17 G98");
    Line(t, "#<_depth> = -5.0");
    Line(t, "o100 sub");
    Line(t, "  G0 X[#1] Y[#2]");
    Line(t, "  G1 Z[#<_depth> * 0.5] F200");
    Line(t, "  G2 X[#1 + #3] Y[#2] I[#3 / 2] J0");
    Line(t, "  G0 Z2");
    Line(t, "o100 endsub");
    for (int b = 0; b < blocks; b++) {
      double x0 = Uniform(0, 200), y0 = Uniform(0, 150);
      switch (b % 3) {
        case 0:
          Line(t, "#<i> = 0");
          // Each loop has its own label: a label names one place in the file.
          Line(t, "o%d while [#<i> LT 5]", 1001 + b);
          Line(t, "  o100 call [%.3f + #<i> * 2.5] [%.3f] [%.3f]", x0, y0, Uniform(1, 4));
          Line(t, "  #<i> = [#<i> + 1]");
          Line(t, "o%d endwhile", 1001 + b);
          break;
        case 1:
          Line(t, "G81 X%.3f Y%.3f Z-3.000 R1.000 F150", x0, y0);
          for (int k = 1; k < 8; k++) Line(t, "X%.3f Y%.3f", x0 + k * 2.5, y0 + (k % 4) * 2.5);
          Line(t, "G80");
          break;
        default:
          Line(t, "G83 X%.3f Y%.3f Z-12.000 R1.000 Q2.000 F120", x0, y0);
          for (int k = 1; k < 5; k++) Line(t, "X%.3f", x0 + k * 4);
          Line(t, "G80");
      }
    }
    Line(t, "G0 Z10");
    Line(t, "M30");
    return t;
  }

  // Lines of the common words with random values, some of them mangled.
  std::string RandomGCode(int lines) {
    std::string t;
    auto v = [&] { return Uniform(-100, 700); };
    for (int k = 0; k < lines; k++) {
      std::string l;
      switch (Pick(18)) {
        case 0: Line(l, "G0 X%.3f Y%.3f Z%.3f", v(), v(), Uniform(-5, 20)); break;
        case 1: Line(l, "G1 X%.3f Y%.3f", v(), v()); break;
        case 2: Line(l, "G1 Z%.3f F%.0f", Uniform(-5, 5), Uniform(1, 3000)); break;
        case 3: Line(l, "G2 X%.3f Y%.3f I%.3f J%.3f", v(), v(), Uniform(-50, 50), Uniform(-50, 50)); break;
        case 4: Line(l, "G3 X%.3f Y%.3f R%.3f", v(), v(), Uniform(-300, 300)); break;
        case 5: Line(l, "G18 G2 X%.3f Z%.3f I%.3f K%.3f", v(), Uniform(-5, 5), Uniform(-9, 9), Uniform(-9, 9)); break;
        case 6: Line(l, "G19 G3 Y%.3f Z%.3f R%.3f", v(), Uniform(-5, 5), Uniform(-50, 50)); break;
        case 7: Line(l, "G17"); break;
        case 8: Line(l, "T%d M6", Pick(30)); break;
        case 9: Line(l, "S%d M%d", Pick(24000), 3 + Pick(3)); break;
        case 10: Line(l, "G81 X%.3f Y%.3f Z%.3f R1 F150", v(), v(), Uniform(-9, 0)); break;
        case 11: Line(l, "G80"); break;
        case 12: Line(l, "G4 P%.2f", Uniform(0, 2)); break;
        case 13: Line(l, "G91 G1 X%.3f Y%.3f", Uniform(-9, 9), Uniform(-9, 9)); break;
        case 14: Line(l, "G90 G%d", Chance(0.5) ? 20 : 21); break;
        case 15: Line(l, "#1=%.3f G1 X[#1*2] Y[#1-3]", Uniform(-50, 50)); break;
        case 16: Line(l, "M%d", Chance(0.05) ? 30 : Pick(12)); break;
        default: Line(l, "G1 X%.3f (note) Y%.3f Z%.3f", v(), v(), Uniform(-5, 5));
      }
      if (Chance(0.05)) {
        size_t at = (size_t)Pick((int)l.size() - 2);
        if (Chance(0.5))
          l.erase(at, 1);
        else
          l.insert(at, 1, "XYZGIJKR[]#-.*/ 0"[Pick(17)]);
      }
      t += l;
    }
    return t;
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
    DoorPathArea door = RandomDoor();
    const DoorPathArea* area = Chance(0.3) ? &door : nullptr;
    FakeProgress progress;
    bool mayCancel = Chance(0.1);
    if (mayCancel) progress.cancelAfter = Pick(3 * opt.GetElementCount() + 1);

    int mTags = CountHundredMTags(opt);
    size_t boxesBefore = boxes.Boxes().size();
    BOOL done = opt.Optimize(&progress, area);
    SCOPED_TRACE(run);
    for (int i = 0; i < opt.GetElementCount(); i++) ASSERT_NE(nullptr, opt.GetElement(i));
    if (!done) {
      // Only a cancel, or a door fold that failed and said why, ends it so.
      EXPECT_TRUE(progress.cancelled || (area && boxes.Boxes().size() == boxesBefore + 1));
      continue;
    }
    ExpectOptimizedInvariants(opt, mTags);
  }
}

TEST_F(RandomProgramsTest, GeneratedGCodeThroughTheLoader) {
  testing_support::MessageBoxRecorder boxes;
  struct {
    const char* name;
    std::string text;
    bool tools;  // has tool changes
  } programs[] = {
      {"relief.nc", Relief(12, 150), true},
      {"contour.nc", Contour(120), true},
      {"cycles.nc", Cycles(30), false},
  };
  CPathOptimizer opt;
  for (auto& program : programs) {
    SCOPED_TRACE(program.name);
    CString path = m_dir / program.name;
    ASSERT_TRUE(testing_support::WriteFileBytes(path, program.text));
    for (int run = 0; run < 4; run++) {
      opt.Reset();
      ASSERT_TRUE(opt.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1))) << (const char*)opt.GetErrors();
      ASSERT_GT(opt.GetElementCount(), 100);
      if (!OptimizeAndCheck(opt)) continue;
      EXPECT_GT(opt.GetPathLength(), 0.0);
      EXPECT_GT(opt.GetTagCount(), 0);
      if (program.tools) {
        EXPECT_FALSE(opt.GetUsedTools().IsEmpty());
      }
    }
  }
}

TEST_F(RandomProgramsTest, RandomGCodeThroughTheLoader) {
  testing_support::MessageBoxRecorder boxes;
  CPathOptimizer opt;
  CString path = m_dir / "random.nc";
  for (int run = 0; run < 150; run++) {
    SCOPED_TRACE(run);
    ASSERT_TRUE(testing_support::WriteFileBytes(path, RandomGCode(1 + Pick(120))));
    opt.Reset();
    opt.LoadFromNCFile(nullptr, path, Vec3(1, 1, 1));  // errors are the loader's report
    OptimizeAndCheck(opt);
  }
}

// The interpreter's own random and mutated programs (o-words, expressions, cycles and
// broken lines): whatever the loader makes of them optimises without fault.
TEST_F(RandomProgramsTest, InterpreterRandomProgramsThroughTheOptimiser) {
  struct CancelAfter : CProgressSink {
    explicit CancelAfter(int lines) : left(lines) {}
    void SetProgress(int, int) override {}
    BOOL IsCanceled() override { return --left < 0; }
    int left;
  };
  testing_support::MessageBoxRecorder boxes;
  interp_testing::RandomGCodeGenerator gen(7300u);
  CPathOptimizer opt;
  CString path = m_dir / "interp-random.nc";
  for (int run = 0; run < 300; run++) {
    SCOPED_TRACE(run);
    std::string text = gen.Program();
    ASSERT_TRUE(testing_support::WriteFileBytes(path, text));
    opt.Reset();
    CancelAfter cancel(3000);  // loops without end are cut short
    opt.LoadFromNCFile(&cancel, path, Vec3(1, 1, 1));
    OptimizeAndCheck(opt);
    boxes.Clear();
  }
}

}  // namespace
