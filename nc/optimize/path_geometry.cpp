// Corner geometry of the merging and corner passes. The job engine keeps the same
// functions, so both programs see the same corners.
#include <cmath>

#include "foundation/settings.h"
#include "nc/optimize/path_optimizer.h"

namespace {
const double kPi = 3.141592653589793;

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }
}  // namespace

double VertexAngle(const Vec3& a, const Vec3& b, const Vec3& c) {
  double ab = Length(a, b), bc = Length(b, c), ac = Length(a, c);
  if (ab < g_dDoubleZero || bc < g_dDoubleZero) return -1.0;
  double u = ab * ab + bc * bc - ac * ac;
  double w = 2.0 * ab * bc;
  // |u| < |w| keeps acos in its domain and w away from 0.
  if (std::fabs(w) > std::fabs(u)) return std::acos(u / w);
  return u >= 0.0 ? 0.0 : kPi;
}

double PointSegmentDistance(const Vec3& a, const Vec3& b, const Vec3& c) {
  double ab = Length(a, b);
  double atA = VertexAngle(b, a, c);
  if (atA == -1.0) return ab;
  if (VertexAngle(a, b, c) >= kPi / 2) return ab * std::sin(atA);
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
  return std::fabs(a.x - b.x) > 0.0001 || std::fabs(a.y - b.y) > 0.0001 ||
         std::fabs(a.z - b.z) > 0.0001;
}
