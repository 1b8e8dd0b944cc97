// Controller lines: each good line the frame protocol engine reads arrives here as a
// posted heap copy. Its letter says where it goes in the channel header; lines go on to
// the operator program as message 20, tag progress as message 21. With the simulator
// and "simulate with time", tag lines are held back and released at the pace of the
// planned tag times.
#include <cstdlib>
#include <cstring>

#include "engine/protocol/notify_text.h"
#include "engine/runtime/mardrive_dlg.h"
#include "engine/runtime/status_report.h"
#include "foundation/log.h"
#include "foundation/settings.h"

namespace {

// Whole seconds since the start of the run.
int SecondsSince(time_t start) { return start ? (int)(time(nullptr) - start) : 0; }

bool StartsWithNoCase(const char* text, const char* prefix) {
  return _strnicmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

LRESULT CMardriveDlg::OnDeviceNotify(WPARAM, LPARAM lParam) {
  const char* text = GetNotifyText(lParam);
  if (m_pRx && text) HandleReplyLine(text);
  FreeNotifyText(lParam);
  return 0;
}

void CMardriveDlg::HandleReplyLine(CString line) {
  line.TrimRight();
  BYTE message[kChannelSlotSize];
  UINT length = BuildLineMessage(line, message);
  WriteLog("output", line);
  if (line.IsEmpty()) return;
  const char letter = (char)toupper((unsigned char)line[0]);
  CString rest = line.Mid(1);
  const bool header = !g_bStandalone;
  const double res[3] = {m_Device.m_dResX, m_Device.m_dResY, m_Device.m_dResZ};
  Vec3 mm;
  switch (letter) {
    case 'T':
      if (header) m_pRx->SetReplyT(rest);
      break;
    case 'S':
      if (header) m_pRx->SetRunMode(rest);
      break;
    case 'V':
      if (header) m_pRx->SetReplyV(rest);
      break;
    case 'C':
      if (header) m_pRx->SetReplyC(rest);
      break;
    case 'R':
      if (header) m_pRx->SetReplyR(rest);
      break;
    case 'W':
      if (header && ParseReplyPosition(line, res, mm)) m_pRx->SetPositionW(mm.x, mm.y, mm.z);
      break;
    case 'O':
      if (header && ParseReplyPosition(line, res, mm)) m_pRx->SetPositionO(mm.x, mm.y, mm.z);
      break;
    case 'P':
      if (StartsWithNoCase(rest, "CANCEL")) {
        m_PathProcessor.StopTagTimer();
      } else if (StartsWithNoCase(rest, "PAUSE")) {
        m_PathProcessor.PauseTagTimer();
        if (header) m_pRx->SetRunMode("PAUSE");
      } else if (StartsWithNoCase(rest, "CONTINUE")) {
        m_PathProcessor.StartTagTimer();
        if (header) m_pRx->SetRunMode("CONTINUE");
      } else {
        break;
      }
      if (header) PushMessage(message, length);
      break;
    case 'G': {
      DWORD tag = 0;
      // A number outside the job is not this job's progress.
      if (!ParseTagProgress(rest, m_nTotalTags, tag)) break;
      m_nCurrentTag = tag;
      if ((LONGLONG)tag != m_nPrevTag) m_PathProcessor.OnTagProgress((int)tag);
      m_nPrevTag = tag;
      if (header) {
        m_pRx->SetReplyG(rest);
        m_pRx->SetProgressSeconds(SecondsSince(m_StartTime));
        BYTE progress[16];
        PushMessage(progress, BuildProgressMessage(tag, m_nTotalTags, progress));
      }
      CheckFinished();  // the last tag may end the job
      break;
    }
    default: PushMessage(message, length); break;
  }
}

LRESULT CMardriveDlg::OnNotifyDelayed(WPARAM, LPARAM lParam) {
  const char* text = GetNotifyText(lParam);
  if (!text) return 0;
  CString r(text);
  FreeNotifyText(lParam);
  r.Trim();
  if (!m_pRx || r.IsEmpty() || r == m_strLastDelayed) return 0;
  m_strLastDelayed = r;
  // A tag outside the job is not its progress: taken as the last tag it would end the
  // run early.
  DWORD tag = 0;
  if (!ParseTagProgress(r.Mid(1), m_nTotalTags, tag)) {
    WriteLog("output", "[SYS] Tag outside the job: " + r);
    return 0;
  }
  if (m_bSimulatorLink && g_bSimuWithTime && std::atol(r.Mid(1)) != 0) {
    CSingleLock lock(&m_NotifyLock, TRUE);
    if (m_PendingNotify.empty() || m_PendingNotify.back() != r) m_PendingNotify.push_back(r);
    return 0;
  }
  m_Protocol.SetTagProgressText(r.Mid(1));
  HandleReplyLine(r);  // at once: one more trip through the queue would cost every tag a post
  return 0;
}

void CMardriveDlg::PostDelayedNotify() {
  CString line;
  {
    CSingleLock lock(&m_NotifyLock, TRUE);
    if (m_PendingNotify.empty()) return;
    double planned_ms = m_PathProcessor.GetPlannedTagTime(m_nReleasedNotify) * 1000.0;
    if (m_nReleaseTick == 0 || GetTicksSince(m_nReleaseTick) <= (DWORD)planned_ms) return;
    line = m_PendingNotify.front();
    m_PendingNotify.pop_front();
    ++m_nReleasedNotify;
    m_nReleaseTick = ::GetTickCount() ? ::GetTickCount() : 1;
  }
  m_Protocol.SetTagProgressText(line.Mid(1));
  PostNotifyText(&m_Sink, line, FALSE);
}
