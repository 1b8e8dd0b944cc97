// Intake: the records of a job, one by one, as the processing thread hands them over.
//
//   record ──► first-move rule ──► discarded? ──► mode or tag record ──► instructions
//                                                  move ──► lift (once) ──► tag start?
//                                                       ──► before the range? ──► run
//
// Moves before the first move that touches Z are kept at the safe Z, the height the tool
// is lifted to before the first move; both are one value, taken when the first move comes.
// A move with the new-tag mark (unless it follows a rapid, which already opened the tag)
// ends the run, closes the tag's planned time and writes the tag marker DT_DH twice, the
// spill FIFO end between them; the run goes out first, so the marker follows the moves
// of the tag before and the run's time counts for that tag. Records of tags before the tag range move nothing; the
// first record of the range is reached by entry moves from where the tool stands. Past
// the end of the range the result is kRangePassed and nothing more is added.
#include <algorithm>
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "foundation/log.h"

namespace {

enum : WORD { kCodeDwell = 4 };

BYTE PlaneAxes(WORD plane) {
  switch (plane) {
    case kPlaneXZ: return kAxisBitX | kAxisBitZ;
    case kPlaneYZ: return kAxisBitY | kAxisBitZ;
    default: return kAxisBitX | kAxisBitY;
  }
}

}  // namespace

int CPathProcessor::ProcessRecord(const PathRecord* record) {
  if (m_out.Failed()) return kOutputFailed;
  if (!record) return EndJob();

  PathRecordData r = record->Data();
  r.m_nToolRef = 0;  // a run-time slot of the writer; never a value
  bool move = r.m_nCode <= kGArcCCW;
  if (move) ApplyFirstMoveRule(r);
  if (r.m_nDiscard) {
    m_nRunAxes |= r.m_byAxes & kAxisBitsXYZ;
    return m_nCurrentTag;
  }
  if (!move) {
    if (r.m_nCode == kCodeDwell) FlushSegments();
    AddTagRecord(r);
    return m_out.Failed() ? kOutputFailed : m_nCurrentTag;
  }

  if (m_bLiftPending) LiftTool();
  if (r.m_nTagStart) BeginTag(r);
  m_nPrevMoveCode = r.m_nCode;
  Vec3 end = r.m_vEnd;
  if (!(r.m_nFlags & kSegOrg) && end == m_vPosition) return m_nCurrentTag;  // an inserted piece that does not move
  if (m_bBeforeRange) return m_nCurrentTag;

  bool passed = m_nRangeEnd != 0 && m_nRangeEnd >= m_nRangeStart && m_nRangeEnd < m_nCurrentTag;
  if (!passed) AddMoveRecord(r);
  m_nRunGType = r.m_nCode;
  m_nRunAxes |= r.m_byAxes & kAxisBitsXYZ;
  if (r.m_nCode == kGArcCW || r.m_nCode == kGArcCCW) m_nRunAxes |= PlaneAxes(m_nPlane);
  m_vPosition = end;
  if (m_out.Failed()) return kOutputFailed;
  return passed ? kRangePassed : m_nCurrentTag;
}

// The end of the job: the last run, the last tag's time, the closing tag markers around
// the device's end instructions, spindle off, and the last frame.
int CPathProcessor::EndJob() {
  FlushSegments();
  CloseTagTime();
  int total = m_job.TotalTags;
  // "All tags done" is total: a job stopped early (every tag done already) must not write
  // a marker past it and then fall back.
  int done = total > 0 ? std::min(m_nCurrentTag + 1, total) : m_nCurrentTag + 1;
  MarkTag(done);
  m_out.Flush();
  if (m_out.Queue()) m_out.Queue()->MarkFifoEnd();
  MarkTag(done);
  ParseInstructionString(m_device.m_szEndString);
  MarkTag(total);
  MarkTag(total + 1);
  AddCommand(DT_SP, 0);
  m_out.Flush();
  if (m_out.Queue()) m_out.Queue()->SetDeliveredDone();
  return m_out.Failed() ? kOutputFailed : m_nCurrentTag;
}

void CPathProcessor::MarkTag(int tag) {
  DWORD value = (DWORD)std::max(tag, 0);
  if (value < m_nLastTagMark) value = m_nLastTagMark;  // markers never go back
  m_nLastTagMark = value;
  AddCommand2(DT_DH, value);
}

void CPathProcessor::ApplyFirstMoveRule(PathRecordData& r) {
  // Until the lift has happened, the safe Z follows the parking lift height the engine
  // gave last; from then on it is the height the tool actually went to.
  if (m_bLiftPending) m_dSafeZ_mm = std::min(m_device.m_dWorkZ, m_dParkingLift_mm);
  if (!m_bFirstMove) return;
  if (r.m_byAxes & kAxisBitZ)
    m_bFirstMove = false;
  else
    r.m_vEnd.z = m_dSafeZ_mm;
}

void CPathProcessor::LiftTool() {
  m_bLiftPending = false;
  Vec3 target = m_vPosition;
  target.z = m_dSafeZ_mm;
  // Where Z stands before the lift is not known, so the item's length is given as 0.
  WriteSingleMove(DT_PAZ, m_vPosition, target, m_device.m_dMaxSpeedZ, m_dStart_mm_s, false);
  m_vPosition.z = m_dSafeZ_mm;
}

void CPathProcessor::BeginTag(const PathRecordData& r) {
  if (m_nPrevMoveCode == kGRapid) return;  // the rapid before it opened this tag
  // The run of the tag before ends here: packed and timed before that tag is closed, so
  // its time counts for its own tag and the new tag's marker follows its last move.
  FlushSegments();
  if (m_nPrevMoveCode != -1) {
    CloseTagTime();
    m_nCurrentTag++;
  }
  if (m_nCurrentTag < m_nRangeStart) {
    m_bBeforeRange = true;
    return;
  }
  MarkTag(m_nCurrentTag);
  if (m_out.Queue()) m_out.Queue()->MarkFifoEnd();
  MarkTag(m_nCurrentTag);
  if (m_bBeforeRange && m_nCurrentTag == m_nRangeStart) {
    m_bBeforeRange = false;
    AddEntryMoves(m_vPosition, r.m_vEnd);
    m_vPosition = r.m_vEnd;
  }
}

void CPathProcessor::CloseTagTime() {
  CSingleLock lock(&m_timingLock, TRUE);
  if (m_nCurrentTag >= 0 && (size_t)m_nCurrentTag < m_adPlannedTag_s.size())
    m_adPlannedTag_s[(size_t)m_nCurrentTag] += m_dRunningTagTime_s;
  m_dRunningTagTime_s = 0.0;
}

// Entry moves, from where the tool stands to the first point of the tag range: a 45°
// move while both X and Y still have to travel, the rest of XY, then XYZ at the speed of
// Z (and of a plunge when Z does not rise).
void CPathProcessor::AddEntryMoves(const Vec3& from, const Vec3& to) {
  double vn = std::min({m_dTraverse_mm_s, m_device.m_dMaxSpeedX, m_device.m_dMaxSpeedY});
  double vc = std::min(m_dTraverse_mm_s, m_dStart_mm_s);
  double dx = to.x - from.x, dy = to.y - from.y;
  Vec3 at = from;
  bool moveX = std::fabs(dx) > m_dEps, moveY = std::fabs(dy) > m_dEps;
  if (moveX && moveY && std::fabs(std::fabs(dx) - std::fabs(dy)) > m_dEps) {
    double m = std::min(std::fabs(dx), std::fabs(dy));
    Vec3 corner(from.x + std::copysign(m, dx), from.y + std::copysign(m, dy), from.z);
    WriteSingleMove(DT_PAXY, at, corner, vn, vc, true);
    at = corner;
  }
  if (moveX || moveY) {
    Vec3 flat(to.x, to.y, from.z);
    WriteSingleMove(DT_PAXY, at, flat, vn, vc, true);
    at = flat;
  }
  double limit = m_device.m_dMaxSpeedZ;
  if (to.z <= from.z) limit = std::min(limit, m_dPlunge_mm_s);
  WriteSingleMove(DT_PAXYZ, at, to, std::min(vn, limit), std::min(vc, limit), true);
}

// One rapid outside a run: a one-item move block, or DT_G00 in the G form; it is the
// last (and only) item of its run.
void CPathProcessor::WriteSingleMove(WORD code, const Vec3& from_mm, const Vec3& to_mm, double vn, double vc,
                                     bool lengthKnown) {
  PlanSegment p, s;
  p.m_vEnd = ScaleRotary(from_mm);
  s.m_vEnd = ScaleRotary(to_mm);
  s.m_nGType = kGRapid;
  s.m_nCutType = kCutRapid;
  s.m_dVn = vn;
  s.m_dVc = vc;
  bool gForm = SupportsGCommands() != 0;
  if (!gForm) {
    m_out.PutWord(WORD(kCommandBit + code));
    m_out.PutWord(WORD(GetMoveCoordSize(code) + kItemHeadBytes));
    m_out.PutWord(1);
  }
  FillMoveItem(code, true, s, p, gForm, vc, lengthKnown);
}
