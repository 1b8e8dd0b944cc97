// The planner writing into the frame protocol engine itself: the version the controller
// reported decides the G form, and a whole job's frames reach a controller that
// acknowledges them, byte for byte what the planner produced, in every frame generation
// and with the spill file on and off.
#include <cmath>
#include <cstring>

#include "engine/planner/tests/planner_fixture.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/fake_link.h"
#include "platform/bytes.h"

namespace planner_testing {
namespace {

constexpr UINT kAbortMsg = 0x8123;

class ProtocolLink : public PlannerTest {
 protected:
  void TearDown() override {
    m_protocol.ResetFifo();
    PlannerTest::TearDown();
  }

  void Configure(int version, bool fileFifo) {
    m_config.nProtocolVersion = version;
    m_config.bFileFifo = fileFifo ? TRUE : FALSE;
    m_config.nQueueLimit = 0;
    m_config.strAppFolder = m_dir.Path();
    m_link.m_nVersion = version;
    m_link.m_answer = CFakeLink::kAnswerChecked;
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(&m_owner, &m_link, kAbortMsg);
  }

  // Pumps until everything the planner queued has been acknowledged.
  void Deliver() {
    for (int i = 0; i < 200000 && !m_protocol.IsAllDelivered(); ++i) {
      m_protocol.Pump();
      m_protocol.OnLinkData(1);
    }
    ASSERT_TRUE(m_protocol.IsAllDelivered()) << (const char*)m_protocol.FormatStats();
  }

  // The data of the data frames written, one send of each (resends are not expected: every
  // frame is answered at once).
  std::vector<std::vector<BYTE>> WrittenData() const {
    std::vector<std::vector<BYTE>> out;
    int v = m_config.nProtocolVersion;
    for (const std::vector<BYTE>& w : m_link.m_writes) {
      DeviceFrame f;
      f.Clear();
      memcpy(f.m_bytes, w.data(), w.size() < sizeof(f.m_bytes) ? w.size() : sizeof(f.m_bytes));
      bool command = v == 5 ? bytes::Load16(f.m_bytes + kV5MarkOffset) == kFrameMarkCommand
                            : (bytes::Load16(f.m_bytes + kV7FlagsOffset) & kFrameFlagMark) != 0;
      if (command || f.IsDataEmpty(v)) continue;
      std::vector<BYTE> data(f.GetDataLength(v));
      data.resize((size_t)f.GetData(data.data(), v));
      out.push_back(data);
    }
    return out;
  }

  // A rapid and a half circle of short cuts (fitted into arcs) per tag: enough for several frames.
  static std::vector<PathRecord> Job() {
    std::vector<PathRecord> records;
    for (int tag = 0; tag < 4; ++tag) {
      records.push_back(MoveRecord(kGRapid, 5.0 * tag, 0, 2, kAxisBitsXYZ, true));
      for (int i = 0; i <= 60; ++i) {
        double a = 3.14159265358979323846 * i / 60;
        records.push_back(MoveRecord(kGLine, 5.0 * tag + 10 * cos(a), 10 * sin(a), -1, kAxisBitsXYZ));
      }
    }
    return records;
  }

  CManualTicks m_ticks;
  CFakeLink m_link;
  CRecordingSink m_owner;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol{m_ticks};
};

TEST_F(ProtocolLink, TheControllerVersionDecidesTheGForm) {
  struct Case {
    const char* versionReply;
    bool gForm;
  } cases[] = {{"VVER5300", true}, {"VVER5100", false}, {nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.versionReply ? c.versionReply : "no reply");
    Configure(5, false);
    if (c.versionReply) m_protocol.HandleReplyLine(c.versionReply);
    CPathProcessor processor;
    ASSERT_TRUE(StartJob(processor, &m_protocol, m_job, m_device, m_settings));
    EXPECT_EQ(c.gForm, processor.SupportsGCommands() != 0);
  }
}

// The frames the controller acknowledged carry exactly the stream the planner writes into
// a recording queue of the same capacity, and it decodes whole.
TEST_F(ProtocolLink, AWholeJobReachesTheControllerAsPlanned) {
  EnableArcFitting(m_job);
  for (int version : {5, 7}) {
    for (bool fileFifo : {false, true}) {
      SCOPED_TRACE("version " + std::to_string(version) + (fileFifo ? " spill file" : " memory"));
      m_link.m_writes.clear();
      Configure(version, fileFifo);

      CFrameRecorder recorder;
      recorder.m_nCapacity = m_protocol.GetFrameDataCapacity();
      CPathProcessor planned;
      ASSERT_TRUE(StartJob(planned, &recorder, m_job, m_device, m_settings));
      RunRecords(planned, m_device, m_job, Job());

      CPathProcessor sent;
      ASSERT_TRUE(StartJob(sent, &m_protocol, m_job, m_device, m_settings));
      RunRecords(sent, m_device, m_job, Job());
      EXPECT_FALSE(sent.IsOutputFailed());
      Deliver();

      std::vector<std::vector<BYTE>> written = WrittenData();
      EXPECT_GT(written.size(), 3u);
      std::vector<std::vector<BYTE>> expected = recorder.FrameData();
      ASSERT_EQ(expected.size(), written.size());
      for (size_t i = 0; i < expected.size(); ++i) {
        // A generation-5 frame carries its whole data area, zeros behind the stream's bytes.
        std::vector<BYTE>& w = written[i];
        ASSERT_GE(w.size(), expected[i].size()) << "frame " << i;
        if (version == 5) {
          for (size_t b = expected[i].size(); b < w.size(); ++b) ASSERT_EQ(0, w[b]) << "frame " << i << " byte " << b;
          w.resize(expected[i].size());
        }
        ASSERT_TRUE(expected[i] == w) << "frame " << i;
      }
      std::vector<StreamItem> items;
      std::string error;
      EXPECT_TRUE(DecodeFrames(written, items, error)) << error;
      EXPECT_EQ("", m_owner.WParams(kAbortMsg));
    }
  }
}

}  // namespace
}  // namespace planner_testing
