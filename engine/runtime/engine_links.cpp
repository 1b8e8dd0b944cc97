#include "engine/runtime/engine_links.h"

#include "device/links/serial_settings.h"

#include "device/links/simu_link.h"
#ifdef _WIN32
#include "device/links/serial_link.h"
#include "device/links/udp_link.h"
#endif

EngineLinkChoice ChooseEngineLink(const char* connection) {
  EngineLinkChoice c;
  CString text(connection ? connection : "");
  int colon = text.Find(':');
  c.strKind = colon < 0 ? text : text.Left(colon);
  c.strArgument = colon < 0 ? CString() : text.Mid(colon + 1);
  if (c.strKind.Left(4).CompareNoCase("SIMU") == 0) {
    c.nKind = kLinkSimu;
    c.strOpenText = c.strKind;
  } else if (c.strKind.Left(4).CompareNoCase("FILE") == 0) {
    c.nKind = kLinkFile;
    c.strOpenText = "FILE:" + c.strArgument;
  } else if (c.strKind.Left(3).CompareNoCase("NET") == 0) {
    c.nKind = kLinkNet;
    CString name, address, port;
    if (ParseNetAddress(c.strArgument, name, port, address))
      c.strOpenText = "NET:" + address + ":" + port;
    else
      c.strOpenText = "NET";
  } else {
    c.nKind = kLinkSerial;
    c.strOpenText = c.strKind;
    c.nBaud = ParseSerialBaudRate(c.strArgument);
  }
  return c;
}

BOOL ParseNetAddress(const char* text, CString& first, CString& third, CString& second) {
  first.Empty();
  second.Empty();
  third.Empty();
  CString t(text ? text : "");
  int a = t.Find(':');
  if (a < 0) return FALSE;
  int b = t.Find(':', a + 1);
  if (b < 0) return FALSE;
  int c = t.Find(':', b + 1);
  first = t.Left(a);
  second = t.Mid(a + 1, b - a - 1);
  third = c < 0 ? t.Mid(b + 1) : t.Mid(b + 1, c - b - 1);
  return TRUE;
}

std::unique_ptr<CDeviceLink> CreateEngineLink(EngineLinkKind kind) {
  switch (kind) {
    case kLinkSimu:
    case kLinkFile: return std::make_unique<CSimuLink>();
#ifdef _WIN32
    case kLinkNet: return std::make_unique<CUdpLink>();
    case kLinkSerial: return std::make_unique<CSerialLink>();
#endif
    default: return nullptr;
  }
}

BOOL OpenEngineLink(CDeviceLink& link, const EngineLinkChoice& choice, const DeviceParams& device, HWND window,
                    UINT message) {
  switch (choice.nKind) {
    case kLinkSimu:
    case kLinkFile: {
      auto* simu = dynamic_cast<CSimuLink*>(&link);
      if (!simu) return FALSE;
      simu->SetDevice(device);
      return simu->Open(choice.strOpenText, 0, 0, window, message);
    }
    case kLinkNet: return link.Open(choice.strOpenText, 0, 0, window, message);
    case kLinkSerial: return link.Open(choice.strOpenText, choice.nBaud, 1, window, message);
    default: return FALSE;
  }
}
