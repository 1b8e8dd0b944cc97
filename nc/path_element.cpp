#include "nc/path_element.h"

#include <cmath>
#include <cstring>

namespace {
const double kSplitEpsilon = 1e-7;

double Sign(double v) { return v < 0.0 ? -1.0 : 1.0; }
}  // namespace

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

void CPathLineElement::CopyMoveFrom(const CPathLineElement& from, bool withMark) {
  m_nCode = from.m_nCode;
  m_nDiscard = from.m_nDiscard;
  m_nFlags = from.m_nFlags;
  m_nLine = from.m_nLine;
  CopyFlagBits(from.m_nFlags);
  m_byAxes = from.m_byAxes;
  m_nTagStart = from.m_nTagStart;
  m_dRadius = from.m_dRadius;
  m_dAngle = from.m_dAngle;
  m_dDeviation = from.m_dDeviation;
  if (withMark) m_dMark = from.m_dMark;
  m_vEnd = from.m_vEnd;
}

void CPathLineElement::CopyMoveFromRecord(const PathRecord& rec, bool withMark) {
  m_byAxes = rec.m_byAxes;
  m_nTagStart = rec.m_nTagStart;
  m_dRadius = rec.m_dRadius;
  m_dAngle = rec.m_dAngle;
  m_dDeviation = rec.m_dDeviation;
  if (withMark) m_dMark = rec.m_dMark;
  m_vEnd = rec.GetEnd();
}

void CPathLineElement::CopyFromPathRecord(const PathRecord& rec) {
  CPathElement::CopyFromPathRecord(rec);
  CopyMoveFromRecord(rec, true);
}

void CPathLineElement::SplitRapid(CPathElementArray& list, const Vec3& start, const Vec3& end) {
  double dx = (m_byAxes & kAxisX) ? end.x - start.x : 0.0;
  double dy = (m_byAxes & kAxisY) ? end.y - start.y : 0.0;
  double dz = (m_byAxes & kAxisZ) ? end.z - start.z : 0.0;
  double ax = std::fabs(dx), ay = std::fabs(dy);
  bool movesXY = ax > kSplitEpsilon || ay > kSplitEpsilon;

  auto appendPiece = [&](const Vec3& pieceEnd) {
    CPathLineElement* piece = new (std::nothrow) CPathLineElement;
    if (!piece) return;  // out of memory: the rapid travels unsplit
    piece->CopyFrom(*this);
    piece->m_byAxes = kAxesXY;
    piece->m_vEnd = pieceEnd;
    list.Add(piece);
  };
  if (ax > kSplitEpsilon && ay > kSplitEpsilon && std::fabs(ax - ay) > kSplitEpsilon) {
    double m = ax < ay ? ax : ay;
    appendPiece(Vec3(start.x + Sign(dx) * m, start.y + Sign(dy) * m, start.z));
  }
  if (movesXY && std::fabs(dz) > kSplitEpsilon) appendPiece(Vec3(end.x, end.y, start.z));
}

void CPathArcElement::CopyFrom(const CPathArcElement& from) {
  CopyMoveFrom(from, false);
  m_vCenter = from.m_vCenter;
}

// An arc takes the record's source, fitted and helical bits, not its whole flags word,
// and starts without a path length mark.
void CPathArcElement::CopyFromPathRecord(const PathRecord& rec) {
  m_nCode = rec.m_nCode;
  m_nDiscard = rec.m_nDiscard;
  m_nLine = rec.m_nLine;
  CopyFlagBits(rec.m_nFlags);
  CopyMoveFromRecord(rec, false);
  m_vCenter = rec.GetCenter();
}
