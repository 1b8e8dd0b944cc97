// Geometry value types shared by both programs: the point/vector Vec3, two plane
// helpers and the 4 x 4 transform of loaded programs and previews.
//
// Lengths are millimetres, angles radians. Points are row vectors multiplied from the
// left, so the last row of a TransformMatrix holds the translation.
#pragma once

#include <cmath>

#include "platform/types.h"

// Tolerance of Vec3 equality on each axis (mm).
constexpr double kVec3Tolerance_mm = 0.0001;

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;

  Vec3() = default;
  Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

  Vec3 operator+(const Vec3& o) const { return Vec3(x + o.x, y + o.y, z + o.z); }
  Vec3 operator-(const Vec3& o) const { return Vec3(x - o.x, y - o.y, z - o.z); }
  Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  Vec3& operator-=(const Vec3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  Vec3 operator*=(double f) {
    x *= f;
    y *= f;
    z *= f;
    return *this;
  }
  // Each axis by its own factor.
  Vec3 Scale(double fx, double fy, double fz) {
    x *= fx;
    y *= fy;
    z *= fz;
    return *this;
  }
  Vec3 Scale(const Vec3& f) { return Scale(f.x, f.y, f.z); }
  // Divides only by a divisor whose magnitude exceeds g_dDoubleZero; otherwise the
  // vector stays as it is.
  Vec3 operator/=(double divisor);
  // Equal within kVec3Tolerance_mm on every axis.
  bool operator==(const Vec3& o) const {
    return std::fabs(x - o.x) < kVec3Tolerance_mm && std::fabs(y - o.y) < kVec3Tolerance_mm &&
           std::fabs(z - o.z) < kVec3Tolerance_mm;
  }
  bool operator!=(const Vec3& o) const { return !(*this == o); }
};
static_assert(sizeof(Vec3) == 24, "Vec3 is three doubles");

double Distance3D(double x1, double y1, double z1, double x2, double y2, double z2);

// Direction of (x, y, z) in a plane, in [0, 2*pi): plane code 0 XY measures from X towards
// Y, 4 (ZX) from Z towards X, 8 (YZ) from Y towards Z. Only the low byte of the code counts;
// an unknown code means XY.
double PlaneAngle(double x, double y, double z, int plane);

class TransformMatrix {
 public:
  TransformMatrix() { SetIdentity(); }

  void SetIdentity();
  // Row 0, 1 or 2 becomes (x, y, z, 0).
  void SetXAxis(double x, double y, double z) { SetRow(0, x, y, z); }
  void SetYAxis(double x, double y, double z) { SetRow(1, x, y, z); }
  void SetZAxis(double x, double y, double z) { SetRow(2, x, y, z); }
  // The translation: first three elements of row 3 (m[3][3] stays).
  void SetOrigin(double x, double y, double z) {
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
  }
  // p * M for the row vector (x, y, z, 1); the fourth column is not used.
  Vec3 Apply(double x, double y, double z) const {
    return Vec3(x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0], x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1],
                x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2]);
  }
  Vec3 Apply(const Vec3& p) const { return Apply(p.x, p.y, p.z); }

  double m[4][4];  // m[row][column]

 private:
  void SetRow(int row, double x, double y, double z) {
    m[row][0] = x;
    m[row][1] = y;
    m[row][2] = z;
    m[row][3] = 0.0;
  }
};
static_assert(sizeof(TransformMatrix) == 128, "TransformMatrix is 16 doubles");
