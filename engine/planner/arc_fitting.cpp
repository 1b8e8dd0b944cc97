// Arc fitting and arc replacement, for controllers that take G commands.
//
// Arc fitting finds stretches of short lines that lie on one circle and turns them into
// arc pieces sharing a centre; the packer then sends the whole stretch as one arc
// command. It works in two steps.
//
// Candidates: a walk over the run collects stretches of lines that bend evenly. A line
// with a corner radius opens a candidate; each next line joins while its vertex angle
// differs from the previous one by less than 2°, its predecessor's end lies off the
// chord of its neighbours by more than 0 and less than ArcPolygonDiff, and the two legs
// are within a factor 5 of each other (the first two lines join on the angle alone).
// A stretch of more than five lines is tried.
//
// Fitting a candidate k..b: the circle through three of its ends
//
//        M                      A = end of k, M = end of the middle, E = end of b;
//     .     .                   when the angle at M is below 60° (more than a half turn)
//   A         E                 M and E are taken from the first half instead
//
// must be in the plane the segments are in. Walking from k, every end must lie within
// ArcFittingError of the circle's radius R0 and in the circle's plane (the walk stops at
// the first that does not) and every inner end within ArcPolygonDiff of its neighbours'
// chord. With at least five
// lines walked and LeastArcLen of length, a spread of radii or a deviation above the
// limits rejects the arc; otherwise the arc runs from k to the last end e (searching back
// from where the walk stopped) that lies within 0.005 mm of R0. Pieces k+1..e get the
// arc's direction and centre; the inner ones are marked no-smoothing and not Org, e is
// Org. The search goes on two segments after e; a start that gives no arc moves on by one.
//
// Arc replacement turns arcs shorter than MinArcReplace back into lines: the pieces of an
// arc are summed up to its Org piece, and a short arc's pieces all become lines.
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "engine/planner/planner_geometry.h"
#include "foundation/log.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kAngleStep_deg = 2.0;      // vertex angles of a candidate change less than this
const double kLegFactor = 5.0;          // neighbouring legs of a candidate within this factor
const double kArcEndTolerance = 0.005;  // the arc's last end lies this close to its radius (mm)
const int kMinFitSegments = 5;
const double kInPlane_mm = 1e-6;  // an arc's ends share the coordinate normal to its plane within this

double NormalCoordinate(const Vec3& p, int plane) { return plane == kPlaneXZ ? p.y : plane == kPlaneYZ ? p.x : p.z; }

bool IsArc(const PlanSegment& s) { return s.m_nGType == kGArcCW || s.m_nGType == kGArcCCW; }
double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }

}  // namespace

// ---- Candidates
void CPathProcessor::FitArcs() {
  std::vector<PlanSegment>& seg = m_aSegments;
  int n = (int)seg.size();
  if (n <= 4) return;
  int start = -1;
  Vec3 prev1, prev2;  // the last two ends of the candidate
  double prevAngle = 0, prevLen = 0;
  for (int i = 0; i < n; i++) {
    const PlanSegment& s = seg[i];
    if (start >= 0) {
      double len = Length(prev1, s.m_vEnd);
      bool joins = s.m_nGType == kGLine && std::fabs(s.m_dAngle - prevAngle) < kAngleStep_deg;
      if (joins && i >= start + 2) {
        double h = PointSegmentDistance(prev2, prev1, s.m_vEnd, m_dEps);
        joins =
            h > 0 && h < m_settings.m_dArcPolygonDiff_mm && prevLen * kLegFactor > len && prevLen < len * kLegFactor;
      }
      if (joins) {
        prevAngle = s.m_dAngle;
        prevLen = len;
        prev2 = prev1;
        prev1 = s.m_vEnd;
        continue;
      }
      if (i > start + 4) TryFitArc(start, i - 1);
      start = -1;
    }
    if (s.m_nGType == kGLine && s.m_dRadius != kUnset) {
      start = i;
      prevAngle = s.m_dAngle;
      prevLen = 0;
      prev1 = prev2 = s.m_vEnd;
    }
  }
  if (start >= 0) TryFitArc(start, n - 1);
  if (m_bLogFitting) LogFitting();
}

// ---- Fitting a candidate

namespace {

// What the walk from k found: where it stopped (last + 1 when it did not), the length it
// covered, the spread of radii and the largest chord deviation.
struct ArcWalk {
  int stop;
  double r0, length, rMin, rMax, hMax;
};

// The circle through three ends of the candidate k..last (M and E from its first half
// when the whole would be more than a half turn); false without one.
bool CandidateCircle(const std::vector<PlanSegment>& seg, int k, int last, double eps, Vec3& c, int& plane) {
  int mid = (k + last) / 2;
  Vec3 a = seg[k].m_vEnd, m = seg[mid].m_vEnd, e = seg[last].m_vEnd;
  if (VertexAngle(a, m, e, eps) < kPi / 3) {
    int q = (mid + k) / 2;
    if (q != k && q != mid) {
      m = seg[q].m_vEnd;
      e = seg[mid].m_vEnd;
    }
  }
  return ArcCentreFromPoints(a, m, e, c, plane);
}

// The walk: radius within ArcFittingError, inner ends near their chords. An arc command
// cannot move the axis normal to its plane, so an end off the plane stops it too.
ArcWalk WalkArc(const std::vector<PlanSegment>& seg, int k, int last, const Vec3& c, int plane,
                const PlannerSettings& s, double eps) {
  ArcWalk w;
  w.r0 = Length(c, seg[k].m_vEnd);
  w.length = w.hMax = 0;
  w.rMin = w.rMax = w.r0;
  int j = k;
  for (; j <= last; j++) {
    double r = Length(c, seg[j].m_vEnd);
    if (std::fabs(r - w.r0) > s.m_dArcFittingError_mm) break;
    if (std::fabs(NormalCoordinate(seg[j].m_vEnd, plane) - NormalCoordinate(c, plane)) > kInPlane_mm) break;
    if (j > k) w.length += Length(seg[j - 1].m_vEnd, seg[j].m_vEnd);
    w.rMin = std::min(w.rMin, r);
    w.rMax = std::max(w.rMax, r);
    if (j > k && j < last) {
      w.hMax = std::max(w.hMax, PointSegmentDistance(seg[j - 1].m_vEnd, seg[j].m_vEnd, seg[j + 1].m_vEnd, eps));
      if (w.hMax > s.m_dArcPolygonDiff_mm) break;
    }
  }
  w.stop = j;
  return w;
}

}  // namespace

int CPathProcessor::TryFitArc(int first, int last) {
  std::vector<PlanSegment>& seg = m_aSegments;
  if (first < 0 || last < 0 || last - first + 1 < kMinFitSegments || last >= (int)seg.size()) return -1;
  int fitted = 0;
  for (int k = first; k <= last - 4; k++) {
    Vec3 c;
    int plane = 0;
    // The circle must lie in the plane the arc command will be sent in.
    if (!CandidateCircle(seg, k, last, m_dEps, c, plane) || plane != seg[k + 1].m_nPlane) continue;
    ArcWalk w = WalkArc(seg, k, last, c, plane, m_settings, m_dEps);
    if (w.stop < k + kMinFitSegments || w.length < m_settings.m_dLeastArcLen_mm) continue;
    if (!ArcWithinLimits(w.rMin, w.rMax, w.hMax)) continue;
    int direction = TurnDirection(plane, seg[k].m_vEnd, seg[k + 1].m_vEnd, c, m_dEps);
    if (direction < 0) continue;
    // The arc ends at the last end, searching back from where the walk stopped, that lies
    // on its radius.
    int end = -1;
    for (int i = w.stop - 1; i >= k + 1 && end < 0; i--)
      if (std::fabs(Length(c, seg[i].m_vEnd) - w.r0) < kArcEndTolerance) end = i;
    if (end < 0) continue;
    for (int i = k + 1; i <= end; i++) {
      seg[i].m_nGType = (WORD)direction;
      seg[i].m_vCenter = c;
      if (i < end)
        seg[i].m_nFlags = (seg[i].m_nFlags | kSegNoSmoothing) & ~kSegOrg;
      else
        seg[i].m_nFlags |= kSegOrg;
    }
    fitted++;
    k = end + 1;  // with the loop's step, the next start is two after the arc's end
  }
  return fitted;
}

bool CPathProcessor::ArcWithinLimits(double rMin, double rMax, double hMax) const {
  CString note;
  if (m_bLogFitting) {
    note.Format("/radius:[%.3f --> %.3f], Hmax=%.3f", rMin, rMax, hMax);
    WriteLog("fitting", note);
  }
  if (rMax - rMin > m_settings.m_dArcFittingError_mm) {
    if (m_bLogFitting) {
      note.Format("/fitting error of radius:%.3f < R%.3f, H%.3f", rMax - rMin, m_settings.m_dArcFittingError_mm, hMax);
      WriteLog("fitting", note);
    }
    return false;
  }
  if (hMax > m_settings.m_dArcPolygonDiff_mm) {
    if (m_bLogFitting) {
      note.Format("/fitting error of height:%.3f < H%.3f, R%.3f", hMax, m_settings.m_dArcPolygonDiff_mm, rMax - rMin);
      WriteLog("fitting", note);
    }
    return false;
  }
  return true;
}

void CPathProcessor::LogFitting() const {
  CString line;
  for (size_t i = 1; i < m_aSegments.size(); i++) {
    const PlanSegment& s = m_aSegments[i];
    if (s.m_nFlags & kSegNoSmoothing) continue;
    if (IsArc(s))
      line.Format("G%02d X%.3f Y%.3f Z%.3f I%.3f J%.3f K%.3f", s.m_nGType, s.m_vEnd.x, s.m_vEnd.y, s.m_vEnd.z,
                  s.m_vCenter.x, s.m_vCenter.y, s.m_vCenter.z);
    else
      line.Format("G%02d X%.3f Y%.3f Z%.3f", s.m_nGType, s.m_vEnd.x, s.m_vEnd.y, s.m_vEnd.z);
    WriteLog("fitting", line);
  }
}

// ---- Arc replacement
void CPathProcessor::ReplaceArcs() {
  if (m_settings.m_dMinArcReplace_mm < m_dEps) return;
  std::vector<PlanSegment>& seg = m_aSegments;
  double sum = 0;
  int firstPiece = -1;  // first piece of the current arc without the Org flag
  for (size_t i = 1; i < seg.size(); i++) {
    PlanSegment& s = seg[i];
    if (!IsArc(s)) {
      sum = 0;
      firstPiece = -1;
      continue;
    }
    sum += Length(seg[i - 1].m_vEnd, s.m_vEnd);
    if (!(s.m_nFlags & kSegOrg)) {
      if (firstPiece < 0) firstPiece = (int)i;
      continue;
    }
    if (sum < m_settings.m_dMinArcReplace_mm)
      for (size_t p = firstPiece >= 0 ? (size_t)firstPiece : i; p <= i; p++) seg[p].m_nGType = kGLine;
    sum = 0;
    firstPiece = -1;
  }
}
