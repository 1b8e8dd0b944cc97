// The frame protocol engine over a real link to a test controller (tests/peers): the
// serial link on a pty pair (run_with_serial_peer.sh) or the UDP link on loopback
// (run_with_peer.sh); the environment says which.
//
// A job here is a command stream the test makes up: short and long commands, move
// blocks that cross frame boundaries, frames that end early in zero fill, and tag marks.
// The controller records the stream it executes (everything but the tag marks and the
// queries) and answers each tag mark with a "G" line; the test compares the record with
// the stream it sent, byte for byte, so a frame lost, doubled or out of order shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "device/links/serial_link.h"
#include "device/links/tests/udp_test_support.h"
#include "device/links/udp_link.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/notify_text.h"
#include "engine/protocol/tests/fake_link.h"
#include "platform/bytes.h"
#include "platform/testing/test_support.h"

using namespace udp_test;

namespace {

constexpr UINT kAbortMsg = WM_APP + 40;
constexpr WORD kCodeTag = 10;

bool IsSerial() { return getenv("CORVANE_SERIAL_PORT") != nullptr; }
bool HasModemLines() { return getenv("CORVANE_MODEM_PRELOAD") != nullptr; }
std::string PeerDir() {
  const char* d = getenv("CORVANE_PEER_DIR");
  return d ? d : "";
}
// A Linux path as the Wine program sees it.
std::string WinePath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// A made-up job: the bytes of each frame, and the stream the controller should record.
struct Job {
  std::vector<std::vector<BYTE>> frames;
  std::vector<BYTE> recorded;
  int tags = 0;
};

void PutCommand(std::vector<BYTE>& out, WORD code, const std::vector<BYTE>& payload) {
  BYTE head[4];
  bytes::Store16(head, (uint16_t)(0x8000 + code));
  bytes::Store16(head + 2, (uint16_t)payload.size());
  out.insert(out.end(), head, head + 4);
  out.insert(out.end(), payload.begin(), payload.end());
}

// Commands until `frameCount` frames of `capacity` bytes are filled. Every 7th frame
// ends at the last whole command that fits (zero fill follows); the others are full
// and cut commands anywhere.
Job MakeJob(int frameCount, int capacity, unsigned seed) {
  std::mt19937 rng(seed);
  Job job;
  std::vector<BYTE> frame;
  int tag = 0;
  while ((int)job.frames.size() < frameCount) {
    std::vector<BYTE> cmd;
    int kind = (int)(rng() % 10);
    if (kind < 4) {
      std::vector<BYTE> v(2);
      bytes::Store16(v.data(), (uint16_t)rng());
      static const WORD kShortCodes[] = {9, 11, 12, 13};  // machine words; 10 is the tag mark
      PutCommand(cmd, kShortCodes[kind], v);
    } else if (kind < 6) {
      std::vector<BYTE> v(4);
      bytes::Store32(v.data(), (uint32_t)rng());
      PutCommand(cmd, 48, v);
    } else if (kind < 9) {
      // A move block: word, item size, item count, items.
      int items = 1 + (int)(rng() % 6);
      BYTE head[6];
      bytes::Store16(head, 0x8041);
      bytes::Store16(head + 2, 14);
      bytes::Store16(head + 4, (uint16_t)items);
      cmd.assign(head, head + 6);
      for (int i = 0; i < items * 14; ++i) cmd.push_back((BYTE)rng());
    } else {
      std::vector<BYTE> v(4);
      bytes::Store32(v.data(), (uint32_t)++tag);
      PutCommand(cmd, kCodeTag, v);
    }
    bool early = job.frames.size() % 7 == 6;
    if (early && frame.size() + cmd.size() > (size_t)capacity) {
      job.frames.push_back(frame);
      frame.clear();
    }
    if (kind == 9)
      ++job.tags;
    else
      job.recorded.insert(job.recorded.end(), cmd.begin(), cmd.end());
    for (BYTE b : cmd) {
      frame.push_back(b);
      if ((int)frame.size() == capacity) {
        job.frames.push_back(frame);
        frame.clear();
      }
    }
  }
  if (!frame.empty()) job.frames.push_back(frame);
  return job;
}

class LinkPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ("PONG", Control("PING")) << "run through run_with_serial_peer.sh or run_with_peer.sh";
    if (IsSerial()) {
      if (Stat("attached") == 0) Control("REATTACH");
      for (const char* c : {"RESET", "FAULTS", "PFAULTS", "SILENT 0", "ECHO 0", "BAUD 0", "PROT 5", "ACKS numbered",
                            "BAD nak", "MODEM CTS DSR"})
        Control(c);
    } else {
      for (const char* c : {"RESET", "FORGET", "SILENT 0", "FAULTS", "PFAULTS", "STATUS ACK 0", "PROT 0",
                            "ACKS numbered", "BAD nak", "OTHER_CONSOLE 0"})
        Control(c);
    }
    m_record = PeerDir().empty() ? std::string() : PeerDir() + "/record.bin";
    m_config.strAppFolder = m_dir.Path();
    m_config.nAckTimeout_ms = 100;
    m_config.nRetryLimit = 30;
    m_config.bFileFifo = TRUE;
  }
  void TearDown() override {
    m_protocol.ResetFifo();
    if (m_link && m_link->IsOpen()) m_link->Close();
  }

  // Opens the link and attaches the protocol as the engine does (two sync frames and
  // the queries come from the caller).
  bool OpenLink() {
    m_window.onNotify = [this](WPARAM wParam, LPARAM) { m_protocol.OnLinkData(wParam); };
    if (IsSerial()) {
      auto serial = std::make_unique<CSerialLink>();
      if (!serial->Open(getenv("CORVANE_SERIAL_PORT"), 115200, 1, m_window.Handle(), kWmTestLinkNotify)) return false;
      m_link = std::move(serial);
    } else {
      m_link = ConnectUdpLinkToPeer(m_window, m_udpState);
      if (!m_link) return false;
    }
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(m_owner.get(), m_link.get(), kAbortMsg);
    return true;
  }

  void Tick() {
    m_link->ReTrans();
    m_protocol.Pump();
  }
  bool PumpUntil(DWORD timeout_ms, const std::function<bool()>& done) {
    return m_window.PumpUntil(
               timeout_ms, [&] { return done() || Aborted(); }, [this] { Tick(); }, 10) &&
           !Aborted();
  }
  // The link's own counters, for failure messages.
  std::string LinkStats() {
    if (auto* udp = dynamic_cast<CUdpLink*>(m_link.get())) return (const char*)udp->GetStatsLine();
    if (auto* serial = dynamic_cast<CSerialLink*>(m_link.get())) return (const char*)serial->GetStatsLine();
    return "";
  }
  bool Aborted() { return !m_owner->WParams(kAbortMsg).empty(); }

  bool Attach() {
    m_protocol.SendSyncFrame();
    m_protocol.SendSyncFrame();
    m_protocol.RequestQueries(0);
    return PumpUntil(5000, [this] { return m_protocol.IsDeviceOnline() != 0; });
  }

  // Queues the job's frames and pumps until all are delivered.
  bool Send(const Job& job, DWORD timeout_ms) {
    for (const auto& f : job.frames)
      if (m_protocol.QueueDataFrame(FALSE, f.data(), (int)f.size()) != f.size()) return false;
    m_protocol.SetDeliveredDone();
    return PumpUntil(timeout_ms, [this] { return m_protocol.IsAllDelivered() != 0; });
  }

  std::vector<BYTE> Recorded() {
    std::ifstream in(WinePath(m_record), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The tag numbers of the "G" lines the engine passed on.
  std::set<std::string> GTags() {
    std::set<std::string> tags;
    for (auto& p : m_owner->Posts())
      if (p.message == kNotifyDelayedMsg && !p.text.empty() && p.text[0] == 'G') tags.insert(p.text);
    return tags;
  }
  int GLines() {
    int n = 0;
    for (auto& p : m_owner->Posts())
      if (p.message == kNotifyDelayedMsg && !p.text.empty() && p.text[0] == 'G') ++n;
    return n;
  }

  // Runs a job of `frames` frames under the faults and checks it arrived complete, in
  // order, exactly once.
  void RunJob(int frames, const std::string& faults, const std::string& pfaults, DWORD timeout_ms, int version = 5) {
    ASSERT_FALSE(m_record.empty()) << "the recorded stream is read from the controller's folder";
    Control("PROT " + std::string(IsSerial() ? (version == 7 ? "7" : "5") : (version == 7 ? "1" : "0")));
    m_config.nProtocolVersion = version;
    ASSERT_EQ("OK", Control("RECORD " + m_record));
    ASSERT_TRUE(OpenLink());
    ASSERT_TRUE(Attach()) << m_protocol.FormatStats();
    // Damage on UDP hits the payload, which the datagram's check catches: a damaged
    // header length makes the link's reassembly wait for bytes that never come (a gap of
    // the UDP link, outside these tests).
    Control("FAULTS " + faults + (IsSerial() ? "" : " corrupt_from=18"));
    Control("PFAULTS " + pfaults);
    Job job = MakeJob(frames, GetFrameDataCapacity(version), 7);
    bool done = Send(job, timeout_ms);
    Control("FAULTS");
    Control("PFAULTS");
    std::string stats = (const char*)m_protocol.FormatStats();
    stats += " aborts=" + m_owner->WParams(kAbortMsg) + "\n" + LinkStats();
    ASSERT_TRUE(done) << stats << "\n" << Control("STATS");
    // The last answers may still be on their way; the record is complete once the
    // last frame was acknowledged.
    std::vector<BYTE> got = Recorded();
    if (got != job.recorded && getenv("CORVANE_DUMP_STREAMS")) {
      std::ofstream(WinePath("/tmp/expected.bin"), std::ios::binary)
          .write((const char*)job.recorded.data(), (std::streamsize)job.recorded.size());
      std::ofstream(WinePath("/tmp/got.bin"), std::ios::binary)
          .write((const char*)got.data(), (std::streamsize)got.size());
    }
    ASSERT_EQ(job.recorded.size(), got.size()) << stats << "\n" << Control("STATS");
    EXPECT_TRUE(job.recorded == got) << "the recorded stream differs from the one sent";
    EXPECT_EQ(0, Stat("stream_errors"));
    // The controller's tag lines go stop-and-wait behind the stream: on a loaded machine
    // the last of them arrive seconds after the last frame's ACK. Damaged lines never come.
    DWORD lines_ms = faults.find("corrupt") == std::string::npos ? 30000 : 5000;
    PumpUntil(lines_ms, [&] { return (int)GTags().size() >= job.tags; });
    EXPECT_EQ(job.tags, Stat("tags"));  // each tag mark taken once
    // Every tag mark is answered. Without faults exactly once; a damaged answer byte
    // inside a line spoils that line, and a line datagram repeated late can reach the
    // engine twice.
    if (faults.empty() && pfaults.empty()) {
      EXPECT_EQ(job.tags, GLines());
    }
    if (faults.find("corrupt") == std::string::npos) {
      EXPECT_EQ(job.tags, (int)GTags().size());
    } else {
      EXPECT_LE((int)GTags().size(), job.tags);
    }
    RecordProperty("protocol_stats", stats);
  }

  TestWindow m_window;
  testing_support::TempDir m_dir;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol;
  std::unique_ptr<CRecordingSink> m_owner = std::make_unique<CRecordingSink>();
  std::unique_ptr<CDeviceLink> m_link;
  std::string m_record;
  UdpLinkState m_udpState;
};

TEST_F(LinkPeerTest, QueriesAreAnsweredAndTheDeviceIsOnline) {
  Control("NAME TESTCARVER");
  ASSERT_TRUE(OpenLink());
  ASSERT_TRUE(Attach()) << m_protocol.FormatStats();
  EXPECT_EQ("TESTCARVER", std::string((const char*)m_protocol.GetStatusText()));
  EXPECT_EQ("VER5300", std::string((const char*)m_protocol.GetControllerVersion()));
  Vec3 work = m_protocol.GetWorkPosition();
  EXPECT_EQ(100000, work.x);
  EXPECT_EQ(6400, work.z);
  EXPECT_GE(Stat("sync_frames"), 2);
  EXPECT_EQ(5, Stat("queries"));
  Control("NAME TestCarver");
}

// Without faults, bare and numbered ACKs, both frame generations.
TEST_F(LinkPeerTest, JobArrivesWhole) { RunJob(600, "", "", 60000); }

TEST_F(LinkPeerTest, JobArrivesWholeWithBareAcks) {
  Control("ACKS bare");
  RunJob(300, "", "", 60000);
}

TEST_F(LinkPeerTest, JobArrivesWholeInProtocol7) { RunJob(120, "", "", 60000, 7); }

// Each fault mode alone, on a stream long enough that each strikes many times.
TEST_F(LinkPeerTest, FaultModesEachAlone) {
  struct Case {
    const char* name;
    const char* faults;
    const char* pfaults;
  } cases[] = {
      {"loss", "rx_drop=0.03 drop=0.03 seed=2", ""},
      {"corruption", "rx_corrupt=0.03 corrupt=0.03 seed=3", ""},
      {"duplication", "rx_dup=0.05 dup=0.05 seed=4", ""},
      {"late ACK", "delay=0.03 delay_ms=150 seed=5", ""},
      {"BUSY storms", "seed=6", "busy=0.02 busy_n=8"},
      {"NAK", "seed=7", "nak=0.05"},
      {"silence at start", "", "silence=8@0"},
      {"silence mid-job", "", "silence=12@150"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Control("RESET");
    RunJob(300, c.faults, c.pfaults, 90000);
    if (HasFailure()) return;
    m_protocol.ResetFifo();
    m_link->Close();
    m_link.reset();
    m_owner = std::make_unique<CRecordingSink>();
  }
}

// Every fault at once on a long stream: complete, in order, once. CI runs 2,000 frames;
// CORVANE_LONG_FAULT_RUN=1 runs the full 20,000.
TEST_F(LinkPeerTest, LongStreamUnderAllFaults) {
  int frames = getenv("CORVANE_LONG_FAULT_RUN") ? 20000 : 2000;
  RunJob(frames,
         "rx_drop=0.01 drop=0.01 rx_corrupt=0.01 corrupt=0.01 rx_dup=0.01 dup=0.01 delay=0.01 "
         "delay_ms=150 seed=11",
         "busy=0.005 busy_n=5 nak=0.01", frames * 200);
}

// Silence when the link is attached: the sync frames and the queries go unanswered
// for a while, are resent, and the device comes on line all the same.
TEST_F(LinkPeerTest, SilenceAtAttach) {
  Control("PFAULTS silence=4@0");
  ASSERT_TRUE(OpenLink());
  ASSERT_TRUE(Attach()) << m_protocol.FormatStats();
  EXPECT_EQ(4, Stat("silenced"));
  EXPECT_GE(m_protocol.GetStats().nTimeouts, 4u);
}

// A controller that never answers: the link is declared down after the retries.
TEST_F(LinkPeerTest, ControllerSilentForGoodIsLinkDown) {
  m_config.nRetryLimit = 4;
  ASSERT_TRUE(OpenLink());
  ASSERT_TRUE(Attach());
  Control("SILENT 1");
  Job job = MakeJob(20, GetFrameDataCapacity(5), 1);
  EXPECT_FALSE(Send(job, 10000));
  EXPECT_EQ(std::to_string(kAbortLinkDown), m_owner->WParams(kAbortMsg));
  EXPECT_FALSE(m_protocol.IsOnline());
  Control("SILENT 0");
}

// Serial only: the controller holds CTS off; nothing is sent until it is back.
TEST_F(LinkPeerTest, ClearToSendDropAndReturn) {
  if (!IsSerial() || !HasModemLines()) GTEST_SKIP() << "needs a serial port with modem lines";
  ASSERT_EQ("OK", Control("RECORD " + m_record));
  ASSERT_TRUE(OpenLink());
  ASSERT_TRUE(Attach());
  Job job = MakeJob(300, GetFrameDataCapacity(5), 3);
  for (const auto& f : job.frames) m_protocol.QueueDataFrame(FALSE, f.data(), (int)f.size());
  m_protocol.SetDeliveredDone();
  ASSERT_TRUE(PumpUntil(20000, [this] { return m_protocol.GetAckedCount() >= 100; }));
  Control("MODEM DSR");
  m_window.PumpFor(100, [this] { Tick(); });  // a frame in flight may still finish
  int taken = Stat("frames_ok");
  DWORD sent = m_protocol.GetStats().nFramesSent;
  m_window.PumpFor(600, [this] { Tick(); });
  EXPECT_EQ(taken, Stat("frames_ok"));
  EXPECT_EQ(sent, m_protocol.GetStats().nFramesSent);
  EXPECT_FALSE(Aborted()) << "waiting for CTS has no time-out";
  Control("MODEM CTS DSR");
  ASSERT_TRUE(PumpUntil(30000, [this] { return m_protocol.IsAllDelivered() != 0; }));
  EXPECT_TRUE(job.recorded == Recorded());
}

// Serial only: the cable is pulled in the middle of a job.
TEST_F(LinkPeerTest, PeerGoneMidJob) {
  if (!IsSerial()) GTEST_SKIP() << "the UDP case is the silent controller";
  m_config.nRetryLimit = 4;
  ASSERT_TRUE(OpenLink());
  ASSERT_TRUE(Attach());
  Job job = MakeJob(400, GetFrameDataCapacity(5), 5);
  for (const auto& f : job.frames) m_protocol.QueueDataFrame(FALSE, f.data(), (int)f.size());
  m_protocol.SetDeliveredDone();
  ASSERT_TRUE(PumpUntil(20000, [this] { return m_protocol.GetAckedCount() >= 50; }));
  Control("HANGUP");
  m_window.PumpUntil(
      10000, [this] { return Aborted(); }, [this] { Tick(); }, 10);
  EXPECT_EQ(std::to_string(kAbortLinkDown), m_owner->WParams(kAbortMsg));
  EXPECT_TRUE(m_link->Close());
  Control("REATTACH");
}

}  // namespace
