#include "device/cutter.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "device/device_text.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "resources/resource.h"

CutterTable g_CutterTable;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kMmPerInch = 25.4;
constexpr const char* kTypeNames[] = {"Ball Nosed",         "Slot Drill",         "Radiused Slot Drill",  "Conical",
                                      "Conical Ball Nosed", "Conical Flat Nosed", "Conical Flat Radiused"};
CString CutterFilePath() { return g_strAppFolder + "Cutter.db"; }
}  // namespace

CCutter& CCutter::operator=(const CCutter& o) {
  if (this == &o) return *this;
  m_nNumber = o.m_nNumber;
  m_nOriginalNumber = o.m_nOriginalNumber;
  m_nType = o.m_nType;
  m_nUnit = o.m_nUnit;
  m_dDiameter = o.m_dDiameter;
  m_dLength = o.m_dLength;
  m_dAngle = o.m_dAngle;
  m_dTipRadius = o.m_dTipRadius;
  m_dFlatDiameter = o.m_dFlatDiameter;
  memcpy(m_szDescription, o.m_szDescription, sizeof(m_szDescription));
  memcpy(m_szMemo, o.m_szMemo, sizeof(m_szMemo));
  return *this;
}

bool CCutter::operator==(const CCutter& o) const {
  return m_nNumber == o.m_nNumber && m_nOriginalNumber == o.m_nOriginalNumber && m_nType == o.m_nType &&
         m_nUnit == o.m_nUnit && m_dDiameter == o.m_dDiameter && m_dLength == o.m_dLength && m_dAngle == o.m_dAngle &&
         m_dTipRadius == o.m_dTipRadius && m_dFlatDiameter == o.m_dFlatDiameter;
}

void CCutter::FromFile(const CutterFileRecord& r) {
  m_dwReserved[0] = r.reserved[0];
  m_dwReserved[1] = r.reserved[1];
  m_nNumber = r.number;
  m_nOriginalNumber = r.originalNumber;
  m_nType = r.type;
  m_nUnit = r.unit;
  m_dDiameter = r.diameter;
  m_dLength = r.length;
  m_dAngle = r.angle;
  m_dTipRadius = r.tipRadius;
  m_dFlatDiameter = r.flatDiameter;
  // A record from a damaged file may lack its terminating NUL; the last byte always is.
  memcpy(m_szDescription, r.description, sizeof(m_szDescription));
  memcpy(m_szMemo, r.memo, sizeof(m_szMemo));
  m_szDescription[sizeof(m_szDescription) - 1] = '\0';
  m_szMemo[sizeof(m_szMemo) - 1] = '\0';
}

void CCutter::ToFile(CutterFileRecord& r) const {
  r.typeTag = kCutterTypeTag;
  r.reserved[0] = m_dwReserved[0];
  r.reserved[1] = m_dwReserved[1];
  r.number = m_nNumber;
  r.originalNumber = m_nOriginalNumber;
  r.type = m_nType;
  r.unit = m_nUnit;
  r.diameter = m_dDiameter;
  r.length = m_dLength;
  r.angle = m_dAngle;
  r.tipRadius = m_dTipRadius;
  r.flatDiameter = m_dFlatDiameter;
  memcpy(r.description, m_szDescription, sizeof(r.description));
  memcpy(r.memo, m_szMemo, sizeof(r.memo));
}

// Cut width at depth e. The flank of a conical tool with a rounded tip meets the tip's
// circle at height h = R(1 - sin a); above it the cone's width is that of a sharp cone
// whose apex lies o = R(1/sin a - 1) below the tip, hence 2 tan a (e + o).
double CCutter::GetCutWidth(int unit, double e) const {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  double f = (m_nUnit == 1 && unit != 1) ? kMmPerInch : 1.0;
  double d = f * m_dDiameter, c = f * m_dLength, r = f * m_dTipRadius, fl = f * m_dFlatDiameter;
  double a = m_dAngle * kPi / 180.0;
  if (e < 0.0) e = 0.0;  // above the surface nothing is cut
  auto round_tip = [&](double flat) { return 2.0 * sqrt(e * (2.0 * r - e)) + flat; };
  double w = 0.0;
  switch (m_nType) {
    case 1: w = e < d / 2.0 ? 2.0 * sqrt(e * (d - e)) : d; break;
    case 2: w = d; break;
    case 3: w = e < r ? round_tip(fl) : d; break;
    case 4: w = e < c ? 2.0 * e * tan(a) : d; break;
    case 5:
    case 7: {
      double flat = m_nType == 7 ? fl : 0.0;
      if (e >= c) {
        w = d;
        break;
      }
      double h = r * (1.0 - sin(a));
      if (sin(a) <= 0.0) {
        // No flank angle: the tip's sphere continues as a cylinder of its own width.
        w = e < h ? round_tip(flat) : 2.0 * r + flat;
        break;
      }
      double o = r * (1.0 / sin(a) - 1.0);
      w = e < h ? round_tip(flat) : 2.0 * tan(a) * (e + o) + flat;
      break;
    }
    case 6: w = 2.0 * e * tan(a) + fl; break;
    default: w = 0.0; break;
  }
  return w > d ? d : w;
}

CString CCutter::GetTypeName() const {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  if (m_nType < 1 || m_nType > 7) return CString("未知类型");
  return LoadLangString(IDS_CUTTER_TYPE1_CN + m_nType - 1, IDS_CUTTER_TYPE1_EN + m_nType - 1);
}

void LoadCutterTable() {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  CFile file;
  if (!file.Open(CutterFilePath(), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return;
  // Every load starts afresh: an empty file gives an empty table, not the old count
  // over blank records.
  g_CutterTable.m_nCount = 0;
  g_CutterTable.m_bFileTooLarge = FALSE;
  ULONGLONG records = 0;
  try {
    ULONGLONG length = file.GetLength();
    std::vector<CutterFileRecord> raw(kCutterTableSize);
    const ULONGLONG room = raw.size() * sizeof(CutterFileRecord);
    UINT want = (UINT)(length < room ? length : room);
    UINT got = 0, n;
    while (got < want && (n = file.Read((char*)raw.data() + got, want - got)) > 0) got += n;
    for (int i = 0; i < kCutterTableSize; ++i) g_CutterTable.m_records[i].FromFile(raw[i]);
    records = length / sizeof(CutterFileRecord);
    g_CutterTable.m_nCount = (int)(records > kCutterTableSize ? kCutterTableSize : records);
  } catch (const CFileException&) {
    // A read error leaves whatever was read, and none of it counts.
  }
  file.Abort();
  if (records > (ULONGLONG)kCutterTableSize) {
    g_CutterTable.m_bFileTooLarge = TRUE;
    CString text;
    text.Format(LoadLangString(IDS_CUTTER_TOO_MANY_CN, IDS_CUTTER_TOO_MANY_EN), (int)records, kCutterTableSize);
    ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
  }
}

BOOL SaveCutterTable() {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  if (g_CutterTable.m_bFileTooLarge) {
    ShowMessage(LoadLangString(IDS_CUTTER_NOT_SAVED_CN, IDS_CUTTER_NOT_SAVED_EN), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  CFile file;
  if (!file.Open(CutterFilePath(),
                 CFile::modeReadWrite | CFile::modeCreate | CFile::modeNoTruncate | CFile::typeBinary))
    return FALSE;
  BOOL written = TRUE;
  try {
    int count = g_CutterTable.m_nCount;
    if (count < 0) count = 0;
    if (count > kCutterTableSize) count = kCutterTableSize;
    std::vector<CutterFileRecord> raw((size_t)count);
    for (int i = 0; i < count; ++i) g_CutterTable.m_records[i].ToFile(raw[(size_t)i]);
    if (count) file.Write(raw.data(), (UINT)(count * sizeof(CutterFileRecord)));
    file.SetLength((ULONGLONG)count * sizeof(CutterFileRecord));
  } catch (const CFileException&) {
    // The table stays in memory and is written again at the next save.
    written = FALSE;
  }
  file.Abort();
  return written;
}

int FindCutter(int key) {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  for (int i = 0; i < g_CutterTable.m_nCount; ++i)
    if (g_CutterTable.m_records[i].m_nOriginalNumber == key) return i;
  return -1;
}

void BuildDefaultTools() {
  CSingleLock lock(&g_CutterTable.m_mutex, TRUE);
  for (int k = 1; k <= 7; ++k) {
    CCutter& c = g_CutterTable.m_records[k - 1];
    c = CCutter();
    c.m_dwReserved[0] = c.m_dwReserved[1] = 0;  // new records have zero reserved words
    c.m_nNumber = c.m_nOriginalNumber = c.m_nType = k;
    c.m_nUnit = 0;
    c.m_dDiameter = 6.0;
    c.m_dLength = 15.0;
    c.m_dAngle = k >= 4 ? 20.0 : 0.0;
    c.m_dTipRadius = c.m_dFlatDiameter = k >= 3 ? 1.0 : 0.0;
    device_text::CopyField(c.m_szDescription, sizeof(c.m_szDescription), kTypeNames[k - 1]);
    device_text::CopyField(c.m_szMemo, sizeof(c.m_szMemo), kTypeNames[k - 1]);
  }
  g_CutterTable.m_nCount = 7;
}
