// Corner geometry of the merging and corner passes. The job engine keeps the same
// functions, so both programs see the same corners.
#include <cmath>

#include "foundation/settings.h"
#include "nc/optimize/path_optimizer.h"

namespace {
constexpr double kPi = 3.141592653589793;
// cos(pi / 2) in doubles: the largest cosine whose arc cosine still reads pi / 2.
constexpr double kCosRightAngle = 6.123233995736766e-17;

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }
}  // namespace

bool VertexCosine(const Vec3& a, const Vec3& b, const Vec3& c, double& cosine) {
  double ab_mm = Length(a, b), bc_mm = Length(b, c), ac_mm = Length(a, c);
  if (ab_mm < g_dDoubleZero || bc_mm < g_dDoubleZero) return false;
  double u = ab_mm * ab_mm + bc_mm * bc_mm - ac_mm * ac_mm;
  double w = 2.0 * ab_mm * bc_mm;
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
  double ab_mm = Length(a, b);
  double cosA, cosB;
  if (!VertexCosine(b, a, c, cosA)) return ab_mm;
  // An obtuse or right angle at b: b lies over the chord, at |ab| sin A from it.
  if (VertexCosine(a, b, c, cosB) && cosB <= kCosRightAngle) return ab_mm * std::sqrt(1.0 - cosA * cosA);
  double cb_mm = Length(c, b);
  return ab_mm < cb_mm ? ab_mm : cb_mm;
}

int TurnDirection(int plane, const Vec3& a, const Vec3& b, const Vec3& c) {
  Vec3 ra = a - c, rb = b - c;
  double alpha_rad = PlaneAngle(ra.x, ra.y, ra.z, plane);
  double beta_rad = PlaneAngle(rb.x, rb.y, rb.z, plane);
  const double eps = g_dDoubleZero;
  double d_rad = alpha_rad - beta_rad;
  if (d_rad > eps) {
    if (d_rad - kPi < eps) return kCodeArcCW;
    if (d_rad - kPi > eps) return kCodeArcCCW;
    return -1;
  }
  if (d_rad < eps) {
    double e_rad = beta_rad - alpha_rad;
    if (e_rad - kPi < eps) return kCodeArcCCW;
    if (e_rad - kPi > eps) return kCodeArcCW;
  }
  return -1;
}

BOOL PointsDiffer(const Vec3& a, const Vec3& b) {
  return std::fabs(a.x - b.x) > kVec3Tolerance_mm || std::fabs(a.y - b.y) > kVec3Tolerance_mm ||
         std::fabs(a.z - b.z) > kVec3Tolerance_mm;
}
