// Instructions: the device's start and end texts, the start commands of a copy, tool
// selection, M codes and the tag records of the path, all as short commands.
//
// A tag record met while a run of moves is being collected is held back with the index of
// the run's last segment and goes out when that segment has been packed, so the command
// takes effect exactly where the record stood among the moves. Plane codes and "F" tags
// act at once: they change how the following moves are collected.
#include <cstdlib>
#include <cstring>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "engine/planner/planner_numbers.h"
#include "foundation/log.h"

namespace {

enum : WORD { kCodeTag = 0xFFFF, kCodePlaneXY = 17, kCodePlaneXZ = 18, kCodePlaneYZ = 19 };
enum : int { kClassPlasma = 1, kClassLogEngraver = 4 };

bool IsPlaneCode(WORD code) { return code >= kCodePlaneXY && code <= kCodePlaneYZ; }

// The record's name, upper-cased (at most two characters).
CString TagName(const PathRecordData& r) {
  char name[3] = {r.m_szName[0], r.m_szName[0] ? r.m_szName[1] : '\0', 0};
  CString text(name);
  text.MakeUpper();
  return text;
}

}  // namespace

int CPathProcessor::ParseInstructionString(const char* text) {
  CString rest(text ? text : "");
  rest.Remove(' ');
  rest.Remove('\t');
  for (int semi = rest.Find(';'); semi >= 0; semi = rest.Find(';')) {
    CString piece = rest.Left(semi + 1);
    rest = rest.Mid(semi + 1);
    piece.MakeUpper();
    piece.Trim();
    if (piece.GetLength() < 2) continue;
    CString key = piece.Left(2);
    long value = std::atol(piece.Mid(2));
    if (key == "IN") continue;  // the processing thread sends DT_IN itself
    if (key == "SW") {
      AddCommand(DT_SW, (WORD)value);
    } else if (key == "SA") {
      AddCommand(DT_SA, (WORD)value);
    } else if (key == "ZW") {
      m_nZWValue = value;
    } else if (key == "SP") {
      SelectTool((int)value);
      AddCommand(DT_SP, (WORD)value);
    } else if (key[0] == 'M') {
      AddCommand(DT_M03, (WORD)std::atol(piece.Mid(1)));
    }
  }
  return 1;
}

void CPathProcessor::AddSpeedCommands() {
  m_out.Command(DT_CS, Low16(m_device.m_dCornerSpeed));
  m_out.Command(DT_PN, Low16(m_device.m_dParamN));
  m_out.Command(DT_CU, Low16(m_device.m_dCornerUp));
}

void CPathProcessor::AddVelocityCommands() {
  AddCommand(DT_SS, Low16(m_dStart_mm_s));
  AddCommand(DT_SU, Low16(m_dTraverse_mm_s));
  AddCommand(DT_SD, Low16(m_dFeed_mm_s));
  AddCommand(DT_SZ, Low16(m_dPlunge_mm_s));
}

void CPathProcessor::AddStartCommands() {
  bool plasma = m_device.m_nMachineClass == kClassPlasma;
  AddVelocityCommands();
  AddCommand(DT_SA, Low16(m_dAccel_mm_s2));
  AddCommand(DT_M03, m_job.CoolantOn ? 8 : 9);
  if (m_job.SpindleOn) AddCommand2(DT_G97, Low32(m_job.SpindleSpeed * (plasma ? 10.0 : 1.0)));
  AddCommand(DT_M03, m_job.SpindleOn ? 3 : 5);
  if (m_nZWValue != -1) AddCommand(DT_ZW, (WORD)m_nZWValue);
  if (plasma) {
    AddCommand(DT_M03, m_job.SurfaceAutoDetect ? 129 : 128);
    AddCommand(DT_M03, (m_job.SWordEnabled && !m_bForce2D) ? 145 : 144);
  }
  if (m_device.m_nMachineClass == kClassLogEngraver && m_job.RollEngrave)
    AddCommand(DT_ZZ, m_device.m_nRotaryAxis == 0 ? 3 : 2);
  m_bZZGuard = FALSE;
  if (plasma || m_bForce2D) {
    m_bZZGuard = TRUE;
    AddCommand(DT_ZZ, 0);
  }
}

void CPathProcessor::SetSpindleSpeed(DWORD speed) {
  m_job.SpindleSpeed = (double)speed;
  m_dSpindle_rpm = (double)speed;
  if (m_out.Queue()) m_out.Queue()->SendLongCommand(DT_G97, speed);
}

void CPathProcessor::SendMCode(WORD code) {
  if (code == 3 || code == 4) m_job.SpindleOn = 1;
  if (code == 5) m_job.SpindleOn = 0;
  if (code == 7 || code == 8) m_job.CoolantOn = 1;
  if (code == 9) m_job.CoolantOn = 0;
  if (m_out.Queue()) m_out.Queue()->SendWordCommand(DT_M03, code);
}

void CPathProcessor::SelectTool(int tool) {
  CString name;
  name.Format("T%d", tool);
  for (int i = 0; i < m_job.ToolCount; i++) {
    const ToolSpeedEntry& t = m_job.ToolSpeeds[i];
    char key[sizeof t.Key + 1] = {};
    std::memcpy(key, t.Key, sizeof t.Key);
    if (name.CompareNoCase(key) != 0) continue;
    // A tool's value below 1 means the job's own. (By value: the record's fields are packed.)
    auto own = [](double tool, double job) { return tool < 1 ? job : tool; };
    m_dTraverse_mm_s = own(t.Traverse, m_job.TraverseSpeed);
    m_dFeed_mm_s = own(t.Feed, m_job.FeedSpeed);
    m_dPlunge_mm_s = own(t.Plunge, m_job.PlungeSpeed);
    m_dStart_mm_s = own(t.Start, m_job.StartSpeed);
    m_dSpindle_rpm = own(t.SpindleSpeed, m_job.SpindleSpeed);
    if (m_bLogOutput) {
      CString text;
      text.Format("Start=%.3f", m_dStart_mm_s);
      WriteLog("output", text);
    }
    m_nCurrentTool = tool;
    break;
  }
  AddVelocityCommands();
  if (m_job.SpindleOn)
    AddCommand2(DT_G97, Low32(m_dSpindle_rpm * (m_device.m_nMachineClass == kClassPlasma ? 10.0 : 1.0)));
}

void CPathProcessor::HandleMCode(const PathRecordData& r) {
  int n = (int)TruncToInt64(r.m_dValue);
  bool send;
  if (n == 3 || n == 4 || n == 5 || n == 7 || n == 8 || n == 9)
    send = true;
  else if ((n >= 101 && n <= 115) || (n >= 201 && n <= 215))
    send = m_job.TWordEnabled && m_device.m_nSpindles > 1;
  else
    send = m_settings.m_bPassThruUnknownMcode != 0;
  if (send) AddCommand(DT_M03, Low16(r.m_dValue));
  if (m_bLogOutput) {
    CString text;
    text.Format("M Code: %d", n);
    WriteLog("output", text);
  }
}

void CPathProcessor::SetPlaneFromCode(int code) {
  // Orientations that exchange X and Y exchange the XZ and YZ planes too.
  bool swapped = m_job.Orientation == 3 || m_job.Orientation == 4 || m_job.Orientation == 7 || m_job.Orientation == 8;
  if (code == kCodePlaneXY) m_nPlane = kPlaneXY;
  if (code == kCodePlaneXZ) m_nPlane = swapped ? kPlaneYZ : kPlaneXZ;
  if (code == kCodePlaneYZ) m_nPlane = swapped ? kPlaneXZ : kPlaneYZ;
}

void CPathProcessor::AddTagRecord(const PathRecordData& r) {
  // Mode codes other than planes send nothing, now or later: only tags are held.
  bool feedTag = r.m_nCode == kCodeTag && TagName(r) == "F";
  if (!m_aSegments.empty() && r.m_nCode == kCodeTag && !feedTag) {
    m_aHeld.push_back(HeldRecord{(int)m_aSegments.size() - 1, r});
    return;
  }
  if (IsPlaneCode(r.m_nCode))
    SetPlaneFromCode(r.m_nCode);
  else if (r.m_nCode == kCodeTag)
    SendTagRecord(r);
}

void CPathProcessor::SendTagRecord(const PathRecordData& r) {
  CString name = TagName(r);
  double v = r.m_dValue;
  if (name == "IN") {
    AddCommand(DT_IN, kInValue);
  } else if (name == "SW") {
    AddCommand(DT_SW, Low16(v));
  } else if (name == "SA") {
    AddCommand(DT_SA, Low16(v));
  } else if (name == "ZW") {
    AddCommand(DT_ZW, Low16(v));
  } else if (name == "ZZ") {
    if (!(m_bZZGuard && v <= 1)) AddCommand(DT_ZZ, Low16(v));
  } else if (name == "SP") {
    SelectTool((int)TruncToInt64(v));
    AddCommand(DT_SP, Low16(v));
  } else if (name == "PU") {
    AddCommand(DT_PU, Low16(v));
  } else if (name == "PD") {
    AddCommand(DT_PD, Low16(v));
  } else if (name == "F") {
    if (m_job.FWordEnabled) m_dFeedOverride = v;
  } else if (name == "S") {
    if (m_job.SWordEnabled) AddCommand2(DT_G97, Low32(v));
  } else if (name == "M") {
    HandleMCode(r);
  } else if (name == "T") {
    SelectTool((int)TruncToInt64(v));
    int slot = Low16(v);
    if (slot >= 1 && slot < kToolSlots && m_anToolSlots[slot] != 0)
      AddCommand(DT_SP, WORD(m_anToolSlots[slot] + 0x8000));
    else
      AddCommand(DT_SP, (WORD)slot);
  } else if (name == "P") {
    AddCommand(DT_P, Low16(v));
  } else if (name == "Y") {
    AddCommand2(DT_Y, Low32(v * m_adStepsPerMm[1]));
  } else if (name == "D") {
    AddCommand(DT_D, Low16(v));
  } else if (name == "@T") {
    if (m_device.m_nSpindles >= 2) {
      int64_t tool = TruncToInt64(v);
      int64_t slot = TruncToInt64((v - (double)tool + 0.0001) * 100.0);
      if (slot > 0 && slot < kToolSlots) m_anToolSlots[slot] = (int)tool;
      AddCommand2(DT_AT, (DWORD)(((uint64_t)tool << 16) + ((uint64_t)slot & 0xFFFFu)));
    }
  }
  // "#O", "#X", "#Y", "#Z" and any other name: nothing is sent.
}

// The instructions held back with segment `segment` (and any before it still waiting).
void CPathProcessor::SendHeldRecords(int segment) {
  while (m_nHeldSent < m_aHeld.size() && m_aHeld[m_nHeldSent].m_nSegment <= segment) {
    const PathRecordData& r = m_aHeld[m_nHeldSent++].m_data;
    if (IsPlaneCode(r.m_nCode))
      SetPlaneFromCode(r.m_nCode);
    else if (r.m_nCode == kCodeTag)
      SendTagRecord(r);
  }
}

void CPathProcessor::SendAllHeldRecords() {
  SendHeldRecords(INT32_MAX);
  m_aHeld.clear();
  m_nHeldSent = 0;
}
