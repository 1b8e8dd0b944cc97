// The command frames of the frame protocol engine and what the controller's reply lines
// do to the device status it keeps.
//
// A command frame carries device commands: a u16 word (0x8000 + code), a u16 payload
// length and the payload, little-endian. It is marked (the controller answers it at
// once) and queued with priority, so it overtakes the job's data.
#include <cctype>
#include <cstring>

#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/notify_text.h"
#include "platform/bytes.h"

namespace {

constexpr WORD kCommandBase = 0x8000;
constexpr WORD kCodeQuery = 0x20;  // DT_OW: a status query
constexpr WORD kCodeOt = 0x90;     // DT_OT: stop, Z adjustment
constexpr WORD kOtStop = 5;
constexpr WORD kOtZAdjust = 7;
constexpr int kCommandHead = 4;                   // word and length
constexpr WORD kAllQueries[] = {13, 4, 3, 2, 1};  // version, online state, origin, work position, status

// Appends one command to out (room is the caller's); returns its size.
int PutCommand(BYTE* out, WORD code, const void* payload, WORD length) {
  bytes::Store16(out, (uint16_t)(kCommandBase + code));
  bytes::Store16(out + 2, length);
  if (length) memcpy(out + kCommandHead, payload, length);
  return kCommandHead + length;
}

int PutWordCommand(BYTE* out, WORD code, WORD value) {
  BYTE payload[2];
  bytes::Store16(payload, value);
  return PutCommand(out, code, payload, 2);
}

}  // namespace

void CFrameProtocol::QueueCommandFrame(const BYTE* data, int count, WORD command) {
  DeviceFrame frame;
  frame.Clear();
  frame.SetSync(m_nVersion);
  frame.SetAckMark(kFrameMarkCommand, m_nVersion);
  WORD n = frame.PutData(0, data, count, m_nVersion);
  frame.SetCommand(command, m_nVersion);
  frame.SetLength(n, m_nVersion);
  QueueFrame(frame, TRUE);
}

// The controller restarts its pack count with this frame, so the numbering does too.
void CFrameProtocol::SendSyncFrame() {
  m_nNextPackNo = 1;
  BYTE zero[2] = {0, 0};
  QueueCommandFrame(zero, 2, kFrameCommandSync);
}

void CFrameProtocol::RequestQueries(WORD item) {
  {
    CSingleLock lock(&m_StatusLock, TRUE);
    m_bOnline = FALSE;
    m_nAnswered = 0;
    m_strStatus.Empty();
    m_strVersion.Empty();
    m_strCapability.Empty();
    m_strRunRequest.Empty();
    m_WorkPos = m_OriginPos = Vec3();
  }
  BYTE data[sizeof(kAllQueries) / sizeof(kAllQueries[0]) * 6];
  int n = 0;
  if (item == 0) {
    for (WORD each : kAllQueries) n += PutWordCommand(data + n, kCodeQuery, each);
  } else {
    n = PutWordCommand(data, kCodeQuery, item);
  }
  QueueCommandFrame(data, n);
}

void CFrameProtocol::SendWordCommand(WORD code, WORD value) {
  BYTE data[6];
  QueueCommandFrame(data, PutWordCommand(data, code, value));
}

void CFrameProtocol::SendLongCommand(WORD code, DWORD value) {
  BYTE payload[4];
  bytes::Store32(payload, value);
  BYTE data[8];
  QueueCommandFrame(data, PutCommand(data, code, payload, 4));
}

BOOL CFrameProtocol::SendRomParam(WORD code, const BYTE* bytes, int count) {
  if (count < 0 || (count > 0 && !bytes) || kCommandHead + count > (int)GetFrameDataCapacity()) return FALSE;
  BYTE data[DEVICE_FRAME_MAX_DATA];
  QueueCommandFrame(data, PutCommand(data, code, bytes, (WORD)count));
  return TRUE;
}

BOOL CFrameProtocol::SendRomParamMessage(const BYTE* payload, int payloadLength) {
  if (!payload || payloadLength < kCommandHead) return FALSE;
  WORD code = bytes::Load16(payload);
  int count = bytes::Load16(payload + 2);
  if (count > payloadLength - kCommandHead) return FALSE;  // more than the message holds
  return SendRomParam(code, payload + kCommandHead, count);
}

void CFrameProtocol::SendOtCommands(int count) {
  for (int i = 0; i < count; ++i) SendWordCommand(kCodeOt, kOtStop);
}

void CFrameProtocol::SendZAdjust(WORD value) {
  BYTE payload[4];
  bytes::Store16(payload, kOtZAdjust);
  bytes::Store16(payload + 2, value);
  BYTE data[8];
  QueueCommandFrame(data, PutCommand(data, kCodeOt, payload, 4));
}

// ---------------------------------------------------------------------------------
// Reply lines: the first letter says what the line answers; the rest is upper-cased
// and trimmed. Every line then goes to the dialog, tag-progress lines ("G") as the
// delayed message so the dialog can pace them.

void CFrameProtocol::HandleReplyLine(const char* line) {
  if (!line || !*line) return;
  CString rest(line + 1);
  rest.MakeUpper();
  rest.Trim();
  bool cancel = false;
  BOOL delayed = FALSE;
  {
    CSingleLock lock(&m_StatusLock, TRUE);
    switch (toupper((unsigned char)line[0])) {
      case 'T':
        m_nAnswered |= kAnsweredStatus;
        m_strStatus = rest;
        break;
      case 'W':
        if (ParsePosition(line, m_WorkPos)) m_nAnswered |= kAnsweredWorkPos;
        break;
      case 'O':
        if (ParsePosition(line, m_OriginPos)) m_nAnswered |= kAnsweredOrigin;
        break;
      case 'S':
        m_nAnswered |= kAnsweredOnline;
        m_bOnline = rest == "ONLINE" ? TRUE : FALSE;
        break;
      case 'P': cancel = rest == "CANCEL"; break;
      case 'V':
        m_nAnswered |= kAnsweredVersion;
        m_strVersion = rest;
        break;
      case 'C': m_strCapability = rest; break;
      case 'G': delayed = TRUE; break;
      case 'R': m_strRunRequest = rest; break;
      default: break;
    }
  }
  if (cancel) PostAbort(kAbortCancelFromDevice);
  PostNotifyText(m_pOwner, line, delayed);
}

BOOL CFrameProtocol::IsDeviceResponding() {
  CSingleLock lock(&m_StatusLock, TRUE);
  return (m_nAnswered & kAnsweredAll) ? TRUE : FALSE;
}

BOOL CFrameProtocol::IsDeviceOnline() {
  CSingleLock lock(&m_StatusLock, TRUE);
  return m_bOnline && (m_nAnswered & kAnsweredAll) == kAnsweredAll ? TRUE : FALSE;
}

BOOL CFrameProtocol::IsOnline() { return ReadLocked(m_StatusLock, m_bOnline); }
CString CFrameProtocol::GetStatusText() { return ReadLocked(m_StatusLock, m_strStatus); }
CString CFrameProtocol::GetControllerVersion() { return ReadLocked(m_StatusLock, m_strVersion); }
CString CFrameProtocol::GetReplyC() { return ReadLocked(m_StatusLock, m_strCapability); }
Vec3 CFrameProtocol::GetWorkPosition() { return ReadLocked(m_StatusLock, m_WorkPos); }
Vec3 CFrameProtocol::GetOriginPosition() { return ReadLocked(m_StatusLock, m_OriginPos); }

BOOL CFrameProtocol::TakeReplyR() {
  CSingleLock lock(&m_StatusLock, TRUE);
  if (m_strRunRequest.IsEmpty()) return FALSE;
  m_strRunRequest.Empty();
  return TRUE;
}

void CFrameProtocol::SetTagProgressText(const char* text) {
  CString trimmed(text ? text : "");
  trimmed.Trim();
  CSingleLock lock(&m_StatusLock, TRUE);
  m_strTagProgress = trimmed;
}

CString CFrameProtocol::GetTagProgressText() { return ReadLocked(m_StatusLock, m_strTagProgress); }
