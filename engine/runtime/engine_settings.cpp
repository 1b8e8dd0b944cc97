#include "engine/runtime/engine_settings.h"

#include <cstdlib>

#include "foundation/settings.h"

namespace {

BOOL ReadSwitch(const char* section, const char* key, const char* def) {
  return TextToBool(GetParamValueListed(section, key, def)) ? TRUE : FALSE;
}

}  // namespace

void LoadTraceSettings(EngineTraceSettings& settings) {
  settings = EngineTraceSettings();
  ReadFrameTraceSwitches(settings.frames);
  settings.bLogMergeSeg = ReadSwitch("Trace", "LogMergeSeg", "enable");
  settings.bLogRecursion = ReadSwitch("Trace", "LogRecursion", "disable");
  settings.bLogInserted = ReadSwitch("Trace", "LogInserted", "disable");
  settings.bLogInertiaCoeff = ReadSwitch("Trace", "LogInertiaCoeff", "disable");
  settings.bLogFillOnePointEx = ReadSwitch("Trace", "LogFillOnePointEx", "disable");
  settings.bLogFillArc = ReadSwitch("Trace", "LogFillArc", "disable");
  settings.bLogSimu = ReadSwitch("Trace", "LogSimu", "disable");
}

void LoadEngineSettings(EngineSettings& settings) {
  settings.bDirecArc = TextToBool(GetParamValue("Communication", "DirecArc", "enable")) ? TRUE : FALSE;
  CString timeout = GetParamValueListed("Communication", "LinkTimeout(ms)", "10000");
  timeout.MakeUpper();
  long timeout_ms = std::atol(timeout);
  settings.nAttachTimeout_ms = timeout_ms <= (long)kMinAttachTimeout_ms ? kMinAttachTimeout_ms : (DWORD)timeout_ms;
  settings.nLiftDelay_ms = std::atoi(GetParamValueListed("Communication", "LiftDelay(ms)", "0"));
  settings.dMinArcReplace_mm = std::atof(GetParamValueListed("Optimization", "MinArcReplace(mm)", "2"));
  settings.nArc2Line = (int)std::atof(GetParamValueListed("Optimization", "Arc2Line", "1"));
  settings.dDoubleZero = std::atof(GetParamValueListed("Optimization", "double_zero", "0.0000001"));
  settings.dParkingLift_mm = std::atof(GetParamValue("Device", "ParkingLift(mm)", "50"));
  double minLift_mm = std::atof(GetParamValue("Device", "MinParkingLift(mm)", "10"));
  if (minLift_mm > settings.dParkingLift_mm) settings.dParkingLift_mm = minLift_mm;
  // Read so that the key keeps its meaning for the reader of the file; tool changes
  // never pause the engine.
  (void)GetParamValue("Device", "PauseForToolChange", "disable");
  settings.bShowDataRate = TextToBool(GetParamValue("Communication", "ShowDataRate", "disable")) ? TRUE : FALSE;
  g_dDoubleZero = settings.dDoubleZero;
}
