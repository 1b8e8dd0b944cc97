// The door fold: a door's face and its four narrow edges, drawn as one flat layout, are
// folded into machine coordinates.
//
//                 top edge (3)
//           +----------------------+  C
//   left    |                      |   right
//   edge    |      face (0)        |   edge
//   (1)     |                      |   (2)
//           +----------------------+  D
//           B    bottom edge (4)   A
//
// Each strip is drawn as if its edge were folded flat into the face's plane; the depth
// below the surface (z) becomes the distance into the edge. The four corner squares are
// no part of the door: a move that ends there stops the fold. The path may pass from one
// face to another only on a rapid; that rapid is replaced by a retract off the old face,
// an offset tag, an approach to the new face, a tool change and a plane selection. Speed
// tags are placed where the motion changes between traversing, cutting and plunging.
//
// The new elements are collected as a vertex list while the fold walks the list and
// inserted at its end, so that the indices of the walk stay valid. The edits of the
// elements themselves are collected too and made only when the fold has succeeded: a
// fold that fails half-way leaves the list as it was, not half folded.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/settings.h"
#include "foundation/texts.h"
#include "nc/optimize/optimize_progress.h"
#include "nc/optimize/path_optimizer.h"
#include "resources/resource.h"

CArray<CPathVertex, const CPathVertex&> g_aVertexList;

namespace {

enum Face { kNoFace = -1, kFace = 0, kLeftEdge = 1, kRightEdge = 2, kTopEdge = 3, kBottomEdge = 4, kCorner = 5 };
constexpr int kFaces = 5;
constexpr int kFaceTool[kFaces] = {1, 2, 3, 4, 5};
constexpr int kFacePlane[kFaces] = {kCodePlaneXY, kCodePlaneYZ, kCodePlaneYZ, kCodePlaneXZ, kCodePlaneXZ};

enum Motion { kTraversing = 0, kCutting = 1, kPlunging = 2 };

constexpr double kAxisStep_mm = 1e-12;  // coordinates closer than this need no move
constexpr double kDefaultLift_mm = 50.0;
constexpr int kLiftSettingSize = 512;  // characters of the "ParkingLift(mm)" read
// "M" values the fold replaces (spindle on/off and tool change, read with a margin).
constexpr double kSpindleMFirst = 2.99999, kSpindleMLast = 6.00001;

// An edit of the list that the fold makes once it has succeeded.
struct FoldEdit {
  int index;
  bool discard;  // else: the move's folded end, axes (and centre), marks
  Vec3 end, center;
  BYTE axes;
  bool arc, reverse, markA, markB;
};

bool HasBound(double bound) { return bound != DBL_MAX; }

int ClassifyPoint(const DoorFoldParams& p, double x, double y) {
  bool right = HasBound(p.m_dRight) && x >= p.m_dRight;
  if (right || x < p.m_dLeft) {
    if ((HasBound(p.m_dTop) && y >= p.m_dTop) || y <= p.m_dBottom) return kCorner;
    return right ? kRightEdge : kLeftEdge;
  }
  if (HasBound(p.m_dTop) && y >= p.m_dTop) return kTopEdge;
  if (y < p.m_dBottom) return kBottomEdge;
  return kFace;
}

Vec3 FoldPoint(const DoorFoldParams& p, int face, const Vec3& v) {
  switch (face) {
    case kLeftEdge: return Vec3(p.m_dLeft - v.z, v.y, v.x - p.m_dLeft);
    case kRightEdge: return Vec3(v.z + p.m_dRight, v.y, p.m_dRight - v.x);
    case kTopEdge: return Vec3(v.x, v.z + p.m_dTop, p.m_dTop - v.y);
    case kBottomEdge: return Vec3(v.x, p.m_dBottom - v.z, v.y - p.m_dBottom);
    default: return v;
  }
}

// The side edges exchange X and Z, the top and bottom edges Y and Z.
BYTE FoldAxes(int face, BYTE axes) {
  bool x = (axes & kAxisX) != 0, y = (axes & kAxisY) != 0, z = (axes & kAxisZ) != 0;
  if (face == kLeftEdge || face == kRightEdge) std::swap(x, z);
  if (face == kTopEdge || face == kBottomEdge) std::swap(y, z);
  return (BYTE)((x ? kAxisX : 0) | (y ? kAxisY : 0) | (z ? kAxisZ : 0));
}

// Folding a side's XY plane onto the YZ or ZX plane mirrors the sense of rotation on the
// left and bottom edges.
bool FoldReversesArcs(int face) { return face == kLeftEdge || face == kBottomEdge; }

// A feed that moves into the surface of its face.
bool IsPlunge(int face, const Vec3& from, const Vec3& to) {
  switch (face) {
    case kFace: return to.z < from.z;
    case kLeftEdge: return to.x > from.x;
    case kRightEdge: return to.x < from.x;
    case kTopEdge: return to.y < from.y;
    case kBottomEdge: return to.y > from.y;
    default: return false;
  }
}

// Moves v off the face by the lift, along the face's normal (axis 0 x, 1 y, 2 z), which
// is returned.
int LiftOff(const DoorFoldParams& p, int face, Vec3& v) {
  switch (face) {
    case kLeftEdge: v.x = std::min(v.x, p.m_dLeft - p.m_dLift); return 0;
    case kRightEdge: v.x = std::max(v.x, p.m_dRight + p.m_dLift); return 0;
    case kTopEdge: v.y = std::max(v.y, p.m_dTop + p.m_dLift); return 1;
    case kBottomEdge: v.y = std::min(v.y, p.m_dBottom - p.m_dLift); return 1;
    default: v.z = std::max(v.z, p.m_dLift); return 2;
  }
}

double& Coord(Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
double Coord(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
constexpr BYTE kAxisBit[3] = {kAxisX, kAxisY, kAxisZ};

bool NameIs(const char* name, const char* what) { return CString(name).CompareNoCase(what) == 0; }

}  // namespace

// ---- Vertices

void CPathVertex::SetPoint(int index, WORD axes, const Vec3& point) {
  *this = CPathVertex();
  m_nIndex = index;
  m_nCode = kCodeRapid;
  m_nAxes = axes;
  m_vPoint = point;
}

void CPathVertex::SetPlane(int index, int planeCode) {
  *this = CPathVertex();
  m_nIndex = index;
  m_nCode = (short)planeCode;
}

void CPathVertex::SetTag(int index, const char* name, double value) {
  *this = CPathVertex();
  m_nIndex = index;
  std::strncpy(m_szName, name, sizeof m_szName - 1);
  m_dValue = value;
}

void CPathVertex::SetTool(int index, int tool) { SetTag(index, "T", tool); }
void CPathVertex::SetM(int index, double value) { SetTag(index, "M", value); }
void CPathVertex::SetFeed(int index, double speed_mm_s) { SetTag(index, "F", speed_mm_s); }

void CPathVertex::SetOffset(int index, char axis, double value) {
  char name[3] = {'#', axis, 0};
  SetTag(index, name, value);
}

void CopyPathRecord(PathRecord& dst, const PathRecord& src) {
  dst.m_nCode = src.m_nCode;
  dst.m_nDiscard = src.m_nDiscard;
  dst.m_nFlags = src.m_nFlags;
  dst.m_nLine = src.m_nLine;
  std::memcpy(dst.m_szName, src.m_szName, sizeof dst.m_szName);
  dst.m_szName[sizeof dst.m_szName - 1] = 0;
  dst.m_dValue = src.m_dValue;
  dst.m_byAxes = src.m_byAxes;
  dst.m_nTagStart = src.m_nTagStart;
  dst.m_dRadius = src.m_dRadius;
  dst.m_dAngle = src.m_dAngle;
  dst.m_dDeviation = src.m_dDeviation;
  dst.m_dMark = src.m_dMark;
  dst.m_vEnd = src.GetEnd();
  dst.m_vCenter = src.GetCenter();
  bool toolTag = src.m_nCode == kCodeTag && std::strcmp(dst.m_szName, "T") == 0;
  dst.SetTool(toolTag ? src.GetTool() : nullptr);
}

// ---- Face change

int CPathOptimizer::InsertVertices(const DoorFoldParams& params, int index, int fromFace, int toFace,
                                   const PathRecord& prev, const PathRecord& cur) {
  if (fromFace == toFace) return 0;
  if (cur.m_nCode != kCodeRapid) return -1;
  if (toFace < kFace || toFace > kBottomEdge) return -1;
  const double a = params.m_dRight, b = params.m_dLeft, c = params.m_dTop, d = params.m_dBottom;
  const Vec3 e0 = prev.GetEnd(), q0 = cur.GetEnd();
  Vec3 p = fromFace == kNoFace ? Vec3() : e0;
  auto emit = [&](BYTE axes) {
    CPathVertex v;
    v.SetPoint(index, axes, p);
    g_aVertexList.Add(v);
  };
  // Along X, Y and Z in turn, one move per axis that still differs.
  auto stepTo = [&](const Vec3& target) {
    for (int axis = 0; axis < 3; axis++) {
      if (std::fabs(Coord(p, axis) - Coord(target, axis)) > kAxisStep_mm) {
        Coord(p, axis) = Coord(target, axis);
        emit(kAxisBit[axis]);
      }
    }
  };

  // Retract off the old face, then up to the lift height.
  if (fromFace != kNoFace) {
    int normal = LiftOff(params, fromFace, p);
    if (PointsDiffer(p, e0)) emit(kAxisBit[normal]);
  }
  if (fromFace >= kLeftEdge && fromFace <= kBottomEdge) {
    p.z = std::max(p.z, params.m_dLift);
    if (PointsDiffer(p, e0)) emit(kAxisZ);
  }

  CPathVertex offset;
  if (toFace == kTopEdge)
    offset.SetOffset(index, 'Y', -std::fabs(c - d));
  else if (toFace == kRightEdge)
    offset.SetOffset(index, 'X', -std::fabs(a - b));
  else
    offset.SetOffset(index, 'O', 0.0);
  g_aVertexList.Add(offset);

  // Approach: first off the new face along its normal, then axis by axis.
  Vec3 q = q0;
  int normal = LiftOff(params, toFace, q);
  if (PointsDiffer(p, q) && std::fabs(Coord(p, normal) - Coord(q, normal)) > kAxisStep_mm) {
    Coord(p, normal) = Coord(q, normal);
    emit(kAxisBit[normal]);
  }
  stepTo(q);

  if (!(params.m_nFlags & kDoorPathKeepTools)) {
    CPathVertex v;
    v.SetTool(index, kFaceTool[toFace]);
    g_aVertexList.Add(v);
    v.SetM(index, 6);
    g_aVertexList.Add(v);
    v.SetM(index, 3);
    g_aVertexList.Add(v);
  }
  CPathVertex plane;
  plane.SetPlane(index, kFacePlane[toFace]);
  g_aVertexList.Add(plane);

  // Down onto the target.
  if (PointsDiffer(p, q0)) stepTo(q0);
  return 1;
}

// ---- The fold

namespace {

// The edit of a move that comes out on `face` (`end` and `center` of the flat layout).
FoldEdit FoldMove(const DoorFoldParams& params, int index, const PathRecord& r, int face, int motion) {
  FoldEdit edit = {};
  edit.index = index;
  edit.end = FoldPoint(params, face, r.GetEnd());
  edit.axes = FoldAxes(face, r.m_byAxes);
  edit.arc = IsArcCode(r.m_nCode);
  if (edit.arc) {
    edit.reverse = FoldReversesArcs(face);
    edit.center = FoldPoint(params, face, r.GetCenter());
  }
  edit.markA = motion == kPlunging;
  edit.markB = face != kFace;
  return edit;
}

FoldEdit Discard(int index) {
  FoldEdit edit = {};
  edit.index = index;
  edit.discard = true;
  return edit;
}

void ShowFoldMessage(UINT cn, UINT en, const char* format, int line) {
  CString text;
  text.Format(format, LoadLangString(cn, en).GetString(), line);
  ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL CPathOptimizer::BuildVertexList(CProgressSink* sink, DoorFoldParams* params) {
  params->m_dTraverseSpeed = GetTraverseSpeed();
  params->m_dFeedSpeed = GetFeedSpeed();
  params->m_dPlungeSpeed = GetPlungeSpeed();
  double lift_mm =
      std::atof(ProfileGetText("Device", "ParkingLift(mm)", "50", g_strAppFolder + "Parameters.ini", kLiftSettingSize));
  params->m_dLift = std::isfinite(lift_mm) ? lift_mm : kDefaultLift_mm;
  g_aVertexList.RemoveAll();

  COptimizeProgress progress(sink, 0);
  int face = kNoFace, prevFace = kNoFace;
  int motion = kTraversing;
  bool first = true;
  bool failed = false, cornerLine = false, cancelled = false;
  PathRecord r, prevMove, curMove;
  std::vector<FoldEdit> edits;
  // Pieces of split rapids and arcs (source bit clear) come right before the move they
  // belong to; they are folded with it, or dropped with a rapid that changes faces.
  std::vector<int> pieces;
  std::vector<int> pieceFaces;

  for (int i = 0; GetPathRecord(i, r, FALSE); i++) {
    int code = r.m_nCode;
    if (IsMoveCode(code)) {
      Vec3 end = r.GetEnd();
      int f = ClassifyPoint(*params, end.x, end.y);
      if (f == kCorner) {
        failed = cornerLine = true;
        break;
      }
      if (!r.IsCoordChanged()) {
        pieces.push_back(i);
        pieceFaces.push_back(f);
        continue;
      }
      prevFace = face;
      face = f;
      CopyPathRecord(prevMove, curMove);
      CopyPathRecord(curMove, r);
      curMove.m_vEnd = FoldPoint(*params, face, end);
      curMove.m_vCenter = FoldPoint(*params, face, r.GetCenter());
      curMove.m_byAxes = FoldAxes(face, r.m_byAxes);
      if (first) CopyPathRecord(prevMove, curMove);

      if (face != prevFace) {
        if (code != kCodeRapid) {
          failed = true;
          break;
        }
        InsertVertices(*params, i, prevFace, face, prevMove, curMove);
        // The vertices replace the whole rapid, its pieces too.
        for (int k : pieces) edits.push_back(Discard(k));
        pieces.clear();
        pieceFaces.clear();
        edits.push_back(Discard(i));
        motion = kTraversing;
      } else if (std::find_if(pieceFaces.begin(), pieceFaces.end(), [&](int pf) { return pf != face; }) !=
                 pieceFaces.end()) {
        // An arc that bulges onto another face cuts across the boundary.
        failed = true;
        break;
      }

      // A speed tag goes before the first piece of the move it governs.
      int speedAt = pieces.empty() ? i : pieces.front();
      if (!first) {
        int wanted = code == kCodeRapid                                    ? kTraversing
                     : IsPlunge(face, prevMove.GetEnd(), curMove.GetEnd()) ? kPlunging
                                                                           : kCutting;
        if (wanted != motion) {
          motion = wanted;
          CPathVertex v;
          v.SetFeed(speedAt, motion == kTraversing ? params->m_dTraverseSpeed
                             : motion == kPlunging ? params->m_dPlungeSpeed
                                                   : params->m_dFeedSpeed);
          g_aVertexList.Add(v);
        }
      }
      PathRecord piece;
      for (int k : pieces)
        if (GetPathRecord(k, piece, FALSE)) edits.push_back(FoldMove(*params, k, piece, face, motion));
      pieces.clear();
      pieceFaces.clear();
      edits.push_back(FoldMove(*params, i, r, face, motion));
      first = false;
    } else if (IsPlaneCode(code)) {
      edits.push_back(Discard(i));
    } else if (code == kCodeTag) {
      char name[3] = {r.m_szName[0], r.m_szName[0] ? r.m_szName[1] : '\0', 0};
      if (NameIs(name, "T")) {
        if (!(params->m_nFlags & kDoorPathKeepTools)) edits.push_back(Discard(i));
      } else if (std::strcmp(name, "F") == 0) {
        edits.push_back(Discard(i));
      } else if (std::strcmp(name, "M") == 0) {
        if (r.m_dValue == 2.0 || r.m_dValue == 30.0) break;  // program end: the rest stays
        if (r.m_dValue >= kSpindleMFirst && r.m_dValue <= kSpindleMLast) edits.push_back(Discard(i));
      }
    }
    progress.Drain();
    if (progress.IsCanceled()) {
      cancelled = true;
      break;
    }
  }

  if (cancelled || failed) {
    g_aVertexList.RemoveAll();
    if (cornerLine)
      ShowFoldMessage(IDS_OPT_DISABLED_AREA_CN, IDS_OPT_DISABLED_AREA_EN, "%s #%d", (int)r.m_nLine);
    else if (failed)
      ShowFoldMessage(IDS_OPT_PLANE_CHANGE_CN, IDS_OPT_PLANE_CHANGE_EN, "%s, line #%d", (int)r.m_nLine);
    return FALSE;
  }
  for (const FoldEdit& edit : edits) {
    if (edit.discard) {
      SetDiscard(edit.index, 1);
      continue;
    }
    SetEnd(edit.index, edit.end);
    SetAxes(edit.index, edit.axes);
    if (edit.arc) {
      if (edit.reverse) ReverseArc(edit.index);
      SetCenter(edit.index, edit.center);
    }
    if (edit.markA) SetMarkA(edit.index);
    if (edit.markB) SetMarkB(edit.index);
  }
  InsertFoldVertices();
  return TRUE;
}

void CPathOptimizer::InsertFoldVertices() {
  ElementInsertions items;
  items.reserve((size_t)g_aVertexList.GetSize());
  for (int k = 0; k < g_aVertexList.GetSize(); k++) {
    const CPathVertex& v = g_aVertexList[k];
    CPathElement* element = nullptr;
    if (v.m_nCode == -1) {
      static const char* const kNames[] = {"F", "T", "M", "#O", "#X", "#Y", "#Z"};
      bool known = false;
      for (const char* n : kNames) known = known || NameIs(v.m_szName, n);
      if (!known) continue;
      CPathTagElement* tag = new (std::nothrow) CPathTagElement;
      if (!tag) continue;
      tag->SetName(v.m_szName);
      tag->m_dValue = v.m_dValue;
      element = tag;
    } else if (IsMoveCode((unsigned)v.m_nCode)) {
      CPathLineElement* line = new (std::nothrow) CPathLineElement((WORD)v.m_nCode);
      if (!line) continue;
      line->m_byAxes = (BYTE)v.m_nAxes;
      line->m_vEnd = v.m_vPoint;
      line->m_nTagStart = 1;
      UpdateExtents((WORD)v.m_nCode, (BYTE)v.m_nAxes, v.m_vPoint);
      element = line;
    } else if (IsPlaneCode((unsigned)v.m_nCode)) {
      element = new (std::nothrow) CPathElement((WORD)v.m_nCode);
      if (!element) continue;
    } else {
      continue;
    }
    items.emplace_back(v.m_nIndex, element);
  }
  std::stable_sort(
      items.begin(), items.end(),
      [](const ElementInsertions::value_type& x, const ElementInsertions::value_type& y) { return x.first < y.first; });
  InsertElements(items);
  g_aVertexList.RemoveAll();
}
