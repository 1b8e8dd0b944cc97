// CPathOptimizer: settings, reset and the driver of the passes.
#include "nc/optimize/path_optimizer.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "nc/optimize/optimize_progress.h"

namespace {

const double kPi = 3.141592653589793;
const double kSameBound = 1e-12;  // door bounds closer than this are one line

CString ParamsFile() { return g_strAppFolder + "Parameters.ini"; }

// Reads a key as it stands (a 260-character read) and writes it back, so that every key
// the optimiser knows is listed in the file.
CString ReadBack(const char* section, const char* key, const char* def) {
  CString file = ParamsFile();
  char value[260];
  ProfileGetString(section, key, def, value, sizeof value, file);
  ProfileWriteString(section, key, value, file);
  return CString(value);
}

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

void CPathOptimizer::LoadSettings() {
  const char* s = "Optimization";
  m_dCosMaxAngle = CosOfDegrees(Number(ReadBack(s, "MaxAngle", "165")));
  m_dCosMinAngle = CosOfDegrees(Number(ReadBack(s, "MinAngle", "90")));
  m_dChordHeight = Number(ReadBack(s, "CordHeight(mm)", "0.005"));
  m_dCornerArcMinRadius = Number(ReadBack(s, "MinArc(mm)", "0.2"));
  m_bCornerToArc = TextToBool(ReadBack(s, "Sharp2Arc", "disable")) ? 1 : 0;
  m_nCornerArcPlanes = std::atoi(ReadBack(s, "Sharp2ArcMask(BxyByzBzx)", "100"));
  m_dCornerArcDeviation = Number(ReadBack(s, "ErrorDiff(mm)", "0.2"));
  m_dCornerDepart = Number(ReadBack(s, "CornerDepart(mm)", "0.05"));
  if (m_dCornerDepart < 0.01) m_dCornerDepart = 0.01;
  m_bMerge = TextToBool(ReadBack(s, "PointFilter", "enable")) ? 1 : 0;
  m_dMergeSegLimit = Number(ReadBack(s, "MergeSegLimit(mm)", "0.1"));
  if (m_dMergeSegLimit < 0.0001) m_dMergeSegLimit = 0.0001;
  m_dMergeChordHeight = Number(ReadBack(s, "MergeChordHeight(mm)", "0.005"));
  if (m_dMergeChordHeight < 0.0001) m_dMergeChordHeight = 0.0001;
  m_bMergeByPathError = TextToBool(ReadBack(s, "MergeByPathError", "disable")) ? 1 : 0;
  double mergeAngle_deg = Number(ReadBack(s, "MergeMinAngle(degree)", "150"));
  if (mergeAngle_deg < 100) mergeAngle_deg = 100;
  m_dCosMergeMinAngle = CosOfDegrees(mergeAngle_deg);
  m_dSpindleWarmup = Number(ReadBack("Device", "SpindleWarmup(second)", "0"));
}

void CPathOptimizer::LoadForceBreakSettings() {
  SplitBreakList(ReadBack("Optimization", "ForceBreak(G-Codes)", "0,17,18,19"), m_astrBreakGCodes);
  SplitBreakList(ReadBack("Optimization", "ForceBreak(M-Codes)", "3,4,5,6,7,8,9"), m_astrBreakMCodes);
  SplitBreakList(ReadBack("Optimization", "ForceBreak(G-Words)", "T,S"), m_astrBreakWords);
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
  COptimizeProgress steps(progress, 3 * GetElementCount());
  WriteLog("optimize", "Start merging ...");

  if (m_bMerge && !MergePass(steps)) return FALSE;
  if (!CornerPass(steps)) return FALSE;
  if (door) {
    DoorFoldParams params = {};
    params.m_dLeft = door->m_dLeft;
    params.m_dRight = std::fabs(door->m_dRight - door->m_dLeft) < kSameBound ? DBL_MAX : door->m_dRight;
    params.m_dBottom = door->m_dBottom;
    params.m_dTop = std::fabs(door->m_dTop - door->m_dBottom) < kSameBound ? DBL_MAX : door->m_dTop;
    params.m_nFlags = door->m_nFlags;
    // Whatever the fold's outcome, the marks must describe the list as it now stands.
    BuildVertexList(progress, &params);
  }
  if (!MarksPass(steps)) return FALSE;
  if (m_dSpindleWarmup > 0 && !ToolPreparePass(steps)) return FALSE;
  return TRUE;
}

void CPathOptimizer::InsertElements(const Insertions& items) {
  if (items.empty()) return;
  int n = m_aElements.GetSize();
  int k = (int)items.size();
  m_aElements.SetSize(n + k);
  CPathElement** a = m_aElements.GetData();
  // Merge from the back: every old element moves up by the number of new ones before it.
  int src = n - 1, dst = n + k - 1;
  for (int t = k - 1; t >= 0; t--) {
    int at = items[(size_t)t].first;
    if (at < 0) at = 0;
    if (at > n) at = n;
    while (src >= at) a[dst--] = a[src--];
    a[dst--] = items[(size_t)t].second;
  }
}
