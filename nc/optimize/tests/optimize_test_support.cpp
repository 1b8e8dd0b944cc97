#include "nc/optimize/tests/optimize_test_support.h"

#include <cmath>

namespace opt_testing {

using nc_testing::ReadState;

// Lines are numbered from 1, as the loader does.
static void NextLine(CNCProgram& p) { ReadState(p).m_nLine = ReadState(p).m_nLine < 0 ? 1 : ReadState(p).m_nLine + 1; }

PathBuilder& PathBuilder::Line(WORD code, BYTE axes, double x, double y, double z) {
  NextLine(m_p);
  Vec3 end(x, y, z);
  m_p.AddLine(code, axes, end);
  ReadState(m_p).m_vLastPoint = end;
  return *this;
}

PathBuilder& PathBuilder::Arc(WORD code, const Vec3& end, const Vec3& center, BYTE plane, BYTE axes) {
  NextLine(m_p);
  m_p.AddArc(code, plane, axes, end, center);
  ReadState(m_p).m_vLastPoint = end;
  return *this;
}

PathBuilder& PathBuilder::Tag(const char* name, double value) {
  NextLine(m_p);
  m_p.AddTag(name, value);
  return *this;
}

PathBuilder& PathBuilder::Code(WORD code) {
  NextLine(m_p);
  m_p.AddCode(code);
  return *this;
}

std::vector<std::string> List(const CNCProgram& program) {
  std::vector<std::string> out;
  for (int i = 0; i < program.GetElementCount(); i++) {
    const CPathElement* e = program.GetElement(i);
    std::string s = nc_testing::Describe(e);
    if (e && e->m_nDiscard) s += " x";
    out.push_back(s);
  }
  return out;
}

const CPathLineElement* MoveAt(const CNCProgram& program, int index) { return AsMove(program.GetElement(index)); }

int CountHundredMTags(const CNCProgram& program) {
  int n = 0;
  for (int i = 0; i < program.GetElementCount(); i++) {
    const CPathTagElement* tag = AsTag(program.GetElement(i));
    if (tag && tag->IsNamed("M") && tag->m_dValue >= 100) n++;
  }
  return n;
}

void ExpectOptimizedInvariants(const CPathOptimizer& opt, int mTagsBefore) {
  double mark = 0.0;
  int toolTags = 0;
  for (int i = 0; i < opt.GetElementCount(); i++) {
    const CPathElement* e = opt.GetElement(i);
    ASSERT_NE(nullptr, e) << i;
    if (IsMoveCode(e->m_nCode) && !e->m_nDiscard) {
      double m = opt.GetMoveExtras(i).m_dMark;
      ASSERT_TRUE(std::isfinite(m)) << i;
      EXPECT_GE(m, mark) << i;
      mark = m;
    }
    if (const CPathTagElement* tag = AsTag(e)) {
      if ((tag->m_szName[0] == 'T' || tag->m_szName[0] == 't') && !tag->m_szName[1]) toolTags++;
    }
  }
  EXPECT_LE(opt.GetPathLength(), mark + 1e-6);
  if (opt.GetSettings().m_dSpindleWarmup > 0) {
    EXPECT_EQ(toolTags, CountHundredMTags(opt) - mTagsBefore);
  }
}

void FakeProgress::SetProgress(int pos, int r) {
  calls++;
  position = pos;
  range = r;
  if (sleepPerStep_ms) Sleep(sleepPerStep_ms);
}

BOOL FakeProgress::IsCanceled() {
  if (cancelAfter >= 0 && position > cancelAfter) cancelled = true;
  return cancelled ? TRUE : FALSE;
}

}  // namespace opt_testing
