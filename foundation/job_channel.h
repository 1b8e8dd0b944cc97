// The job channel: the only live link between the operator program and a job's engine.
//
// Each job has two named shared-memory mappings, "PanelTx_<job>" (commands to the
// engine) and "PanelRx_<job>" (the engine's messages back, and its status in the
// header), each guarded by the named mutex "<mapping>-Mutex". A mapping is the 1320-byte
// ChannelHeader followed by a ring of 256-byte slots. The mapping is the wire format
// between the two programs: every offset below is fixed, integers are little-endian and
// nothing in it is a pointer.
//
// Every access takes the named mutex, waiting at most kChannelLockMs. On a time-out
// readers return their defaults and writers return as if done without writing: a job row
// that shows "OFFLINE" for a moment is better than a UI thread stuck behind a hung peer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/core.h"

constexpr DWORD kChannelLockMs = 5000;
constexpr UINT kChannelSlotSize = 256;
constexpr UINT kChannelMaxMessage = 252;  // slot size minus the stored length
constexpr UINT kChannelMaxPayload = 248;  // message minus its 4-byte head

// Message types on the rings.
enum ChannelMessageType : WORD {
  kMsgAttach = 1,
  kMsgDetach = 2,
  kMsgStart = 3,
  kMsgStop = 4,
  kMsgPause = 6,
  kMsgResume = 7,
  kMsgToolOk = 8,
  kMsgExit = 9,
  kMsgLanguage = 10,
  kMsgShowHide = 11,
  kMsgZAdjust = 12,
  kMsgMachineOutputs = 13,
  kMsgRomParams = 15,
  kMsgForce2D = 16,
  kMsgSimulateTime = 17,
  kMsgControllerLine = 20,  // engine -> operator program
  kMsgProgress = 21,
  kMsgAttachResult = 30,
};

#pragma pack(push, 1)

// At offset 0 of each mapping. In "PanelTx_" only the ring fields are used. Text fields
// hold NUL-terminated text in the system code page: 15 characters at most in the 16-byte
// fields, 1023 in the message line.
struct ChannelHeader {
  double dPosW[3];           // 0x000 x, y, z (mm) from the controller's "W" replies
  double dPosO[3];           // 0x018 x, y, z (mm) from the controller's "O" replies
  char szReplyT[16];         // 0x030 latest "T" reply
  char szRunMode[16];        // 0x040 latest "S" reply, or "PAUSE" / "CONTINUE"
  char szState[16];          // 0x050 job state ("READY", "ATTACHED", "TRANSMITTING" ...)
  char szReplyV[16];         // 0x060 latest "V" reply
  char szReplyC[16];         // 0x070 latest "C" reply
  char szReplyD[16];         // 0x080 latest "D" reply
  char szReplyH[16];         // 0x090 latest "H" reply
  char szReplyL[16];         // 0x0A0 latest "L" reply
  char szReplyN[16];         // 0x0B0 latest "N" reply
  char szReplyA[16];         // 0x0C0 latest "A" reply
  char szReplyG[16];         // 0x0D0 text after "G" of the latest tag-progress reply
  char szSlotE0[16];         // 0x0E0 spare; the engine empties it when it starts
  char szReplyR[16];         // 0x0F0 latest "R" reply; emptied by the reader that takes it
  char szMessage[1024];      // 0x100 the engine's latest message or error text
  int32_t nProgressSeconds;  // 0x500 elapsed seconds at the latest tag progress
  double dProjectedTime;     // 0x504 projected total run time (s)
  double dElapsedTime;       // 0x50C elapsed run time (s)
  uint32_t nFifoWritten;     // 0x514 engine FIFO: frames written
  uint32_t nFifoRead;        // 0x518 engine FIFO: frames read
  uint32_t nCapacity;        // 0x51C ring slots
  uint32_t nWriteIndex;      // 0x520 next slot to fill, < nCapacity; moved by the writer only
  uint32_t nReadIndex;       // 0x524 next slot to take, < nCapacity; moved by the reader only
};

// One ring slot; slot i lies at 0x528 + i * 256.
struct ChannelSlot {
  uint32_t nLength;               // +0 stored message length, at most 252
  BYTE data[kChannelMaxMessage];  // +4 the ChannelMessage
};

// The data of one slot: pushed with length = payload length + 4.
struct ChannelMessage {
  uint16_t nType;                    // +0 ChannelMessageType
  uint16_t nLength;                  // +2 payload bytes (a text counts its NUL)
  BYTE payload[kChannelMaxPayload];  // +4
};

#pragma pack(pop)

static_assert(sizeof(ChannelHeader) == 1320, "channel header is 1320 bytes");
static_assert(offsetof(ChannelHeader, dPosO) == 0x018 && offsetof(ChannelHeader, szReplyT) == 0x030 &&
                  offsetof(ChannelHeader, szRunMode) == 0x040 && offsetof(ChannelHeader, szState) == 0x050 &&
                  offsetof(ChannelHeader, szReplyV) == 0x060 && offsetof(ChannelHeader, szReplyC) == 0x070 &&
                  offsetof(ChannelHeader, szReplyD) == 0x080 && offsetof(ChannelHeader, szReplyH) == 0x090 &&
                  offsetof(ChannelHeader, szReplyL) == 0x0A0 && offsetof(ChannelHeader, szReplyN) == 0x0B0 &&
                  offsetof(ChannelHeader, szReplyA) == 0x0C0 && offsetof(ChannelHeader, szReplyG) == 0x0D0 &&
                  offsetof(ChannelHeader, szSlotE0) == 0x0E0 && offsetof(ChannelHeader, szReplyR) == 0x0F0 &&
                  offsetof(ChannelHeader, szMessage) == 0x100,
              "channel header text offsets");
static_assert(offsetof(ChannelHeader, nProgressSeconds) == 0x500 && offsetof(ChannelHeader, dProjectedTime) == 0x504 &&
                  offsetof(ChannelHeader, dElapsedTime) == 0x50C && offsetof(ChannelHeader, nFifoWritten) == 0x514 &&
                  offsetof(ChannelHeader, nFifoRead) == 0x518 && offsetof(ChannelHeader, nCapacity) == 0x51C &&
                  offsetof(ChannelHeader, nWriteIndex) == 0x520 && offsetof(ChannelHeader, nReadIndex) == 0x524,
              "channel header number offsets");
static_assert(sizeof(ChannelSlot) == kChannelSlotSize, "ring slot is 256 bytes");
static_assert(sizeof(ChannelMessage) == kChannelMaxMessage, "message is at most 252 bytes");

#ifdef _WIN32

class CMutex;

// One process's handle on one mapping. Owns the mutex, the mapping and the view.
class CJobChannel {
 public:
  CJobChannel();
  virtual ~CJobChannel();
  CJobChannel(const CJobChannel&) = delete;
  CJobChannel& operator=(const CJobChannel&) = delete;

  // Creates the mapping of capacity * 256 + 1320 bytes, or attaches to it when the name
  // exists; the creator initialises the header. 1 on success, 0 otherwise.
  int Open(const char* name, UINT capacity);
  void Close();
  BOOL IsOpen() const { return m_pView != nullptr; }
  BOOL IsCreator() const { return m_bCreator; }

  // Takes the named mutex. A mutex left behind by a process that died holding it counts
  // as taken: this process owns it then, and refusing would keep it locked for ever.
  BOOL Lock(DWORD ms);
  void Unlock();
  void InitHeader();

  int ReadHeader(ChannelHeader* header);
  CString GetRunMode();      // "OFFLINE" when the lock fails
  CString GetState();        // empty when the lock fails
  CString GetMessageText();  // empty when the lock fails
  int TakeReplyR();          // 1 when "R" text was there (and is now emptied)

  UINT GetFreeCount();
  UINT GetUsedCount();
  // Stores at most 252 bytes; returns the stored length, 0 when full, refused or locked.
  UINT PushMessage(const void* data, UINT length);
  // Copies at most size bytes of the oldest message (the rest of it is lost); returns
  // the bytes copied, 0 when empty or locked. A stored length above 252 (a damaged
  // slot) is not refused but cut to 252, all a slot holds: the message is taken, so a
  // bad slot cannot block the ring.
  UINT PopMessage(void* buffer, UINT size);

  // Setters return 1 also when the lock fails (nothing is written then). Texts are
  // trimmed and cut to their field on a character boundary.
  int SetPositionW(double x, double y, double z);
  int SetPositionO(double x, double y, double z);
  int SetReplyT(const char* text);
  int SetRunMode(const char* text);
  int SetState(const char* text);
  int SetReplyV(const char* text);
  int SetReplyC(const char* text);
  int SetReplyD(const char* text);
  int SetReplyH(const char* text);
  int SetReplyL(const char* text);
  int SetReplyN(const char* text);
  int SetReplyA(const char* text);
  int SetReplyG(const char* text);
  int SetSlotE0(const char* text);
  int SetReplyR(const char* text);
  int SetMessageText(const char* text);

  int SetProgressSeconds(int seconds);
  int GetProgressSeconds();
  int SetProjectedTime(double seconds);
  int SetElapsedTime(double seconds);
  double GetProjectedTime();
  int SetFifoLevel(DWORD written, DWORD read);
  // Fills written and read (unchanged when the lock fails); returns written - read.
  LONG GetFifoLevel(DWORD& written, DWORD& read);

  // Diagnostics: locks that timed out, and ring operations refused because the header's
  // capacity or indices did not fit this view.
  DWORD GetLockTimeouts() const { return m_nLockTimeouts; }
  DWORD GetBadRingCount() const { return m_nBadRing; }

 private:
  class Guard;
  ChannelHeader* Header() const { return reinterpret_cast<ChannelHeader*>(m_pView); }
  ChannelSlot* Slot(UINT i) const;
  bool RingUsable(UINT& capacity, UINT& write, UINT& read);
  int SetPosition(size_t offset, double x, double y, double z);
  int SetText(size_t offset, size_t width, const char* text);
  CString GetText(size_t offset, size_t width, const char* onTimeout);

  BOOL m_bCreator = FALSE;           // this process created the mapping
  std::unique_ptr<CMutex> m_pMutex;  // "<name>-Mutex"
  HANDLE m_hMapping = nullptr;
  BYTE* m_pView = nullptr;  // whole mapping, null when closed
  UINT m_nViewSlots = 0;    // slots inside this process's view
  std::atomic<DWORD> m_nLockTimeouts{0};
  std::atomic<DWORD> m_nBadRing{0};
};

#endif  // _WIN32
