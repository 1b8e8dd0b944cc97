#include "engine/protocol/frame_protocol.h"

#include <cstdarg>
#include <cstring>

#include "engine/protocol/notify_text.h"
#include "foundation/log.h"

ULONGLONG g_nByteCount = 0;
DWORD g_nByteCountStart = 0;

namespace {
constexpr DWORD kReadMax = 2038;  // answer bytes taken per notification
}  // namespace

AnswerByteKind ClassifyAnswerByte(BYTE b) {
  if (b == 0x01) return kAnswerAck;
  if (b >= 0xF0) return kAnswerAckPack;
  if (b == 0x06) return kAnswerBusy;
  if (b == 0x08) return kAnswerNak;
  if (b >= 0xE0 && b <= 0xEF) return kAnswerNakPack;
  if (b >= 0x20 && b <= 0x7F) return kAnswerReplyChar;
  return kAnswerIgnored;
}

CFrameProtocol::CFrameProtocol(ITickSource& ticks) : m_ticks(ticks), m_Random(ticks.Now() ^ GetCurrentProcessId()) {
  m_Frame.Clear();
  Init();
}

CFrameProtocol::~CFrameProtocol() { ResetFifo(); }

// ---------------------------------------------------------------------------------
// Set-up

void CFrameProtocol::Init() {
  m_nPaddingSize = 6;
  m_nRetryLimit = 3;
  m_nAckTimeout = 3000;
  m_nQueueLimit = 10;
  m_nState = kIdle;
  m_nNextPackNo = m_nLastPackNo = 0;
  m_dwSendTick = 0;
  m_nAttempts = m_nUnanswered = m_nAckedCount = m_nSurplusAcks = 0;
  m_Stats = FrameProtocolStats();
  m_pLink = nullptr;
  m_pOwner = nullptr;
  m_Reply.Reset();
  m_Frame.Clear();
  CSingleLock lock(&m_StatusLock, TRUE);
  m_nAnswered = 0;
  m_bOnline = FALSE;
  m_strStatus.Empty();
  m_strVersion.Empty();
  m_strCapability.Empty();
  m_strTagProgress.Empty();
  m_strRunRequest.Empty();
  m_WorkPos = m_OriginPos = Vec3();
}

void CFrameProtocol::Configure(const FrameProtocolConfig& config) {
  m_Frame.Clear();
  m_nNextPackNo = m_nLastPackNo = 0;
  m_nState = kReady;
  m_nRetryLimit = config.nRetryLimit;
  m_nAttempts = m_nUnanswered = m_nAckedCount = m_nSurplusAcks = 0;
  m_nAckTimeout = config.nAckTimeout_ms;
  m_dwSendTick = 0;
  m_nQueueLimit = config.nQueueLimit;
  m_nVersion = config.nProtocolVersion;
  m_bLogCom = config.bLogCom;
  m_bLogFrame = config.bLogFrame;
  m_bCrcErrSimulate = config.bCrcErrSimulate;
  m_bLostSimulate = config.bLostSimulate;
  m_Stats = FrameProtocolStats();
  {
    CSingleLock lock(&m_NormalLock, TRUE);
    m_NormalQueue.clear();
  }
  {
    CSingleLock lock(&m_PriorityLock, TRUE);
    m_PriorityQueue.clear();
  }
  {
    CSingleLock lock(&m_StatusLock, TRUE);
    m_nAnswered = 0;
    m_strTagProgress.Empty();
  }
  m_bFileFifo = config.bFileFifo;
  m_nPaddingSize = config.nPaddingSize > 8 ? 8 : config.nPaddingSize;
  m_bDeliveredDone = 0;
  m_bSpillFailed = 0;
  m_bSpillReported = FALSE;
  // A fresh spill file every time, used or not. Without one the data frames stay in
  // memory, where the producer waits on IsQueueFull: slower to fill, nothing lost.
  if (!m_Fifo.Open(config.strAppFolder, kFifoFirstSize, kFifoSlotSize) && m_bFileFifo) {
    m_bFileFifo = FALSE;
    LogFrameText("FIFO file cannot be created; frames are queued in memory");
  }
}

void CFrameProtocol::Attach(INotifySink* owner, CDeviceLink* link, UINT abortMsg) {
  m_pLink = link;
  if (link) link->Purge();
  if (owner) m_pOwner = owner;
  m_nAbortMsg = abortMsg;
  m_nState = kReady;
}

void CFrameProtocol::ClearQueues() {
  CSingleLock lock(&m_NormalLock, TRUE);
  m_NormalQueue.clear();
}

void CFrameProtocol::SetControllerGeneration(DWORD generation) {
  m_nControllerGeneration = generation;
  if (generation < 7) m_nPaddingSize = 0;
}

// ---------------------------------------------------------------------------------
// Producers

// Once the spill file has refused a frame, every later one is refused too: the
// controller must never get the frames after a gap.
// Spilled frames become ready only when their run is published (MarkFifoEnd).
BOOL CFrameProtocol::QueueFrame(const DeviceFrame& frame, BOOL priority) {
  if (priority) {
    {
      CSingleLock lock(&m_PriorityLock, TRUE);
      m_PriorityQueue.push_back(frame);
    }
    WakeSender();
    return TRUE;
  }
  if (m_bFileFifo) {
    if (!m_bSpillFailed && m_Fifo.Push(frame.m_bytes, frame.GetFrameSize(m_nVersion))) return TRUE;
    m_bSpillFailed.fetch_add(1);
    WakeSender();  // the failure is reported by the sender
    return FALSE;
  }
  {
    CSingleLock lock(&m_NormalLock, TRUE);
    m_NormalQueue.push_back(frame);
  }
  WakeSender();
  return TRUE;
}

WORD CFrameProtocol::QueueDataFrame(BOOL priority, const BYTE* bytes, int count) {
  if (!bytes || count <= 0) return 0;
  int n = count < (int)GetFrameDataCapacity() ? count : (int)GetFrameDataCapacity();
  DeviceFrame frame;
  frame.Clear();
  frame.SetSync(m_nVersion);
  frame.SetAckMark(priority ? kFrameMarkCommand : kFrameMarkData, m_nVersion);
  frame.PutData(0, bytes, n, m_nVersion);
  frame.SetCommand(kFrameCommandData, m_nVersion);
  frame.SetLength((WORD)n, m_nVersion);
  return QueueFrame(frame, priority) ? (WORD)n : 0;
}

void CFrameProtocol::MarkFifoEnd() {
  if (!m_bFileFifo) return;
  m_Fifo.MarkEnd();
  WakeSender();
}

void CFrameProtocol::SetDeliveredDone() {
  if (m_bFileFifo) m_Fifo.MarkEnd();
  m_bDeliveredDone = 1;
  WakeSender();
}

// One post per starved spell: the mark is taken by exactly one producer call. The
// owner is bound before any producer runs and outlives them.
void CFrameProtocol::WakeSender() {
  if (m_nWakeMsg == 0 || !m_bSenderStarved.exchange(0)) return;
  if (m_pOwner) m_pOwner->PostNotify(m_nWakeMsg, 0, 0);
}

WORD CFrameProtocol::GetFrameDataCapacity() const { return ::GetFrameDataCapacity(m_nVersion); }

BOOL CFrameProtocol::IsFileTarget() const {
  return m_pLink && m_pLink->GetPortName().Left(5).CompareNoCase("FILE:") == 0 ? TRUE : FALSE;
}

BOOL CFrameProtocol::IsQueueFull() {
  if (m_nQueueLimit == 0) return FALSE;
  CSingleLock lock(&m_NormalLock, TRUE);
  return m_NormalQueue.size() >= m_nQueueLimit ? TRUE : FALSE;
}

int CFrameProtocol::GetQueuedCount() {
  size_t n = 0;
  {
    CSingleLock lock(&m_NormalLock, TRUE);
    n += m_NormalQueue.size();
  }
  CSingleLock lock(&m_PriorityLock, TRUE);
  return int(n + m_PriorityQueue.size());
}

void CFrameProtocol::ResetFifo() { m_Fifo.Reset(); }

DWORD CFrameProtocol::GetFifoLevel(DWORD* written, DWORD* read) { return m_Fifo.GetLevel(written, read); }

// ---------------------------------------------------------------------------------
// Sender
//
// States: idle (nothing is sent or read), ready (the next frame may go), waiting (the
// frame in the slot went out and its answer is awaited). Pump runs every 10 ms,
// right after every ACK and on the wake message:
//   ready:   load the next frame into the slot unless one is already there (clear to
//            send dropped after it was loaded), send it, wait;
//   waiting: once the time-out has passed, resend: without counting while the
//            controller is busy; else give up after RetryLimit sends; else resend.

void CFrameProtocol::Pump() {
  if (!m_pLink) return;
  ReportSpillFailure();
  if (m_nState == kReady) {
    if (!m_pLink->IsCtsOn()) return;
    if (!HasFrameInSlot()) {
      // Marked before looking: a frame made ready meanwhile either is found now or
      // wakes the sender (a spare wake finds the slot busy and does nothing).
      m_bSenderStarved = 1;
      if (!LoadNextFrame()) return;
      m_bSenderStarved = 0;
    }
    if (SendCurrentFrame()) {
      m_nState = kWaiting;
      StampSendTime();
      ++m_Stats.nFramesSent;
      LogCom("[COM] First Sent PackNo:%u", (unsigned)m_nLastPackNo);
    }
  } else if (m_nState == kWaiting) {
    if (!IsResendDue()) return;
    if (m_pLink->IsDeviceBusy()) {
      StampSendTime();
      m_nAttempts = 0;
      if (SendCurrentFrame()) {
        StampSendTime();
        ++m_Stats.nBusyResends;
        ++m_Stats.nFramesResent;
        LogCom("[COM] Busy Resent: %u", (unsigned)m_nLastPackNo);
      }
    } else if (IsRetryExhausted()) {
      DeclareLinkDown("[COM] Link Down (out of retry)");
    } else if (SendCurrentFrame()) {
      StampSendTime();
      ++m_Stats.nTimeouts;
      ++m_Stats.nFramesResent;
      LogCom("[COM] Timeout Resend:%u", (unsigned)m_nLastPackNo);
    }
  }
}

BOOL CFrameProtocol::TakeNextFrame(DeviceFrame& out) {
  {
    CSingleLock lock(&m_PriorityLock, TRUE);
    if (!m_PriorityQueue.empty()) {
      out = m_PriorityQueue.front();
      m_PriorityQueue.pop_front();
      return TRUE;
    }
  }
  if (m_bFileFifo) {
    out.Clear();
    return m_Fifo.Pop(out.m_bytes, sizeof(out.m_bytes)) > 0 ? TRUE : FALSE;
  }
  CSingleLock lock(&m_NormalLock, TRUE);
  if (m_NormalQueue.empty()) return FALSE;
  out = m_NormalQueue.front();
  m_NormalQueue.pop_front();
  return TRUE;
}

// The frame gets its pack number and is sealed here, when it is taken: the numbering
// follows the order frames go out, priority frames included.
BOOL CFrameProtocol::LoadNextFrame() {
  if (!TakeNextFrame(m_Frame)) {
    m_Frame.Clear();
    return FALSE;
  }
  m_Frame.SetPackNo(m_nNextPackNo++, m_nVersion);
  SealFrame();
  m_nAttempts = m_nUnanswered = 0;
  if (g_nByteCount == 0) g_nByteCountStart = m_ticks.Now();
  g_nByteCount += m_Frame.GetDataLength(m_nVersion);
  return TRUE;
}

void CFrameProtocol::SealFrame() {
  m_Frame.SetSync(m_nVersion);
  m_Frame.UpdateChecksum(m_nVersion);
}

// Writes the slot's frame. The test switches may corrupt the check value of this one
// send or skip the write; the slot keeps the true frame for the resend either way. A
// send counts as an attempt also when the link took it only in part.
BOOL CFrameProtocol::SendCurrentFrame() {
  if (!m_pLink->IsCtsOn() || !HasFrameInSlot()) return FALSE;
  WORD kept = m_Frame.GetChecksum(m_nVersion);
  if (m_bCrcErrSimulate && NextRandom() % 50 == 4) m_Frame.SetChecksum((WORD)~kept, m_nVersion);
  DWORD size = m_Frame.GetFrameSize(m_nVersion);
  if (size > DEVICE_FRAME_MAX_SIZE) size = DEVICE_FRAME_MAX_SIZE;
  if (!(m_bLostSimulate && NextRandom() % 50 == 4)) {
    DWORD done = 0;
    while (done < size) {
      DWORD n = size - done;
      if (!m_pLink->Write(m_Frame.m_bytes + done, &n) || n == 0) break;
      done += n < size - done ? n : size - done;
    }
    if (done < size) ++m_Stats.nWriteFailures;
  }
  m_Frame.SetChecksum(kept, m_nVersion);
  m_nLastPackNo = m_Frame.GetPackNo(m_nVersion);
  if (m_bLogFrame) DumpFrame();
  ++m_nAttempts;
  ++m_nUnanswered;
  return TRUE;
}

// The frame as kept for resending, with its true check value.
void CFrameProtocol::DumpFrame() { LogFrameText(m_Frame.Dump(CTime::GetCurrentTime().Format("%H:%M:%S"), m_nVersion)); }

void CFrameProtocol::StampSendTime() {
  DWORD now = m_ticks.Now();
  m_dwSendTick = now ? now : 1;
}

BOOL CFrameProtocol::IsResendDue() {
  return m_dwSendTick == 0 || (DWORD)(m_ticks.Now() - m_dwSendTick) > m_nAckTimeout ? TRUE : FALSE;
}

void CFrameProtocol::DeclareLinkDown(const char* logText) {
  {
    CSingleLock lock(&m_StatusLock, TRUE);
    m_bOnline = FALSE;
  }
  m_nState = kIdle;
  PostAbort(kAbortLinkDown);
  LogCom("%s", logText);
  LogFrameText(FormatStats());
}

void CFrameProtocol::ReportSpillFailure() {
  if (!m_bSpillFailed || m_bSpillReported) return;
  m_bSpillReported = TRUE;
  LogFrameText("FIFO file cannot take more frames; the job stops");
  PostAbort(kAbortSpillFailed);
}

BOOL CFrameProtocol::IsAllDelivered() {
  if (!m_bDeliveredDone || m_bSpillFailed) return FALSE;
  {
    CSingleLock lock(&m_NormalLock, TRUE);
    if (!m_NormalQueue.empty()) return FALSE;
  }
  {
    CSingleLock lock(&m_PriorityLock, TRUE);
    if (!m_PriorityQueue.empty()) return FALSE;
  }
  return m_Fifo.GetLevel() == 0 && !HasFrameInSlot() ? TRUE : FALSE;
}

CString CFrameProtocol::FormatStats() const {
  const FrameProtocolStats& s = m_Stats;
  const struct {
    const char* key;
    DWORD value;
  } counters[] = {
      {"sent", s.nFramesSent},
      {"resent", s.nFramesResent},
      {"timeouts", s.nTimeouts},
      {"busy_resends", s.nBusyResends},
      {"naks", s.nNaks},
      {"busy", s.nBusy},
      {"acked", s.nAcked},
      {"stale_acks", s.nStaleAcks},
      {"stray_answers", s.nStrayAnswers},
      {"wrong_pack", s.nWrongPack},
      {"write_failures", s.nWriteFailures},
      {"reply_lines", s.nReplyLines},
      {"bad_reply_lines", s.nBadReplyLines},
      {"reply_overflows", m_Reply.GetOverflows()},
      {"ignored_bytes", s.nIgnoredBytes},
      {"spill_failures", GetSpillFailures()},
  };
  CString text;
  for (const auto& c : counters)
    text.AppendFormat("%s%s=%lu", text.IsEmpty() ? "" : " ", c.key, (unsigned long)c.value);
  return text;
}

// ---------------------------------------------------------------------------------
// Answers
//
// An ACK is taken for the frame in flight unless it is known to belong to an earlier
// send:
//   - answer bytes read together with the ACK that let the next frame go were all
//     received before that frame was written, so none of them answers it;
//   - a frame sent k times without an answer to each send may still draw the late
//     ACKs of its earlier sends: after its ACK, up to k-1 bare ACKs arriving within
//     one time-out are taken as those. Should one of them be the next frame's own, that
//     frame is resent after the time-out and the controller drops the copy by its pack
//     number. Numbered ACKs (0xF0 | pack) need no guessing: their bits decide.
// ACKs and NAKs with no frame in flight change nothing but the busy mark.

void CFrameProtocol::OnLinkData(WPARAM wParam) {
  if (m_pLink && m_nState != kIdle && LOWORD(wParam) == 1) ProcessReplies();
}

void CFrameProtocol::ProcessReplies() {
  if (!m_pLink->IsOpen()) return;
  COMMPROP properties{};
  if (!m_pLink->GetCommProperties(&properties)) return;
  BYTE buffer[kReadMax];
  DWORD n = kReadMax;
  if (!m_pLink->Read(buffer, &n) || n == 0) return;
  if (n > kReadMax) n = kReadMax;
  m_bReleasedInRead = false;
  for (DWORD i = 0; i < n && m_nState != kIdle; ++i) {
    BYTE b = buffer[i];
    switch (ClassifyAnswerByte(b)) {
      case kAnswerAck: OnAckByte(b, false, n); break;
      case kAnswerAckPack: OnAckByte(b, true, n); break;
      case kAnswerBusy: OnBusyByte(n); break;
      case kAnswerNak: OnNakByte(b, false, n); break;
      case kAnswerNakPack: OnNakByte(b, true, n); break;
      case kAnswerReplyChar: OnReplyChar((char)b); break;
      default: ++m_Stats.nIgnoredBytes; break;
    }
  }
  m_bReleasedInRead = false;
}

// Whether an ACK or NAK may answer the frame in flight: its pack bits (when it has
// them) match, a frame is in flight, and it was not read before that frame went out.
bool CFrameProtocol::AnswersFrameInFlight(BYTE b, bool numbered) {
  if (numbered && (b & 0x0F) != (m_nLastPackNo & 0x0F)) {
    ++m_Stats.nWrongPack;
    return false;
  }
  if (m_nState != kWaiting) {
    ++m_Stats.nStrayAnswers;
    m_pLink->SetDeviceBusy(FALSE);
    return false;
  }
  if (m_bReleasedInRead) {
    ++m_Stats.nStaleAcks;
    return false;
  }
  return true;
}

void CFrameProtocol::OnAckByte(BYTE b, bool numbered, DWORD bytesRead) {
  if (!AnswersFrameInFlight(b, numbered)) return;
  if (!numbered && m_nSurplusAcks > 0) {
    if ((DWORD)(m_ticks.Now() - m_dwSurplusTick) <= m_nAckTimeout) {
      --m_nSurplusAcks;
      ++m_Stats.nStaleAcks;
      return;
    }
    m_nSurplusAcks = 0;
  }
  m_pLink->SetDeviceBusy(FALSE);
  LogCom("[COM] ACK for %u(%d)", (unsigned)m_nLastPackNo, (int)bytesRead);
  m_nSurplusAcks = m_nUnanswered > 0 ? m_nUnanswered - 1 : 0;
  m_dwSurplusTick = m_ticks.Now();
  OnAck();
  m_nState = kReady;
  Pump();
  if (m_nState == kWaiting) m_bReleasedInRead = true;
}

void CFrameProtocol::OnAck() {
  ++m_nAckedCount;
  ++m_Stats.nAcked;
  m_Frame.Clear();
  m_dwSendTick = 0;
}

// BUSY refers to the frame in flight: it is resent every time-out, without counting,
// until the controller answers otherwise. With nothing in flight only the mark is set.
void CFrameProtocol::OnBusyByte(DWORD bytesRead) {
  m_pLink->SetDeviceBusy(TRUE);
  ++m_Stats.nBusy;
  LogCom("[COM] BUSY for %u(%d)", (unsigned)m_nLastPackNo, (int)bytesRead);
  if (m_nState != kWaiting || m_bReleasedInRead) return;
  if (m_nUnanswered > 0) --m_nUnanswered;
  m_nAttempts = 0;
  StampSendTime();
}

void CFrameProtocol::OnNakByte(BYTE b, bool numbered, DWORD bytesRead) {
  if (!AnswersFrameInFlight(b, numbered)) return;
  m_pLink->SetDeviceBusy(FALSE);
  ++m_Stats.nNaks;
  if (m_nUnanswered > 0) --m_nUnanswered;
  LogCom("[COM] NAK for %u(%d)", (unsigned)m_nLastPackNo, (int)bytesRead);
  m_dwSendTick = 0;  // a resend that cannot go now goes with the next pump
  if (IsRetryExhausted()) {
    DeclareLinkDown("[COM] NAK Link Down (out of retry)");
  } else if (SendCurrentFrame()) {
    StampSendTime();
    ++m_Stats.nFramesResent;
    LogCom("[COM] NAK Resend PackNo:%u", (unsigned)m_nLastPackNo);
  }
}

void CFrameProtocol::OnReplyChar(char c) {
  ReplyLineResult result = m_Reply.Feed(c);
  if (result == kReplyCollecting) return;
  const char* received = m_Reply.GetReceived();
  if (result == kReplyGood) {
    ++m_Stats.nReplyLines;
    LogFrameText(received);
    HandleReplyLine(m_Reply.GetText());
    LogCom("[COM]: %s", received);
    return;
  }
  ++m_Stats.nBadReplyLines;
  if (strlen(received) > 3) {
    CString text;
    text.Format("Sum Err:[%s]", received);
    LogFrameText(text);
  }
  LogCom("[COM]: [%s]", received);
}

// ---------------------------------------------------------------------------------
// Helpers

void CFrameProtocol::PostAbort(WPARAM reason) {
  if (m_pOwner && m_nAbortMsg) m_pOwner->PostNotify(m_nAbortMsg, reason, 0);
}

void CFrameProtocol::LogCom(const char* format, ...) {
  if (!m_bLogCom) return;
  va_list args;
  va_start(args, format);
  CString text;
  text.FormatV(format, args);
  va_end(args);
  LogFrameText(text);
}

void LogFrameText(const char* text) { WriteLog("frames", text); }

DWORD CFrameProtocol::NextRandom() { return (DWORD)m_Random(); }
