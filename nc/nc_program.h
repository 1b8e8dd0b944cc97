// CNCProgram: the NC program object of the operator program.
//
// It owns the ordered list of path elements, the G-code interpreter's state, the CAM file
// container, the two bounding boxes and the orientation of one program. A program is
// reset, loaded once (G-code, HPGL or a CAM file), optimised and then read (elements,
// extents, records) until the next reset.
//
// The format readers (the HPGL and CAM readers here, the G-code interpreter in nc/interp)
// and the optimiser work on the state members directly; they append only through the
// adders (AddCode, AddTag, AddLine, AddArc), which stamp the line, keep the boxes and
// split rapids and arcs. Nothing here shows a window except the one load report, which
// goes through the platform's message box hook.
#pragma once

#include <memory>

#include "foundation/geometry.h"
#include "foundation/path_record.h"
#include "nc/formats/cam_file.h"
#include "nc/gcode_reader.h"
#include "nc/path_element.h"
#include "nc/text_line_file.h"
#include "platform/core.h"

// "GCODE", "HPGL", "BNC" (a CAM file) or "" for a file of no kind (missing, 9 bytes or
// fewer, binary, or not recognised; the operator is told).
CString DetectNCFileKind(const char* path);
// Votes over at most lineLimit non-empty lines: "GCODE", "HPGL", "UNKNOWN", or "ERROR"
// when the file cannot be opened.
CString SniffNCText(const char* path, int lineLimit);

// The two in-plane coordinates (plane selector 0 XY, 4 XZ, 8 YZ; any other: all three)
// differ by less than 1e-12 each.
bool IsSamePointInPlane(int plane, const Vec3& a, const Vec3& b);

class CNCProgram {
 public:
  CNCProgram();
  virtual ~CNCProgram();
  CNCProgram(const CNCProgram&) = delete;
  CNCProgram& operator=(const CNCProgram&) = delete;

  // ---- Program object and load (nc_program.cpp, nc_load.cpp)

  // Back to the state before a load: settings reread, interpreter state new, boxes
  // empty, elements freed (with progress when a sink is given).
  void Reset(CProgressSink* progress = nullptr);
  // Loads a file of any kind into the list. TRUE when it was read to its end (or its
  // program end) without cancel and without a fatal error. Errors and warnings are shown
  // once at the end. The caller resets first; loading twice appends.
  BOOL LoadFromNCFile(CProgressSink* progress, const char* path, const Vec3& axisFactor);
  // Deletes every element; drains the message queue every 200 elements.
  void FreeElements(CProgressSink* progress = nullptr);
  // The list grows as needed; callers announce big loads, nothing is reserved ahead.
  void ReserveMemory(size_t expectedBytes) {}

  int GetElementCount() const { return m_aElements.GetSize(); }
  const CPathElement* GetElement(int index) const {
    return index >= 0 && index < m_aElements.GetSize() ? m_aElements[index] : nullptr;
  }
  CString GetUsedTools() const { return m_strUsedTools; }
  int GetTagCount() const { return m_nTagCount; }
  CString GetFileKind() const { return m_strKind; }
  BOOL IsHpgl2D() const { return m_nHpglMode == 0; }
  BOOL IsHpgl3DSeen() const { return m_bHpgl3D; }
  // The collected error and warning text of the last load.
  const CString& GetErrors() const { return m_strErrors; }

  void SetTraverseSpeed(double speed_mm_s) { m_dTraverseSpeed = speed_mm_s; }
  void SetFeedSpeed(double speed_mm_s) { m_dFeedSpeed = speed_mm_s; }
  void SetPlungeSpeed(double speed_mm_s) { m_dPlungeSpeed = speed_mm_s; }
  // Length of one HPGL unit (mm), the same on every axis.
  void SetHpglScale(double scale);
  // Host tool groups: each text parsed as a tool-group comment; when any were given,
  // the comments of the file are ignored.
  void SetToolGroups(const CStringArray& groups);
  // "(@T@T<group>:<head>,<head>...)" appends an "@T" tag with value
  // mask + group / 100 + 0.0001 (bit h-1 of the mask per head h).
  void ParseToolGroupComment(const char* text);
  // Cuts the outermost bracketed comment out of `line` (the rest of the line closes
  // up) and returns its text; "" when the line has none. An unclosed comment takes the
  // rest of the line.
  CString ExtractComment(char* line, char open, char close);

  // Report of the load. A reader's line entry ("Line %d: ...\r\n") is added only while
  // the report is shorter than 2048 characters, with a one-time "Too much error
  // messages . . ." once it nears that size. Returns FALSE when the entry was dropped.
  BOOL AppendLineReport(const CString& entry);
  // The loader's own entries ("Command too long" ...): after "\r\n" when the text is not
  // empty.
  void AppendLoadError(const CString& text);
  // Adds "T%d" to the used tools unless that exact tool number is listed already.
  BOOL AddUsedTool(int tool);
  BOOL HasUsedTool(int tool) const;

  // ---- Readers of the text formats

  // One G-code line, handed to the interpreter; FALSE ends the load.
  BOOL InterpretLine(int line, char* text);
  // One trimmed, upper-cased HPGL line; FALSE when the program had already ended or a
  // fatal error stopped reading.
  BOOL InterpretHpglLine(int line, const char* text);
  // The coordinate list of a PA/PR/PU/PD command (its text up to the first ";") into
  // points; TRUE when at least one was read. Settles the 2D/3D form of the file while it
  // is unknown.
  BOOL SplitHpglItems(CArray<Vec3, const Vec3&>& points, BYTE& axes, const char* command);
  // AA/AR parameters (the command up to its ";"); FALSE without a centre x and y.
  BOOL ParseHpglNumberList(double& cx, double& cy, double& sweep_deg, const char* command);
  // One CAM record (4-byte head and payload, `size` bytes in all); FALSE when the
  // program had ended or a fatal error stopped reading.
  BOOL AddCamRecord(int record, const BYTE* data, int size);

  // ---- Path records (path_records.cpp)

  // Element `index` as a record, end point and centre through the orientation when
  // `transform` is set. FALSE past the end.
  BOOL GetPathRecord(int index, PathRecord& rec, BOOL transform);
  // The next source element from `index` on, untransformed; `index` moves past it.
  BOOL GetNextMoveRecord(int& index, PathRecord& rec);
  // Appends an element rebuilt from a record; FALSE for a null record.
  BOOL AddPathRecord(const PathRecord* rec);

  // Per-index edits of the optimiser; FALSE (nothing done) past the end or for a code
  // the setter does not act on.
  BOOL SetTagStart(int i, DWORD value);
  BOOL LimitRadius(int i, double radius);
  BOOL SetMark(int i, double length);
  BOOL SetRadius(int i, double radius);
  BOOL SetEnd(int i, const Vec3& end);
  BOOL SetCenter(int i, const Vec3& center);
  BOOL ReverseArc(int i);
  BOOL SetMarkA(int i);
  BOOL SetMarkB(int i);
  BOOL SetAxes(int i, BYTE axes);
  BOOL SetFeedEnd(int i, const Vec3& end, double radius);
  BOOL SetAngle(int i, double angle_deg);
  BOOL SetDeviation(int i, double deviation);
  // Marks an element discarded; a discarded move hands its axis bits on to the next
  // move that stays.
  BOOL SetDiscard(int i, DWORD value);

  // ---- Path building, extents, orientation (path_building.cpp)

  // A mode code (not 0-3).
  BOOL AddCode(WORD code);
  // A named value; takes over `tool` (may be null). FALSE for an empty name.
  BOOL AddTag(const char* name, double value, ToolRecord* tool = nullptr);
  // A rapid (0) or feed (1) from m_vLastPoint to `end`.
  BOOL AddLine(WORD code, BYTE axes, const Vec3& end);
  // An arc (2 CW, 3 CCW) from m_vLastPoint to `end` about `center` in `plane` (0 XY,
  // 4 XZ, 8 YZ), split into pieces whose chord height stays below m_dArcTolerance.
  BOOL AddArc(WORD code, BYTE plane, BYTE axes, const Vec3& end, const Vec3& center);
  // Appends the pieces of `arc` between `start` and `end` (bisection); the element itself
  // ends the last piece and is appended by the caller.
  void SplitArc(CPathArcElement* arc, BYTE plane, CPathElementArray& list, const Vec3& start, const Vec3& end,
                const Vec3& center, double tolerance);

  void ResetExtents();
  void UpdateExtents(WORD code, BYTE axes, const Vec3& point);
  // Corners still at +-DBL_MAX become 0: an empty box reads as the origin.
  void NormalizeExtents();
  void GetCutMin(Vec3& out, BOOL transform) const;
  void GetCutMax(Vec3& out, BOOL transform) const;
  // X and Y from the cutting box, Z over both boxes.
  void GetExtentMin(Vec3& out, BOOL transform) const;
  void GetExtentMax(Vec3& out, BOOL transform) const;
  void GetExtentSize(Vec3& out, BOOL transform) const;
  BOOL GetTraverseZRange(double& zMin, double& zMax, BOOL transform) const;
  // The boxes of a stored job, shown without loading it.
  void SetExtentsFromJob(const Vec3& feedMin, const Vec3& feedMax, double traverseZMin, double traverseZMax);
  // Orientation type 1-8 (rotations and mirrors that keep the cutting box at the origin)
  // and Z reversal; the X and Y flips are accepted and have no effect.
  void SetOrientation(int flipX, int flipY, int flipZ, int type, int reserved = 0);
  int GetOrientation() const { return m_nOrientation; }
  const TransformMatrix& GetOrientationMatrix() const { return m_mOrientation; }

  // ---- State, in the order the readers and the optimiser know it

  double m_dTraverseSpeed = 320.0;         // mm/s, set by the host
  double m_dFeedSpeed = 0.0;               // mm/s, set by the host
  double m_dPlungeSpeed = 0.0;             // mm/s, set by the host
  int m_bIgnoreToolGroups = 0;             // host tool groups given: the file's are ignored
  CString m_strPrefix;                     // subroutine folder, ends with "\"
  CString m_strWizard;                     // wizard folder (subroutines too), ends with "\"
  std::unique_ptr<CGCodeReader> m_pGCode;  // interpreter state; null without interpreter
  int m_bWordSeen = 0;                     // the G-code reader has met the program's first word
  double m_dHpglScale = 0.005;             // HPGL scale last set by the host
  CPathElementArray m_aElements;           // owned
  int m_nFirstMoveCode = -1;               // code of the first move appended; -1 none yet
  int m_nLine = -1;                        // line (record) being read; stamped into new elements
  Vec3 m_vAxisFactor;                      // per-axis factors of the load
  Vec3 m_vTravMin, m_vTravMax;             // box of the rapids
  Vec3 m_vCutMin, m_vCutMax;               // box of the feeds and arcs
  int m_nOrientation = 1;                  // orientation type 1-8
  TransformMatrix m_mOrientation;
  double m_dPathLength = 0.0;  // toolpath length (mm), from the optimiser
  CCamFile m_camFile;
  BYTE m_abyRecord[2048];          // one CAM record: 4-byte head and payload
  double m_dArcTolerance = 0.005;  // chord height limit of arc splitting (mm)
  Vec3 m_vHpglScale;               // HPGL scale per axis
  int m_bHpgl3D = 0;               // an HPGL "ZZ1" was read
  int m_nTagCount = 0;             // tags (progress units)
  CString m_strUsedTools;          // "T%d" per tool, run together
  BYTE m_byPlane = 0;              // 0 XY, 4 XZ, 8 YZ
  int m_nHpglMode = -1;            // HPGL coordinates: -1 unknown, 0 2D, 1 3D
  int m_bProgramEnd = 0;           // program end reached: further lines are refused
  int m_bStop = 0;                 // a fatal error stopped reading
  double m_dUnitScale = 1.0;       // 25.4 after an inch selection
  int m_bAbsolute = 1;             // XYZ absolute (1) or incremental (0)
  int m_bIjkAbsolute = 0;          // arc centre words absolute (1) or incremental (0)
  Vec3 m_vLastPoint;               // end of the last move: start of the next
  Vec3 m_vNewPoint;                // target a reader is building
  int m_bPenUp = 1;                // HPGL pen state
  CString m_strErrors;             // report of the load
  CString m_strKind;               // kind of the file loaded

 private:
  // Element i when it is a move (an arc); null otherwise.
  CPathLineElement* MoveAt(int i) const;
  CPathArcElement* ArcAt(int i) const;
  void AppendElement(CPathElement* element) { m_aElements.Add(element); }
  // The line loop of the text formats; FALSE when cancelled.
  BOOL LoadTextLines(CProgressSink* progress, ULONGLONG total);
  BOOL LoadCamRecords(CProgressSink* progress, ULONGLONG total);
  // A CAM record's entry in the report: listed once, after ", ".
  void AppendCamReport(const CString& entry);
  void ShowLoadReport();
  void ReadFolderSettings();
  // HPGL helpers.
  void ExecuteHpglPoints(const CArray<Vec3, const Vec3&>& points, BYTE axes, bool relative);
  void ExecuteHpglArc(const char* command, bool relative);

  CTextLineFile m_textFile;  // the HPGL file being loaded
};
