// A progress display for tests: records what it is told and cancels on request.
#pragma once

#include "platform/core.h"

class CProgressProbe : public CProgressSink {
 public:
  int reports = 0;
  int lastPosition = -1;
  int lastRange = -1;
  int cancelAfterReports = 0;  // cancel from this report on; 0: never
  void SetProgress(int position, int range) override {
    ++reports;
    lastPosition = position;
    lastRange = range;
  }
  BOOL IsCanceled() override { return cancelAfterReports != 0 && reports >= cancelAfterReports; }
};
