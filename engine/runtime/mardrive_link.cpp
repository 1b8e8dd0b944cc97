// Attaching and detaching the device link: the link chosen by the job's connection,
// opened and bound to the frame protocol engine; closing it ends a launched engine.
#include "engine/runtime/mardrive_dlg.h"
#include "device/links/simu_link.h"
#include "device/links/udp_link.h"
#include "engine/protocol/notify_text.h"
#include "foundation/log.h"
#include "foundation/texts.h"
#include "resources/resource.h"

namespace {
const UINT kComMsg = ::RegisterWindowMessageA("CMardriveDlg_ComMsg");
const UINT kAbortMsg = ::RegisterWindowMessageA("CMardriveDlg_AbortMsg");
}  // namespace

void CMardriveDlg::ResetNotifyState() {
  CSingleLock lock(&m_NotifyLock, TRUE);
  m_nReleasedNotify = 0;
  m_nReleaseTick = 0;
  m_PendingNotify.clear();
  m_strLastDelayed.Empty();
  m_nPrevTag = -1;
}

void CMardriveDlg::ConfigureProtocol() {
  ReadFrameProtocolConfig(m_FrameConfig);
  FrameProtocolConfig config = m_FrameConfig;
  config.bLogCom = m_Trace.frames.bLogCom;
  config.bLogFrame = m_Trace.frames.bLogFrame;
  config.bCrcErrSimulate = m_Trace.frames.bCrcErrSimulate;
  config.bLostSimulate = m_Trace.frames.bLostSimulate;
  config.nQueueLimit = 10;
  m_Protocol.Configure(config);
  m_Protocol.ClearQueues();
}

void CMardriveDlg::OnButtonOpen() {
  if (m_bOpening) return;  // the open under way decides
  UpdateData(TRUE);
  ResetNotifyState();
  if (m_bLinkOpen) {
    CloseLink();
    if (!g_bStandalone) {
      DispatchQueued();
      EndDialog(0);
      return;
    }
  } else if (!OpenLink()) {
    return;
  }
  SetDlgItemText(IDC_ENGINE_FRAME_COUNT, "");
  m_nRecordIndex = 0;
  m_bLinkOpen = !m_bLinkOpen;
  SetDlgItemText(IDC_ENGINE_CONNECT, m_bLinkOpen ? LoadLangString(IDS_DISCONNECT_CN, IDS_DISCONNECT_EN)
                                                 : LoadLangString(IDS_CONNECT_CN, IDS_CONNECT_EN));
  if (CWnd* start = GetDlgItem(IDOK)) start->EnableWindow(m_bLinkOpen);
  if (CWnd* exit = GetDlgItem(IDCANCEL)) exit->EnableWindow(!m_bLinkOpen);
}

void CMardriveDlg::CloseLink() {
  KillTimer(kTimerPump);
  KillTimer(kTimerDelayed);
  // The thread and the planner's lists go before the link: nothing may feed a link
  // that is gone or lists that are being emptied.
  StopProcessingThread();
  if (m_pLink) {
    m_pLink->Close();
    if (auto* udp = dynamic_cast<CUdpLink*>(m_pLink.get())) WriteLog("frames", udp->GetStatsLine());
    if (auto* simu = dynamic_cast<CSimuLink*>(m_pLink.get())) WriteLog("frames", "[Simu] " + simu->GetStatsLine());
  }
  WriteLog("frames", m_Protocol.FormatStats());
  m_Protocol.Attach(nullptr, nullptr, kAbortMsg);
  m_pLink.reset();
  m_PathProcessor.Clear(FALSE);
  if (CWnd* jobFile = GetDlgItem(IDC_ENGINE_JOB_FILE)) jobFile->EnableWindow(TRUE);
  SetRxState("READY");
}

BOOL CMardriveDlg::OpenLink() {
  EngineLinkChoice choice = ChooseEngineLink(m_strConnection);
  m_bSimulatorLink = choice.nKind == kLinkSimu;
  std::unique_ptr<CDeviceLink> link = CreateEngineLink(choice.nKind);
  if (!link || !OpenEngineLink(*link, choice, m_Device, GetSafeHwnd(), kComMsg)) {
    CString text;
    text.Format(LoadLangString(IDS_DEVICE_OPEN_FAILED_CN, IDS_DEVICE_OPEN_FAILED_EN), (const char*)choice.strKind,
                (const char*)choice.strArgument);
    WriteLog("frames", "[SYS] " + text);
    if (m_pRx) {
      m_pRx->SetMessageText(text);
      m_pRx->SetState("ERROR");
      DispatchQueued();
      EndDialog(0);
    }
    return FALSE;
  }
  m_pLink = std::move(link);
  m_bOpening = TRUE;
  while (!m_pLink->IsOpen() && !m_bAttachCancel) {
    DispatchQueued();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  m_bOpening = FALSE;
  if (m_bAttachCancel) {
    m_pLink->Close();
    m_pLink.reset();
    m_bAttachCancel = 0;
    return FALSE;
  }
  ConfigureProtocol();
  m_Protocol.SetWakeMessage(kMsgPumpWake);
  m_Protocol.Attach(&m_Sink, m_pLink.get(), kAbortMsg);
  m_pLink->SetLastAckPack(-1);
  m_Protocol.SendSyncFrame();
  m_Protocol.SendSyncFrame();
  m_Protocol.RequestQueries(0);
  CString error;
  if (!PreparePlanner(error)) WriteLog("output", "[SYS] " + error);
  if (m_pRx) {
    m_pRx->SetProgressSeconds(0);
    m_pRx->SetProjectedTime(0.0);
  }
  if (CWnd* jobFile = GetDlgItem(IDC_ENGINE_JOB_FILE)) jobFile->EnableWindow(FALSE);
  SetTimer(kTimerPump, 20);
  return TRUE;
}

LRESULT CMardriveDlg::OnComMsg(WPARAM wParam, LPARAM lParam) {
  if (wParam != 0xFFFF) {
    m_Protocol.OnLinkData(wParam);
    CheckFinished();  // the last frame's ACK may end the job
    ServeOverdueTimers();
    return 0;
  }
  // The first device error wins; later ones are not looked at.
  LONG expected = 0;
  if (!m_bAttachCancel.compare_exchange_strong(expected, 1)) return 0;
  OnDeviceError(lParam);
  return 0;
}

void CMardriveDlg::OnDeviceError(LPARAM code) {
  switch ((int)code) {
    case -15:
      if (m_bTransmitting) {
        SetRxMessage(LoadLangString(IDS_STORAGE_FULL_CN, IDS_STORAGE_FULL_EN));
        SetRxState("ABORTED");
        m_PathProcessor.StopTagTimer();
        StopTransmission();
      }
      break;
    case -14:
    case -13:
      m_PathProcessor.StopTagTimer();
      SetRxMessage((int)code == -14 ? LoadLangString(IDS_OTHER_CONSOLE_CN, IDS_OTHER_CONSOLE_EN)
                                    : LoadLangString(IDS_NO_STORED_PATH_CN, IDS_NO_STORED_PATH_EN));
      SetRxState("ERROR");
      PumpMessagesFor(1000);
      PostMessage(WM_COMMAND, IDCANCEL);
      break;
    default: break;
  }
}

LRESULT CMardriveDlg::OnSocketNotify(WPARAM wParam, LPARAM lParam) {
  // The answer is read here and now: the ACK lets the next frame leave without a round
  // trip of the link's notification through the message queue.
  auto* udp = dynamic_cast<CUdpLink*>(m_pLink.get());
  if (udp && udp->ReceiveForReader((SOCKET)wParam, lParam)) return OnComMsg(1, 0);
  ServeOverdueTimers();
  return 0;
}
