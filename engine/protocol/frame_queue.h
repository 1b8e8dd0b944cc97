// What the path processor needs of the frame protocol engine: a place to queue each
// frame's worth of the command stream, and the marks that publish packed runs to the
// sender. The frame protocol engine implements it; planner tests use a recorder.
#pragma once

#include "platform/cstring.h"
#include "platform/types.h"

class IFrameQueue {
 public:
  virtual ~IFrameQueue() = default;
  // Builds one data frame from min(count, GetFrameDataCapacity()) bytes and queues it
  // (priority frames overtake the normal queue). Returns the bytes taken; 0 for a
  // count above 0 means the frame could not be queued and the job must stop.
  virtual WORD QueueDataFrame(BOOL priority, const BYTE* bytes, int count) = 0;
  // Frames queued so far become visible to the sender (end of a packed run).
  virtual void MarkFifoEnd() = 0;
  // The producer has queued its last frame.
  virtual void SetDeliveredDone() = 0;
  // Data bytes one device frame carries: 128 for protocol 5, 1024 for protocol 7.
  virtual WORD GetFrameDataCapacity() const = 0;
  // The link writes to a file ("FILE:..."), so nothing is timed.
  virtual BOOL IsFileTarget() const = 0;
  // The controller's version text from its version reply ("VER5300"), as received; empty
  // before it came. The planner sends G commands only to versions that take them.
  virtual CString GetControllerVersion() = 0;
  // One device command in a command frame of its own, which overtakes the job's data:
  // what the operator switches by hand while a job is planned. Dropped by default.
  virtual void SendWordCommand(WORD /*code*/, WORD /*value*/) {}
  virtual void SendLongCommand(WORD /*code*/, DWORD /*value*/) {}
};
