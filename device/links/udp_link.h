// The device link to one controller on the LAN.
//
// Client role (local port 0): Open sends a Connect, resent every Timeout ms until the
// controller acknowledges it; Write sends each device frame as one Data frame; the
// controller's Data frames are acknowledged and their bytes (or, for status frames,
// the status byte) wait for Read; keep-alives go out when the line is quiet; the link
// counts as lost after LinkTimeout ms of silence; Close sends Disconnect twice.
// Discover-only: the link only broadcasts Enum and collects the answers.
// Simulator role (local port not 0): the link answers like a controller and writes the
// commands it receives into "CamData.dat".
//
// Everything runs on the owner's UI thread; the locks keep the frame buffers whole
// for one operation each. They are process-local critical sections: a kernel mutex
// would cost two trips to the Wine server for every lock, several times a frame. Lock
// order: send lock, then the retransmission lock, then the socket's send lock.
#pragma once

#include <cstdio>

#include "device/links/device_link.h"
#include "device/links/udp_socket.h"

// Storage target of the Connect (set by the engine from its command line only).
extern WORD g_bUploadTarget;
extern CString g_strUploadTarget;

// What a link is handed when it is built: the state the process keeps outside any one
// link (the device protocol version that the connect reply sets, the retransmission
// table, the storage target of the Connect) and the clock that times resends,
// keep-alives and the link's silence. Process() is the process's own; tests build
// their own so that nothing is shared and time moves only when they say.
struct UdpLinkContext {
  int32_t* pProtocolVersion = nullptr;         // set by the connect reply
  ReTXEntry* pReTXTable = nullptr;             // kReTXTableSize entries
  const WORD* pUploadTarget = nullptr;         // non-zero: the Connect names a storage target
  const CString* pUploadTargetName = nullptr;  // that target
  ITickSource* pTicks = nullptr;
  static UdpLinkContext Process();
};

class CUdpLink : public CDeviceLink, public CUdpSocket {
 public:
  explicit CUdpLink(const UdpLinkContext& context = UdpLinkContext::Process());
  ~CUdpLink() override;

  BOOL Read(BYTE* buffer, DWORD* length) override;
  BOOL Write(const BYTE* bytes, DWORD* length) override;
  BOOL GetCommProperties(COMMPROP* properties) override { return TRUE; }
  void Purge() override {}
  BOOL IsCtsOn() override { return TRUE; }
  int GetBaudRate() override { return kBaudRate; }
  BOOL IsOpen() override { return m_hPort != -1; }
  BOOL ReTrans() override;
  void SendKeepAlive() override;
  BOOL IsLinkTimedOut() override;
  // commString "NET:" [address] [":" port]; option1 local port (0 client role),
  // option2 discover-only.
  BOOL Open(const char* commString, int localPort, int discoverOnly, HWND notifyWindow, UINT notifyMessage) override;
  BOOL Close() override;

  // Broadcasts one Enum to every local directed-broadcast address at the peer's port.
  void SendEnum();
  // Copies the FoundDevice texts of the Enum replies received; returns their count.
  int GetFoundDevices(CStringArray& devices);
  void OnFrame(BYTE* frame) override;
  // For an owner that reads the link itself as soon as a datagram is in (the engine,
  // on the socket message): handles the socket message like OnSocketNotify, but a
  // datagram received posts no data notification, which would only bring the owner
  // back through its message queue before the next frame can leave. Error reports are
  // still posted. Returns whether bytes wait for Read.
  BOOL ReceiveForReader(SOCKET socket, LPARAM event);
  static int32_t WrittenPackOf(const BYTE* bytes, DWORD length);

  void InitReTX();
  void FreeReTX();
  BOOL IsReTXEmpty() { return m_retx.IsEmpty(); }
  BOOL AddReTX(uint32_t address, uint16_t port, WORD sequence, const BYTE* frame, int length);
  void RemoveTX(WORD sequence);

  // Diagnostics: one line of key=value counters, written to the "frames" log when the
  // link closes.
  CString GetStatsLine() const;
  DWORD GetFramesResent() const { return m_retx.GetResentCount(); }
  DWORD GetReceiveBytesDropped() const { return m_dwReceiveDropped; }
  DWORD GetForeignDatagrams() const { return m_dwForeignDatagrams; }
  WORD GetSequenceNumber() const { return m_nSequence; }
  DWORD GetLinkTimeout() const { return m_dwLinkTimeout; }

 protected:
  // A connected client takes frames only from its controller's address and port.
  BOOL AcceptSender(const sockaddr_in& sender) const override;

 private:
  static constexpr int kBufferSize = 8192;     // bytes of each frame buffer
  static constexpr int kBaudRate = 115200;     // what the link reports as its line speed
  static constexpr DWORD kKeepAliveMs = 2000;  // quiet time before a keep-alive
  static constexpr DWORD kCloseWaitMs = 5000;  // Close waits this long for the ACKs
  static constexpr DWORD kSimAckDelayMs = 20;  // the simulator's pause before its ACK
  static constexpr DWORD kDefaultRetry = 3;    // resends before [Communication] is read
  static constexpr DWORD kDefaultResendMs = 2000;

  void SendConnect(BOOL connect);
  void SendFrame(BYTE type, WORD sequence, const void* payload, WORD length);
  void TakeData(const UdpFrameHeader& h, const BYTE* payload);
  // Whether a controller Data frame with this sequence number came before; records it.
  bool IsRepeatedData(WORD sequence);
  void ForgetSequences();
  void OnConnectReply(const BYTE* payload, int length);
  void AddFoundDevice(const BYTE* payload, int length);
  // Simulator role.
  void SimAnswerEnum();
  void SimTakeData(const BYTE* payload, int length);
  void SimSplitCommands(const BYTE* data, int length);
  void SimCapture(const BYTE* bytes, int length);
  void SimAnswerQuery(WORD code);
  static void ResendEntry(void* context, const ReTXEntry& entry);

  UdpLinkContext m_context;
  int32_t m_bDiscoverOnly = 0;   // only search: no Connect, only Enum frames count
  int32_t m_bClient = 0;         // 1 client role, 0 simulator role
  int32_t m_bConnecting = 0;     // 1 from a Connect until the first ACK
  bool m_bOwnerReading = false;  // within ReceiveForReader: arrivals are not posted
  CString m_strLocalAddress;     // bind address; empty = any interface
  WORD m_nLocalPort = 0;         // option 1
  CCriticalSection m_sendLock;   // guards m_sendBuffer while a frame is built and sent
  BYTE m_sendBuffer[kBufferSize] = {};
  CCriticalSection m_receiveLock;  // guards m_receiveBuffer and m_dwReceiveCount (and the ACK marks)
  DWORD m_dwReceiveCount = 0;      // bytes waiting for Read
  BYTE m_receiveBuffer[kBufferSize] = {};
  CString m_strSimName;     // simulated device name; nothing sets it
  CString m_strSimConsole;  // console accepted by the simulator; empty none
  WORD m_nSimConsolePort = 0;
  CStringArray m_arrFoundDevices;
  CMutex m_foundMutex;            // guards m_arrFoundDevices
  ReTXTable m_retx;               // Connect and Disconnect frames awaiting their ACK
  WORD m_nSequence = 1;           // next Connect/Disconnect sequence; never 0
  DWORD m_dwLinkTimeout = 10000;  // ms of silence before the link counts as lost
  WORD m_nSimCommand = 0;         // command word of the command being captured
  CString m_strCaptureName = "CamData.dat";
  FILE* m_pCaptureFile = nullptr;
  DWORD m_dwSimStreamCount = 0;
  BYTE m_simStream[kBufferSize] = {};
  DWORD m_dwSimToCapture = 0;                  // bytes of a command still to come in later frames
  DeviceFrame m_simFrame = {};                 // the frame the simulator scan looks at
  BYTE m_simData[DEVICE_FRAME_MAX_DATA] = {};  // that frame's data
  // Sequence numbers of the controller's latest Data frames (a ring, 0 = free). A frame
  // whose number is among them came before: a resend after a lost ACK, or a copy the
  // network made. It is acknowledged again but not passed on. Unnumbered frames
  // (sequence 0) are always taken.
  static constexpr int kRecentSequences = 64;
  WORD m_recentSequences[kRecentSequences] = {};
  int m_nRecentNext = 0;  // slot of the next number
  // Counters of the stats line.
  DWORD m_dwFramesSent = 0;           // datagrams sent, resends not counted
  DWORD m_dwFramesReceived = 0;       // checked frames taken from the socket
  DWORD m_dwReceiveDropped = 0;       // controller bytes dropped because Read fell behind
  DWORD m_dwFramesDuplicate = 0;      // controller Data frames received a second time
  int32_t m_nWrittenPack = -1;        // pack number of the device frame last written; -1 none
  bool m_bAckPassedForWrite = false;  // an ACK of that write was passed on
  DWORD m_dwStaleStatus = 0;          // status frames about another frame than the one last written
};
