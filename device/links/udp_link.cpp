#include "device/links/udp_link.h"

#include <cstring>

#include "device/device_text.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/bytes.h"

WORD g_bUploadTarget = 0;
CString g_strUploadTarget;

UdpLinkContext UdpLinkContext::Process() {
  UdpLinkContext c;
  c.pProtocolVersion = &g_nProtocolVersion;
  c.pReTXTable = g_ReTXTable;
  c.pUploadTarget = &g_bUploadTarget;
  c.pUploadTargetName = &g_strUploadTarget;
  c.pTicks = &CSystemTicks::Instance();
  return c;
}

namespace {
// Command words the simulator does not capture: nothing, 144 and the status query.
constexpr BYTE kSimQueryCommand = 32;
bool IsCapturedCommand(BYTE low) { return low != 0 && low != 144 && low != kSimQueryCommand; }
// Offset of the error code in an error report (after its EnumReply head).
constexpr int kErrorCodeOffset = sizeof(EnumReply);
}  // namespace

CUdpLink::CUdpLink(const UdpLinkContext& context)
    : CDeviceLink(*context.pTicks), m_context(context), m_retx(context.pReTXTable, *context.pTicks) {
  InitReTX();
}

CUdpLink::~CUdpLink() {
  if (m_pCaptureFile) fclose(m_pCaptureFile);
}

// ---------------------------------------------------------------- open and close

BOOL CUdpLink::Open(const char* commString, int localPort, int discoverOnly, HWND notifyWindow, UINT notifyMessage) {
  CString comm(commString);
  if (comm.Left(3).CompareNoCase("NET") != 0) return FALSE;

  CString timeout = ReadIniValue("Communication", "LinkTimeout(ms)", "10000", GetParamsFilePath());
  m_dwLinkTimeout = (DWORD)device_text::ToLong(timeout.Left(259));

  CString address = comm.Mid(4);
  WORD remotePort = 0;
  int colon = address.Find(':');
  if (colon >= 0) {
    remotePort = (WORD)device_text::ToLong(address.Mid(colon + 1));
    address = address.Left(colon);
  }

  // Opening an open link starts afresh rather than leaking its socket or file, and the
  // link is not open again until the controller acknowledges the new Connect.
  m_hPort = -1;
  m_bConnecting = 0;
  m_dwLastHeard = 0;
  ForgetSequences();
  CUdpSocket::Close();
  if (m_pCaptureFile) fclose(m_pCaptureFile);
  m_pCaptureFile = nullptr;

  m_nLastAckPack = -1;
  m_nWrittenPack = -1;
  m_bAckPassedForWrite = false;
  m_strLocalAddress.Empty();
  m_nLocalPort = (WORD)localPort;
  m_bClient = localPort == 0 ? 1 : 0;
  if (!m_bClient) {
    m_strCaptureName = "CamData.dat";
    m_pCaptureFile = fopen(m_strCaptureName, "w+b");
    if (!m_pCaptureFile) m_strCaptureName.Empty();
  }
  m_hNotifyWnd = notifyWindow;
  m_nNotifyMsg = notifyMessage;
  m_bDiscoverOnly = discoverOnly;
  m_strPortName = comm;
  m_dwReceiveCount = 0;

  // A socket without its notification can never receive: that is a failed open.
  if (CUdpSocket::Open(m_strLocalAddress, m_nLocalPort, notifyWindow) != 1) return FALSE;
  SetPeer(address, remotePort);

  InitReTX();
  WORD retry = (WORD)device_text::ToLong(GetParamValue("Communication", "Retry", "3"));
  DWORD resend_ms = (DWORD)device_text::ToLong(GetParamValue("Communication", "Timeout(ms)", "3000"));
  m_retx.Init(retry, resend_ms);
  m_dwLastHeard = StampNow();
  if (!m_bDiscoverOnly) SendConnect(TRUE);
  return TRUE;
}

BOOL CUdpLink::Close() {
  if (!m_bDiscoverOnly) {
    SendConnect(FALSE);
    SendConnect(FALSE);
  }
  // Let the socket's notifications (the controller's ACKs) and the owner's timers run
  // until the Disconnects are acknowledged, for at most 5 s.
  DWORD start = StampNow();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (TicksSince(start) > kCloseWaitMs || IsReTXEmpty()) break;
  }
  WriteLog("frames", "Link stats: " + GetStatsLine());
  FreeReTX();
  CUdpSocket::Close();
  if (m_pCaptureFile) fclose(m_pCaptureFile);
  m_pCaptureFile = nullptr;
  m_strCaptureName.Empty();
  m_dwSimStreamCount = 0;
  m_dwSimToCapture = 0;
  m_dwLastHeard = 0;
  m_hPort = -1;
  return TRUE;
}

BOOL CUdpLink::AcceptSender(const sockaddr_in& sender) const {
  if (!m_bClient || m_bDiscoverOnly || m_peer.sin_addr.s_addr == htonl(INADDR_ANY)) return TRUE;
  return sender.sin_addr.s_addr == m_peer.sin_addr.s_addr && sender.sin_port == m_peer.sin_port;
}

// ---------------------------------------------------------------- sending

void CUdpLink::SendFrame(BYTE type, WORD sequence, const void* payload, WORD length) {
  CSingleLock lock(&m_sendLock, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), type, kUdpFlagPc, sequence, payload, length);
  if (n && Send(m_sendBuffer, n) > 0) ++m_dwFramesSent;
}

void CUdpLink::SendConnect(BOOL connect) {
  if (!m_bClient) return;
  CSingleLock lock(&m_sendLock, TRUE);
  if (m_nSequence == 0) m_nSequence = 1;
  BYTE payload[4 + 1024];
  ConnectPayload head{0, 0};
  WORD length = sizeof(head);
  if (connect && *m_context.pUploadTarget) {
    CString name = *m_context.pUploadTargetName;
    CString text;
    if (name.IsEmpty() || name == "*") {
      head.mode = 1;
      text = "SIMU[1]";
    } else {
      head.mode = 2;
      text = "SIMU[0]";
    }
    if (!name.IsEmpty() && name[0] == '*') {
      text += "CRPT[1]";
      name = name.Mid(1);
    } else {
      text += "CRPT[0]";
    }
    text += "FILE[" + name + "]";
    text = text.Left((int)sizeof(payload) - 5);
    head.textLength = (WORD)(text.GetLength() + 1);
    memcpy(payload + 4, (const char*)text, (size_t)head.textLength);
    length = (WORD)(length + head.textLength);
    WriteLog("frames", "Connecting: " + text);
  }
  EncodeConnectPayload(head, payload);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), connect ? kUdpConnect : kUdpDisconnect, kUdpFlagPc,
                        m_nSequence, payload, length);
  if (m_retx.IsEmpty() && Send(m_sendBuffer, n) > 0) ++m_dwFramesSent;
  AddReTX(m_peer.sin_addr.s_addr, m_peer.sin_port, m_nSequence, m_sendBuffer, n);
  if (++m_nSequence == 0) m_nSequence = 1;
  m_bConnecting = connect ? 1 : 0;
}

BOOL CUdpLink::Write(const BYTE* bytes, DWORD* length) {
  if (!length || *length > kBufferSize - kUdpHeaderSize) return FALSE;
  {
    // Each write of a frame may draw one ACK. A frame written again was not taken as
    // acknowledged upstream (its ACK came too late or was lost there): were the ACKs
    // of its resends dropped as repeats, it would be resent until the link is declared
    // down although the controller answers every copy.
    CSingleLock lock(&m_receiveLock, TRUE);
    m_nWrittenPack = WrittenPackOf(bytes, *length);
    m_bAckPassedForWrite = false;
  }
  SendFrame(kUdpData, 0, bytes, (WORD)*length);
  return TRUE;
}

// The pack number of a device frame of either generation (-1: not a device frame).
int32_t CUdpLink::WrittenPackOf(const BYTE* bytes, DWORD length) {
  if (!bytes || length < 10) return -1;
  if (bytes[0] == 0x7E && bytes[1] == 0x7E) return bytes[kV5PackOffset];
  if (bytes[0] == 0xE7 && bytes[1] == 0xE7) return bytes[kV7FlagsOffset];
  return -1;
}

void CUdpLink::SendEnum() {
  if (!m_bClient) return;
  ListLocalAddresses(m_arrLocalAddresses, m_arrBroadcastAddresses);
  CSingleLock lock(&m_sendLock, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), kUdpEnum, kUdpFlagPc, 0, nullptr, 0);
  for (const CString& broadcast : m_arrBroadcastAddresses) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = m_peer.sin_port;
    to.sin_addr.s_addr = inet_addr(broadcast);
    if (SendTo(m_sendBuffer, n, (const sockaddr*)&to, sizeof(to)) > 0) ++m_dwFramesSent;
  }
}

void CUdpLink::SendKeepAlive() {
  if (!m_bClient || m_hPort == -1 || m_dwLastHeard == 0 || TicksSince(m_dwLastHeard) < kKeepAliveMs) return;
  DebugTrace("[UDP->] Send Keep Alive");
  SendFrame(kUdpKeepAlive, 0, nullptr, 0);
}

BOOL CUdpLink::IsLinkTimedOut() { return m_dwLastHeard != 0 && TicksSince(m_dwLastHeard) > m_dwLinkTimeout; }

// ---------------------------------------------------------------- retransmission

void CUdpLink::InitReTX() {
  m_retx.Init((WORD)kDefaultRetry, kDefaultResendMs);
  m_nSequence = 1;
}

void CUdpLink::FreeReTX() { m_retx.Clear(); }

BOOL CUdpLink::AddReTX(uint32_t address, uint16_t port, WORD sequence, const BYTE* frame, int length) {
  return m_retx.Add(address, port, sequence, frame, length);
}

void CUdpLink::RemoveTX(WORD sequence) { m_retx.Remove(sequence); }

CString CUdpLink::GetStatsLine() const {
  CString line;
  line.Format(
      "frames_sent=%lu frames_resent=%lu frames_expired=%lu frames_received=%lu frames_duplicate=%lu "
      "bytes_garbage=%lu bytes_bad_check=%lu bytes_failed_handler=%lu bytes_overflow=%lu datagrams_foreign=%lu "
      "status_stale=%lu",
      (unsigned long)m_dwFramesSent, (unsigned long)m_retx.GetResentCount(), (unsigned long)m_retx.GetExpiredCount(),
      (unsigned long)m_dwFramesReceived, (unsigned long)m_dwFramesDuplicate, (unsigned long)GetBytesGarbage(),
      (unsigned long)GetBytesBadCheck(), (unsigned long)GetBytesFailedHandler(), (unsigned long)m_dwReceiveDropped,
      (unsigned long)m_dwForeignDatagrams, (unsigned long)m_dwStaleStatus);
  return line;
}

void CUdpLink::ResendEntry(void* context, const ReTXEntry& e) {
  CUdpLink* self = (CUdpLink*)context;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = e.address;
  to.sin_port = e.port;
  self->SendTo(e.frame, e.length, (const sockaddr*)&to, sizeof(to));
}

BOOL CUdpLink::ReTrans() { return m_retx.Resend(&CUdpLink::ResendEntry, this); }

// ---------------------------------------------------------------- receiving

BOOL CUdpLink::Read(BYTE* buffer, DWORD* length) {
  if (!length) return FALSE;
  CSingleLock lock(&m_receiveLock, TRUE);
  DWORD n = *length < m_dwReceiveCount ? *length : m_dwReceiveCount;
  if (n && buffer) {
    memcpy(buffer, m_receiveBuffer, n);
    memmove(m_receiveBuffer, m_receiveBuffer + n, m_dwReceiveCount - n);
    m_dwReceiveCount -= n;
  }
  *length = n;
  return n != 0;
}

BOOL CUdpLink::ReceiveForReader(SOCKET socket, LPARAM event) {
  m_bOwnerReading = true;
  OnSocketNotify(socket, event);
  m_bOwnerReading = false;
  CSingleLock lock(&m_receiveLock, TRUE);
  return m_dwReceiveCount != 0 ? TRUE : FALSE;
}

int CUdpLink::GetFoundDevices(CStringArray& devices) {
  CSingleLock lock(&m_foundMutex, TRUE);
  devices.RemoveAll();
  for (const CString& d : m_arrFoundDevices) devices.Add(d);
  return devices.GetSize();
}

void CUdpLink::AddFoundDevice(const BYTE* payload, int length) {
  if (length < (int)sizeof(EnumReply)) return;
  const EnumReply reply = DecodeEnumReply(payload);
  CString text = FormatFoundDevice(reply, inet_ntoa(m_sender.sin_addr), ntohs(m_sender.sin_port));
  CSingleLock lock(&m_foundMutex, TRUE);
  for (const CString& d : m_arrFoundDevices)
    if (d == text) return;
  m_arrFoundDevices.Add(text);
}

void CUdpLink::OnFrame(BYTE* frame) {
  const UdpFrameHeader h = DecodeUdpFrameHeader(frame);
  const BYTE* payload = frame + kUdpHeaderSize;
  ++m_dwFramesReceived;
  if (m_bDiscoverOnly && h.type != kUdpEnum) return;
  switch (h.type) {
    case kUdpEnum:
      if (m_bClient)
        AddFoundDevice(payload, h.length);
      else
        SimAnswerEnum();
      break;
    case kUdpKeepAlive: m_dwLastHeard = StampNow(); break;
    case kUdpData:
      m_dwLastHeard = StampNow();
      if (m_bClient && IsRepeatedData(h.sequence))
        ++m_dwFramesDuplicate;
      else
        TakeData(h, payload);
      if (!(h.length == 2 && h.flag == kUdpFlagStatus)) SendFrame(kUdpAck, h.sequence, nullptr, 0);
      break;
    case kUdpConnect:
    case kUdpDisconnect:
      if (!m_bClient) {
        CString sender = inet_ntoa(m_sender.sin_addr);
        WORD port = ntohs(m_sender.sin_port);
        if (h.type == kUdpConnect && m_strSimConsole.IsEmpty() && m_nSimConsolePort == 0) {
          m_strSimConsole = sender;
          m_nSimConsolePort = port;
        } else if (h.type == kUdpDisconnect && sender == m_strSimConsole && port == m_nSimConsolePort) {
          m_strSimConsole.Empty();
          m_nSimConsolePort = 0;
        }
      }
      break;
    case kUdpAck:
      m_dwLastHeard = StampNow();
      if (h.length >= 2) OnConnectReply(payload, h.length);
      DebugTrace("[->UDP] Bearing ACK for %u by %u\r\n", h.sequence, m_retx.GetCount());
      RemoveTX(h.sequence);
      if (m_bClient && m_bConnecting) {
        m_hPort = 1;
        m_bConnecting = 0;
        ForgetSequences();  // a new session: the controller may number its frames afresh
      }
      break;
    case kUdpErrorReport:
      if (h.length >= kErrorCodeOffset + 4) Notify(0xFFFF, (LPARAM)(int32_t)bytes::Load32(payload + kErrorCodeOffset));
      break;
    default: break;
  }
}

void CUdpLink::TakeData(const UdpFrameHeader& h, const BYTE* payload) {
  if (!m_bClient) {
    CString sender = inet_ntoa(m_sender.sin_addr);
    if (!m_strSimConsole.IsEmpty() && sender == m_strSimConsole && ntohs(m_sender.sin_port) == m_nSimConsolePort)
      SimTakeData(payload, h.length);
    return;
  }
  {
    CSingleLock lock(&m_receiveLock, TRUE);
    DWORD length = h.length;
    BYTE numbered = 0;  // a status byte as it is handed on
    if (h.flag == kUdpFlagStatus && h.length == 2) {
      BYTE status = payload[0], pack = payload[1];
      // A status frame names the full pack number; one about an earlier frame (a late
      // or repeated datagram) must not answer the frame in flight, whose 4-bit check
      // upstream could take it for its own and lose that frame.
      if (m_nWrittenPack >= 0 && (int32_t)pack != m_nWrittenPack) {
        ++m_dwStaleStatus;
        return;
      }
      if (IsAckStatus(status)) {
        if ((int32_t)pack == m_nLastAckPack && m_bAckPassedForWrite) return;  // a repeated ACK of one write
        m_nLastAckPack = pack;
        m_bAckPassedForWrite = true;
        // The first LAN controllers answer every frame with a plain F0; upstream an ACK
        // carries the low bits of its pack number, which the status frame names.
        if (status != 1) status = (BYTE)(0xF0 | (pack & 0x0F));
      }
      numbered = status;
      length = 1;  // only the status byte reaches Read
      payload = &numbered;
    }
    // Bytes that do not fit are dropped rather than written past the buffer; the
    // engine reads on every notification, so this means it has stopped reading.
    DWORD room = kBufferSize - m_dwReceiveCount;
    DWORD take = length < room ? length : room;
    memcpy(m_receiveBuffer + m_dwReceiveCount, payload, take);
    m_dwReceiveCount += take;
    m_dwReceiveDropped += length - take;
  }
  if (!m_bOwnerReading) Notify(1, 0);
}

bool CUdpLink::IsRepeatedData(WORD sequence) {
  if (sequence == 0) return false;
  for (WORD s : m_recentSequences)
    if (s == sequence) return true;
  m_recentSequences[m_nRecentNext] = sequence;
  m_nRecentNext = (m_nRecentNext + 1) % kRecentSequences;
  return false;
}

void CUdpLink::ForgetSequences() {
  for (WORD& s : m_recentSequences) s = 0;
  m_nRecentNext = 0;
}

void CUdpLink::OnConnectReply(const BYTE* payload, int length) {
  int textLength = 0;
  while (textLength < length && payload[textLength]) ++textLength;
  CString text((const char*)payload, textLength);
  char value[1024];
  int32_t prot = 0;
  for (const char* tag : {"APR", "APV", "DPR", "DPV", "NCID"}) ParseTag(text, textLength, tag, value, sizeof(value));
  ParseTag(text, textLength, "PROT", value, sizeof(value), &prot);
  int32_t& version = *m_context.pProtocolVersion;
  if (prot == 0)
    version = 5;
  else if (prot == 1)
    version = 7;
  if (*m_context.pUploadTarget) version = 7;
  WriteLog("frames", "Connected: " + text);
  CString line;
  line.Format("Protocol Version: %d", version);
  WriteLog("frames", line);
}

// ---------------------------------------------------------------- simulator role

void CUdpLink::SimAnswerEnum() {
  EnumReply reply{};
  uint32_t local = m_strLocalAddress.IsEmpty() ? 0 : inet_addr(m_strLocalAddress);
  memcpy(reply.address, &local, 4);
  reply.port = m_nLocalPort;
  uint32_t console = m_strSimConsole.IsEmpty() ? 0 : inet_addr(m_strSimConsole);
  memcpy(reply.consoleAddress, &console, 4);
  reply.consolePort = m_nSimConsolePort;
  memcpy(reply.name, m_strSimName, (size_t)(m_strSimName.GetLength() < 16 ? m_strSimName.GetLength() : 16));
  BYTE encoded[sizeof(EnumReply)];
  EncodeEnumReply(reply, encoded);
  CSingleLock lock(&m_sendLock, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), kUdpEnum, kUdpFlagPc, 0, encoded, sizeof(encoded));
  SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender));
}

void CUdpLink::SimTakeData(const BYTE* payload, int length) {
  CSingleLock lock(&m_receiveLock, TRUE);
  DWORD room = kBufferSize - m_dwReceiveCount;
  DWORD take = (DWORD)length < room ? (DWORD)length : room;
  memcpy(m_receiveBuffer + m_dwReceiveCount, payload, take);
  m_dwReceiveCount += take;
  m_dwReceiveDropped += (DWORD)length - take;

  // Whole frames with a good check value are taken; bytes that cannot start one are
  // dropped up to the next possible sync word.
  const int version = *m_context.pProtocolVersion;
  DeviceFrame& frame = m_simFrame;
  for (;;) {
    int r = ScanDeviceFrame(m_receiveBuffer, (int)m_dwReceiveCount, version);
    if (r == 0) break;
    if (r < 0) {
      DWORD skip = (DWORD)-r;
      memmove(m_receiveBuffer, m_receiveBuffer + skip, m_dwReceiveCount - skip);
      m_dwReceiveCount -= skip;
      continue;
    }
    DWORD size = (DWORD)r;
    memset(&frame, 0, sizeof(frame));
    memcpy(frame.m_bytes, m_receiveBuffer, size);
    Sleep(kSimAckDelayMs);
    BYTE ack = 1;
    {
      CSingleLock sendLock(&m_sendLock, TRUE);
      int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), kUdpData, kUdpFlagPc, 0, &ack, 1);
      if (SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender)) > 0) ++m_dwFramesSent;
    }
    int dataLength = frame.GetData(m_simData, version);
    memmove(m_receiveBuffer, m_receiveBuffer + size, m_dwReceiveCount - size);
    m_dwReceiveCount -= size;
    SimSplitCommands(m_simData, dataLength);
  }
}

void CUdpLink::SimCapture(const BYTE* bytes, int length) {
  if (!m_pCaptureFile || length <= 0) return;
  fwrite(bytes, 1, (size_t)length, m_pCaptureFile);
  fflush(m_pCaptureFile);
}

// A command is a u16 word, a u16 length and that many bytes. Status queries (low byte
// 32) are answered; everything but queries and the words 0 and 144 is captured.
void CUdpLink::SimSplitCommands(const BYTE* data, int length) {
  bool empty = true;
  for (int i = 0; i < length && empty; ++i) empty = data[i] == 0;
  if (empty) {
    m_dwSimToCapture = 0;
    return;
  }
  if (m_dwSimToCapture) {  // the rest of a long command
    int take = (DWORD)length < m_dwSimToCapture ? length : (int)m_dwSimToCapture;
    if (IsCapturedCommand((BYTE)m_nSimCommand)) SimCapture(data, take);
    m_dwSimToCapture -= (DWORD)take;
    data += take;
    length -= take;
  }
  DWORD room = kBufferSize - m_dwSimStreamCount;
  DWORD add = (DWORD)length < room ? (DWORD)length : room;
  memcpy(m_simStream + m_dwSimStreamCount, data, add);
  m_dwSimStreamCount += add;

  DWORD at = 0;
  while (m_dwSimStreamCount - at >= 4) {
    WORD word = bytes::Load16(m_simStream + at);
    if (word == 0) {
      ++at;
      continue;
    }
    WORD commandLength = bytes::Load16(m_simStream + at + 2);
    BYTE low = (BYTE)word;
    bool capture = IsCapturedCommand(low);
    DWORD have = m_dwSimStreamCount - at;
    if (have < 4u + commandLength) {
      // Longer than what has come so far: written as its bytes arrive.
      m_nSimCommand = word;
      if (capture) SimCapture(m_simStream + at, (int)have);
      m_dwSimToCapture = 4u + commandLength - have;
      at = m_dwSimStreamCount;
      break;
    }
    if (low == kSimQueryCommand && commandLength >= 2) SimAnswerQuery(bytes::Load16(m_simStream + at + 4));
    if (capture) SimCapture(m_simStream + at, 4 + commandLength);
    at += 4u + commandLength;
  }
  memmove(m_simStream, m_simStream + at, m_dwSimStreamCount - at);
  m_dwSimStreamCount -= at;
}

void CUdpLink::SimAnswerQuery(WORD code) {
  CString answer;
  SYSTEMTIME now;
  GetLocalTime(&now);
  switch (code) {
    case 1: answer = "TUDP-Simu"; break;
    case 2: answer = "WX100000 Y48000 Z6400"; break;
    case 3: answer = "OX50000 Y24000 Z3200"; break;
    case 4: answer = "SONLINE"; break;
    case 6: answer.Format("D%02u%02u%02u", now.wYear % 100u, (unsigned)now.wMonth, (unsigned)now.wDay); break;
    case 7: answer.Format("H%02u%02u%02u", (unsigned)now.wHour, (unsigned)now.wMinute, (unsigned)now.wSecond); break;
    case 13: answer = "VV04.11.14"; break;
    default: return;
  }
  CString text = MakeReplyLine(answer);
  CSingleLock lock(&m_sendLock, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), kUdpData, kUdpFlagPc, 0, (const char*)text,
                        (WORD)text.GetLength());
  if (SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender)) > 0) ++m_dwFramesSent;
}
