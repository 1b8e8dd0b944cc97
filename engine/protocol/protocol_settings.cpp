#include "engine/protocol/protocol_settings.h"

#include <cstdlib>

#include "device/device_frame.h"
#include "foundation/settings.h"

namespace {

CString ReadParam(const char* section, const char* key, const char* def) {
  return ReadIniValue(section, key, def, GetParamsFilePath());
}

// A number read with the C conversion (not a number: 0) and written back as "%u".
DWORD ReadNumberParam(const char* section, const char* key, const char* def) {
  DWORD value = (DWORD)strtoul(ReadParam(section, key, def), nullptr, 10);
  CString text;
  text.Format("%u", (unsigned)value);
  WriteIniValue(section, key, text, GetParamsFilePath());
  return value;
}

}  // namespace

void ReadFrameProtocolConfig(FrameProtocolConfig& config) {
  config.nAckTimeout_ms = ReadNumberParam("Communication", "Timeout(ms)", "3000");
  config.nRetryLimit = ReadNumberParam("Communication", "Retry", "6");
  config.bFileFifo = TextToBool(ReadParam("Communication", "EnableFileFiFo", "1")) ? TRUE : FALSE;
  DWORD padding = (DWORD)strtoul(ReadParam("Communication", "FramePaddingSize(bytes)", "6"), nullptr, 10);
  config.nPaddingSize = padding > 8 ? 8 : padding;
  config.nProtocolVersion = g_nProtocolVersion;
  config.strAppFolder = g_strAppFolder;
}

void ReadFrameTraceSwitches(FrameProtocolConfig& config) {
  config.bCrcErrSimulate = TextToBool(ReadParam("Communication", "CrcErrSimulate", "disable")) ? TRUE : FALSE;
  config.bLostSimulate = TextToBool(ReadParam("Communication", "LostSimulate", "disable")) ? TRUE : FALSE;
  config.bLogFrame = TextToBool(ReadParam("Trace", "LogFrame", "disable")) ? TRUE : FALSE;
  config.bLogCom = TextToBool(ReadParam("Trace", "LogCOM", "disable")) ? TRUE : FALSE;
}
