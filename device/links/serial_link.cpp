#include "device/links/serial_link.h"

#include "foundation/log.h"

namespace {
constexpr DWORD kEventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_ERR;
constexpr DWORD kQueueSize = 100;         // input and output buffer sizes asked of the driver
constexpr DWORD kReadConstant_ms = 1000;  // read time-out constant
constexpr DWORD kCloseGrace_ms = 200;     // the monitor's time to see the shutdown request
constexpr DWORD kPoll_ms = 1;             // the fallback monitor's look at the input queue
constexpr DWORD kRepost_ms = 50;          // fallback: unread bytes are announced again after this
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
  if (!m_ReadOverlapped.hEvent || !m_WriteOverlapped.hEvent || !m_hCommEvent || !m_hShutdownEvent) {
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
  Sleep(kCloseGrace_ms);
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
  for (HANDLE* h : {&m_ReadOverlapped.hEvent, &m_WriteOverlapped.hEvent, &m_hCommEvent, &m_hShutdownEvent}) {
    if (*h) CloseHandle(*h);
    *h = nullptr;
  }
}

// --- Monitor thread
//
// Waits for a port event or the shutdown request, whichever comes first. A port event
// clears the line errors and, when characters arrived, posts the owner's message. A
// port that refuses to wait at all (the wait fails at once rather than pending) is
// watched by polling its input queue instead, so that bytes are still announced.

void CSerialLink::CommEventThreadProc() {
  HANDLE waits[2] = {m_hShutdownEvent, m_hCommEvent};
  for (;;) {
    ResetEvent(m_hCommEvent);
    OVERLAPPED ov{};
    ov.hEvent = m_hCommEvent;
    DWORD mask = 0;
    if (!WaitCommEvent(m_hComm, &mask, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) {
        // Closing empties the event mask, which makes the wait fail as well.
        if (WaitForSingleObject(m_hShutdownEvent, 0) == WAIT_OBJECT_0) return;
        PollInputQueue();
        return;
      }
      if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        CancelIo(m_hComm);
        return;
      }
      DWORD unused = 0;
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

void CSerialLink::PollInputQueue() {
  m_bEventWaitWorks = false;
  WriteLog("frames", "Serial link: " + m_strPortName + " cannot wait for port events; polling its input queue");
  // Bytes are announced when they are new: more than at the last look, or any after the
  // owner has read since the last announcement. Bytes left unread are announced again
  // now and then, as a port event would on the next byte.
  DWORD lastQueued = 0, lastPost = 0, readAtPost = 0;
  while (WaitForSingleObject(m_hShutdownEvent, kPoll_ms) == WAIT_TIMEOUT) {
    COMSTAT status{};
    DWORD errors = ClearErrors(&status);
    if (errors) ++m_nLineErrors;
    DWORD now = GetTickCount(), read = m_nBytesRead.load();
    bool fresh = status.cbInQue > 0 && (status.cbInQue > lastQueued || read != readAtPost);
    bool stale = status.cbInQue > 0 && now - lastPost >= kRepost_ms;
    lastQueued = status.cbInQue;
    if ((fresh || stale) && m_nNotifyMsg && (m_hNotifyWnd || m_pNotifySink)) {
      lastPost = now;
      readAtPost = read;
      ++m_nNotifications;
      Notify((WPARAM)(((errors & 0xFFFF) << 16) | EV_RXCHAR), 0);
    }
  }
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
  COMSTAT status{};
  ClearErrors(&status);
  DWORD n = *length < status.cbInQue ? *length : status.cbInQue;
  *length = 0;
  if (n == 0) return TRUE;
  ResetEvent(m_ReadOverlapped.hEvent);
  DWORD got = 0;
  if (ReadFile(m_hComm, buffer, n, &got, &m_ReadOverlapped)) {
    *length = got;
  } else if (GetLastError() == ERROR_IO_PENDING) {
    while (!GetOverlappedResult(m_hComm, &m_ReadOverlapped, &got, TRUE)) {
      if (GetLastError() != ERROR_IO_INCOMPLETE) {
        ClearErrors();
        break;
      }
    }
    *length = got;
  } else {
    ClearErrors();
  }
  m_nBytesRead += *length;
  return TRUE;
}

BOOL CSerialLink::Write(const BYTE* bytes, DWORD* length) {
  if (!IsOpen() || !bytes || !length) return FALSE;
  CSingleLock lock(&m_WriteLock, TRUE);
  ResetEvent(m_WriteOverlapped.hEvent);
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
  if (IsOpen()) PurgeComm(m_hComm, kPurgeAll);
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
