#include "foundation/geometry.h"

#include "foundation/settings.h"

namespace {
constexpr double kTwoPi = 6.283185307179586;
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
  double dx_mm = x1 - x2, dy_mm = y1 - y2, dz_mm = z1 - z2;
  return std::sqrt(dx_mm * dx_mm + dy_mm * dy_mm + dz_mm * dz_mm);
}

double PlaneAngle(double x, double y, double z, int plane) {
  double angle_rad;
  switch (plane & 0xFF) {
    case 4: angle_rad = std::atan2(x, z); break;
    case 8: angle_rad = std::atan2(z, y); break;
    default: angle_rad = std::atan2(y, x); break;
  }
  if (angle_rad < 0.0) angle_rad += kTwoPi;
  return angle_rad;
}

void TransformMatrix::SetIdentity() {
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) m[r][c] = r == c ? 1.0 : 0.0;
}
