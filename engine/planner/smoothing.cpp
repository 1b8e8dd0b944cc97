// Smoothing ("SnowBall"): curves that reach the planner as many short lines, each ending
// in a corner radius from the optimiser, would be driven with a slow-down at every
// vertex. Where a chain of such lines bends smoothly with nearly the same radius, the
// whole chain gets one radius and one speed, so the machine passes the curve at a
// constant speed.
//
// The smooth-vertex test looks at the ends A, B, C of three consecutive segments:
//
//              B                θ = angle at B (180° on a straight line)
//            /   \              h = distance of B from the chord AC (the chord height)
//          a/  h  \b            smooth when θ is at least the SnowBall angle,
//          /   :   \            h is at most the chord height limit, and the legs are
//         A----c----C           within a factor 10 of each other
//
// The walk: triples (P, B, N) move forward one segment at a time.
//   Chain start: N is a line that may be smoothed and has a radius, the vertex at B is
//     smooth and B has a radius. The chain radius R is B's radius, or, when a segment T
//     follows, the mean of B's and N's radii, provided the vertex at N is smooth and the
//     two radii agree within the jitter factor j (R·j <= r and r·j <= R).
//   Chain: each further B whose vertex is smooth, whose radius q agrees with R within j
//     and differs from it by at most the SnowBall radius limit gets radius R and the
//     corner speed v(R) as both Vn and Vc. Anything else ends the chain, and the search
//     resumes at the next triple.
// The chain speed is never below the continuation speed (a chain of zero radii would
// otherwise stop the machine at full nominal speed 0), and never above what the segment's
// axes and feed allow (its intake limit): a chain radius may be larger than the radius
// that limited the segment before.
#include <algorithm>
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"

namespace {

const double kShortLeg = 1e-6;    // legs shorter than this make no vertex (mm)
const double kLegRatio = 10.0;    // legs further apart than this make no smooth vertex
const double kChainJitter = 0.8;  // radius agreement factor while planning
const double kChainLimit = 10.0;  // largest radius change within a chain (mm)
const double kChordLimit = 1.0;   // chord height limit while planning (mm)

bool RadiiAgree(double chain, double r, double j) { return chain * j <= r && r * j <= chain; }

}  // namespace

// ---- Smooth-vertex test
bool CPathProcessor::IsSmoothVertex(const Vec3& pa, const Vec3& pb, const Vec3& pc, PlanSegment& bSegment) const {
  double a = Distance3D(pa.x, pa.y, pa.z, pb.x, pb.y, pb.z);
  double b = Distance3D(pb.x, pb.y, pb.z, pc.x, pc.y, pc.z);
  double c = Distance3D(pa.x, pa.y, pa.z, pc.x, pc.y, pc.z);
  if (a < kShortLeg || b < kShortLeg || c < kShortLeg) return false;
  double g = a * a + b * b - c * c;
  double cosTheta = std::fabs(2 * a * b) > std::fabs(g) ? g / (2 * a * b) : (g >= 0 ? 1.0 : -1.0);
  if (cosTheta > m_settings.m_dCosSnowBallAngle) return false;  // sharper than the SnowBall angle
  double h = std::sqrt(1.0 - cosTheta * cosTheta) * a * b / c;
  bSegment.m_dChordHeight = h;
  if (h > m_settings.m_dSnowBallChord_mm) return false;
  return !(a < b / kLegRatio || a > kLegRatio * b);
}

void CPathProcessor::SmoothRadiusSpeeds() {
  std::vector<PlanSegment>& seg = m_aSegments;
  int n = (int)seg.size();
  if (n < 4) return;
  double j = m_settings.m_dRadiusJitter;
  double limit = m_settings.m_dSnowBallRadius_mm;
  bool inChain = false;
  double chainR = 0, v = 0;
  auto setChainSpeed = [&](PlanSegment& s) {
    s.m_dVn = std::min(v, s.m_dVmax);
    s.m_dVc = std::min(v, s.m_dVmax);
  };
  for (int b = 1; b + 1 < n; b++) {
    PlanSegment& P = seg[b - 1];
    PlanSegment& B = seg[b];
    PlanSegment& N = seg[b + 1];
    bool nUsable = N.m_nGType == kGLine && !(N.m_nFlags & kSegNoSmoothing);
    if (!inChain) {
      // ---- Chain start
      if (!nUsable || N.m_dRadius == kUnset || !IsSmoothVertex(P.m_vEnd, B.m_vEnd, N.m_vEnd, B)) continue;
      if (B.m_dRadius == kUnset) continue;
      chainR = B.m_dRadius;
      if (b + 2 < n) {
        if (!IsSmoothVertex(B.m_vEnd, N.m_vEnd, seg[b + 2].m_vEnd, N) || !RadiiAgree(chainR, N.m_dRadius, j)) continue;
        chainR = (chainR + N.m_dRadius) / 2;
      }
      v = std::max(GetCornerSpeed(chainR), m_device.m_dLoForContinue);
      B.m_dOldRadius = B.m_dRadius;
      B.m_dRadius = chainR;
      setChainSpeed(B);
      inChain = true;
    } else {
      // ---- Chain
      double q = B.m_dRadius;
      bool goesOn = nUsable && IsSmoothVertex(P.m_vEnd, B.m_vEnd, N.m_vEnd, B) && q != kUnset &&
                    N.m_dRadius != kUnset && RadiiAgree(chainR, q, j);
      if (goesOn) {
        B.m_dRadiusDiff = std::fabs(q - chainR);
        goesOn = B.m_dRadiusDiff <= limit;
      }
      if (!goesOn) {
        inChain = false;
        continue;
      }
      B.m_dOldRadius = q;
      B.m_dRadius = chainR;
      setChainSpeed(B);
    }
  }
}

void CPathProcessor::SetSmoothingConstants() {
  m_settings.m_dSnowBallRadius_mm = kChainLimit;
  m_settings.m_dRadiusJitter = kChainJitter;
  m_settings.m_dSnowBallChord_mm = kChordLimit;
}
