// CPathOptimizer: the NC program object that rewrites its own element list in place
// after a load.
//
// The main dialog keeps one; an import resets it, loads the file and calls Optimize,
// which runs a fixed sequence of passes over the list:
//   1. merging of nearly collinear feed moves (optional, "PointFilter"),
//   2. the corner pass: corner angles, corner radii, new tags at sharp corners and,
//      optionally, tangent arcs in place of sharp corners,
//   3. the door fold (only for a door path): the flat layout of a door's face and four
//      edges folded into machine coordinates, with retract/approach moves between faces,
//   4. the marks pass: cumulative path length per move, tag count, toolpath length,
//      used tools and the tool changes,
//   5. tool preparation (only with a spindle warm-up time): an "M" 100 + tool tag far
//      enough ahead of each tool change for the spindle to come up to speed.
// [Optimization] and [Device] of "Parameters.ini" drive the passes: they are read into
// one OptimizerSettings at every reset (the force-break lists when the object is made)
// and handed to the passes. The passes read elements only as PathRecords and change them
// only through the per-index setters of CNCProgram, apart from inserting new elements.
#pragma once

#include <vector>

#include "nc/nc_program.h"

// A tool change found by the marks pass, or a preparation tag still to be inserted.
struct ToolMark {
  int m_nTool = 0;       // tool number
  int m_nIndex = 0;      // element index
  double m_dMark = 0.0;  // cumulative path length there (mm)
};

// The door-path request of an import: the door's face as a rectangle of the flat layout.
struct DoorPathArea {
  double m_dLeft = 0.0;    // left edge x (mm)
  double m_dRight = 0.0;   // right edge x (mm)
  double m_dTop = 0.0;     // top edge y (mm)
  double m_dBottom = 0.0;  // bottom edge y (mm)
  WORD m_nFlags = 0;       // kDoorPath* bits
};

enum : WORD {
  kDoorPathImport = 0x0001,     // import as a door path
  kDoorPathKeepTools = 0x0002,  // keep the file's own T codes, generate no tool change
};

// Parameters of the door fold, made from a DoorPathArea.
struct DoorFoldParams {
  double m_dRight = DBL_MAX;      // A: right bound x (mm); DBL_MAX when there is no right edge
  double m_dLeft = 0.0;           // B: left bound x (mm)
  double m_dTop = DBL_MAX;        // C: top bound y (mm); DBL_MAX when there is no top edge
  double m_dBottom = 0.0;         // D: bottom bound y (mm)
  double m_dTraverseSpeed = 0.0;  // mm/s, the program's, copied when the fold starts
  double m_dFeedSpeed = 0.0;      // mm/s
  double m_dPlungeSpeed = 0.0;    // mm/s
  double m_dLift = 0.0;           // retract height off a face (mm), [Device] "ParkingLift(mm)"
  WORD m_nFlags = 0;              // kDoorPath* bits
};

// What drives the passes, read from "Parameters.ini" (the keys in the notes).
struct OptimizerSettings {
  double m_dSpindleWarmup = 0.0;       // s; 0 switches tool preparation off ([Device] "SpindleWarmup(second)")
  CStringArray m_astrBreakGCodes;      // mode codes that force a new tag while merging ("ForceBreak(G-Codes)")
  CStringArray m_astrBreakMCodes;      // M values that force a new tag ("ForceBreak(M-Codes)")
  CStringArray m_astrBreakWords;       // tag names that force a new tag ("ForceBreak(G-Words)")
  double m_dCosMaxAngle = 0.0;         // corners below this angle are corners ("MaxAngle")
  double m_dCosMinAngle = 0.0;         // corners below this angle start a new tag ("MinAngle")
  double m_dCornerDepart = 0.05;       // corner departure of the radius rule (mm), >= 0.01
  int m_bMergeByPathError = 0;         // merging measures path length error, not chord height
  double m_dChordHeight = 0.005;       // below it a corner counts as straight (mm) ("CordHeight(mm)")
  double m_dCornerArcMinRadius = 0.2;  // least radius of a corner arc (mm) ("MinArc(mm)")
  double m_dCornerArcDeviation = 0.2;  // distance of a corner arc from the corner (mm) ("ErrorDiff(mm)")
  int m_bCornerToArc = 0;              // sharp corners become tangent arcs ("Sharp2Arc")
  int m_nCornerArcPlanes = 100;        // digits: hundreds XY, tens YZ, units ZX; 0 = not allowed
  int m_bMerge = 1;                    // the merging pass runs ("PointFilter")
  double m_dMergeChordHeight = 0.005;  // merging tolerance (mm), >= 0.0001
  double m_dMergeSegLimit = 0.1;       // merging least segment length (mm), >= 0.0001
  double m_dCosMergeMinAngle = 0.0;    // a vertex at least this straight may go ("MergeMinAngle(degree)")
};

// One entry of the door fold's vertex list: an element to insert before element
// m_nIndex once the fold has run through the list.
class CPathVertex {
 public:
  CPathVertex() = default;

  // Each setter clears the vertex first.
  void SetPoint(int index, WORD axes, const Vec3& point);  // a rapid to point
  void SetPlane(int index, int planeCode);                 // 17, 18 or 19
  void SetTool(int index, int tool);                       // tag "T"
  void SetM(int index, double value);                      // tag "M"
  void SetOffset(int index, char axis, double value);      // tag "#" + axis
  void SetFeed(int index, double speed_mm_s);              // tag "F"

  int m_nIndex = 0;       // element index the vertex goes before
  short m_nCode = -1;     // -1 tag, 0 rapid, 17-19 plane code
  WORD m_nAxes = 0;       // axis mask of a rapid (kAxis*)
  char m_szName[8] = {};  // tag name
  double m_dValue = 0.0;  // tag value
  Vec3 m_vPoint;          // end point of a rapid (mm)

 private:
  void SetTag(int index, const char* name, double value);
};

// The door fold's vertices, collected during the fold and inserted at its end.
extern CArray<CPathVertex, const CPathVertex&> g_aVertexList;

// Geometry of the merging and corner passes (epsilon: g_dDoubleZero).
// The angle at b between b-a and b-c (radians), or -1 when either leg is shorter than
// the epsilon.
double VertexAngle(const Vec3& a, const Vec3& b, const Vec3& c);
// Its cosine, without going through the angle; false where the angle is -1.
bool VertexCosine(const Vec3& a, const Vec3& b, const Vec3& c, double& cosine);
// How far b lies from the chord a-c (mm).
double PointSegmentDistance(const Vec3& a, const Vec3& b, const Vec3& c);
// Direction of the shorter arc from a to b about c in the plane (kPlaneXY, kPlaneXZ,
// kPlaneYZ): 2 clockwise, 3 counter-clockwise, -1 undecided (a half turn).
int TurnDirection(int plane, const Vec3& a, const Vec3& b, const Vec3& c);
// The points differ by more than 0.0001 on some axis.
BOOL PointsDiffer(const Vec3& a, const Vec3& b);
// Field-by-field copy (not the reserved bytes); a "T" tag's tool comes along as the
// destination's own copy.
void CopyPathRecord(PathRecord& dst, const PathRecord& src);

class COptimizeProgress;

class CPathOptimizer : public CNCProgram {
 public:
  CPathOptimizer();
  ~CPathOptimizer() override;

  // CNCProgram::Reset, then the settings are read again (the force-break lists stay).
  void Reset(CProgressSink* progress = nullptr) override;
  // Reads the settings table of [Optimization] and [Device] into the settings.
  void LoadSettings();
  // The three force-break lists; read only when the object is made.
  void LoadForceBreakSettings();
  // Upper-cases text and cuts it at ",", ".", "|", blank, "-" and TAB into list
  // (non-empty, trimmed pieces).
  static void SplitBreakList(const char* text, CStringArray& list);
  const OptimizerSettings& GetSettings() const { return m_settings; }
  // Replaces the settings read from the file until the next reset.
  void SetSettings(const OptimizerSettings& settings);

  // Runs the passes over the loaded list. `door` (may be null) asks for the door fold.
  // FALSE when the operator cancelled (what was changed by then stays changed), or when
  // the door fold failed (told by message box; the list is then as it was before the
  // fold): the import must stop.
  BOOL Optimize(CProgressSink* progress, const DoorPathArea* door);

  // ---- Merging and corners
  // Whether the record (a tag or a mode code) forces a new tag while merging.
  BOOL IsForceBreak(const PathRecord& rec) const;
  // Whether the dropped points (zero-length feed ends) all lie on the chord a-b.
  BOOL DroppedPointsOnChord(const Vec3& a, const Vec3& b) const;
  // Chord path p0-p1-e minus the polyline through the dropped points (mm).
  double MergePathError(const Vec3& p0, const Vec3& p1, const Vec3& e) const;
  // Tangent arc in the corner p0-p1-p2: fills `list` with the elements to insert before
  // the element ending at p2 (plane codes when needed, the arc's pieces, the arc) and
  // returns the arc code 2 or 3, or -1 when the corner gets no arc.
  int BuildCornerArc(const Vec3& p0, const Vec3& p1, const Vec3& p2, double leastRadius_mm, double deviation_mm,
                     Vec3& tangentA, Vec3& tangentB, Vec3& center, int& plane, CPathElementArray& list);

  // ---- Door fold
  // The fold over the whole list. FALSE when it failed (a move in a disabled corner, a
  // face change on a cutting move; the operator is told) or was cancelled: then the list
  // is as it was. The program end ends it with TRUE.
  BOOL BuildVertexList(CProgressSink* progress, DoorFoldParams* params);
  // Appends the retract, offset, approach, tool change and plane vertices of a rapid
  // from `fromFace` to `toFace`. 1 when generated, 0 for the same face, -1 when the
  // current move is not a rapid.
  int InsertVertices(const DoorFoldParams& params, int index, int fromFace, int toFace, const PathRecord& prev,
                     const PathRecord& cur);

  // ---- Marks and tool preparation
  // Inserts "M" 100 + tool at index; FALSE when out of memory.
  BOOL InsertToolPrepareTag(int index, int tool);
  // A feed or arc follows `start` before the program end ("M" 2 or 30).
  BOOL HasCuttingMoves(int start) const;
  // The "T" tags the last marks pass found, in list order.
  const CArray<ToolMark, const ToolMark&>& GetToolMarks() const { return m_aToolMarks; }

  // 0 after every reset; the job record copies it.
  int GetCount() const { return m_nCount; }

 private:
  BOOL MergePass(const OptimizerSettings& s, COptimizeProgress& progress);
  BOOL CornerPass(const OptimizerSettings& s, COptimizeProgress& progress);
  BOOL MarksPass(COptimizeProgress& progress);
  BOOL ToolPreparePass(const OptimizerSettings& s, COptimizeProgress& progress);
  void InsertFoldVertices();
  CPathTagElement* NewToolPrepareTag(int tool) const;

  OptimizerSettings m_settings;
  // Working state of the passes; each pass empties what it uses first.
  CArray<ToolMark, const ToolMark&> m_aToolMarks;     // "T" tags of the marks pass, in order
  CArray<ToolMark, const ToolMark&> m_aPrepareMarks;  // preparation tags to insert
  int m_nPlaneCode = kCodePlaneXY;                    // plane in force at the element being processed
  CArray<Vec3, const Vec3&> m_aDroppedPoints;         // merging: dropped before the current vertex
  CArray<Vec3, const Vec3&> m_aPendingPoints;         // merging: dropped after the current vertex
  int m_nCount = 0;                                   // 0 after every reset; the job record copies it
};
