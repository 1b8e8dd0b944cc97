// The controller that lives inside the engine: "SIMU" runs a job without a machine,
// "FILE:<path>" does the same and writes the command stream into the file, which is how
// a job is exported for the controller's own storage.
//
// Write takes the frames the frame protocol engine sends. Each whole frame with a good
// check value is acknowledged with 0x01 and its data joined to the command stream; a
// damaged frame is dropped without an answer (the engine resends it after its time-out)
// and the scan goes on at the next sync word. The stream is split into commands (a u16
// word 0x8000 + code, then a u16 payload length and the payload; a move block instead a
// u16 item size and a u16 item count, then the items). Tag marks (DT_DH) come back as
// "G" lines and status queries (DT_OW) as the answer lines a controller gives; every
// other command is written to the file target. Tag marks, queries and DT_OT are the
// engine's conversation with a live controller and never reach the file, nor does the
// zero fill at the end of a short frame.
//
// The simulated work area is the device's: from the table's corner in X and Y, with
// Z zero half way up the Z travel so that a job can cut below zero and the tool can
// still be lifted above it. It is fixed from Open to Close.
//
// Everything runs on the owner's UI thread (the frame engine writes from its pump and
// reads after the posted notification); no lock is needed.
#pragma once

#include <cstdio>

#include "device/links/device_link.h"

class CSimuLink : public CDeviceLink {
 public:
  // The frame generation is read from *protocolVersion at every scan (the process's own
  // by default: 5 for serial, simulator and file runs).
  explicit CSimuLink(ITickSource& ticks = CSystemTicks::Instance(),
                     const int32_t* protocolVersion = &g_nProtocolVersion)
      : CDeviceLink(ticks), m_pVersion(protocolVersion) {}
  ~CSimuLink() override;

  BOOL Read(BYTE* buffer, DWORD* length) override;
  BOOL Write(const BYTE* bytes, DWORD* length) override;
  BOOL GetCommProperties(COMMPROP* /*properties*/) override { return TRUE; }
  void Purge() override {}
  BOOL IsCtsOn() override { return TRUE; }
  int GetBaudRate() override { return kBaudRate; }
  BOOL IsOpen() override { return m_hPort != -1 ? TRUE : FALSE; }
  BOOL ReTrans() override { return FALSE; }
  void SendKeepAlive() override {}
  BOOL IsLinkTimedOut() override { return FALSE; }
  // commString "SIMU..." (any case) or "FILE:<path>"; the options are not used. The
  // device record is the one given to SetDevice before. FALSE for any other name and
  // when the file cannot be created.
  BOOL Open(const char* commString, int option1, int option2, HWND notifyWindow, UINT notifyMessage) override;
  BOOL Close() override;

  // The device the simulated controller stands for: its name answers "T", its
  // dimensions and resolutions the work-area queries.
  void SetDevice(const DeviceParams& device) { m_device = device; }
  const CString& GetFilePath() const { return m_strFilePath; }
  // The file target failed to take bytes: no frame is acknowledged any more, so the
  // engine gives up on the link instead of reporting an incomplete export as done.
  BOOL HasFileFailed() const { return m_bFileFailed ? TRUE : FALSE; }

  // Diagnostics: one line of key=value counters.
  CString GetStatsLine() const;
  DWORD GetFramesAcked() const { return m_nFramesAcked; }
  DWORD GetFramesRefused() const { return m_nFramesRefused; }

 private:
  static constexpr int kBufferSize = 8192;  // bytes of each of the three buffers
  static constexpr int kBaudRate = 115200;  // what the link reports as its line speed
  // A command other than a move block waits in the stream until it is whole, unless it
  // is longer than this; a longer one passes through as its bytes come, like a move
  // block, so the stream never holds more than this plus one frame's data.
  static constexpr DWORD kWholeCommandMax = kBufferSize - DEVICE_FRAME_MAX_DATA;

  void ProcessFrames();
  void ProcessFrame(const BYTE* frame, int size, int version);
  void ProcessCommandStream(const BYTE* data, int count);
  // Answers a whole command that is not a move block; writes it unless it is one of the
  // engine's conversation commands.
  void TakeCommand(const BYTE* command, DWORD total);
  void AnswerCommand(const BYTE* command, DWORD total);
  void SendTextReply(const char* text);
  // Appends bytes to the answer buffer, all or none; FALSE when they do not fit.
  bool AppendAnswer(const void* bytes, int count);
  void WriteTarget(const BYTE* bytes, DWORD count);
  void ResetBuffers();
  // The work area and origin answered to "W" and "O", from the device record.
  void FixWorkArea();

  const int32_t* m_pVersion;                     // frame generation; not owned
  CString m_strVersion = "VER5300";              // the simulated controller version
  CString m_strCapability = "ATC";               // the simulated capability text
  CString m_strFilePath;                         // the file target; empty for "SIMU"
  FILE* m_pFile = nullptr;                       // open while the file target is
  bool m_bFileFailed = false;                    // a write or flush of the file failed
  BYTE m_Answer[kBufferSize] = {};               // answer bytes waiting for Read
  int m_nAnswerLen = 0;                          // 0..kBufferSize
  BYTE m_In[kBufferSize] = {};                   // written by the engine, not framed yet
  int m_nInLen = 0;                              // 0..kBufferSize
  BYTE m_Stream[kBufferSize] = {};               // data of accepted frames, not split yet
  int m_nStreamLen = 0;                          // 0..kWholeCommandMax + one frame's data
  DWORD m_nPending = 0;                          // bytes of a passing command still to come
  bool m_bPendingWritten = false;                // those bytes go to the file (else dropped)
  WORD m_nCurrentCode = 0;                       // code of the command being split
  BYTE m_FrameData[DEVICE_FRAME_MAX_DATA] = {};  // the data of the frame being taken
  BYTE m_LastFrame[DEVICE_FRAME_MAX_SIZE] = {};  // the last frame taken, to know its resend
  int m_nLastFrameSize = 0;                      // its size; 0 none
  long m_WorkSteps[3] = {0, 0, 0};               // "W": the work area, steps per axis
  long m_OriginSteps[3] = {0, 0, 0};             // "O": the origin in it, steps per axis

  // Counters of the stats line, since Open.
  DWORD m_nFramesAcked = 0;     // good frames acknowledged
  DWORD m_nFramesRefused = 0;   // good frames left unanswered because the file failed
  DWORD m_nBadFrames = 0;       // whole frames with a wrong check value
  DWORD m_nBytesSkipped = 0;    // bytes dropped while hunting for a sync word
  DWORD m_nCommands = 0;        // commands split from the stream (a move block is one)
  DWORD m_nBytesWritten = 0;    // bytes written to the file target
  DWORD m_nReplyLines = 0;      // reply lines queued
  DWORD m_nAnswersDropped = 0;  // ACKs and lines that found the answer buffer full
};
