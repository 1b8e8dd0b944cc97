#include "device/links/udp_frame.h"

#include <cstring>

#include "foundation/checksum.h"
#include "foundation/settings.h"
#include "platform/bytes.h"

ReTXEntry g_ReTXTable[kReTXTableSize];

namespace {
// The CRC covers the header from the type byte on, and the payload.
constexpr UINT kCrcStart = offsetof(UdpFrameHeader, type);
constexpr UINT kCrcHeaderBytes = kUdpHeaderSize - kCrcStart;
}  // namespace

WORD UdpFrameCrc(const BYTE* bytes, UINT count) { return (WORD)Crc16Arc(bytes, (size_t)(WORD)count); }

UdpFrameHeader DecodeUdpFrameHeader(const BYTE* p) {
  UdpFrameHeader h;
  h.magic = bytes::Load32(p + offsetof(UdpFrameHeader, magic));
  h.crc = bytes::Load16(p + offsetof(UdpFrameHeader, crc));
  h.type = p[offsetof(UdpFrameHeader, type)];
  h.flag = p[offsetof(UdpFrameHeader, flag)];
  h.sequence = bytes::Load16(p + offsetof(UdpFrameHeader, sequence));
  memcpy(h.fill, p + offsetof(UdpFrameHeader, fill), sizeof(h.fill));
  h.length = bytes::Load16(p + offsetof(UdpFrameHeader, length));
  return h;
}

EnumReply DecodeEnumReply(const BYTE* p) {
  EnumReply r;
  memcpy(r.address, p + offsetof(EnumReply, address), sizeof(r.address));
  r.port = bytes::Load16(p + offsetof(EnumReply, port));
  memcpy(r.consoleAddress, p + offsetof(EnumReply, consoleAddress), sizeof(r.consoleAddress));
  r.consolePort = bytes::Load16(p + offsetof(EnumReply, consolePort));
  memcpy(r.name, p + offsetof(EnumReply, name), sizeof(r.name));
  return r;
}

void EncodeEnumReply(const EnumReply& r, BYTE* p) {
  memcpy(p + offsetof(EnumReply, address), r.address, sizeof(r.address));
  bytes::Store16(p + offsetof(EnumReply, port), r.port);
  memcpy(p + offsetof(EnumReply, consoleAddress), r.consoleAddress, sizeof(r.consoleAddress));
  bytes::Store16(p + offsetof(EnumReply, consolePort), r.consolePort);
  memcpy(p + offsetof(EnumReply, name), r.name, sizeof(r.name));
}

void EncodeConnectPayload(const ConnectPayload& head, BYTE* p) {
  bytes::Store16(p + offsetof(ConnectPayload, mode), head.mode);
  bytes::Store16(p + offsetof(ConnectPayload, textLength), head.textLength);
}

int BuildUdpFrame(BYTE* out, size_t size, BYTE type, BYTE flag, WORD sequence, const void* payload, WORD length) {
  if (!out || length > kUdpMaxPayload || size < (size_t)kUdpHeaderSize + length) return 0;
  bytes::Store32(out + offsetof(UdpFrameHeader, magic), kUdpFrameMagic);
  out[offsetof(UdpFrameHeader, type)] = type;
  out[offsetof(UdpFrameHeader, flag)] = flag;
  bytes::Store16(out + offsetof(UdpFrameHeader, sequence), sequence);
  memset(out + offsetof(UdpFrameHeader, fill), 0xFF, sizeof(UdpFrameHeader::fill));
  bytes::Store16(out + offsetof(UdpFrameHeader, length), length);
  if (length && payload)
    memcpy(out + kUdpHeaderSize, payload, length);
  else if (length)
    memset(out + kUdpHeaderSize, 0, length);
  bytes::Store16(out + offsetof(UdpFrameHeader, crc), UdpFrameCrc(out + kCrcStart, (UINT)length + kCrcHeaderBytes));
  return (int)kUdpHeaderSize + length;
}

CString DottedAddress(uint32_t address_net) {
  const BYTE* b = (const BYTE*)&address_net;
  CString s;
  s.Format("%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return s;
}

CString FormatFoundDevice(const EnumReply& r, const char* sender, int senderPort) {
  char name[17];
  memcpy(name, r.name, 16);
  name[16] = '\0';
  CString s;
  s.Format("%s:%s:%d:%u.%u.%u.%u:%d", name, sender ? sender : "", senderPort, r.consoleAddress[0], r.consoleAddress[1],
           r.consoleAddress[2], r.consoleAddress[3], r.consolePort);
  return s;
}

// ---------------------------------------------------------------- socket error texts

namespace {
struct SocketErrorText {
  int code;
  const char* text;
};
#define TABS10 "\t\t\t\t\t\t\t\t\t\t"
constexpr SocketErrorText kSocketErrors[] = {
    {6, "6:Specified event object invalid."},
    {8, "8:Insufficient memory available."},
    {87, "87:One or more parameters are invalid."},
    {258, "258:Operation timed out."},
    {995, "995:Overlapped operation aborted."},
    {996, "996:Overlapped I/O event object is not in a signaled " TABS10 "state."},
    {997, "997:Overlapped operations will complete later."},
    {10004, "10004:Interrupted function call."},
    {10009, "10009:Bad file handle."},
    {10013, "10013:Permission denied."},
    {10014, "10014:Invalid address."},
    {10022, "10022:Invalid argument."},
    {10024, "10024:Too many open files."},
    {10035, "10035:Resource temporarily unavailable."},
    {10036, "10036:Operation now in progress."},
    {10037, "10037:Operation already in progress."},
    {10038, "10038:Socket operation on an invalid socket."},
    {10039, "10039:Destination address required."},
    {10040, "10040:Message too long."},
    {10041, "10041:Wrong protocol type for socket."},
    {10042, "10042:Bad protocol option."},
    {10043, "10043:Protocol not supported."},
    {10044, "10044:Socket type not supported."},
    {10045, "10045:Operation not supported."},
    {10046, "10046:Protocol family not supported."},
    {10047, "10047:Address family does not support requested operation."},
    {10048, "10048:Address already in use."},
    {10049, "10049:Cannot assign requested address."},
    {10050, "10050:Network is down."},
    {10051, "10051:Network is unreachable."},
    {10052, "10052:Network dropped the connection on reset."},
    {10053, "10053:Software caused the connection to abort."},
    {10054, "10054:Connection reset by peer."},
    {10055, "10055:No buffer space available."},
    {10056, "10056:Socket is already connected."},
    {10057, "10057:Socket is not connected."},
    {10058, "10058:Cannot send after socket shutdown."},
    {10060, "10060:Connection timed out."},
    {10061, "10061:Connection refused."},
    {10064, "10064:Host is down."},
    {10065, "10065:No route to host."},
    {10067, "10067:Too many processes."},
    {10091, "10091:Network subsystem is unavailable."},
    {10092, "10092:Winsock.dll version out of range."},
    {10093, "10093:Winsock has not been initialized."},
    {10101, "10101:Graceful shutdown in progress."},
    {10102, "10102:No more records found."},
    {10103, "10103:Operation canceled."},
    {10104, "10104:The procedure call table is invalid."},
    {10105, "10105:Invalid service provider."},
    {10106, "10106:The provider failed to initialize."},
    {10107, "10107:System call failure."},
    {10108, "10108:No such service found."},
    {10109, "10109:Class type not found."},
    {10110, "10110:No more records found."},
    {10111, "10111:Operation canceled."},
    {10112, "10112:Query refused."},
    {11001, "11001:Host not found."},
    {11002, "11002:Nonauthoritative host not found."},
    {11003, "11003:A nonrecoverable error occurred."},
    {11004, "11004:No data record of the requested type found."},
    {11005, "11005:At least one reserve message has arrived."},
    {11006, "11006:At least one path message has arrived."},
    {11007, "11007:No QOS senders."},
    {11008, "11008:No QOS receivers."},
    {11009, "11009:Reservation request has been confirmed."},
    {11010, "11010:Error due to lack of resources."},
    {11011, "11011:Invalid credentials."},
    {11012, "11012:Unknown or conflicting style."},
    {11013, "11013:Invalid FILTERSPEC structure or provider-specific" TABS10 "object."},
    {11014, "11014:Problem with a FLOWSPEC."},
    {11015, "11015:General QOS error."},
};
#undef TABS10
}  // namespace

void FormatSocketError(int code, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  const char* text = "Unkown error";
  for (const SocketErrorText& e : kSocketErrors)
    if (e.code == code) text = e.text;
  strncpy(buffer, text, (size_t)size - 1);
  buffer[size - 1] = '\0';
  if (char* dot = strchr(buffer, '.')) *dot = '\0';
}

// ---------------------------------------------------------------- reassembly

void CUdpFrameBuffer::ResetBuffer() {
  m_nState = 0;
  m_nBuffered = 0;
  m_dwBadSpanLeft = 0;
}

void CUdpFrameBuffer::Discard(int count) {
  if (count <= 0) return;
  if (count > m_nBuffered) count = m_nBuffered;
  memmove(m_buffer, m_buffer + count, (size_t)(m_nBuffered - count));
  m_nBuffered = (WORD)(m_nBuffered - count);
}

void CUdpFrameBuffer::CountSkipped(DWORD count) {
  DWORD inBadFrame = count < m_dwBadSpanLeft ? count : m_dwBadSpanLeft;
  m_dwBadSpanLeft -= inBadFrame;
  m_dwBytesGarbage += count - inBadFrame;
}

BYTE* CUdpFrameBuffer::ExtractFrame() {
  static_assert(sizeof(kUdpFrameMagic) == 4, "the magic is four bytes");
  for (;;) {
    if (m_nBuffered < 4) return nullptr;
    if (m_nState == 0) {
      int hit = -1;
      for (int i = 0; i + 4 <= m_nBuffered && hit < 0; ++i)
        if (bytes::Load32(m_buffer + i) == kUdpFrameMagic) hit = i;
      if (hit >= 0) {
        m_nState = 1;
        CountSkipped((DWORD)hit);
        m_dwBadSpanLeft = 0;
        Discard(hit);
      }
      if (m_nBuffered > kHuntLimit) {
        CountSkipped(m_nBuffered);
        ResetBuffer();
        return nullptr;
      }
      if (m_nState == 0) return nullptr;
    }
    if (m_nBuffered < kUdpHeaderSize) return nullptr;
    UdpFrameHeader h = DecodeUdpFrameHeader(m_buffer);
    if (m_nState == 1) {
      if (h.length > kUdpMaxPayload) {  // not a frame: step over its magic
        m_dwBytesGarbage += 4;
        Discard(4);
        m_nState = 0;
        continue;
      }
      m_nState = 2;
    }
    if (m_nBuffered < kUdpHeaderSize + h.length) return nullptr;
    m_nState = 0;
    if (h.crc == UdpFrameCrc(m_buffer + kCrcStart, (UINT)h.length + kCrcHeaderBytes)) return m_buffer;
    // The whole frame counts as bad; the hunt inside it for a frame that may start
    // there does not count its bytes a second time.
    m_dwBytesBadCheck += kUdpHeaderSize + h.length;
    m_dwBadSpanLeft = kUdpHeaderSize + h.length - 4;
    Discard(4);
  }
}

int CUdpFrameBuffer::AppendData(const BYTE* bytes, int count) {
  if (!bytes || count <= 0) return 1;
  // Datagrams are at most 8192 bytes; larger input goes in datagram-sized pieces so
  // the buffer's invariant holds whoever calls.
  while (count > 0) {
    int piece = count > (int)kUdpMaxPayload ? (int)kUdpMaxPayload : count;
    if (m_nBuffered + piece > kBufferSize) {  // cannot happen while the invariant holds
      CountSkipped(m_nBuffered);
      ResetBuffer();
    }
    memcpy(m_buffer + m_nBuffered, bytes, (size_t)piece);
    m_nBuffered = (WORD)(m_nBuffered + piece);
    bytes += piece;
    count -= piece;
    while (BYTE* frame = ExtractFrame()) {
      const int size = (int)kUdpHeaderSize + DecodeUdpFrameHeader(frame).length;
      try {
        OnFrame(frame);
      } catch (...) {
        // Dropped below like a handled frame: left in place it would fail again with
        // every datagram and block everything behind it.
        m_dwBytesFailedHandler += (DWORD)size;
      }
      Discard(size);
    }
  }
  return 1;
}

// ---------------------------------------------------------------- retransmission

void ReTXTable::Init(WORD retry, DWORD timeout_ms) {
  CSingleLock lock(&m_lock, TRUE);
  m_nCount = 0;
  m_nRetry = retry;
  m_dwTimeout = timeout_ms;
}

int ReTXTable::GetCount() const {
  CSingleLock lock(&m_lock, TRUE);
  return m_nCount;
}

void ReTXTable::Clear() {
  CSingleLock lock(&m_lock, TRUE);
  m_nCount = 0;
}

DWORD ReTXTable::Stamp() const {
  DWORD t = m_pTicks->Now();
  return t ? t : 1;
}

BOOL ReTXTable::Add(uint32_t address, uint16_t port, WORD sequence, const BYTE* frame, int length) {
  if (m_nRetry == 0) return TRUE;
  if (length < 0 || length > 8191 || length > kReTXFrameSize) return FALSE;
  CSingleLock lock(&m_lock, TRUE);
  if (m_nCount >= kReTXTableSize) return FALSE;
  ReTXEntry& e = m_pEntries[m_nCount++];
  e.resendsLeft = (BYTE)(m_nRetry > 255 ? 255 : m_nRetry);
  e.tick = Stamp();
  e.address = address;
  e.port = port;
  e.sequence = sequence;
  e.length = (uint16_t)length;
  if (length) memcpy(e.frame, frame, (size_t)length);
  return TRUE;
}

BOOL ReTXTable::Resend(SendFn send, void* context) {
  CSingleLock lock(&m_lock, TRUE);
  BOOL wasBusy = m_nCount > 0;
  const DWORD now = m_pTicks->Now();
  for (int i = 0; i < m_nCount;) {
    ReTXEntry& e = m_pEntries[i];
    if (GetTicksBetween(e.tick, now) <= m_dwTimeout) {
      ++i;
      continue;
    }
    if (send) send(context, e);
    ++m_dwResent;
    e.tick = Stamp();
    if (--e.resendsLeft == 0) {
      ++m_dwExpired;
      memmove(&m_pEntries[i], &m_pEntries[i + 1], sizeof(ReTXEntry) * (size_t)(m_nCount - i - 1));
      --m_nCount;
      continue;  // the entry now at i is examined next
    }
    ++i;
  }
  return wasBusy;
}

int ReTXTable::Remove(WORD a) {
  CSingleLock lock(&m_lock, TRUE);
  int first = -1;
  for (int i = 0; i < m_nCount && first < 0; ++i)
    if (m_pEntries[i].sequence == a) first = i;
  if (first < 0 || m_pEntries[first].address == 0 || m_pEntries[first].port == 0) return 0;
  uint32_t address = m_pEntries[first].address;
  uint16_t port = m_pEntries[first].port;
  int kept = 0, removed = 0;
  for (int i = 0; i < m_nCount; ++i) {
    const ReTXEntry& e = m_pEntries[i];
    bool covered = e.address == address && e.port == port && (WORD)(a - e.sequence) < 0x8000;
    if (covered) {
      ++removed;
      continue;
    }
    if (kept != i) memcpy(&m_pEntries[kept], &e, sizeof(ReTXEntry));
    ++kept;
  }
  m_nCount = kept;
  return removed;
}

void AddLocalAddresses(const LocalAddressRow* rows, int count, CStringArray& addresses, CStringArray& broadcasts) {
  for (int i = 0; rows && i < count; ++i) {
    uint32_t a = rows[i].address;
    const BYTE* b = (const BYTE*)&a;
    if (a == 0 || (b[0] == 127 && b[1] == 0)) continue;
    addresses.Add(DottedAddress(a));
    broadcasts.Add(DottedAddress(a | ~rows[i].mask));
  }
}
