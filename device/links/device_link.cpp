#include "device/links/device_link.h"

CDeviceLink::CDeviceLink()
    : m_hPort(-1), m_strPortName("COM1"), m_nLastAckPack(-1), m_dwLastHeard(0), m_hNotifyWnd(nullptr), m_nNotifyMsg(0) {
}

CDeviceLink::~CDeviceLink() = default;

DWORD CDeviceLink::StampNow() {
  DWORD t = GetTickCount();
  return t ? t : 1;
}

void CDeviceLink::Notify(WPARAM wParam, LPARAM lParam) const {
  if (m_hNotifyWnd && m_nNotifyMsg) PostMessageA(m_hNotifyWnd, m_nNotifyMsg, wParam, lParam);
}
