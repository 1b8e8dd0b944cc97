#include "nc/tests/nc_test_support.h"

#include <cmath>
#include <cstdio>

namespace nc_testing {

namespace {
// Rounding noise of cos and sin (1e-15) would hide the value meant.
double Snap(double v) {
  if (!std::isfinite(v)) return v;
  double r = std::round(v * 1e9) / 1e9;
  return r == 0.0 ? 0.0 : r;
}

std::string Point(const Vec3& v) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "(%.6g,%.6g,%.6g)", Snap(v.x), Snap(v.y), Snap(v.z));
  return buf;
}
}  // namespace

std::string Describe(const CPathElement* e) {
  if (!e) return "null";
  std::string s;
  char buf[128];
  if (const CPathArcElement* arc = AsArc(e)) {
    s = (arc->m_nCode == kCodeArcCW    ? "CW"
         : arc->m_nCode == kCodeArcCCW ? "CCW"
                                       : "ARC?") +
        Point(arc->m_vEnd) + "@" + Point(arc->m_vCenter);
  } else if (const CPathLineElement* line = AsMove(e)) {
    s = (line->m_nCode == kCodeRapid ? "R" : line->m_nCode == kCodeFeed ? "F" : "LINE?") + Point(line->m_vEnd);
  } else if (const CPathTagElement* tag = AsTag(e)) {
    std::snprintf(buf, sizeof buf, "%s=%.6g", tag->m_szName, tag->m_dValue);
    s = buf;
    if (tag->m_pTool) {
      std::snprintf(buf, sizeof buf, " tool=%.6g", double(tag->m_pTool->m_dDiameter));
      s += buf;
    }
  } else {
    std::snprintf(buf, sizeof buf, "G%u", (unsigned)e->m_nCode);
    s = buf;
  }
  if (!e->IsSource()) s += " ~";
  return s;
}

std::vector<std::string> Describe(const CNCProgram& program) {
  std::vector<std::string> out;
  for (int i = 0; i < program.GetElementCount(); i++) out.push_back(Describe(program.GetElement(i)));
  return out;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\n";
  return s;
}

}  // namespace nc_testing
