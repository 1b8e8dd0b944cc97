// Packing: a planned run becomes move commands, each segment sent against its
// predecessor (the first segment is only the point the run starts from).
//
// Block form: move blocks of one move code (the run's axes, relative when the job is and
// the run is not a rapid run), each item {type, Vn, Vc, coordinates}. The controller
// reads a block as item size × item count bytes, so instructions held back inside the
// run must not fall into one: a block ends at every segment that holds instructions,
// they follow it, and the next block begins after them.
//
// G form: every item is a command of its own. Lines and rapids are DT_G01 / DT_G00 with
// their length in steps; an arc is one DT_G02 / DT_G03 from the point before its first
// piece to its Org piece, with the highest Vn of its pieces. Pieces without the Org flag
// wait; should the arc be cut off (a run cut at the segment limit, instructions inside
// it, a line or another arc after it) the waiting pieces go out as an arc to the last of
// them, so no piece of a path is ever dropped.
//
// Steps are truncated positions (mm × steps per inch / 25.4); deltas are differences of
// truncated positions, so relative items add up exactly to the absolute positions.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "engine/planner/planner_geometry.h"
#include "engine/planner/planner_numbers.h"
#include "foundation/log.h"
#include "platform/bytes.h"

namespace {

bool IsArc(const PlanSegment& s) { return s.m_nGType == kGArcCW || s.m_nGType == kGArcCCW; }

// The word form of a move code in the "output" log: "PAXY", "PRZ" ...
const char* AxisLetters(BYTE axes) {
  switch (axes) {
    case kAxisBitX: return "X";
    case kAxisBitY: return "Y";
    case kAxisBitZ: return "Z";
    case kAxisBitX | kAxisBitY: return "XY";
    case kAxisBitY | kAxisBitZ: return "YZ";
    case kAxisBitX | kAxisBitZ: return "XZ";
    default: return "XYZ";
  }
}

void AppendValue(CString& text, const char* label, double value) {
  if (value == kUnset)
    text.AppendFormat("%s=INF ", label);
  else
    text.AppendFormat("%s=%.3f ", label, value);
}

}  // namespace

long CPathProcessor::Steps(int axis, double mm) const { return SaturateInt32(mm * m_adStepsPerMm[axis]); }

void CPathProcessor::PackRun() {
  WORD code = MoveCodeForAxes(m_nRunAxes);
  if (m_job.RelativeCoords && m_nRunGType != kGRapid) code = WORD(code + kRelativeOffset);
  if (m_bGFormRun) ReplaceArcs();
  if (m_pObserver) m_pObserver->OnRunPlanned(m_aSegments.data(), (int)m_aSegments.size(), m_nRunGType);
  SendHeldRecords(0);
  if (m_bGFormRun)
    PackGForm(code);
  else
    PackBlockForm(code);
}

bool CPathProcessor::HeldAfter(int segment) const {
  return m_nHeldSent < m_aHeld.size() && m_aHeld[m_nHeldSent].m_nSegment <= segment;
}

// ---- Block form
void CPathProcessor::PackBlockForm(WORD code) {
  const std::vector<PlanSegment>& seg = m_aSegments;
  int n = (int)seg.size();
  WORD itemSize = WORD(GetMoveCoordSize(code) + kItemHeadBytes);
  for (int i = 1; i < n;) {
    // The block runs to the next segment that holds instructions, or to the run's end.
    int j = i;
    while (j < n - 1 && !HeldAfter(j) && j - i + 1 < 0xFFFF) j++;
    m_out.PutWord(WORD(kCommandBit + code));
    m_out.PutWord(itemSize);
    m_out.PutWord(WORD(j - i + 1));
    for (int k = i; k <= j; k++) FillOnePointEx(code, k == n - 1, seg[k], seg[k - 1]);
    SendHeldRecords(j);
    i = j + 1;
  }
}

// ---- G form
void CPathProcessor::PackGForm(WORD code) {
  const std::vector<PlanSegment>& seg = m_aSegments;
  int n = (int)seg.size();
  int pred = 0;      // the segment the next item starts from
  double arcVn = 0;  // highest Vn of the arc's pieces so far
  int pending = -1;  // last piece of an arc still waiting for its Org piece
  auto flushPending = [&](bool last) {
    if (pending < 0) return;
    AddArc(last, seg[pending], seg[pred], arcVn);
    pred = pending;
    arcVn = 0;
    pending = -1;
  };
  for (int i = 1; i < n; i++) {
    const PlanSegment& s = seg[i];
    bool last = i == n - 1;
    if (IsArc(s) && !(s.m_nFlags & kSegHelical)) {
      if (pending >= 0) {
        const PlanSegment& w = seg[pending];
        if (w.m_nGType != s.m_nGType || w.m_nPlane != s.m_nPlane || w.m_vCenter != s.m_vCenter) flushPending(false);
      }
      arcVn = std::max(arcVn, s.m_dVn);
      if (s.m_nFlags & kSegOrg) {
        AddArc(last, s, seg[pred], arcVn);
        arcVn = 0;
        pred = i;
        pending = -1;
      } else {
        pending = i;
      }
    } else {
      flushPending(false);
      FillOnePointEx(code, last, s, seg[pred]);
      pred = i;
    }
    if (HeldAfter(i)) {
      flushPending(last);
      SendHeldRecords(i);
    }
  }
  flushPending(true);
}

void CPathProcessor::FillOnePointEx(WORD code, bool last, const PlanSegment& s, const PlanSegment& p) {
  FillMoveItem(code, last, s, p, m_bGFormRun, last ? m_dStart_mm_s : s.m_dVc, true);
}

// One item of a line or rapid: in a block {type, Vn, Vc, coordinates}; in the G form a
// whole DT_G00/DT_G01 command, then the wait after a plunge when one is set.
void CPathProcessor::FillMoveItem(WORD code, bool last, const PlanSegment& s, const PlanSegment& p, bool gForm,
                                  double vc, bool lengthKnown) {
  long now[3] = {Steps(0, s.m_vEnd.x), Steps(1, s.m_vEnd.y), Steps(2, s.m_vEnd.z)};
  long before[3] = {Steps(0, p.m_vEnd.x), Steps(1, p.m_vEnd.y), Steps(2, p.m_vEnd.z)};
  double d[3] = {(double)now[0] - before[0], (double)now[1] - before[1], (double)now[2] - before[2]};
  DWORD length = lengthKnown ? SaturateDword(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])) : 0;
  BYTE axes = MoveCodeAxes(code);
  bool relative = IsRelativeMoveCode(code);
  long long values[3];
  for (int a = 0; a < 3; a++) values[a] = relative ? (long long)d[a] : now[a];

  if (gForm) {
    WORD control = WORD(s.m_nCutType & kCtlCutTypeMask);
    if (axes & kAxisBitX) control |= kCtlX;
    if (axes & kAxisBitY) control |= kCtlY;
    if (axes & kAxisBitZ) control |= kCtlZ;
    if (relative) control |= kCtlRelative;
    if (last) control |= kCtlLast;
    m_out.PutWord(WORD(kCommandBit + (s.m_nGType == kGRapid ? DT_G00 : DT_G01)));
    m_out.PutWord(WORD(GetMoveCoordSize(code) + kGLineFixedBytes));
    m_out.PutWord(control);
    m_out.PutWord(SaturateWord(s.m_dVn));
    m_out.PutWord(SaturateWord(vc));
    m_out.PutDword(length);
  } else {
    m_out.PutWord(s.m_nCutType);
    m_out.PutWord(SaturateWord(s.m_dVn));
    m_out.PutWord(SaturateWord(vc));
  }
  static const BYTE kAxisBits[3] = {kAxisBitX, kAxisBitY, kAxisBitZ};
  for (int a = 0; a < 3; a++) {
    if (!(axes & kAxisBits[a])) continue;
    if (relative)
      m_out.PutWord(WORD((unsigned long long)values[a] & 0xFFFFu));
    else
      m_out.PutDword((DWORD)values[a]);
  }
  if (m_bLogOutput) LogItem(code, s, length, values);

  // A plunge straight down waits LiftDelay before the tool moves on. The values are the
  // item's own: deltas of a relative item, positions of an absolute one, 0 when absent.
  if (gForm && m_settings.m_nLiftDelay_ms != 0 && s.m_vEnd.z < -m_dEps && (axes & kAxisBitZ)) {
    long long x = (axes & kAxisBitX) ? values[0] : 0, y = (axes & kAxisBitY) ? values[1] : 0;
    if (x == 0 && y == 0 && values[2] < 0) AddCommand(DT_ZW, (WORD)m_settings.m_nLiftDelay_ms);
  }
}

void CPathProcessor::AddArc(bool last, const PlanSegment& s, const PlanSegment& p, double vn) {
  int first, second;  // the plane's axes
  WORD planeAxes, pair;
  switch (s.m_nPlane) {
    case kPlaneXY: first = 0, second = 1, planeAxes = 0x30, pair = 3; break;
    case kPlaneXZ: first = 0, second = 2, planeAxes = 0x50, pair = 5; break;
    case kPlaneYZ: first = 1, second = 2, planeAxes = 0x60, pair = 6; break;
    default: return;  // no plane of its own: nothing can be sent
  }
  const double end[3] = {s.m_vEnd.x, s.m_vEnd.y, s.m_vEnd.z};
  const double center[3] = {s.m_vCenter.x, s.m_vCenter.y, s.m_vCenter.z};
  long e1 = Steps(first, end[first]), e2 = Steps(second, end[second]);
  long c1 = Steps(first, center[first]), c2 = Steps(second, center[second]);
  double a = (double)e1 - c1, b = (double)e2 - c2;
  DWORD radius = SaturateDword(std::sqrt(a * a + b * b));
  double sweep = ArcAngle(s.m_nGType, s.m_nPlane, p.m_vEnd, s.m_vEnd, s.m_vCenter);
  DWORD arcLength = SaturateDword(radius * sweep);
  WORD control = WORD((s.m_nCutType & kCtlCutTypeMask) + s.m_nPlane + planeAxes);
  control |= WORD((pair + (last ? 0x80 : 0)) << 8);
  double vc = last ? m_dStart_mm_s : s.m_dVc;

  m_out.PutWord(WORD(kCommandBit + (s.m_nGType == kGArcCW ? DT_G02 : DT_G03)));
  m_out.PutWord(kGArcPayloadBytes);
  m_out.PutWord(control);
  m_out.PutWord(SaturateWord(vn));
  m_out.PutWord(SaturateWord(vc));
  m_out.PutDword(arcLength);
  m_out.PutDword(radius);
  m_out.PutDword((DWORD)e1);
  m_out.PutDword((DWORD)e2);
  m_out.PutDword((DWORD)c1);
  m_out.PutDword((DWORD)c2);

  if (m_bLogOutput) {
    static const char* const kForms[3] = {"G%02d (X%ld, Y%ld)-(I%ld, J%ld)\r\n", "G%02d (X%ld, Z%ld)-(I%ld, K%ld)\r\n",
                                          "G%02d (Y%ld, Z%ld)-(J%ld, K%ld)\r\n"};
    CString words, text;
    words.Format(kForms[s.m_nPlane / 4], s.m_nGType, e1, e2, c1, c2);
    text.Format("G%02d CutType=%d Control=0x%04X Vn=%d Vc=%7.3f R=%.3f S=%lu %s", s.m_nGType, s.m_nCutType, control,
                (int)SaturateWord(vn), vc, radius / m_adStepsPerMm[first], (unsigned long)arcLength,
                (const char*)words);
    WriteLog("output", text);
  }
}

void CPathProcessor::LogItem(WORD code, const PlanSegment& s, DWORD length, const long long* values) {
  if (s.m_nGType != m_nLastLoggedGType) WriteLog("output", "\r\n");
  m_nLastLoggedGType = s.m_nGType;
  CString text;
  text.Format("G%02d CutType=%d Org=%d Vn=%7.3f Vc=%7.3f S=%lu ", s.m_nGType, s.m_nCutType,
              (s.m_nFlags & kSegOrg) ? 1 : 0, s.m_dVn, s.m_dVc, (unsigned long)length);
  AppendValue(text, "radius", s.m_dRadius);
  AppendValue(text, "angle", s.m_dAngle);
  if (s.m_dChordHeight != kUnset) {
    text.AppendFormat(" ChordHigh=%.3f", s.m_dChordHeight);
    if (s.m_dRadius != kUnset && s.m_dRadius != 0)
      text.AppendFormat(" Coff%%=%.2f%%", s.m_dChordHeight * 100 / s.m_dRadius);
  }
  if (s.m_dRadiusDiff != kUnset && s.m_dOldRadius != kUnset) {
    text.AppendFormat(" Rdiff=%.3f oldR=%.3f", s.m_dRadiusDiff, s.m_dOldRadius);
    if (s.m_dRadius != kUnset && s.m_dRadius != 0)
      text.AppendFormat(" Roff%%=%.2f%%", s.m_dRadiusDiff * 100 / s.m_dRadius);
  }
  BYTE axes = MoveCodeAxes(code);
  text.AppendFormat(" %s%s ", IsRelativeMoveCode(code) ? "PR" : "PA", AxisLetters(axes));
  static const BYTE kAxisBits[3] = {kAxisBitX, kAxisBitY, kAxisBitZ};
  const char* sep = "";
  for (int a = 0; a < 3; a++) {
    if (!(axes & kAxisBits[a])) continue;
    text.AppendFormat("%s%lld", sep, values[a]);
    sep = ",";
  }
  text += ";";
  WriteLog("output", text);
}

// ---- Job header
void CPathProcessor::SanitizeJobName(char* name) {
  for (int i = 0; name[i];) {
    BYTE c = (BYTE)name[i];
    if (!(c & 0x80)) {
      i++;
      continue;
    }
    BYTE next = (BYTE)name[i + 1];
    if (next == 0) {
      name[i] = 0;  // a lead byte without its trail
      break;
    }
    if (next & 0x80) {
      i += 2;  // a double-byte character
      continue;
    }
    name[i] = ' ';
    i++;
  }
}

BOOL CPathProcessor::SendJobHeader(const char* target, BOOL launched) {
  BYTE h[kHeadBytes] = {};
  bytes::Store16(h + 0, WORD(kCommandBit + DT_HEAD));
  bytes::Store16(h + 2, kHeadPayloadBytes);
  bytes::Store32(h + 4, kHeadMagic);
  bytes::Store32(h + 8, (DWORD)m_job.TotalTags);
  const JobRecord& j = m_job;
  bytes::Store32(h + 12, (DWORD)SaturateInt32(j.FeedMin.x * m_adStepsPerMm[0]));
  bytes::Store32(h + 16, (DWORD)SaturateInt32(j.FeedMax.x * m_adStepsPerMm[0]));
  bytes::Store32(h + 20, (DWORD)SaturateInt32(j.FeedMin.y * m_adStepsPerMm[1]));
  bytes::Store32(h + 24, (DWORD)SaturateInt32(j.FeedMax.y * m_adStepsPerMm[1]));
  double feedMinZ = j.FeedMin.z, feedMaxZ = j.FeedMax.z, rapidMinZ = j.TraverseZMin, rapidMaxZ = j.TraverseZMax;
  bytes::Store32(h + 28, (DWORD)SaturateInt32(std::min(feedMinZ, rapidMinZ) * m_adStepsPerMm[2]));
  bytes::Store32(h + 32, (DWORD)SaturateInt32(std::max(feedMaxZ, rapidMaxZ) * m_adStepsPerMm[2]));
  const int kNameArea = 36;
  if (launched && target && *target) {
    // Byte 36 stays 0; the name fills 37-97 and is cleaned after the cut, so a
    // double-byte character cut in two does not end it.
    const int kNameBytes = 61;
    size_t length = strnlen(j.JobName, kNameBytes);
    std::memcpy(h + kNameArea + 1, j.JobName, length);
    SanitizeJobName((char*)h + kNameArea + 1);
  } else {
    std::strcpy((char*)h + kNameArea, "Kestrada");
  }
  return m_out.QueueDirect(h, kHeadBytes);
}
