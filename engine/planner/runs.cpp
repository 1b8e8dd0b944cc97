// Runs: consecutive moves collected as PlanSegments, planned and packed together.
//
// A run always begins with a segment at the machine's actual position, the end of the
// last move that went out (or where the lift and entry moves left the tool). Items are
// sent against their predecessor, so this starting point is what makes the first move
// of every run go out and keeps relative jobs from drifting, wherever the run began: a
// tag start, a dwell, or a cut at the segment limit.
//
// Relative jobs send 16-bit deltas, so every move (rapids too) is split into equal
// pieces whose largest step delta, counted in real steps of the scaled axes, stays
// within the piece limit (MaxSeg in X steps, at most 32700).
//
// A run longer than kSoftSegmentLimit is cut where the machine passes at its
// continuation speed, and always at kHardSegmentLimit; in the soft zone never inside the
// pieces of an arc, whose arc command goes out only with its last piece.
//
// Force2D drops Z from a run before it is planned: arcs that move Z become lines, and
// segments that no longer move anything go, their held-back instructions moving to the
// segment before them.
#include <algorithm>
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "foundation/log.h"

namespace {
const double kRelativePieceLimit = 32700.0;  // steps of one relative piece, within i16
}  // namespace

Vec3 CPathProcessor::ScaleRotary(const Vec3& p) const {
  Vec3 q = p;
  if (m_nRotaryAxis == 0) q.x *= m_dRotaryScale;
  if (m_nRotaryAxis == 1) q.y *= m_dRotaryScale;
  return q;
}

void CPathProcessor::AddMoveRecord(const PathRecordData& r) {
  Vec3 end = r.m_vEnd;
  if (m_job.RelativeCoords) {
    Vec3 from = m_vPosition;
    Vec3 a = ScaleRotary(from), b = ScaleRotary(end);
    double deltas[3] = {std::fabs((double)Steps(0, b.x) - Steps(0, a.x)),
                        std::fabs((double)Steps(1, b.y) - Steps(1, a.y)),
                        std::fabs((double)Steps(2, b.z) - Steps(2, a.z))};
    double steps = std::max({deltas[0], deltas[1], deltas[2]});
    double limit = std::min(std::trunc(m_settings.m_dMaxSeg_mm * m_adStepsPerMm[0]), kRelativePieceLimit);
    if (limit < 1.0) limit = 1.0;
    // Truncating the piece ends adds at most one step to a piece's delta: still within i16.
    int pieces = (int)std::ceil(steps / limit);
    Vec3 d = end - from;
    for (int k = 1; k < pieces; k++) {
      double f = (double)k / pieces;
      Vec3 p(from.x + d.x * f, from.y + d.y * f, from.z + d.z * f);
      AddMoveSegment(r, p, kUnset, false);
    }
  }
  AddMoveSegment(r, end, r.m_dRadius, (r.m_nFlags & kSegOrg) != 0);
}

void CPathProcessor::AddMoveSegment(const PathRecordData& r, const Vec3& target, double radius, bool org) {
  if (m_aSegments.empty()) {
    // The run starts where the machine is.
    PlanSegment start;
    start.m_nPlane = m_nPlane;
    start.m_nGType = r.m_nCode;
    start.m_nAxes = r.m_byAxes;
    start.m_vEnd = ScaleRotary(m_vPosition);
    start.m_vCenter = ScaleRotary(r.m_vCenter);
    start.m_nFlags = r.m_nFlags | kSegOrg;
    start.m_dAngle = r.m_dAngle;
    SetInitialSpeeds(start, start.m_vEnd, kUnset);
    m_aSegments.push_back(start);
  }
  Vec3 from = m_aSegments.back().m_vEnd;
  m_aSegments.emplace_back();
  PlanSegment& s = m_aSegments.back();
  s.m_nPlane = m_nPlane;
  s.m_nGType = r.m_nCode;
  s.m_nAxes = r.m_byAxes;
  s.m_vEnd = ScaleRotary(target);
  s.m_vCenter = ScaleRotary(r.m_vCenter);
  s.m_nFlags = (r.m_nFlags & ~(DWORD)kSegOrg) | (org ? (DWORD)kSegOrg : 0u);
  if (r.m_nFlags & kSegPlunge) {
    s.m_nCutType = kCutPlunge;
    if (m_bLogOutput) {
      CString text;
      text.Format("SET PLUNGE: %08X", (unsigned)r.m_nFlags);
      WriteLog("output", text);
    }
  }
  s.m_dRadius = radius;
  s.m_dAngle = r.m_dAngle;
  SetInitialSpeeds(s, from, radius);
  m_vPosition = target;

  int count = (int)m_aSegments.size();
  if (count > kSoftSegmentLimit && (count >= kHardSegmentLimit || IsRunCutPoint(s))) FlushSegments();
}

bool CPathProcessor::IsRunCutPoint(const PlanSegment& s) const {
  bool arcPiece = (s.m_nGType == kGArcCW || s.m_nGType == kGArcCCW) && !(s.m_nFlags & kSegOrg);
  return !arcPiece && std::fabs(s.m_dVc - m_device.m_dLoForContinue) < m_dEps;
}

void CPathProcessor::ApplyForce2D() {
  for (PlanSegment& s : m_aSegments) {
    if ((s.m_nGType == kGArcCW || s.m_nGType == kGArcCCW) && (s.m_nAxes & kAxisBitZ)) s.m_nGType = kGLine;
    s.m_nAxes &= kAxisBitX | kAxisBitY;
    s.m_vEnd.z = 0.0;
    s.m_vCenter.z = 0.0;
  }
  // Compact in place; a held-back instruction stays after the last kept segment at or
  // before the one it followed.
  size_t kept = 0, held = 0;
  for (size_t i = 0; i < m_aSegments.size(); i++) {
    bool drop = i > 0 && (m_aSegments[i].m_nAxes == 0 || m_aSegments[i].m_vEnd == m_aSegments[kept].m_vEnd);
    if (drop) {
      if (m_aSegments[i].m_nFlags & kSegOrg) m_aSegments[kept].m_nFlags |= kSegOrg;
    } else {
      if (i > 0) kept++;
      if (kept != i) m_aSegments[kept] = m_aSegments[i];
    }
    for (; held < m_aHeld.size() && m_aHeld[held].m_nSegment == (int)i; held++) m_aHeld[held].m_nSegment = (int)kept;
  }
  m_aSegments.resize(m_aSegments.empty() ? 0 : kept + 1);
  m_nRunAxes &= ~kAxisBitZ;
}

void CPathProcessor::FlushSegments() {
  if (m_aSegments.empty()) {
    SendAllHeldRecords();
    return;
  }
  if (m_bForce2D) ApplyForce2D();
  if (m_aSegments.size() >= 2) {
    m_bGFormRun = SupportsGCommands() != 0;
    PlanSegments();
    PackRun();
  }
  // Whatever the packing did not send (a run with nothing to move) still goes, in order.
  SendAllHeldRecords();
  Clear(FALSE);
}
