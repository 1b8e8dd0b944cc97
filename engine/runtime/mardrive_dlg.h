// CMardriveDlg: the job engine's one window. Hidden when the operator program started
// it, it is the whole life of the process: it reads the command line, opens the job's
// channel, loads the job, attaches the device link, obeys the commands on the channel,
// runs the job through the processing thread and reports back in the channel's header
// and messages. Everything periodic runs on its timers, on the UI thread.
//
// Files: mardrive_dlg.cpp (start-up, channel, commands, timers), mardrive_link.cpp
// (attaching and detaching the link), mardrive_run.cpp (start, stop, the processing
// thread), mardrive_reply.cpp (controller lines into the header and messages).
//
// Threads: the processing thread reads the ".structs" file and feeds the planner; it
// shares with the UI thread only the interlocked flags below, the frame protocol
// engine's queues and the planner's timing lock. The UI thread never touches the file,
// the planner's packing or the FIFO while the thread runs: a stop asks the thread to
// end and joins it first.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "engine/planner/path_processor.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/runtime/engine_links.h"
#include "engine/runtime/engine_settings.h"
#include "engine/runtime/job_setup.h"
#include "foundation/draw/progress_bar.h"
#include "foundation/job_channel.h"
#include "jobs/engine_command_line.h"
#include "jobs/job_record.h"
#include "platform/win/dialog.h"
#include "platform/win/gdi.h"

// Process-wide values the command line and the commands set.
extern BOOL g_bStandalone;
extern BYTE g_bForce2D;
extern BYTE g_bSimuWithTime;

// Timer ids of the engine dialog.
enum EngineTimer : UINT_PTR {
  kTimerPump = 1,      // frame pump, "TRANSMITTED"
  kTimerDelayed = 2,   // release of delayed tag lines (simulator)
  kTimerProgress = 3,  // progress, times, "FINISHED"
  kTimerFail = 4,      // after a failure: drain, then timer 20
  kTimerStatus = 5,    // status line, run state, start requests
  kTimerAttach = 6,    // "ATTACHED" once the device is on line
  kTimerParent = 7,    // the operator program still runs
  kTimerCommands = 8,  // hide, retransmit, command poll
  kTimerAttachTimeout = 9,
  kTimerKeepAlive = 10,
  kTimerExit = 20,
  kTimerFifo = 55,
};

// Private commands: a start that only starts and a stop that only stops. The ring's
// start and stop commands and the engine's own watchers use them; the dialog's button
// keeps its toggle.
constexpr UINT kCmdStartOnly = 0x8001;  // WM_APP + 1
constexpr UINT kCmdStopOnly = 0x8002;   // WM_APP + 2
// The frame protocol engine's wake: frames are ready for a sender that had none.
constexpr UINT kMsgPumpWake = 0x8003;  // WM_APP + 3

class CMardriveDlg : public CDialog {
 public:
  explicit CMardriveDlg(const EngineTraceSettings& trace, CWnd* parent = nullptr);
  ~CMardriveDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void DoDataExchange(CDataExchange* dx) override;

  BOOL OpenJobChannel();
  void CloseJobChannel();
  BOOL LoadJob(const char* jobInfoPath);
  BOOL ReadJobInfo(const char* path);
  void PumpMessagesFor(DWORD ms);
  void ShowEngineWindow();

 protected:
  // ---- start-up and channel (mardrive_dlg.cpp)
  void ReadCommandLine();
  void WriteStartupHeader();
  void ShowJobInfo(const JobRecord& job);
  int PollCommands();
  void HandleCommand(const ChannelMessage& message, UINT length);
  void HandleOutputParameter(const char* text);
  struct OperatorOutput {
    WORD nCode;  // 48 spindle speed, 9 M code
    DWORD nValue;
  };
  void ApplyOperatorOutput(const OperatorOutput& output);
  // The processing thread takes the outputs that came while it ran; when it is leaving,
  // it turns idle under the same lock.
  void TakePendingOutputs(BOOL leaving);
  void OnTimer(UINT_PTR id);
  // The dialog's timers keep the tick each is due at. WM_TIMER comes only when no other
  // message waits, and a link streaming at full speed keeps its notifications coming:
  // every timer (the command poll with a stop, the end of the job) would wait for the
  // whole job. The link's handlers therefore run a timer that is well overdue
  // themselves (ServeOverdueTimers), as if it had come. These hide CWnd's two.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms);
  BOOL KillTimer(UINT_PTR id);
  void ServeOverdueTimers();
  LRESULT OnPumpWake(WPARAM, LPARAM);
  // "FINISHED" once every tag is reported and every frame delivered: timer 3 looks, and
  // so do the handlers of the link's data and the tag lines, the moment it may be so.
  void CheckFinished(BOOL fromTimer = FALSE);
  void OnTimerProgress();
  void OnTimerStatus();
  void OnTimerParent();
  void OnTimerCommands();
  int ReportFifoLevel();
  void OnPaint();
  void OnClose() {}
  void OnButtonJobFile();
  void DrawStatus(double materialHeight_mm, double materialZeroOffset_mm);
  void DispatchQueued();
  void SetRxState(const char* state);
  void SetRxMessage(const char* text);
  // A failure of a start or attach: the text and "ERROR", then the engine ends.
  void Fail(const CString& text);

  // ---- the link (mardrive_link.cpp)
  void OnButtonOpen();
  BOOL OpenLink();
  void CloseLink();
  void ConfigureProtocol();
  LRESULT OnComMsg(WPARAM wParam, LPARAM lParam);
  LRESULT OnSocketNotify(WPARAM wParam, LPARAM lParam);
  void OnDeviceError(LPARAM code);
  void ResetNotifyState();

  // ---- start, stop and the processing thread (mardrive_run.cpp)
  void StartTransmission();
  BOOL OpenStructs();
  void BeginRun();
  void StopRequested();
  LRESULT OnStartOnly(WPARAM, LPARAM);
  LRESULT OnStopOnly(WPARAM, LPARAM);
  void StopTransmission();
  void StopProcessingThread();
  LRESULT OnAbortMsg(WPARAM wParam, LPARAM lParam);
  BOOL ProbeDevice();
  BOOL CheckRanges();
  WorkArea GetWorkArea();
  BOOL PreparePlanner(CString& error);
  void PathProcessing();
  BOOL ReadJobRecord(DWORD index, PathRecord& record);
  BOOL BeginToSendData();
  void UpdateStartButton();
  CString ThroughputText();

  // ---- controller lines (mardrive_reply.cpp)
  LRESULT OnDeviceNotify(WPARAM wParam, LPARAM lParam);
  LRESULT OnNotifyDelayed(WPARAM wParam, LPARAM lParam);
  void PostDelayedNotify();
  void HandleReplyLine(CString line);
  void PushMessage(const BYTE* bytes, UINT length);

  DECLARE_MESSAGE_MAP()

  // ---- dialog fields
  CString m_strConnection, m_strStartTag, m_strEndTag, m_strSourcePath, m_strStructsPath, m_strDeviceName;
  CString m_strJobName, m_strStatus, m_strCopiesX, m_strCopiesY, m_strCopiesZ, m_strSpacingX, m_strSpacingY,
      m_strSpacingZ, m_strTagProgress, m_strMaterialHeight, m_strMaterialZero, m_strZMax, m_strZMin;
  CString m_strTraverse, m_strFeed, m_strPlunge, m_strStartSpeed, m_strAcceleration, m_strOrientation;
  int m_nRelative = 1, m_nFlipX = 0, m_nFlipY = 0, m_nFlipZ = 0;
  CProgressBar m_Progress;
  CFont m_Font;
  CBrush m_WhiteBrush, m_HatchBrush;
  CBitmap m_HatchPattern;
  CPen m_BluePen, m_RedPen;

  // ---- settings and job
  EngineTraceSettings m_Trace;
  EngineSettings m_Settings;
  FrameProtocolConfig m_FrameConfig;
  JobRecord m_Job;
  DeviceParams m_Device;
  CString m_strTarget;
  LONG m_nParentPid = -1;
  CString m_strJobInfoPath;
  TransformMatrix m_Transform;
  BOOL m_bAutoQuit = FALSE;
  BOOL m_bDetachRequested = FALSE;
  DWORD m_nTotalTags = 0;  // tags of all copies
  DWORD m_nCurrentTag = 0;
  LONGLONG m_nPrevTag = -1;  // last tag handed to the planner; -1 none
  double m_dParkingLift_mm = 50.0;

  // ---- channel
  std::unique_ptr<CJobChannel> m_pTx;  // "PanelTx_<job>": commands in
  std::unique_ptr<CJobChannel> m_pRx;  // "PanelRx_<job>": header and messages out

  // ---- link and protocol
  CWindowNotifySink m_Sink;
  CFrameProtocol m_Protocol;
  std::unique_ptr<CDeviceLink> m_pLink;  // null while closed
  BOOL m_bLinkOpen = FALSE;
  BOOL m_bOpening = FALSE;  // the open waits for the link (pumping messages)
  BOOL m_bSimulatorLink = FALSE;
  std::atomic<LONG> m_bAttachCancel{0};

  // ---- run
  CPathProcessor m_PathProcessor;
  PlannerSettings m_PlannerSettings;
  CFile m_StructsFile;
  DWORD m_nRecordCount = 0;
  DWORD m_nRecordIndex = 0;  // processing thread
  int m_nPlane = 0;          // processing thread
  int m_nLastMotionCode = 0;
  PathRecord m_CurrentRecord;
  std::deque<Vec3> m_CopyOffsets;
  RecordTransform m_RecordTransform;  // orientation and the running copy's offset
  BOOL m_bHasCopies = FALSE;
  BOOL m_bHeaderPending = FALSE;
  BOOL m_bTransmitting = FALSE;
  BOOL m_bStarting = FALSE;  // a start or stop is under way (it pumps messages)
  // This run's end is posted: "FINISHED" stands, the timers that report a running job's
  // state leave it (a late timer may run before the posted end).
  BOOL m_bFinishPosted = FALSE;
  std::atomic<LONG> m_bEndOfData{1};
  std::atomic<LONG> m_bStopRequest{0};
  std::atomic<LONG> m_bThreadIdle{1};
  std::thread m_Thread;
  time_t m_StartTime = 0;
  // The operator's outputs that came while the processing thread ran (it owns the
  // planner then). The lock also covers the thread's idle flag going to 1, so an output
  // is either queued for a thread that will take it or applied at once.
  CCriticalSection m_OutputLock;
  std::vector<OperatorOutput> m_PendingOutputs;

  // ---- timers: id -> the tick it is due at, while armed
  std::map<UINT_PTR, DWORD> m_TimerDue;
  bool m_bServingTimers = false;

  // ---- delayed tag lines
  CCriticalSection m_NotifyLock;  // guards m_PendingNotify
  std::deque<CString> m_PendingNotify;
  int m_nReleasedNotify = 0;
  DWORD m_nReleaseTick = 0;  // never 0 while counting
  CString m_strLastDelayed;
};
