#include "nc/path_element.h"

#include <cmath>
#include <cstring>

namespace {
// Coordinate differences up to this count as no travel when a rapid is split (mm).
constexpr double kSplitEpsilon_mm = 1e-7;

double Sign(double v) { return v < 0.0 ? -1.0 : 1.0; }
}  // namespace

// What a load writes per element is most of its time: keep the moves this small.
static_assert(sizeof(void*) != 8 || (sizeof(CPathLineElement) == 48 && sizeof(CPathArcElement) == 80),
              "move element sizes");

void CPathElement::CopyFromPathRecord(const PathRecord& rec) {
  m_nCode = rec.m_nCode;
  m_nDiscard = rec.m_nDiscard;
  m_nFlags = rec.m_nFlags;
  m_nLine = rec.m_nLine;
  CopyFlagBits(rec.m_nFlags);
}

void CPathTagElement::SetName(const char* name) {
  m_szName[0] = m_szName[1] = m_szName[2] = 0;
  if (!name) return;
  for (int i = 0; i < 2 && name[i]; i++) m_szName[i] = name[i];
}

bool CPathTagElement::IsNamed(const char* name) const { return std::strcmp(m_szName, name) == 0; }

void CPathTagElement::TakeTool(ToolRecord* tool) {
  if (tool == m_pTool) return;
  delete m_pTool;
  m_pTool = tool;
}

void CPathTagElement::CopyFromPathRecord(const PathRecord& rec) {
  CPathElement::CopyFromPathRecord(rec);
  // The stored name may lack its terminator; at most two characters count.
  char name[3] = {rec.m_szName[0], rec.m_szName[0] ? rec.m_szName[1] : '\0', 0};
  SetName(name);
  m_dValue = rec.m_dValue;
  TakeTool(nullptr);
  if (rec.GetTool() && IsNamed("T")) m_pTool = new ToolRecord(*rec.GetTool());
}

void CPathElement::CopyWordsFrom(const CPathElement& from) {
  m_nCode = from.m_nCode;
  m_nDiscard = from.m_nDiscard;
  m_nFlags = from.m_nFlags;
  m_nLine = from.m_nLine;
  CopyFlagBits(from.m_nFlags);
}

void CPathLineElement::CopyFrom(const CPathLineElement& from) {
  CopyWordsFrom(from);
  CopyElementMoveFields(*this, from);
}

void CPathLineElement::CopyFromPathRecord(const PathRecord& rec) {
  CPathElement::CopyFromPathRecord(rec);
  CopyElementMoveFields(*this, rec);
}

BOOL CPathLineElement::SplitRapid(CPathElementArray& list, const Vec3& start, const Vec3& end, ElementArena* arena) {
  double dx_mm = (m_byAxes & kAxisX) ? end.x - start.x : 0.0;
  double dy_mm = (m_byAxes & kAxisY) ? end.y - start.y : 0.0;
  double dz_mm = (m_byAxes & kAxisZ) ? end.z - start.z : 0.0;
  double ax_mm = std::fabs(dx_mm), ay_mm = std::fabs(dy_mm);
  bool movesXY = ax_mm > kSplitEpsilon_mm || ay_mm > kSplitEpsilon_mm;

  CPathLineElement* pieces[2] = {nullptr, nullptr};
  int count = 0;
  auto makePiece = [&](const Vec3& pieceEnd) {
    CPathLineElement* piece = NewElement<CPathLineElement>(arena);
    if (!piece) return false;
    piece->CopyFrom(*this);
    piece->m_byAxes = kAxesXY;
    piece->m_vEnd = pieceEnd;
    pieces[count++] = piece;
    return true;
  };
  bool ok = true;
  if (ax_mm > kSplitEpsilon_mm && ay_mm > kSplitEpsilon_mm && std::fabs(ax_mm - ay_mm) > kSplitEpsilon_mm) {
    double m_mm = ax_mm < ay_mm ? ax_mm : ay_mm;
    ok = makePiece(Vec3(start.x + Sign(dx_mm) * m_mm, start.y + Sign(dy_mm) * m_mm, start.z));
  }
  if (ok && movesXY && std::fabs(dz_mm) > kSplitEpsilon_mm) ok = makePiece(Vec3(end.x, end.y, start.z));
  if (!ok) {
    for (int i = 0; i < count; i++) DeleteElement(pieces[i]);
    return FALSE;
  }
  for (int i = 0; i < count; i++) list.Add(pieces[i]);
  return TRUE;
}

void CPathArcElement::CopyFrom(const CPathArcElement& from) {
  CopyWordsFrom(from);
  CopyElementMoveFields(*this, from);
  m_dRadius = from.m_dRadius;
  m_vCenter = from.m_vCenter;
}

// An arc takes the record's source, fitted and helical bits, not its whole flags word
// (and, in its program, starts without a path length mark: CNCProgram::AddPathRecord).
void CPathArcElement::CopyFromPathRecord(const PathRecord& rec) {
  m_nCode = rec.m_nCode;
  m_nDiscard = rec.m_nDiscard;
  m_nLine = rec.m_nLine;
  CopyFlagBits(rec.m_nFlags);
  CopyElementMoveFields(*this, rec);
  m_dRadius = rec.m_dRadius;
  m_vCenter = rec.GetCenter();
}
