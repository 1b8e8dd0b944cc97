// CFrameProtocol: moves device frames from the engine to the controller over whatever
// link is open, one frame in flight at a time (stop and wait), and reads everything the
// controller sends back.
//
// Frames wait in three places: the priority queue (command frames: they overtake), the
// spill FIFO file (the job's data frames, when "EnableFileFiFo" is on) or else the
// normal memory queue. The sender numbers each frame it takes with an 8-bit pack
// number, seals it (sync word, check value) and keeps it in the send slot until the
// controller acknowledges it; it resends on a time-out, on a NAK and, without counting,
// while the controller answers BUSY; after RetryLimit sends without an answer it posts
// the abort message (wParam kAbortLinkDown) to its owner and stops.
//
// Answer bytes from the controller (the same on every link; a UDP status frame arrives
// as its status byte):
//   0x01        ACK                      0x06        BUSY
//   0xF0-0xFF   ACK, low 4 bits = pack   0x08        NAK
//   0xE0-0xEF   NAK, low 4 bits = pack   0x20-0x7F   a character of a reply line
// A numbered answer whose bits are not those of the frame in flight is dropped.
//
// Threads: producers (the processing thread, the UI thread's command handlers) touch
// only the queues, the FIFO and the done flag, each under its own lock or atomically.
// Everything else (the send slot, the state, the counters, the reply reader) belongs to
// the UI thread: Pump on the 10 ms timer, after every ACK, and on the wake message; and
// the link's data notification. The device status answered by reply lines is kept under
// its own lock and read from any thread.
//
// The wake: a sender that found nothing to send marks itself starved; the producer that
// next makes a frame available (queues it, or publishes a spilled run) clears the mark
// and posts the owner the wake message once, so the frame leaves at once rather than on
// the next timer tick (which a busy message queue can hold back for long).
#pragma once

#include <atomic>
#include <deque>
#include <random>

#include "device/device_frame.h"
#include "device/links/device_link.h"
#include "engine/protocol/fifo_space.h"
#include "engine/protocol/frame_queue.h"
#include "engine/protocol/protocol_settings.h"
#include "engine/protocol/reply_line.h"
#include "foundation/geometry.h"
#include "platform/clock.h"
#include "platform/core.h"
#include "platform/locked.h"
#include "platform/notify_sink.h"

// Throughput of this process (data bytes of frames taken for sending, since the tick
// of the first one); written by the sender only.
extern ULONGLONG g_nByteCount;
extern DWORD g_nByteCountStart;

// wParam of the owner's abort message.
constexpr WPARAM kAbortCancelFromDevice = 1;  // the controller sent "P" CANCEL
constexpr WPARAM kAbortLinkDown = 2;          // a frame went unanswered RetryLimit times
constexpr WPARAM kAbortSpillFailed = 3;       // the spill file could not take a frame: the job must stop

// Device status bits of the query answers.
constexpr DWORD kAnsweredStatus = 0x80;   // "T"
constexpr DWORD kAnsweredWorkPos = 0x40;  // "W"
constexpr DWORD kAnsweredOrigin = 0x20;   // "O"
constexpr DWORD kAnsweredOnline = 0x10;   // "S"
constexpr DWORD kAnsweredVersion = 0x08;  // "V"
constexpr DWORD kAnsweredAll = kAnsweredStatus | kAnsweredWorkPos | kAnsweredOrigin | kAnsweredOnline;

// What one answer byte means.
enum AnswerByteKind {
  kAnswerIgnored = 0,
  kAnswerAck,       // 0x01
  kAnswerAckPack,   // 0xF0-0xFF
  kAnswerBusy,      // 0x06
  kAnswerNak,       // 0x08
  kAnswerNakPack,   // 0xE0-0xEF
  kAnswerReplyChar  // 0x20-0x7F
};
AnswerByteKind ClassifyAnswerByte(BYTE b);

// Writes one text to the "frames" log.
void LogFrameText(const char* text);

// Counters of one configured run, for the "frames" log and for tests.
struct FrameProtocolStats {
  DWORD nFramesSent = 0;     // first sends
  DWORD nFramesResent = 0;   // resends for any reason
  DWORD nTimeouts = 0;       // resends after the ACK time-out
  DWORD nBusyResends = 0;    // resends while the controller was busy
  DWORD nNaks = 0;           // NAKs taken
  DWORD nBusy = 0;           // BUSY bytes
  DWORD nAcked = 0;          // frames acknowledged
  DWORD nStaleAcks = 0;      // ACKs of an earlier send, not taken for the frame in flight
  DWORD nStrayAnswers = 0;   // ACKs and NAKs with no frame in flight
  DWORD nWrongPack = 0;      // numbered answers for another pack
  DWORD nWriteFailures = 0;  // sends the link took only in part
  DWORD nReplyLines = 0;     // good reply lines
  DWORD nBadReplyLines = 0;  // lines with a wrong sum or malformed
  DWORD nIgnoredBytes = 0;   // answer bytes of no meaning
};

class CFrameProtocol : public IFrameQueue {
 public:
  enum State { kIdle = 0, kReady = 1, kWaiting = 2 };

  explicit CFrameProtocol(ITickSource& ticks = CSystemTicks::Instance());
  // ResetFifo, then the members.
  ~CFrameProtocol() override;
  CFrameProtocol(const CFrameProtocol&) = delete;
  CFrameProtocol& operator=(const CFrameProtocol&) = delete;

  // --- Set-up (UI thread). The dialog calls Configure, ClearQueues and Attach when the
  // link has opened, Configure and ClearQueues at every start, then sends two sync
  // frames and the status queries.
  void Init();
  // Empties the send slot and both queues, restarts the pack numbering at 0, takes the
  // settings and opens a fresh spill file (also with the FIFO off). When the file cannot
  // be made the memory queue takes the data frames instead.
  void Configure(const FrameProtocolConfig& config);
  // Binds the link (purged when given) and the owner (replaced only by a non-null one)
  // that gets abortMsg and the reply lines; state ready.
  void Attach(INotifySink* owner, CDeviceLink* link, UINT abortMsg);
  void ClearQueues();  // the normal queue
  void SetControllerGeneration(DWORD generation);
  // The message (wParam 0) the owner gets when frames become ready for a starved sender;
  // the owner answers it with Pump. 0 (the default): no wake, the timer finds them.
  void SetWakeMessage(UINT message) { m_nWakeMsg = message; }

  // --- Producers (any thread).
  BOOL QueueFrame(const DeviceFrame& frame, BOOL priority);
  WORD QueueDataFrame(BOOL priority, const BYTE* bytes, int count) override;
  void MarkFifoEnd() override;
  void SetDeliveredDone() override;
  WORD GetFrameDataCapacity() const override;
  BOOL IsFileTarget() const override;
  // Whether data frames go to the spill file (the setting, unless the file failed).
  BOOL IsFileFifo() const { return m_bFileFifo; }
  // The memory queue holds QueueLimit frames or more (the producer waits on it when the
  // spill file is not used).
  BOOL IsQueueFull();
  int GetQueuedCount();  // frames in the normal and the priority queue
  void ResetFifo();
  DWORD GetFifoLevel(DWORD* written, DWORD* read);

  // --- Sender (UI thread).
  void Pump();
  // The link's data notification (wParam 1: data arrived).
  void OnLinkData(WPARAM wParam);
  // The producer is done and nothing is queued, spilled or in flight.
  BOOL IsAllDelivered();
  DWORD GetAckedCount() const { return m_nAckedCount; }
  int GetState() const { return m_nState; }
  const FrameProtocolStats& GetStats() const { return m_Stats; }
  DWORD GetSpillFailures() const { return (DWORD)m_bSpillFailed.load(); }
  // The counters as one "key=value ..." line.
  CString FormatStats() const;

  // --- Command frames (UI thread; all go through the priority queue).
  void SendSyncFrame();
  // Item 0: the five status queries (version, online state, origin, work position,
  // status text) in one frame, after forgetting the previous answers.
  void RequestQueries(WORD item = 0);
  void SendWordCommand(WORD code, WORD value) override;
  void SendLongCommand(WORD code, DWORD value) override;
  // FALSE (nothing queued) when the command does not fit one frame.
  BOOL SendRomParam(WORD code, const BYTE* bytes, int count);
  // A ring message of the form u16 request word, u16 length n, n bytes: checked against
  // the bytes received and the frame, then SendRomParam.
  BOOL SendRomParamMessage(const BYTE* payload, int payloadLength);
  void SendOtCommands(int count);
  void SendZAdjust(WORD value);

  // --- Device status (any thread).
  void HandleReplyLine(const char* line);
  BOOL IsDeviceResponding();
  BOOL IsDeviceOnline();
  BOOL IsOnline();
  CString GetStatusText();
  CString GetControllerVersion();
  CString GetReplyC();
  virtual Vec3 GetWorkPosition();
  virtual Vec3 GetOriginPosition();
  BOOL TakeReplyR();
  void SetTagProgressText(const char* text);
  CString GetTagProgressText();

 private:
  // Sender steps.
  BOOL TakeNextFrame(DeviceFrame& out);
  BOOL LoadNextFrame();
  void SealFrame();
  BOOL SendCurrentFrame();
  void DumpFrame();
  void StampSendTime();
  BOOL IsResendDue();
  BOOL IsRetryExhausted() const { return m_nAttempts >= m_nRetryLimit; }
  BOOL HasFrameInSlot() const { return m_Frame.IsSyncValid(m_nVersion); }
  void DeclareLinkDown(const char* logText);
  void ReportSpillFailure();
  void WakeSender();  // producers, after a frame became ready
  // Answers.
  void ProcessReplies();
  bool AnswersFrameInFlight(BYTE b, bool numbered);
  void OnAckByte(BYTE b, bool numbered, DWORD bytesRead);
  void OnBusyByte(DWORD bytesRead);
  void OnNakByte(BYTE b, bool numbered, DWORD bytesRead);
  void OnAck();
  void OnReplyChar(char c);
  // Building.
  void QueueCommandFrame(const BYTE* data, int count, WORD command = kFrameCommandData);
  void PostAbort(WPARAM reason);
  void LogCom(const char* format, ...);
  DWORD NextRandom();

  ITickSource& m_ticks;

  // Settings of the run (UI thread writes them before the producer starts).
  UINT m_nPaddingSize = 6;
  BOOL m_bFileFifo = FALSE;
  int m_nVersion = 5;  // frame generation of the run
  DWORD m_nQueueLimit = 10;
  DWORD m_nAckTimeout = 3000;  // ms
  DWORD m_nRetryLimit = 3;
  DWORD m_nControllerGeneration = 0;
  BOOL m_bLogCom = FALSE, m_bLogFrame = FALSE, m_bCrcErrSimulate = FALSE, m_bLostSimulate = FALSE;

  // Producer side.
  std::atomic<LONG> m_bDeliveredDone{0};  // the producer has queued its last frame
  std::atomic<LONG> m_bSpillFailed{0};    // frames the spill file refused; reported once by Pump
  std::atomic<LONG> m_bSenderStarved{0};  // the sender found nothing to send; the next frame wakes it
  BOOL m_bSpillReported = FALSE;
  CFiFoSpace m_Fifo;
  CCriticalSection m_NormalLock;  // guards m_NormalQueue
  std::deque<DeviceFrame> m_NormalQueue;
  CCriticalSection m_PriorityLock;  // guards m_PriorityQueue
  std::deque<DeviceFrame> m_PriorityQueue;

  // Sender side (UI thread).
  DeviceFrame m_Frame;     // the send slot: the frame in flight; no sync word when empty
  BYTE m_nNextPackNo = 0;  // pack number of the next frame taken
  int m_nState = kIdle;
  BYTE m_nLastPackNo = 0;   // pack number of the frame last written
  DWORD m_nAttempts = 0;    // sends of the frame in the slot
  DWORD m_nUnanswered = 0;  // its sends that drew no answer yet (ACK, NAK or BUSY)
  DWORD m_dwSendTick = 0;   // tick of the last send; 0 none
  DWORD m_nAckedCount = 0;  // frames acknowledged since Configure
  // A frame sent k times may draw k ACKs; the k-1 late ones must not confirm the next
  // frame. Bare ACKs up to this count are taken as late ones until the window closes.
  DWORD m_nSurplusAcks = 0;
  DWORD m_dwSurplusTick = 0;        // when the surplus was counted (the accepting ACK)
  bool m_bReleasedInRead = false;   // an ACK of the read being handled sent a new frame
  CDeviceLink* m_pLink = nullptr;   // not owned
  INotifySink* m_pOwner = nullptr;  // not owned
  UINT m_nAbortMsg = 0;
  UINT m_nWakeMsg = 0;  // set before the producer starts
  CReplyLineReader m_Reply;
  FrameProtocolStats m_Stats;
  std::minstd_rand m_Random;  // the test switches' draws

  // Device status, under m_StatusLock.
  CCriticalSection m_StatusLock;
  DWORD m_nAnswered = 0;  // kAnswered* bits
  BOOL m_bOnline = FALSE;
  CString m_strStatus;
  CString m_strVersion;
  CString m_strCapability;  // upper-cased
  Vec3 m_WorkPos;           // device steps
  Vec3 m_OriginPos;
  CString m_strTagProgress;
  CString m_strRunRequest;
};
