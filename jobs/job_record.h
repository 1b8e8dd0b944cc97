// The job record: what a job is (its NC file, its device, its machining settings) and
// the whole content of the job's ".jobinfo" file. The operator program keeps one per
// job in its table and the engine reads the same file when it loads a job, so these
// 6780 bytes are a file format shared by both programs, identical byte for byte.
//
// Run-time state of a job (its channel objects, the engine's process id, whether an
// engine is started) lives beside the record, in the job table's entry, never inside
// these bytes: the slots the file keeps for it are written as 0 and ignored on reading.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/path_record.h"
#include "platform/core.h"

// Records are copied and stored whole, so the in-memory bytes are the file's bytes.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "job records are stored in the host's byte order");

constexpr uint32_t kJobFormatStamp = 0x20090709;
constexpr int kJobTextSize = 260;   // the record's text fields: 259 characters and a NUL
constexpr int kMaxToolSpeeds = 16;  // entries of ToolSpeeds
constexpr int kToolKeySize = 8;     // a tool key: 7 characters and a NUL

#pragma pack(push, 1)

// Velocities of one tool (the job's single velocities stand when there is one tool).
struct ToolSpeedEntry {
  char Key[kToolKeySize];  // 0: the tool as listed in UsedTools ("T3"), matched ignoring case
  double Traverse;         // 8: mm/s
  double Feed;             // 16: mm/s
  double Plunge;           // 24: mm/s
  double Start;            // 32: mm/s
  double Acceleration;     // 40: mm/s/s
  double SpindleSpeed;     // 48: rpm
};

// Texts are NUL-terminated in the system code page; times are seconds since 1970 UTC.
// The Vec3 fields are PackedVec3 (no alignment inside the packed record).
struct JobRecord {
  // All 6780 bytes zero: a defined record (a stored record is never partly undefined).
  JobRecord();

  char JobName[kJobTextSize];                 // 0: the job and its folder's name; compared ignoring case
  char SourcePath[kJobTextSize];              // 260: the NC file the job was imported from
  char Connection[kJobTextSize];              // 520: "COM%d:%s", "NET:...", "SIMU:", "FILE:%s"
  char DeviceName[kJobTextSize];              // 780: the device record ("Devices\*.pam")
  int32_t StartSwitch;                        // 1040: engine only: 1 sends "SW0;", 2 "SW1;" at the first copy
  int32_t RelativeCoords;                     // 1044: non-zero: relative coordinate system
  int32_t FlipX;                              // 1048: non-zero mirrors X
  int32_t FlipY;                              // 1052
  int32_t FlipZ;                              // 1056
  int32_t ViewPoint;                          // 1060: preview view point index
  double MaterialHeight;                      // 1064: mm
  double MaterialZeroOffset;                  // 1072: mm, subtracted by the engine
  double TraverseSpeed;                       // 1080: mm/s
  double FeedSpeed;                           // 1088: mm/s
  double PlungeSpeed;                         // 1096: mm/s
  double StartSpeed;                          // 1104: mm/s
  double Acceleration;                        // 1112: mm/s/s
  int32_t CopiesX;                            // 1120: copies along X; below 1 means 1 (EffectiveCopies)
  int32_t CopiesY;                            // 1124
  int32_t CopiesZ;                            // 1128
  double CopyOffsetX;                         // 1132: distance between copies, mm
  double CopyOffsetY;                         // 1140: mm
  double CopyOffsetZ;                         // 1148: mm
  double ZeroZ;                               // 1156: Z zero setting, mm
  int32_t TagRangeStart;                      // 1164: first tag to machine
  int32_t SourceTime;                         // 1168: the NC file's modification time when added
  int32_t SourceSize;                         // 1172: the NC file's size when added, bytes
  int32_t TotalTags;                          // 1176: tags of the program
  PackedVec3 FeedMin;                         // 1180: extent minimum (X, Y of the feeds; Z of all moves), mm
  PackedVec3 FeedMax;                         // 1204: extent maximum, same rule, mm
  double TraverseZMin;                        // 1228: lowest Z of the rapids, mm
  double TraverseZMax;                        // 1236: highest Z of the rapids, mm
  int32_t Reserved1244;                       // 1244: 0
  char UsedTools[kJobTextSize];               // 1248: "T%d" per tool
  uint32_t TxChannelSlot;                     // 1508: run-time slot (the command ring), always 0 here
  uint32_t RxChannelSlot;                     // 1512: run-time slot (the reply ring), always 0 here
  uint32_t EnginePidSlot;                     // 1516: run-time slot (the engine's process id), always 0 here
  uint32_t RuntimeWords[3];                   // 1520: run-time words nothing reads, always 0 here
  int32_t Switch1;                            // 1532: output switch #1 on (non-zero) / off
  int32_t Switch2;                            // 1536
  int32_t CoolantOn;                          // 1540
  int32_t SpindleOn;                          // 1544
  double SpindleSpeed;                        // 1548: rpm
  int32_t RawPathOnly;                        // 1556: preview: the raw path only
  int32_t ShowInterpolation;                  // 1560: preview: interpolated elements
  double PreviewParam;                        // 1564: preview value, mm
  double ViewDepth;                           // 1572: preview view depth, mm
  int32_t ShowPlate;                          // 1580: preview: the machine plate
  int32_t Reserved1584;                       // 1584: kept as it is
  int32_t TagRangeEnd;                        // 1588: last tag to machine
  uint8_t EngineRunningSlot;                  // 1592: run-time slot (engine started), always 0 here
  uint8_t Orientation;                        // 1593: orientation code 1..8
  uint8_t Mode2D;                             // 1594
  uint32_t FormatStamp;                       // 1595: kJobFormatStamp in every written file
  char FormatName[8];                         // 1599: "GCODE", "HPGL" ...
  uint8_t AutoDisconnect;                     // 1607: the engine detaches and quits after the job
  uint8_t AutoHome;                           // 1608: main window option, not used by the engine
  uint8_t TWordEnabled;                       // 1609
  uint8_t FWordEnabled;                       // 1610
  uint8_t SWordEnabled;                       // 1611
  uint8_t RollEngrave;                        // 1612: engraving on a rotary axis
  uint8_t Test2D;                             // 1613
  uint8_t SurfaceAutoDetect;                  // 1614
  double RollDiameter;                        // 1615: diameter of the rotary work, mm
  PackedVec3 ReservedVec1623;                 // 1623: kept as it is
  PackedVec3 ReservedVec1647;                 // 1647: kept as it is
  int32_t Created;                            // 1671: creation time of the job
  uint8_t ToolCount;                          // 1675: valid ToolSpeeds entries, 0..16
  ToolSpeedEntry ToolSpeeds[kMaxToolSpeeds];  // 1676
  double ToolpathLength;                      // 2572: mm
  double CollinearAngle;                      // 2580: degree
  double CollinearTolerance;                  // 2588: mm
  double CollinearSideLeastLength;            // 2596: mm
  double ArcFitRadiusJitter;                  // 2604: mm
  double ArcFitDeviation;                     // 2612: mm
  double ArcFitLeastLength;                   // 2620: mm
  double CornerArcDeviation;                  // 2628: mm
  double CornerArcLeastRadius;                // 2636: mm
  double SlowDownFraction;                    // 2644: corner slow-down, 0..1
  double SmoothLevel;                         // 2652
  PackedVec3 Scale;                           // 2660: factors for X, Y, Z
  uint16_t RuntimeWord2684;                   // 2684: run-time word nothing reads, kept as it is
  uint16_t DoorToolpath;                      // 2686: non-zero: a door toolpath
  double DoorWidth;                           // 2688: mm
  char ReservedTail[4084];                    // 2696: kept and copied whole

  // ---- Helpers (no data)

  // The run-time slots to 0 (TxChannelSlot .. RuntimeWords, EngineRunningSlot).
  void ClearRuntimeSlots();
  // Cuts every text field at its last byte, so that text read from a file always ends
  // inside its field.
  void TerminateTexts();
  // Copy counts as the engine runs them: a count below 1 is one copy.
  int EffectiveCopiesX() const { return CopiesX < 1 ? 1 : CopiesX; }
  int EffectiveCopiesY() const { return CopiesY < 1 ? 1 : CopiesY; }
  int EffectiveCopiesZ() const { return CopiesZ < 1 ? 1 : CopiesZ; }
  // Stores the effective counts.
  void NormalizeCopies();
  // ToolCount as far as the table goes (a file may hold any byte).
  int ValidToolCount() const { return ToolCount > kMaxToolSpeeds ? kMaxToolSpeeds : ToolCount; }
};

#pragma pack(pop)

static_assert(sizeof(ToolSpeedEntry) == 56, "tool speed entry is 56 bytes");
static_assert(offsetof(ToolSpeedEntry, Traverse) == 8 && offsetof(ToolSpeedEntry, Feed) == 16 &&
                  offsetof(ToolSpeedEntry, Plunge) == 24 && offsetof(ToolSpeedEntry, Start) == 32 &&
                  offsetof(ToolSpeedEntry, Acceleration) == 40 && offsetof(ToolSpeedEntry, SpindleSpeed) == 48,
              "tool speed entry layout");

static_assert(sizeof(JobRecord) == 6780, "job record is 6780 bytes");
static_assert(offsetof(JobRecord, SourcePath) == 260 && offsetof(JobRecord, Connection) == 520 &&
                  offsetof(JobRecord, DeviceName) == 780 && offsetof(JobRecord, StartSwitch) == 1040 &&
                  offsetof(JobRecord, RelativeCoords) == 1044 && offsetof(JobRecord, FlipX) == 1048 &&
                  offsetof(JobRecord, FlipY) == 1052 && offsetof(JobRecord, FlipZ) == 1056 &&
                  offsetof(JobRecord, ViewPoint) == 1060 && offsetof(JobRecord, MaterialHeight) == 1064 &&
                  offsetof(JobRecord, MaterialZeroOffset) == 1072 && offsetof(JobRecord, TraverseSpeed) == 1080 &&
                  offsetof(JobRecord, FeedSpeed) == 1088 && offsetof(JobRecord, PlungeSpeed) == 1096 &&
                  offsetof(JobRecord, StartSpeed) == 1104 && offsetof(JobRecord, Acceleration) == 1112,
              "job record: texts, flips, velocities");
static_assert(offsetof(JobRecord, CopiesX) == 1120 && offsetof(JobRecord, CopiesY) == 1124 &&
                  offsetof(JobRecord, CopiesZ) == 1128 && offsetof(JobRecord, CopyOffsetX) == 1132 &&
                  offsetof(JobRecord, CopyOffsetY) == 1140 && offsetof(JobRecord, CopyOffsetZ) == 1148 &&
                  offsetof(JobRecord, ZeroZ) == 1156 && offsetof(JobRecord, TagRangeStart) == 1164 &&
                  offsetof(JobRecord, SourceTime) == 1168 && offsetof(JobRecord, SourceSize) == 1172 &&
                  offsetof(JobRecord, TotalTags) == 1176 && offsetof(JobRecord, FeedMin) == 1180 &&
                  offsetof(JobRecord, FeedMax) == 1204 && offsetof(JobRecord, TraverseZMin) == 1228 &&
                  offsetof(JobRecord, TraverseZMax) == 1236 && offsetof(JobRecord, Reserved1244) == 1244 &&
                  offsetof(JobRecord, UsedTools) == 1248,
              "job record: copies, source, extents");
static_assert(offsetof(JobRecord, TxChannelSlot) == 1508 && offsetof(JobRecord, RxChannelSlot) == 1512 &&
                  offsetof(JobRecord, EnginePidSlot) == 1516 && offsetof(JobRecord, RuntimeWords) == 1520 &&
                  offsetof(JobRecord, Switch1) == 1532 && offsetof(JobRecord, Switch2) == 1536 &&
                  offsetof(JobRecord, CoolantOn) == 1540 && offsetof(JobRecord, SpindleOn) == 1544 &&
                  offsetof(JobRecord, SpindleSpeed) == 1548 && offsetof(JobRecord, RawPathOnly) == 1556 &&
                  offsetof(JobRecord, ShowInterpolation) == 1560 && offsetof(JobRecord, PreviewParam) == 1564 &&
                  offsetof(JobRecord, ViewDepth) == 1572 && offsetof(JobRecord, ShowPlate) == 1580 &&
                  offsetof(JobRecord, Reserved1584) == 1584 && offsetof(JobRecord, TagRangeEnd) == 1588,
              "job record: run-time slots, outputs, preview");
static_assert(offsetof(JobRecord, EngineRunningSlot) == 1592 && offsetof(JobRecord, Orientation) == 1593 &&
                  offsetof(JobRecord, Mode2D) == 1594 && offsetof(JobRecord, FormatStamp) == 1595 &&
                  offsetof(JobRecord, FormatName) == 1599 && offsetof(JobRecord, AutoDisconnect) == 1607 &&
                  offsetof(JobRecord, AutoHome) == 1608 && offsetof(JobRecord, TWordEnabled) == 1609 &&
                  offsetof(JobRecord, FWordEnabled) == 1610 && offsetof(JobRecord, SWordEnabled) == 1611 &&
                  offsetof(JobRecord, RollEngrave) == 1612 && offsetof(JobRecord, Test2D) == 1613 &&
                  offsetof(JobRecord, SurfaceAutoDetect) == 1614 && offsetof(JobRecord, RollDiameter) == 1615 &&
                  offsetof(JobRecord, ReservedVec1623) == 1623 && offsetof(JobRecord, ReservedVec1647) == 1647 &&
                  offsetof(JobRecord, Created) == 1671 && offsetof(JobRecord, ToolCount) == 1675 &&
                  offsetof(JobRecord, ToolSpeeds) == 1676,
              "job record: flags, stamp, tools");
static_assert(offsetof(JobRecord, ToolpathLength) == 2572 && offsetof(JobRecord, CollinearAngle) == 2580 &&
                  offsetof(JobRecord, CollinearTolerance) == 2588 &&
                  offsetof(JobRecord, CollinearSideLeastLength) == 2596 &&
                  offsetof(JobRecord, ArcFitRadiusJitter) == 2604 && offsetof(JobRecord, ArcFitDeviation) == 2612 &&
                  offsetof(JobRecord, ArcFitLeastLength) == 2620 && offsetof(JobRecord, CornerArcDeviation) == 2628 &&
                  offsetof(JobRecord, CornerArcLeastRadius) == 2636 && offsetof(JobRecord, SlowDownFraction) == 2644 &&
                  offsetof(JobRecord, SmoothLevel) == 2652 && offsetof(JobRecord, Scale) == 2660 &&
                  offsetof(JobRecord, RuntimeWord2684) == 2684 && offsetof(JobRecord, DoorToolpath) == 2686 &&
                  offsetof(JobRecord, DoorWidth) == 2688 && offsetof(JobRecord, ReservedTail) == 2696,
              "job record: optimiser settings, door, tail");

constexpr int kJobRecordSize = (int)sizeof(JobRecord);

// Copies text into a record's text field. FALSE, and the field untouched, when the text
// (with its NUL) does not fit: a cut connection or path names another device or file.
BOOL SetRecordText(char* field, size_t fieldSize, const char* text);
template <size_t N>
BOOL SetRecordText(char (&field)[N], const char* text) {
  return SetRecordText(field, N, text);
}

// The engine's connection for an export into a file: "FILE:" and the target path.
// FALSE, and the record untouched, when it does not fit the Connection field.
BOOL SetExportConnection(JobRecord& job, const char* target);
