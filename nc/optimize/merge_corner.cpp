// The geometric passes: merging of nearly collinear feed moves, and the corner pass
// (corner angles, corner radii, new tags at sharp corners, tangent corner arcs).
//
// Merging walks the feed runs keeping the last two kept vertices P0 and P1; at each new
// end point E it asks whether P1 may go, i.e. whether P0-E is straight enough:
//
//        P0 ----------- P1 ---------- E        P1 merged away when the angle at P1 is
//                                              at least the merge angle and a leg is
//                                              short or P1 lies close to the chord P0-E
//
// Zero-length feeds are dropped at once; their end points are remembered (dropped
// points before P1, pending points after it) so that the chord that finally replaces
// them is checked against them too.
//
// The corner pass then looks at every corner P0-P1-E of consecutive feeds and arcs. It
// records the corner angle at the element ending in P1, starts a new tag where the
// corner is sharper than the minimum angle, and otherwise gives that element the largest
// radius the machine may assume through the corner:
//   - nearly straight (within the chord height): the circle through P0, P1 and E;
//   - a real corner: the arc tangent to both legs that passes the corner departure
//     from P1, but no larger than fits half the shorter leg.
// With corner arcs on, a sharp corner between two straight feeds is instead cut by a
// tangent arc from A on P0-P1 to B on P1-E.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "foundation/settings.h"
#include "nc/optimize/optimize_progress.h"
#include "nc/optimize/path_optimizer.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kZeroLength_mm = 1e-12;        // a move shorter than this has no length
constexpr double kStraightRadius_mm = 10000.0;  // corner radius of a straight continuation
constexpr double kStraightSine = 0.0001;        // a corner whose sine is below this is straight
// A dwell mode code: it breaks a run, though no reader of this system makes one.
constexpr WORD kCodeDwell = 4;
constexpr double kLongestListNumber = 1e15;  // an M value past this matches no list entry

double Length(const Vec3& a, const Vec3& b) { return Distance3D(a.x, a.y, a.z, b.x, b.y, b.z); }

Vec3 Along(const Vec3& from, const Vec3& to, double fraction) {
  Vec3 d = to - from;
  d *= fraction;
  return from + d;
}

bool InList(const CStringArray& list, const char* text) {
  for (int k = 0; k < list.GetSize(); k++)
    if (list[k] == text) return true;
  return false;
}

// A run of equal zero-length ends adds nothing to the chord checks; keeping one point per
// run keeps those checks short on a file that repeats a point many times.
void AddDroppedPoint(CArray<Vec3, const Vec3&>& list, const Vec3& point) {
  int n = list.GetSize();
  if (n > 0 && Length(list[n - 1], point) < kZeroLength_mm) return;
  list.Add(point);
}

// The geometry epsilon as a divisor guard: a setting of 0 (or less) must not let a
// length of 0 through to a division.
double Epsilon() { return g_dDoubleZero > DBL_MIN ? g_dDoubleZero : DBL_MIN; }

// Corner plane of a corner arc.
struct CornerPlane {
  int code;      // 17, 18, 19
  int selector;  // 0 XY, 4 XZ, 8 YZ
  BYTE axes;     // axis mask of the arc
  int digit;     // the digit of "Sharp2ArcMask(BxyByzBzx)" that allows it
};

}  // namespace

BOOL CPathOptimizer::IsForceBreak(const PathRecord& rec) const {
  char name[3] = {rec.m_szName[0], rec.m_szName[0] ? rec.m_szName[1] : '\0', 0};
  CString text;
  if (rec.m_nCode == kCodeTag) {
    if (std::strcmp(name, "M") != 0) return InList(m_settings.m_astrBreakWords, name);
    double value = std::trunc(rec.m_dValue);
    if (!(std::fabs(value) < kLongestListNumber)) return FALSE;  // no list entry is that long
    text.Format("%lld", (long long)value);
    return InList(m_settings.m_astrBreakMCodes, text);
  }
  if (IsMoveCode(rec.m_nCode)) return FALSE;
  text.Format("%u", (unsigned)rec.m_nCode);
  return InList(m_settings.m_astrBreakGCodes, text);
}

BOOL CPathOptimizer::DroppedPointsOnChord(const Vec3& a, const Vec3& b) const {
  for (const CArray<Vec3, const Vec3&>* list : {&m_aDroppedPoints, &m_aPendingPoints}) {
    for (int k = 0; k < list->GetSize(); k++) {
      const Vec3& p = (*list)[k];
      double c;
      if (!VertexCosine(a, p, b, c)) c = 0.0;  // no angle counts as a right angle
      if (c > m_settings.m_dCosMaxAngle) return FALSE;
      if (PointSegmentDistance(a, p, b) > m_settings.m_dMergeChordHeight) return FALSE;
    }
  }
  return TRUE;
}

double CPathOptimizer::MergePathError(const Vec3& p0, const Vec3& p1, const Vec3& e) const {
  if (m_aDroppedPoints.IsEmpty() && m_aPendingPoints.IsEmpty()) return 0.0;
  double polyline = 0.0;
  Vec3 at = p0;
  for (const CArray<Vec3, const Vec3&>* list : {&m_aDroppedPoints, &m_aPendingPoints}) {
    for (int k = 0; k < list->GetSize(); k++) {
      polyline += Length(at, (*list)[k]);
      at = (*list)[k];
    }
  }
  polyline += Length(at, e);
  return Length(p0, p1) + Length(p1, e) - polyline;
}

// ---- Merging pass
//
// A run is a sequence of feeds that may be merged. It ends at anything but a feed, and at
// a tag or mode code that forces a break (a spindle, tool or coolant change): the vertex
// where the program put such a tag is never merged away, or the change would happen
// somewhere else on the path (a spindle stopped before the last cut of the run).

BOOL CPathOptimizer::MergePass(const OptimizerSettings& s, COptimizeProgress& progress) {
  PathRecord r;
  int j = 0;            // last kept move
  DWORD tagStartJ = 0;  // its tag start mark
  int prev = -1;        // code of the last move
  int n = 0;            // 1: P1 ends the first feed of a run, 2: P1 is a merge candidate
  Vec3 p0, p1;
  double len_mm = 0.0;   // length of P0-P1
  BOOL pending = FALSE;  // the next move starts a tag (and a run)
  m_nPlaneCode = kCodePlaneXY;
  m_aDroppedPoints.RemoveAll();
  m_aPendingPoints.RemoveAll();
  // The move i (end e, tag start mark t) becomes the one ending at P1.
  auto moveOn = [&](int i, const Vec3& e, DWORD t) {
    p0 = p1;
    p1 = e;
    j = i;
    tagStartJ = t;
  };

  for (int i = 0; GetPathRecord(i, r, FALSE); i++) {
    progress.Step();
    if (r.m_nDiscard) continue;
    int code = r.m_nCode;
    if (code == kCodeRapid || prev == kCodeRapid) pending = TRUE;
    if (code == kCodeDwell) {
      pending = TRUE;
      continue;
    }
    if (IsPlaneCode(code)) {
      m_nPlaneCode = code;
      continue;
    }
    if (!IsMoveCode(code)) {
      // A tag that does not break after one that does keeps the break.
      if (IsForceBreak(r)) pending = TRUE;
      continue;
    }

    DWORD tagStart = r.m_nTagStart;
    const bool newRun = pending || !(prev == kCodeFeed && code == kCodeFeed);
    if (pending) {
      pending = FALSE;
      SetTagStart(i, 1);
      tagStart = 1;
    }
    Vec3 e = r.GetEnd();
    if (newRun) {
      moveOn(i, e, tagStart);
      prev = code;
      n = 1;
      m_aDroppedPoints.RemoveAll();
      m_aPendingPoints.RemoveAll();
      continue;
    }

    if (n == 1) {
      len_mm = Length(p1, e);
      if (len_mm < kZeroLength_mm && DroppedPointsOnChord(p1, e)) {
        SetDiscard(i, 1);
        AddDroppedPoint(m_aDroppedPoints, e);
      } else {
        moveOn(i, e, tagStart);
        n = 2;
      }
      continue;
    }

    double d2_mm = Length(p1, e);
    if (d2_mm < kZeroLength_mm && DroppedPointsOnChord(p0, e)) {
      SetDiscard(i, 1);
      AddDroppedPoint(m_aPendingPoints, e);
      continue;
    }
    double err_mm, tolerance_mm;
    if (s.m_bMergeByPathError) {
      err_mm = MergePathError(p0, p1, e);
      tolerance_mm = s.m_dMergeSegLimit;
    } else {
      err_mm = PointSegmentDistance(p0, p1, e);
      tolerance_mm = s.m_dMergeChordHeight;
    }
    SetDeviation(j, err_mm);
    double c;
    if (!VertexCosine(p0, p1, e, c)) c = 0.0;
    bool shortOrClose = std::fabs(len_mm) < s.m_dMergeSegLimit || std::fabs(d2_mm) < s.m_dMergeSegLimit ||
                        std::fabs(err_mm) < tolerance_mm;
    if (c <= s.m_dCosMergeMinAngle && shortOrClose && DroppedPointsOnChord(p0, e)) {
      // P1 goes: the move ending there is discarded and this one spans P0-E.
      if (tagStartJ > 0) {
        SetTagStart(i, tagStartJ);
        tagStart = tagStartJ;
      }
      SetDiscard(j, 1);
      for (int k = 0; k < m_aPendingPoints.GetSize(); k++) AddDroppedPoint(m_aDroppedPoints, m_aPendingPoints[k]);
      m_aPendingPoints.RemoveAll();
      len_mm = Length(p0, e);
      p1 = e;
      j = i;
      tagStartJ = tagStart;
      continue;
    }
    len_mm = d2_mm;
    moveOn(i, e, tagStart);
    m_aDroppedPoints.Copy(m_aPendingPoints);
    m_aPendingPoints.RemoveAll();
    if (progress.IsCanceled()) return FALSE;
  }
  return TRUE;
}

// ---- Corner pass

BOOL CPathOptimizer::CornerPass(const OptimizerSettings& s, COptimizeProgress& progress) {
  const double eps = Epsilon();
  PathRecord r;
  int j = 0;             // the move ending at P1
  int prev = -1;         // its code
  BOOL sourceJ = FALSE;  // its source bit
  int n = 0;             // 0 nothing yet, 1 P1 ends a rapid, 2 P1 is a corner
  Vec3 p0, p1;
  double len_mm = 0.0;  // length of P0-P1
  m_nPlaneCode = kCodePlaneXY;
  ElementInsertions inserted;  // corner arcs, by the index of the element they go before
  CPathElementArray arc;
  BOOL finished = TRUE;
  // The move i (record r, end e) becomes the one ending at P1.
  auto moveOn = [&](int i, const PathRecord& r, const Vec3& e) {
    p0 = p1;
    p1 = e;
    prev = r.m_nCode;
    j = i;
    sourceJ = r.IsCoordChanged();
  };

  for (int i = 0; GetPathRecord(i, r, FALSE); i++) {
    progress.Step();
    int code = r.m_nCode;
    if (IsPlaneCode(code)) m_nPlaneCode = code;
    if (r.m_nDiscard || !IsMoveCode(code)) continue;
    Vec3 e = r.GetEnd();
    if (code == kCodeRapid) {
      SetTagStart(i, 1);
      moveOn(i, r, e);
      n = 1;
      continue;
    }
    if (prev < kCodeFeed) SetTagStart(i, 1);
    // A first move without a rapid before it starts at the origin, as the loader has it;
    // like the move after a rapid it only sets the first leg.
    if (n <= 1) {
      len_mm = Length(p1, e);
      moveOn(i, r, e);
      n = 2;
      continue;
    }

    // The corner at P1 between P0-P1 (element j) and P1-E.
    double d2_mm = Length(p1, e), d3_mm = Length(p0, e);
    double u = len_mm * len_mm + d2_mm * d2_mm - d3_mm * d3_mm, w = 2.0 * len_mm * d2_mm;
    double cosA, angle_rad;
    if (std::fabs(w) > std::fabs(u)) {
      cosA = u / w;
      angle_rad = std::acos(cosA);
    } else if (u < 0) {
      angle_rad = kPi;
      cosA = -1.0;
    } else {
      angle_rad = 0.0;
      cosA = 1.0;
    }
    SetAngle(j, angle_rad * 180.0 / kPi);
    double h_mm = d3_mm < eps ? len_mm : len_mm * d2_mm * std::sqrt(std::fabs(1.0 - cosA * cosA)) / d3_mm;

    bool arcBuilt = false;
    // The arc replaces the ends of two straight legs; an arc leg cannot be shortened
    // along its chord.
    if (s.m_bCornerToArc && (cosA > s.m_dCosMaxAngle || h_mm >= s.m_dChordHeight) && prev == kCodeFeed &&
        code == kCodeFeed) {
      Vec3 a, b, c;
      int plane = 0;
      int dir = BuildCornerArc(p0, p1, e, s.m_dCornerArcMinRadius, s.m_dCornerArcDeviation, a, b, c, plane, arc);
      if (dir == kCodeArcCW || dir == kCodeArcCCW) {
        SetFeedEnd(j, a, Length(a, c));
        for (int k = 0; k < arc.GetSize(); k++) inserted.emplace_back(i, arc[k]);
        progress.Inserted(arc.GetSize());
        arc.RemoveAll();
        arcBuilt = true;
      }
    }
    if (!arcBuilt) {
      if (cosA > s.m_dCosMinAngle) {
        SetTagStart(i, 2);
      } else {
        double limit_mm;
        if (cosA <= s.m_dCosMaxAngle && h_mm < s.m_dChordHeight) {
          double sine = std::sqrt(std::fabs(1.0 - cosA * cosA));
          limit_mm = sine < kStraightSine ? kStraightRadius_mm : d3_mm / (2.0 * sine);
        } else {
          double sinHalf = std::sqrt(std::fabs(1.0 - cosA) / 2.0);
          if (1.0 - sinHalf < eps) {
            limit_mm = kStraightRadius_mm;
          } else {
            limit_mm = sinHalf * s.m_dCornerDepart / std::fabs(1.0 - sinHalf);
            double cosHalf = std::sqrt(std::fabs(1.0 - sinHalf * sinHalf));
            double shorter_mm = len_mm < d2_mm ? len_mm : d2_mm;
            if (cosHalf > eps && limit_mm > shorter_mm / 2.0 / cosHalf) limit_mm = shorter_mm / 2.0 / cosHalf;
          }
        }
        if (prev == kCodeFeed)
          SetRadius(j, limit_mm);
        else if (IsArcCode(prev) && sourceJ)
          LimitRadius(j, limit_mm);
      }
    }
    len_mm = d2_mm;
    moveOn(i, r, e);  // the corner point, not the tangent point, starts the next corner
    if (progress.IsCanceled()) {
      finished = FALSE;
      break;
    }
  }
  InsertElements(inserted);
  return finished;
}

// ---- Corner arc

int CPathOptimizer::BuildCornerArc(const Vec3& p0, const Vec3& p1, const Vec3& p2, double leastRadius_mm,
                                   double deviation_mm, Vec3& tangentA, Vec3& tangentB, Vec3& center, int& plane,
                                   CPathElementArray& list) {
  const double eps = Epsilon();
  const OptimizerSettings& s = m_settings;
  list.RemoveAll();
  double l1_mm = Length(p0, p1), l2_mm = Length(p1, p2), l3_mm = Length(p0, p2);
  if (l1_mm < eps || l2_mm < eps || l3_mm < eps) return -1;
  // P1 on the way from P0 to P2, or a path that turns back: no corner to round.
  if (std::fabs(l1_mm + l2_mm - l3_mm) <= eps || std::fabs(l1_mm - l2_mm - l3_mm) <= eps ||
      std::fabs(l2_mm - l1_mm - l3_mm) <= eps)
    return -1;
  double cosA = (l1_mm * l1_mm + l2_mm * l2_mm - l3_mm * l3_mm) / (2.0 * l1_mm * l2_mm);
  if (cosA <= s.m_dCosMaxAngle) return -1;
  if (cosA > 1.0) cosA = 1.0;
  double cosHalf = std::sqrt((1.0 + cosA) / 2.0);
  double sinHalf = std::sqrt(std::fabs(1.0 - cosHalf * cosHalf));
  if (sinHalf < eps || 1.0 - sinHalf < eps) return -1;
  double radius_mm = deviation_mm * sinHalf / (1.0 - sinHalf);
  if (radius_mm < leastRadius_mm) radius_mm = leastRadius_mm;
  double tangent_mm = radius_mm * cosHalf / sinHalf;
  // A nil radius (settings of 0) would make a point, not an arc.
  if (!(radius_mm > eps) || !(tangent_mm > eps) || !(tangent_mm < l1_mm) || !(tangent_mm < l2_mm)) return -1;

  Vec3 a = Along(p1, p0, tangent_mm / l1_mm);
  Vec3 b = Along(p1, p2, tangent_mm / l2_mm);
  Vec3 mid((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2);
  Vec3 c = Along(p1, mid, 2.0 / (cosA + 1.0));

  auto changes = [&](double v0, double v1, double v2) { return std::fabs(v0 - v1) > eps || std::fabs(v2 - v1) > eps; };
  bool x = changes(p0.x, p1.x, p2.x), y = changes(p0.y, p1.y, p2.y), z = changes(p0.z, p1.z, p2.z);
  CornerPlane cp;
  if (x && y) {
    if (z) return -1;  // a corner in space: no plane to put an arc in
    cp = {kCodePlaneXY, kPlaneXY, (BYTE)(kAxisX | kAxisY), (s.m_nCornerArcPlanes / 100) % 10};
  } else if (x) {
    cp = {kCodePlaneXZ, kPlaneXZ, (BYTE)(kAxisX | kAxisZ), s.m_nCornerArcPlanes % 10};
  } else {
    cp = {kCodePlaneYZ, kPlaneYZ, (BYTE)(kAxisY | kAxisZ), (s.m_nCornerArcPlanes / 10) % 10};
  }
  if (cp.digit == 0) return -1;
  int dir = TurnDirection(cp.selector, a, b, c);
  if (dir == -1) return -1;

  CPathArcElement* arc = new (std::nothrow) CPathArcElement((WORD)dir);
  if (!arc) return -1;
  const bool otherPlane = m_nPlaneCode != cp.code;
  const int line = GetLastLine();
  auto addPlane = [&](int code) {
    CPathElement* e = new (std::nothrow) CPathElement((WORD)code);
    if (!e) return;
    e->m_nLine = (DWORD)line;
    e->SetSource(true);
    list.Add(e);
  };
  if (otherPlane) addPlane(cp.code);
  arc->m_nLine = (DWORD)line;
  arc->m_byAxes = cp.axes;
  arc->m_vEnd = b;
  arc->m_vCenter = c;
  arc->m_nTagStart = 0;
  arc->SetFitted(true);
  // The pieces lie between A and B, inside the corner: they grow no box.
  if (!SplitArc(*arc, (BYTE)cp.selector, list, a, b, c, GetArcTolerance())) {
    delete arc;
    for (int k = 0; k < list.GetSize(); k++) DeleteElement(list[k]);
    list.RemoveAll();
    return -1;
  }
  arc->SetSource(true);
  list.Add(arc);
  if (otherPlane) addPlane(m_nPlaneCode);

  tangentA = a;
  tangentB = b;
  center = c;
  plane = cp.selector;
  return dir;
}
