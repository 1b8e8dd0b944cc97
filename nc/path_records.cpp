// Elements <-> PathRecords, and the per-index edits of the optimiser.
#include <cmath>
#include <cstring>
#include <new>

#include "nc/nc_program.h"

namespace {

// A tag value as a tool number; values no tool can have give -1.
int ToolNumber(double value) {
  if (!(std::fabs(value) < kToolNumberLimit)) return -1;
  return (int)std::lround(value);
}

// Runs edit on the element when there is one (MoveAt, ArcAt); FALSE otherwise.
template <class Element, class Edit>
BOOL EditIf(Element* element, Edit edit) {
  if (!element) return FALSE;
  edit(*element);
  return TRUE;
}

bool IsToolTagName(const char* name) { return (name[0] == 'T' || name[0] == 't') && name[1] == '\0'; }

}  // namespace

// Every element's class follows its code (codes 0-1 lines, 2-3 arcs: the adders, the
// record and image readers and the optimiser's inserts all make them so), so the code
// alone tells the class. A run-time type check here cost more than an optimiser pass.
CPathLineElement* CNCProgram::MoveAt(int i) const {
  if (i < 0 || i >= m_aElements.GetSize() || !m_aElements[i]) return nullptr;
  if (!IsMoveCode(m_aElements[i]->m_nCode)) return nullptr;
  return static_cast<CPathLineElement*>(m_aElements[i]);
}

CPathArcElement* CNCProgram::ArcAt(int i) const {
  if (i < 0 || i >= m_aElements.GetSize() || !m_aElements[i]) return nullptr;
  if (!IsArcCode(m_aElements[i]->m_nCode)) return nullptr;
  return static_cast<CPathArcElement*>(m_aElements[i]);
}

MoveExtras* CNCProgram::ExtrasAt(int i) {
  if ((size_t)i >= m_aExtras.size()) {
    try {
      m_aExtras.resize((size_t)m_aElements.GetSize());
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return &m_aExtras[(size_t)i];
}

double* CNCProgram::RadiusAt(int i, bool make) {
  if (CPathArcElement* arc = ArcAt(i)) return &arc->m_dRadius;
  if (!MoveAt(i)) return nullptr;
  if (!make && (size_t)i >= m_aExtras.size()) return nullptr;
  MoveExtras* extras = ExtrasAt(i);
  return extras ? &extras->m_dRadius : nullptr;
}

BOOL CNCProgram::GetPathRecord(int index, PathRecord& rec, BOOL transform) const {
  if (index < 0 || index >= m_aElements.GetSize() || !m_aElements[index]) return FALSE;
  const CPathElement* e = m_aElements[index];
  rec.Reset();
  rec.m_nCode = e->m_nCode;
  rec.m_nDiscard = e->m_nDiscard;
  rec.m_nFlags = e->m_nFlags;
  rec.m_nLine = e->m_nLine;
  // The code tells the class (see MoveAt): the passes read every element this way, three
  // times per optimisation, so nothing is looked up twice.
  if (IsMoveCode(e->m_nCode)) {
    const CPathLineElement& move = static_cast<const CPathLineElement&>(*e);
    CopyElementMoveFields(rec, move);
    const MoveExtras extras = GetMoveExtras(index);
    CopyExtraMoveFields(rec, extras, true);
    rec.m_dRadius = extras.m_dRadius;
    if (transform) rec.m_vEnd = m_mOrientation.Apply(move.m_vEnd);
    if (IsArcCode(e->m_nCode)) {
      const CPathArcElement& arc = static_cast<const CPathArcElement&>(*e);
      rec.m_dRadius = arc.m_dRadius;
      rec.m_vCenter = transform ? m_mOrientation.Apply(arc.m_vCenter) : arc.m_vCenter;
    }
  } else if (e->m_nCode == kCodeTag) {
    const CPathTagElement* tag = static_cast<const CPathTagElement*>(e);
    std::memcpy(rec.m_szName, tag->m_szName, sizeof rec.m_szName);
    rec.m_dValue = tag->m_dValue;
    if (tag->m_pTool && tag->IsNamed("T")) rec.SetTool(tag->m_pTool);
  }
  return TRUE;
}

BOOL CNCProgram::GetNextMoveRecord(int& index, PathRecord& rec) const {
  if (index < 0) return FALSE;
  while (index < m_aElements.GetSize()) {
    int i = index++;
    if (m_aElements[i] && m_aElements[i]->IsSource()) return GetPathRecord(i, rec, FALSE);
  }
  return FALSE;
}

BOOL CNCProgram::AddPathRecord(const PathRecord* rec) {
  if (!rec) return FALSE;
  if (!MakeRoom(1)) return FALSE;
  WORD code = rec->m_nCode;
  Vec3 end = rec->GetEnd();
  UpdateExtents(code, rec->m_byAxes, m_read.m_vLastPoint);
  UpdateExtents(code, rec->m_byAxes, end);

  CPathElement* element;
  if (code > kCodeArcCCW && (code & kCodeTagBit)) {
    CPathTagElement* tag = NewElement<CPathTagElement>(&m_arena);
    if (!tag || !KeepArenaTag(tag)) return OutOfMemory(tag);
    tag->CopyFromPathRecord(*rec);
    element = tag;
  } else if (code > kCodeArcCCW) {
    element = NewElement<CPathElement>(&m_arena);
    if (!element) return OutOfMemory(nullptr);
    element->CopyFromPathRecord(*rec);
  } else if (code <= kCodeFeed) {
    CPathLineElement* line = NewElement<CPathLineElement>(&m_arena);
    if (!line) return OutOfMemory(nullptr);
    line->CopyFromPathRecord(*rec);
    element = line;
  } else {
    CPathArcElement* arc = NewElement<CPathArcElement>(&m_arena);
    if (!arc) return OutOfMemory(nullptr);
    arc->CopyFromPathRecord(*rec);
    element = arc;
  }
  if (IsMoveCode(code)) m_read.m_vLastPoint = end;
  m_aElements.Add(element);
  if (IsMoveCode(code)) {
    // An arc starts without a path length mark.
    MoveExtras extras;
    CopyExtraMoveFields(extras, *rec, code <= kCodeFeed);
    if (code <= kCodeFeed) extras.m_dRadius = rec->m_dRadius;  // an arc holds its own
    MoveExtras* to = extras.IsDefault() ? nullptr : ExtrasAt(m_aElements.GetSize() - 1);
    if (to)
      *to = extras;
    else if (!extras.IsDefault())
      return OutOfMemory(nullptr);
  }

  if (code == kCodeTag && IsToolTagName(static_cast<CPathTagElement*>(element)->m_szName)) {
    int tool = ToolNumber(rec->m_dValue);
    if (tool >= 0) AddUsedTool(tool);
  }
  if (rec->m_nTagStart != 0 && rec->m_nDiscard == 0 && code != kCodeRapid) m_nTagCount++;
  return TRUE;
}

BOOL CNCProgram::SetTagStart(int i, DWORD value) {
  return EditIf(MoveAt(i), [&](CPathLineElement& m) {
    m.m_nTagStart = value;
    if (value != 0) {
      if (CPathArcElement* arc = ArcAt(i)) arc->m_dRadius = DBL_MAX;
      if ((size_t)i < m_aExtras.size()) m_aExtras[(size_t)i].m_dRadius = m_aExtras[(size_t)i].m_dAngle = DBL_MAX;
    }
  });
}

BOOL CNCProgram::LimitRadius(int i, double radius) {
  if (!MoveAt(i)) return FALSE;
  // A straight move without extras has no corner radius yet (DBL_MAX).
  double* r = RadiusAt(i, radius < DBL_MAX);
  if (!r) return radius < DBL_MAX ? FALSE : TRUE;
  if (radius < *r) *r = radius;
  return TRUE;
}

BOOL CNCProgram::SetMark(int i, double length) {
  return EditIf(MoveAt(i) ? ExtrasAt(i) : nullptr, [&](MoveExtras& x) { x.m_dMark = length; });
}

BOOL CNCProgram::SetRadius(int i, double radius) {
  return EditIf(RadiusAt(i, true), [&](double& r) { r = radius; });
}

BOOL CNCProgram::SetEnd(int i, const Vec3& end) {
  return EditIf(MoveAt(i), [&](CPathLineElement& m) { m.m_vEnd = end; });
}

BOOL CNCProgram::SetCenter(int i, const Vec3& center) {
  return EditIf(ArcAt(i), [&](CPathArcElement& a) { a.m_vCenter = center; });
}

BOOL CNCProgram::ReverseArc(int i) {
  return EditIf(ArcAt(i), [](CPathArcElement& a) { a.m_nCode = a.m_nCode == kCodeArcCW ? kCodeArcCCW : kCodeArcCW; });
}

BOOL CNCProgram::SetMarkA(int i) {
  return EditIf(MoveAt(i), [](CPathLineElement& m) { m.m_nFlags |= kFlagMarkA; });
}

BOOL CNCProgram::SetMarkB(int i) {
  return EditIf(MoveAt(i), [](CPathLineElement& m) { m.m_nFlags |= kFlagMarkB; });
}

BOOL CNCProgram::SetAxes(int i, BYTE axes) {
  return EditIf(MoveAt(i), [&](CPathLineElement& m) { m.m_byAxes = axes; });
}

BOOL CNCProgram::SetFeedEnd(int i, const Vec3& end, double radius) {
  CPathLineElement* move = MoveAt(i);
  MoveExtras* extras = move && move->m_nCode == kCodeFeed ? ExtrasAt(i) : nullptr;
  if (!extras) return FALSE;
  move->m_vEnd = end;
  extras->m_dRadius = radius;
  return TRUE;
}

BOOL CNCProgram::SetAngle(int i, double angle_deg) {
  return EditIf(MoveAt(i) ? ExtrasAt(i) : nullptr, [&](MoveExtras& x) { x.m_dAngle = angle_deg; });
}

BOOL CNCProgram::SetDeviation(int i, double deviation) {
  return EditIf(MoveAt(i) ? ExtrasAt(i) : nullptr, [&](MoveExtras& x) { x.m_dDeviation = deviation; });
}

// A discarded move no longer moves its axes; the next move that stays must name them,
// so its mask takes the axes of every move merged away before it.
BOOL CNCProgram::SetDiscard(int i, DWORD value) {
  if (i < 0 || i >= m_aElements.GetSize() || !m_aElements[i]) return FALSE;
  m_aElements[i]->m_nDiscard = value;
  CPathLineElement* move = MoveAt(i);
  if (!move) return TRUE;
  BYTE running = move->m_byAxes;
  for (int k = i + 1; k < m_aElements.GetSize(); k++) {
    CPathLineElement* next = MoveAt(k);
    if (!next) continue;
    running |= next->m_byAxes & kAxesXYZ;
    if (next->m_nDiscard == 0) {
      if (next->m_byAxes != running) next->m_byAxes = running;
      break;
    }
  }
  return TRUE;
}
