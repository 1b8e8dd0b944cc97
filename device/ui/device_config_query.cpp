// The Device Configuration dialog's exchange with the controller: one request at a time
// through the attached job's engine, each answered or resent, and the answers stored.
//
// Timer 3 runs only while a query does: its tick means the current request is overdue.
// The Repeat budget belongs to the whole query, not to one request: every resend spends
// one, and a tick with none left ends the query with "Communication timeout !". Every
// forwarded line counts as the answer to the current request, whatever index it names.
#include "device/ui/device_config_dlg.h"

#include "foundation/texts.h"
#include "jobs/table/job_manager.h"
#include "resources/resource.h"

CString CDeviceConfigDlg::CurrentJobName() const {
  CString entry;
  int at = m_cmbJob.GetCurSel();
  if (at < 0) return CString();
  m_cmbJob.GetLBText(at, entry);
  int sign = entry.Find('@');
  return sign < 0 ? CString() : entry.Left(sign);
}

void CDeviceConfigDlg::OnJobSelChange() { m_strJobName = CurrentJobName(); }

void CDeviceConfigDlg::EndQuery() {
  KillTimer(kTimerAnswer);
  m_bBusy = FALSE;
  GetDlgItem(IDC_ROM_READ)->EnableWindow(TRUE);
  GetDlgItem(IDC_ROM_WRITE)->EnableWindow(TRUE);
}

void CDeviceConfigDlg::StartQuery(int reading) {
  if (m_bBusy) {
    EndQuery();
    return;
  }
  m_arrPending.RemoveAll();
  for (int i = 0; i < m_list.GetItemCount(); ++i) {
    if (m_list.GetCellCheckState(i, 0) != 1) continue;
    CString index = m_list.GetItemText(i, 0);
    index.Trim();
    m_arrPending.Add(index);
  }
  m_nTotal = (WORD)m_arrPending.GetSize();
  if (m_nTotal == 0) return;
  CString format;
  format.Format(LoadLangString(IDS_ROM_PROGRESS_CN, IDS_ROM_PROGRESS_EN), (int)m_nTotal);
  m_progress.SetTextFormat(format, PPS_TEXT_POSITION);

  m_strJobName = CurrentJobName();
  if (m_strJobName.IsEmpty()) return;

  m_queue.clear();
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    for (const CString& index : m_arrPending) {
      auto it = g_RomParamMap.m_map.find((WORD)(ParseIndex(index) & 0xFFFF));
      if (it != g_RomParamMap.m_map.end()) m_queue.push_back(MakeRomRequest(it->second));
    }
  }
  if (m_queue.empty()) return;
  m_current = m_queue.front();
  m_queue.pop_front();
  m_bBusy = TRUE;
  // A stop pressed during an earlier query that then timed out must not end this one.
  InterlockedExchange(&m_lStop, 0);
  m_nReading = reading;
  m_nRetriesLeft = m_nRepeat;
  SendRomRequest();
  m_progress.SetRange(0, m_nTotal);
  SetTimer(kTimerAnswer, m_nTimeout);
}

void CDeviceConfigDlg::SendRomRequest() {
  // Encoded afresh from the request each time, so a resend repeats the first bytes.
  BYTE bytes[kRomWriteBufferSize];
  int count = EncodeRomRequest(m_current, m_nReading != 0, bytes);
  CJobManager::SendRomParam(m_strJobName, m_nReading ? kRomReadCode : kRomWriteCode, bytes, (WORD)count);
  GetDlgItem(IDC_ROM_READ)->EnableWindow(FALSE);
  GetDlgItem(IDC_ROM_WRITE)->EnableWindow(FALSE);
}

LRESULT CDeviceConfigDlg::OnDeviceReply(WPARAM wParam, LPARAM lParam) {
  if (wParam != 1) return 0;
  CString text;
  if (lParam) {
    char* line = (char*)lParam;
    text = line;
    delete[] line;
  }
  CString indexText, flagText, valueText;
  if (!text.IsEmpty() && SplitRomAnswer(text, indexText, flagText, valueText))
    StoreDeviceValue(indexText, flagText, valueText);
  if (!m_bBusy) return 0;
  KillTimer(kTimerAnswer);
  if (InterlockedExchange(&m_lStop, 0)) {
    m_queue.clear();
    m_bBusy = FALSE;
    return 0;
  }
  if (!m_queue.empty()) {
    m_current = m_queue.front();
    m_queue.pop_front();
    SendRomRequest();
    SetTimer(kTimerAnswer, m_nTimeout);
    return 0;
  }
  EndQuery();
  return 0;
}

void CDeviceConfigDlg::StoreDeviceValue(const char* indexText, const char* flagText, const char* valueText) {
  WORD index = (WORD)(ParseIndex(CString("0x") + indexText) & 0xFFFF);
  CString name;
  name.Format("0x%02x", index);
  for (int i = 0; i < m_arrPending.GetSize(); ++i) {
    if (m_arrPending[i] == name) {
      m_arrPending.RemoveAt(i);
      break;
    }
  }
  if (CString(flagText) == "-") return;
  CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
  auto it = g_RomParamMap.m_map.find(index);
  if (it != g_RomParamMap.m_map.end()) SetValueFromDevice(it->second, valueText);
}

void CDeviceConfigDlg::OnStop() { InterlockedExchange(&m_lStop, 1); }

void CDeviceConfigDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerControls:
      m_progress.SetPosition(m_nTotal - (int)m_arrPending.GetSize());
      UpdateControls();
      return;
    case kTimerRefresh: RefreshParamList(); return;
    case kTimerAnswer:
      if (!m_bBusy) {
        KillTimer(kTimerAnswer);
        return;
      }
      if (m_nRetriesLeft < 1) {
        EndQuery();
        ShowMessage(LoadLangString(IDS_ROM_TIMEOUT_CN, IDS_ROM_TIMEOUT_EN), MB_OK);
        return;
      }
      --m_nRetriesLeft;
      SendRomRequest();
      return;
  }
  CDialog::OnTimer(id);
}

void CDeviceConfigDlg::UpdateControls() {
  CString index;
  GetDlgItemText(IDC_ROM_INDEX, index);
  BOOL idle = !m_bBusy;
  int rows = m_list.GetItemCount(), checked = CheckedRows();
  auto enable = [this](UINT id, BOOL on) {
    if (CWnd* control = GetDlgItem(id)) control->EnableWindow(on);
  };
  enable(IDC_ROM_UPDATE_LIST, idle && !index.IsEmpty());
  enable(IDC_ROM_DELETE, idle && !index.IsEmpty());
  enable(IDC_ROM_CLEAR_ALL, idle && rows > 0);
  enable(IDC_ROM_SAVE, idle && rows > 0);
  enable(IDC_ROM_JOB, idle && m_cmbJob.GetCount() > 0);
  BOOL canQuery = idle && checked > 0 && !m_strJobName.IsEmpty() && rows > 0;
  enable(IDC_ROM_READ, canQuery);
  enable(IDC_ROM_WRITE, canQuery);
  enable(IDC_ROM_STOP, m_bBusy);
  CString count;
  count.Format("%lu / %lu", (unsigned long)checked, (unsigned long)rows);
  CString shown;
  GetDlgItemText(IDC_ROM_COUNT, shown);
  if (shown != count) SetDlgItemText(IDC_ROM_COUNT, count);
}
