// Progress, responsiveness and cancel of one optimisation.
//
// The passes run on the UI thread, element by element. The progress dialog must repaint
// and its Cancel button must work, so the message queue is drained while they run. A
// drain (and the yield after it) is a system call, which per element would cost more
// than the optimisation itself, so it happens at most once every kDrainInterval_ms by
// the tick counter: the operator still sees the bar move and Cancel answered at once.
// Even the counter is read only every kStepsPerTick elements (a few microseconds of
// work at most).
#pragma once

#include "platform/core.h"

class COptimizeProgress {
 public:
  static constexpr DWORD kDrainInterval_ms = 10;
  static constexpr int kStepsPerTick = 64;

  // total: progress units of the whole optimisation (3 per element).
  COptimizeProgress(CProgressSink* sink, int total);

  // One element read: the count grows and is reported; the queue is drained when due.
  void Step();
  // k elements were inserted: the count grows by k and the total by 2k.
  void Inserted(int k);
  // Drains the message queue when the last drain is old enough.
  void Drain() {
    if (++m_nSinceTick >= kStepsPerTick) DrainIfDue();
  }
  // A cancel point: TRUE when the operator cancelled (never without a progress sink);
  // otherwise the thread yields once after each drain.
  BOOL IsCanceled();

  int GetCount() const { return m_nCount; }
  int GetTotal() const { return m_nTotal; }

 private:
  CProgressSink* m_pSink = nullptr;  // may be null: nothing reported, nothing cancels
  int m_nCount = 0;                  // elements done, inserted ones included
  int m_nTotal = 0;                  // grows by 2 per inserted element
  DWORD m_dwLastDrain = 0;           // tick count of the last drain
  bool m_bYieldDue = false;          // a drain happened since the last yield
  int m_nSinceTick = 0;              // Drain calls since the tick counter was read

  void DrainIfDue();
};
