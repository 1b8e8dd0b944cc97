// The engine's own settings from "Parameters.ini": read once when the engine dialog
// starts (LoadEngineSettings) and, for the trace and test switches, once when the
// program starts (LoadTraceSettings). The link time-out and retry count are read by the
// frame protocol engine's configuration at every link open and start.
//
// Keys that the file should list are written when they are missing; a key that stands
// is never rewritten, so a hand-edited value survives.
#pragma once

#include "engine/protocol/protocol_settings.h"
#include "platform/core.h"

constexpr DWORD kMinAttachTimeout_ms = 5000;  // "LinkTimeout(ms)" below 5001 gives this

struct EngineSettings {
  BOOL bDirecArc = TRUE;            // [Communication] "DirecArc": arcs may go out as arc commands
  DWORD nAttachTimeout_ms = 10000;  // [Communication] "LinkTimeout(ms)": the attach time-out
  int nLiftDelay_ms = 0;            // [Communication] "LiftDelay(ms)": wait after a plunge
  double dMinArcReplace_mm = 2.0;   // [Optimization] "MinArcReplace(mm)"
  int nArc2Line = 1;                // [Optimization] "Arc2Line"
  double dDoubleZero = 0.0000001;   // [Optimization] "double_zero": epsilon of every comparison
  double dParkingLift_mm = 50.0;    // [Device] "ParkingLift(mm)", at least "MinParkingLift(mm)"
  BOOL bShowDataRate = FALSE;       // [Communication] "ShowDataRate": throughput text in the channel
};

// Switches read when the program starts: the frame writer's trace and test switches,
// and the planner's trace keys (listed in the file; the planner writes no such trace).
struct EngineTraceSettings {
  FrameProtocolConfig frames;  // LogCOM, LogFrame, CrcErrSimulate, LostSimulate
  BOOL bLogMergeSeg = TRUE;
  BOOL bLogRecursion = FALSE;
  BOOL bLogInserted = FALSE;
  BOOL bLogInertiaCoeff = FALSE;
  BOOL bLogFillOnePointEx = FALSE;
  BOOL bLogFillArc = FALSE;
  BOOL bLogSimu = FALSE;
};

void LoadTraceSettings(EngineTraceSettings& settings);
// Reads the dialog's settings and sets g_dDoubleZero.
void LoadEngineSettings(EngineSettings& settings);
