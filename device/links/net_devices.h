// Controllers found on the LAN by the operator program's background probe: one entry
// per controller (keyed by the address it reports for itself) with the information
// text of its latest answer; entries expire 20 s after their last answer.
#pragma once

#include "device/links/udp_frame.h"
#include "platform/core.h"

constexpr int kNetDeviceTableSize = 100;
constexpr DWORD kNetDeviceExpiryMs = 20000;

struct NetDeviceEntry {
  EnumReply reply;  // of the controller's first answer
  char info[128];   // text after the reply in its latest answer; empty when none
  DWORD lastSeen;   // GetTickCount of the latest answer
};

struct NetDeviceTable {
  NetDeviceEntry* m_pEntries = nullptr;  // kNetDeviceTableSize entries, allocated on first use
  int m_nCount = 0;
  CMutex m_mutex;  // guards the entries and the count
};
extern NetDeviceTable g_NetDevices;

// One answer (EnumReply and information text, length bytes) or null: refreshes or adds
// its controller's entry and drops the entries that have expired. An answer shorter
// than an EnumReply is ignored; a controller beyond the table's size too.
void UpdateNetDevices(const BYTE* reply, int length);
// The information text of the controller a connection "NET:name:a.b.c.d:..." names;
// empty when the connection is not a network one or the controller is not known.
CString GetNetDeviceInfoForConnection(const char* connection);
// Frees the table (the main window does it when it quits).
void FreeNetDevices();

// FoundDevice texts of the last LAN search, offered as network connections by the
// device attachment; used on the UI thread only.
extern CStringArray g_FoundDevices;
