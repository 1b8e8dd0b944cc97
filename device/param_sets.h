// User parameter sets: named groups of machining values, one INI file each,
// "Params\<name>.pam" under the program folder, and the table of them.
#pragma once

#include "platform/core.h"

constexpr int kParamSetTableSize = 100;
constexpr char kParamSetFileId[] = "Kestrada Defined Parameters";

class UserParamSet {
 public:
  UserParamSet() = default;  // the reset values

  // Reset values; the path stays.
  void Reset();
  // Resets and sets the path of the named set (not the name field). FALSE (and an
  // empty path) when the name cannot be a file name under "Params".
  BOOL SetName(const char* name);
  // 1 when the named set's file carries the set identification and was read.
  int Load(const char* name);
  // Writes every key to the record's path; FALSE when the record has no usable path.
  BOOL Save() const;
  CString GetIniString(const char* section, const char* key, const char* def) const;
  void WriteIniString(const char* section, const char* key, const char* value) const;
  // Renames the file to path + ".bak", replacing an older backup; throws CFileException.
  void MoveToBackup();

  UserParamSet& operator=(const UserParamSet& other);  // all but the path
  BOOL operator==(const UserParamSet& other) const;

  // Lengths mm, speeds mm/s; the initial values are those of Reset.
  int32_t m_nMode = 2;  // 0 none, 1 cut, 2 engrave
  uint32_t m_dwReserved[2] = {};
  double m_dReserved1 = 0;
  double m_dMaterialHeight = 0;
  double m_dFastMove = 0;  // traverse speed
  double m_dFeed = 0;      // cutting speed
  double m_dCutIn = 0;     // plunge speed
  double m_dStart = 0;     // start speed
  double m_dReserved2 = 0;
  int32_t m_nRelative = 1;  // relative coordinates, set by the main window
  double m_dLiftAboveMaterial = 0;
  double m_dAcceleration = 0;   // mm/s/s
  double m_dSpindle = 15000.0;  // rpm
  int32_t m_nFlipX = 0, m_nFlipY = 0, m_nFlipZ = 0;
  int32_t m_nTransType = 1;
  char m_szName[256] = {};
  char m_szPath[260] = {};

 private:
  BOOL SetPath(const char* name);
};

struct ParamSetTable {
  UserParamSet m_records[kParamSetTableSize];
  int32_t m_nCount = 0;
};
extern ParamSetTable g_ParamSetTable;

// Rebuilds the table from "Params\*.pam" (the folder is created when missing).
void LoadUserParamSets();
// Saves entries 0 .. count - 1.
void SaveUserParamSets();
