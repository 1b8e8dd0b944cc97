#include "device/links/device_link.h"

#include "foundation/settings.h"

CDeviceLink::~CDeviceLink() = default;

DWORD CDeviceLink::StampNow() const {
  DWORD t = m_pTicks->Now();
  return t ? t : 1;
}

DWORD CDeviceLink::TicksSince(DWORD stamp) const { return GetTicksBetween(stamp, m_pTicks->Now()); }

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
