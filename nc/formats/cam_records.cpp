// The records of a CAM file into path elements and tags.
#include <cstring>

#include "nc/nc_program.h"

namespace {

// Little-endian doubles of a payload.
double PayloadDouble(const BYTE* payload, int index) {
  double v;
  std::memcpy(&v, payload + 8 * index, sizeof v);
  return v;
}

Vec3 PayloadPoint(const BYTE* payload, int index) {
  return Vec3(PayloadDouble(payload, index), PayloadDouble(payload, index + 1), PayloadDouble(payload, index + 2));
}

// Payload bytes a code needs; 0 for codes without payload or unknown codes.
int NeededPayload(WORD code) {
  switch (code) {
    case kCodeRapid:
    case kCodeFeed: return 24;
    case kCodeArcCW:
    case kCodeArcCCW: return 48;
    case kCamFeedRate:
    case kCamSpindle:
    case kCamMCode: return 8;
    case kCamTool: return (int)sizeof(CamToolDefinition);
    default: return 0;
  }
}

// CAM tool kinds (1 flat end mill, 2 flat-tip taper, 3 ball) as ToolRecord kinds.
DWORD ToolKind(int32_t camKind) {
  switch (camKind) {
    case 1: return 2;
    case 2: return 6;
    case 3: return 1;
    default: return 0;
  }
}

}  // namespace

void CNCProgram::AppendCamReport(const CString& entry) {
  if (m_strErrors.Find(entry) >= 0) return;
  AppendLineReport(m_strErrors.IsEmpty() ? entry : ", " + entry);
}

BOOL CNCProgram::AddCamRecord(int record, const BYTE* data, int size) {
  if (m_bProgramEnd) return FALSE;
  if (size < kCamRecordHead) return !m_bStop;
  WORD code = (WORD)(data[0] | data[1] << 8);
  int length = data[2] | data[3] << 8;
  const BYTE* payload = data + kCamRecordHead;
  if (length > size - kCamRecordHead) length = size - kCamRecordHead;
  auto report = [&] {
    CString entry;
    entry.Format("Tag%d: Code=%d(0x%04X), Len=%d", record, code, code, length);
    AppendCamReport(entry);
  };
  // A record too short for its code is listed and skipped, never read past its end.
  if (length < NeededPayload(code)) {
    report();
    return !m_bStop;
  }

  switch (code) {
    case 90:
    case 91:
      m_bAbsolute = code == 90 ? 1 : 0;
      AddCode(code);
      break;
    case 20:
    case 21:
      m_dUnitScale = code == 20 ? 25.4 : 1.0;
      AddCode(code);
      break;
    case 17:
    case 18:
    case 19:
      m_byPlane = (BYTE)((code - 17) * 4);
      AddCode(code);
      break;
    case kCodeRapid:
    case kCodeFeed:
    case kCodeArcCW:
    case kCodeArcCCW: {
      Vec3 end = PayloadPoint(payload, 0).Scale(m_vAxisFactor);
      m_vLastPoint = m_vNewPoint;
      m_vNewPoint = end;
      m_vNewPoint *= m_dUnitScale;
      if (!m_bAbsolute) m_vNewPoint += m_vLastPoint;
      if (code <= kCodeFeed) {
        AddLine(code, kAxesXYZ, m_vNewPoint);
      } else {
        // The centre is absolute, in the units of the file like the end point.
        Vec3 center = PayloadPoint(payload, 3).Scale(m_vAxisFactor);
        center *= m_dUnitScale;
        AddArc(code, m_byPlane, kAxesXYZ, m_vNewPoint, center);
      }
      break;
    }
    case kCamFeedRate: AddTag("F", PayloadDouble(payload, 0) / 60); break;
    case kCamSpindle: AddTag("S", PayloadDouble(payload, 0)); break;
    case kCamMCode: AddTag("M", PayloadDouble(payload, 0)); break;
    case kCamTool: {
      CamToolDefinition def;
      std::memcpy(&def, payload, sizeof def);
      int32_t number = def.m_nNumber;
      if (number < 1 || number > 99) break;
      ToolRecord* tool = new ToolRecord;
      std::memset(tool, 0, sizeof *tool);
      tool->m_nKind = ToolKind(def.m_nKind);
      tool->m_dSize1 = def.m_dSize1;
      tool->m_dDiameter = def.m_dDiameter;
      tool->m_dSize3 = def.m_dSize3;
      tool->m_dSize4 = (double)def.m_nSize4;
      std::memcpy(tool->m_szName, def.m_szName, sizeof def.m_szName);
      tool->m_szName[sizeof def.m_szName - 1] = '\0';
      AddUsedTool(number);
      AddTag("T", number, tool);
      break;
    }
    default: report(); break;
  }
  return !m_bStop;
}
