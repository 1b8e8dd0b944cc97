#include "device/links/serial_settings.h"

#include <cctype>

namespace {
constexpr int kBaudMax = 4000000;
}

int ParseSerialPortName(const char* name) {
  if (!name) return 0;
  CString text(name);
  if (text.GetLength() < 4 || text.Left(3).CompareNoCase("COM") != 0) return 0;
  int port = 0;
  for (int i = 3; i < text.GetLength(); ++i) {
    unsigned char c = (unsigned char)text[i];
    if (!isdigit(c) || port > kSerialPortLast) return 0;
    port = port * 10 + (c - '0');
  }
  return port >= kSerialPortFirst && port <= kSerialPortLast ? port : 0;
}

int ParseSerialBaudRate(const char* text) {
  CString t(text ? text : "");
  t.Trim();
  if (t.IsEmpty()) return 0;
  long baud = 0;
  for (int i = 0; i < t.GetLength(); ++i) {
    unsigned char c = (unsigned char)t[i];
    if (!isdigit(c)) return 0;
    baud = baud * 10 + (c - '0');
    if (baud > kBaudMax) return 0;
  }
  return (int)baud;
}

DWORD SerialWriteMultiplier(int baud) { return baud > 0 ? (DWORD)(19200 / baud) : 0; }

double SerialWireTime_us(int bytes, int baud) { return baud > 0 ? bytes * 10.0 * 1e6 / baud : 0.0; }
