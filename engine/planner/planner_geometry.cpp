#include "engine/planner/planner_geometry.h"

#include <cmath>

#include "engine/planner/command_codes.h"
#include "engine/planner/plan_segment.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kTwoPi = 2.0 * kPi;
const double kSharedCoordinate = 1e-6;  // three points lie in a principal plane within this

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }

}  // namespace

double VertexAngle(const Vec3& a, const Vec3& m, const Vec3& e, double tolerance) {
  double ma = Length(m, a), me = Length(m, e);
  if (ma < tolerance || me < tolerance) return -1.0;
  double ae = Length(a, e);
  double c = (ma * ma + me * me - ae * ae) / (2.0 * ma * me);
  if (c > 1.0) c = 1.0;
  if (c < -1.0) c = -1.0;
  return std::acos(c);
}

double PointSegmentDistance(const Vec3& a, const Vec3& b, const Vec3& c, double tolerance) {
  double ab = Length(a, b);
  if (VertexAngle(a, b, c, tolerance) >= kPi / 2) {
    double atA = VertexAngle(b, a, c, tolerance);
    return atA < 0 ? ab : ab * std::sin(atA);
  }
  double cb = Length(c, b);
  return ab < cb ? ab : cb;
}

int TurnDirection(int plane, const Vec3& p1, const Vec3& p2, const Vec3& center, double tolerance) {
  Vec3 d1 = p1 - center, d2 = p2 - center;
  double e = PlaneAngle(d1.x, d1.y, d1.z, plane) - PlaneAngle(d2.x, d2.y, d2.z, plane);
  if (std::fabs(e) <= tolerance || std::fabs(std::fabs(e) - kPi) <= tolerance) return -1;
  if (e > 0) return e < kPi ? kGArcCW : kGArcCCW;
  return -e < kPi ? kGArcCCW : kGArcCW;
}

double ArcAngle(int gType, int plane, const Vec3& start, const Vec3& end, const Vec3& center) {
  Vec3 d1 = start - center, d2 = end - center;
  double a1 = PlaneAngle(d1.x, d1.y, d1.z, plane);
  double a2 = PlaneAngle(d2.x, d2.y, d2.z, plane);
  if (gType == kGArcCW) return a2 < a1 ? a1 - a2 : kTwoPi - (a2 - a1);
  return a2 > a1 ? a2 - a1 : kTwoPi - (a1 - a2);
}

double Distance2D(const Point2D& a, const Point2D& b) { return std::hypot(a.x - b.x, a.y - b.y); }

bool CircleCentre2D(const Point2D& p, const Point2D& q, const Point2D& r, Point2D& center) {
  if (Distance2D(p, q) < kSharedCoordinate || Distance2D(r, q) < kSharedCoordinate) return false;
  double a = (p.x - q.x) * (p.y - r.y) - (p.x - r.x) * (p.y - q.y);
  if (std::fabs(a) < kSharedCoordinate) return false;
  double sp = p.x * p.x + p.y * p.y;
  double dq = sp - q.x * q.x - q.y * q.y;
  double dr = sp - r.x * r.x - r.y * r.y;
  center.x = (dq * (p.y - r.y) - dr * (p.y - q.y)) / a / 2.0;
  center.y = ((p.x - q.x) * dr - (p.x - r.x) * dq) / a / 2.0;
  return true;
}

bool ArcCentreFromPoints(const Vec3& a, const Vec3& m, const Vec3& e, Vec3& center, int& plane) {
  auto shared = [](double u, double v, double w) {
    return std::fabs(u - v) < kSharedCoordinate && std::fabs(w - v) < kSharedCoordinate;
  };
  Point2D c;
  if (shared(a.z, m.z, e.z)) {
    if (!CircleCentre2D({a.x, a.y}, {m.x, m.y}, {e.x, e.y}, c)) return false;
    center = Vec3(c.x, c.y, m.z);
    plane = kPlaneXY;
  } else if (shared(a.x, m.x, e.x)) {
    if (!CircleCentre2D({a.y, a.z}, {m.y, m.z}, {e.y, e.z}, c)) return false;
    center = Vec3(m.x, c.x, c.y);
    plane = kPlaneYZ;
  } else if (shared(a.y, m.y, e.y)) {
    if (!CircleCentre2D({a.z, a.x}, {m.z, m.x}, {e.z, e.x}, c)) return false;
    center = Vec3(c.y, m.y, c.x);
    plane = kPlaneXZ;
  } else {
    return false;
  }
  return true;
}
