#include "foundation/geometry.h"

#include "foundation/settings.h"

namespace {
const double kTwoPi = 6.283185307179586;
}

Vec3 Vec3::operator/=(double divisor) {
  if (std::fabs(divisor) > g_dDoubleZero) {
    x /= divisor;
    y /= divisor;
    z /= divisor;
  }
  return *this;
}

double Distance3D(double x1, double y1, double z1, double x2, double y2, double z2) {
  double dx = x1 - x2, dy = y1 - y2, dz = z1 - z2;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double PlaneAngle(double x, double y, double z, int plane) {
  double a;
  switch (plane & 0xFF) {
    case 4: a = std::atan2(x, z); break;
    case 8: a = std::atan2(z, y); break;
    default: a = std::atan2(y, x); break;
  }
  if (a < 0.0) a += kTwoPi;
  return a;
}

void TransformMatrix::SetIdentity() {
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) m[r][c] = r == c ? 1.0 : 0.0;
}
