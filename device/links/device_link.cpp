#include "device/links/device_link.h"

CDeviceLink::CDeviceLink() = default;

CDeviceLink::~CDeviceLink() = default;

DWORD CDeviceLink::StampNow() {
  DWORD t = GetTickCount();
  return t ? t : 1;
}

void CDeviceLink::Notify(WPARAM wParam, LPARAM lParam) const {
  if (!m_nNotifyMsg) return;
  if (m_pNotifySink) {
    m_pNotifySink->PostNotify(m_nNotifyMsg, wParam, lParam);
    return;
  }
#ifdef _WIN32
  if (m_hNotifyWnd) PostMessageA(m_hNotifyWnd, m_nNotifyMsg, wParam, lParam);
#endif
}
