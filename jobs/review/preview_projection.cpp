#include "jobs/review/preview_projection.h"

#include <cmath>
#include <initializer_list>

#include "jobs/job_record.h"
#include "jobs/review/preview_canvas.h"

double FitScale(double roomX_px, double sizeX_mm, double roomY_px, double sizeY_mm) {
  double scale = 0.0;
  bool any = false;
  auto term = [&](double room, double size) {
    if (!(room > 0.0) || !(size > 0.0)) return;
    double s = room / size;
    if (!std::isfinite(s)) return;
    scale = any ? std::fmin(scale, s) : s;
    any = true;
  };
  term(roomX_px, sizeX_mm);
  term(roomY_px, sizeY_mm);
  return any ? scale : 1.0;
}

int TruncPixel(double v) {
  if (!(v == v)) return 0;
  if (v > kPixelLimit) return kPixelLimit;
  if (v < -kPixelLimit) return -kPixelLimit;
  return (int)v;
}

void CPreviewProjection::Setup(int view, const Vec3& box_mm, int width_px, int height_px) {
  m_nView = view;
  // A box without any extent on an axis (a program of rapids only) is flat there.
  auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
  m_vBox = Vec3(finite(box_mm.x), finite(box_mm.y), finite(box_mm.z));
  const double b = m_vBox.x, r = m_vBox.y, s = m_vBox.z;
  switch (view) {
    case kViewXY: m_dDrawnW = b, m_dDrawnH = r; break;
    case kViewYZ: m_dDrawnW = r, m_dDrawnH = s; break;
    case kViewZX: m_dDrawnW = b, m_dDrawnH = s; break;
    default: m_dDrawnW = kCos45 * r / 2.0 + b, m_dDrawnH = kCos45 * r / 2.0 + s; break;
  }
  m_dScale = FitScale(width_px - 2.0 * kPreviewMargin, m_dDrawnW, height_px - 2.0 * kPreviewMargin, m_dDrawnH);
  m_dOffsetX = (width_px - m_dDrawnW * m_dScale) / 2.0;
  m_dOffsetY = (height_px - m_dDrawnH * m_dScale) / 2.0;
}

POINT CPreviewProjection::Map(const Vec3& p) const {
  double u, v;
  switch (m_nView) {
    case kViewXY: u = p.x, v = m_vBox.y - p.y; break;
    case kViewYZ: u = p.y, v = m_vBox.z - p.z; break;
    case kViewZX: u = p.x, v = m_vBox.z - p.z; break;
    default:
      u = kCos45 * p.y / 2.0 + p.x;
      v = kCos45 * (m_vBox.y - p.y) / 2.0 + (m_vBox.z - p.z);
      break;
  }
  POINT pt;
  pt.x = TruncPixel(u * m_dScale + m_dOffsetX);
  pt.y = TruncPixel(v * m_dScale + m_dOffsetY);
  return pt;
}

CCopyOffsets::CCopyOffsets(const JobRecord& job, bool withCopies) {
  auto count = [](int n) { return n > kMaxPreviewCopies ? kMaxPreviewCopies : n; };
  if (withCopies) {
    m_nX = count(job.EffectiveCopiesX());
    m_nY = count(job.EffectiveCopiesY());
    m_nZ = count(job.EffectiveCopiesZ());
  }
  m_vStep = Vec3(job.CopyOffsetX, job.CopyOffsetY, job.CopyOffsetZ);
}

Vec3 CCopyOffsets::At(long long index) const {
  long long k = index % m_nZ;
  long long j = (index / m_nZ) % m_nY;
  long long i = index / ((long long)m_nZ * m_nY);
  return Vec3(i * m_vStep.x, j * m_vStep.y, k * m_vStep.z);
}

void DrawObliqueBox(CPreviewCanvas& canvas, const CPreviewProjection& projection, double materialTop_mm) {
  auto at = [&](double x, double y, double z) { return projection.Map(Vec3(x, y, z)); };
  const Vec3& box = projection.Box();
  const double X = box.x, Y = box.y, Z = box.z;
  POINT outline[] = {at(0, 0, Z), at(0, Y, Z), at(X, Y, Z), at(X, Y, 0), at(X, 0, 0), at(0, 0, 0), at(0, 0, Z)};
  canvas.Polygon(outline, 7, kBoxFaceColor);
  POINT floor[] = {at(0, 0, 0), at(0, Y, 0), at(X, Y, 0), at(X, 0, 0), at(0, 0, 0)};
  canvas.Polygon(floor, 5, kBoxFloorColor);
  if (materialTop_mm > 1e-7) {
    const double m = materialTop_mm;
    POINT face[] = {at(0, 0, m), at(0, Y, m), at(X, Y, m), at(X, 0, m), at(0, 0, m)};
    canvas.Polygon(face, 5, kBoxFaceColor);
  }
  const POINT a = at(X, 0, Z), b = at(0, Y, 0);
  for (POINT e : {at(0, 0, Z), at(X, Y, Z), at(X, 0, 0)}) {
    canvas.MoveTo(a);
    canvas.LineTo(e);
  }
  for (POINT e : {at(0, Y, Z), at(0, 0, 0), at(X, Y, 0)}) {
    canvas.MoveTo(b);
    canvas.LineTo(e);
  }
}
