#include "device/links/udp_link.h"

#include <cstring>

#include "device/device_text.h"
#include "foundation/log.h"
#include "foundation/settings.h"

WORD g_bUploadTarget = 0;
CString g_strUploadTarget;

namespace {
WORD ReadWord(const BYTE* p) { return (WORD)(p[0] | (p[1] << 8)); }
}  // namespace

CUdpLink::CUdpLink()
    : m_bDiscoverOnly(0), m_bClient(0), m_bConnecting(0), m_nLocalPort(0), m_sendBuffer{},
      m_dwReceiveCount(0), m_receiveBuffer{}, m_nSimConsolePort(0), m_nSequence(1), m_dwLinkTimeout(10000),
      m_nSimCommand(0), m_strCaptureName("CamData.dat"), m_pCaptureFile(nullptr), m_dwSimStreamCount(0), m_simStream{},
      m_dwSimToCapture(0), m_dwReceiveDropped(0) {
  m_nLastAckPack = -1;
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

  // Opening an open link starts afresh rather than leaking its socket or file.
  CUdpSocket::Close();
  if (m_pCaptureFile) fclose(m_pCaptureFile);
  m_pCaptureFile = nullptr;

  m_nLastAckPack = -1;
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
  DWORD start = GetTickCount();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (GetTicksSince(start) > 5000 || IsReTXEmpty()) break;
  }
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

bool CUdpLink::AcceptSender(const sockaddr_in& sender) const {
  if (!m_bClient || m_bDiscoverOnly || m_peer.sin_addr.s_addr == htonl(INADDR_ANY)) return true;
  return sender.sin_addr.s_addr == m_peer.sin_addr.s_addr && sender.sin_port == m_peer.sin_port;
}

// ---------------------------------------------------------------- sending

void CUdpLink::SendFrame(BYTE type, WORD sequence, const void* payload, WORD length) {
  CSingleLock lock(&m_sendMutex, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), type, UDP_FLAG_PC, sequence, payload, length);
  if (n) Send(m_sendBuffer, n);
}

void CUdpLink::SendConnect(BOOL connect) {
  if (!m_bClient) return;
  CSingleLock lock(&m_sendMutex, TRUE);
  if (m_nSequence == 0) m_nSequence = 1;
  BYTE payload[4 + 1024];
  ConnectPayload head{0, 0};
  WORD length = sizeof(head);
  if (connect && g_bUploadTarget) {
    CString name = g_strUploadTarget;
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
  memcpy(payload, &head, sizeof(head));
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), connect ? UDP_CONNECT : UDP_DISCONNECT, UDP_FLAG_PC,
                        m_nSequence, payload, length);
  if (m_retx.IsEmpty()) Send(m_sendBuffer, n);
  AddReTX(m_peer.sin_addr.s_addr, m_peer.sin_port, m_nSequence, m_sendBuffer, n);
  if (++m_nSequence == 0) m_nSequence = 1;
  m_bConnecting = connect ? 1 : 0;
}

BOOL CUdpLink::Write(const BYTE* bytes, DWORD* length) {
  if (!length || *length > kBufferSize - UDP_HEADER_SIZE) return FALSE;
  SendFrame(UDP_DATA, 0, bytes, (WORD)*length);
  return TRUE;
}

void CUdpLink::SendEnum() {
  if (!m_bClient) return;
  ListLocalAddresses(m_arrLocalAddresses, m_arrBroadcastAddresses);
  CSingleLock lock(&m_sendMutex, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), UDP_ENUM, UDP_FLAG_PC, 0, nullptr, 0);
  for (const CString& broadcast : m_arrBroadcastAddresses) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = m_peer.sin_port;
    to.sin_addr.s_addr = inet_addr(broadcast);
    SendTo(m_sendBuffer, n, (const sockaddr*)&to, sizeof(to));
  }
}

void CUdpLink::SendKeepAlive() {
  if (!m_bClient || m_hPort == -1 || m_dwLastHeard == 0 || GetTicksSince(m_dwLastHeard) < 2000) return;
  DebugTrace("[UDP->] Send Keep Alive");
  SendFrame(UDP_KEEPALIVE, 0, nullptr, 0);
}

BOOL CUdpLink::IsLinkTimedOut() { return m_dwLastHeard != 0 && GetTicksSince(m_dwLastHeard) > m_dwLinkTimeout; }

// ---------------------------------------------------------------- retransmission

void CUdpLink::InitReTX() {
  m_retx.Init(3, 2000);
  m_nSequence = 1;
}

void CUdpLink::FreeReTX() { m_retx.Clear(); }

BOOL CUdpLink::AddReTX(uint32_t address, uint16_t port, WORD sequence, const BYTE* frame, int length) {
  return m_retx.Add(address, port, sequence, frame, length);
}

void CUdpLink::RemoveTX(WORD sequence) { m_retx.Remove(sequence); }

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
  CSingleLock lock(&m_receiveMutex, TRUE);
  DWORD n = *length < m_dwReceiveCount ? *length : m_dwReceiveCount;
  if (n && buffer) {
    memcpy(buffer, m_receiveBuffer, n);
    memmove(m_receiveBuffer, m_receiveBuffer + n, m_dwReceiveCount - n);
    m_dwReceiveCount -= n;
  }
  *length = n;
  return n != 0;
}

int CUdpLink::GetFoundDevices(CStringArray& devices) {
  CSingleLock lock(&m_foundMutex, TRUE);
  devices.RemoveAll();
  for (const CString& d : m_arrFoundDevices) devices.Add(d);
  return devices.GetSize();
}

void CUdpLink::AddFoundDevice(const BYTE* payload, int length) {
  if (length < (int)sizeof(EnumReply)) return;
  EnumReply reply;
  memcpy(&reply, payload, sizeof(reply));
  CString text = FormatFoundDevice(reply, inet_ntoa(m_sender.sin_addr), ntohs(m_sender.sin_port));
  CSingleLock lock(&m_foundMutex, TRUE);
  for (const CString& d : m_arrFoundDevices)
    if (d == text) return;
  m_arrFoundDevices.Add(text);
}

void CUdpLink::OnFrame(BYTE* frame) {
  UdpFrameHeader h;
  memcpy(&h, frame, sizeof(h));
  const BYTE* payload = frame + UDP_HEADER_SIZE;
  if (m_bDiscoverOnly && h.type != UDP_ENUM) return;
  switch (h.type) {
    case UDP_ENUM:
      if (m_bClient)
        AddFoundDevice(payload, h.length);
      else
        SimAnswerEnum();
      break;
    case UDP_KEEPALIVE: m_dwLastHeard = StampNow(); break;
    case UDP_DATA:
      m_dwLastHeard = StampNow();
      TakeData(h, payload);
      if (!(h.length == 2 && h.flag == UDP_FLAG_STATUS)) SendFrame(UDP_ACK, h.sequence, nullptr, 0);
      break;
    case UDP_CONNECT:
    case UDP_DISCONNECT:
      if (!m_bClient) {
        CString sender = inet_ntoa(m_sender.sin_addr);
        WORD port = ntohs(m_sender.sin_port);
        if (h.type == UDP_CONNECT && m_strSimConsole.IsEmpty() && m_nSimConsolePort == 0) {
          m_strSimConsole = sender;
          m_nSimConsolePort = port;
        } else if (h.type == UDP_DISCONNECT && sender == m_strSimConsole && port == m_nSimConsolePort) {
          m_strSimConsole.Empty();
          m_nSimConsolePort = 0;
        }
      }
      break;
    case UDP_ACK:
      m_dwLastHeard = StampNow();
      if (h.length >= 2) OnConnectReply(payload, h.length);
      DebugTrace("[->UDP] Bearing ACK for %u by %u\r\n", h.sequence, m_retx.GetCount());
      RemoveTX(h.sequence);
      if (m_bClient && m_bConnecting) {
        m_hPort = 1;
        m_bConnecting = 0;
      }
      break;
    case UDP_ERROR_REPORT:
      if (h.length >= 32) {
        uint32_t code;
        memcpy(&code, payload + 28, sizeof(code));
        Notify(0xFFFF, (LPARAM)(int32_t)code);
      }
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
    CSingleLock lock(&m_receiveMutex, TRUE);
    DWORD length = h.length;
    if (h.flag == UDP_FLAG_STATUS && h.length == 2) {
      BYTE status = payload[0], pack = payload[1];
      if (IsAckStatus(status)) {
        if ((int32_t)pack == m_nLastAckPack) return;  // a repeated ACK
        m_nLastAckPack = pack;
      }
      length = 1;  // only the status byte reaches Read
    }
    // Bytes that do not fit are dropped rather than written past the buffer; the
    // engine reads on every notification, so this means it has stopped reading.
    DWORD room = kBufferSize - m_dwReceiveCount;
    DWORD take = length < room ? length : room;
    memcpy(m_receiveBuffer + m_dwReceiveCount, payload, take);
    m_dwReceiveCount += take;
    m_dwReceiveDropped += length - take;
  }
  Notify(1, 0);
}

void CUdpLink::OnConnectReply(const BYTE* payload, int length) {
  int textLength = 0;
  while (textLength < length && payload[textLength]) ++textLength;
  CString text((const char*)payload, textLength);
  char value[1024];
  int32_t prot = 0;
  for (const char* tag : {"APR", "APV", "DPR", "DPV", "NCID"}) ParseTag(text, textLength, tag, value, sizeof(value));
  ParseTag(text, textLength, "PROT", value, sizeof(value), &prot);
  if (prot == 0)
    g_nProtocolVersion = 5;
  else if (prot == 1)
    g_nProtocolVersion = 7;
  if (g_bUploadTarget) g_nProtocolVersion = 7;
  WriteLog("frames", "Connected: " + text);
  CString line;
  line.Format("Protocol Version: %d", g_nProtocolVersion);
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
  CSingleLock lock(&m_sendMutex, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), UDP_ENUM, UDP_FLAG_PC, 0, &reply, sizeof(reply));
  SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender));
}

void CUdpLink::SimTakeData(const BYTE* payload, int length) {
  CSingleLock lock(&m_receiveMutex, TRUE);
  DWORD room = kBufferSize - m_dwReceiveCount;
  DWORD take = (DWORD)length < room ? (DWORD)length : room;
  memcpy(m_receiveBuffer + m_dwReceiveCount, payload, take);
  m_dwReceiveCount += take;
  m_dwReceiveDropped += (DWORD)length - take;

  // Scan for device frames: drop bytes until a sync word, wait for a whole frame, take
  // it when its checksum is good, otherwise step one byte on.
  static DeviceFrame frame;
  for (;;) {
    if (m_dwReceiveCount < 2) break;
    memset(&frame, 0, sizeof(frame));
    memcpy(frame.m_bytes, m_receiveBuffer, m_dwReceiveCount < sizeof(frame) ? m_dwReceiveCount : sizeof(frame));
    if (!frame.IsSyncValid()) {
      memmove(m_receiveBuffer, m_receiveBuffer + 1, --m_dwReceiveCount);
      continue;
    }
    if (m_dwReceiveCount < frame.GetHeaderSize()) break;
    if (frame.GetDataLength() > DEVICE_FRAME_MAX_DATA) {  // not a frame: a length no frame can have
      memmove(m_receiveBuffer, m_receiveBuffer + 1, --m_dwReceiveCount);
      continue;
    }
    DWORD size = frame.GetFrameSize();
    if (m_dwReceiveCount < size) break;
    if (!frame.IsChecksumValid()) {
      memmove(m_receiveBuffer, m_receiveBuffer + 1, --m_dwReceiveCount);
      continue;
    }
    Sleep(20);
    BYTE ack = 1;
    {
      CSingleLock sendLock(&m_sendMutex, TRUE);
      int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), UDP_DATA, UDP_FLAG_PC, 0, &ack, 1);
      SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender));
    }
    static BYTE data[DEVICE_FRAME_MAX_DATA];
    int dataLength = frame.GetData(data);
    memmove(m_receiveBuffer, m_receiveBuffer + size, m_dwReceiveCount - size);
    m_dwReceiveCount -= size;
    SimSplitCommands(data, dataLength);
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
    BYTE low = (BYTE)m_nSimCommand;
    if (low != 0 && low != 144 && low != 32) SimCapture(data, take);
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
    WORD word = ReadWord(m_simStream + at);
    if (word == 0) {
      ++at;
      continue;
    }
    WORD commandLength = ReadWord(m_simStream + at + 2);
    BYTE low = (BYTE)word;
    bool capture = low != 0 && low != 144 && low != 32;
    DWORD have = m_dwSimStreamCount - at;
    if (have < 4u + commandLength) {
      // Longer than what has come so far: written as its bytes arrive.
      m_nSimCommand = word;
      if (capture) SimCapture(m_simStream + at, (int)have);
      m_dwSimToCapture = 4u + commandLength - have;
      at = m_dwSimStreamCount;
      break;
    }
    if (low == 32 && commandLength >= 2) SimAnswerQuery(ReadWord(m_simStream + at + 4));
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
  answer += " ";
  BYTE sum = 0;
  for (int i = 0; i < answer.GetLength(); ++i) sum = (BYTE)(sum + (BYTE)answer[i]);
  CString text;
  text.Format("%s%02X;", (const char*)answer, sum);
  CSingleLock lock(&m_sendMutex, TRUE);
  int n = BuildUdpFrame(m_sendBuffer, sizeof(m_sendBuffer), UDP_DATA, UDP_FLAG_PC, 0, (const char*)text,
                        (WORD)text.GetLength());
  SendTo(m_sendBuffer, n, (const sockaddr*)&m_sender, sizeof(m_sender));
}
