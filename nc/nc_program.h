// CNCProgram: the NC program object of the operator program.
//
// It owns the ordered list of path elements, the state the format readers keep between
// lines (the G-code interpreter's through its reader object), the two bounding boxes and
// the orientation of one program. A program is reset, loaded once (G-code, HPGL or a CAM
// file), optimised (CPathOptimizer) and then read (elements, extents, records) until the
// next reset. The main window, the previews, the job manager, the editor and the path
// demo hold one each.
//
// Its state is private. Consumers read it through the const accessors below. The format
// readers write it through CNCReadContext (nc/read_context.h) and append only through the
// adders (AddCode, AddTag, AddLine, AddArc), which stamp the line, keep the boxes, split
// rapids and arcs and hold the element limit. The optimiser edits elements through the
// per-index setters. Nothing here shows a window except the one load report, which goes
// through the platform's message box hook.
//
// Layers: this library (nc) holds the object, the element list, records and building.
// Loading a file needs the readers: LoadFromNCFile, InterpretLine, InterpretHpglLine and
// AddCamRecord are defined by nc/loader (library nc_loader), which links nc_formats and
// nc_interp; a caller that loads files links nc_loader.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/path_record.h"
#include "nc/gcode_reader.h"
#include "nc/path_element.h"
#include "platform/core.h"

// Characters of the load report beyond which the readers add no further line.
constexpr int kNCReportLimit = 2048;
// Most elements one program may hold: at most 88 bytes each with the list, about 1.8 GB. A program
// that needs more (an endless loop that moves) fails its load at that element.
constexpr int kMaxProgramElements = 20000000;
// What one element takes, as the callers of ReserveMemory count it (bytes).
constexpr size_t kElementBytes = 107;
// Default chord height limit of arc splitting (mm).
constexpr double kDefaultArcTolerance_mm = 0.005;
// Default length of one HPGL plotter unit (mm).
constexpr double kDefaultHpglScale_mm = 0.005;
// A "T" tag value at or past this names no tool (tags may carry any double).
constexpr double kToolNumberLimit = 1e9;

// The modal state of a load that every format reader keeps in the program from one line
// (record) to the next. Reset with the program.
struct NCReadState {
  Vec3 m_vAxisFactor = Vec3(1, 1, 1);  // per-axis factors of the load
  double m_dUnitScale = 1.0;           // mm per unit of the file: 25.4 after an inch selection
  int m_bAbsolute = 1;                 // XYZ absolute (1) or incremental (0); [UnitSystem] "XYZAbs"
  int m_bIjkAbsolute = 0;              // arc centre words absolute (1) or incremental (0)
  BYTE m_byPlane = kPlaneXY;           // kPlaneXY, kPlaneXZ, kPlaneYZ
  Vec3 m_vLastPoint;                   // end of the last appended move: the start of the next (mm)
  Vec3 m_vNewPoint;                    // target a reader is building (mm)
  int m_nLine = -1;                    // line (record) being read; stamped into each new element
  int m_bWordSeen = 0;                 // the G-code reader has met the program's first word
  int m_bProgramEnd = 0;               // the program end was reached: further lines are refused
  int m_bStop = 0;                     // a fatal error stopped reading
};

// What the HPGL reader keeps between lines.
struct HpglState {
  Vec3 m_vHpglScale;     // mm per plotter unit and axis (kept by a reset)
  int m_bHpgl3D = 0;     // an HPGL "ZZ" with 1 was read
  int m_nHpglMode = -1;  // coordinate lists: -1 unknown, 0 2D, 1 3D
  int m_bPenUp = 1;      // pen state
};

// The two boxes of a program (mm): rapids, and feeds with arcs. An empty box has its
// minimum at +DBL_MAX and its maximum at -DBL_MAX.
struct PathExtents {
  Vec3 m_vTravMin, m_vTravMax;  // rapids
  Vec3 m_vCutMin, m_vCutMax;    // feeds and arcs
};

// The two in-plane coordinates (plane selector kPlaneXY, kPlaneXZ, kPlaneYZ; any other:
// all three) differ by less than 1e-12 each.
bool IsSamePointInPlane(int plane, const Vec3& a, const Vec3& b);

// Arc splitting. An arc from `start` to `end` about `center` becomes 2^k equal pieces,
// k the smallest depth at which a piece's chord height falls below `tolerance`; at most
// kMaxArcPieces. An arc whose start and end radii differ by more than 0.002 mm, whose
// radius is nil or whose coordinates are not finite stays one piece.
constexpr int kMaxArcSplitDepth = 16;
constexpr int kMaxArcPieces = 1 << kMaxArcSplitDepth;
// The pieces the arc (code 2 or 3) needs, the arc itself included; -1 when it needs more
// than kMaxArcPieces, or the plane selector is none of the three (then 1).
int CountArcPieces(WORD code, BYTE plane, const Vec3& start, const Vec3& end, const Vec3& center, double tolerance);
// Appends to `list` the pieces of `arc` before its own end (the arc element itself ends
// the last piece and is appended by the caller), each a copy of the arc with its own end
// point and source bit clear. An unset arc radius becomes the end radius. FALSE, with
// nothing appended, when the arc needs more than kMaxArcPieces or memory runs out.
BOOL SplitArc(CPathArcElement& arc, BYTE plane, CPathElementArray& list, const Vec3& start, const Vec3& end,
              const Vec3& center, double tolerance);

// Elements to insert: each goes before the element that had that index; ones with the
// same index keep their order. Sorted by index.
typedef std::vector<std::pair<int, CPathElement*>> ElementInsertions;

class CNCReadContext;
class CTextLineFile;

class CNCProgram {
 public:
  CNCProgram();
  virtual ~CNCProgram();
  CNCProgram(const CNCProgram&) = delete;
  CNCProgram& operator=(const CNCProgram&) = delete;

  // ---- Life cycle

  // Back to the state before a load: settings reread ([UnitSystem], [ProgramPrefix],
  // [WizardRoot]), reader state new, boxes empty, elements freed (with progress when a
  // sink is given). The host's speeds, HPGL scale and element limit are kept.
  virtual void Reset(CProgressSink* progress = nullptr);
  // Loads a file of any kind ("GCODE", "HPGL", "BNC") into the list; the caller resets
  // first, loading twice appends. TRUE only when the file was read to its end or its
  // program end, without cancel and without a fatal error; what was read before a
  // failure stays in the list. Errors and warnings are shown once at the end. (nc_loader)
  BOOL LoadFromNCFile(CProgressSink* progress, const char* path, const Vec3& axisFactor);
  // Deletes every element.
  void FreeElements(CProgressSink* progress = nullptr);
  // Room ahead in the list for the elements of `expectedBytes` (kElementBytes each), so
  // that a big load does not copy the list as it grows; without the memory the list just
  // grows as needed.
  void ReserveMemory(size_t expectedBytes);

  // ---- The loaded program, for previews, the job writer and the job manager

  int GetElementCount() const { return m_aElements.GetSize(); }
  // Element `index`, or null past the end.
  const CPathElement* GetElement(int index) const {
    return index >= 0 && index < m_aElements.GetSize() ? m_aElements[index] : nullptr;
  }
  // The optimiser's values of element `index` (defaults for an element that has none,
  // for one that is no move and past the end).
  MoveExtras GetMoveExtras(int index) const {
    return index >= 0 && (size_t)index < m_aExtras.size() ? m_aExtras[(size_t)index] : MoveExtras();
  }
  // Element `index` as a record; end point and centre through the orientation when
  // `transform` is set. FALSE past the end.
  BOOL GetPathRecord(int index, PathRecord& rec, BOOL transform) const;
  // The next source element from `index` on, untransformed; `index` moves past it.
  BOOL GetNextMoveRecord(int& index, PathRecord& rec) const;
  // Used tools: "T<number>" per tool, run together, in order of appearance.
  CString GetUsedTools() const { return m_strUsedTools; }
  BOOL HasUsedTool(int tool) const;
  // Tags (the progress units of a job), counted by the optimiser's marks pass or by
  // AddPathRecord.
  int GetTagCount() const { return m_nTagCount; }
  // Toolpath length without rapids (mm), from the optimiser's marks pass; for a program
  // rebuilt from stored records (AddPathRecord measures nothing), set by whoever stored
  // them.
  double GetPathLength() const { return m_dPathLength; }
  void SetPathLength(double length_mm) { m_dPathLength = length_mm; }
  // "GCODE", "HPGL", "BNC" or "" (the kind of the last file loaded).
  CString GetFileKind() const { return m_strKind; }
  BOOL IsHpgl2D() const { return m_hpgl.m_nHpglMode == 0; }
  BOOL IsHpgl3DSeen() const { return m_hpgl.m_bHpgl3D; }
  // The collected error and warning text of the last load.
  const CString& GetErrors() const { return m_strErrors; }
  // Code (0-3) of the first move appended; -1 none yet.
  int GetFirstMoveCode() const { return m_nFirstMoveCode; }
  // Number of the last line (CAM record) read; -1 before a load.
  int GetLastLine() const { return m_read.m_nLine; }
  const NCReadState& GetReadState() const { return m_read; }
  const HpglState& GetHpglState() const { return m_hpgl; }
  // The G-code interpreter of this program (its state survives a load); null before
  // the first G-code line.
  const CGCodeReader* GetGCodeReader() const { return m_pGCode.get(); }

  // Extents. X and Y of the extent from the cutting box, Z over both boxes; each corner
  // through the orientation first when `transform` is set.
  const PathExtents& GetExtents() const { return m_box; }
  void GetCutMin(Vec3& out, BOOL transform) const;
  void GetCutMax(Vec3& out, BOOL transform) const;
  void GetExtentMin(Vec3& out, BOOL transform) const;
  void GetExtentMax(Vec3& out, BOOL transform) const;
  void GetExtentSize(Vec3& out, BOOL transform) const;
  BOOL GetTraverseZRange(double& zMin, double& zMax, BOOL transform) const;
  int GetOrientation() const { return m_nOrientation; }
  const TransformMatrix& GetOrientationMatrix() const { return m_mOrientation; }

  // ---- Host settings

  double GetTraverseSpeed() const { return m_dTraverseSpeed; }
  double GetFeedSpeed() const { return m_dFeedSpeed; }
  double GetPlungeSpeed() const { return m_dPlungeSpeed; }
  void SetTraverseSpeed(double speed_mm_s) { m_dTraverseSpeed = speed_mm_s; }
  void SetFeedSpeed(double speed_mm_s) { m_dFeedSpeed = speed_mm_s; }
  void SetPlungeSpeed(double speed_mm_s) { m_dPlungeSpeed = speed_mm_s; }
  // Length of one HPGL unit (mm), the same on every axis.
  void SetHpglScale(double scale_mm);
  double GetArcTolerance() const { return m_dArcTolerance; }
  void SetArcTolerance(double tolerance_mm) { m_dArcTolerance = tolerance_mm; }
  // Most elements the program may hold (kMaxProgramElements unless lowered).
  void SetElementLimit(int elements) { m_nElementLimit = elements; }
  // Subroutine folders, each ending with "\".
  const CString& GetPrefixFolder() const { return m_strPrefix; }
  const CString& GetWizardFolder() const { return m_strWizard; }
  // Host tool groups: each text parsed as a tool-group comment; when any were given,
  // the comments of the file are ignored.
  void SetToolGroups(const CStringArray& groups);
  BOOL IgnoresToolGroups() const { return m_bIgnoreToolGroups; }
  // Orientation type 1-8 (rotations and mirrors that keep the cutting box at the origin)
  // and Z reversal; the X and Y flips are accepted and have no effect.
  void SetOrientation(int flipX, int flipY, int flipZ, int type, int reserved = 0);
  // The boxes of a stored job, shown without loading it.
  void SetExtentsFromJob(const Vec3& feedMin, const Vec3& feedMax, double traverseZMin, double traverseZMax);

  // ---- Building: the readers, and the job manager rebuilding a stored job

  // A mode code (not 0-3).
  BOOL AddCode(WORD code);
  // A named value; takes over `tool` (may be null). FALSE for an empty name.
  BOOL AddTag(const char* name, double value, ToolRecord* tool = nullptr);
  // A rapid (0) or feed (1) from the current point to `end`.
  BOOL AddLine(WORD code, BYTE axes, const Vec3& end);
  // An arc (2 CW, 3 CCW) from the current point to `end` about `center` in `plane`,
  // split into pieces whose chord height stays below the arc tolerance.
  BOOL AddArc(WORD code, BYTE plane, BYTE axes, const Vec3& end, const Vec3& center);
  // Appends an element rebuilt from a record; FALSE for a null record.
  BOOL AddPathRecord(const PathRecord* rec);
  // Each adder returns FALSE, appends nothing and stops the load (a report entry, the
  // stop flag) when memory runs out or the element limit is reached.

  // "(@T@T<group>:<head>,<head>...)" appends an "@T" tag with value
  // mask + group / 100 + 0.0001 (bit h-1 of the mask per head h).
  void ParseToolGroupComment(const char* text);
  // Cuts the outermost bracketed comment out of `line` (the rest of the line closes
  // up) and returns its text; "" when the line has none. An unclosed comment takes the
  // rest of the line.
  static CString ExtractComment(char* line, char open, char close);
  // Adds "T%d" to the used tools unless that exact tool number is listed already.
  BOOL AddUsedTool(int tool);

  // Report of the load. A reader's line entry ("Line %d: ...\r\n") is added only while
  // the report is shorter than kNCReportLimit characters, with a one-time "Too much error
  // messages . . ." once it nears that size; FALSE when the entry was dropped. `always`
  // adds it whatever the size (the line that ends a load).
  BOOL AppendLineReport(const CString& entry, BOOL always = FALSE);
  // The loader's own entries: after "\r\n" when the text is not empty; never capped.
  void AppendLoadError(const CString& text);

  // One G-code line, handed to the interpreter; FALSE ends the load. (nc_loader)
  BOOL InterpretLine(int line, char* text);
  // One HPGL statement or line; FALSE when the program had already ended or a fatal
  // error stopped reading. (nc_loader)
  BOOL InterpretHpglLine(int line, const char* text);
  // One CAM record (4-byte head and payload, `size` bytes in all); FALSE when the
  // program had ended or a fatal error stopped reading. (nc_loader)
  BOOL AddCamRecord(int record, const BYTE* data, int size);

  // ---- Editing by the optimiser: per-index setters. FALSE (nothing done) past the end
  // or for a code the setter does not act on.

  BOOL SetTagStart(int i, DWORD value);
  BOOL LimitRadius(int i, double radius_mm);
  BOOL SetMark(int i, double length_mm);
  BOOL SetRadius(int i, double radius_mm);
  BOOL SetEnd(int i, const Vec3& end);
  BOOL SetCenter(int i, const Vec3& center);
  BOOL ReverseArc(int i);
  BOOL SetMarkA(int i);
  BOOL SetMarkB(int i);
  BOOL SetAxes(int i, BYTE axes);
  BOOL SetFeedEnd(int i, const Vec3& end, double radius_mm);
  BOOL SetAngle(int i, double angle_deg);
  BOOL SetDeviation(int i, double deviation_mm);
  // Marks an element discarded; a discarded move hands its axis bits on to the next
  // move that stays.
  BOOL SetDiscard(int i, DWORD value);

  void ResetExtents();
  // The box of `code` (rapid, or feed and arc) grows by `point`; other codes grow nothing.
  void UpdateExtents(WORD code, BYTE axes, const Vec3& point);
  // Corners still at +-DBL_MAX become 0: an empty box reads as the origin.
  void NormalizeExtents();

 protected:
  // Puts new elements into the list in one sweep (ElementInsertions).
  void InsertElements(const ElementInsertions& items);
  // The totals of the optimiser's marks pass; used tools are added with AddUsedTool.
  void SetTotals(int tagCount, double pathLength_mm) {
    m_nTagCount = tagCount;
    m_dPathLength = pathLength_mm;
  }
  void ClearUsedTools() { m_strUsedTools.Empty(); }

 private:
  friend class CNCReadContext;

  // Element i when it is a move (an arc); null otherwise.
  CPathLineElement* MoveAt(int i) const;
  CPathArcElement* ArcAt(int i) const;
  // The optimiser's values of element i, the array made (or grown) to cover it; null
  // when memory runs out.
  MoveExtras* ExtrasAt(int i);
  // The radius of move i: an arc's own, a straight move's among its extras (made when
  // `make`); null for no move, for a straight move without extras unless `make`, and when
  // memory runs out.
  double* RadiusAt(int i, bool make);
  // Room for `count` more elements; at the limit the load stops.
  BOOL MakeRoom(int count);
  // Notes a tag of the arena, to be destroyed with the list; FALSE when memory runs out.
  BOOL KeepArenaTag(CPathTagElement* tag);
  // A failed append: the element is deleted and the load stops with `reason`.
  BOOL FailAppend(CPathElement* element, const CString& reason);
  BOOL OutOfMemory(CPathElement* element);
  void ReadFolderSettings();
  // The loader's parts (nc_loader).
  BOOL LoadTextLines(CProgressSink* progress, ULONGLONG total);
  BOOL LoadHpglStatements(CProgressSink* progress, CTextLineFile& file);
  void ReportUnterminatedStatement(int line, const std::string& text);
  BOOL LoadCamRecords(CProgressSink* progress, const char* path);
  void ShowLoadReport();
  CGCodeReader& GCodeReader();

  // Host settings (kept by a reset unless said otherwise).
  double m_dTraverseSpeed = 320.0;                   // mm/s; back to 320 at every reset
  double m_dFeedSpeed = 0.0;                         // mm/s
  double m_dPlungeSpeed = 0.0;                       // mm/s
  int m_bIgnoreToolGroups = 0;                       // host tool groups given: the file's are ignored (reset: 0)
  CString m_strPrefix;                               // subroutine folder, ends with "\" (from the settings)
  CString m_strWizard;                               // wizard folder (subroutines too), ends with "\"
  double m_dHpglScale = kDefaultHpglScale_mm;        // HPGL scale last set by the host
  double m_dArcTolerance = kDefaultArcTolerance_mm;  // chord height limit of arc splitting (mm)
  int m_nElementLimit = kMaxProgramElements;

  // Reader state.
  NCReadState m_read;
  HpglState m_hpgl;
  std::unique_ptr<CGCodeReader> m_pGCode;  // the interpreter; made by the first G-code line

  // The program.
  CPathElementArray m_aElements;               // owned
  std::vector<MoveExtras> m_aExtras;           // by element index; past its end all default
  ElementArena m_arena;                        // the blocks of the elements the adders make
  std::vector<CPathElement*> m_aArenaTags;     // the tags among them
  std::vector<CPathElement*> m_aPoolElements;  // the elements inserted (from the pool)
  int m_nFirstMoveCode = -1;                   // code of the first move appended; -1 none yet
  PathExtents m_box;
  int m_nOrientation = 1;  // orientation type 1-8
  TransformMatrix m_mOrientation;
  double m_dPathLength = 0.0;  // toolpath length (mm), from the optimiser
  int m_nTagCount = 0;         // tags (progress units)
  CString m_strUsedTools;      // "T%d" per tool, run together
  CString m_strErrors;         // report of the load
  CString m_strKind;           // kind of the file loaded
};
