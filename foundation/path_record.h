// The flat form of one path element: what the NC loader hands to everybody who does not
// work on its element objects, and the record of a job's ".structs" file, which the job
// engine reads. Its 118 bytes are therefore a file format shared by both programs.
//
// The in-memory record may own a copy of a "T" tag's tool description. That pointer lives
// beside the 118 bytes, never inside them: the reference field at 114 is always 0.
#pragma once

#include <cfloat>
#include <cstddef>

#include "foundation/geometry.h"
#include "platform/types.h"

#pragma pack(push, 1)

// A Vec3 as it sits in a packed record (no alignment); converts to and from Vec3.
struct PackedVec3 {
  double x, y, z;
  PackedVec3& operator=(const Vec3& v) {
    x = v.x;
    y = v.y;
    z = v.z;
    return *this;
  }
  operator Vec3() const { return Vec3(x, y, z); }
};

// Tool description owned by a "T" tag made from a CAM tool definition. Copied whole.
struct ToolRecord {
  DWORD m_nKind;       // 0: 1 ball, 2 flat end mill, 3 round-corner flat end mill, 4 taper,
                       //    5 ball-tip taper, 6 flat-tip taper, 7 round-corner flat-tip
                       //    taper; 0 unknown
  DWORD m_nReserved1;  // 4: 0
  DWORD m_nReserved2;  // 8: 0
  double m_dSize1;     // 12: first dimension (mm)
  double m_dDiameter;  // 20: tool diameter (mm)
  double m_dSize3;     // 28: third dimension
  double m_dSize4;     // 36: fourth dimension
  DWORD m_nReserved3;  // 44: 0
  DWORD m_nReserved4;  // 48: 0
  char m_szName[256];  // 52: tool name, NUL-terminated
};

// The 118 stored bytes of a path record, little-endian.
struct PathRecordData {
  WORD m_nCode;          // 0: element code: 0 rapid, 1 feed, 2 CW arc, 3 CCW arc,
                         //    0xFFFF named tag, other values mode codes
  DWORD m_nDiscard;      // 2: non-zero when the optimiser merged the element away
  DWORD m_nFlags;        // 6: element flag bits (kFlag*)
  DWORD m_nLine;         // 10: source line number
  DWORD m_nReserved;     // 14: 0
  char m_szName[3];      // 18: tag name, at most 2 characters and a NUL; tags only
  double m_dValue;       // 21: tag value; tags only
  BYTE m_byAxes;         // 29: axis mask of a move: 0x80 X, 0x40 Y, 0x20 Z
  DWORD m_nTagStart;     // 30: non-zero on the move that starts a tag (progress unit)
  double m_dRadius;      // 34: arc radius or corner radius (mm); DBL_MAX unset
  double m_dAngle;       // 42: corner angle (degrees); DBL_MAX unset
  double m_dDeviation;   // 50: path deviation (mm); DBL_MAX unset
  double m_dMark;        // 58: cumulative path length at the end of the move (mm)
  PackedVec3 m_vEnd;     // 66: end point of a move or arc (mm)
  PackedVec3 m_vCenter;  // 90: arc centre (mm), codes 2 and 3
  DWORD m_nToolRef;      // 114: in memory the tool copy lives beside; stored as 0
};

#pragma pack(pop)

static_assert(sizeof(ToolRecord) == 308, "ToolRecord is 308 bytes");
static_assert(offsetof(ToolRecord, m_dSize1) == 12 && offsetof(ToolRecord, m_dDiameter) == 20 &&
                  offsetof(ToolRecord, m_nReserved3) == 44 && offsetof(ToolRecord, m_szName) == 52,
              "ToolRecord layout");
static_assert(sizeof(PathRecordData) == 118, "path record is 118 bytes");
static_assert(offsetof(PathRecordData, m_nDiscard) == 2 && offsetof(PathRecordData, m_nFlags) == 6 &&
                  offsetof(PathRecordData, m_nLine) == 10 && offsetof(PathRecordData, m_nReserved) == 14 &&
                  offsetof(PathRecordData, m_szName) == 18 && offsetof(PathRecordData, m_dValue) == 21 &&
                  offsetof(PathRecordData, m_byAxes) == 29 && offsetof(PathRecordData, m_nTagStart) == 30 &&
                  offsetof(PathRecordData, m_dRadius) == 34 && offsetof(PathRecordData, m_dAngle) == 42 &&
                  offsetof(PathRecordData, m_dDeviation) == 50 && offsetof(PathRecordData, m_dMark) == 58 &&
                  offsetof(PathRecordData, m_vEnd) == 66 && offsetof(PathRecordData, m_vCenter) == 90 &&
                  offsetof(PathRecordData, m_nToolRef) == 114,
              "path record layout");

constexpr int kPathRecordSize = (int)sizeof(PathRecordData);

// Element flag bits, as in the record's flags word.
enum : DWORD {
  kFlagSource = 0x001,   // stands for an item of the source (not an inserted piece)
  kFlagHelical = 0x004,  // the coordinate normal to the arc's plane changes
  kFlagFitted = 0x100,   // arc made by the optimiser at a sharp corner
  kFlagMarkA = 0x400,    // plunge move of a door path
  kFlagMarkB = 0x800,    // edge-face move of a door path
};

class PathRecord : public PathRecordData {
 public:
  // A reset record with line number 0 and no tool copy.
  PathRecord();
  PathRecord(const PathRecord& other);
  PathRecord& operator=(const PathRecord& other);
  ~PathRecord();

  // Every field but the line number back to its reset value; releases the tool copy.
  void Reset();

  // The stored bytes: bytes 114-117 are always 0.
  const PathRecordData& Data() const { return *this; }
  // Takes 118 stored bytes; the reference field is ignored and the tool copy released.
  void SetData(const PathRecordData& data);

  void SetSource(bool on) { SetFlag(kFlagSource, on); }
  void SetHelical(bool on) { SetFlag(kFlagHelical, on); }
  void SetFitted(bool on) { SetFlag(kFlagFitted, on); }
  int IsCoordChanged() const { return (m_nFlags & kFlagSource) ? 1 : 0; }
  int IsHelical() const { return (m_nFlags & kFlagHelical) ? 1 : 0; }
  int IsFitted() const { return (m_nFlags & kFlagFitted) ? 1 : 0; }

  Vec3 GetEnd() const { return m_vEnd; }
  Vec3 GetCenter() const { return m_vCenter; }

  // The record's own copy of a "T" tag's tool, or null.
  const ToolRecord* GetTool() const { return m_pTool; }
  // Replaces the tool copy by a copy of `tool` (null releases it).
  void SetTool(const ToolRecord* tool);

 private:
  void SetFlag(DWORD mask, bool on) {
    if (on)
      m_nFlags |= mask;
    else
      m_nFlags &= ~mask;
  }
  ToolRecord* m_pTool = nullptr;
};
