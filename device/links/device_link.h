// The connection between a program and one machine controller: a byte stream both
// ways, a posted notification to an owner when bytes have arrived, and the few line
// properties the engine's frame protocol asks for. The UDP link is here; the engine
// adds its serial link and its simulator.
//
// The base is portable: the frame protocol engine and its tests drive a link through
// these slots in both builds. A link notifies its owner through an INotifySink when one
// is set, otherwise (Windows) by posting to the window given to Open.
#pragma once

#include "device/device_frame.h"
#include "device/device_params.h"
#include "device/link_helpers.h"
#include "platform/clock.h"
#include "platform/core.h"
#include "platform/notify_sink.h"

#ifndef _WIN32
// Serial line properties exist only on Windows; links of the host build never fill them.
struct COMMPROP {
  DWORD dwProvSpec1;
};
#endif

class CDeviceLink {
 public:
  // The clock times the link's silence and, in derived links, resends and keep-alives.
  explicit CDeviceLink(ITickSource& ticks = CSystemTicks::Instance()) : m_pTicks(&ticks) {}
  // Closes nothing: the owner calls Close first.
  virtual ~CDeviceLink();
  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  // The slots, in this order.
  virtual BOOL Read(BYTE* buffer, DWORD* length) = 0;
  virtual BOOL Write(const BYTE* bytes, DWORD* length) = 0;
  virtual BOOL GetCommProperties(COMMPROP* properties) = 0;
  virtual void Purge() = 0;
  virtual BOOL IsCtsOn() = 0;
  virtual int GetBaudRate() = 0;
  virtual BOOL IsOpen() = 0;
  virtual BOOL ReTrans() = 0;
  virtual void SendKeepAlive() = 0;
  virtual BOOL IsLinkTimedOut() = 0;
  virtual BOOL Open(const char* commString, int option1, int option2, HWND notifyWindow, UINT notifyMessage) = 0;
  virtual BOOL Close() = 0;

  int32_t GetLastAckPack() const { return m_nLastAckPack; }
  void SetLastAckPack(int32_t pack) { m_nLastAckPack = pack; }
  // Set by the frame protocol engine while the controller answers BUSY; cleared on ACK
  // and NAK.
  BOOL IsDeviceBusy() const { return m_bDeviceBusy; }
  void SetDeviceBusy(BOOL busy) { m_bDeviceBusy = busy ? TRUE : FALSE; }
  DWORD GetLastHeardTick() const { return m_dwLastHeard; }
  const CString& GetPortName() const { return m_strPortName; }
  // Notifications go to the sink (not owned; null: to the window given to Open). Set it
  // before Open; the message stays the one Open was given.
  void SetNotifySink(INotifySink* sink) { m_pNotifySink = sink; }

 protected:
  // The clock now, never 0 (0 means "nothing heard").
  DWORD StampNow() const;
  // Milliseconds since a stamp of StampNow; 0 for the stamp 0.
  DWORD TicksSince(DWORD stamp) const;
  // Posts (notify message, wParam, lParam) to the sink or the window; nothing without
  // a message.
  void Notify(WPARAM wParam, LPARAM lParam) const;

  ITickSource* m_pTicks;                 // not owned
  int32_t m_hPort = -1;                  // -1 while closed; the UDP link sets 1 once connected
  CString m_strPortName = "COM1";        // "COM1" until Open stores its CommString
  int32_t m_nLastAckPack = -1;           // last acknowledged pack number passed on; -1 none
  BOOL m_bDeviceBusy = FALSE;            // the controller answered BUSY to the frame in flight
  DWORD m_dwLastHeard = 0;               // tick of the last frame from the controller; 0 closed
  HWND m_hNotifyWnd = nullptr;           // owner window; null none
  UINT m_nNotifyMsg = 0;                 // message posted to the owner; 0 none
  INotifySink* m_pNotifySink = nullptr;  // takes the place of the window when set
  DeviceParams m_device;                 // the device on the other end
};
