// CPathOptimizer: settings, reset and the driver of the passes.
#include "nc/optimize/path_optimizer.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "nc/optimize/optimize_progress.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSameBound_mm = 1e-12;  // door bounds closer than this are one line
// Lower bounds of the settings.
constexpr double kLeastCornerDepart_mm = 0.01;
constexpr double kLeastMergeLength_mm = 0.0001;  // segment limit and chord height of merging
constexpr double kLeastMergeAngle_deg = 100;

// C library number rules: a text that is no number gives 0, and so does one that reads
// as infinity or NaN, which no setting can mean.
double Number(const CString& text) {
  double v = std::atof(text);
  return std::isfinite(v) ? v : 0.0;
}

double CosOfDegrees(double deg) { return std::cos(deg * kPi / 180.0); }

}  // namespace

CPathOptimizer::CPathOptimizer() {
  Reset(nullptr);
  LoadForceBreakSettings();
}

CPathOptimizer::~CPathOptimizer() = default;

void CPathOptimizer::Reset(CProgressSink* progress) {
  CNCProgram::Reset(progress);
  m_nCount = 0;
  LoadSettings();
}

void CPathOptimizer::SetSettings(const OptimizerSettings& settings) { m_settings = settings; }

void CPathOptimizer::LoadSettings() {
  const char* o = "Optimization";
  OptimizerSettings& s = m_settings;
  s.m_dCosMaxAngle = CosOfDegrees(Number(GetParamValueListed(o, "MaxAngle", "165")));
  s.m_dCosMinAngle = CosOfDegrees(Number(GetParamValueListed(o, "MinAngle", "90")));
  s.m_dChordHeight = Number(GetParamValueListed(o, "CordHeight(mm)", "0.005"));
  s.m_dCornerArcMinRadius = Number(GetParamValueListed(o, "MinArc(mm)", "0.2"));
  s.m_bCornerToArc = TextToBool(GetParamValueListed(o, "Sharp2Arc", "disable")) ? 1 : 0;
  s.m_nCornerArcPlanes = std::atoi(GetParamValueListed(o, "Sharp2ArcMask(BxyByzBzx)", "100"));
  s.m_dCornerArcDeviation = Number(GetParamValueListed(o, "ErrorDiff(mm)", "0.2"));
  s.m_dCornerDepart = Number(GetParamValueListed(o, "CornerDepart(mm)", "0.05"));
  if (s.m_dCornerDepart < kLeastCornerDepart_mm) s.m_dCornerDepart = kLeastCornerDepart_mm;
  s.m_bMerge = TextToBool(GetParamValueListed(o, "PointFilter", "enable")) ? 1 : 0;
  s.m_dMergeSegLimit = Number(GetParamValueListed(o, "MergeSegLimit(mm)", "0.1"));
  if (s.m_dMergeSegLimit < kLeastMergeLength_mm) s.m_dMergeSegLimit = kLeastMergeLength_mm;
  s.m_dMergeChordHeight = Number(GetParamValueListed(o, "MergeChordHeight(mm)", "0.005"));
  if (s.m_dMergeChordHeight < kLeastMergeLength_mm) s.m_dMergeChordHeight = kLeastMergeLength_mm;
  s.m_bMergeByPathError = TextToBool(GetParamValueListed(o, "MergeByPathError", "disable")) ? 1 : 0;
  double mergeAngle_deg = Number(GetParamValueListed(o, "MergeMinAngle(degree)", "150"));
  if (mergeAngle_deg < kLeastMergeAngle_deg) mergeAngle_deg = kLeastMergeAngle_deg;
  s.m_dCosMergeMinAngle = CosOfDegrees(mergeAngle_deg);
  s.m_dSpindleWarmup = Number(GetParamValueListed("Device", "SpindleWarmup(second)", "0"));
}

void CPathOptimizer::LoadForceBreakSettings() {
  OptimizerSettings& s = m_settings;
  SplitBreakList(GetParamValueListed("Optimization", "ForceBreak(G-Codes)", "0,17,18,19"), s.m_astrBreakGCodes);
  SplitBreakList(GetParamValueListed("Optimization", "ForceBreak(M-Codes)", "3,4,5,6,7,8,9"), s.m_astrBreakMCodes);
  SplitBreakList(GetParamValueListed("Optimization", "ForceBreak(G-Words)", "T,S"), s.m_astrBreakWords);
}

void CPathOptimizer::SplitBreakList(const char* text, CStringArray& list) {
  CString upper(text ? text : "");
  upper.MakeUpper();
  list.RemoveAll();
  CString piece;
  auto flush = [&]() {
    piece.Trim();
    if (!piece.IsEmpty()) list.Add(piece);
    piece.Empty();
  };
  const char* p = upper;
  while (*p) {
    // A trail byte of a double-byte character is never a separator.
    if (IsDBCSLeadByte((BYTE)*p) && p[1]) {
      piece += p[0];
      piece += p[1];
      p += 2;
      continue;
    }
    switch (*p) {
      case ',':
      case '.':
      case '|':
      case ' ':
      case '-':
      case '\t': flush(); break;
      default: piece += *p;
    }
    p++;
  }
  flush();
}

BOOL CPathOptimizer::Optimize(CProgressSink* progress, const DoorPathArea* door) {
  if (progress && progress->IsCanceled()) return FALSE;
  const OptimizerSettings& s = m_settings;
  COptimizeProgress steps(progress, 3 * GetElementCount());
  WriteLog("optimize", "Start merging ...");

  if (s.m_bMerge && !MergePass(s, steps)) return FALSE;
  if (!CornerPass(s, steps)) return FALSE;
  if (door) {
    DoorFoldParams params;
    params.m_dLeft = door->m_dLeft;
    params.m_dRight = std::fabs(door->m_dRight - door->m_dLeft) < kSameBound_mm ? DBL_MAX : door->m_dRight;
    params.m_dBottom = door->m_dBottom;
    params.m_dTop = std::fabs(door->m_dTop - door->m_dBottom) < kSameBound_mm ? DBL_MAX : door->m_dTop;
    params.m_nFlags = door->m_nFlags;
    // A fold that fails leaves moves that cut through the door's corners or edges: the
    // import must not go on with them.
    if (!BuildVertexList(progress, &params)) return FALSE;
  }
  if (!MarksPass(steps)) return FALSE;
  if (s.m_dSpindleWarmup > 0 && !ToolPreparePass(s, steps)) return FALSE;
  return TRUE;
}
