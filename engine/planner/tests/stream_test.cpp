// The output buffer against a queue that takes less or refuses, and the stream decoder
// against padded frames, commands cut anywhere and malformed input.
#include "engine/planner/tests/planner_fixture.h"

namespace planner_testing {
namespace {

using Stream = PlannerTest;

std::vector<PathRecord> SomeJob() {
  std::vector<PathRecord> records;
  for (int tag = 0; tag < 6; tag++) {
    records.push_back(MoveRecord(kGRapid, tag * 10.0, 0, 5, kAxisBitsXYZ, true));
    records.push_back(MoveRecord(kGLine, tag * 10.0, 0, -1, kAxisBitZ, true));
    for (int k = 1; k <= 30; k++) records.push_back(MoveRecord(kGLine, tag * 10.0 + k * 0.3, k % 3, -1, 0xC0));
    records.push_back(TagRecord("M", 8));
  }
  return records;
}

// A queue that takes fewer bytes than offered gets the rest offered again: the stream is
// the same, byte for byte.
TEST_F(Stream, AQueueThatTakesLessGetsEveryByte) {
  Run(SomeJob());
  std::vector<BYTE> whole = m_queue.Stream();
  m_queue.Clear();
  m_queue.m_nTakeAtMost = 50;
  Run(SomeJob());
  EXPECT_EQ(whole, m_queue.Stream());
  for (const auto& f : m_queue.m_frames) EXPECT_LE(f.data.size(), 50u);
}

// A refused frame stops the job: nothing more is queued and every further record reports it.
TEST_F(Stream, ARefusedFrameStopsTheJob) {
  m_queue.m_nRefuseAfter = 3;
  ASSERT_TRUE(StartJob(m_proc, &m_queue, m_job, m_device, m_settings));
  EXPECT_EQ(kOutputFailed, RunRecords(m_proc, m_device, m_job, SomeJob()));
  EXPECT_TRUE(m_proc.IsOutputFailed());
  EXPECT_EQ(3u, m_queue.m_frames.size());
  EXPECT_EQ(1, m_queue.m_nRefused);
  PathRecord more = MoveRecord(kGLine, 1, 1, 1);
  EXPECT_EQ(kOutputFailed, m_proc.ProcessRecord(&more));
  EXPECT_EQ(kOutputFailed, m_proc.ProcessRecord(nullptr));
  EXPECT_FALSE(m_queue.m_bDeliveredDone);
}

TEST_F(Stream, WithoutAQueueNothingIsKept) {
  ASSERT_TRUE(StartJob(m_proc, nullptr, m_job, m_device, m_settings));
  RunRecords(m_proc, m_device, m_job, SomeJob());
  EXPECT_FALSE(m_proc.IsOutputFailed());
}

// The controller joins frames wherever they were cut; a protocol 5 frame sent before it
// was full ends in padding.
TEST_F(Stream, TheDecoderJoinsFramesCutAnywhere) {
  UseGForm();
  Run(SomeJob());
  std::vector<BYTE> stream = m_queue.Stream();
  std::vector<StreamItem> expected = m_items;
  for (size_t cut = 2; cut + 2 < stream.size(); cut += 2 + cut / 7) {
    CCommandStreamDecoder d;
    ASSERT_TRUE(d.FeedFrame(stream.data(), cut));
    std::vector<BYTE> padded(stream.begin() + (long)cut, stream.end());
    ASSERT_TRUE(d.FeedFrame(padded.data(), padded.size()));
    ASSERT_TRUE(d.Finish()) << d.Error();
    ASSERT_EQ(expected.size(), d.Items().size()) << cut;
  }
  // Padding: every frame of 128 bytes, zero-filled after what was flushed.
  std::vector<std::vector<BYTE>> frames = m_queue.FrameData();
  for (auto& f : frames) f.resize(128, 0);
  std::vector<StreamItem> items;
  std::string error;
  ASSERT_TRUE(DecodeFrames(frames, items, error)) << error;
  EXPECT_EQ(expected.size(), items.size());
}

TEST_F(Stream, MalformedStreams) {
  struct Case {
    const char* bytes;
    const char* error;
  } cases[] = {
      {"03 00 02 00 03 00", "not a command word at byte 0"},
      {"03 80 02 00 03 00 05 00", "not a command word at byte 6"},
      {"63 81 02 00 03 00", "unknown command code 355 at byte 0"},
      {"03 80 04 00 03 00 00 00", "payload length does not fit command 3 at byte 0"},
      {"0A 80 02 00 03 00", "payload length does not fit command 10 at byte 0"},
      {"44 80 0C 00 01 00 01 00 02 00 03 00 04 00 00 00 05 00 00 00", "item size does not fit the move code at byte 0"},
      {"24 80 0C 00 31 00 08 00 08 00 00 00 00 00 00 00", "G line length does not fit its control word at byte 0"},
      {"03 80 02 00", "unfinished command at the end of the stream at byte 0"},
      {"03 80 02 00 03 00 00 00 01 00", "data after the padding of a frame at byte 6"},
  };
  for (const Case& c : cases) {
    std::vector<StreamItem> items;
    std::string error;
    EXPECT_FALSE(DecodeFrames({Hex(c.bytes)}, items, error)) << c.bytes;
    EXPECT_EQ(c.error, error) << c.bytes;
  }
}

}  // namespace
}  // namespace planner_testing
