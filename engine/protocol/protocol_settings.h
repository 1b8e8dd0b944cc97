// What the frame protocol engine is told when it is configured. The code that builds
// and configures the engine reads the settings (ReadFrameProtocolConfig and
// ReadFrameTraceSwitches, or its own values in tests and benchmarks) and hands them in;
// nothing inside the engine reads a setting or a process-wide variable.
#pragma once

#include "platform/core.h"

struct FrameProtocolConfig {
  DWORD nAckTimeout_ms = 3000;  // [Communication] "Timeout(ms)": wait for an answer to a frame
  DWORD nRetryLimit = 6;        // [Communication] "Retry": most sends of one frame
  DWORD nQueueLimit = 10;       // memory-queue level at which the producer waits; 0 none
  int nProtocolVersion = 5;     // frame generation of the run (g_nProtocolVersion when read)
  BOOL bFileFifo = TRUE;        // [Communication] "EnableFileFiFo": data frames spill to the FIFO file
  UINT nPaddingSize = 6;        // [Communication] "FramePaddingSize(bytes)", at most 8; no frame uses it
  CString strAppFolder;         // program folder, ending in "\": the FIFO file goes under "FiFo\"
  // Trace and test switches, read once when the engine starts.
  BOOL bLogCom = FALSE;          // [Trace] "LogCOM": "[COM]" lines in the "frames" log
  BOOL bLogFrame = FALSE;        // [Trace] "LogFrame": a dump of every frame sent
  BOOL bCrcErrSimulate = FALSE;  // [Communication] "CrcErrSimulate": ~1 send in 50 with a wrong check value
  BOOL bLostSimulate = FALSE;    // [Communication] "LostSimulate": ~1 frame in 50 not written
};

// Reads the keys read at every configuration from "Parameters.ini" of the program
// folder, writing each back ("Timeout(ms)" and "Retry" as numbers), and takes the
// program folder and g_nProtocolVersion. The trace switches are left as they are.
void ReadFrameProtocolConfig(FrameProtocolConfig& config);
// Reads the four trace and test switches (default "disable"), writing each back.
void ReadFrameTraceSwitches(FrameProtocolConfig& config);
