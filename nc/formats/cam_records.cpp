#include "nc/formats/cam_records.h"

#include <cmath>
#include <cstring>

#include "foundation/texts.h"
#include "platform/bytes.h"
#include "resources/resource.h"

namespace {

constexpr int kMinTool = 1, kMaxTool = 99;  // tool numbers a tool definition may give

// Little-endian doubles of a payload.
double PayloadDouble(const BYTE* payload, int index) { return bytes::LoadDouble(payload + sizeof(double) * index); }

Vec3 PayloadPoint(const BYTE* payload, int index) {
  return Vec3(PayloadDouble(payload, index), PayloadDouble(payload, index + 1), PayloadDouble(payload, index + 2));
}

constexpr int kPointBytes = 3 * sizeof(double);

// Payload bytes a code needs; 0 for codes without payload or unknown codes.
int NeededPayload(WORD code) {
  switch (code) {
    case kCodeRapid:
    case kCodeFeed: return kPointBytes;
    case kCodeArcCW:
    case kCodeArcCCW: return 2 * kPointBytes;
    case kCamFeedRate:
    case kCamSpindle:
    case kCamMCode: return sizeof(double);
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

bool IsFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The tool description of a tool definition payload.
ToolRecord* MakeTool(const BYTE* def) {
  ToolRecord* tool = new (std::nothrow) ToolRecord;
  if (!tool) return nullptr;
  std::memset(tool, 0, sizeof *tool);
  tool->m_nKind = ToolKind((int32_t)bytes::Load32(def + offsetof(CamToolDefinition, m_nKind)));
  tool->m_dSize1 = bytes::LoadDouble(def + offsetof(CamToolDefinition, m_dSize1));
  tool->m_dDiameter = bytes::LoadDouble(def + offsetof(CamToolDefinition, m_dDiameter));
  tool->m_dSize3 = bytes::LoadDouble(def + offsetof(CamToolDefinition, m_dSize3));
  tool->m_dSize4 = (double)(int32_t)bytes::Load32(def + offsetof(CamToolDefinition, m_nSize4));
  const size_t nameSize = sizeof(CamToolDefinition::m_szName);
  std::memcpy(tool->m_szName, def + offsetof(CamToolDefinition, m_szName), nameSize);
  tool->m_szName[nameSize - 1] = '\0';
  return tool;
}

}  // namespace

void CCamRecordReader::Report(const CString& entry) {
  const CString& report = m_ctx.Program().GetErrors();
  if (report.Find(entry) >= 0) return;
  m_ctx.AppendLineReport(report.IsEmpty() ? entry : ", " + entry);
}

BOOL CCamRecordReader::AddCamRecord(int record, const BYTE* data, int size) {
  NCReadState& read = m_ctx.State();
  if (read.m_bProgramEnd) return FALSE;
  if (size < kCamRecordHead) return !read.m_bStop;
  WORD code = bytes::Load16(data);
  int length = bytes::Load16(data + 2);
  const BYTE* payload = data + kCamRecordHead;
  if (length > size - kCamRecordHead) length = size - kCamRecordHead;
  // The record's report entry, made only when one is reported (formatting it for every
  // record cost a tenth of a load).
  auto entry = [&] {
    CString text;
    text.Format("Tag%d: Code=%d(0x%04X), Len=%d", record, code, code, length);
    return text;
  };
  // A record too short for its code is listed and skipped, never read past its end.
  if (length < NeededPayload(code)) {
    Report(entry());
    return !read.m_bStop;
  }
  auto refuse = [&] { Report(entry() + ": " + LoadLangString(IDS_NC_NOT_FINITE_CN, IDS_NC_NOT_FINITE_EN)); };

  switch (code) {
    case 90:
    case 91:
      read.m_bAbsolute = code == 90 ? 1 : 0;
      m_ctx.AddCode(code);
      break;
    case 20:
    case 21:
      read.m_dUnitScale = code == 20 ? 25.4 : 1.0;
      m_ctx.AddCode(code);
      break;
    case kCodePlaneXY:
    case kCodePlaneXZ:
    case kCodePlaneYZ:
      read.m_byPlane = code == kCodePlaneXY ? kPlaneXY : code == kCodePlaneXZ ? kPlaneXZ : kPlaneYZ;
      m_ctx.AddCode(code);
      break;
    case kCodeRapid:
    case kCodeFeed:
    case kCodeArcCW:
    case kCodeArcCCW: {
      Vec3 end = PayloadPoint(payload, 0).Scale(read.m_vAxisFactor);
      end *= read.m_dUnitScale;
      if (!read.m_bAbsolute) end += read.m_vNewPoint;
      // The centre is absolute, in the units of the file like the end point.
      Vec3 center;
      if (IsArcCode(code)) {
        center = PayloadPoint(payload, 3).Scale(read.m_vAxisFactor);
        center *= read.m_dUnitScale;
      }
      if (!IsFinite(end) || !IsFinite(center)) {
        refuse();
        break;
      }
      read.m_vLastPoint = read.m_vNewPoint;
      read.m_vNewPoint = end;
      if (IsArcCode(code))
        m_ctx.AddArc(code, read.m_byPlane, kAxesXYZ, end, center);
      else
        m_ctx.AddLine(code, kAxesXYZ, end);
      break;
    }
    case kCamFeedRate:
    case kCamSpindle:
    case kCamMCode: {
      const double value = PayloadDouble(payload, 0);
      if (!std::isfinite(value)) {
        refuse();
      } else if (code == kCamFeedRate) {
        m_ctx.AddTag("F", value / 60);  // mm/min to mm/s
      } else {
        m_ctx.AddTag(code == kCamSpindle ? "S" : "M", value);
      }
      break;
    }
    case kCamTool: {
      int32_t number = (int32_t)bytes::Load32(payload + offsetof(CamToolDefinition, m_nNumber));
      if (number < kMinTool || number > kMaxTool) break;
      ToolRecord* tool = MakeTool(payload);
      if (!tool) {
        m_ctx.Stop(LoadLangString(IDS_NC_OUT_OF_MEMORY_CN, IDS_NC_OUT_OF_MEMORY_EN));
        break;
      }
      m_ctx.AddUsedTool(number);
      m_ctx.AddTag("T", number, tool);
      break;
    }
    default: Report(entry()); break;
  }
  return !read.m_bStop;
}
