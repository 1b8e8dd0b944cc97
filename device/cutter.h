// The cutter table: up to 100 tool descriptions, stored raw as "Cutter.db" in the
// program folder (580-byte records back to back, no header).
#pragma once

#include "platform/core.h"

constexpr int kCutterTableSize = 100;

// One record of "Cutter.db" as it lies in the file (little endian).
#pragma pack(push, 1)
struct CutterFileRecord {
  uint32_t typeTag;        //   0: written with every record, ignored on read
  uint32_t reserved[2];    //   4: kept as read
  int32_t number;          //  12: number in the table, 1..99
  int32_t originalNumber;  //  16: the T word of NC programs
  int32_t type;            //  20: shape 1..7
  int32_t unit;            //  24: 0 mm, 1 inch
  double diameter;         //  28: D
  double length;           //  36: C, cutting length
  double angle;            //  44: A, degrees between axis and flank
  double tipRadius;        //  52: R
  double flatDiameter;     //  60: F
  char description[256];   //  68: NUL-terminated
  char memo[256];          // 324: NUL-terminated
};
#pragma pack(pop)
static_assert(sizeof(CutterFileRecord) == 580, "cutter record is 580 bytes");
static_assert(offsetof(CutterFileRecord, number) == 12, "layout");
static_assert(offsetof(CutterFileRecord, diameter) == 28, "layout");
static_assert(offsetof(CutterFileRecord, flatDiameter) == 60, "layout");
static_assert(offsetof(CutterFileRecord, description) == 68, "layout");
static_assert(offsetof(CutterFileRecord, memo) == 324, "layout");

// Written into bytes 0-3 of each record; no reader looks at it.
constexpr uint32_t kCutterTypeTag = 0x54554343u;  // "CCUT"

class CCutter {
 public:
  CCutter() = default;
  virtual ~CCutter() = default;
  CCutter(const CCutter& other) : m_dwReserved{other.m_dwReserved[0], other.m_dwReserved[1]} { *this = other; }

  // Copies everything but the reserved words.
  CCutter& operator=(const CCutter& other);
  // Numbers, type, unit and dimensions exactly equal; texts not compared.
  bool operator==(const CCutter& other) const;

  // Width cut at the depth (in the tool's unit, or mm when unit is 0 and the tool is in
  // inches), never more than the diameter. Takes the table mutex.
  double GetCutWidth(int unit, double depth) const;
  // The type's name in the UI language. Takes the table mutex.
  CString GetTypeName() const;

  void FromFile(const CutterFileRecord& rec);
  void ToFile(CutterFileRecord& rec) const;

  uint32_t m_dwReserved[2] = {};  // kept as read
  int32_t m_nNumber = 0;          // 1..99
  int32_t m_nOriginalNumber = 0;  // T word; key of FindCutter
  int32_t m_nType = 0;            // 1..7
  int32_t m_nUnit = 0;            // 0 mm, 1 inch
  double m_dDiameter = 0;         // D, in the tool's unit
  double m_dLength = 0;           // C
  double m_dAngle = 0;            // A, degrees
  double m_dTipRadius = 0;        // R
  double m_dFlatDiameter = 0;     // F
  char m_szDescription[256] = {};
  char m_szMemo[256] = {};
};

struct CutterTable {
  CCutter m_records[kCutterTableSize];
  int m_nCount = 0;  // the first m_nCount records are valid
  // The last load found more records in the file than the table takes: only the first
  // ones are held, so a save would lose the others and is refused.
  BOOL m_bFileTooLarge = FALSE;
  CMutex m_mutex;
};
extern CutterTable g_CutterTable;

// Reads "Cutter.db" (every load starts from an empty table); a file that cannot be
// opened leaves the table as it is. A file with more records than the table takes
// loads its first ones and is reported in a message box.
void LoadCutterTable();
// Writes the records in use to "Cutter.db"; FALSE when nothing was written: the file
// cannot be opened, or it holds more records than the table (reported in a message box).
BOOL SaveCutterTable();
// Index of the first record whose original number is key; -1 when none.
int FindCutter(int key);
// Replaces the table by the seven default tools (one of each type).
void BuildDefaultTools();
