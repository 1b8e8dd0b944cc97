// Speed planning: every segment of a run gets a nominal speed Vn (the highest within it),
// a corner speed Vc (where it joins the next one) and a cut type.
//
// Initial speeds, when a segment is added: Vn is as fast as the slowest axis allows for
// the segment's direction (L / max(|d_axis| / Max_axis) over the axes that move), at most
// the feed of an "F" word. Vc starts as the corner speed of the segment's radius,
// v(r) = K(r) · corner factor · √r, never below the continuation speed LoForContinue,
// Vn when the record has no radius, the start velocity for a run's first point, and it
// too is held to the rated axis speeds.
//
// The ramp table T[i] tells how many X steps the machine needs to accelerate from
// standstill to i mm/s. Its acceleration rises linearly from accel/ParamN at standstill
// to the full value at CornerUP mm/s:
//
//    a(i) |        ___________ accel
//         |      /
//         |    /
//         |__/  accel/ParamN
//         +----------------------- i (mm/s)
//               CornerUP
//
// and n(i) = (2i - 1) · steps per mm / (2 a(i)) steps lie between i - 1 and i mm/s
// (twice that with the start switch 1). Reading it one way gives the distance a change
// of speed takes (in whole millimetres between two speeds), the other way the speed
// reachable within a distance.
//
// Planning a run, in order: smoothing, arc fitting, cut types and lengths, cut-type
// normalisation, the junction limits, the short-segment pass, then timing.
//
// Cut types: a move going down steeper than the cutting threshold is a plunge (unless
// the optimiser forbids it); a run whose moves are not all plunges cuts them as lines.
// A move with a Z share zf of its length goes no faster than MaxZ / zf.
//
// Junction limits: walking the junctions A|B forward, each pair is limited so that B can
// be driven from A.Vc to B.Vc within its length ℓ on the ramp:
//   1. both corner speeds at most B.Vn, at least LoForContinue (except the run's last
//      corner, which stays at the start velocity);
//   2. D = ramp distance between the two corner speeds;
//   3. ℓ > D: B.Vn at most the speed reachable from the higher corner in (ℓ - D) / 2,
//      a ramp up and down that fits;
//   4. ℓ <= D: the corner that cannot be reached is lowered to what the ramp reaches
//      from the other within ℓ (the end when rising, the start when falling), and B.Vn
//      is the higher of the two corners.
// When A.Vc had to come down, the walk steps back one junction, so the segment before A
// can brake in time; since speeds only ever come down and are bounded below, the walk ends.
//
// Short segments: a cutting segment no longer than MaxEvenSegLen at a vertex straighter
// than EvenAngle takes the higher of its two corner speeds as its Vn, so a chain of tiny
// nearly straight moves is driven evenly.
#include <algorithm>
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "foundation/log.h"

namespace {
const double kStraight_mm = 10000.0;  // a radius above this is a straight continuation
}  // namespace

// ---- Initial speeds
void CPathProcessor::SetInitialSpeeds(PlanSegment& s, const Vec3& from, double radius) const {
  double d[3] = {std::fabs(s.m_vEnd.x - from.x), std::fabs(s.m_vEnd.y - from.y), std::fabs(s.m_vEnd.z - from.z)};
  double rated[3] = {m_device.m_dMaxSpeedX, m_device.m_dMaxSpeedY, m_device.m_dMaxSpeedZ};
  double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  double vn = std::hypot(rated[0], rated[1]);
  double m = 0;
  for (int a = 0; a < 3; a++)
    if (d[a] > m_dEps) m = std::max(m, d[a] / rated[a]);  // only axes that move; rated speeds checked above 0
  if (m > m_dEps) vn = length / m;
  if (s.m_nGType != kGRapid && m_job.FWordEnabled && m_dFeedOverride != kUnset &&
      m_dFeedOverride > m_device.m_dMinXYStart)
    vn = std::min(vn, m_dFeedOverride);

  double vc = m_dStart_mm_s;
  if (!m_aSegments.empty()) {
    if (radius == kUnset || radius > kStraight_mm)
      vc = vn;
    else
      vc = std::max(m_device.m_dLoForContinue, GetCornerSpeed(radius));
  }
  for (int a = 0; a < 3; a++)
    if (d[a] > m_dEps) vc = std::min(vc, length * rated[a] / d[a]);
  s.m_dVn = vn;
  s.m_dVmax = vn;
  s.m_dVc = vc;
}

// ---- Ramp table
void CPathProcessor::BuildRampTable() {
  m_ramp.Build(m_dAccel_mm_s2, m_device.m_dParamN, m_device.m_dCornerUp, m_device.m_dResX, m_job.StartSwitch == 1);
}

// ---- Planning a run
void CPathProcessor::PlanSegments() {
  if (m_nRunGType == kGRapid) {
    ComputeTiming();
    return;
  }
  SetSmoothingConstants();
  if (m_settings.m_nSnowBallGrade != 0) SmoothRadiusSpeeds();
  if (m_settings.m_bArcFitting && m_bGFormRun && m_device.m_nArcSupport > 0) FitArcs();
  SetCutTypes();
  NormalizeCutTypes();
  PlanVelocities();
  EvenShortSegments();
  IFrameQueue* queue = m_out.Queue();
  if (!queue || !queue->IsFileTarget()) {
    ComputeTiming();
    if (m_bLogReview) LogReview();
  }
}

// ---- Cut types and lengths
void CPathProcessor::SetCutTypes() {
  std::vector<PlanSegment>& seg = m_aSegments;
  for (size_t i = 1; i < seg.size(); i++) {
    PlanSegment& s = seg[i];
    const PlanSegment& p = seg[i - 1];
    double dx = std::fabs(s.m_vEnd.x - p.m_vEnd.x), dy = std::fabs(s.m_vEnd.y - p.m_vEnd.y);
    double dz = std::fabs(s.m_vEnd.z - p.m_vEnd.z);
    double e = std::sqrt(dx * dx + dy * dy + dz * dz);
    s.m_dLength = m_bGFormRun ? e : std::max({dx, dy, dz});
    if (s.m_nCutType < kCutPlunge) s.m_nCutType = kCutCutting;
    if (s.m_dLength < m_dEps) {
      s.m_dVn = p.m_dVn;
    } else if (e > m_dEps && dz / e > m_dEps) {
      double zf = dz / e;
      s.m_dVn = std::min(s.m_dVn, m_device.m_dMaxSpeedZ / zf);
      if (zf > m_settings.m_dCuttingThreshold && s.m_vEnd.z < p.m_vEnd.z && !(s.m_nFlags & kSegNoPlunge)) {
        s.m_nCutType = kCutPlunge;
        if (m_bLogOutput) {
          CString text;
          text.Format("SET CUT TYPE: %08X", (unsigned)s.m_nFlags);
          WriteLog("output", text);
        }
      }
      s.m_dVc = std::min(s.m_dVc, m_device.m_dMaxSpeedZ / zf);
      s.m_dVc = std::max(s.m_dVc, m_dStart_mm_s);
      s.m_dVc = std::max(s.m_dVc, m_device.m_dLoForContinue);
    }
    s.m_dVc = std::min(s.m_dVc, s.m_dVn);
  }
  if (seg.size() >= 2) seg.back().m_dVc = m_dStart_mm_s;
}

void CPathProcessor::NormalizeCutTypes() {
  std::vector<PlanSegment>& seg = m_aSegments;
  bool same = true;
  for (size_t i = 2; i < seg.size() && same; i++) same = seg[i].m_nCutType == seg[1].m_nCutType;
  if (same) return;
  for (size_t i = 1; i < seg.size(); i++)
    if (seg[i].m_nCutType == kCutPlunge) seg[i].m_nCutType = kCutCutting;
}

// ---- Junction limits
void CPathProcessor::PlanVelocities() {
  std::vector<PlanSegment>& seg = m_aSegments;
  int n = (int)seg.size();
  // Each step back lowers a speed for good; the bound only guards against a walk that
  // would creep by rounding.
  long long budget = 64LL * n + 1024;
  int i = 1;
  while (i < n && budget-- > 0) {
    if (LimitJunction(seg[i - 1], seg[i], i == n - 1) < 0 && i > 1)
      i--;
    else
      i++;
  }
}

int CPathProcessor::LimitJunction(PlanSegment& a, PlanSegment& b, bool bIsLast) {
  double floor = m_device.m_dLoForContinue;
  double before = a.m_dVc;
  bool rising = b.m_dVc > a.m_dVc;
  auto raise = [&]() {
    a.m_dVc = std::max(a.m_dVc, floor);
    if (!bIsLast) b.m_dVc = std::max(b.m_dVc, floor);
  };
  // 1. corners within B's nominal speed, above the continuation speed
  a.m_dVc = std::min(a.m_dVc, b.m_dVn);
  b.m_dVc = std::min(b.m_dVc, b.m_dVn);
  raise();
  // 2. the ramp between them
  double d = m_ramp.DistanceBetween(a.m_dVc, b.m_dVc);
  double len = b.m_dLength;
  if (len > d) {
    // 3. room for a ramp up and down
    b.m_dVn = std::min(b.m_dVn, m_ramp.ReachableSpeed(std::max(a.m_dVc, b.m_dVc), (len - d) / 2, m_dAccel_mm_s2));
  } else {
    // 4. not even the change of speed fits: lower the corner that cannot be reached
    if (rising)
      b.m_dVc = std::min(b.m_dVc, m_ramp.ReachableSpeed(a.m_dVc, len, m_dAccel_mm_s2));
    else
      a.m_dVc = std::min(a.m_dVc, m_ramp.ReachableSpeed(b.m_dVc, len, m_dAccel_mm_s2));
    b.m_dVn = std::max(a.m_dVc, b.m_dVc);
  }
  raise();
  return a.m_dVc < before ? -1 : 1;
}

// ---- Short segments
void CPathProcessor::EvenShortSegments() {
  std::vector<PlanSegment>& seg = m_aSegments;
  if (seg.size() <= 3) return;
  double evenAngle = m_settings.m_dEvenAngle_deg;
  for (size_t i = 1; i < seg.size(); i++) {
    PlanSegment& s = seg[i];
    const PlanSegment& p = seg[i - 1];
    if (s.m_nCutType != kCutCutting || s.m_dLength > m_settings.m_dMaxEvenSegLen_mm) continue;
    bool straight =
        (p.m_dAngle != kUnset && p.m_dAngle > evenAngle) || (s.m_dAngle != kUnset && s.m_dAngle > evenAngle);
    if (straight) s.m_dVn = std::max(p.m_dVc, s.m_dVc);
  }
}
