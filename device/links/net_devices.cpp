#include "device/links/net_devices.h"

#include <cstring>

#include "device/device_text.h"
#include "foundation/settings.h"

NetDeviceTable g_NetDevices;
CStringArray g_FoundDevices;

namespace {
void SetInfo(NetDeviceEntry& e, const BYTE* reply, int length) {
  memset(e.info, 0, sizeof(e.info));
  int n = length - (int)sizeof(EnumReply);
  if (n <= 0) return;
  if (n > (int)sizeof(e.info) - 1) n = (int)sizeof(e.info) - 1;
  memcpy(e.info, reply + sizeof(EnumReply), (size_t)n);
}
}  // namespace

void UpdateNetDevices(const BYTE* reply, int length) {
  CSingleLock lock(&g_NetDevices.m_mutex, TRUE);
  if (!g_NetDevices.m_pEntries) {
    g_NetDevices.m_pEntries = new NetDeviceEntry[kNetDeviceTableSize]();
    g_NetDevices.m_nCount = 0;
  }
  bool given = reply && length > 0;
  if (given && length < (int)sizeof(EnumReply)) given = false;  // too short to be an answer
  bool known = false;
  NetDeviceEntry* e = g_NetDevices.m_pEntries;
  for (int i = 0; i < g_NetDevices.m_nCount;) {
    if (given && memcmp(e[i].reply.address, reply, 4) == 0) {
      e[i].lastSeen = GetTickCount();
      SetInfo(e[i], reply, length);
      known = true;
    }
    if (GetTicksSince(e[i].lastSeen) > kNetDeviceExpiryMs) {
      memmove(&e[i], &e[i + 1], sizeof(NetDeviceEntry) * (size_t)(g_NetDevices.m_nCount - i - 1));
      --g_NetDevices.m_nCount;
      continue;
    }
    ++i;
  }
  if (given && !known && g_NetDevices.m_nCount < kNetDeviceTableSize) {
    NetDeviceEntry& added = e[g_NetDevices.m_nCount++];
    memset(&added, 0, sizeof(added));
    added.lastSeen = GetTickCount();
    added.reply = DecodeEnumReply(reply);
    SetInfo(added, reply, length);
  }
}

CString GetNetDeviceInfoForConnection(const char* connection) {
  CString text(connection);
  text.TrimLeft();
  text.MakeUpper();
  if (text.Find("NET:") < 0) return CString();
  text = text.Mid(4);
  int colon = text.Find(':');
  if (colon < 0) return CString();
  text = text.Mid(colon + 1);
  BYTE octets[4];
  for (int i = 0; i < 4; ++i) {
    octets[i] = (BYTE)device_text::ToLong(text);
    if (i == 3) break;
    int dot = text.Find('.');
    if (dot < 0) return CString();
    text = text.Mid(dot + 1);
  }
  CSingleLock lock(&g_NetDevices.m_mutex, TRUE);
  CString info;
  for (int i = 0; g_NetDevices.m_pEntries && i < g_NetDevices.m_nCount; ++i) {
    const NetDeviceEntry& e = g_NetDevices.m_pEntries[i];
    if (memcmp(e.reply.address, octets, 4) == 0) info = CString(e.info, (int)strnlen(e.info, sizeof(e.info)));
  }
  return info;
}

void FreeNetDevices() {
  CSingleLock lock(&g_NetDevices.m_mutex, TRUE);
  delete[] g_NetDevices.m_pEntries;
  g_NetDevices.m_pEntries = nullptr;
  g_NetDevices.m_nCount = 0;
}
