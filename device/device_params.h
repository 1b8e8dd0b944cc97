// Device parameters: one record per machine model, each in its own INI file
// "Devices\<name>.pam" under the program folder, and the process-wide table of them.
//
// Both programs read these files: the operator program edits them, every job engine
// reads them once when it starts (so a change reaches only engines started later).
#pragma once

#include "platform/core.h"

constexpr int kDeviceTableSize = 100;
constexpr char kDeviceFileId[] = "Parameters for Kestrada Carver";

class DeviceParams {
 public:
  DeviceParams() = default;  // all zero; values come from Reset, Load or assignment
  virtual ~DeviceParams() = default;
  DeviceParams(const DeviceParams& other) { *this = other; }

  // Every field to its reset value; "ParamN", "CornerSpeed", "CornerUP" and the path
  // stay. Takes the table mutex.
  void Reset();
  // Copies every field except the path.
  DeviceParams& operator=(const DeviceParams& other);
  // Texts compared ignoring case, numbers exactly; the three acceleration extras, the
  // spindle count and the path are not compared.
  BOOL operator==(const DeviceParams& other) const;

  CString GetIniString(const char* section, const char* key, const char* def) const;
  // FALSE when the key could not be written (no path, or the file refused it).
  BOOL WriteIniString(const char* section, const char* key, const char* value) const;
  // The value split at every ":" or ","; pieces after the first lose leading blanks.
  void GetIniList(const char* section, const char* key, const char* def, CStringArray& list) const;

  // Path of the named device's file, then Reset (which empties the name).
  void ResetForName(const char* name);
  // Reads the named device's file; FALSE when it is not a device file (or the name
  // cannot be a file name).
  BOOL Load(const char* name);
  // Writes the record into the file of its device name; FALSE when that name cannot be
  // a file name (nothing written) or when the file could not be written.
  BOOL Save();
  // Renames the file to its path + ".bak", replacing an older backup; throws
  // CFileException when the old backup cannot be deleted or the rename fails.
  void MoveToBackup();
  // Speed-curve factor for an arc of this radius (mm).
  double GetSpeedCurveK(double radius_mm) const;

  // --- fields (lengths mm, speeds mm/s, accelerations mm/s/s, resolutions steps/inch)
  char m_szName[256]{};                       // device name, up to 255 characters
  char m_szControllerModel[80]{};             // up to 79 characters
  char m_szInitialString[256]{};              // instructions sent at the start of a job
  char m_szEndString[256]{};                  // instructions for the end of a job
  char m_szDescription[256]{};                // memo
  int32_t m_nCommandSet{};                    // 0 G code, 1 HPGL
  int32_t m_nXYHome{};                        // 1 LB, 2 RB, 3 RT, 4 LT, 5 centre
  int32_t m_nZDir{};                          // 1 up, 0 down
  double m_dWorkX{}, m_dWorkY{}, m_dWorkZ{};  // work area
  double m_dResX{}, m_dResY{}, m_dResZ{};     // resolution
  double m_dMinSpeedX{}, m_dMaxSpeedX{};      // rated speed X
  double m_dMinSpeedY{}, m_dMaxSpeedY{};      // rated speed Y
  double m_dMinSpeedZ{}, m_dMaxSpeedZ{};      // rated speed Z
  double m_dMinXYStart{}, m_dMaxXYStart{};    // XY start speed
  double m_dMinZStart{}, m_dMaxZStart{};      // Z start speed
  double m_dLoForContinue{};                  // lowest speed of continuous feed
  double m_dParamN{};                         // acceleration parameter N, at least 1
  double m_dCornerSpeed{};                    // corner speed, down
  double m_dCornerUp{};                       // corner speed, up
  double m_dCoeff{};                          // speed-curve factor Kmax
  double m_dMinK{};                           // speed-curve factor Kmin
  double m_dKRThreshold{};                    // speed-curve radius threshold (mm)
  double m_dMinAccel{}, m_dMaxAccel{};        // acceleration
  int32_t m_nArcSupport{};                    // non-zero: the controller takes arc commands
  int32_t m_nMachineType{};                   // 1 2D engraver, 0 3D engraver
  int32_t m_nMachineClass{};                  // 0 other, 1 plasma, 2 laser, 3 cutter, 4 log engraver
  int32_t m_nRotaryAxis{};                    // log engraver: 0 around X, 1 around Y
  int32_t m_nSpindles{};                      // number of spindles
  double m_dPcr{};                            // log engraver's rotary axis value "Pcr"
  char m_szPath[260]{};                       // the device file; not stored in it

 private:
  void SetPathFor(const char* name);
};

// The table of devices: the first m_nCount records are valid, in load order. The mutex
// guards the table and the device files; it is re-entrant within a thread.
struct DeviceTable {
  DeviceParams m_records[kDeviceTableSize];
  int m_nCount = 0;
  CMutex m_mutex;
};
extern DeviceTable g_DeviceTable;

// Rebuilds the table from "Devices\*.pam" (the folder is created when missing).
void LoadDeviceTable();
// Saves every record in use, in table order; FALSE when one could not be saved (its
// name in *failedName, when given: the first that failed).
BOOL SaveDeviceTable(CString* failedName = nullptr);
// Copies the first record named name (any case) into *out (all but the path).
BOOL FindDevice(const char* name, DeviceParams* out);
// Whether the device of an attached-device entry ("name@connection", or a bare name)
// is in the table.
BOOL IsDeviceKnown(const char* text);
