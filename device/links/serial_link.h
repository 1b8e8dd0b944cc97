// The device link to a controller on a COM port (Windows only).
//
// Bytes only: frames, pack numbers and answers belong to the frame protocol engine. The
// port is opened for overlapped I/O; one monitor thread waits for port events and
// posts the owner's message with wParam = (line error bits << 16) | event mask when
// characters have arrived. The engine reads on that notification, and consults the
// clear-to-send line before every send when hardware handshake is on.
//
// Where the port cannot wait for events (a driver without modem lines, a pty under
// Wine) the monitor falls back to waiting for the next byte itself (read ahead, handed
// out first by Read), and a clear-to-send line that cannot be read counts as on; each
// is logged once.
//
// Threads: the owner's thread opens, closes, reads, writes, purges and asks for CTS;
// the monitor thread only waits and posts. Close returns after the monitor has ended.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "device/links/device_link.h"
#include "device/links/serial_settings.h"
#include "platform/core.h"

class CSerialLink : public CDeviceLink {
 public:
  CSerialLink();
  // Closes the port when it is still open.
  ~CSerialLink() override;

  BOOL Read(BYTE* buffer, DWORD* length) override;
  BOOL Write(const BYTE* bytes, DWORD* length) override;
  BOOL GetCommProperties(COMMPROP* properties) override;
  void Purge() override;
  BOOL IsCtsOn() override;
  int GetBaudRate() override { return (int)m_nBaudRate; }
  BOOL IsOpen() override { return m_hPort != -1; }
  BOOL ReTrans() override { return FALSE; }
  void SendKeepAlive() override {}
  BOOL IsLinkTimedOut() override { return FALSE; }
  // portName "COM1".."COM20" (any case): the text before ':' of the connection string;
  // baudRate its number (ParseSerialBaudRate; 0 refused); handshake 1: RTS/CTS. FALSE
  // with everything closed when the name or rate is refused, the port cannot be opened
  // or its settings are refused.
  BOOL Open(const char* portName, int baudRate, int handshake, HWND notifyWindow, UINT notifyMessage) override;
  // FALSE when the port is not open.
  BOOL Close() override;

  // What Open gave the port (tests).
  const COMMTIMEOUTS& GetTimeouts() const { return m_CommTimeouts; }
  const DCB& GetDcb() const { return m_Dcb; }
  BOOL IsHandshakeOn() const { return m_bHandshake; }
  // Whether the monitor thread waits for port events (FALSE: it reads ahead).
  BOOL IsWaitingForEvents() const { return m_bEventWaitWorks.load() ? TRUE : FALSE; }
  // Counters as one "key=value ..." line; written to the "frames" log at Close.
  CString GetStatsLine() const;

 private:
  void CommEventThreadProc();
  // Waits for bytes by reading one ahead, until shutdown: the monitor's fallback.
  void WatchWithLookAhead();
  DWORD ClearErrors(COMSTAT* status = nullptr);
  // Ends the monitor's pending wait or read and waits until it has ended.
  void EndMonitorIo();
  void CloseEvents();
  HANDLE Port() const { return m_hComm; }

  COMMTIMEOUTS m_CommTimeouts{};
  DCB m_Dcb{};
  DWORD m_nBaudRate = 9600;
  BOOL m_bHandshake = TRUE;                     // RTS/CTS hardware handshake
  std::unique_ptr<std::thread> m_pEventThread;  // the monitor thread; null when none runs
  CCriticalSection m_WriteLock;                 // one writer at a time (process-local: no server trip)
  HANDLE m_hShutdownEvent = nullptr;            // manual reset: stop request
  HANDLE m_hCommEvent = nullptr;                // manual reset: port event pending
  OVERLAPPED m_WriteOverlapped{};
  OVERLAPPED m_ReadOverlapped{};
  // The monitor's own wait (port event, or the byte read ahead) and what it fills in;
  // members, so that nothing of it lives on the monitor's stack.
  OVERLAPPED m_MonitorOverlapped{};
  DWORD m_nMonitorMask = 0;
  BYTE m_nMonitorByte = 0;
  HANDLE m_hComm = INVALID_HANDLE_VALUE;  // the port; m_hPort says open (0) or closed (-1)

  std::atomic<bool> m_bEventWaitWorks{true};
  // The fallback monitor's byte read ahead, and its signal that Read has taken it.
  CCriticalSection m_LookAheadLock;
  std::atomic<bool> m_bHasLookAhead{false};
  BYTE m_nLookAhead = 0;
  HANDLE m_hLookAheadTaken = nullptr;  // auto reset
  bool m_bCtsUnreadableLogged = false;
  // Counters.
  std::atomic<DWORD> m_nNotifications{0};  // data notifications posted
  std::atomic<DWORD> m_nLineErrors{0};     // port events that carried line error bits
  std::atomic<DWORD> m_nBytesRead{0};      // also read by the polling monitor
  DWORD m_nBytesWritten = 0;
  DWORD m_nWriteFailures = 0;
  DWORD m_nCtsUnreadable = 0;  // CTS reads that failed (taken as on)
};
