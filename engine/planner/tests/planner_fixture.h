// The fixture of the planner's tests: a fresh program folder, a plain machine and job, a
// processor writing into a frame recorder, and the stream read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/planner/command_codes.h"
#include "engine/planner/path_processor.h"
#include "engine/planner/testing/command_stream.h"
#include "engine/planner/testing/frame_recorder.h"
#include "engine/planner/testing/job_driver.h"
#include "foundation/tests/app_folder_test.h"

namespace planner_testing {

class PlannerTest : public EnglishAppFolderTest {
 protected:
  // A controller that takes G commands.
  void UseGForm() { m_queue.m_strVersion = "VER5300"; }

  // Starts the job (range first..last) and runs the records as one copy; the stream is
  // decoded into m_items. Fails the test when the stream does not decode.
  void Run(const std::vector<PathRecord>& records, int firstTag = 0, int lastTag = 0) {
    ASSERT_TRUE(StartJob(m_proc, &m_queue, m_job, m_device, m_settings, firstTag, lastTag));
    m_result = RunRecords(m_proc, m_device, m_job, records, m_autoToolChange);
    Decode();
  }
  void Decode() {
    std::string error;
    ASSERT_TRUE(DecodeFrames(m_queue.FrameData(), m_items, error)) << error;
  }
  // The items after the start commands (from the first move or tag marker on).
  std::vector<StreamItem> Moves() const {
    std::vector<StreamItem> out;
    for (const StreamItem& i : m_items)
      if (i.IsMove()) out.push_back(i);
    return out;
  }
  // Short and long commands of one code, in order.
  std::vector<DWORD> Values(WORD code) const {
    std::vector<DWORD> out;
    for (const StreamItem& i : m_items)
      if (i.kind == ItemKind::kCommand && i.code == code) out.push_back(i.value);
    return out;
  }
  // The codes of the short and long commands, in order (moves as 0xFFFF).
  std::vector<WORD> Sequence(bool withMoves = true) const {
    std::vector<WORD> out;
    for (const StreamItem& i : m_items) {
      if (i.IsMove()) {
        if (withMoves) out.push_back(0xFFFF);
      } else if (i.kind == ItemKind::kCommand) {
        out.push_back(i.code);
      }
    }
    return out;
  }
  // Raw stream bytes from `offset` (may be before an item's offset) on, `count` of them.
  std::vector<BYTE> Bytes(long offset, size_t count) const {
    std::vector<BYTE> all = m_queue.Stream();
    if (offset < 0 || (size_t)offset + count > all.size()) return {};
    return std::vector<BYTE>(all.begin() + offset, all.begin() + offset + (long)count);
  }
  // The first `size` bytes of the first item of `kind` with `code`.
  std::vector<BYTE> CommandBytes(ItemKind kind, WORD code, size_t size) const {
    for (const StreamItem& i : m_items)
      if (i.kind == kind && i.code == code) return Bytes((long)i.offset, size);
    return {};
  }

  CFrameRecorder m_queue;
  CPathProcessor m_proc;
  DeviceParams m_device = PlainDevice();
  JobRecord m_job = PlainJob(10);
  PlannerSettings m_settings = PlainSettings();
  bool m_autoToolChange = true;
  int m_result = 0;
  std::vector<StreamItem> m_items;
};

inline std::vector<BYTE> Hex(const char* text) {
  std::vector<BYTE> out;
  unsigned v;
  int n;
  while (std::sscanf(text, " %2x%n", &v, &n) == 1) {
    out.push_back((BYTE)v);
    text += n;
  }
  return out;
}

}  // namespace planner_testing
