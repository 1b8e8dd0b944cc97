#include "device/device_params.h"

#include <cstring>

#include "device/device_text.h"
#include "foundation/settings.h"

using device_text::CopyField;
using device_text::ToDouble;
using device_text::ToLong;

DeviceTable g_DeviceTable;

namespace {

constexpr char kDevice[] = "Device";
constexpr char kDimension[] = "Dimension(mm)";
constexpr char kResolution[] = "Resolution(StepsPerInch)";
constexpr char kRated[] = "RatedSpeed(mm/s)";
constexpr char kCurve[] = "SpeedCurve";
constexpr char kAccel[] = "Acceleration";
constexpr char kLog[] = "LogEngraving";
constexpr char kClassKey[] = "Model(Plasma/Laser/Cutter/LogEngraver/Other)";

// The numeric keys, in the order a new file lists them.
struct NumberKey {
  const char* section;
  const char* key;
  const char* def;     // read default
  const char* format;  // written as
  double DeviceParams::*field;
};
constexpr NumberKey kNumbers[] = {
    {kDimension, "X", "", "%.3f", &DeviceParams::m_dWorkX},
    {kDimension, "Y", "", "%.3f", &DeviceParams::m_dWorkY},
    {kDimension, "Z", "", "%.3f", &DeviceParams::m_dWorkZ},
    {kResolution, "X", "1016.0", "%.8f", &DeviceParams::m_dResX},
    {kResolution, "Y", "1016.0", "%.8f", &DeviceParams::m_dResY},
    {kResolution, "Z", "1016.0", "%.8f", &DeviceParams::m_dResZ},
    {kRated, "MinX", "0.5", "%.3f", &DeviceParams::m_dMinSpeedX},
    {kRated, "MinY", "0.5", "%.3f", &DeviceParams::m_dMinSpeedY},
    {kRated, "MinZ", "0.5", "%.3f", &DeviceParams::m_dMinSpeedZ},
    {kRated, "MaxX", "160.0", "%.3f", &DeviceParams::m_dMaxSpeedX},
    {kRated, "MaxY", "160.0", "%.3f", &DeviceParams::m_dMaxSpeedY},
    {kRated, "MaxZ", "50.0", "%.3f", &DeviceParams::m_dMaxSpeedZ},
    {kRated, "MinXYStart", "0.5", "%.3f", &DeviceParams::m_dMinXYStart},
    {kRated, "MaxXYStart", "8.0", "%.3f", &DeviceParams::m_dMaxXYStart},
    {kRated, "MinZStart", "0.5", "%.3f", &DeviceParams::m_dMinZStart},
    {kRated, "MaxZStart", "8.0", "%.3f", &DeviceParams::m_dMaxZStart},
    {kRated, "LoForContinue", "8.0", "%.3f", &DeviceParams::m_dLoForContinue},
    {kCurve, "Coeff", "17.0", "%.3f", &DeviceParams::m_dCoeff},
    {kCurve, "MinK", "2.0", "%.3f", &DeviceParams::m_dMinK},
    {kCurve, "KRThreshold(mm)", "20.0", "%.3f", &DeviceParams::m_dKRThreshold},
    {kAccel, "Min", "0.5", "%.3f", &DeviceParams::m_dMinAccel},
    {kAccel, "Max", "640.0", "%.3f", &DeviceParams::m_dMaxAccel},
    {kAccel, "ParamN", "1", "%.0f", &DeviceParams::m_dParamN},
    {kAccel, "CornerSpeed", "50.0", "%.3f", &DeviceParams::m_dCornerSpeed},
    {kAccel, "CornerUP", "10.0", "%.3f", &DeviceParams::m_dCornerUp},
};

// Corner words by value 1..5.
constexpr const char* kHomeWords[] = {nullptr, "LB", "RB", "RT", "LT", "Center"};
// Machine class words by value 0..4; 0 is the fallback.
constexpr const char* kClassWords[] = {"Other", "Plasma", "Laser", "Cutter", "LogEngraver"};

CString Trimmed(const CString& text) {
  CString t(text);
  t.Trim();
  return t;
}

CString Upper(const CString& text) {
  CString t = Trimmed(text);
  t.MakeUpper();
  return t;
}

CString Number(const char* format, double v) {
  CString s;
  s.Format(format, v);
  return s;
}

CString Integer(int32_t v) {
  CString s;
  s.Format("%d", v);
  return s;
}

}  // namespace

void DeviceParams::SetPathFor(const char* name) {
  // A name that would leave "Devices" or come back under another name gets no path:
  // reads then find nothing and writes go nowhere.
  if (!CheckFileBaseName(name, kDeviceNameCut)) {
    m_szPath[0] = '\0';
    return;
  }
  CString path = ProgramSubfolder("Devices");
  path += name;
  path += ".pam";
  CopyField(m_szPath, sizeof(m_szPath), path);
  if (strlen(m_szPath) != (size_t)path.GetLength()) m_szPath[0] = '\0';  // too long
}

void DeviceParams::Reset() {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  memset(m_szName, 0, sizeof(m_szName));
  memset(m_szControllerModel, 0, sizeof(m_szControllerModel));
  memset(m_szInitialString, 0, sizeof(m_szInitialString));
  memset(m_szEndString, 0, sizeof(m_szEndString));
  memset(m_szDescription, 0, sizeof(m_szDescription));
  m_nCommandSet = 0;
  m_nXYHome = 1;
  m_nZDir = 1;
  double extra[] = {m_dParamN, m_dCornerSpeed, m_dCornerUp};
  for (const NumberKey& k : kNumbers) this->*k.field = 0.0;
  m_dParamN = extra[0];
  m_dCornerSpeed = extra[1];
  m_dCornerUp = extra[2];
  m_nArcSupport = 0;
  m_nMachineType = 0;
  m_nMachineClass = 0;
  m_nRotaryAxis = 0;
  m_nSpindles = 1;
  m_dPcr = 20000.0;
}

DeviceParams& DeviceParams::operator=(const DeviceParams& o) {
  if (this == &o) return *this;
  char path[sizeof(m_szPath)];
  memcpy(path, m_szPath, sizeof(path));
  memcpy(m_szName, o.m_szName, sizeof(m_szName));
  memcpy(m_szControllerModel, o.m_szControllerModel, sizeof(m_szControllerModel));
  memcpy(m_szInitialString, o.m_szInitialString, sizeof(m_szInitialString));
  memcpy(m_szEndString, o.m_szEndString, sizeof(m_szEndString));
  memcpy(m_szDescription, o.m_szDescription, sizeof(m_szDescription));
  m_nCommandSet = o.m_nCommandSet;
  m_nXYHome = o.m_nXYHome;
  m_nZDir = o.m_nZDir;
  for (const NumberKey& k : kNumbers) this->*k.field = o.*k.field;
  m_nArcSupport = o.m_nArcSupport;
  m_nMachineType = o.m_nMachineType;
  m_nMachineClass = o.m_nMachineClass;
  m_nRotaryAxis = o.m_nRotaryAxis;
  m_nSpindles = o.m_nSpindles;
  m_dPcr = o.m_dPcr;
  memcpy(m_szPath, path, sizeof(path));
  return *this;
}

BOOL DeviceParams::operator==(const DeviceParams& o) const {
  if (CString(m_szName).CompareNoCase(o.m_szName) != 0 ||
      CString(m_szInitialString).CompareNoCase(o.m_szInitialString) != 0 ||
      CString(m_szEndString).CompareNoCase(o.m_szEndString) != 0 ||
      CString(m_szControllerModel).CompareNoCase(o.m_szControllerModel) != 0 ||
      CString(m_szDescription).CompareNoCase(o.m_szDescription) != 0)
    return FALSE;
  if (m_nCommandSet != o.m_nCommandSet || m_nXYHome != o.m_nXYHome || m_nZDir != o.m_nZDir ||
      m_nArcSupport != o.m_nArcSupport || m_nMachineType != o.m_nMachineType || m_nMachineClass != o.m_nMachineClass ||
      m_nRotaryAxis != o.m_nRotaryAxis || m_dPcr != o.m_dPcr)
    return FALSE;
  for (const NumberKey& k : kNumbers) {
    if (k.field == &DeviceParams::m_dParamN || k.field == &DeviceParams::m_dCornerSpeed ||
        k.field == &DeviceParams::m_dCornerUp)
      continue;
    if (this->*k.field != o.*k.field) return FALSE;
  }
  return TRUE;
}

CString DeviceParams::GetIniString(const char* section, const char* key, const char* def) const {
  if (!m_szPath[0]) return CString(def);
  char buf[260];
  ProfileGetString(section, key, def, buf, sizeof(buf), m_szPath);
  return CString(buf);
}

BOOL DeviceParams::WriteIniString(const char* section, const char* key, const char* value) const {
  return m_szPath[0] && ProfileWriteString(section, key, value, m_szPath);
}

void DeviceParams::GetIniList(const char* section, const char* key, const char* def, CStringArray& list) const {
  list.RemoveAll();
  CString rest = Trimmed(GetIniString(section, key, def));
  if (rest.IsEmpty()) return;
  int sep;
  while ((sep = rest.FindOneOf(":,")) >= 0) {
    list.Add(rest.Left(sep));
    rest = rest.Mid(sep + 1);
    rest.TrimLeft();
  }
  list.Add(rest);
}

void DeviceParams::ResetForName(const char* name) {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  SetPathFor(name);
  Reset();
}

BOOL DeviceParams::Load(const char* name) {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  SetPathFor(name);
  if (!m_szPath[0] || GetIniString("File", "ID", "") != kDeviceFileId) return FALSE;

  CopyField(m_szName, sizeof(m_szName), GetIniString(kDevice, "Name", ""));
  CopyField(m_szControllerModel, sizeof(m_szControllerModel), GetIniString(kDevice, "ControllerModel", "V5"));
  CopyField(m_szDescription, sizeof(m_szDescription), GetIniString(kDevice, "Description", ""));
  CopyField(m_szInitialString, sizeof(m_szInitialString), GetIniString(kDevice, "InitialString", "IN;ZZ2;SP1"));
  CopyField(m_szEndString, sizeof(m_szEndString), GetIniString(kDevice, "EndString", ""));

  CString set = Upper(GetIniString(kDevice, "CommandSet", "G"));
  if (set == "G")
    m_nCommandSet = 0;
  else if (set == "HPGL")
    m_nCommandSet = 1;

  CString home = Trimmed(GetIniString(kDevice, "XYHome", "LB"));
  for (int v = 1; v <= 5; ++v)
    if (home == kHomeWords[v]) m_nXYHome = v;

  m_nZDir = Trimmed(GetIniString(kDevice, "ZDir", "Up")).CompareNoCase("Up") == 0 ? 1 : 0;
  m_nArcSupport = ToLong(GetIniString(kDevice, "ArcSupport", "0"));

  for (const NumberKey& k : kNumbers) this->*k.field = ToDouble(GetIniString(k.section, k.key, k.def));
  if (m_dParamN < 1.0) m_dParamN = 1.0;

  m_nMachineType = Upper(GetIniString(kDevice, "2D_3D_type", "3D")) == "2D" ? 1 : 0;
  CString cls = Upper(GetIniString(kDevice, kClassKey, "Other"));
  m_nMachineClass = 0;
  for (int v = 1; v <= 4; ++v) {
    CString word(kClassWords[v]);
    if (cls == word.MakeUpper()) m_nMachineClass = v;
  }
  m_nRotaryAxis = Upper(GetIniString(kLog, "RotateAxis", "X")) == "Y" ? 1 : 0;
  m_dPcr = ToDouble(GetIniString(kLog, "PCR", "20000"));
  m_nSpindles = ToLong(GetIniString(kDevice, "Spindles", "1"));

  // The file's own name is the device's identity. A "Name" that is missing or differs
  // (a file copied to clone a machine still names the original) is corrected and written
  // back, so that saving the table never writes into another device's file.
  if (strcmp(m_szName, name) != 0) {
    CopyField(m_szName, sizeof(m_szName), name);
    Save();
  }
  return TRUE;
}

BOOL DeviceParams::Save() {
  SetPathFor(m_szName);
  if (!m_szPath[0]) return FALSE;
  // A file that cannot be written (its folder gone, the disk full, read-only) is a
  // failure the caller must hear of, not a device that seems saved.
  if (!WriteIniString("File", "ID", kDeviceFileId)) return FALSE;
  BOOL ok = TRUE;
  auto Put = [&](const char* section, const char* key, const char* value) {
    if (!WriteIniString(section, key, value)) ok = FALSE;
  };
  Put(kDevice, "Name", m_szName);
  Put(kDevice, "ControllerModel", m_szControllerModel);
  Put(kDevice, "Description", m_szDescription);
  Put(kDevice, "InitialString", m_szInitialString);
  Put(kDevice, "EndString", m_szEndString);
  if (m_nCommandSet == 0 || m_nCommandSet == 1) Put(kDevice, "CommandSet", m_nCommandSet == 0 ? "G" : "HPGL");
  if (m_nXYHome >= 1 && m_nXYHome <= 5) Put(kDevice, "XYHome", kHomeWords[m_nXYHome]);
  Put(kDevice, "ZDir", m_nZDir == 1 ? "Up" : "Down");
  Put(kDevice, "ArcSupport", Integer(m_nArcSupport));
  for (const NumberKey& k : kNumbers) Put(k.section, k.key, Number(k.format, this->*k.field));
  Put(kDevice, "Spindles", Integer(m_nSpindles));
  Put(kDevice, "2D_3D_type", m_nMachineType == 1 ? "2D" : "3D");
  bool known = m_nMachineClass >= 1 && m_nMachineClass <= 4;
  Put(kDevice, kClassKey, kClassWords[known ? m_nMachineClass : 0]);
  Put(kLog, "RotateAxis", m_nRotaryAxis == 1 ? "Y" : "X");
  Put(kLog, "PCR", Number("%.3f", m_dPcr));
  return ok;
}

void DeviceParams::MoveToBackup() {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  MoveFileToBackup(m_szPath);
}

double DeviceParams::GetSpeedCurveK(double radius_mm) const {
  if (radius_mm >= m_dKRThreshold) return m_dCoeff;
  double k = m_dMinK + radius_mm * (m_dCoeff - m_dMinK) / m_dKRThreshold;
  return k < m_dMinK ? m_dMinK : k;
}

void LoadDeviceTable() {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  g_DeviceTable.m_nCount = 0;
  // The device name is the file name up to its first "." ("A.old.pam" reads "A.pam").
  ForEachPamFile(ProgramSubfolder("Devices"), kDeviceNameCut, [](const CString& name) {
    if (g_DeviceTable.m_nCount >= kDeviceTableSize) return FALSE;
    DeviceParams& rec = g_DeviceTable.m_records[g_DeviceTable.m_nCount];
    // A fresh record for every file, so that nothing of the previous device (or of the
    // entry's earlier contents) survives into this one.
    rec.Reset();
    if (rec.Load(name)) ++g_DeviceTable.m_nCount;
    return TRUE;
  });
}

BOOL SaveDeviceTable(CString* failedName) {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  BOOL ok = TRUE;
  for (int i = 0; i < g_DeviceTable.m_nCount; ++i) {
    if (g_DeviceTable.m_records[i].Save()) continue;
    if (ok && failedName) *failedName = g_DeviceTable.m_records[i].m_szName;
    ok = FALSE;
  }
  return ok;
}

BOOL FindDevice(const char* name, DeviceParams* out) {
  CSingleLock lock(&g_DeviceTable.m_mutex, TRUE);
  for (int i = 0; i < g_DeviceTable.m_nCount; ++i) {
    if (CString(g_DeviceTable.m_records[i].m_szName).CompareNoCase(name ? name : "") == 0) {
      if (out) *out = g_DeviceTable.m_records[i];
      return TRUE;
    }
  }
  return FALSE;
}

BOOL IsDeviceKnown(const char* text) {
  CString name(text);
  int at = name.Find('@');
  if (at >= 0) name = name.Left(at);
  return FindDevice(name, nullptr);
}
