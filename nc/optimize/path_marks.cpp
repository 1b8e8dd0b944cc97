// The last two passes: cumulative path marks with the program's totals, and the tool
// preparation tags.
//
// A spindle needs time to come up to speed after a tool change is announced. With a
// warm-up time set, an "M" tag of 100 + the new tool number is put so far back along the
// path that the machine, moving at the feed speed, reaches the tool change only after
// that time: directly after the last move whose mark lies at least warm-up x feed speed
// before the tool change's mark, or before the first move visited when the path is too
// short.
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>

#include "foundation/log.h"
#include "nc/optimize/optimize_progress.h"
#include "nc/optimize/path_optimizer.h"

namespace {

constexpr char kLogName[] = "Tinsert";

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }

// Toward zero, held within the int range (tags and marks may carry any double).
int TruncToInt(double v) {
  if (!(v > -2147483648.0)) return v != v ? 0 : INT_MIN;
  if (!(v < 2147483648.0)) return INT_MAX;
  return (int)v;
}

bool IsToolTag(const PathRecord& r) {
  return r.m_nCode == kCodeTag && (r.m_szName[0] == 'T' || r.m_szName[0] == 't') && r.m_szName[1] == '\0';
}

bool IsKeptMove(const PathRecord& r) { return IsMoveCode(r.m_nCode) && r.m_nDiscard == 0; }

ToolMark MakeMark(int tool, int index, int mark_mm) {
  ToolMark m;
  m.m_nTool = tool;
  m.m_nIndex = index;
  m.m_dMark = mark_mm;
  return m;
}

void Log(BOOL on, const char* fmt, ...) {
  if (!on) return;
  CString line;
  va_list args;
  va_start(args, fmt);
  line.FormatV(fmt, args);
  va_end(args);
  WriteLog(kLogName, line);
}

}  // namespace

// ---- Marks pass

// Every program starts at the origin, where the loader puts the current point before the
// first move: the first kept move is measured from there like every other one, so a
// program that starts with a cut counts that cut.
BOOL CPathOptimizer::MarksPass(COptimizeProgress& progress) {
  const BOOL log = IsLogOn(kLogName);
  m_aToolMarks.RemoveAll();
  int tagCount = 0;
  double pathLength_mm = 0.0;  // the toolpath without rapids
  ClearUsedTools();
  SetTotals(0, 0.0);
  double length_mm = 0.0;  // S: cumulative length of the kept moves
  Vec3 last;               // P: end of the last kept move
  int lastCode = -1;       // c: code of the last kept move
  PathRecord r;
  BOOL finished = TRUE;

  for (int i = 0; GetPathRecord(i, r, FALSE); i++) {
    progress.Step();
    if (IsKeptMove(r)) {
      // A tag after a rapid was counted with the rapid's own tag.
      if (r.m_nTagStart != 0 && lastCode != kCodeRapid) tagCount++;
      lastCode = r.m_nCode;
      Vec3 end = r.GetEnd();
      double d_mm = Length(end, last);
      length_mm += d_mm;
      if (r.m_nCode != kCodeRapid) pathLength_mm += d_mm;
      SetMark(i, length_mm);
      Log(log, "index = %d, Mark=%.3f", i, length_mm);
      last = end;
    } else if (IsToolTag(r)) {
      // One entry per exact tool number, so T1 still counts after T10.
      double value = std::floor(r.m_dValue + 0.5);
      if (value >= 0 && value < kToolNumberLimit) AddUsedTool((int)value);
      ToolMark mark;
      mark.m_nTool = TruncToInt(r.m_dValue);
      mark.m_nIndex = i;
      mark.m_dMark = length_mm;
      m_aToolMarks.Add(mark);
      Log(log, "T @ index = %d, Mark=%.3f", i, length_mm);
    }
    if (progress.IsCanceled()) {
      finished = FALSE;
      break;
    }
  }
  SetTotals(tagCount, pathLength_mm);
  return finished;
}

// ---- Tool preparation pass

BOOL CPathOptimizer::ToolPreparePass(const OptimizerSettings& s, COptimizeProgress& progress) {
  const BOOL log = IsLogOn(kLogName);
  m_aPrepareMarks.RemoveAll();
  const int count = GetElementCount();
  int j0 = 0;  // the earliest move visited whose mark still lies after the target
  int m0 = 0;  // mark of the last move visited, cut to whole millimetres
  PathRecord r;
  BOOL finished = TRUE;

  for (int t = 0; t < m_aToolMarks.GetSize() && finished; t++) {
    const ToolMark tool = m_aToolMarks[t];
    const double target_mm = tool.m_dMark - GetFeedSpeed() * s.m_dSpindleWarmup;
    for (int j = tool.m_nIndex; j >= 0 && GetPathRecord(j, r, FALSE); j--) {
      if (!IsKeptMove(r)) {
        if (j == 0) m_aPrepareMarks.Add(MakeMark(tool.m_nTool, j0, m0));
        continue;
      }
      m0 = TruncToInt(r.m_dMark);
      if (target_mm < r.m_dMark) {
        j0 = j;
        progress.Drain();
        if (progress.IsCanceled()) {
          finished = FALSE;
          break;
        }
        if (j == 0) m_aPrepareMarks.Add(MakeMark(tool.m_nTool, j0, m0));
        continue;
      }
      if (j < count - 1) {
        m_aPrepareMarks.Add(MakeMark(tool.m_nTool, j + 1, m0));
        Log(log, "Insert @ index = %d, cur=%.3f, Mark=%.3f", j, r.m_dMark, (double)m0);
      }
      break;
    }
  }
  m_aToolMarks.RemoveAll();
  if (!finished) {
    m_aPrepareMarks.RemoveAll();
    return FALSE;
  }

  // Highest index first (an exchange sort, which decides the order of equal indices).
  int n = m_aPrepareMarks.GetSize();
  for (int p = 0; p < n; p++) {
    for (int q = p + 1; q < n; q++) {
      if ((unsigned)m_aPrepareMarks[p].m_nIndex < (unsigned)m_aPrepareMarks[q].m_nIndex) {
        ToolMark swap = m_aPrepareMarks[p];
        m_aPrepareMarks[p] = m_aPrepareMarks[q];
        m_aPrepareMarks[q] = swap;
      }
    }
  }
  // Inserting one by one from the highest index down would put tags of one index in the
  // reverse of this order; the same list results from one sweep over the reversed order.
  ElementInsertions items;
  items.reserve((size_t)n);
  for (int k = n - 1; k >= 0; k--) {
    const ToolMark& m = m_aPrepareMarks[k];
    CPathTagElement* tag = NewToolPrepareTag(m.m_nTool);
    if (tag) items.emplace_back(m.m_nIndex, tag);
  }
  for (int k = 0; k < n; k++)
    Log(log, "Last Insert @ index = %d, ToolNo=%d", m_aPrepareMarks[k].m_nIndex, m_aPrepareMarks[k].m_nTool);
  m_aPrepareMarks.RemoveAll();
  InsertElements(items);
  return TRUE;
}

CPathTagElement* CPathOptimizer::NewToolPrepareTag(int tool) const {
  CPathTagElement* tag = new (std::nothrow) CPathTagElement;
  if (!tag) return nullptr;
  tag->SetName("M");
  tag->m_dValue = 100.0 + tool;
  tag->m_nLine = (DWORD)GetLastLine();
  tag->SetSource(true);
  return tag;
}

BOOL CPathOptimizer::InsertToolPrepareTag(int index, int tool) {
  CPathTagElement* tag = NewToolPrepareTag(tool);
  if (!tag) return FALSE;
  InsertElements(ElementInsertions{{index, tag}});
  return TRUE;
}

BOOL CPathOptimizer::HasCuttingMoves(int start) const {
  PathRecord r;
  for (int i = start < 0 ? 0 : start; GetPathRecord(i, r, FALSE); i++) {
    if (r.m_nCode >= kCodeFeed && r.m_nCode <= kCodeArcCCW) return TRUE;
    if (r.m_nCode == kCodeTag && (r.m_szName[0] == 'M' || r.m_szName[0] == 'm') && r.m_szName[1] == '\0' &&
        (r.m_dValue == 2.0 || r.m_dValue == 30.0))
      return FALSE;
  }
  return FALSE;
}
