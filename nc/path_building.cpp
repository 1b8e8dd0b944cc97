// Path building: the four adders every format reader appends through, arc splitting,
// the two bounding boxes and the orientation of a program.
#include <cmath>

#include "nc/nc_program.h"

namespace {

const double kPi = 3.141592653589793;
const double kSamePoint = 1e-12;       // in-plane coordinates closer than this coincide
const double kRadiusMismatch = 0.002;  // start and end radius of an arc may differ this much
const double kMinRadius = 1e-7;
// Depth limit: 4096 pieces keep the chord height for arcs up to several metres of radius;
// beyond that (only nonsense input gets there) pieces stay coarser rather than filling
// memory.
const int kMaxSplitDepth = 12;

// Coordinates of a plane selector: first axis, second axis, normal axis (0 x, 1 y, 2 z).
struct PlaneAxes {
  int first, second, normal;
};

bool GetPlaneAxes(int plane, PlaneAxes& axes) {
  switch (plane) {
    case 0: axes = {0, 1, 2}; return true;
    case 4: axes = {2, 0, 1}; return true;
    case 8: axes = {1, 2, 0}; return true;
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

// Splits an arc into 2^k equal pieces, k the smallest depth at which bisecting the
// angle gives pieces whose chord height r * (1 - cos(angle / 2)) falls below the
// tolerance; a full circle is cut at least once. Bisection makes equal pieces, so the
// depth is found from the sweep directly and the piece ends are made by rotating the
// start's radius vector one piece angle at a time: no sine or cosine per piece. The
// normal coordinate (a helix) moves linearly, as repeated midpoints do.
struct ArcSplitter {
  CNCProgram& program;
  CPathArcElement* arc;
  int plane;
  PlaneAxes axes;
  CPathElementArray& list;
  Vec3 center;
  double tolerance;

  // a and b: the angles of start and end about the centre, in [0, 2 pi).
  void Split(const Vec3& start, const Vec3& end, double a, double b) {
    const double radius = arc->m_dRadius;
    const bool cw = arc->m_nCode == kCodeArcCW;
    const bool closed = IsSamePointInPlane(plane, start, end);
    double sweep;
    if (closed)
      sweep = 2 * kPi;
    else if (cw)
      sweep = b < a ? a - b : a - b + 2 * kPi;
    else
      sweep = b > a ? b - a : b - a + 2 * kPi;

    int depth = closed ? 1 : 0;
    for (; depth < kMaxSplitDepth; ++depth) {
      double half = sweep / double(1 << depth) / 4;  // a quarter of the piece angle
      double height = 2 * radius * std::sin(half) * std::sin(half);
      if (height < tolerance) break;
    }
    const int pieces = 1 << depth;
    if (pieces == 1) return;  // the element itself ends the arc

    const double step = (cw ? -sweep : sweep) / pieces;
    const double cs = std::cos(step), sn = std::sin(step);
    double u = radius * std::cos(a), v = radius * std::sin(a);
    const double c1 = Coord(center, axes.first), c2 = Coord(center, axes.second);
    const double n0 = Coord(start, axes.normal), dn = Coord(end, axes.normal) - n0;
    program.UpdateExtents(arc->m_nCode, arc->m_byAxes, program.m_vLastPoint);
    for (int j = 1; j < pieces; ++j) {
      double nu = u * cs - v * sn;
      v = u * sn + v * cs;
      u = nu;
      Vec3 p;
      SetCoord(p, axes.first, c1 + u);
      SetCoord(p, axes.second, c2 + v);
      SetCoord(p, axes.normal, n0 + dn * j / pieces);
      CPathArcElement* piece = new (std::nothrow) CPathArcElement;
      if (!piece) return;  // out of memory: the arc comes out coarser
      piece->CopyFrom(*arc);
      piece->m_nTagStart = 0;
      piece->m_dRadius = radius;
      piece->m_nDiscard = 0;
      piece->m_vEnd = p;
      list.Add(piece);
      program.UpdateExtents(arc->m_nCode, arc->m_byAxes, p);
    }
  }
};

}  // namespace

bool IsSamePointInPlane(int plane, const Vec3& a, const Vec3& b) {
  bool x = std::fabs(a.x - b.x) < kSamePoint;
  bool y = std::fabs(a.y - b.y) < kSamePoint;
  bool z = std::fabs(a.z - b.z) < kSamePoint;
  switch (plane) {
    case 0: return x && y;
    case 4: return x && z;
    case 8: return y && z;
    default: return x && y && z;
  }
}

BOOL CNCProgram::AddCode(WORD code) {
  if (IsMoveCode(code)) return FALSE;
  CPathElement* element = new (std::nothrow) CPathElement(code);
  if (!element) return FALSE;
  element->m_nLine = (DWORD)m_nLine;
  element->SetSource(true);
  AppendElement(element);
  return TRUE;
}

BOOL CNCProgram::AddTag(const char* name, double value, ToolRecord* tool) {
  if (!name || !*name) {
    delete tool;
    return FALSE;
  }
  CPathTagElement* tag = new (std::nothrow) CPathTagElement;
  if (!tag) {
    delete tool;
    return FALSE;
  }
  tag->SetName(name);
  tag->m_dValue = value;
  tag->TakeTool(tool);
  tag->m_nLine = (DWORD)m_nLine;
  tag->SetSource(true);
  AppendElement(tag);
  return TRUE;
}

BOOL CNCProgram::AddLine(WORD code, BYTE axes, const Vec3& end) {
  if (code != kCodeRapid && code != kCodeFeed) return FALSE;
  CPathLineElement* line = new (std::nothrow) CPathLineElement(code);
  if (!line) return FALSE;
  if (m_nFirstMoveCode < 0) m_nFirstMoveCode = code;
  line->m_nLine = (DWORD)m_nLine;
  line->m_byAxes = axes;
  line->m_vEnd = end;
  line->m_nTagStart = 0;
  UpdateExtents(code, axes, m_vLastPoint);
  UpdateExtents(code, axes, end);
  if (code == kCodeRapid) line->SplitRapid(m_aElements, m_vLastPoint, end);
  line->SetSource(true);
  AppendElement(line);
  return TRUE;
}

BOOL CNCProgram::AddArc(WORD code, BYTE plane, BYTE axes, const Vec3& end, const Vec3& center) {
  if (!IsArcCode(code)) return FALSE;
  CPathArcElement* arc = new (std::nothrow) CPathArcElement(code);
  if (!arc) return FALSE;
  if (m_nFirstMoveCode < 0) m_nFirstMoveCode = code;
  PlaneAxes p;
  bool helical = GetPlaneAxes(plane, p) && std::fabs(Coord(end, p.normal) - Coord(m_vLastPoint, p.normal)) > kSamePoint;
  arc->m_nLine = (DWORD)m_nLine;
  arc->m_byAxes = axes;
  arc->m_vEnd = end;
  arc->m_vCenter = center;
  arc->m_nTagStart = 0;
  if (helical) {
    arc->SetHelical(true);
    arc->m_byAxes |= kAxesXYZ;
  }
  SplitArc(arc, plane, m_aElements, m_vLastPoint, end, center, m_dArcTolerance);
  arc->SetSource(true);
  UpdateExtents(code, axes, m_vLastPoint);
  UpdateExtents(code, axes, end);
  AppendElement(arc);
  return TRUE;
}

// The pieces are found by bisecting the angle until a piece's chord height falls below
// the tolerance, so an arc becomes 2^k equal pieces, appended in order while the arc is
// added. The radius is the end radius; an arc whose start and end radii disagree, or
// whose radius is nil, stays whole. So does one with non-finite coordinates.
void CNCProgram::SplitArc(CPathArcElement* arc, BYTE plane, CPathElementArray& list, const Vec3& start, const Vec3& end,
                          const Vec3& center, double tolerance) {
  PlaneAxes axes;
  if (!GetPlaneAxes(plane, axes)) return;
  if (arc->m_dRadius == DBL_MAX) {
    double r1 = PlaneDistance(axes, start, center);
    double r2 = PlaneDistance(axes, end, center);
    arc->m_dRadius = r2;
    if (std::fabs(r1 - r2) > kRadiusMismatch || std::fabs(r1) < kMinRadius || std::fabs(r2) < kMinRadius) return;
  }
  if (!IsFinite(start) || !IsFinite(end) || !IsFinite(center) || !std::isfinite(arc->m_dRadius) || !(tolerance > 0.0))
    return;
  ArcSplitter splitter{*this, arc, plane, axes, list, center, tolerance};
  Vec3 rs = start - center, re = end - center;
  splitter.Split(start, end, PlaneAngle(rs.x, rs.y, rs.z, plane), PlaneAngle(re.x, re.y, re.z, plane));
}

void CNCProgram::ResetExtents() {
  m_vTravMin = m_vCutMin = Vec3(DBL_MAX, DBL_MAX, DBL_MAX);
  m_vTravMax = m_vCutMax = Vec3(-DBL_MAX, -DBL_MAX, -DBL_MAX);
}

void CNCProgram::UpdateExtents(WORD code, BYTE axes, const Vec3& point) {
  if (code == kCodeRapid)
    GrowBox(m_vTravMin, m_vTravMax, point);
  else if (IsMoveCode(code))
    GrowBox(m_vCutMin, m_vCutMax, point);
}

void CNCProgram::NormalizeExtents() {
  NormalizeCorner(m_vTravMin);
  NormalizeCorner(m_vTravMax);
  NormalizeCorner(m_vCutMin);
  NormalizeCorner(m_vCutMax);
}

namespace {
// The four corners of the two boxes, transformed when asked.
struct Corners {
  Vec3 cut[2], trav[2];
};
Corners GetCorners(const CNCProgram& p, BOOL transform) {
  Corners c{{p.m_vCutMin, p.m_vCutMax}, {p.m_vTravMin, p.m_vTravMax}};
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
  m_vCutMin = feedMin;
  m_vCutMax = feedMax;
  m_vTravMin.z = traverseZMin;
  m_vTravMax.z = traverseZMax;
}

void CNCProgram::SetOrientation(int flipX, int flipY, int flipZ, int type, int reserved) {
  // X row, Y row and translation (in units of the cutting box maximum T) per type:
  // x' = x * row0 + y * row1 + origin.
  struct Orientation {
    double xRow[2], yRow[2];
    int originX, originY;  // 0 none, 1 T.x, 2 T.y
  };
  static const Orientation kTypes[] = {
      {{1, 0}, {0, 1}, 0, 0},    // 1
      {{-1, 0}, {0, 1}, 1, 0},   // 2
      {{0, -1}, {-1, 0}, 2, 1},  // 3
      {{0, -1}, {1, 0}, 0, 1},   // 4
      {{1, 0}, {0, -1}, 0, 2},   // 5
      {{-1, 0}, {0, -1}, 1, 2},  // 6
      {{0, 1}, {-1, 0}, 2, 0},   // 7
      {{0, 1}, {1, 0}, 0, 0},    // 8
  };
  m_nOrientation = type;
  m_mOrientation.SetIdentity();
  if (flipZ) m_mOrientation.SetZAxis(0, 0, -1);
  if (type < 1 || type > 8) return;
  const Orientation& o = kTypes[type - 1];
  const Vec3& t = m_vCutMax;
  auto origin = [&](int which) { return which == 1 ? t.x : which == 2 ? t.y : 0.0; };
  m_mOrientation.SetXAxis(o.xRow[0], o.xRow[1], 0);
  m_mOrientation.SetYAxis(o.yRow[0], o.yRow[1], 0);
  m_mOrientation.SetOrigin(origin(o.originX), origin(o.originY), 0);
}
