// What a long operation on the UI thread needs of a progress display.
//
// Loaders and optimisers are portable and never see a dialog: they take a
// CProgressSink*, which the progress dialog implements (and tests fake). nullptr means
// no progress display.
#pragma once

#include "platform/types.h"

class CProgressSink {
 public:
  virtual ~CProgressSink() = default;
  // Position within range; both may grow while the operation runs.
  virtual void SetProgress(int position, int range) = 0;
  // Non-zero once the operator asked to cancel.
  virtual BOOL IsCanceled() = 0;
};
