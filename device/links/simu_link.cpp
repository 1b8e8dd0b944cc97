#include "device/links/simu_link.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "platform/bytes.h"
#include "platform/file.h"

namespace {

constexpr double kMmPerInch = 25.4;
constexpr BYTE kAck = 0x01;
constexpr int kCommandHead = 4;  // command word, payload length
constexpr int kBlockHead = 6;    // move code word, item size, item count

// Commands the simulator answers or that only a live controller acts on: none of them
// goes to the file target.
constexpr BYTE kCodeNone = 0;
constexpr BYTE kCodeTagMark = 10;  // DT_DH: u32 tag number
constexpr BYTE kCodeQuery = 32;    // DT_OW: u16 query item
constexpr BYTE kCodeOt = 144;      // DT_OT: stop, Z adjustment

// Query items.
constexpr WORD kQueryStatus = 1;
constexpr WORD kQueryWorkArea = 2;
constexpr WORD kQueryOrigin = 3;
constexpr WORD kQueryOnline = 4;
constexpr WORD kQueryVersion = 13;
constexpr WORD kQueryCapability = 16;

// Move blocks: the absolute, pen-up, pen-down and relative families, 7 axis sets each.
bool IsMoveCode(BYTE code) {
  BYTE family = code & 0xF0, axes = code & 0x0F;
  return family >= 0x40 && family <= 0x70 && axes >= 1 && axes <= 7;
}

bool IsWrittenCode(BYTE code) {
  return code != kCodeNone && code != kCodeTagMark && code != kCodeQuery && code != kCodeOt;
}

// Bytes of the whole command at p, from its head (kBlockHead bytes for a move code,
// kCommandHead otherwise, must be there).
DWORD CommandTotal(const BYTE* p) {
  if (IsMoveCode(p[0])) return (DWORD)bytes::Load16(p + 2) * bytes::Load16(p + 4) + kBlockHead;
  return (DWORD)bytes::Load16(p + 2) + kCommandHead;
}

// A reply line carries characters 0x20-0x7E only: any other byte would read as an ACK,
// a NAK or BUSY, and ";" would end the line early. Each such character (a double-byte
// one counts once) becomes "?".
CString ReplyText(const char* text) {
  CString out;
  for (const char* p = text; *p; ++p) {
    BYTE b = (BYTE)*p;
    if (b >= 0x20 && b <= 0x7E && b != ';') {
      out += (char)b;
      continue;
    }
    out += '?';
    if (IsDBCSLeadByte(b) && p[1]) ++p;
  }
  return out;
}

long StepsOf(double length_mm, double res_steps_in) {
  double steps = length_mm * res_steps_in / kMmPerInch;
  if (!(steps > 0)) return 0;  // also NaN
  return steps >= (double)LONG_MAX ? LONG_MAX : std::lround(steps);
}

}  // namespace

CSimuLink::~CSimuLink() {
  if (m_pFile) fclose(m_pFile);
}

// ---------------------------------------------------------------- open and close

BOOL CSimuLink::Open(const char* commString, int /*option1*/, int /*option2*/, HWND notifyWindow, UINT notifyMessage) {
  Close();
  CString name(commString ? commString : "");
  if (name.Left(4).CompareNoCase("SIMU") != 0) {
    if (name.Left(5).CompareNoCase("FILE:") != 0) return FALSE;
    m_strFilePath = name.Mid(5);
    m_pFile = m_strFilePath.IsEmpty() ? nullptr : fopen(platform::NativePath(m_strFilePath).c_str(), "w+b");
    if (!m_pFile) {
      m_strFilePath.Empty();
      return FALSE;
    }
  }
  FixWorkArea();
  m_strPortName = name;
  m_hNotifyWnd = notifyWindow;
  m_nNotifyMsg = notifyMessage;
  m_nLastAckPack = -1;
  m_nFramesAcked = m_nFramesRefused = m_nBadFrames = m_nBytesSkipped = 0;
  m_nCommands = m_nBytesWritten = m_nReplyLines = m_nAnswersDropped = 0;
  m_hPort = 1;
  return TRUE;
}

BOOL CSimuLink::Close() {
  m_hPort = -1;
  if (m_pFile) fclose(m_pFile);
  m_pFile = nullptr;
  m_bFileFailed = false;
  m_strFilePath.Empty();
  ResetBuffers();
  return TRUE;
}

void CSimuLink::ResetBuffers() {
  m_nAnswerLen = m_nInLen = m_nStreamLen = 0;
  m_nPending = 0;
  m_bPendingWritten = false;
  m_nCurrentCode = 0;
  m_nLastFrameSize = 0;
}

void CSimuLink::FixWorkArea() {
  const double size_mm[3] = {m_device.m_dWorkX, m_device.m_dWorkY, m_device.m_dWorkZ};
  const double res_steps_in[3] = {m_device.m_dResX, m_device.m_dResY, m_device.m_dResZ};
  for (int axis = 0; axis < 3; ++axis) {
    m_WorkSteps[axis] = StepsOf(size_mm[axis], res_steps_in[axis]);
    m_OriginSteps[axis] = 0;
  }
  m_OriginSteps[2] = m_WorkSteps[2] / 2;
}

// ---------------------------------------------------------------- the byte stream

BOOL CSimuLink::Read(BYTE* buffer, DWORD* length) {
  if (!length) return FALSE;
  if (!buffer || m_nAnswerLen == 0) {
    *length = 0;
    return FALSE;
  }
  int n = *length < (DWORD)m_nAnswerLen ? (int)*length : m_nAnswerLen;
  memcpy(buffer, m_Answer, (size_t)n);
  memmove(m_Answer, m_Answer + n, (size_t)(m_nAnswerLen - n));
  m_nAnswerLen -= n;
  *length = (DWORD)n;
  return TRUE;
}

BOOL CSimuLink::Write(const BYTE* bytes, DWORD* length) {
  if (!length) return FALSE;
  DWORD room = (DWORD)(kBufferSize - m_nInLen);
  DWORD n = *length < room ? *length : room;
  if (!bytes || n == 0 || !IsOpen()) {
    *length = 0;
    return FALSE;
  }
  memcpy(m_In + m_nInLen, bytes, n);
  m_nInLen += (int)n;
  *length = n;
  ProcessFrames();
  return TRUE;
}

// Frame scan: the scanner says whether a whole good frame starts at the front, more
// bytes are needed, or how many bytes to drop to reach the next possible sync word (a
// damaged frame loses at least its first byte, so a sync word inside it is tried next).
void CSimuLink::ProcessFrames() {
  const int version = *m_pVersion;
  int at = 0;
  while (at < m_nInLen) {
    DeviceFrameScanReason why = kScanNeedMore;
    int r = ScanDeviceFrame(m_In + at, m_nInLen - at, version, &why);
    if (r == 0) break;
    if (r > 0) {
      ProcessFrame(m_In + at, r, version);
      at += r;
      continue;
    }
    if (why == kScanBadCheckValue) ++m_nBadFrames;
    m_nBytesSkipped += (DWORD)-r;
    at += -r;
  }
  memmove(m_In, m_In + at, (size_t)(m_nInLen - at));
  m_nInLen -= at;
}

// A good frame: the ACK goes into the answers before any line its commands produce.
// When the file target fails, the ACK and the lines are taken back, so that the engine
// never sees an export it could not complete as delivered.
void CSimuLink::ProcessFrame(const BYTE* frame, int size, int version) {
  // The same frame again (same pack number, same bytes): a resend whose ACK was late.
  // It is acknowledged again and not taken twice.
  bool repeated = size == m_nLastFrameSize && memcmp(frame, m_LastFrame, (size_t)size) == 0;
  int mark = m_nAnswerLen;
  if (m_bFileFailed || !AppendAnswer(&kAck, 1)) {
    ++m_nFramesRefused;
    return;
  }
  if (!repeated) {
    memcpy(m_LastFrame, frame, (size_t)size);
    m_nLastFrameSize = size;
    DeviceFrame whole;
    whole.Clear();
    memcpy(whole.m_bytes, frame, (size_t)size);
    ProcessCommandStream(m_FrameData, whole.GetData(m_FrameData, version));
    if (m_pFile && fflush(m_pFile) != 0) m_bFileFailed = true;
    if (m_bFileFailed) {
      m_nAnswerLen = mark;
      ++m_nFramesRefused;
      return;
    }
  }
  ++m_nFramesAcked;
  Notify(1, 0);
}

// ---------------------------------------------------------------- the command splitter

// The frames' data joined is the command stream. A command is taken when it is whole,
// at the front of the stream; zero bytes where a command would begin are the fill of a
// short frame and are skipped. A command that is not whole yet either waits in the
// stream, or (a move block, or a command too long to wait) passes through: the bytes
// that are there are written (or dropped) at once and m_nPending counts the bytes of it
// that later frames still carry.
void CSimuLink::ProcessCommandStream(const BYTE* data, int count) {
  memcpy(m_Stream + m_nStreamLen, data, (size_t)count);  // fits: see kWholeCommandMax
  m_nStreamLen += count;
  int at = 0;
  while (at < m_nStreamLen) {
    int have = m_nStreamLen - at;
    // The rest of a passing command.
    if (m_nPending) {
      DWORD n = m_nPending < (DWORD)have ? m_nPending : (DWORD)have;
      if (m_bPendingWritten) WriteTarget(m_Stream + at, n);
      m_nPending -= n;
      at += (int)n;
      continue;
    }
    // Zero fill.
    if (m_Stream[at] == 0) {
      ++at;
      continue;
    }
    // The head of the next command.
    BYTE code = m_Stream[at];
    if (have < (IsMoveCode(code) ? kBlockHead : kCommandHead)) break;
    DWORD total = CommandTotal(m_Stream + at);
    m_nCurrentCode = code;
    if ((DWORD)have >= total) {
      ++m_nCommands;
      TakeCommand(m_Stream + at, total);
      at += (int)total;
      continue;
    }
    if (!IsMoveCode(code) && total <= kWholeCommandMax) break;  // waits for the rest
    ++m_nCommands;
    m_bPendingWritten = IsWrittenCode(code);
    if (m_bPendingWritten) WriteTarget(m_Stream + at, (DWORD)have);
    m_nPending = total - (DWORD)have;
    at = m_nStreamLen;
  }
  memmove(m_Stream, m_Stream + at, (size_t)(m_nStreamLen - at));
  m_nStreamLen -= at;
}

void CSimuLink::TakeCommand(const BYTE* command, DWORD total) {
  BYTE code = command[0];
  if (!IsMoveCode(code)) AnswerCommand(command, total);
  if (IsWrittenCode(code)) WriteTarget(command, total);
}

void CSimuLink::AnswerCommand(const BYTE* command, DWORD total) {
  BYTE code = command[0];
  CString text;
  if (code == kCodeTagMark && total >= kCommandHead + 4) {
    text.Format("G%lu", (unsigned long)bytes::Load32(command + kCommandHead));
  } else if (code == kCodeQuery && total >= kCommandHead + 2) {
    switch (bytes::Load16(command + kCommandHead)) {
      case kQueryStatus: text = "T" + ReplyText(m_device.m_szName); break;
      case kQueryWorkArea:
        text.Format("WX%lu Y%lu Z%lu", (unsigned long)m_WorkSteps[0], (unsigned long)m_WorkSteps[1],
                    (unsigned long)m_WorkSteps[2]);
        break;
      case kQueryOrigin: text.Format("OX%ld Y%ld Z%ld", m_OriginSteps[0], m_OriginSteps[1], m_OriginSteps[2]); break;
      case kQueryOnline: text = "SONLINE"; break;
      case kQueryVersion: text = "V" + m_strVersion; break;
      case kQueryCapability: text = "C" + m_strCapability; break;
      default: break;
    }
  }
  SendTextReply(text);
}

void CSimuLink::SendTextReply(const char* text) {
  if (!text || !*text) return;
  CString line = MakeReplyLine(text);
  if (AppendAnswer((const char*)line, line.GetLength())) ++m_nReplyLines;
}

bool CSimuLink::AppendAnswer(const void* bytes, int count) {
  if (count > kBufferSize - m_nAnswerLen) {
    ++m_nAnswersDropped;
    return false;
  }
  memcpy(m_Answer + m_nAnswerLen, bytes, (size_t)count);
  m_nAnswerLen += count;
  return true;
}

void CSimuLink::WriteTarget(const BYTE* bytes, DWORD count) {
  if (!m_pFile || m_bFileFailed || count == 0) return;
  size_t n = fwrite(bytes, 1, count, m_pFile);
  m_nBytesWritten += (DWORD)n;
  if (n != count) m_bFileFailed = true;
}

CString CSimuLink::GetStatsLine() const {
  CString line;
  line.Format(
      "frames_acked=%lu frames_refused=%lu bad_frames=%lu bytes_skipped=%lu commands=%lu bytes_written=%lu "
      "reply_lines=%lu answers_dropped=%lu file_failed=%d",
      (unsigned long)m_nFramesAcked, (unsigned long)m_nFramesRefused, (unsigned long)m_nBadFrames,
      (unsigned long)m_nBytesSkipped, (unsigned long)m_nCommands, (unsigned long)m_nBytesWritten,
      (unsigned long)m_nReplyLines, (unsigned long)m_nAnswersDropped, m_bFileFailed ? 1 : 0);
  return line;
}
