// The datagram protocol of LAN controllers: every datagram carries one frame, an
// 18-byte header and a payload. This file holds the portable half: the records, frame
// building, the reassembly of frames from received bytes, the retransmission table and
// the socket error texts. The sockets themselves are in udp_socket.h (Windows).
#pragma once

#include "platform/core.h"

#define UDP_FRAME_MAGIC 0xFEFEFEFEu
#define UDP_MAX_PAYLOAD 8192
#define UDP_HEADER_SIZE 18
#define UDP_DISCOVERY_PORT 7878
#define UDP_FLAG_PC 0x01      // on every frame a PC sends
#define UDP_FLAG_STATUS 0x80  // a controller's status frame

enum UdpFrameType : BYTE {
  UDP_ENUM = 1,
  UDP_KEEPALIVE = 2,
  UDP_DATA = 3,
  UDP_CONNECT = 4,
  UDP_DISCONNECT = 5,
  UDP_ACK = 6,
  UDP_ERROR_REPORT = 7,
};

#pragma pack(push, 1)
struct UdpFrameHeader {
  uint32_t magic;     //  0: 0xFEFEFEFE
  uint16_t crc;       //  4: CRC-16/ARC over length + 12 bytes from offset 6
  uint8_t type;       //  6: UdpFrameType
  uint8_t flag;       //  7: UDP_FLAG_PC, UDP_FLAG_STATUS
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
static_assert(sizeof(UdpFrameHeader) == UDP_HEADER_SIZE, "frame header is 18 bytes");
static_assert(offsetof(UdpFrameHeader, crc) == 4 && offsetof(UdpFrameHeader, type) == 6, "layout");
static_assert(offsetof(UdpFrameHeader, sequence) == 8 && offsetof(UdpFrameHeader, length) == 16, "layout");
static_assert(sizeof(EnumReply) == 28 && offsetof(EnumReply, consoleAddress) == 6, "layout");
static_assert(offsetof(EnumReply, name) == 12, "layout");
static_assert(sizeof(ConnectPayload) == 4, "layout");

// Status byte of a status frame.
inline bool IsAckStatus(BYTE status) { return (status & 0xF0) == 0xF0 || status == 1; }
inline bool IsBusyStatus(BYTE status) { return status == 6; }

// CRC-16/ARC over count bytes.
WORD UdpFrameCrc(const BYTE* bytes, UINT count);

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
  CUdpFrameBuffer();
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
  DWORD GetBytesDiscarded() const { return m_dwBytesDiscarded; }

 protected:
  enum { kBufferSize = 0x6000, kHuntLimit = 0x4000 };
  int32_t m_nState;  // 0 hunting for the magic, 1 magic at the start, 2 header complete
  WORD m_nBuffered;  // bytes in m_buffer
  BYTE m_buffer[kBufferSize];
  DWORD m_dwBytesDiscarded;  // garbage, bad CRCs, bad lengths, dropped frames

 private:
  void Discard(int count);
};

// Frames waiting for their acknowledgement (Connect and Disconnect), resent every
// Timeout milliseconds until acknowledged or Retry resends have been made.
#define RETX_TABLE_SIZE 500
#define RETX_FRAME_SIZE 8320

#pragma pack(push, 1)
struct ReTXEntry {
  BYTE resendsLeft;
  uint32_t tick;     // GetTickCount of the last send; never 0
  uint32_t address;  // destination IPv4, network order
  uint16_t port;     // destination port, network order
  uint16_t sequence;
  uint16_t length;  // frame bytes
  BYTE frame[RETX_FRAME_SIZE];
};
#pragma pack(pop)

class ReTXTable {
 public:
  using SendFn = void (*)(void* context, const ReTXEntry& entry);

  void Init(WORD retry, DWORD timeout_ms);
  WORD GetRetry() const { return m_nRetry; }
  DWORD GetTimeout() const { return m_dwTimeout; }
  int GetCount() const;
  BOOL IsEmpty() const { return GetCount() == 0; }
  void Clear();

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
  mutable CCriticalSection m_lock;  // protects everything below
  int m_nCount = 0;
  WORD m_nRetry = 3;
  DWORD m_dwTimeout = 2000;
  DWORD m_dwResent = 0;
  DWORD m_dwExpired = 0;
};

// The one table of the process (only one UDP link is open at a time).
extern ReTXEntry g_ReTXTable[RETX_TABLE_SIZE];

// One row of the interface address table: address and mask, network order.
struct LocalAddressRow {
  uint32_t address;
  uint32_t mask;
};
// Appends the dotted texts of the rows' addresses and directed broadcasts, skipping
// 0.0.0.0 and the 127.0.x.x addresses.
void AddLocalAddresses(const LocalAddressRow* rows, int count, CStringArray& addresses, CStringArray& broadcasts);
CString DottedAddress(uint32_t address_net);
