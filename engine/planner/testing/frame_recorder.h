// A frame queue that records what the path processor queues, for tests: every data frame
// with its bytes, the FIFO-end marks and the end of delivery. It can refuse frames or
// take fewer bytes than offered, as a full or failing queue would.
#pragma once

#include <vector>

#include "engine/protocol/frame_queue.h"

namespace planner_testing {

class CFrameRecorder : public IFrameQueue {
 public:
  struct Frame {
    bool priority = false;
    std::vector<BYTE> data;
    int fifoMarksBefore = 0;  // MarkFifoEnd calls before this frame was queued
  };

  WORD QueueDataFrame(BOOL priority, const BYTE* bytes, int count) override;
  void MarkFifoEnd() override { m_nFifoMarks++; }
  void SetDeliveredDone() override { m_bDeliveredDone = true; }
  WORD GetFrameDataCapacity() const override { return m_nCapacity; }
  BOOL IsFileTarget() const override { return m_bFileTarget; }
  CString GetControllerVersion() override { return m_strVersion; }

  // The joined stream of all data frames.
  std::vector<BYTE> Stream() const;
  std::vector<std::vector<BYTE>> FrameData() const;
  void Clear();

  // ---- behaviour
  WORD m_nCapacity = 128;  // 128 protocol 5, 1024 protocol 7
  bool m_bFileTarget = false;
  CString m_strVersion;     // controller version text ("VER5300")
  int m_nRefuseAfter = -1;  // frames accepted before every further one is refused; -1 never
  int m_nTakeAtMost = 0;    // bytes taken per call at most (0: a whole frame's worth)

  // ---- what happened
  std::vector<Frame> m_frames;
  int m_nFifoMarks = 0;
  bool m_bDeliveredDone = false;
  int m_nRefused = 0;
};

}  // namespace planner_testing
