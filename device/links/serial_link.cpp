#include "device/links/serial_link.h"

#include "foundation/log.h"

namespace {
constexpr DWORD kEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_ERR;
constexpr DWORD kQueueSize = 100;         // input and output buffer sizes asked of the driver
constexpr DWORD kReadConstant_ms = 1000;  // read time-out constant
constexpr DWORD kRetryRead_ms = 20;       // fallback: a failed one-byte read is tried again after this
constexpr DWORD kRepost_ms = 100;         // fallback: a byte not taken is announced again after this
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

HANDLE NewManualEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
}  // namespace

CSerialLink::CSerialLink() {
  m_strPortName = "COM1";
  m_hPort = -1;
}

CSerialLink::~CSerialLink() {
  if (IsOpen()) Close();
}

// --- Open and close

BOOL CSerialLink::Open(const char* portName, int baudRate, int handshake, HWND notifyWindow, UINT notifyMessage) {
  // Only COM1..COM20 at a rate written as a number: anything else would open another
  // port, or this one at a rate the driver picks.
  if (IsOpen() || ParseSerialPortName(portName) == 0 || baudRate <= 0) return FALSE;
  m_hNotifyWnd = notifyWindow;
  m_nNotifyMsg = notifyMessage;
  m_strPortName = portName;
  m_nBaudRate = (DWORD)baudRate;
  m_bHandshake = handshake ? TRUE : FALSE;
  m_ReadOverlapped = OVERLAPPED{};
  m_WriteOverlapped = OVERLAPPED{};

  m_ReadOverlapped.hEvent = NewManualEvent();
  m_WriteOverlapped.hEvent = NewManualEvent();
  m_hCommEvent = NewManualEvent();
  m_hShutdownEvent = NewManualEvent();
  m_hLookAheadTaken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!m_ReadOverlapped.hEvent || !m_WriteOverlapped.hEvent || !m_hCommEvent || !m_hShutdownEvent ||
      !m_hLookAheadTaken) {
    CloseEvents();
    return FALSE;
  }

  CString device = "\\\\.\\" + m_strPortName;
  m_hComm = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (m_hComm == INVALID_HANDLE_VALUE) {
    CloseEvents();
    return FALSE;
  }

  // The driver's control block with our line settings; the parity setting itself and
  // every field not named here stay as the driver reported them.
  m_Dcb = DCB{};
  m_Dcb.DCBlength = sizeof(DCB);
  bool ok = GetCommState(m_hComm, &m_Dcb) != 0;
  if (ok) {
    m_Dcb.BaudRate = m_nBaudRate;
    m_Dcb.ByteSize = 8;
    m_Dcb.fParity = FALSE;
    m_Dcb.StopBits = ONESTOPBIT;
    m_Dcb.fOutX = FALSE;
    m_Dcb.fInX = FALSE;
    m_Dcb.fRtsControl = m_bHandshake ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    m_Dcb.fOutxCtsFlow = m_bHandshake ? TRUE : FALSE;
    m_Dcb.fDtrControl = DTR_CONTROL_DISABLE;
    m_Dcb.fOutxDsrFlow = FALSE;
    ok = SetCommState(m_hComm, &m_Dcb) != 0;
  }
  if (!ok) {
    CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
    CloseEvents();
    return FALSE;
  }

  SetCommMask(m_hComm, kEventMask);
  SetupComm(m_hComm, kQueueSize, kQueueSize);
  PurgeComm(m_hComm, kPurgeAll);
  // Reads return at once with what is there; writes get a time per byte that only
  // matters at the low rates.
  m_CommTimeouts = COMMTIMEOUTS{};
  m_CommTimeouts.ReadIntervalTimeout = MAXDWORD;
  m_CommTimeouts.ReadTotalTimeoutMultiplier = 0;
  m_CommTimeouts.ReadTotalTimeoutConstant = kReadConstant_ms;
  m_CommTimeouts.WriteTotalTimeoutMultiplier = SerialWriteMultiplier(baudRate);
  m_CommTimeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(m_hComm, &m_CommTimeouts);
  EscapeCommFunction(m_hComm, SETDTR);

  m_hPort = 1;
  m_bEventWaitWorks = true;
  m_bHasLookAhead = false;
  m_nNotifications = 0;
  m_nLineErrors = 0;
  m_nBytesRead = 0;
  m_nBytesWritten = m_nWriteFailures = m_nCtsUnreadable = 0;
  if (!m_pEventThread) m_pEventThread = std::make_unique<std::thread>([this] { CommEventThreadProc(); });
  return TRUE;
}

BOOL CSerialLink::Close() {
  if (!IsOpen()) return FALSE;
  PurgeComm(m_hComm, kPurgeAll);
  // The stop request first, so that the monitor woken by the emptied mask sees it.
  SetEvent(m_hShutdownEvent);
  SetCommMask(m_hComm, 0);  // ends a pending event wait
  if (m_pEventThread) {
    if (m_pEventThread->joinable()) m_pEventThread->join();
    m_pEventThread.reset();
  }
  WriteLog("frames", "Serial link stats: " + GetStatsLine());
  CloseHandle(m_hComm);
  m_hComm = INVALID_HANDLE_VALUE;
  CloseEvents();
  m_hPort = -1;
  return TRUE;
}

void CSerialLink::CloseEvents() {
  for (HANDLE* h :
       {&m_ReadOverlapped.hEvent, &m_WriteOverlapped.hEvent, &m_hCommEvent, &m_hShutdownEvent, &m_hLookAheadTaken}) {
    if (*h) CloseHandle(*h);
    *h = nullptr;
  }
}

// --- Monitor thread
//
// Waits for a port event or the shutdown request, whichever comes first. A port event
// clears the line errors and, when characters arrived, posts the owner's message. A
// port that refuses to wait at all (the wait fails at once rather than pending) is
// watched by reading one byte ahead instead, so that bytes are still announced.

void CSerialLink::CommEventThreadProc() {
  HANDLE waits[2] = {m_hShutdownEvent, m_hCommEvent};
  for (;;) {
    ResetEvent(m_hCommEvent);
    OVERLAPPED& ov = m_MonitorOverlapped;
    ov = OVERLAPPED{};
    ov.hEvent = m_hCommEvent;
    DWORD& mask = m_nMonitorMask;
    mask = 0;
    if (!WaitCommEvent(m_hComm, &mask, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) {
        // Closing empties the event mask, which makes the wait fail as well.
        if (WaitForSingleObject(m_hShutdownEvent, 0) == WAIT_OBJECT_0) return;
        WatchWithLookAhead();
        return;
      }
      DWORD unused = 0;
      if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        EndMonitorIo();
        return;
      }
      if (!GetOverlappedResult(m_hComm, &ov, &unused, FALSE)) mask = 0;
    }
    DWORD errors = ClearErrors();
    if (errors) ++m_nLineErrors;
    if ((mask & EV_RXCHAR) && m_nNotifyMsg && (m_hNotifyWnd || m_pNotifySink)) {
      ++m_nNotifications;
      Notify((WPARAM)(((errors & 0xFFFF) << 16) | (mask & 0xFFFF)), 0);
    }
  }
}

// The fallback: a port that cannot wait for events can still wait for a byte. The
// monitor reads one byte (overlapped, so the wait ends the moment it arrives), keeps it
// as the look-ahead and announces it; Read hands the look-ahead out first and the bytes
// queued behind it after. The monitor starts its next one-byte read only after Read has
// finished, so two reads never compete for the same bytes and their order holds.
void CSerialLink::WatchWithLookAhead() {
  m_bEventWaitWorks = false;
  WriteLog("frames", "Serial link: " + m_strPortName + " cannot wait for port events; waiting for bytes instead");
  HANDLE waitRead[2] = {m_hShutdownEvent, m_hCommEvent};
  HANDLE waitTaken[2] = {m_hShutdownEvent, m_hLookAheadTaken};
  for (;;) {
    // ReadFile resets the event itself: one trip to the Wine server less a byte.
    OVERLAPPED& ov = m_MonitorOverlapped;
    ov = OVERLAPPED{};
    ov.hEvent = m_hCommEvent;
    DWORD got = 0;
    if (!ReadFile(m_hComm, &m_nMonitorByte, 1, &got, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) {
        // A port that cannot read either (it went away): look again a little later.
        ClearErrors();
        if (WaitForSingleObject(m_hShutdownEvent, kRetryRead_ms) != WAIT_TIMEOUT) return;
        continue;
      }
      if (WaitForMultipleObjects(2, waitRead, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        EndMonitorIo();
        return;
      }
      if (!GetOverlappedResult(m_hComm, &ov, &got, FALSE)) got = 0;
    }
    DWORD errors = ClearErrors();
    if (errors) ++m_nLineErrors;
    if (got != 1) continue;  // the read time-out passed without a byte
    {
      CSingleLock lock(&m_LookAheadLock, TRUE);
      m_nLookAhead = m_nMonitorByte;
      m_bHasLookAhead = true;
    }
    // Announce it, and wait until Read has taken it and everything queued behind it.
    // An owner that let the announcement pass (it was not reading then) hears it again.
    WPARAM note = (WPARAM)(((errors & 0xFFFF) << 16) | EV_RXCHAR);
    for (;;) {
      if (m_nNotifyMsg && (m_hNotifyWnd || m_pNotifySink)) {
        ++m_nNotifications;
        Notify(note, 0);
      }
      DWORD w = WaitForMultipleObjects(2, waitTaken, FALSE, kRepost_ms);
      if (w == WAIT_OBJECT_0 + 1) break;
      if (w != WAIT_TIMEOUT) return;
      note = EV_RXCHAR;
    }
  }
}

// A wait still pending when the monitor leaves goes on writing its result: under Wine
// a port event wait is polled by a thread of its own that stores the event mask every
// few milliseconds until the mask changes, and no CancelIo stops it. With the monitor
// gone its stack (or, after the next Open, the next monitor's wait) was written to: an
// intermittent crash at close. So the monitor empties the mask, cancels, and waits
// until the wait or read has ended before it returns.
void CSerialLink::EndMonitorIo() {
  SetCommMask(m_hComm, 0);
  CancelIo(m_hComm);
  DWORD unused = 0;
  GetOverlappedResult(m_hComm, &m_MonitorOverlapped, &unused, TRUE);
}

DWORD CSerialLink::ClearErrors(COMSTAT* status) {
  DWORD errors = 0;
  COMSTAT unused{};
  if (!ClearCommError(m_hComm, &errors, status ? status : &unused)) return 0;
  return errors;
}

// --- Bytes

BOOL CSerialLink::Read(BYTE* buffer, DWORD* length) {
  if (!IsOpen() || !buffer || !length) return FALSE;
  DWORD want = *length, taken = 0;
  *length = 0;
  // Reading ahead, the monitor may have a one-byte read pending: only the Read that
  // holds the look-ahead byte may take the queue (the monitor is parked then). The rest
  // of the bytes are announced with the next look-ahead.
  if (!m_bEventWaitWorks.load() && !m_bHasLookAhead.load()) return TRUE;
  // The byte the fallback monitor read ahead comes first.
  bool hadLookAhead = false;
  if (want > 0 && m_bHasLookAhead.load()) {
    CSingleLock lock(&m_LookAheadLock, TRUE);
    buffer[0] = m_nLookAhead;
    m_bHasLookAhead = false;
    hadLookAhead = true;
    taken = 1;
  }
  COMSTAT status{};
  ClearErrors(&status);
  DWORD n = want - taken < status.cbInQue ? want - taken : status.cbInQue;
  DWORD got = 0;
  if (n > 0) {
    if (ReadFile(m_hComm, buffer + taken, n, &got, &m_ReadOverlapped)) {
      // done at once
    } else if (GetLastError() == ERROR_IO_PENDING) {
      while (!GetOverlappedResult(m_hComm, &m_ReadOverlapped, &got, TRUE)) {
        if (GetLastError() != ERROR_IO_INCOMPLETE) {
          ClearErrors();
          break;
        }
      }
    } else {
      got = 0;
      ClearErrors();
    }
  }
  *length = taken + got;
  m_nBytesRead += *length;
  // Only now may the monitor read ahead again: its read must not take bytes this one
  // was about to.
  if (hadLookAhead) SetEvent(m_hLookAheadTaken);
  return TRUE;
}

BOOL CSerialLink::Write(const BYTE* bytes, DWORD* length) {
  if (!IsOpen() || !bytes || !length) return FALSE;
  CSingleLock lock(&m_WriteLock, TRUE);
  // WriteFile resets the overlapped event as it starts; resetting it here too would cost
  // every frame one more trip to the Wine server before it leaves.
  DWORD written = 0;
  if (!WriteFile(m_hComm, bytes, *length, &written, &m_WriteOverlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) {
      ClearErrors();
      ++m_nWriteFailures;
      *length = 0;
      return FALSE;
    }
    while (!GetOverlappedResult(m_hComm, &m_WriteOverlapped, &written, TRUE)) {
      if (GetLastError() != ERROR_IO_INCOMPLETE) {
        ClearErrors();
        break;
      }
    }
  }
  if (written < *length) ++m_nWriteFailures;
  *length = written;
  m_nBytesWritten += written;
  return TRUE;
}

BOOL CSerialLink::GetCommProperties(COMMPROP* properties) {
  if (!IsOpen() || !properties) return FALSE;
  return ::GetCommProperties(m_hComm, properties) ? TRUE : FALSE;
}

void CSerialLink::Purge() {
  if (!IsOpen()) return;
  PurgeComm(m_hComm, kPurgeAll);
  if (m_bHasLookAhead.load()) {
    CSingleLock lock(&m_LookAheadLock, TRUE);
    m_bHasLookAhead = false;
    SetEvent(m_hLookAheadTaken);
  }
}

// Without handshake the line is not consulted. A port whose modem lines cannot be read
// would otherwise never send: it counts as clear, and the operator finds it in the log.
BOOL CSerialLink::IsCtsOn() {
  if (!IsOpen()) return FALSE;
  if (!m_bHandshake) return TRUE;
  DWORD status = 0;
  if (GetCommModemStatus(m_hComm, &status)) return (status & MS_CTS_ON) ? TRUE : FALSE;
  ++m_nCtsUnreadable;
  if (!m_bCtsUnreadableLogged) {
    m_bCtsUnreadableLogged = true;
    WriteLog("frames", "Serial link: " + m_strPortName + " cannot read its clear-to-send line; taken as on");
  }
  return TRUE;
}

CString CSerialLink::GetStatsLine() const {
  CString s;
  s.Format(
      "port=%s baud=%lu handshake=%d event_wait=%d notifications=%lu line_errors=%lu bytes_read=%lu "
      "bytes_written=%lu write_failures=%lu cts_unreadable=%lu",
      (const char*)m_strPortName, (unsigned long)m_nBaudRate, (int)m_bHandshake, m_bEventWaitWorks.load() ? 1 : 0,
      (unsigned long)m_nNotifications.load(), (unsigned long)m_nLineErrors.load(), (unsigned long)m_nBytesRead.load(),
      (unsigned long)m_nBytesWritten, (unsigned long)m_nWriteFailures, (unsigned long)m_nCtsUnreadable);
  return s;
}
