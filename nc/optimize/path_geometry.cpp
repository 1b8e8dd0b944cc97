// Corner geometry of the merging and corner passes. The job engine keeps the same
// functions, so both programs see the same corners.
#include <cmath>

#include "foundation/settings.h"
#include "nc/optimize/path_optimizer.h"

namespace {
const double kPi = 3.141592653589793;
// cos(pi / 2) in doubles: the largest cosine whose arc cosine still reads pi / 2.
const double kCosRightAngle = 6.123233995736766e-17;

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }
}  // namespace

bool VertexCosine(const Vec3& a, const Vec3& b, const Vec3& c, double& cosine) {
  double ab = Length(a, b), bc = Length(b, c), ac = Length(a, c);
  if (ab < g_dDoubleZero || bc < g_dDoubleZero) return false;
  double u = ab * ab + bc * bc - ac * ac;
  double w = 2.0 * ab * bc;
  // |u| < |w| keeps the cosine inside (-1, 1) and w away from 0.
  if (std::fabs(w) > std::fabs(u))
    cosine = u / w;
  else
    cosine = u >= 0.0 ? 1.0 : -1.0;
  return true;
}

double VertexAngle(const Vec3& a, const Vec3& b, const Vec3& c) {
  double cosine;
  if (!VertexCosine(a, b, c, cosine)) return -1.0;
  return std::acos(cosine);
}

double PointSegmentDistance(const Vec3& a, const Vec3& b, const Vec3& c) {
  double ab = Length(a, b);
  double cosA, cosB;
  if (!VertexCosine(b, a, c, cosA)) return ab;
  // An obtuse or right angle at b: b lies over the chord, at |ab| sin A from it.
  if (VertexCosine(a, b, c, cosB) && cosB <= kCosRightAngle) return ab * std::sqrt(1.0 - cosA * cosA);
  double cb = Length(c, b);
  return ab < cb ? ab : cb;
}

int TurnDirection(int plane, const Vec3& a, const Vec3& b, const Vec3& c) {
  Vec3 ra = a - c, rb = b - c;
  double alpha = PlaneAngle(ra.x, ra.y, ra.z, plane);
  double beta = PlaneAngle(rb.x, rb.y, rb.z, plane);
  const double eps = g_dDoubleZero;
  double d = alpha - beta;
  if (d > eps) {
    if (d - kPi < eps) return 2;
    if (d - kPi > eps) return 3;
    return -1;
  }
  if (d < eps) {
    double e = beta - alpha;
    if (e - kPi < eps) return 3;
    if (e - kPi > eps) return 2;
  }
  return -1;
}

BOOL PointsDiffer(const Vec3& a, const Vec3& b) {
  return std::fabs(a.x - b.x) > 0.0001 || std::fabs(a.y - b.y) > 0.0001 || std::fabs(a.z - b.z) > 0.0001;
}
