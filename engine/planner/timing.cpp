// Timing: how long each planned segment will take, summed per tag and for the job, with
// the optional speed trace; and the actual time of each tag as the controller reports
// its progress, from which the projected job time follows.
//
// A segment of length L is entered at vs (its predecessor's corner speed), aims at its
// nominal speed vn and leaves at its corner speed ve, with the job's acceleration a:
//
//   speed   vn ______
//          /        \            vn >= vs: accelerate (d1 = (vn² - vs²) / 2a, at most L),
//   vs   /            \ ve       cruise, and decelerate when vn > ve (d3 = (vn² - ve²) / 2a,
//        d1    d2     d3         at most what is left); the cruise is at vn, or at ve
//                                when there is no deceleration.
//   vn < vs: brake to vn (d1 = (vs² - vn²) / 2a, at most L), then go on at ve.
//
// Each phase's time is its speed change over a (0 for a phase shorter than 1e-12 mm)
// and, for the cruise, its length over the cruise speed. Phases with both a time and a
// length add to the job's cumulative time and distance and form the rows of the speed
// trace. Every planned run adds 0.04 s for the controller's turnaround.
//
// Progress: the controller names the tag it has reached; the time since the tag timer
// started (plus what it ran before a pause) is the actual time of the tag before. The
// projected job time scales the planned total by how the finished tags compared.
#include <algorithm>
#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/file.h"

namespace {

const double kPhase = 1e-12;           // shorter phases take no time
const double kRunTurnaround_s = 0.04;  // added per planned run
const double kCrawl_mm_s = 1e-3;       // a cruise at a corner speed of 0 is timed at this

const char kTraceHeader[] =
    "time_second, distance_mm, speed_mm_s, delta_time, delta_distance, line_type, tool_no, plane, line_no";

const char* PlaneName(WORD plane) {
  switch (plane) {
    case kPlaneXZ: return "ZX";
    case kPlaneYZ: return "YZ";
    default: return "XY";
  }
}

}  // namespace

CString GetSpeedTracePath(const char* jobName) {
  return g_strAppFolder + "Temp\\" + (jobName ? jobName : "") + ".trace";
}

void CPathProcessor::ComputeTiming() {
  std::vector<PlanSegment>& seg = m_aSegments;
  if (seg.size() < 2) return;
  double a = m_dAccel_mm_s2;  // checked above 0 when the job was prepared
  bool trace = m_settings.m_bLogSpeedTrace != 0;
  CString rows;
  double cumTime = m_dCumTime_s, cumDistance = m_dCumDistance_mm, runTime = 0;
  for (size_t i = 1; i < seg.size(); i++) {
    PlanSegment& s = seg[i];
    const PlanSegment& p = seg[i - 1];
    double len = Distance3D(p.m_vEnd.x, p.m_vEnd.y, p.m_vEnd.z, s.m_vEnd.x, s.m_vEnd.y, s.m_vEnd.z);
    double vs = p.m_dVc, vn = s.m_dVn, ve = s.m_dVc;
    // ---- phases: {length, time, speed shown in the trace}
    double d[3] = {0, 0, 0}, t[3] = {0, 0, 0}, shown[3] = {vn, vn, ve};
    double cruise;
    if (vn >= vs) {
      d[0] = std::min(len, (vn * vn - vs * vs) / (2 * a));
      t[0] = d[0] < kPhase ? 0 : (vn - vs) / a;
      if (vn > ve) {
        d[2] = std::min(len - d[0], (vn * vn - ve * ve) / (2 * a));
        t[2] = d[2] < kPhase ? 0 : (vn - ve) / a;
        cruise = vn;
      } else {
        cruise = ve;
      }
    } else {
      d[0] = std::min(len, (vs * vs - vn * vn) / (2 * a));
      t[0] = d[0] < kPhase ? 0 : (vs - vn) / a;
      cruise = ve;
    }
    d[1] = std::max(0.0, len - d[0] - d[2]);
    t[1] = d[1] < kPhase ? 0 : d[1] / std::max(cruise, kCrawl_mm_s);
    double segmentTime = t[0] + t[1] + t[2];
    // ---- cumulative time and distance, trace rows
    for (int k = 0; k < 3; k++) {
      if (!(t[k] > kPhase && d[k] > kPhase)) continue;
      cumDistance += d[k];
      cumTime += t[k];
      if (trace)
        rows.AppendFormat("%s%.4f, %.4f, %.4f, %.4f, %.4f, %lu, T%d, %s, %lu", rows.IsEmpty() ? "" : "\r\n", cumTime,
                          cumDistance, shown[k], t[k], d[k], (unsigned long)s.m_nGType, m_nCurrentTool,
                          PlaneName(m_nPlane), (unsigned long)m_nTraceLine);
    }
    m_nTraceLine++;
    runTime += segmentTime;
    s.m_fTime = (float)cumTime;
  }
  cumTime += kRunTurnaround_s;
  if (!rows.IsEmpty()) AppendTrace(rows);
  CSingleLock lock(&m_timingLock, TRUE);
  m_dRunningTagTime_s += runTime;
  m_dCumTime_s = cumTime;
  m_dCumDistance_mm = cumDistance;
}

void CPathProcessor::AppendTrace(const CString& rows) {
  CString path = GetSpeedTracePath(m_job.JobName);
  bool empty = true;
  try {
    if (platform::PathExists(path)) {
      CFile file(path, CFile::modeRead | CFile::shareDenyNone);
      empty = file.GetLength() == 0;
    }
  } catch (const CFileException&) {
  }
  if (empty) WriteLog(path, kTraceHeader, TRUE);
  WriteLog(path, rows, TRUE);
}

void CPathProcessor::LogReview() const {
  for (const PlanSegment& s : m_aSegments) {
    if (s.m_nFlags & kSegNoSmoothing) continue;
    CString line;
    line.Format("G%02d Vn=%.3f Vc=%.3f", s.m_nGType, s.m_dVn, s.m_dVc);
    auto value = [&line](const char* format, const char* unset, double v) {
      if (v == kUnset)
        line += unset;
      else
        line.AppendFormat(format, v);
    };
    value(" ang=%.2f", " ang=INF", s.m_dAngle);
    value(" R=%.2f", " R=INF", s.m_dRadius);
    if (s.m_dRadius != kUnset) value("(%.2f)", "(INF)", s.m_dOldRadius);
    value(" len=%.2f", " len=INF", s.m_dLength);
    value(" Hoff=%.2f", " Hoff=INF", s.m_dChordHeight);
    WriteLog("review", line);
  }
}

// ---- Tag progress
void CPathProcessor::StartTagTimer() {
  DWORD now = m_pTicks->Now();
  m_dwTagTimer = now ? now : 1;
}

void CPathProcessor::PauseTagTimer() {
  if (m_dwTagTimer) m_dwTagElapsed_ms += m_pTicks->Now() - m_dwTagTimer;
  m_dwTagTimer = 0;
}

void CPathProcessor::StopTagTimer() { PauseTagTimer(); }

void CPathProcessor::OnTagProgress(int n) {
  int total = m_job.TotalTags;
  if (n < 0 || n > total) return;  // not a tag of this job
  if (n == 0) {
    StartTagTimer();
    m_dwTagElapsed_ms = 0;
    return;
  }
  PauseTagTimer();
  size_t tag = (size_t)(n - 1);
  {
    CSingleLock lock(&m_timingLock, TRUE);
    if (tag < m_anActualTag_ms.size()) {
      m_anActualTag_ms[tag] += m_dwTagElapsed_ms;
      m_dActualTotal_s += m_anActualTag_ms[tag] / 1000.0;
      m_dPlannedTotal_s += m_adPlannedTag_s[tag];
    }
  }
  m_dwTagElapsed_ms = 0;
  if (n < total) StartTagTimer();
}

double CPathProcessor::GetElapsedTime() {
  DWORD running = m_dwTagElapsed_ms;
  DWORD start = m_dwTagTimer;
  if (start) running += m_pTicks->Now() - start;
  CSingleLock lock(&m_timingLock, TRUE);
  return m_dActualTotal_s + running / 1000.0;
}

double CPathProcessor::GetPlannedTagTime(int n) {
  CSingleLock lock(&m_timingLock, TRUE);
  if (n >= 0) return n < m_job.TotalTags && (size_t)n < m_adPlannedTag_s.size() ? m_adPlannedTag_s[(size_t)n] : 0.0;
  if (m_dActualTotal_s > kPhase && m_dPlannedTotal_s > kPhase)
    return m_dCumTime_s * m_dActualTotal_s / m_dPlannedTotal_s;
  return m_dCumTime_s;
}
