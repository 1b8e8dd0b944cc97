// Which link a job's connection string names, and with what it is opened.
//
//   "SIMU:"            the simulator, with the job's device record
//   "FILE:<path>"      the file link: the simulator, writing the command stream into the file
//   "NET:<n>:<a>:<p>"  the UDP link to address a, port p (n, the device's name, unused)
//   anything else      a serial port: "COM3:115200" is port COM3 at 115200 baud; a rate
//                      that is not a plain number ("COM3:fast") is 0, which no port opens at
//
// The kind is the text before the first ':' compared ignoring case on its first 4, 4 and
// 3 characters; the argument is the rest.
#pragma once

#include <memory>

#include "device/device_params.h"
#include "device/links/device_link.h"
#include "platform/core.h"

enum EngineLinkKind { kLinkSerial = 0, kLinkSimu, kLinkFile, kLinkNet };

struct EngineLinkChoice {
  EngineLinkKind nKind = kLinkSerial;
  CString strKind;      // text before the first ':' (the whole text without one)
  CString strArgument;  // text after it
  CString strOpenText;  // what Open is given
  int nBaud = 0;        // serial only: the argument as a number; 0 when it is not one (Open fails)
};

EngineLinkChoice ChooseEngineLink(const char* connection);

// "a:b:c[:...]" -> first "a", second "b", third "c". FALSE, all empty, with fewer than
// three fields.
BOOL ParseNetAddress(const char* text, CString& first, CString& third, CString& second);

// The link object of a kind; null for a kind this build has no link for (the UDP and
// serial links need Windows).
std::unique_ptr<CDeviceLink> CreateEngineLink(EngineLinkKind kind);
// Opens the chosen link, notifying `window` with `message` (or the link's sink when one
// is set). The simulator and the file link get the job's device record, whose name and
// dimensions they answer with. FALSE when opening could not begin.
BOOL OpenEngineLink(CDeviceLink& link, const EngineLinkChoice& choice, const DeviceParams& device, HWND window,
                    UINT message);
