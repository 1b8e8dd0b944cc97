#include "engine/planner/testing/frame_recorder.h"

#include <algorithm>

namespace planner_testing {

WORD CFrameRecorder::QueueDataFrame(BOOL priority, const BYTE* bytes, int count) {
  if (count <= 0) return 0;
  if (m_nRefuseAfter >= 0 && (int)m_frames.size() >= m_nRefuseAfter) {
    m_nRefused++;
    return 0;
  }
  int take = std::min(count, (int)m_nCapacity);
  if (m_nTakeAtMost > 0) take = std::min(take, m_nTakeAtMost);
  Frame f;
  f.priority = priority != 0;
  f.data.assign(bytes, bytes + take);
  f.fifoMarksBefore = m_nFifoMarks;
  m_frames.push_back(std::move(f));
  return (WORD)take;
}

std::vector<BYTE> CFrameRecorder::Stream() const {
  std::vector<BYTE> all;
  for (const Frame& f : m_frames) all.insert(all.end(), f.data.begin(), f.data.end());
  return all;
}

std::vector<std::vector<BYTE>> CFrameRecorder::FrameData() const {
  std::vector<std::vector<BYTE>> out;
  for (const Frame& f : m_frames) out.push_back(f.data);
  return out;
}

void CFrameRecorder::Clear() {
  m_frames.clear();
  m_nFifoMarks = 0;
  m_bDeliveredDone = false;
  m_nRefused = 0;
}

}  // namespace planner_testing
