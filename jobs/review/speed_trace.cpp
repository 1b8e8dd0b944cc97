#include "jobs/review/speed_trace.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {

int32_t ReadInt(const char* text) {
  long long v = std::strtoll(text, nullptr, 10);  // held at the ends of its range when too long
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

// The text after the next comma; null when there is none.
const char* NextField(const char* text) {
  const char* comma = std::strchr(text, ',');
  return comma ? comma + 1 : nullptr;
}

}  // namespace

BOOL ParseTraceLine(const char* line, SpeedTracePoint& p) {
  p = SpeedTracePoint();
  std::string text;
  for (const char* c = line ? line : ""; *c; ++c)
    if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n') text += *c;
  SpeedTracePoint r;
  const char* f = text.c_str();
  r.time = std::atof(f);
  double* numbers[] = {&r.distance, &r.speed, &r.deltaTime, &r.deltaDistance};
  for (double* n : numbers) {
    if (!(f = NextField(f))) return FALSE;
    *n = std::atof(f);
  }
  if (!(f = NextField(f))) return FALSE;
  r.lineType = ReadInt(f);
  if (!(f = NextField(f))) return FALSE;
  r.toolNo = (*f && *f != ',') ? ReadInt(f + 1) : 0;  // the field less its letter
  if (!(f = NextField(f))) return FALSE;
  const char* end = std::strchr(f, ',');
  if (!end) return FALSE;
  std::string plane(f, end);
  r.plane = plane == "YZ" ? 8 : plane == "ZX" ? 4 : 0;
  r.lineNo = ReadInt(end + 1);
  p = r;
  return TRUE;
}

void CSpeedTrace::Clear() { m_points.clear(); }

void CSpeedTrace::Add(const SpeedTracePoint& p) {
  if (m_points.empty()) {
    m_dMinTime = m_dMinDistance = m_dMinSpeed = DBL_MAX;
    m_dMaxTime = m_dMaxDistance = m_dMaxSpeed = DBL_MIN;
  }
  m_points.push_back(p);
  auto widen = [](double v, double& lo, double& hi) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  };
  widen(p.time, m_dMinTime, m_dMaxTime);
  widen(p.distance, m_dMinDistance, m_dMaxDistance);
  widen(p.speed, m_dMinSpeed, m_dMaxSpeed);
}

BOOL CSpeedTrace::Load(const char* path) {
  Clear();
  CStdioFile file;
  if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeText)) return FALSE;
  try {
    CString line;
    if (!file.ReadString(line)) return TRUE;  // not even the header
    SpeedTracePoint p;
    while (file.ReadString(line))
      if (ParseTraceLine(line, p)) Add(p);
  } catch (const CFileException&) {
    // What was read before the error stays.
  }
  return TRUE;
}

int TruncScroll(double v) {
  if (!(v == v)) return 0;
  if (v >= (double)INT_MAX) return INT_MAX;
  if (v <= (double)INT_MIN) return INT_MIN;
  return (int)v;
}

TraceView InitialTraceView(const CSpeedTrace& trace, bool timeAxis) {
  TraceView v;
  if (trace.IsEmpty()) return v;  // nothing to scroll: every range 0..0
  double minX = trace.MinX(timeAxis), maxX = trace.MaxX(timeAxis);
  v.dOriginX = minX;
  v.dSpanX = (maxX - minX) / 5.0;
  v.nHMin = TruncScroll(minX);
  v.nHMax = TruncScroll(maxX);
  v.nHPage = TruncScroll(v.dSpanX);
  v.dOriginY = trace.MinSpeed();
  v.dSpanY = (trace.MaxSpeed() - trace.MinSpeed()) * 1.05;
  v.nVMin = TruncScroll(trace.MinSpeed());
  v.nVMax = TruncScroll(trace.MaxSpeed());
  v.nVPos = v.nVMax;
  return v;
}

// Clipping, with the rectangle's edges inside:
//   1. both ends inside: kept as it is; a segment of one point: kept when it is inside;
//   2. vertical and horizontal segments: clamped along their own axis;
//   3. otherwise the candidate points are the ends that are inside and the crossings
//      of the segment's line with the four edges that lie inside and on the segment;
//      duplicates go, the later copy first;
//   4. of three candidates the first that is no end of the segment goes; one left is a
//      dot; two become the ends, each going to the end it is nearer in x.
BOOL ClipSegment(int& x1, int& y1, int& x2, int& y2, const RECT& rc) {
  if (rc.right <= rc.left || rc.bottom <= rc.top) return FALSE;
  auto inside = [&](long long x, long long y) {
    return x >= rc.left && x <= rc.right && y >= rc.top && y <= rc.bottom;
  };
  auto clamp = [](long long v, long long lo, long long hi) { return (int)(v < lo ? lo : v > hi ? hi : v); };
  // 1. Nothing to cut.
  if (x1 == x2 && y1 == y2) return inside(x1, y1);
  if (inside(x1, y1) && inside(x2, y2)) return TRUE;
  // 2. Along an axis.
  if (x1 == x2) {
    if (x1 < rc.left || x1 > rc.right || std::max(y1, y2) < rc.top || std::min(y1, y2) > rc.bottom) return FALSE;
    y1 = clamp(y1, rc.top, rc.bottom);
    y2 = clamp(y2, rc.top, rc.bottom);
    return TRUE;
  }
  if (y1 == y2) {
    if (y1 < rc.top || y1 > rc.bottom || std::max(x1, x2) < rc.left || std::min(x1, x2) > rc.right) return FALSE;
    x1 = clamp(x1, rc.left, rc.right);
    x2 = clamp(x2, rc.left, rc.right);
    return TRUE;
  }
  // 3. Candidates.
  if ((x1 < rc.left && x2 < rc.left) || (x1 > rc.right && x2 > rc.right) || (y1 < rc.top && y2 < rc.top) ||
      (y1 > rc.bottom && y2 > rc.bottom))
    return FALSE;
  POINT pts[6];
  int n = 0;
  auto onSegment = [&](long long x, long long y) {
    return x >= std::min(x1, x2) && x <= std::max(x1, x2) && y >= std::min(y1, y2) && y <= std::max(y1, y2);
  };
  auto candidate = [&](double x, double y) {
    long long ix = TruncScroll(x), iy = TruncScroll(y);
    if (inside(ix, iy) && onSegment(ix, iy)) pts[n++] = POINT{(LONG)ix, (LONG)iy};
  };
  if (inside(x1, y1)) pts[n++] = POINT{x1, y1};
  if (inside(x2, y2)) pts[n++] = POINT{x2, y2};
  const double slope = ((double)y2 - y1) / ((double)x2 - x1);
  for (LONG x : {rc.left, rc.right}) candidate(x, y1 + (x - (double)x1) * slope);
  for (LONG y : {rc.top, rc.bottom}) candidate(x1 + (y - (double)y1) / slope, y);
  auto same = [](const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; };
  for (int i = n - 1; i > 0; --i) {
    bool repeated = false;
    for (int j = 0; j < i && !repeated; ++j) repeated = same(pts[i], pts[j]);
    if (!repeated) continue;
    for (int k = i; k + 1 < n; ++k) pts[k] = pts[k + 1];
    --n;
  }
  // 4. The ends.
  const POINT e1 = {x1, y1}, e2 = {x2, y2};
  while (n > 2) {
    int drop = -1;
    for (int i = 0; i < n && drop < 0; ++i)
      if (!same(pts[i], e1) && !same(pts[i], e2)) drop = i;
    if (drop < 0) break;
    for (int k = drop; k + 1 < n; ++k) pts[k] = pts[k + 1];
    --n;
  }
  if (n == 1) {
    x1 = x2 = pts[0].x;
    y1 = y2 = pts[0].y;
    return TRUE;
  }
  if (n != 2) return FALSE;
  bool swap = std::llabs((long long)pts[0].x - x2) < std::llabs((long long)pts[0].x - x1);
  const POINT& a = swap ? pts[1] : pts[0];
  const POINT& b = swap ? pts[0] : pts[1];
  x1 = a.x, y1 = a.y, x2 = b.x, y2 = b.y;
  return TRUE;
}

BOOL BuildTracePlot(const CSpeedTrace& trace, bool timeAxis, double x0, double y0, double spanX, double spanY,
                    double zoomX, double zoomY, int width, int height, std::vector<TraceStroke>& strokes) {
  strokes.clear();
  if (!(spanX >= 1e-6) || !(spanY >= 1e-6)) return FALSE;
  const int plotW = width - 2 * kTracePlotMargin, plotH = height - 2 * kTracePlotMargin;
  const double sx = plotW / spanX, sy = plotH / spanY;
  const RECT clip = {0, 0, plotW, plotH};
  const std::vector<SpeedTracePoint>& points = trace.Points();
  int px0 = 0, py0 = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const SpeedTracePoint& p = points[i];
    int px = TruncScroll((p.GetX(timeAxis) - x0) * sx * zoomX);
    int py = TruncScroll((p.speed - y0) * sy * zoomY);
    int a = px0, b = py0, c = px, d = py;
    if (i > 0 && ClipSegment(a, b, c, d, clip)) {
      strokes.push_back(TraceStroke{a + kTracePlotMargin, plotH - b + kTracePlotMargin, c + kTracePlotMargin,
                                    plotH - d + kTracePlotMargin, p.lineType});
    }
    px0 = px, py0 = py;
  }
  return strokes.empty() ? FALSE : TRUE;
}
