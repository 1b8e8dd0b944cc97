// Path building: the four adders every format reader appends through, arc splitting,
// the two bounding boxes and the orientation of a program.
#include <cmath>

#include "foundation/texts.h"
#include "nc/nc_program.h"
#include "nc/read_context.h"
#include "resources/resource.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSamePoint_mm = 1e-12;       // in-plane coordinates closer than this coincide
constexpr double kRadiusMismatch_mm = 0.002;  // start and end radius of an arc may differ this much
constexpr double kMinRadius_mm = 1e-7;
constexpr int kMaxRapidPieces = 3;  // a rapid and the two pieces of its split

// Coordinates of a plane selector: first axis, second axis, normal axis (0 x, 1 y, 2 z).
struct PlaneAxes {
  int first, second, normal;
};

bool GetPlaneAxes(int plane, PlaneAxes& axes) {
  switch (plane) {
    case kPlaneXY: axes = {0, 1, 2}; return true;
    case kPlaneXZ: axes = {2, 0, 1}; return true;
    case kPlaneYZ: axes = {1, 2, 0}; return true;
    default: return false;
  }
}

double Coord(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
void SetCoord(Vec3& v, int axis, double value) { (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value; }

double PlaneDistance(const PlaneAxes& p, const Vec3& a, const Vec3& b) {
  double d1 = Coord(a, p.first) - Coord(b, p.first);
  double d2 = Coord(a, p.second) - Coord(b, p.second);
  return std::sqrt(d1 * d1 + d2 * d2);
}

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void GrowBox(Vec3& lo, Vec3& hi, const Vec3& p) {
  if (p.x < lo.x) lo.x = p.x;
  if (p.y < lo.y) lo.y = p.y;
  if (p.z < lo.z) lo.z = p.z;
  if (p.x > hi.x) hi.x = p.x;
  if (p.y > hi.y) hi.y = p.y;
  if (p.z > hi.z) hi.z = p.z;
}

double Min(double a, double b) { return a < b ? a : b; }
double Max(double a, double b) { return a > b ? a : b; }

double ZeroIfUnset(double v) { return (v == DBL_MAX || v == -DBL_MAX) ? 0.0 : v; }
void NormalizeCorner(Vec3& v) {
  v.x = ZeroIfUnset(v.x);
  v.y = ZeroIfUnset(v.y);
  v.z = ZeroIfUnset(v.z);
}

// Arc splitting.
//
// Bisecting an arc until each piece's chord height falls below the tolerance makes 2^k
// equal pieces, so the depth k follows from the sweep directly: the smallest k with
// r * (1 - cos(sweep / 2^(k+1))) = 2 r sin^2(sweep / 2^(k+2)) below the tolerance (a full
// circle is cut at least once). The piece ends are then made by rotating the start's
// radius vector one piece angle at a time, with no sine or cosine per piece; the normal
// coordinate (a helix) moves linearly, as repeated midpoints do.
struct ArcSplit {
  PlaneAxes axes;
  double radius_mm;
  double start_rad;  // angle of the start about the centre, [0, 2 pi)
  double sweep_rad;  // > 0, in the arc's direction
  int depth;         // 2^depth pieces; -1 beyond kMaxArcSplitDepth
};

// The chord height of a piece of `sweep_rad` / 2^depth falls below the tolerance.
bool PieceFits(double sweep_rad, double radius_mm, double tolerance_mm, int depth) {
  const double quarter_rad = sweep_rad / double(1 << depth) / 4;  // a quarter of the piece angle
  const double sine = std::sin(quarter_rad);
  return 2 * radius_mm * sine * sine < tolerance_mm;
}

// The smallest depth from `least` on whose pieces fit; -1 beyond kMaxArcSplitDepth.
// Fitting only gets easier with depth, so instead of trying every depth from `least` up
// (a sine each, slow in the Windows C library) the search starts where the pieces'
// heights without the sine, 2 r q^2, fit: since sin q <= q those pieces fit too, and
// usually the depth below does not, so two sines decide.
int ArcSplitDepth(double sweep_rad, double radius_mm, double tolerance_mm, int least) {
  int depth = least;
  for (; depth < kMaxArcSplitDepth; ++depth) {
    const double quarter_rad = sweep_rad / double(1 << depth) / 4;
    if (2 * radius_mm * quarter_rad * quarter_rad < tolerance_mm) break;
  }
  while (depth > least && PieceFits(sweep_rad, radius_mm, tolerance_mm, depth - 1)) --depth;
  for (; depth <= kMaxArcSplitDepth; ++depth)
    if (PieceFits(sweep_rad, radius_mm, tolerance_mm, depth)) return depth;
  return -1;
}

// The split of an arc; false when it stays one piece. `radius_mm` is the arc's radius,
// DBL_MAX when unset: then it becomes the end radius.
bool PlanArcSplit(WORD code, BYTE plane, const Vec3& start, const Vec3& end, const Vec3& center, double tolerance_mm,
                  double& radius_mm, ArcSplit& split) {
  if (!GetPlaneAxes(plane, split.axes)) return false;
  if (radius_mm == DBL_MAX) {
    double r1_mm = PlaneDistance(split.axes, start, center);
    double r2_mm = PlaneDistance(split.axes, end, center);
    radius_mm = r2_mm;
    if (std::fabs(r1_mm - r2_mm) > kRadiusMismatch_mm || std::fabs(r1_mm) < kMinRadius_mm ||
        std::fabs(r2_mm) < kMinRadius_mm)
      return false;
  }
  if (!IsFinite(start) || !IsFinite(end) || !IsFinite(center) || !std::isfinite(radius_mm) || !(tolerance_mm > 0.0))
    return false;
  split.radius_mm = radius_mm;
  const Vec3 rs = start - center, re = end - center;
  const double a_rad = PlaneAngle(rs.x, rs.y, rs.z, plane), b_rad = PlaneAngle(re.x, re.y, re.z, plane);
  const bool closed = IsSamePointInPlane(plane, start, end);
  if (closed)
    split.sweep_rad = 2 * kPi;
  else if (code == kCodeArcCW)
    split.sweep_rad = b_rad < a_rad ? a_rad - b_rad : a_rad - b_rad + 2 * kPi;
  else
    split.sweep_rad = b_rad > a_rad ? b_rad - a_rad : b_rad - a_rad + 2 * kPi;
  split.start_rad = a_rad;
  split.depth = ArcSplitDepth(split.sweep_rad, radius_mm, tolerance_mm, closed ? 1 : 0);
  return true;
}

}  // namespace

bool IsSamePointInPlane(int plane, const Vec3& a, const Vec3& b) {
  bool x = std::fabs(a.x - b.x) < kSamePoint_mm;
  bool y = std::fabs(a.y - b.y) < kSamePoint_mm;
  bool z = std::fabs(a.z - b.z) < kSamePoint_mm;
  switch (plane) {
    case kPlaneXY: return x && y;
    case kPlaneXZ: return x && z;
    case kPlaneYZ: return y && z;
    default: return x && y && z;
  }
}

int CountArcPieces(WORD code, BYTE plane, const Vec3& start, const Vec3& end, const Vec3& center, double tolerance) {
  double radius_mm = DBL_MAX;
  ArcSplit split;
  if (!PlanArcSplit(code, plane, start, end, center, tolerance, radius_mm, split)) return 1;
  return split.depth < 0 ? -1 : 1 << split.depth;
}

namespace {

// Appends the pieces of a planned split (all but the last, which the arc itself ends).
BOOL AppendArcPieces(const CPathArcElement& arc, const ArcSplit& split, CPathElementArray& list, const Vec3& start,
                     const Vec3& end, const Vec3& center, ElementArena* arena) {
  const int pieces = 1 << split.depth;
  const bool cw = arc.m_nCode == kCodeArcCW;
  const double step_rad = (cw ? -split.sweep_rad : split.sweep_rad) / pieces;
  const double cs = std::cos(step_rad), sn = std::sin(step_rad);
  double u_mm = split.radius_mm * std::cos(split.start_rad), v_mm = split.radius_mm * std::sin(split.start_rad);
  const PlaneAxes& axes = split.axes;
  const double c1_mm = Coord(center, axes.first), c2_mm = Coord(center, axes.second);
  const double n0_mm = Coord(start, axes.normal), dn_mm = Coord(end, axes.normal) - n0_mm;
  const int first = list.GetSize();
  for (int j = 1; j < pieces; ++j) {
    double nu_mm = u_mm * cs - v_mm * sn;
    v_mm = u_mm * sn + v_mm * cs;
    u_mm = nu_mm;
    CPathArcElement* piece = NewElement<CPathArcElement>(arena);
    if (!piece) {
      for (int k = first; k < list.GetSize(); ++k) DeleteElement(list[k]);
      list.SetSize(first);
      return FALSE;
    }
    piece->CopyFrom(arc);
    piece->m_nTagStart = 0;
    piece->m_nDiscard = 0;
    SetCoord(piece->m_vEnd, axes.first, c1_mm + u_mm);
    SetCoord(piece->m_vEnd, axes.second, c2_mm + v_mm);
    SetCoord(piece->m_vEnd, axes.normal, n0_mm + dn_mm * j / pieces);
    list.Add(piece);
  }
  return TRUE;
}

}  // namespace

BOOL SplitArc(CPathArcElement& arc, BYTE plane, CPathElementArray& list, const Vec3& start, const Vec3& end,
              const Vec3& center, double tolerance) {
  ArcSplit split;
  if (!PlanArcSplit(arc.m_nCode, plane, start, end, center, tolerance, arc.m_dRadius, split)) return TRUE;
  if (split.depth < 0) return FALSE;
  return AppendArcPieces(arc, split, list, start, end, center, nullptr);
}

BOOL CNCProgram::OutOfMemory(CPathElement* element) {
  return FailAppend(element, LoadLangString(IDS_NC_OUT_OF_MEMORY_CN, IDS_NC_OUT_OF_MEMORY_EN));
}

BOOL CNCProgram::AddCode(WORD code) {
  if (IsMoveCode(code)) return FALSE;
  if (!MakeRoom(1)) return FALSE;
  CPathElement* element = NewElement<CPathElement>(&m_arena, code);
  if (!element) return OutOfMemory(nullptr);
  element->m_nLine = (DWORD)m_read.m_nLine;
  element->SetSource(true);
  m_aElements.Add(element);
  return TRUE;
}

BOOL CNCProgram::AddTag(const char* name, double value, ToolRecord* tool) {
  if (!name || !*name) {
    delete tool;
    return FALSE;
  }
  CPathTagElement* tag = MakeRoom(1) ? NewElement<CPathTagElement>(&m_arena) : nullptr;
  if (!tag || !KeepArenaTag(tag)) {
    delete tool;
    return OutOfMemory(tag);
  }
  tag->SetName(name);
  tag->m_dValue = value;
  tag->TakeTool(tool);
  tag->m_nLine = (DWORD)m_read.m_nLine;
  tag->SetSource(true);
  m_aElements.Add(tag);
  return TRUE;
}

BOOL CNCProgram::AddLine(WORD code, BYTE axes, const Vec3& end) {
  if (code != kCodeRapid && code != kCodeFeed) return FALSE;
  if (!MakeRoom(code == kCodeRapid ? kMaxRapidPieces : 1)) return FALSE;
  CPathLineElement* line = NewElement<CPathLineElement>(&m_arena, code);
  if (!line) return OutOfMemory(nullptr);
  line->m_nLine = (DWORD)m_read.m_nLine;
  line->m_byAxes = axes;
  line->m_vEnd = end;
  line->m_nTagStart = 0;
  if (code == kCodeRapid && !line->SplitRapid(m_aElements, m_read.m_vLastPoint, end, &m_arena))
    return OutOfMemory(line);
  if (m_nFirstMoveCode < 0) m_nFirstMoveCode = code;
  UpdateExtents(code, axes, m_read.m_vLastPoint);
  UpdateExtents(code, axes, end);
  line->SetSource(true);
  m_aElements.Add(line);
  return TRUE;
}

BOOL CNCProgram::AddArc(WORD code, BYTE plane, BYTE axes, const Vec3& end, const Vec3& center) {
  if (!IsArcCode(code)) return FALSE;
  const Vec3 start = m_read.m_vLastPoint;
  double radius_mm = DBL_MAX;
  ArcSplit split;
  const bool splittable = PlanArcSplit(code, plane, start, end, center, m_dArcTolerance, radius_mm, split);
  if (splittable && split.depth < 0)
    return FailAppend(nullptr, LoadLangString(IDS_NC_ARC_TOO_LARGE_CN, IDS_NC_ARC_TOO_LARGE_EN));
  if (!MakeRoom(splittable ? 1 << split.depth : 1)) return FALSE;
  CPathArcElement* arc = NewElement<CPathArcElement>(&m_arena, code);
  if (!arc) return OutOfMemory(nullptr);
  PlaneAxes p;
  bool helical = GetPlaneAxes(plane, p) && std::fabs(Coord(end, p.normal) - Coord(start, p.normal)) > kSamePoint_mm;
  arc->m_nLine = (DWORD)m_read.m_nLine;
  arc->m_byAxes = axes;
  arc->m_vEnd = end;
  arc->m_vCenter = center;
  arc->m_nTagStart = 0;
  arc->m_dRadius = radius_mm;
  if (helical) {
    arc->SetHelical(true);
    arc->m_byAxes |= kAxesXYZ;
  }
  const int first = m_aElements.GetSize();
  if (splittable && split.depth > 0 && !AppendArcPieces(*arc, split, m_aElements, start, end, center, &m_arena))
    return OutOfMemory(arc);
  if (m_nFirstMoveCode < 0) m_nFirstMoveCode = code;
  UpdateExtents(code, axes, start);
  for (int i = first; i < m_aElements.GetSize(); ++i)
    UpdateExtents(code, axes, static_cast<CPathArcElement*>(m_aElements[i])->m_vEnd);
  UpdateExtents(code, axes, end);
  arc->SetSource(true);
  m_aElements.Add(arc);
  return TRUE;
}

void CNCProgram::ResetExtents() {
  m_box.m_vTravMin = m_box.m_vCutMin = Vec3(DBL_MAX, DBL_MAX, DBL_MAX);
  m_box.m_vTravMax = m_box.m_vCutMax = Vec3(-DBL_MAX, -DBL_MAX, -DBL_MAX);
}

void CNCProgram::UpdateExtents(WORD code, BYTE axes, const Vec3& point) {
  if (code == kCodeRapid)
    GrowBox(m_box.m_vTravMin, m_box.m_vTravMax, point);
  else if (IsMoveCode(code))
    GrowBox(m_box.m_vCutMin, m_box.m_vCutMax, point);
}

void CNCProgram::NormalizeExtents() {
  NormalizeCorner(m_box.m_vTravMin);
  NormalizeCorner(m_box.m_vTravMax);
  NormalizeCorner(m_box.m_vCutMin);
  NormalizeCorner(m_box.m_vCutMax);
}

namespace {
// The four corners of the two boxes, transformed when asked.
struct Corners {
  Vec3 cut[2], trav[2];
};
Corners GetCorners(const CNCProgram& p, BOOL transform) {
  const PathExtents& box = p.GetExtents();
  Corners c{{box.m_vCutMin, box.m_vCutMax}, {box.m_vTravMin, box.m_vTravMax}};
  if (transform) {
    const TransformMatrix& m = p.GetOrientationMatrix();
    for (Vec3& v : c.cut) v = m.Apply(v);
    for (Vec3& v : c.trav) v = m.Apply(v);
  }
  return c;
}
double MinZ(const Corners& c) { return Min(Min(c.cut[0].z, c.cut[1].z), Min(c.trav[0].z, c.trav[1].z)); }
double MaxZ(const Corners& c) { return Max(Max(c.cut[0].z, c.cut[1].z), Max(c.trav[0].z, c.trav[1].z)); }
}  // namespace

void CNCProgram::GetCutMin(Vec3& out, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  out = Vec3(Min(c.cut[0].x, c.cut[1].x), Min(c.cut[0].y, c.cut[1].y), Min(c.cut[0].z, c.cut[1].z));
}

void CNCProgram::GetCutMax(Vec3& out, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  out = Vec3(Max(c.cut[0].x, c.cut[1].x), Max(c.cut[0].y, c.cut[1].y), Max(c.cut[0].z, c.cut[1].z));
}

void CNCProgram::GetExtentMin(Vec3& out, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  out = Vec3(Min(c.cut[0].x, c.cut[1].x), Min(c.cut[0].y, c.cut[1].y), MinZ(c));
}

void CNCProgram::GetExtentMax(Vec3& out, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  out = Vec3(Max(c.cut[0].x, c.cut[1].x), Max(c.cut[0].y, c.cut[1].y), MaxZ(c));
}

void CNCProgram::GetExtentSize(Vec3& out, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  out = Vec3(std::fabs(c.cut[1].x - c.cut[0].x), std::fabs(c.cut[1].y - c.cut[0].y), std::fabs(MaxZ(c) - MinZ(c)));
}

BOOL CNCProgram::GetTraverseZRange(double& zMin, double& zMax, BOOL transform) const {
  Corners c = GetCorners(*this, transform);
  zMin = Min(c.trav[0].z, c.trav[1].z);
  zMax = Max(c.trav[0].z, c.trav[1].z);
  return TRUE;
}

void CNCProgram::SetExtentsFromJob(const Vec3& feedMin, const Vec3& feedMax, double traverseZMin, double traverseZMax) {
  m_box.m_vCutMin = feedMin;
  m_box.m_vCutMax = feedMax;
  m_box.m_vTravMin.z = traverseZMin;
  m_box.m_vTravMax.z = traverseZMax;
}

void CNCProgram::SetOrientation(int flipX, int flipY, int flipZ, int type, int reserved) {
  // X row, Y row and translation (in units of the cutting box maximum T) per type:
  // x' = x * row0 + y * row1 + origin.
  struct Orientation {
    double xRow[2], yRow[2];
    int originX, originY;  // 0 none, 1 T.x, 2 T.y
  };
  static constexpr Orientation kTypes[] = {
      {{1, 0}, {0, 1}, 0, 0},    // 1
      {{-1, 0}, {0, 1}, 1, 0},   // 2
      {{0, -1}, {-1, 0}, 2, 1},  // 3
      {{0, -1}, {1, 0}, 0, 1},   // 4
      {{1, 0}, {0, -1}, 0, 2},   // 5
      {{-1, 0}, {0, -1}, 1, 2},  // 6
      {{0, 1}, {-1, 0}, 2, 0},   // 7
      {{0, 1}, {1, 0}, 0, 0},    // 8
  };
  constexpr int kTypeCount = sizeof kTypes / sizeof kTypes[0];
  m_nOrientation = type;
  m_mOrientation.SetIdentity();
  if (flipZ) m_mOrientation.SetZAxis(0, 0, -1);
  if (type < 1 || type > kTypeCount) return;
  const Orientation& o = kTypes[type - 1];
  const Vec3& t = m_box.m_vCutMax;
  auto origin = [&](int which) { return which == 1 ? t.x : which == 2 ? t.y : 0.0; };
  m_mOrientation.SetXAxis(o.xRow[0], o.xRow[1], 0);
  m_mOrientation.SetYAxis(o.yRow[0], o.yRow[1], 0);
  m_mOrientation.SetOrigin(origin(o.originX), origin(o.originY), 0);
}
