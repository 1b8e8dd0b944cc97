// Helpers of the optimiser tests: a program folder with chosen settings, a builder that
// appends elements the way the readers do, and a text form of the list that shows what
// the passes change.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nc/optimize/path_optimizer.h"
#include "nc/tests/nc_test_support.h"

namespace opt_testing {

// A fresh program folder; settings are written before the optimiser is made.
class OptimizerTest : public EnglishAppFolderTest {
 protected:
  static void Set(const char* key, const char* value) { PutParamValue("Optimization", key, value); }
};

// Appends through the adders, as a reader does: each move starts where the last ended,
// each element gets the next line number.
class PathBuilder {
 public:
  explicit PathBuilder(CNCProgram& program) : m_p(program) {}
  PathBuilder& R(double x, double y, double z, BYTE axes = kAxesXYZ) { return Line(kCodeRapid, axes, x, y, z); }
  PathBuilder& F(double x, double y, double z, BYTE axes = kAxesXYZ) { return Line(kCodeFeed, axes, x, y, z); }
  PathBuilder& Arc(WORD code, const Vec3& end, const Vec3& center, BYTE plane = 0, BYTE axes = kAxesXY);
  PathBuilder& Tag(const char* name, double value);
  PathBuilder& Code(WORD code);

 private:
  PathBuilder& Line(WORD code, BYTE axes, double x, double y, double z);
  CNCProgram& m_p;
};

// One element per line: nc_testing::Describe, then " x" when discarded.
std::vector<std::string> List(const CNCProgram& program);
const CPathLineElement* MoveAt(const CNCProgram& program, int index);

// "M" tags of 100 and above (tool preparation, or heads of a multi-head spindle).
int CountHundredMTags(const CNCProgram& program);
// What every finished optimisation leaves: no empty slot, marks that grow along the kept
// moves, a toolpath length within them, and one preparation tag per tool change when
// tool preparation ran (mTagsBefore: CountHundredMTags before the optimisation).
void ExpectOptimizedInvariants(const CPathOptimizer& opt, int mTagsBefore);

// A progress display that records what it was told and cancels when asked to.
class FakeProgress : public CProgressSink {
 public:
  void SetProgress(int position, int range) override;
  BOOL IsCanceled() override;

  int calls = 0;
  int position = -1;
  int range = -1;
  int cancelAfter = -1;  // cancel once position exceeds this (-1 never)
  bool cancelled = false;
  DWORD sleepPerStep_ms = 0;
};

}  // namespace opt_testing
