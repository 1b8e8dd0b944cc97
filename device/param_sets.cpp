#include "device/param_sets.h"

#include <cstring>

#include "device/device_text.h"
#include "foundation/settings.h"

using device_text::CopyField;
using device_text::ToDouble;
using device_text::ToLong;

ParamSetTable g_ParamSetTable;

namespace {

constexpr char kSection[] = "Parameters";

// The numeric keys in file order (after Ident, Name and Mode).
struct NumberKey {
  const char* key;
  const char* def;
  double UserParamSet::*field;
};
constexpr NumberKey kNumbers[] = {
    {"MaterialHeight(mm)", "2.0", &UserParamSet::m_dMaterialHeight},
    {"LiftAboveMaterial(mm)", "0.0", &UserParamSet::m_dLiftAboveMaterial},
    {"FastMove(mm/s)", "180", &UserParamSet::m_dFastMove},
    {"Feed(mm/s)", "80", &UserParamSet::m_dFeed},
    {"Cutin(mm/s)", "30", &UserParamSet::m_dCutIn},
    {"Start(mm/s)", "20", &UserParamSet::m_dStart},
    {"Acceleration(mm/s)", "320", &UserParamSet::m_dAcceleration},
    {"Spindle(rpm)", "15000", &UserParamSet::m_dSpindle},
};
struct IntKey {
  const char* key;
  const char* def;
  int32_t UserParamSet::*field;
};
constexpr IntKey kInts[] = {
    {"FlipX", "0", &UserParamSet::m_nFlipX},
    {"FlipY", "0", &UserParamSet::m_nFlipY},
    {"FlipZ", "0", &UserParamSet::m_nFlipZ},
    {"TransType", "1", &UserParamSet::m_nTransType},
};

CString ParamsFolder() { return ProgramSubfolder("Params"); }

}  // namespace

void UserParamSet::Reset() {
  m_nMode = 2;
  m_dwReserved[0] = m_dwReserved[1] = 0;
  m_dReserved1 = m_dReserved2 = 0.0;
  for (const NumberKey& k : kNumbers) this->*k.field = 0.0;
  m_dSpindle = 15000.0;
  m_nRelative = 1;
  m_nFlipX = m_nFlipY = m_nFlipZ = 0;
  m_nTransType = 1;
  memset(m_szName, 0, sizeof(m_szName));
}

BOOL UserParamSet::SetPath(const char* name) {
  m_szPath[0] = '\0';
  if (!CheckFileBaseName(name, kParamSetNameCut)) return FALSE;
  CString path = ParamsFolder() + name + ".pam";
  if (path.GetLength() >= (int)sizeof(m_szPath)) return FALSE;
  CopyField(m_szPath, sizeof(m_szPath), path);
  return TRUE;
}

BOOL UserParamSet::SetName(const char* name) {
  Reset();
  return SetPath(name);
}

int UserParamSet::Load(const char* name) {
  if (!SetPath(name)) return 0;
  if (GetIniString("Defined Parameters", "Ident", "") != kParamSetFileId) return 0;
  CopyField(m_szName, sizeof(m_szName), GetIniString(kSection, "Name", ""));
  CString mode = GetIniString(kSection, "Mode", "Engrave");
  mode.Trim();
  mode.MakeUpper();
  m_nMode = mode == "CUT" ? 1 : mode == "ENGRAVE" ? 2 : 0;
  for (const NumberKey& k : kNumbers) this->*k.field = ToDouble(GetIniString(kSection, k.key, k.def));
  for (const IntKey& k : kInts) this->*k.field = ToLong(GetIniString(kSection, k.key, k.def));
  return 1;
}

BOOL UserParamSet::Save() const {
  if (!m_szPath[0]) return FALSE;
  WriteIniString("Defined Parameters", "Ident", kParamSetFileId);
  WriteIniString(kSection, "Name", m_szName);
  WriteIniString(kSection, "Mode", m_nMode == 1 ? "CUT" : m_nMode == 2 ? "ENGRAVE" : "");
  CString text;
  for (const NumberKey& k : kNumbers) {
    text.Format("%.3f", this->*k.field);
    WriteIniString(kSection, k.key, text);
  }
  for (const IntKey& k : kInts) {
    text.Format("%d", this->*k.field);
    WriteIniString(kSection, k.key, text);
  }
  return TRUE;
}

CString UserParamSet::GetIniString(const char* section, const char* key, const char* def) const {
  if (!m_szPath[0]) return CString(def);
  char buf[260];
  ProfileGetString(section, key, def, buf, sizeof(buf), m_szPath);
  return CString(buf);
}

void UserParamSet::WriteIniString(const char* section, const char* key, const char* value) const {
  if (m_szPath[0]) ProfileWriteString(section, key, value, m_szPath);
}

void UserParamSet::MoveToBackup() { MoveFileToBackup(m_szPath); }

UserParamSet& UserParamSet::operator=(const UserParamSet& o) {
  if (this == &o) return *this;
  m_nMode = o.m_nMode;
  memcpy(m_dwReserved, o.m_dwReserved, sizeof(m_dwReserved));
  m_dReserved1 = o.m_dReserved1;
  m_dReserved2 = o.m_dReserved2;
  for (const NumberKey& k : kNumbers) this->*k.field = o.*k.field;
  m_nRelative = o.m_nRelative;
  for (const IntKey& k : kInts) this->*k.field = o.*k.field;
  memcpy(m_szName, o.m_szName, sizeof(m_szName));
  return *this;
}

BOOL UserParamSet::operator==(const UserParamSet& o) const {
  if (CString(m_szName).CompareNoCase(o.m_szName) != 0 || m_nMode != o.m_nMode) return FALSE;
  if (m_dReserved1 != o.m_dReserved1 || m_dReserved2 != o.m_dReserved2 || m_nRelative != o.m_nRelative) return FALSE;
  for (const NumberKey& k : kNumbers)
    if (this->*k.field != o.*k.field) return FALSE;
  for (const IntKey& k : kInts)
    if (this->*k.field != o.*k.field) return FALSE;
  return TRUE;
}

void LoadUserParamSets() {
  g_ParamSetTable.m_nCount = 0;
  // The set name is the file name cut at its first ".pam".
  ForEachPamFile(ParamsFolder(), kParamSetNameCut, [](const CString& name) {
    if (g_ParamSetTable.m_nCount >= kParamSetTableSize) return FALSE;
    UserParamSet& set = g_ParamSetTable.m_records[g_ParamSetTable.m_nCount];
    // Start every entry from the reset state, so nothing of another set survives in it.
    set.Reset();
    if (set.Load(name)) ++g_ParamSetTable.m_nCount;
    return TRUE;
  });
}

void SaveUserParamSets() {
  for (int i = 0; i < g_ParamSetTable.m_nCount && i < kParamSetTableSize; ++i) g_ParamSetTable.m_records[i].Save();
}
