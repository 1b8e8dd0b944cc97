// Plane geometry of the planner's arc fitting and arc commands. The engine carries its own
// copies of the few helpers the operator program's optimiser has, so that it needs
// nothing of the NC program library. Lengths mm, angles radians.
#pragma once

#include "foundation/geometry.h"

// The angle at m between m-a and m-e (law of cosines), or -1 when a leg is shorter than
// `tolerance`.
double VertexAngle(const Vec3& a, const Vec3& m, const Vec3& e, double tolerance);
// How far b lies from the chord a-c: |ab| * sin(angle at a) when the angle at b is at
// least a right angle, else the shorter of |ab| and |cb|.
double PointSegmentDistance(const Vec3& a, const Vec3& b, const Vec3& c, double tolerance);
// Sense of the shorter turn from p1 to p2 about `center` in the plane (0 XY, 4 XZ, 8 YZ):
// 2 clockwise, 3 counter-clockwise, -1 for no turn or a half turn.
int TurnDirection(int plane, const Vec3& p1, const Vec3& p2, const Vec3& center, double tolerance);
// Sweep of an arc (G type 2 clockwise, else counter-clockwise) from start to end about
// center in its plane, in (0, 2*pi]; equal directions give a full circle.
double ArcAngle(int gType, int plane, const Vec3& start, const Vec3& end, const Vec3& center);

struct Point2D {
  double x, y;
};
double Distance2D(const Point2D& a, const Point2D& b);
// Centre of the circle through p, q, r; false for coincident or collinear points.
bool CircleCentre2D(const Point2D& p, const Point2D& q, const Point2D& r, Point2D& center);
// Centre of the circle through three points that share one coordinate (within 1e-6);
// `plane` tells which: Z shared 0 (XY), X shared 8 (YZ), Y shared 4 (XZ). False when no
// coordinate is shared or the points make no circle.
bool ArcCentreFromPoints(const Vec3& a, const Vec3& m, const Vec3& e, Vec3& center, int& plane);
