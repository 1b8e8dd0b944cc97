// The datagram protocol of LAN controllers: every datagram carries one frame, an
// 18-byte header and a payload. This file holds the portable half: the records, frame
// building, the reassembly of frames from received bytes, the retransmission table and
// the socket error texts. The sockets themselves are in udp_socket.h (Windows).
#pragma once

#include "platform/clock.h"
#include "platform/core.h"

constexpr uint32_t kUdpFrameMagic = 0xFEFEFEFEu;
constexpr UINT kUdpMaxPayload = 8192;  // bytes
constexpr UINT kUdpHeaderSize = 18;    // bytes
constexpr WORD kUdpDiscoveryPort = 7878;
constexpr BYTE kUdpFlagPc = 0x01;      // on every frame a PC sends
constexpr BYTE kUdpFlagStatus = 0x80;  // a controller's status frame

enum UdpFrameType : BYTE {
  kUdpEnum = 1,
  kUdpKeepAlive = 2,
  kUdpData = 3,
  kUdpConnect = 4,
  kUdpDisconnect = 5,
  kUdpAck = 6,
  kUdpErrorReport = 7,
};

#pragma pack(push, 1)
struct UdpFrameHeader {
  uint32_t magic;     //  0: 0xFEFEFEFE
  uint16_t crc;       //  4: CRC-16/ARC over length + 12 bytes from offset 6
  uint8_t type;       //  6: UdpFrameType
  uint8_t flag;       //  7: kUdpFlagPc, kUdpFlagStatus
  uint16_t sequence;  //  8
  uint8_t fill[6];    // 10: all 0xFF
  uint16_t length;    // 16: payload bytes, at most 8192
};

// A controller's answer to Enum; also the head of its error report.
struct EnumReply {
  uint8_t address[4];         //  0: the controller's IPv4 address, network order
  uint16_t port;              //  4: its UDP port
  uint8_t consoleAddress[4];  //  6: the console it is connected to
  uint16_t consolePort;       // 10
  char name[16];              // 12: NUL-padded; 16 characters have no NUL
};

struct ConnectPayload {
  uint16_t mode;        // 0 plain; 1 or 2 with a storage target text
  uint16_t textLength;  // the text with its NUL, which follows these 4 bytes
};
#pragma pack(pop)
static_assert(sizeof(UdpFrameHeader) == kUdpHeaderSize, "frame header is 18 bytes");
static_assert(offsetof(UdpFrameHeader, crc) == 4 && offsetof(UdpFrameHeader, type) == 6, "layout");
static_assert(offsetof(UdpFrameHeader, flag) == 7 && offsetof(UdpFrameHeader, sequence) == 8, "layout");
static_assert(offsetof(UdpFrameHeader, fill) == 10 && offsetof(UdpFrameHeader, length) == 16, "layout");
static_assert(sizeof(EnumReply) == 28 && offsetof(EnumReply, consoleAddress) == 6, "layout");
static_assert(offsetof(EnumReply, name) == 12, "layout");
static_assert(sizeof(ConnectPayload) == 4, "layout");

// Status byte of a status frame.
inline bool IsAckStatus(BYTE status) { return (status & 0xF0) == 0xF0 || status == 1; }
inline bool IsBusyStatus(BYTE status) { return status == 6; }

// CRC-16/ARC over count bytes.
WORD UdpFrameCrc(const BYTE* bytes, UINT count);

// The header of the frame at bytes (at least kUdpHeaderSize of them), field by field.
UdpFrameHeader DecodeUdpFrameHeader(const BYTE* bytes);
// An Enum reply from its sizeof(EnumReply) bytes and back, field by field.
EnumReply DecodeEnumReply(const BYTE* bytes);
void EncodeEnumReply(const EnumReply& reply, BYTE* bytes);
// The head of a Connect or Disconnect payload (sizeof(ConnectPayload) bytes).
void EncodeConnectPayload(const ConnectPayload& head, BYTE* bytes);

// Builds a frame into out (room for size bytes); returns its length, 0 when it does
// not fit or the payload is too long.
int BuildUdpFrame(BYTE* out, size_t size, BYTE type, BYTE flag, WORD sequence, const void* payload, WORD length);

// The FoundDevice text of an Enum reply received from sender address:port:
// "name:sender:port:console a.b.c.d:console port".
CString FormatFoundDevice(const EnumReply& reply, const char* sender, int senderPort);

// Socket error texts: the code's phrase ("10061:Connection refused"), "Unkown error"
// for codes not in the table; at most size - 1 characters and a NUL.
void FormatSocketError(int code, char* buffer, int size);

// Frame reassembly. Datagrams are appended; complete frames whose magic, length and
// CRC check out are handed to OnFrame in order. Garbage is skipped by hunting for the
// next magic.
//
// Invariant between calls: at most 16384 bytes wait (while hunting), fewer than 8210
// while a frame is incomplete, so one more datagram of up to 8192 bytes always fits.
class CUdpFrameBuffer {
 public:
  CUdpFrameBuffer() = default;
  virtual ~CUdpFrameBuffer() = default;

  // Appends bytes and delivers every complete frame. A frame whose handling throws is
  // dropped, so that one bad frame cannot stall the ones behind it. Returns 1.
  int AppendData(const BYTE* bytes, int count);
  // A complete, checked frame at the start of the buffer, or null.
  BYTE* ExtractFrame();
  // Handles one frame at the start of the buffer (header and payload).
  virtual void OnFrame(BYTE* frame) = 0;

  void ResetBuffer();
  int GetBufferedCount() const { return m_nBuffered; }
  // Bytes thrown away, by cause: no magic in front of them or a length no frame can
  // have; a CRC that does not match; a frame whose handler failed.
  DWORD GetBytesGarbage() const { return m_dwBytesGarbage; }
  DWORD GetBytesBadCheck() const { return m_dwBytesBadCheck; }
  DWORD GetBytesFailedHandler() const { return m_dwBytesFailedHandler; }

 protected:
  static constexpr int kBufferSize = 0x6000;
  static constexpr int kHuntLimit = 0x4000;
  int32_t m_nState = 0;  // 0 hunting for the magic, 1 magic at the start, 2 header complete
  WORD m_nBuffered = 0;  // bytes in m_buffer
  BYTE m_buffer[kBufferSize] = {};
  DWORD m_dwBytesGarbage = 0;
  DWORD m_dwBytesBadCheck = 0;
  DWORD m_dwBytesFailedHandler = 0;
  DWORD m_dwBadSpanLeft = 0;  // bytes of the last frame with a bad CRC not yet hunted over

 private:
  void Discard(int count);
  // Bytes skipped by the hunt: garbage, unless they belong to a frame already counted bad.
  void CountSkipped(DWORD count);
};

// Frames waiting for their acknowledgement (Connect and Disconnect), resent every
// Timeout milliseconds until acknowledged or Retry resends have been made.
constexpr int kReTXTableSize = 500;   // entries
constexpr int kReTXFrameSize = 8320;  // bytes of one entry's frame

#pragma pack(push, 1)
struct ReTXEntry {
  BYTE resendsLeft;
  uint32_t tick;     // tick of the last send (ms); never 0
  uint32_t address;  // destination IPv4, network order
  uint16_t port;     // destination port, network order
  uint16_t sequence;
  uint16_t length;  // frame bytes
  BYTE frame[kReTXFrameSize];
};
#pragma pack(pop)

// The queue over a table of kReTXTableSize entries that it is given (the process's
// g_ReTXTable, or a test's own) and a clock.
class ReTXTable {
 public:
  using SendFn = void (*)(void* context, const ReTXEntry& entry);

  ReTXTable(ReTXEntry* entries, ITickSource& ticks) : m_pEntries(entries), m_pTicks(&ticks) {}
  ReTXTable(const ReTXTable&) = delete;
  ReTXTable& operator=(const ReTXTable&) = delete;

  void Init(WORD retry, DWORD timeout_ms);
  WORD GetRetry() const { return m_nRetry; }
  DWORD GetTimeout() const { return m_dwTimeout; }
  int GetCount() const;
  BOOL IsEmpty() const { return GetCount() == 0; }
  void Clear();
  // Entry i (i < GetCount()), for tests and diagnostics.
  const ReTXEntry& GetEntry(int i) const { return m_pEntries[i]; }

  // Queues a frame; TRUE without queueing when Retry is 0, FALSE when the frame is
  // too long or the table is full.
  BOOL Add(uint32_t address, uint16_t port, WORD sequence, const BYTE* frame, int length);
  // Resends every entry older than Timeout through send; an entry whose resends run
  // out is dropped. TRUE when the table was not empty on entry.
  BOOL Resend(SendFn send, void* context);
  // An ACK of sequence a: removes the entries for the same destination whose sequence
  // is a or earlier in wrap-around order (a - s, as 16-bit, below 0x8000).
  int Remove(WORD acknowledged);

  DWORD GetResentCount() const { return m_dwResent; }
  DWORD GetExpiredCount() const { return m_dwExpired; }

 private:
  DWORD Stamp() const;  // now, never 0

  ReTXEntry* const m_pEntries;      // kReTXTableSize entries, not owned
  ITickSource* const m_pTicks;      // not owned
  mutable CCriticalSection m_lock;  // protects everything below
  int m_nCount = 0;                 // entries in use, from the first
  WORD m_nRetry = 3;                // resends per frame; 0: nothing is queued
  DWORD m_dwTimeout = 2000;         // ms before a frame is sent again
  DWORD m_dwResent = 0;             // frames sent again
  DWORD m_dwExpired = 0;            // frames dropped after their last resend
};

// The one table of the process (only one UDP link is open at a time).
extern ReTXEntry g_ReTXTable[kReTXTableSize];

// One row of the interface address table: address and mask, network order.
struct LocalAddressRow {
  uint32_t address;
  uint32_t mask;
};
// Appends the dotted texts of the rows' addresses and directed broadcasts, skipping
// 0.0.0.0 and the 127.0.x.x addresses.
void AddLocalAddresses(const LocalAddressRow* rows, int count, CStringArray& addresses, CStringArray& broadcasts);
CString DottedAddress(uint32_t address_net);
