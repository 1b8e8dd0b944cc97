#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geometry.h"
#include "foundation/settings.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectVec(const Vec3& v, double x, double y, double z) {
  EXPECT_DOUBLE_EQ(x, v.x);
  EXPECT_DOUBLE_EQ(y, v.y);
  EXPECT_DOUBLE_EQ(z, v.z);
}

TEST(Vec3, ArithmeticAndGuardedDivide) {
  ExpectVec(Vec3(), 0, 0, 0);
  Vec3 a(1, 2, 3), b(4, 6, 8);
  ExpectVec(a + b, 5, 8, 11);
  ExpectVec(b - a, 3, 4, 5);
  Vec3 c = a;
  c += b;
  c -= Vec3(1, 1, 1);
  ExpectVec(c, 4, 7, 10);
  ExpectVec(c *= 2, 8, 14, 20);
  ExpectVec(Vec3(1, 1, 1).Scale(2, 3, 4), 2, 3, 4);

  struct {
    double divisor;
    double x, y, z;
  } cases[] = {{3, 1, 2, 3}, {1e-8, 3, 6, 9}, {0, 3, 6, 9}, {-1e-7, 3, 6, 9}, {-3, -1, -2, -3}};
  for (const auto& k : cases) {
    Vec3 v(3, 6, 9);
    Vec3 r = (v /= k.divisor);
    ExpectVec(v, k.x, k.y, k.z);
    ExpectVec(r, k.x, k.y, k.z);
  }
}

TEST(Vec3, CompareWithinATenThousandth) {
  EXPECT_TRUE(Vec3(1, 2, 3) == Vec3(1.00009, 2, 2.99991));
  EXPECT_FALSE(Vec3(1, 2, 3) == Vec3(1, 2.0002, 3));
}

TEST(Geometry, DistanceAndPlaneAngle) {
  EXPECT_DOUBLE_EQ(5.0, Distance3D(0, 0, 0, 3, 4, 0));
  EXPECT_DOUBLE_EQ(13.0, Distance3D(1, 1, 1, 1 + 3, 1 + 4, 1 + 12));
  struct {
    double x, y, z;
    int plane;
    double angle;
  } cases[] = {
      {0, -1, 0, 0, 1.5 * kPi},  {1, 0, 0, 4, kPi / 2},  {0, 0, 1, 8, kPi / 2}, {1, 0, 0, 0, 0},    {-1, 0, 0, 0, kPi},
      {1, 0, 0, 0x104, kPi / 2}, {0, 1, 0, 12, kPi / 2}, {0, 0, -1, 4, kPi},    {0, -1, 0, 8, kPi},
  };
  for (const auto& k : cases)
    EXPECT_NEAR(k.angle, PlaneAngle(k.x, k.y, k.z, k.plane), 1e-12)
        << k.x << "," << k.y << "," << k.z << " plane " << k.plane;
}

TEST(TransformMatrix, IdentityRowsAndOrigin) {
  TransformMatrix m;
  ExpectVec(m.Apply(1, 2, 3), 1, 2, 3);
  m.SetOrigin(10, 20, 30);
  ExpectVec(m.Apply(1, 2, 3), 11, 22, 33);
  EXPECT_EQ(1.0, m.m[3][3]);
  // Quarter turn: X goes to Y, Y to -X.
  m.SetXAxis(0, 1, 0);
  m.SetYAxis(-1, 0, 0);
  m.SetZAxis(0, 0, -1);
  ExpectVec(m.Apply(1, 2, 3), -2 + 10, 1 + 20, -3 + 30);
  m.m[0][3] = 5;  // the fourth column plays no part
  ExpectVec(m.Apply(1, 2, 3), 8, 21, 27);
  m.SetIdentity();
  ExpectVec(m.Apply(Vec3(4, 5, 6)), 4, 5, 6);
}

}  // namespace
