#include "nc/optimize/optimize_progress.h"

COptimizeProgress::COptimizeProgress(CProgressSink* sink, int total)
    : m_pSink(sink), m_nTotal(total), m_dwLastDrain(GetTickCount()) {}

void COptimizeProgress::Step() {
  m_nCount++;
  if (m_pSink) m_pSink->SetProgress(m_nCount, m_nTotal);
  Drain();
}

void COptimizeProgress::Inserted(int k) {
  m_nCount += k;
  m_nTotal += 2 * k;
}

void COptimizeProgress::DrainIfDue() {
  m_nSinceTick = 0;
  DWORD now = GetTickCount();
  if (now - m_dwLastDrain < kDrainInterval_ms) return;
  m_dwLastDrain = now;
  platform::PumpMessages();
  m_bYieldDue = true;
}

BOOL COptimizeProgress::IsCanceled() {
  if (m_pSink && m_pSink->IsCanceled()) return TRUE;
  if (m_bYieldDue) {
    m_bYieldDue = false;
    Sleep(0);
  }
  return FALSE;
}
