// A job run through the links the engine chooses for "SIMU:" and "FILE:": the link
// chosen, made and opened by the engine's own functions, the frame protocol attached
// as the engine attaches it, and the path processor feeding it a real job. The export
// file must read back, command for command, as the stream the processor wrote, without
// the tag marks that only a live controller needs.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/links/simu_link.h"
#include "engine/planner/command_codes.h"
#include "engine/planner/testing/command_stream.h"
#include "engine/planner/testing/frame_recorder.h"
#include "engine/planner/testing/job_driver.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/notify_text.h"
#include "engine/protocol/tests/engine_loop.h"
#include "engine/protocol/tests/fake_link.h"
#include "engine/runtime/engine_links.h"
#include "engine/runtime/tests/sample_job.h"
#include "foundation/tests/app_folder_test.h"

namespace {

using namespace planner_testing;

constexpr UINT kLinkMsg = 0x8100;
constexpr UINT kAbortMsg = 0x8123;

class EngineExportTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_config.strAppFolder = m_dir.Path();
    m_config.bFileFifo = FALSE;
    m_config.nQueueLimit = 0;
    m_job = PlainJob(6);
    m_device = PlainDevice();
  }
  void TearDown() override {
    m_protocol.ResetFifo();
    if (m_link) m_link->Close();
    EnglishAppFolderTest::TearDown();
  }

  // Chooses, makes and opens the link of the connection, then attaches as the engine
  // does: two sync frames and the status queries, answered before the job starts.
  bool Attach(const char* connection) {
    EngineLinkChoice choice = ChooseEngineLink(connection);
    m_link = CreateEngineLink(choice.nKind);
    if (!m_link) return false;
    m_link->SetNotifySink(&m_loop);
    if (!OpenEngineLink(*m_link, choice, m_device, nullptr, kLinkMsg)) return false;
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(&m_owner, m_link.get(), kAbortMsg);
    m_protocol.SendSyncFrame();
    m_protocol.SendSyncFrame();
    m_protocol.RequestQueries(0);
    RunUntil([&] { return m_protocol.IsDeviceOnline() && !m_protocol.GetControllerVersion().IsEmpty(); });
    return m_protocol.IsDeviceOnline() != FALSE;
  }

  void RunUntil(const std::function<bool()>& done) { m_loop.RunUntil(done); }

  // Runs the job into the protocol and waits until every frame is delivered.
  void Transmit(const std::vector<PathRecord>& records) {
    CPathProcessor processor;
    ASSERT_TRUE(StartJob(processor, &m_protocol, m_job, m_device, PlainSettings()));
    RunRecords(processor, m_device, m_job, records);
    RunUntil([&] { return m_protocol.IsAllDelivered() != FALSE; });
    ASSERT_TRUE(m_protocol.IsAllDelivered());
  }

  // What the processor writes for the job to a controller like the simulated one.
  CFrameRecorder Expected(const std::vector<PathRecord>& records, bool fileTarget) {
    CFrameRecorder recorder;
    recorder.m_strVersion = "VER5300";
    recorder.m_bFileTarget = fileTarget;
    CPathProcessor processor;
    EXPECT_TRUE(StartJob(processor, &recorder, m_job, m_device, PlainSettings()));
    RunRecords(processor, m_device, m_job, records);
    return recorder;
  }

  std::string Lines(char letter) {
    std::string out;
    for (const auto& p : m_owner.Posts())
      if (!p.text.empty() && p.text[0] == letter) out += (out.empty() ? "" : "|") + p.text;
    return out;
  }

  JobRecord m_job;
  DeviceParams m_device;
  CManualTicks m_ticks;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol{m_ticks};
  std::unique_ptr<CDeviceLink> m_link;
  CEngineLoop m_loop{m_protocol, m_ticks, kLinkMsg};
  CRecordingSink m_owner;
};

std::vector<std::string> Describe(const std::vector<StreamItem>& items, bool withTagMarks) {
  std::vector<std::string> out;
  for (const StreamItem& i : items)
    if (withTagMarks || i.kind != ItemKind::kCommand || i.code != DT_DH) out.push_back(Describe(i));
  return out;
}

TEST_F(EngineExportTest, FileExportIsTheCommandStream) {
  CString path = m_dir / "job.cf";
  ASSERT_TRUE(Attach("FILE:" + path));
  ASSERT_TRUE(m_protocol.IsFileTarget());
  Transmit(SixTagJob());
  m_link->Close();

  CFrameRecorder expected = Expected(SixTagJob(), true);
  std::vector<StreamItem> sent, exported;
  std::string error;
  ASSERT_TRUE(DecodeFrames(expected.FrameData(), sent, error)) << error;
  std::string file = testing_support::ReadFileBytes(path);
  ASSERT_TRUE(DecodeFrames({std::vector<BYTE>(file.begin(), file.end())}, exported, error)) << error;
  EXPECT_EQ(Describe(sent, false), Describe(exported, true));
  // Byte for byte the same length: the stream less its tag marks (8 bytes each), no
  // zero fill.
  size_t tagMarks = 0;
  for (const StreamItem& i : sent) tagMarks += i.kind == ItemKind::kCommand && i.code == DT_DH;
  EXPECT_GT(tagMarks, 0u);
  EXPECT_EQ(expected.Stream().size() - 8 * tagMarks, file.size());
  // The header went out whole.
  ASSERT_FALSE(exported.empty());
  auto head =
      std::find_if(exported.begin(), exported.end(), [](const StreamItem& i) { return i.kind == ItemKind::kHeader; });
  auto sentHead =
      std::find_if(sent.begin(), sent.end(), [](const StreamItem& i) { return i.kind == ItemKind::kHeader; });
  ASSERT_TRUE(head != exported.end() && sentHead != sent.end());
  EXPECT_EQ(sentHead->payload, head->payload);
}

// The simulator answers every tag mark with its "G" line, in order, and the job is
// delivered with every frame acknowledged at its first send.
TEST_F(EngineExportTest, SimulatorRunsTheJob) {
  ASSERT_TRUE(Attach("SIMU:"));
  EXPECT_FALSE(m_protocol.IsFileTarget());
  EXPECT_STREQ("ROUTER", m_protocol.GetStatusText());
  Transmit(SixTagJob());
  EXPECT_EQ(0u, m_protocol.GetStats().nFramesResent);
  std::vector<StreamItem> sent;
  std::string error;
  ASSERT_TRUE(DecodeFrames(Expected(SixTagJob(), false).FrameData(), sent, error)) << error;
  std::string tags;
  for (const StreamItem& i : sent)
    if (i.kind == ItemKind::kCommand && i.code == DT_DH)
      tags += (tags.empty() ? "G" : "|G") + std::to_string(i.value) + " ";
  EXPECT_FALSE(tags.empty());
  EXPECT_EQ(tags, Lines('G'));
}

TEST_F(EngineExportTest, LinksTheEngineMakes) {
#ifdef _WIN32
  const bool kSerialLinks = true;
#else
  const bool kSerialLinks = false;
#endif
  struct {
    const char* connection;
    bool made;
    bool opens;
  } cases[] = {
      {"SIMU:", true, true},
      {"simu:", true, true},
      {"FILE:job.cf", true, true},
      {"FILE:no such folder\\job.cf", true, false},
      {"FILE:", true, false},  // the folder itself
      // The serial link exists in the Windows build only; a port outside COM1..COM20
      // never opens.
      {"COM77:9600", kSerialLinks, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.connection);
    CString connection(c.connection);
    connection.Replace("FILE:", "FILE:" + m_dir / "");
    EngineLinkChoice choice = ChooseEngineLink(connection);
    std::unique_ptr<CDeviceLink> link = CreateEngineLink(choice.nKind);
    ASSERT_EQ(c.made, link != nullptr);
    if (!link) continue;
    EXPECT_EQ(c.opens, OpenEngineLink(*link, choice, m_device, nullptr, kLinkMsg) != FALSE);
    link->Close();
  }
#ifdef _WIN32
  EXPECT_TRUE(CreateEngineLink(kLinkNet) != nullptr);
#else
  EXPECT_TRUE(CreateEngineLink(kLinkNet) == nullptr);  // no sockets in the host build
#endif
  // The simulator and the file link only take their own kinds.
  CFakeLink other;
  EXPECT_FALSE(OpenEngineLink(other, ChooseEngineLink("SIMU:"), m_device, nullptr, kLinkMsg));
}

}  // namespace
