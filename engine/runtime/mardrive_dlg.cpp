#include "engine/runtime/mardrive_dlg.h"

#include <cstdlib>
#include <cstring>

#include "device/device_params.h"
#include "device/links/udp_link.h"
#include "jobs/job_name.h"
#include "engine/protocol/notify_text.h"
#include "engine/protocol/reply_line.h"
#include "engine/runtime/status_report.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/texts.h"
#include "jobs/job_files.h"
#include "jobs/process_check.h"
#include "platform/win/app.h"
#include "platform/win/filedlg.h"
#include "resources/resource.h"

BOOL g_bStandalone = FALSE;
BYTE g_bForce2D = 0;
BYTE g_bSimuWithTime = 0;

namespace {

const UINT kComMsg = ::RegisterWindowMessageA("CMardriveDlg_ComMsg");
const UINT kAbortMsg = ::RegisterWindowMessageA("CMardriveDlg_AbortMsg");

constexpr UINT kChannelCapacity = 128;
constexpr UINT kCommandBufferSize = 254;  // bytes popped per command
// A timer this late is taken as held back by a busy queue rather than by the system's
// timer resolution (about 16 ms under Wine).
constexpr DWORD kTimerOverdue_ms = 50;

CString Number(const char* format, double value) {
  CString text;
  text.Format(format, value);
  return text;
}

}  // namespace

BEGIN_MESSAGE_MAP(CMardriveDlg, CDialog)
  ON_WM_PAINT()
  ON_BN_CLICKED(IDC_ENGINE_CONNECT, &CMardriveDlg::OnButtonOpen)
  ON_WM_CLOSE()
  ON_WM_TIMER()
  ON_BN_CLICKED(IDC_ENGINE_STOP_TRANSMISSION, &CMardriveDlg::StopTransmission)
  ON_BN_CLICKED(IDC_ENGINE_JOB_FILE, &CMardriveDlg::OnButtonJobFile)
  ON_REGISTERED_MESSAGE(kComMsg, &CMardriveDlg::OnComMsg)
  ON_MESSAGE(kWmUdpSocket, &CMardriveDlg::OnSocketNotify)
  ON_REGISTERED_MESSAGE(kAbortMsg, &CMardriveDlg::OnAbortMsg)
  ON_MESSAGE(kNotifyTextMsg, &CMardriveDlg::OnDeviceNotify)
  ON_MESSAGE(kNotifyDelayedMsg, &CMardriveDlg::OnNotifyDelayed)
  ON_MESSAGE(kCmdStartOnly, &CMardriveDlg::OnStartOnly)
  ON_MESSAGE(kCmdStopOnly, &CMardriveDlg::OnStopOnly)
  ON_MESSAGE(kMsgPumpWake, &CMardriveDlg::OnPumpWake)
END_MESSAGE_MAP()

CMardriveDlg::CMardriveDlg(const EngineTraceSettings& trace, CWnd* parent)
    : CDialog(PickLangId(IDD_MARDRIVE_CN, IDD_MARDRIVE_EN), parent), m_Trace(trace) {}

CMardriveDlg::~CMardriveDlg() {
  StopProcessingThread();
  if (m_pLink) m_pLink->Close();
}

void CMardriveDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  struct TextField {
    int id;
    CString CMardriveDlg::*field;
  };
  static const TextField kTexts[] = {
      {IDC_ENGINE_CONNECTION, &CMardriveDlg::m_strConnection},
      {IDC_ENGINE_START_TAG, &CMardriveDlg::m_strStartTag},
      {IDC_ENGINE_ACCELERATION, &CMardriveDlg::m_strAcceleration},
      {IDC_ENGINE_SOURCE_PATH, &CMardriveDlg::m_strSourcePath},
      {IDC_ENGINE_PLUNGE, &CMardriveDlg::m_strPlunge},
      {IDC_ENGINE_STRUCTS_PATH, &CMardriveDlg::m_strStructsPath},
      {IDC_ENGINE_DEVICE_NAME, &CMardriveDlg::m_strDeviceName},
      {IDC_ENGINE_TRAVERSE, &CMardriveDlg::m_strTraverse},
      {IDC_ENGINE_FEED, &CMardriveDlg::m_strFeed},
      {IDC_ENGINE_JOB_NAME, &CMardriveDlg::m_strJobName},
      {IDC_ENGINE_START_SPEED, &CMardriveDlg::m_strStartSpeed},
      {IDC_ENGINE_STATUS, &CMardriveDlg::m_strStatus},
      {IDC_ENGINE_COPIES_X, &CMardriveDlg::m_strCopiesX},
      {IDC_ENGINE_SPACING_X, &CMardriveDlg::m_strSpacingX},
      {IDC_ENGINE_COPIES_Y, &CMardriveDlg::m_strCopiesY},
      {IDC_ENGINE_SPACING_Y, &CMardriveDlg::m_strSpacingY},
      {IDC_ENGINE_COPIES_Z, &CMardriveDlg::m_strCopiesZ},
      {IDC_ENGINE_SPACING_Z, &CMardriveDlg::m_strSpacingZ},
      {IDC_ENGINE_TAG_PROGRESS, &CMardriveDlg::m_strTagProgress},
      {IDC_ENGINE_MATERIAL_HEIGHT, &CMardriveDlg::m_strMaterialHeight},
      {IDC_ENGINE_MATERIAL_ZERO, &CMardriveDlg::m_strMaterialZero},
      {IDC_ENGINE_Z_MAX, &CMardriveDlg::m_strZMax},
      {IDC_ENGINE_Z_MIN, &CMardriveDlg::m_strZMin},
      {IDC_ENGINE_END_TAG, &CMardriveDlg::m_strEndTag},
      {IDC_ENGINE_ORIENTATION, &CMardriveDlg::m_strOrientation},
  };
  for (const TextField& f : kTexts) DDX_Text(dx, f.id, this->*f.field);
  DDX_Check(dx, IDC_ENGINE_RELATIVE, m_nRelative);
  DDX_Check(dx, IDC_ENGINE_FLIP_X, m_nFlipX);
  DDX_Check(dx, IDC_ENGINE_FLIP_Y, m_nFlipY);
  DDX_Check(dx, IDC_ENGINE_FLIP_Z, m_nFlipZ);
}

// ---------------------------------------------------------------------------------
// Start-up

BOOL CMardriveDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_bDetachRequested = FALSE;
  g_strAppFolder = GetAppFolder();
  LoadDeviceTable();
  LoadEngineSettings(m_Settings);
  m_Sink.SetWindow(GetSafeHwnd());
  m_PathProcessor.ReserveRunBuffer();

  ReadCommandLine();
  m_strJobInfoPath = JobFilePath(m_strJobName, ".jobinfo");
  SetWindowText("Mardrive-" + m_strJobName);

  m_Font.CreateFont(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体");
  static const WORD kHatch[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
  m_HatchPattern.CreateBitmap(8, 8, 1, 1, kHatch);
  m_HatchBrush.CreatePatternBrush(&m_HatchPattern);
  m_WhiteBrush.CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
  m_BluePen.CreatePen(PS_DOT, 1, RGB(0, 0, 0xFF));
  m_RedPen.CreatePen(PS_DOT, 1, RGB(0xFF, 0, 0));
  m_Progress.SubclassDlgItem(IDC_ENGINE_PROGRESS, this);
  m_Progress.SetBkColor(RGB(0xC0, 0xC0, 0xC0));
  m_Progress.SetColors(RGB(0xFF, 0, 0), RGB(0, 0xFF, 0));
  m_Progress.SetTextFormat("", 0);

  std::memset(static_cast<void*>(&m_Job), 0, sizeof m_Job);
  if (CWnd* button = GetDlgItem(IDC_ENGINE_CONNECT)) button->EnableWindow(FALSE);
  UpdateData(FALSE);

  bool needChannel = (g_bStandalone || m_nParentPid != -1) && !m_strJobName.IsEmpty();
  if (needChannel && !OpenJobChannel()) {
    EndDialog(0);
    return FALSE;
  }
  if (!LoadJob(m_strJobInfoPath)) {
    SetRxMessage("Failed to open job file");
    CloseJobChannel();
    EndDialog(0);
    return FALSE;
  }
  if (!g_bStandalone) ShowWindow(SW_HIDE);
  WriteStartupHeader();
  m_bAttachCancel = 0;

  SetTimer(kTimerProgress, 500);
  SetTimer(kTimerStatus, 500);
  SetTimer(kTimerAttach, 20);
  SetTimer(kTimerCommands, 20);
  SetTimer(kTimerKeepAlive, 3000);
  SetTimer(kTimerFifo, 1000);
  if (!g_bStandalone) {
    SetTimer(kTimerParent, 100);
    SetTimer(kTimerAttachTimeout, m_Settings.nAttachTimeout_ms);
    PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
  }
  return TRUE;
}

void CMardriveDlg::ReadCommandLine() {
  EngineCommandLine line;
  CWinApp* app = AfxGetApp();
  EngineCommandLineStatus status = ParseEngineCommandLine(app ? app->m_lpCmdLine : "", line);
  g_nUiLanguage = line.nLanguage;
  g_bStandalone = line.bStandalone;
  g_bUploadTarget = line.bUploadTarget ? 1 : 0;
  g_strUploadTarget = line.strUploadName;
  m_strJobName = line.strJobName;
  m_nParentPid = line.nParentPid;
  m_strTarget = line.strTarget;
  if (status == kCommandLineBadJobName) {
    CString text;
    text.Format("[SYS] Refused job name in the command line: %s", app ? app->m_lpCmdLine : "");
    WriteLog("frames", text);
  }
}

void CMardriveDlg::WriteStartupHeader() {
  if (!m_pRx) return;
  m_pRx->SetState("ATTACHING");
  m_pRx->SetPositionW(0, 0, 0);
  m_pRx->SetPositionO(0, 0, 0);
  for (auto setter :
       {&CJobChannel::SetReplyT, &CJobChannel::SetRunMode, &CJobChannel::SetReplyV, &CJobChannel::SetReplyC,
        &CJobChannel::SetReplyD, &CJobChannel::SetReplyH, &CJobChannel::SetReplyL, &CJobChannel::SetReplyN,
        &CJobChannel::SetReplyA, &CJobChannel::SetReplyG, &CJobChannel::SetSlotE0, &CJobChannel::SetReplyR,
        &CJobChannel::SetMessageText})
    (m_pRx.get()->*setter)("");
  m_pRx->SetProgressSeconds(0);
  m_pRx->SetProjectedTime(0.0);
  m_pRx->SetFifoLevel(0, 0);
}

BOOL CMardriveDlg::OpenJobChannel() {
  UpdateData(TRUE);
  if (m_strJobName.IsEmpty()) return FALSE;
  auto tx = std::make_unique<CJobChannel>();
  auto rx = std::make_unique<CJobChannel>();
  if (!tx->Open("PanelTx_" + m_strJobName, kChannelCapacity) ||
      !rx->Open("PanelRx_" + m_strJobName, kChannelCapacity)) {
    CloseJobChannel();
    return FALSE;
  }
  m_pTx = std::move(tx);
  m_pRx = std::move(rx);
  return TRUE;
}

void CMardriveDlg::CloseJobChannel() {
  m_pTx.reset();
  m_pRx.reset();
}

void CMardriveDlg::OnCancel() {
  m_bAttachCancel = 1;
  StopProcessingThread();
  CloseJobChannel();
  DispatchQueued();
  EndDialog(IDCANCEL);
}

void CMardriveDlg::DispatchQueued() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

void CMardriveDlg::PumpMessagesFor(DWORD ms) {
  DWORD start = ::GetTickCount();
  if (start == 0) start = 1;
  while (GetTicksBetween(start, ::GetTickCount()) < ms) {
    DispatchQueued();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void CMardriveDlg::ShowEngineWindow() {
  SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetFocus();
}

void CMardriveDlg::SetRxState(const char* state) {
  if (m_pRx) m_pRx->SetState(state);
}

void CMardriveDlg::SetRxMessage(const char* text) {
  if (m_pRx) m_pRx->SetMessageText(text);
}

void CMardriveDlg::Fail(const CString& text) {
  WriteLog("output", "[SYS] " + text);
  if (m_pRx) {
    m_pRx->SetMessageText(text);
    m_pRx->SetState("ERROR");
  } else if (CWnd* start = GetDlgItem(IDOK)) {
    start->EnableWindow(TRUE);
  }
  SetTimer(kTimerFail, 500);
}

// ---------------------------------------------------------------------------------
// The job

BOOL CMardriveDlg::ReadJobInfo(const char* path) {
  m_nRecordCount = 0;
  JobRecord job;
  JobInfoStatus status = (path && *path) ? ReadJobInfoFile(path, job) : kJobInfoMissing;
  if (status != kJobInfoRead && status != kJobInfoOldFormat) return FALSE;
  m_Job = job;
  CString text;
  text.Format("Flip(%d, %d, %d), type=%d\r\n", m_Job.FlipX, m_Job.FlipY, m_Job.FlipZ, m_Job.Orientation);
  WriteLog("output", text, TRUE);
  m_Job.TotalTags = (int32_t)((uint32_t)m_Job.TotalTags * (uint32_t)m_Job.EffectiveCopiesX() *
                              (uint32_t)m_Job.EffectiveCopiesY() * (uint32_t)m_Job.EffectiveCopiesZ());
  if (!g_bUploadTarget && !m_strTarget.IsEmpty() && !SetExportConnection(m_Job, m_strTarget)) {
    WriteLog("output", "[SYS] Export target does not fit the connection field: " + m_strTarget);
    return FALSE;
  }
  SetupOrientation(m_Job, m_Transform);
  return TRUE;
}

BOOL CMardriveDlg::LoadJob(const char* path) {
  if (!ReadJobInfo(path)) return FALSE;
  CString structs(path);
  int dot = structs.ReverseFind('.');
  m_strStructsPath = (dot < 0 ? structs : structs.Left(dot)) + ".structs";
  ReadFrameProtocolConfig(m_FrameConfig);
  m_Protocol.Configure(m_FrameConfig);
  m_Protocol.ClearQueues();
  DeviceParams scratch;
  if (FindDevice(m_Job.DeviceName, &scratch))
    m_Protocol.SetControllerGeneration(GetVersionNumber(scratch.m_szControllerModel));
  SetDlgItemText(IDC_ENGINE_ELAPSED, "");
  SetDlgItemText(IDC_ENGINE_FRAME_COUNT, "");
  ShowJobInfo(m_Job);
  if (CWnd* button = GetDlgItem(IDC_ENGINE_CONNECT)) button->EnableWindow(TRUE);
  m_strStartTag.Format("%d", m_Job.TagRangeStart);
  m_strEndTag.Format("%d", m_Job.TagRangeEnd);
  UpdateData(FALSE);
  m_nTotalTags = (DWORD)m_Job.TotalTags;
  m_nCurrentTag = 0;
  if (FindDevice(m_strDeviceName, &m_Device) && m_Device.m_nMachineClass == 4 && m_Job.RollEngrave)
    m_Device.m_nArcSupport = 0;
  m_bAutoQuit = m_Job.AutoDisconnect ? TRUE : FALSE;
  if (!m_strTarget.IsEmpty()) m_bAutoQuit = TRUE;
  return TRUE;
}

void CMardriveDlg::ShowJobInfo(const JobRecord& job) {
  m_strJobName = job.JobName;
  m_strSourcePath = job.SourcePath;
  m_strConnection = job.Connection;
  m_strDeviceName = job.DeviceName;
  m_nRelative = job.RelativeCoords;
  m_nFlipX = job.FlipX, m_nFlipY = job.FlipY, m_nFlipZ = job.FlipZ;
  m_strOrientation.Format("%d", job.Orientation);
  m_strTraverse = Number("%.0f", job.TraverseSpeed);
  m_strFeed = Number("%.0f", job.FeedSpeed);
  m_strPlunge = Number("%.0f", job.PlungeSpeed);
  m_strStartSpeed = Number("%.0f", job.StartSpeed);
  m_strAcceleration = Number("%.0f", job.Acceleration);
  m_strCopiesX.Format("%d", job.CopiesX);
  m_strCopiesY.Format("%d", job.CopiesY);
  m_strCopiesZ.Format("%d", job.CopiesZ);
  m_strSpacingX = Number("%.3f", job.CopyOffsetX);
  m_strSpacingY = Number("%.3f", job.CopyOffsetY);
  m_strSpacingZ = Number("%.3f", job.CopyOffsetZ);
  m_strMaterialHeight = Number("%.3f", job.MaterialHeight);
  m_strMaterialZero = Number("%.3f", job.MaterialZeroOffset);
  m_strZMax = Number("%.3f", std::max(job.FeedMax.z, job.TraverseZMax));
  m_strZMin = Number("%.3f", std::min(job.FeedMin.z, job.TraverseZMin));
}

void CMardriveDlg::OnButtonJobFile() {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST, "All Files (*.*)|*.*||", this);
  if (dlg.DoModal() == IDOK) LoadJob(dlg.GetPathName());
}

// ---------------------------------------------------------------------------------
// Commands from the operator program

int CMardriveDlg::PollCommands() {
  if (!m_pTx) return 0;
  BYTE buffer[kCommandBufferSize + 2] = {};
  UINT length = m_pTx->PopMessage(buffer, kCommandBufferSize);
  if (length == 0) return 0;
  ChannelMessage message = {};
  std::memcpy(&message, buffer, std::min<size_t>(length, sizeof message));
  HandleCommand(message, length);
  return 1;
}

void CMardriveDlg::HandleCommand(const ChannelMessage& m, UINT length) {
  // The payload as far as the message carries it.
  UINT payload = length > 4 ? std::min<UINT>(length - 4, m.nLength) : 0;
  BYTE byte = payload > 0 ? m.payload[0] : 0;
  CString log;
  switch (m.nType) {
    case kMsgAttach: {
      CString path((const char*)m.payload, (int)strnlen((const char*)m.payload, payload));
      BOOL loaded = LoadJob(path);
      BYTE reply[8];
      PushMessage(reply, BuildAttachResultMessage(loaded, reply));
      if (loaded) {
        PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
        WriteLog("shm", "[SYS] Attach command");
      }
      return;
    }
    case kMsgDetach:
      m_bDetachRequested = TRUE;
      PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
      WriteLog("shm", "[SYS] Detach command");
      return;
    case kMsgStart:
      PostMessage(kCmdStartOnly);
      WriteLog("shm", "[SYS] Start command");
      return;
    case kMsgStop:
      PostMessage(kCmdStopOnly);
      WriteLog("shm", "[SYS] Stop command");
      return;
    case kMsgPause: WriteLog("shm", "[SYS] Pause command"); return;
    case kMsgResume: WriteLog("shm", "[SYS] Resume command"); return;
    case kMsgToolOk:
      if (m_pRx) {
        m_pRx->SetState("TRANSMITTING");
        m_pRx->SetMessageText("");
        WriteLog("shm", "[SYS] Tool OK command");
      }
      return;
    case kMsgExit:
      PostMessage(WM_COMMAND, IDCANCEL);
      WriteLog("shm", "[SYS] Exit command");
      return;
    case kMsgLanguage:
      g_nUiLanguage = byte;
      log.Format("[SYS] Lang command:%d", byte);
      WriteLog("shm", log);
      return;
    case kMsgShowHide:
      if (byte) {
        ShowEngineWindow();
        WriteLog("shm", "[SYS] Show command");
      } else {
        WriteLog("shm", "[SYS] Hide command");
        ShowWindow(SW_HIDE);
      }
      return;
    case kMsgZAdjust:
      m_Protocol.SendZAdjust(payload >= 2 ? (WORD)(m.payload[0] | (m.payload[1] << 8)) : 0);
      WriteLog("shm", "[SYS] ZAdj command");
      return;
    case kMsgMachineOutputs: {
      CString text((const char*)m.payload, (int)strnlen((const char*)m.payload, payload));
      HandleOutputParameter(text);
      return;
    }
    case kMsgRomParams: {
      WORD word = payload >= 2 ? (WORD)(m.payload[0] | (m.payload[1] << 8)) : 0;
      WORD n = payload >= 4 ? (WORD)(m.payload[2] | (m.payload[3] << 8)) : 0;
      // The message's own length bounds what is read: a length field larger than the
      // bytes received, or than a frame takes, is refused.
      BOOL sent = m_Protocol.SendRomParamMessage(m.payload, (int)payload);
      log.Format("[SYS] Rom Param: %u(len=%u)%s\r\n", word, n, sent ? "" : " refused");
      WriteLog("rom", log);
      return;
    }
    case kMsgForce2D:
      g_bForce2D = byte;
      log.Format("[SYS] Force2D command:%d", byte);
      WriteLog("shm", log);
      return;
    case kMsgSimulateTime:
      g_bSimuWithTime = byte;
      log.Format("[SYS] SimuWithTime command:%d", byte);
      WriteLog("shm", log);
      return;
    default: return;  // taken and ignored
  }
}

void CMardriveDlg::HandleOutputParameter(const char* text) {
  CString log;
  log.Format("[SYS] Param: %s\r\n", text);
  WriteLog("shm", log);
  WORD code = (WORD)std::atoi(text);
  const char* separator = std::strpbrk(text, " ,|/\\");
  if (!separator) return;
  long value = std::atol(separator + 1);
  if (code != 48 && code != 9) return;
  // The job keeps the outputs for the next start, as the operator's record does; the
  // planner takes them as its own state, on the processing thread while that runs.
  OperatorOutput output{code, (DWORD)value};
  if (code == 48) m_Job.SpindleSpeed = (double)output.nValue;
  if (code == 9) {
    WORD m = (WORD)output.nValue;
    if (m == 3 || m == 4) m_Job.SpindleOn = 1;
    if (m == 5) m_Job.SpindleOn = 0;
    if (m == 7 || m == 8) m_Job.CoolantOn = 1;
    if (m == 9) m_Job.CoolantOn = 0;
  }
  CSingleLock lock(&m_OutputLock, TRUE);
  if (m_bThreadIdle)
    ApplyOperatorOutput(output);
  else
    m_PendingOutputs.push_back(output);
}

void CMardriveDlg::ApplyOperatorOutput(const OperatorOutput& output) {
  if (output.nCode == 48) m_PathProcessor.SetSpindleSpeed(output.nValue);
  if (output.nCode == 9) m_PathProcessor.SendMCode((WORD)output.nValue);
}

void CMardriveDlg::TakePendingOutputs(BOOL leaving) {
  CSingleLock lock(&m_OutputLock, TRUE);
  for (const OperatorOutput& output : m_PendingOutputs) ApplyOperatorOutput(output);
  m_PendingOutputs.clear();
  if (leaving) m_bThreadIdle = 1;
}

void CMardriveDlg::PushMessage(const BYTE* bytes, UINT length) {
  if (m_pRx) m_pRx->PushMessage(bytes, length);
}

// ---------------------------------------------------------------------------------
// Timers

UINT_PTR CMardriveDlg::SetTimer(UINT_PTR id, UINT elapse_ms) {
  m_TimerDue[id] = ::GetTickCount() + elapse_ms;
  return CDialog::SetTimer(id, elapse_ms);
}

BOOL CMardriveDlg::KillTimer(UINT_PTR id) {
  m_TimerDue.erase(id);
  return CDialog::KillTimer(id);
}

// OnTimer kills the timer first (a WM_TIMER already queued for it goes too) and arms it
// again where it always does, so a timer run from here is one that came late. One
// handler may kill another's timer: each is looked up again before it runs.
void CMardriveDlg::ServeOverdueTimers() {
  if (m_bServingTimers) return;  // a handler below pumps messages
  m_bServingTimers = true;
  DWORD now = ::GetTickCount();
  std::vector<UINT_PTR> late;
  for (const auto& timer : m_TimerDue)
    if ((LONG)(now - timer.second) > (LONG)kTimerOverdue_ms) late.push_back(timer.first);
  for (UINT_PTR id : late)
    if (m_TimerDue.count(id)) OnTimer(id);
  m_bServingTimers = false;
}

LRESULT CMardriveDlg::OnPumpWake(WPARAM, LPARAM) {
  m_Protocol.Pump();
  ServeOverdueTimers();
  return 0;
}

void CMardriveDlg::CheckFinished(BOOL fromTimer) {
  if (!m_bTransmitting || m_bFinishPosted || m_nRecordCount == 0) return;
  // A simulation paced by the planned tag times releases its last tag before the moves
  // after it have had their time: it ends on the timer's look, as it always has.
  if (!fromTimer && m_bSimulatorLink && g_bSimuWithTime) return;
  DWORD v = (DWORD)std::strtoul(m_Protocol.GetTagProgressText(), nullptr, 10);
  if (v < m_nTotalTags || !m_Protocol.IsAllDelivered()) return;
  m_bFinishPosted = TRUE;
  SetRxState("FINISHED");
  SetRxMessage("");
  PostMessage(WM_COMMAND, IDC_ENGINE_STOP_TRANSMISSION);
}

void CMardriveDlg::OnTimer(UINT_PTR id) {
  KillTimer(id);
  switch (id) {
    case kTimerPump:
      m_Protocol.Pump();
      if (m_bTransmitting && !m_bFinishPosted && m_Protocol.IsAllDelivered() && m_pRx) {
        m_pRx->SetState("TRANSMITTED");
        m_pRx->SetMessageText("");
      }
      SetTimer(kTimerPump, 10);
      break;
    case kTimerDelayed:
      if (m_bSimulatorLink) PostDelayedNotify();
      SetTimer(kTimerDelayed, 10);
      break;
    case kTimerProgress:
      OnTimerProgress();
      SetTimer(kTimerProgress, 500);
      break;
    case kTimerFail:
      DispatchQueued();
      SetTimer(kTimerExit, 500);
      break;
    case kTimerStatus:
      OnTimerStatus();
      SetTimer(kTimerStatus, 500);
      break;
    case kTimerAttach:
      if (m_bLinkOpen && !m_bTransmitting && m_Protocol.IsDeviceOnline()) {
        KillTimer(kTimerAttachTimeout);
        SetRxState("ATTACHED");
        SetRxMessage("");
      } else {
        SetTimer(kTimerAttach, 20);
      }
      break;
    case kTimerParent: OnTimerParent(); break;
    case kTimerCommands: OnTimerCommands(); break;
    case kTimerAttachTimeout:
      if (m_pRx) {
        m_pRx->SetMessageText(LoadLangString(IDS_DEVICE_NOT_OPENED_CN, IDS_DEVICE_NOT_OPENED_EN));
        m_pRx->SetState("ERROR");
        m_bAttachCancel = 1;
        SetTimer(kTimerFail, 500);
      }
      break;
    case kTimerKeepAlive:
      if (m_bLinkOpen && m_pLink) {
        m_pLink->SendKeepAlive();
        if (m_pLink->IsLinkTimedOut()) PostMessage(kAbortMsg, kAbortLinkDown);
      }
      SetTimer(kTimerKeepAlive, 3000);
      break;
    case kTimerExit:
      StopProcessingThread();
      if (m_pLink) m_pLink->Close();
      EndDialog(0);
      break;
    case kTimerFifo:
      ReportFifoLevel();
      SetTimer(kTimerFifo, 1000);
      break;
    default: break;
  }
}

void CMardriveDlg::OnTimerProgress() {
  if (m_nRecordCount == 0) return;
  DWORD v = (DWORD)std::strtoul(m_Protocol.GetTagProgressText(), nullptr, 10);
  DWORD shown = std::min(v, m_nTotalTags);
  m_Progress.SetRange(0, (int)m_nTotalTags);
  m_Progress.SetPosition((int)shown);
  m_strTagProgress.Format("%lu/%lu", (unsigned long)shown, (unsigned long)m_nTotalTags);
  SetDlgItemText(IDC_ENGINE_TAG_PROGRESS, m_strTagProgress);
  if (m_pRx) {
    m_pRx->SetProjectedTime(m_PathProcessor.GetPlannedTagTime(-1));
    m_pRx->SetElapsedTime(m_PathProcessor.GetElapsedTime());
  }
  CheckFinished(TRUE);
  int queued = m_Protocol.GetQueuedCount();
  if (queued > 0) {
    CString text;
    text.Format("%ld/%ld", (long)queued, (long)m_Protocol.GetAckedCount());
    SetDlgItemText(IDC_ENGINE_FRAME_COUNT, text);
  }
}

void CMardriveDlg::OnTimerStatus() {
  if (m_bLinkOpen) {
    CString line = m_Protocol.GetStatusText();
    CString capability = m_Protocol.GetReplyC();
    capability.Trim();
    capability.MakeUpper();
    if (!line.IsEmpty() && capability == "ATC") line += "-" + capability;
    CString version = m_Protocol.GetControllerVersion();
    if (!version.IsEmpty()) line += "(" + version + ")";
    line += m_Protocol.IsOnline() ? " Online" : " Offline";
    Vec3 origin = m_Protocol.GetOriginPosition();
    CString position;
    position.Format(" (X%.0f,Y%.0f,Z%.0f)", origin.x, origin.y, origin.z);
    SetDlgItemText(IDC_ENGINE_STATUS, line + position);
    if (m_bTransmitting && !m_bFinishPosted && m_pRx)
      m_pRx->SetState(m_bEndOfData && m_Protocol.IsAllDelivered() ? "TRANSMITTED" : "TRANSMITTING");
    // A controller's start request starts an idle job; while one runs it is dropped.
    if (m_Protocol.TakeReplyR() && !m_bTransmitting) PostMessage(kCmdStartOnly);
  } else {
    SetDlgItemText(IDC_ENGINE_STATUS, "");
  }
  CString tagText = m_Protocol.GetTagProgressText();
  if (m_StartTime && !tagText.IsEmpty() && std::strtoul(tagText, nullptr, 10) < m_nTotalTags)
    SetDlgItemText(IDC_ENGINE_ELAPSED, FormatElapsed((ULONGLONG)(time(nullptr) - m_StartTime)));
}

void CMardriveDlg::OnTimerParent() {
  if (!IsProcessRunning((DWORD)m_nParentPid)) {
    if (m_bTransmitting) PostMessage(kCmdStopOnly);
    if (m_bLinkOpen) PostMessage(WM_COMMAND, IDC_ENGINE_CONNECT);
    WriteLog("frames", "Corvane is not running\r\n");
    PostMessage(WM_COMMAND, IDCANCEL);
    return;
  }
  SetTimer(kTimerParent, 500);
  OnTimerCommands();
}

void CMardriveDlg::OnTimerCommands() {
  KillTimer(kTimerCommands);
  if (!g_bStandalone) ShowWindow(SW_HIDE);
  if (m_pLink) m_pLink->ReTrans();
  PollCommands();
  SetTimer(kTimerCommands, 20);
}

int CMardriveDlg::ReportFifoLevel() {
  if (!m_bTransmitting || !m_pRx) return 0;
  DWORD written = 0, read = 0;
  m_Protocol.GetFifoLevel(&written, &read);
  m_pRx->SetFifoLevel(written, read);
  CString rate = ThroughputText();
  if (m_Settings.bShowDataRate && !rate.IsEmpty()) m_pRx->SetMessageText(rate);
  return 1;
}

// ---------------------------------------------------------------------------------
// Painting

void CMardriveDlg::OnPaint() {
  Default();
  DrawStatus(std::atof(m_strMaterialHeight), std::atof(m_strMaterialZero));
}

void CMardriveDlg::DrawStatus(double materialHeight_mm, double materialZeroOffset_mm) {
  CWnd* picture = GetDlgItem(IDC_ENGINE_MATERIAL);
  if (!picture || !picture->IsWindowVisible()) return;
  CRect r;
  picture->GetClientRect(&r);
  double zMax = std::atof(m_strZMax), zMin = std::atof(m_strZMin);
  double top = std::max(zMax, 0.0), bottom = std::min(zMin, -materialHeight_mm - materialZeroOffset_mm);
  double span = top - bottom;
  if (span <= 0 || r.Height() <= 4) return;
  auto yOf = [&](double z) { return r.top + 2 + (int)((top - z) / span * (r.Height() - 4)); };
  CClientDC dc(picture);
  dc.FillRect(&r, &m_WhiteBrush);
  CRect band(r.left + r.Width() / 4, yOf(-materialZeroOffset_mm), r.left + r.Width() * 3 / 4,
             yOf(-materialHeight_mm - materialZeroOffset_mm));
  dc.FillRect(&band, &m_HatchBrush);
  CPen* old = dc.SelectObject(&m_BluePen);
  dc.MoveTo(r.left, yOf(zMax));
  dc.LineTo(r.right, yOf(zMax));
  dc.SelectObject(&m_RedPen);
  dc.MoveTo(r.left, yOf(zMin));
  dc.LineTo(r.right, yOf(zMin));
  dc.SelectObject(old);
}
