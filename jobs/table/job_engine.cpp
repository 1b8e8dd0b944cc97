// The engines of the jobs: starting one per job, supervising them all from the main
// window's timer, and the commands sent to them over their command rings.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/device_params.h"
#include "foundation/job_channel.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "jobs/engine_command_line.h"
#include "jobs/process_check.h"
#include "jobs/table/job_manager.h"
#include "platform/bytes.h"

namespace {

HWND g_hEngineLineWindow = nullptr;
CJobManager::EngineMessageObserver g_pMessageObserver = nullptr;
void* g_pMessageObserverContext = nullptr;

// The ring's state text as stored; empty without the ring.
CString StateOf(const CJobEntry& entry) { return entry.m_pRxChannel ? entry.m_pRxChannel->GetState() : CString(); }

bool StateIn(const CString& state, std::initializer_list<const char*> states) {
  for (const char* s : states)
    if (state == s) return true;
  return false;
}

// Starts the program of the command line hidden in the program folder; the new
// process's id, 0 on failure.
DWORD StartHiddenProcess(const CString& commandLine) {
  char buffer[kEngineCommandLineMax + 1] = {};
  std::memcpy(buffer, (const char*)commandLine, commandLine.GetLength());
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, buffer, nullptr, nullptr, FALSE, 0, nullptr, g_strAppFolder, &si, &pi)) return 0;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return pi.dwProcessId;
}

}  // namespace

void CJobManager::SetEngineLineWindow(HWND window) { g_hEngineLineWindow = window; }

void CJobManager::SetEngineMessageObserver(EngineMessageObserver observer, void* context) {
  CTableLock lock;
  g_pMessageObserver = observer;
  g_pMessageObserverContext = context;
}

void CJobManager::EndEngine(CJobEntry& entry) {
  if (entry.m_nEnginePid == 0) return;
  if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, entry.m_nEnginePid)) {
    ::TerminateProcess(process, 0);
    ::CloseHandle(process);
  }
}

BOOL CJobManager::StartEngine(const char* name, const char* target) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  if (e->m_bEngineRunning) return TRUE;
  CString line;
  if (!BuildEngineCommandLine(g_strAppFolder, g_nUiLanguage, e->m_job.JobName, ::GetCurrentProcessId(), target, line)) {
    WriteLog("jobs", CString("Engine command line too long or not valid for job ") + e->m_job.JobName);
    return FALSE;
  }
  e->m_bEngineRunning = TRUE;
  if (e->m_nEnginePid != 0 && IsProcessRunning(e->m_nEnginePid)) EndEngine(*e);
  DWORD pid = StartHiddenProcess(line);
  if (pid == 0) return FALSE;  // the next pass clears the running mark
  e->m_nEnginePid = pid;
  return TRUE;
}

BOOL CJobManager::ReadEngineMessage(int index, BYTE* buffer, UINT size, UINT& length) {
  length = 0;
  CTableLock lock;
  CJobEntry* e = EntryAt(index);
  if (!e || !e->m_pRxChannel) return FALSE;
  length = e->m_pRxChannel->PopMessage(buffer, size);
  return length != 0 ? TRUE : FALSE;
}

void CJobManager::MonitorJobs() {
  CTableLock lock;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
    if (e->m_nEnginePid == 0) {
      e->m_bEngineRunning = FALSE;
      continue;
    }
    BYTE buffer[kChannelSlotSize + 1] = {};
    UINT length = 0;
    bool taken = ReadEngineMessage(i, buffer, kChannelSlotSize, length) != FALSE;
    if (taken && g_pMessageObserver) g_pMessageObserver(i, buffer, length, g_pMessageObserverContext);
    if (taken && length > 4 && bytes::Load16(buffer) == kMsgControllerLine && (buffer[4] == 'B' || buffer[4] == 'b')) {
      UINT textLength = (UINT)strnlen((const char*)buffer + 4, length - 4);
      char* text = new char[textLength + 1];
      std::memcpy(text, buffer + 4, textLength);
      text[textLength] = 0;
      if (!g_hEngineLineWindow || !::PostMessageA(g_hEngineLineWindow, kEngineLineMessage, 1, (LPARAM)text))
        delete[] text;
    }
    if (!IsProcessRunning(e->m_nEnginePid)) {
      if (e->m_pRxChannel && StateOf(*e) != "ERROR") {
        e->m_pRxChannel->SetState("READY");
        e->m_bEngineRunning = FALSE;
      }
      e->m_nEnginePid = 0;
      continue;
    }
    if (e->m_pRxChannel) {
      e->m_pRxChannel->TakeReplyR();
      if (StateOf(*e) == "ERROR") {
        EndEngine(*e);
        e->m_nEnginePid = 0;
        e->m_bEngineRunning = FALSE;
      }
    }
  }
}

BOOL CJobManager::NoEngineRunning() {
  CTableLock lock;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i)
    if (e->m_nEnginePid != 0 && IsProcessRunning(e->m_nEnginePid)) return FALSE;
  return TRUE;
}

// ---------------------------------------------------------------------------
// Commands

BOOL CJobManager::SendToEngine(CJobEntry* entry, const void* bytes, UINT length) {
  if (!entry || !entry->m_pTxChannel) return FALSE;
  return entry->m_pTxChannel->PushMessage(bytes, (WORD)length) != 0 ? TRUE : FALSE;
}

BOOL CJobManager::SendCommand(CJobEntry* entry, WORD type, const void* payload, UINT length) {
  if (length > kChannelMaxPayload) return FALSE;
  BYTE message[kChannelMaxMessage] = {};
  bytes::Store16(message, type);
  bytes::Store16(message + 2, (WORD)length);
  if (length) std::memcpy(message + 4, payload, length);
  return SendToEngine(entry, message, length + 4);
}

BOOL CJobManager::StartJob(const char* name, WORD language, BYTE force2D, BYTE simulateWithTime) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  BYTE byte = (BYTE)language;
  SendCommand(e, kMsgLanguage, &byte, 1);
  if (force2D) SendCommand(e, kMsgForce2D, &force2D, 1);
  if (simulateWithTime) SendCommand(e, kMsgSimulateTime, &simulateWithTime, 1);
  if (IsDeviceBusy(e->m_job.JobName, e->m_job.Connection)) return FALSE;
  if (!StateIn(StateOf(*e), {"ATTACHED", "ERROR", "ABORTED", "FINISHED"})) return FALSE;
  BYTE zero = 0;
  return SendCommand(e, kMsgStart, &zero, 1);
}

BOOL CJobManager::StopJob(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e || !StateIn(StateOf(*e), {"TRANSMITTING", "PAUSE", "TRANSMITTED", "WAITTOOLCHANGE"})) return FALSE;
  BYTE zero = 0;
  return SendCommand(e, kMsgStop, &zero, 1);
}

BOOL CJobManager::SendDetach(const char* name) {
  CTableLock lock;
  BOOL matched = FALSE;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
    if (CString(e->m_job.JobName).CompareNoCase(name ? name : "") != 0) continue;
    SendCommand(e, kMsgDetach, nullptr, 0);
    e->m_bEngineRunning = FALSE;
    matched = TRUE;
  }
  return matched;
}

BOOL CJobManager::SendToolChangeDone(const char* name) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e || StateOf(*e) != "WAITTOOLCHANGE") return FALSE;
  return SendCommand(e, kMsgToolOk, nullptr, 0);
}

BOOL CJobManager::SendLanguage(WORD language) {
  CTableLock lock;
  BYTE byte = (BYTE)language;
  BOOL all = TRUE;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i)
    if (e->m_pTxChannel && e->m_pRxChannel && !SendCommand(e, kMsgLanguage, &byte, 1)) all = FALSE;
  return all;
}

BOOL CJobManager::SendZAdjust(const char* name, double offset_mm) {
  CTableLock lock;
  CJobEntry* e = FindEntry(name);
  if (!e) return FALSE;
  double steps = 0;
  DeviceParams device;
  if (FindDevice(e->m_job.DeviceName, &device)) steps = std::trunc(offset_mm * device.m_dResZ / 25.4);
  // A value the word cannot hold would move Z by another amount.
  if (!(steps >= -32768.0 && steps <= 32767.0)) return FALSE;
  BYTE payload[2];
  bytes::Store16(payload, (WORD)(int16_t)steps);
  CString state = StateOf(*e);
  if (!e->m_pRxChannel || state.IsEmpty() || state == "READY" || state == "ERROR") return FALSE;
  return SendCommand(e, kMsgZAdjust, payload, 2);
}

BOOL CJobManager::SendParamU(const char* name, WORD code, DWORD value) {
  CTableLock lock;
  BOOL matched = FALSE;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
    if (CString(e->m_job.JobName).CompareNoCase(name ? name : "") != 0) continue;
    if (code == 48) e->m_job.SpindleSpeed = (double)value;
    CString text;
    text.Format("%u,%u", (unsigned)code, (unsigned)value);
    SendCommand(e, kMsgMachineOutputs, (const char*)text, text.GetLength() + 1);
    matched = TRUE;
  }
  return matched;
}

BOOL CJobManager::SendParamD(const char* name, WORD code, WORD value) {
  CTableLock lock;
  BOOL matched = FALSE;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
    if (CString(e->m_job.JobName).CompareNoCase(name ? name : "") != 0) continue;
    if (code == 9) {
      if (value == 3 || value == 4) e->m_job.SpindleOn = 1;
      if (value == 5) e->m_job.SpindleOn = 0;
      if (value == 7 || value == 8) e->m_job.CoolantOn = 1;
      if (value == 9) e->m_job.CoolantOn = 0;
    }
    CString text;
    text.Format("%d,%d", (int)code, (int)value);
    SendCommand(e, kMsgMachineOutputs, (const char*)text, text.GetLength() + 1);
    matched = TRUE;
  }
  return matched;
}

BOOL CJobManager::SendRomParam(const char* name, WORD request, const BYTE* data, WORD length) {
  if ((UINT)length + 4 > kChannelMaxPayload || (length && !data)) return FALSE;
  CTableLock lock;
  BYTE payload[kChannelMaxPayload];
  bytes::Store16(payload, request);
  bytes::Store16(payload + 2, length);
  if (length) std::memcpy(payload + 4, data, length);
  BOOL matched = FALSE;
  for (int i = 0; CJobEntry* e = EntryAt(i); ++i) {
    if (CString(e->m_job.JobName).CompareNoCase(name ? name : "") != 0) continue;
    SendCommand(e, kMsgRomParams, payload, (UINT)length + 4);
    matched = TRUE;
  }
  return matched;
}
