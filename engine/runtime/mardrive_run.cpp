// A transmission: the start with its probe and checks, the processing thread that
// feeds the planner record by record and copy by copy, and the ways a run ends (stop,
// normal end, abort from the device or the link).
#include <cstdio>
#include <cstdlib>

#include "engine/runtime/mardrive_dlg.h"
#include "engine/runtime/status_report.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "platform/file.h"
#include "resources/resource.h"

namespace {

constexpr DWORD kProbeTimeout_ms = 5000;
constexpr DWORD kQuitWait_ms = 5000;
constexpr DWORD kQueueFullPause_ms = 50;

}  // namespace

// ---------------------------------------------------------------------------------
// The button and the private commands

void CMardriveDlg::OnOK() {
  if (m_bTransmitting)
    StopRequested();
  else
    StartTransmission();
}

LRESULT CMardriveDlg::OnStartOnly(WPARAM, LPARAM) {
  if (!m_bTransmitting) StartTransmission();
  return 0;
}

LRESULT CMardriveDlg::OnStopOnly(WPARAM, LPARAM) {
  if (m_bTransmitting) StopRequested();
  return 0;
}

void CMardriveDlg::UpdateStartButton() {
  SetDlgItemText(IDOK, m_bTransmitting ? LoadLangString(IDS_ENGINE_STOP_CN, IDS_ENGINE_STOP_EN)
                                       : LoadLangString(IDS_ENGINE_START_CN, IDS_ENGINE_START_EN));
}

// ---------------------------------------------------------------------------------
// Start

BOOL CMardriveDlg::PreparePlanner(CString& error) {
  m_PathProcessor.Reset();
  LoadPlannerSettings(m_PlannerSettings);
  m_PlannerSettings.m_bDirecArc = m_Settings.bDirecArc;
  m_PlannerSettings.m_nLiftDelay_ms = m_Settings.nLiftDelay_ms;
  m_PlannerSettings.m_dMinArcReplace_mm = m_Settings.dMinArcReplace_mm;
  m_PlannerSettings.m_dDoubleZero = m_Settings.dDoubleZero;
  m_PlannerSettings.m_dParkingLift_mm = m_Settings.dParkingLift_mm;
  m_PathProcessor.SetOutput(&m_Protocol);
  return m_PathProcessor.PrepareJob(m_Job, m_Device, m_PlannerSettings, error);
}

BOOL CMardriveDlg::ProbeDevice() {
  m_Protocol.SendSyncFrame();
  m_Protocol.SendSyncFrame();
  m_Protocol.RequestQueries(0);
  DWORD start = ::GetTickCount();
  if (start == 0) start = 1;
  // The answers come with the messages: looked at right after each dispatch, not after
  // the next wait.
  for (;;) {
    DispatchQueued();
    // A detach or the parent watch closed the link meanwhile: the engine is ending.
    if (!m_pLink) return FALSE;
    if (m_Protocol.IsDeviceOnline() || GetTicksBetween(start, ::GetTickCount()) > kProbeTimeout_ms) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  if (!m_Protocol.IsDeviceResponding()) {
    Fail(LoadLangString(IDS_NO_RESPONSE_CN, IDS_NO_RESPONSE_EN));
    return FALSE;
  }
  if (!m_Protocol.IsDeviceOnline()) {
    Fail(LoadLangString(IDS_SET_ONLINE_CN, IDS_SET_ONLINE_EN));
    return FALSE;
  }
  return TRUE;
}

WorkArea CMardriveDlg::GetWorkArea() {
  WorkArea area;
  area.work_steps = m_Protocol.GetWorkPosition();
  area.origin_steps = m_Protocol.GetOriginPosition();
  area.res_steps_in[0] = m_Device.m_dResX;
  area.res_steps_in[1] = m_Device.m_dResY;
  area.res_steps_in[2] = m_Device.m_dResZ;
  return area;
}

BOOL CMardriveDlg::CheckRanges() {
  WorkArea area = GetWorkArea();
  CString message;
  if (!CheckWorkRange(m_Job, m_Transform, area, m_dParkingLift_mm, message)) {
    Fail(message);
    return FALSE;
  }
  CopySettings copies;
  const CString* counts[3] = {&m_strCopiesX, &m_strCopiesY, &m_strCopiesZ};
  const CString* spacings[3] = {&m_strSpacingX, &m_strSpacingY, &m_strSpacingZ};
  for (int axis = 0; axis < 3; ++axis) {
    copies.count[axis] = std::atol(*counts[axis]);
    copies.spacing_mm[axis] = std::atol(*spacings[axis]);
  }
  CopiesCheck check = CheckCopiesRange(m_Job, m_Transform, area, copies, m_dParkingLift_mm, message);
  if (check == kCopiesOutside) {
    Fail(message);
    return FALSE;
  }
  // Copies closer than the job is wide are the operator's choice: the text is shown,
  // the state is not touched (an "ERROR" would make the operator program end the
  // engine).
  if (check == kCopiesWarning) SetRxMessage(message);
  return TRUE;
}

void CMardriveDlg::StartTransmission() {
  if (m_bStarting) return;  // a start or stop is already under way
  m_bStarting = TRUE;
  ResetNotifyState();
  g_nByteCountStart = 0;
  g_nByteCount = 0;
  SetDlgItemText(IDC_ENGINE_ELAPSED, "");
  m_StartTime = time(nullptr);
  for (const char* name : {"Frames.txt", "Calc.txt", "Simu.txt"}) ::DeleteFileA(g_strAppFolder + name);
  ::DeleteFileA(g_strAppFolder + "temp\\" + m_strJobName + ".trace");
  UpdateData(TRUE);

  long first = std::atol(m_strStartTag), last = std::atol(m_strEndTag);
  CString message, error;
  if (!CheckTagRange(first, last, m_nTotalTags, message)) {
    Fail(message);
  } else if (!m_bLinkOpen || !m_pLink || !m_pLink->IsOpen()) {
    Fail(LoadLangString(IDS_DEVICE_NOT_OPENED_CN, IDS_DEVICE_NOT_OPENED_EN));
  } else if (!OpenStructs()) {
    Fail(LoadLangString(IDS_NO_DATA_CN, IDS_NO_DATA_EN));
  } else if (!PreparePlanner(error)) {
    Fail(error);
  } else {
    m_PathProcessor.BeginJob((int)first, (int)last);
    std::vector<Vec3> offsets;
    m_bHasCopies = PrepareCopies(m_Job, offsets);
    m_CopyOffsets.assign(offsets.begin(), offsets.end());
    ConfigureProtocol();
    m_Protocol.SetControllerGeneration((DWORD)m_PathProcessor.GetControllerVersionNumber());
    m_pLink->SetLastAckPack(-1);
    if (ProbeDevice() && CheckRanges()) BeginRun();
  }
  m_bStarting = FALSE;
  UpdateStartButton();
}

BOOL CMardriveDlg::OpenStructs() {
  if (m_StructsFile.IsOpen()) m_StructsFile.Close();
  if (!m_StructsFile.Open(m_strStructsPath, CFile::modeRead | CFile::shareDenyNone)) return FALSE;
  m_nRecordIndex = 0;
  m_nRecordCount = (DWORD)(m_StructsFile.GetLength() / kPathRecordSize);
  m_Progress.SetRange(0, (int)m_nTotalTags);
  m_Progress.SetPosition(std::atoi(m_Protocol.GetTagProgressText()));
  return m_nRecordCount > 0;
}

void CMardriveDlg::BeginRun() {
  m_bHeaderPending = TRUE;
  m_PathProcessor.SetParkingLift(m_dParkingLift_mm);
  m_PathProcessor.SetForce2D(g_bForce2D ? TRUE : FALSE);
  m_PathProcessor.SendJobHeader(m_strTarget, g_bStandalone ? FALSE : TRUE);
  m_RecordTransform.nOrientation = m_Job.Orientation;
  m_RecordTransform.bFlipZ = m_Job.FlipZ ? TRUE : FALSE;
  m_RecordTransform.transform = m_Transform;
  if (!BeginToSendData()) {
    SetTimer(kTimerFail, 500);
    return;
  }
  m_StartTime = time(nullptr);
  // The last run's final tag must not finish this one before it has begun.
  m_Protocol.SetTagProgressText("");
  if (m_pRx) {
    m_pRx->SetProgressSeconds(0);
    m_pRx->SetState("TRANSMITTING");
    // A copies-spacing warning stays readable while the job runs.
  }
  for (int id : {IDC_ENGINE_CONNECT, IDCANCEL, IDC_ENGINE_START_TAG})
    if (CWnd* control = GetDlgItem(id)) control->EnableWindow(FALSE);
  m_bEndOfData = 0;
  m_Progress.SetTextFormat("Progress %d%%", PPS_TEXT_PERCENT);
  m_bStopRequest = 0;
  m_bThreadIdle = 0;  // set before the thread runs: a stop that comes at once waits for it
  m_bFinishPosted = FALSE;
  m_bTransmitting = TRUE;
  m_Thread = std::thread([this] { PathProcessing(); });
  SetTimer(kTimerDelayed, 20);
  CSingleLock lock(&m_NotifyLock, TRUE);
  m_nReleasedNotify = 0;
  m_nReleaseTick = ::GetTickCount() ? ::GetTickCount() : 1;
}

// ---------------------------------------------------------------------------------
// Stop and end

void CMardriveDlg::StopProcessingThread() {
  m_bStopRequest = 1;
  if (m_Thread.joinable()) m_Thread.join();
  m_bThreadIdle = 1;
}

void CMardriveDlg::StopRequested() {
  if (m_bStarting) return;
  m_bStarting = TRUE;
  ResetNotifyState();
  StopProcessingThread();
  m_Protocol.SendOtCommands(3);
  SetRxState("ABORTED");
  StopTransmission();
  m_bStarting = FALSE;
  UpdateStartButton();
}

CString CMardriveDlg::ThroughputText() {
  DWORD elapsed_ms = g_nByteCountStart ? GetTicksSince(g_nByteCountStart) : 0;
  if (g_nByteCountStart == 0 || g_nByteCount == 0 || elapsed_ms < 1) return CString();
  CString text;
  text.Format(LoadLangString(IDS_DATA_RATE_CN, IDS_DATA_RATE_EN), (const char*)FormatByteSize((double)g_nByteCount),
              (const char*)FormatByteSize((double)g_nByteCount / elapsed_ms * 1000.0));
  return text;
}

void CMardriveDlg::StopTransmission() {
  if (m_bTransmitting) {
    // Nothing below may run under a live thread: it uses the file, the queues and the
    // FIFO.
    StopProcessingThread();
    KillTimer(kTimerDelayed);
    m_bEndOfData = 1;
    m_StartTime = 0;
    m_Protocol.ClearQueues();
    m_Protocol.ResetFifo();
    SetDlgItemText(IDC_ENGINE_FRAME_COUNT, "");
    for (int id : {IDC_ENGINE_CONNECT, IDC_ENGINE_START_TAG})
      if (CWnd* control = GetDlgItem(id)) control->EnableWindow(TRUE);
    m_Progress.SetTextFormat("", 0);
    if (!m_bLinkOpen)
      if (CWnd* exit = GetDlgItem(IDCANCEL)) exit->EnableWindow(TRUE);
    m_bTransmitting = FALSE;
    if (m_StructsFile.IsOpen()) m_StructsFile.Close();
    if (m_pRx) {
      m_pRx->SetFifoLevel(0, 0);
      CString rate = ThroughputText();
      if (m_Settings.bShowDataRate && !rate.IsEmpty()) m_pRx->SetMessageText(rate);
    }
    WriteLog("frames", m_Protocol.FormatStats());
    if (m_bAutoQuit) {
      SetRxState("QUITING");
      PumpMessagesFor(kQuitWait_ms);
      PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
    }
  }
  UpdateStartButton();
}

LRESULT CMardriveDlg::OnAbortMsg(WPARAM wParam, LPARAM lParam) {
  if (!m_bTransmitting) return 0;
  CString text;
  if (wParam == kAbortCancelFromDevice) text = LoadLangString(IDS_CANCEL_FROM_DEVICE_CN, IDS_CANCEL_FROM_DEVICE_EN);
  if (wParam == kAbortLinkDown) text = LoadLangString(IDS_LINK_LOST_CN, IDS_LINK_LOST_EN);
  if (wParam == kAbortSpillFailed) text = LoadLangString(IDS_FIFO_SPILL_FAILED_CN, IDS_FIFO_SPILL_FAILED_EN);
  if (m_pRx) {
    m_pRx->SetMessageText(text);
    m_pRx->SetState("ABORTED");
  }
  StopTransmission();
  if (!m_bAutoQuit && wParam == kAbortLinkDown) {
    PumpMessagesFor(kQuitWait_ms);
    PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
  }
  return 0;
}

// ---------------------------------------------------------------------------------
// The processing thread
//
// Records go to the planner one by one, copy after copy: at the end of the file the
// next copy's offset is taken and the file is read again from its first record. The
// thread waits while the memory queue is full (never dropping a record) and leaves on
// the stop request, when the transmission ends, or at the end of the data.

BOOL CMardriveDlg::ReadJobRecord(DWORD n, PathRecord& record) {
  if (!m_StructsFile.IsOpen() || n >= m_nRecordCount) return FALSE;
  PathRecordData data;
  try {
    m_StructsFile.Seek((LONGLONG)n * kPathRecordSize, CFile::begin);
    if (m_StructsFile.Read(&data, kPathRecordSize) < (UINT)kPathRecordSize) return FALSE;
  } catch (const CFileException&) {
    return FALSE;
  }
  PrepareJobRecord(data, m_nPlane, m_RecordTransform);
  record.SetData(data);
  return TRUE;
}

BOOL CMardriveDlg::BeginToSendData() {
  if (m_CopyOffsets.empty()) return FALSE;
  m_RecordTransform.copyOffset = m_CopyOffsets.front();
  m_CopyOffsets.pop_front();
  m_nLastMotionCode = 0;
  m_nRecordIndex = 0;
  m_nPlane = 0;
  if (m_nRecordCount == 0) {
    m_CopyOffsets.clear();
    return FALSE;
  }
  if (m_bHeaderPending) {
    m_PathProcessor.AddCommand(1, 0xAAAA);
    m_PathProcessor.ParseInstructionString(m_Device.m_szInitialString);
    if (m_Job.StartSwitch == 1) m_PathProcessor.ParseInstructionString("SW0;");
    if (m_Job.StartSwitch == 2) m_PathProcessor.ParseInstructionString("SW1;");
    m_bHeaderPending = FALSE;
  }
  m_PathProcessor.AddStartCommands();
  return TRUE;
}

void CMardriveDlg::PathProcessing() {
  const DWORD pace = m_Protocol.IsFileFifo() ? 400 : 200;
  m_nRecordIndex = 0;
  while (m_bTransmitting && !m_bStopRequest && m_nRecordCount != 0) {
    TakePendingOutputs(FALSE);
    if (!m_Protocol.IsFileFifo() && m_Protocol.IsQueueFull()) {
      ::Sleep(kQueueFullPause_ms);
      continue;
    }
    DWORD n = m_nRecordIndex++;
    if (!ReadJobRecord(n, m_CurrentRecord)) {
      if (m_bEndOfData) break;
      m_PathProcessor.FlushSegments();
      if (!BeginToSendData()) {
        m_PathProcessor.ProcessRecord(nullptr);
        m_bEndOfData = 1;
        break;
      }
      // The next copy begins with its own first record; the last record of the copy
      // before is not replayed.
      continue;
    }
    if (m_CurrentRecord.m_nDiscard != 0) continue;
    if (m_CurrentRecord.m_nCode <= 3) m_nLastMotionCode = m_CurrentRecord.m_nCode;
    int result = 0;
    bool toolChange = m_CurrentRecord.m_nCode == 0xFFFF && CString(m_CurrentRecord.m_szName) == "T";
    if (!toolChange || m_Job.TWordEnabled) result = m_PathProcessor.ProcessRecord(&m_CurrentRecord);
    if (result == kOutputFailed) {
      // A frame could not be queued (the spill file is full): the frame protocol engine
      // reports it and the job is stopped.
      break;
    }
    if (!m_bHasCopies && result < 0 && !m_bEndOfData) {
      m_PathProcessor.FlushSegments();
      BeginToSendData();
      m_Protocol.MarkFifoEnd();
      m_PathProcessor.SetAllTagsDone();
      m_PathProcessor.ProcessRecord(nullptr);
      m_bEndOfData = 1;
      break;
    }
    if (m_nRecordIndex != 0 && m_nRecordIndex % pace == 0) ::Sleep(10);
  }
  TakePendingOutputs(TRUE);
}
