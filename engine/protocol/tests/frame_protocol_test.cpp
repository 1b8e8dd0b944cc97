// The send state machine on a fake link and a hand-driven clock, as scripted exchanges.
//
// A script is a list of steps separated by blanks:
//   q<n>   the producer queues n data frames (data: the frame's running index) and marks
//          the end of the run
//   Q      a command frame (priority)          S   a synchronisation frame
//   p      Pump                                t<ms> the clock moves on, then Pump
//   r<hex> the controller sends these bytes and the link notifies (OnLinkData(1))
//   c0 c1  clear to send off / on              C   clear to send drops between the
//                                                  two checks of the next Pump
// What went out is written as the pack numbers of the frames written, a "*" behind a
// command frame: "0 0 1*". Every written frame must be whole and correctly sealed, and
// the data frames must reach the controller in order, none left out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#ifdef CORVANE_HOST
#include <signal.h>
#include <sys/resource.h>
#endif

#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/fake_link.h"
#include "foundation/tests/app_folder_test.h"
#include "foundation/texts.h"
#include "platform/bytes.h"
#include "resources/resource.h"

namespace {

constexpr UINT kAbortMsg = 0x8123;

class ProtocolTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_config.strAppFolder = m_dir.Path();
  }
  void TearDown() override {
    m_protocol.ResetFifo();
    AppFolderTest::TearDown();
  }

  // Configure and attach as the engine dialog does when the link has opened.
  void Start() {
    m_link.m_nVersion = m_config.nProtocolVersion;
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(&m_owner, &m_link, kAbortMsg);
  }

  void QueueData(int count) {
    for (int i = 0; i < count; ++i) {
      BYTE data[8] = {};
      bytes::Store32(data, (uint32_t)m_nQueued++);
      data[4] = 0xD5;  // a data frame of this test
      ASSERT_EQ(8, m_protocol.QueueDataFrame(FALSE, data, sizeof(data)));
    }
    m_protocol.MarkFifoEnd();
  }

  void Answer(const std::string& hex) {
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back((BYTE)std::stoul(hex.substr(i, 2), nullptr, 16));
    m_link.Answer(bytes);
    m_protocol.OnLinkData(1);
  }

  void Run(const std::string& script) {
    size_t at = 0;
    while (at < script.size()) {
      size_t end = script.find(' ', at);
      if (end == std::string::npos) end = script.size();
      std::string step = script.substr(at, end - at);
      at = end + 1;
      if (step.empty()) continue;
      std::string arg = step.substr(1);
      switch (step[0]) {
        case 'q': QueueData(std::stoi(arg)); break;
        case 'Q': m_protocol.SendWordCommand(9, 3); break;
        case 'S': m_protocol.SendSyncFrame(); break;
        case 'p': m_protocol.Pump(); break;
        case 't':
          m_ticks.Advance((DWORD)std::stoul(arg));
          m_protocol.Pump();
          break;
        case 'r': Answer(arg); break;
        case 'c': m_link.m_bCts = arg == "1"; break;
        case 'C': m_link.m_ctsScript = {true, false}; break;
        default: FAIL() << "unknown step " << step;
      }
    }
  }

  // The frames written, as pack numbers ("*" behind command frames), checking each.
  std::string Sent() {
    std::string out;
    int v = m_config.nProtocolVersion;
    for (const std::vector<BYTE>& w : m_link.m_writes) {
      DeviceFrame f;
      f.Clear();
      memcpy(f.m_bytes, w.data(), w.size() < sizeof(f.m_bytes) ? w.size() : sizeof(f.m_bytes));
      EXPECT_TRUE(f.IsSyncValid(v));
      EXPECT_TRUE(f.IsLengthValid(w.size(), v));
      EXPECT_EQ(f.GetFrameSize(v), w.size());
      EXPECT_TRUE(f.IsChecksumValid(v));
      bool command = v == 5 ? bytes::Load16(f.m_bytes + kV5MarkOffset) == kFrameMarkCommand
                            : (bytes::Load16(f.m_bytes + kV7FlagsOffset) & kFrameFlagMark) != 0;
      out += (out.empty() ? "" : " ") + std::to_string(f.GetPackNo(v)) + (command ? "*" : "");
    }
    return out;
  }

  // The running indexes of the data frames written, repeats of one send folded.
  std::vector<uint32_t> DataOrder() {
    std::vector<uint32_t> order;
    int v = m_config.nProtocolVersion;
    for (const std::vector<BYTE>& w : m_link.m_writes) {
      const BYTE* data = w.data() + (v == 5 ? kV5DataOffset : kV7DataOffset);
      if (w.size() < 20 || data[4] != 0xD5) continue;
      uint32_t index = bytes::Load32(data);
      if (order.empty() || order.back() != index) order.push_back(index);
    }
    return order;
  }

  void ExpectDataInOrder() {
    std::vector<uint32_t> order = DataOrder();
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(i, order[i]) << "a data frame was left out or repeated";
  }

  CManualTicks m_ticks;
  CFakeLink m_link;
  CRecordingSink m_owner;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol{m_ticks};
  int m_nQueued = 0;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct Exchange {
  const char* name;
  DWORD retry;
  std::string script;
  std::string sent;    // pack numbers written
  DWORD acked;         // frames acknowledged
  std::string aborts;  // wParams of the abort messages
};

const std::vector<Exchange>& Exchanges() {
  static const std::vector<Exchange> table = {
      {"ACK lets the next frame go at once", 3, "q2 p r01 r01", "0 1", 2, ""},
      {"numbered ACKs", 3, "q2 p rF0 rF1", "0 1", 2, ""},
      {"a numbered ACK for another pack is dropped", 3, "q1 p rF5 t3001 rF0", "0 0", 1, ""},
      {"no resend before the time-out has passed", 3, "q1 p t3000", "0", 0, ""},
      {"late ACK of the first send after a resend", 3, "q2 p t3001 r01 r01 t3001 r01", "0 0 1 1", 2, ""},
      {"late numbered ACK after a resend", 3, "q2 p t3001 rF0 rF0 rF1", "0 0 1", 2, ""},
      {"a late ACK is awaited for one time-out only", 3, "q2 p t3001 r01 t3001 r01", "0 0 1 1", 2, ""},
      {"NAK resends at once", 3, "q1 p r08 r01", "0 0", 1, ""},
      {"a NAKed send draws no late ACK", 3, "q2 p r08 r01 r01", "0 0 1", 2, ""},
      {"NAK with the wrong pack bits is dropped", 3, "q1 p rE3 rE0 r01", "0 0", 1, ""},
      {"NAKs use up the retries", 3, "q2 p r08 r08 r08", "0 0 0", 0, "2"},
      {"silence: Retry sends, then the link is down", 6, "q1 p" + Repeat(" t3001", 6), "0 0 0 0 0 0", 0, "2"},
      {"a BUSY storm never ends the link", 3, "q1 p" + Repeat(" r06 t3001", 40) + " r01", Repeat("0 ", 40) + "0", 1,
       ""},
      {"BUSY then silence resends without counting", 2, "q1 p r06 t3001 t3001 t3001 r01", "0 0 0 0", 1, ""},
      // The frame goes out without waiting for an answer; the mark makes its resend a busy one.
      {"BUSY with nothing in flight only marks the controller busy", 3, "p r06 q1 p t3001 r01", "0 0", 1, ""},
      {"a duplicate ACK in the same read does not confirm the next frame", 3, "q2 p r0101 t3001 r01", "0 1 1", 2, ""},
      {"an ACK with nothing in flight changes nothing", 3, "p r01 q1 p r01", "0", 1, ""},
      {"clear to send off holds every frame", 3, "c0 q1 p t5000 c1 p r01", "0", 1, ""},
      {"clear to send dropping between the checks keeps the loaded frame", 3, "q2 C p p r01 r01", "0 1", 2, ""},
      {"a command frame overtakes queued data", 3, "q5 p Q r01 r01 r01", "0 1* 2 3", 3, ""},
      {"a sync frame restarts the numbering at 1", 3, "q3 p r01 S r01 r01 r01", "0 1 1* 2", 4, ""},
      {"reply characters around the answer bytes", 3, "q2 p r4501 r01", "0 1", 2, ""},
  };
  return table;
}

class ExchangeTest : public ProtocolTest, public ::testing::WithParamInterface<std::tuple<size_t, bool>> {};

TEST_P(ExchangeTest, Script) {
  const Exchange& x = Exchanges()[std::get<0>(GetParam())];
  SCOPED_TRACE(x.name);
  m_config.bFileFifo = std::get<1>(GetParam());
  m_config.nRetryLimit = x.retry;
  Start();
  Run(x.script);
  EXPECT_EQ(x.sent, Sent());
  EXPECT_EQ(x.acked, m_protocol.GetAckedCount());
  EXPECT_EQ(x.aborts, m_owner.WParams(kAbortMsg));
  ExpectDataInOrder();
  if (!x.aborts.empty()) {
    EXPECT_EQ(CFrameProtocol::kIdle, m_protocol.GetState());
  }
}

INSTANTIATE_TEST_SUITE_P(Exchanges, ExchangeTest,
                         ::testing::Combine(::testing::Range<size_t>(0, Exchanges().size()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, bool>>& info) {
                           return "Case" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "_Fifo" : "_Memory");
                         });

// Runs of a whole job through the fake link, with the spill file and without.
class ProtocolModes : public ProtocolTest, public ::testing::WithParamInterface<bool> {};

INSTANTIATE_TEST_SUITE_P(FifoOnAndOff, ProtocolModes, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Fifo" : "Memory");
                         });

TEST_F(ProtocolTest, AnswerBytesClassified) {
  struct Case {
    BYTE b;
    AnswerByteKind kind;
  } cases[] = {
      {0x01, kAnswerAck},       {0xF0, kAnswerAckPack}, {0xFF, kAnswerAckPack}, {0x06, kAnswerBusy},
      {0x08, kAnswerNak},       {0xE0, kAnswerNakPack}, {0xEF, kAnswerNakPack}, {0x20, kAnswerReplyChar},
      {0x7F, kAnswerReplyChar}, {0x00, kAnswerIgnored}, {0x1F, kAnswerIgnored}, {0x80, kAnswerIgnored},
      {0xDF, kAnswerIgnored},   {0x02, kAnswerIgnored},
  };
  for (const Case& c : cases) EXPECT_EQ(c.kind, ClassifyAnswerByte(c.b)) << (int)c.b;
}

// Only the low four bits of the pack number come back in a numbered answer.
TEST_F(ProtocolTest, NumberedAckComparesTheLowFourBits) {
  Start();
  QueueData(23);
  m_protocol.Pump();
  for (int pack = 0; pack < 0x15; ++pack) Answer("01");
  ASSERT_EQ(0x15u, m_protocol.GetAckedCount());
  Answer("F6");
  EXPECT_EQ(0x15u, m_protocol.GetAckedCount());
  Answer("F5");
  EXPECT_EQ(0x16u, m_protocol.GetAckedCount());
  EXPECT_EQ(1u, m_protocol.GetStats().nWrongPack);
}

// Pack numbers are 8-bit: frame 256 carries 0 again.
TEST_F(ProtocolTest, PackNumbersWrap) {
  m_link.m_answer = CFakeLink::kAnswerAck;
  m_link.m_bRecord = false;
  Start();
  QueueData(300);
  m_protocol.Pump();
  for (int i = 0; i < 299; ++i) m_protocol.OnLinkData(1);
  EXPECT_EQ(299u, m_protocol.GetAckedCount());
  EXPECT_EQ(0u, m_protocol.GetStats().nWrongPack);
}

TEST_F(ProtocolTest, LinkNotificationsOtherThanDataAreNotRead) {
  Start();
  QueueData(1);
  m_protocol.Pump();
  m_link.Answer(std::vector<BYTE>{0x01});
  m_protocol.OnLinkData(0x10002);  // low word 2
  EXPECT_EQ(0u, m_protocol.GetAckedCount());
  m_protocol.OnLinkData(0x10001);  // only the low word counts
  EXPECT_EQ(1u, m_protocol.GetAckedCount());
}

TEST_F(ProtocolTest, AfterTheLinkIsDownNothingIsSentOrReadUntilConfigured) {
  m_config.nRetryLimit = 1;
  Start();
  QueueData(2);
  Run("p t3001");
  ASSERT_EQ("2", m_owner.WParams(kAbortMsg));
  EXPECT_FALSE(m_protocol.IsOnline());
  Run("r01 t3001 t3001");
  EXPECT_EQ("0", Sent());
  EXPECT_EQ(0u, m_protocol.GetAckedCount());
  Start();  // the queues are emptied: the run starts over
  QueueData(1);
  Run("p r01");
  EXPECT_EQ(1u, m_protocol.GetAckedCount());
}

TEST_F(ProtocolTest, AWriteThatFailsHalfWayIsResentWholeAfterTheTimeOut) {
  m_link.m_nChunk = 50;  // three writes per frame
  Start();
  QueueData(1);
  m_link.m_nFailWrites = 0;
  m_protocol.Pump();
  EXPECT_EQ(3, m_link.m_nWriteCalls);
  m_link.m_writes.clear();
  m_link.m_nChunk = 0;
  m_link.m_nFailWrites = 1;
  m_ticks.Advance(3001);
  m_protocol.Pump();  // the resend fails at once but counts
  EXPECT_EQ(1u, m_protocol.GetStats().nWriteFailures);
  m_ticks.Advance(3001);
  m_protocol.Pump();
  ASSERT_EQ(1u, m_link.m_writes.size());
  EXPECT_EQ(134u, m_link.m_writes[0].size());
}

TEST_F(ProtocolTest, Version7FramesOnTheWire) {
  m_config.nProtocolVersion = 7;
  Start();
  EXPECT_EQ(1024, m_protocol.GetFrameDataCapacity());
  std::vector<BYTE> big(1500, 0x5A);
  EXPECT_EQ(1024, m_protocol.QueueDataFrame(FALSE, big.data(), (int)big.size()));
  m_protocol.MarkFifoEnd();
  m_protocol.SendSyncFrame();
  Run("p r01 r01");
  EXPECT_EQ("1* 2", Sent());
  ASSERT_EQ(2u, m_link.m_writes.size());
  EXPECT_EQ(12u, m_link.m_writes[0].size());  // the sync frame: 10 + 2
  EXPECT_EQ(0x100, bytes::Load16(m_link.m_writes[0].data() + kV7CommandOffset));
  EXPECT_EQ(1034u, m_link.m_writes[1].size());
  EXPECT_EQ(0x0702, bytes::Load16(m_link.m_writes[1].data() + kV7FlagsOffset));  // pack 2, generation 7, unmarked
}

// The test switches damage single sends (param: lost sends, else corrupted check
// values); resends repair them and every frame arrives.
class DamagedSends : public ProtocolTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DamagedSends, AreRepaired) {
  m_link.m_answer = CFakeLink::kAnswerChecked;
  m_config.bLostSimulate = GetParam();
  m_config.bCrcErrSimulate = !GetParam();
  Start();
  QueueData(500);
  m_protocol.SetDeliveredDone();
  for (int i = 0; i < 20000 && !m_protocol.IsAllDelivered(); ++i) {
    m_protocol.Pump();
    m_protocol.OnLinkData(1);
    m_ticks.Advance(100);
  }
  EXPECT_TRUE(m_protocol.IsAllDelivered());
  EXPECT_EQ(500u, m_protocol.GetAckedCount());
  EXPECT_GT(m_protocol.GetStats().nFramesResent, 0u);
  if (!GetParam()) {
    EXPECT_GT(m_protocol.GetStats().nNaks, 0u);
  }
  std::vector<uint32_t> order = DataOrder();
  ASSERT_EQ(500u, order.size());
  for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(i, order[i]);
}

INSTANTIATE_TEST_SUITE_P(LostOrCorrupted, DamagedSends, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Lost" : "Corrupted");
                         });

// Everything queued goes out and the end is reported, with the spill file and without.
TEST_P(ProtocolModes, AllDelivered) {
  m_link.m_answer = CFakeLink::kAnswerAck;
  m_config.bFileFifo = GetParam();
  Start();
  EXPECT_EQ(GetParam(), m_protocol.IsFileFifo() != FALSE);
  const int total = 3000;
  std::thread producer([&] {
    for (int sent = 0; sent < total;) {
      if (!m_protocol.IsFileFifo() && m_protocol.IsQueueFull()) {
        std::this_thread::yield();
        continue;
      }
      int n = total - sent < 7 ? total - sent : 7;
      QueueData(n);
      sent += n;
    }
    m_protocol.SetDeliveredDone();
  });
  bool delivered = false;
  for (int i = 0; i < 20000000 && !delivered; ++i) {
    m_protocol.Pump();
    m_protocol.OnLinkData(1);
    delivered = m_protocol.IsAllDelivered();
  }
  producer.join();
  EXPECT_TRUE(delivered);
  EXPECT_EQ((DWORD)total, m_protocol.GetAckedCount());
  std::vector<uint32_t> order = DataOrder();
  ASSERT_EQ((size_t)total, order.size());
  for (int i = 0; i < total; ++i) ASSERT_EQ((uint32_t)i, order[i]);
}

TEST_P(ProtocolModes, NotAllDeliveredWhileAFrameWaitsForItsAck) {
  m_config.bFileFifo = GetParam();
  Start();
  QueueData(1);
  EXPECT_FALSE(m_protocol.IsAllDelivered());  // the producer is not done
  m_protocol.SetDeliveredDone();
  EXPECT_FALSE(m_protocol.IsAllDelivered());  // queued
  m_protocol.Pump();
  EXPECT_FALSE(m_protocol.IsAllDelivered());  // in flight
  m_protocol.SendOtCommands(1);
  Answer("01");
  EXPECT_FALSE(m_protocol.IsAllDelivered());  // the command frame is in flight
  Answer("01");
  EXPECT_TRUE(m_protocol.IsAllDelivered());
}

TEST_F(ProtocolTest, CommandFramesOvertakeThousandsOfSpilledFrames) {
  m_config.bFileFifo = TRUE;
  Start();
  QueueData(5000);
  DWORD written = 0, read = 0;
  EXPECT_EQ(5000u, m_protocol.GetFifoLevel(&written, &read));
  Run("p Q r01");
  EXPECT_EQ("0 1*", Sent());
  EXPECT_EQ(4999u, m_protocol.GetFifoLevel(&written, &read));
}

// A sender that found nothing is woken once by the next frame made ready (a queued frame,
// a published spill run), not by frames spilled but not yet published; the owner's
// answer to the wake (Pump) sends it at once, without any timer tick.
class WakeTest : public ProtocolTest, public ::testing::WithParamInterface<BOOL> {};

TEST_P(WakeTest, AStarvedSenderIsWokenOnceWhenAFrameIsReady) {
  constexpr UINT kWakeMsg = 0x8124;
  m_config.bFileFifo = GetParam();
  m_protocol.SetWakeMessage(kWakeMsg);
  Start();
  auto wakes = [&] { return m_owner.WParams(kWakeMsg); };
  QueueData(1);
  EXPECT_EQ("", wakes());  // never starved: the timer's pump takes it
  Run("p r01");            // sent, acknowledged, nothing left: starved
  EXPECT_EQ("0", Sent());
  if (m_protocol.IsFileFifo()) {
    BYTE data[8] = {};
    bytes::Store32(data, (uint32_t)m_nQueued++);
    data[4] = 0xD5;
    ASSERT_EQ(8, m_protocol.QueueDataFrame(FALSE, data, sizeof(data)));
    EXPECT_EQ("", wakes());  // spilled, not published yet
    m_protocol.MarkFifoEnd();
  } else {
    QueueData(1);
  }
  EXPECT_EQ("0", wakes());
  QueueData(2);
  EXPECT_EQ("0", wakes());  // one wake a starved spell
  Run("p r01 r01 r01");     // the wake's pump, then each ACK sends the next
  EXPECT_EQ("0 1 2 3", Sent());
  EXPECT_EQ("0", wakes());
  Run("Q");  // a command frame for the sender starved again
  EXPECT_EQ("0 0", wakes());
  Run("p");
  EXPECT_EQ("0 1 2 3 4*", Sent());
  std::vector<uint32_t> expected = {0, 1, 2, 3};
  EXPECT_EQ(expected, DataOrder());
}

INSTANTIATE_TEST_SUITE_P(Queues, WakeTest, ::testing::Values(TRUE, FALSE),
                         [](const ::testing::TestParamInfo<BOOL>& info) {
                           return std::string(info.param ? "SpillFile" : "MemoryQueue");
                         });

// The memory queue counts as full at its limit; the spill file never does.
TEST_F(ProtocolTest, QueueLimit) {
  m_config.bFileFifo = FALSE;
  m_config.nQueueLimit = 10;
  Start();
  QueueData(9);
  EXPECT_FALSE(m_protocol.IsQueueFull());
  QueueData(1);
  EXPECT_TRUE(m_protocol.IsQueueFull());
  EXPECT_EQ(10, m_protocol.GetQueuedCount());
  m_protocol.ClearQueues();
  EXPECT_EQ(0, m_protocol.GetQueuedCount());
  m_config.nQueueLimit = 0;
  Start();
  QueueData(20);
  EXPECT_FALSE(m_protocol.IsQueueFull());
}

TEST_F(ProtocolTest, ConfigureStartsAFreshSpillFileAlsoWithTheFifoOff) {
  m_config.bFileFifo = TRUE;
  Start();
  QueueData(3);
  DWORD written = 0;
  m_protocol.GetFifoLevel(&written, nullptr);
  EXPECT_EQ(3u, written);
  m_config.bFileFifo = FALSE;
  Start();
  EXPECT_EQ(0u, m_protocol.GetFifoLevel(&written, nullptr));
  EXPECT_FALSE(m_protocol.IsFileFifo());
  // exactly one spill file exists: the fresh one
  CFileFind find;
  int files = 0;
  for (BOOL more = find.FindFile(m_dir.Path() + "FiFo\\*.fifo"); more;) {
    more = find.FindNextFile();
    ++files;
  }
  EXPECT_EQ(1, files);
  m_protocol.ResetFifo();
  EXPECT_FALSE(find.FindFile(m_dir.Path() + "FiFo\\*.fifo"));
}

// No spill file can be made (a file stands where its folder should): the data frames
// are kept in memory and the job runs.
TEST_F(ProtocolTest, WithoutASpillFileTheMemoryQueueTakesTheFrames) {
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir.Path() + "FiFo", "not a folder"));
  m_link.m_answer = CFakeLink::kAnswerAck;
  m_config.bFileFifo = TRUE;
  Start();
  EXPECT_FALSE(m_protocol.IsFileFifo());
  QueueData(20);
  m_protocol.SetDeliveredDone();
  for (int i = 0; i < 100 && !m_protocol.IsAllDelivered(); ++i) {
    m_protocol.Pump();
    m_protocol.OnLinkData(1);
  }
  EXPECT_TRUE(m_protocol.IsAllDelivered());
  EXPECT_EQ(20u, m_protocol.GetAckedCount());
  EXPECT_EQ("", m_owner.WParams(kAbortMsg));
}

// The settings the engine's builder reads: defaults written back on a fresh folder, then
// the file's own values.
TEST_F(ProtocolTest, SettingsFromParametersIni) {
  FrameProtocolConfig config;
  ReadFrameProtocolConfig(config);
  ReadFrameTraceSwitches(config);
  EXPECT_EQ(3000u, config.nAckTimeout_ms);
  EXPECT_EQ(6u, config.nRetryLimit);
  EXPECT_TRUE(config.bFileFifo);
  EXPECT_EQ(6u, config.nPaddingSize);
  EXPECT_FALSE(config.bLogCom || config.bLogFrame || config.bCrcErrSimulate || config.bLostSimulate);
  EXPECT_STREQ(m_dir.Path(), config.strAppFolder);
  EXPECT_STREQ("3000", GetParamValue("Communication", "Timeout(ms)", "-"));
  EXPECT_STREQ("1", GetParamValue("Communication", "EnableFileFiFo", "-"));
  EXPECT_STREQ("disable", GetParamValue("Trace", "LogCOM", "-"));

  PutParamValue("Communication", "Timeout(ms)", "250x");
  PutParamValue("Communication", "Retry", "none");
  PutParamValue("Communication", "EnableFileFiFo", "disable");
  PutParamValue("Communication", "FramePaddingSize(bytes)", "20");
  PutParamValue("Trace", "LogCOM", "enable");
  g_nProtocolVersion = 7;
  ReadFrameProtocolConfig(config);
  ReadFrameTraceSwitches(config);
  g_nProtocolVersion = 5;
  EXPECT_EQ(250u, config.nAckTimeout_ms);
  EXPECT_STREQ("250", GetParamValue("Communication", "Timeout(ms)", "-"));  // written back as a number
  EXPECT_EQ(0u, config.nRetryLimit);
  EXPECT_FALSE(config.bFileFifo);
  EXPECT_EQ(8u, config.nPaddingSize);
  EXPECT_TRUE(config.bLogCom);
  EXPECT_EQ(7, config.nProtocolVersion);
}

// The text the engine shows for kAbortSpillFailed, in both languages (GB bytes for Chinese).
TEST_F(ProtocolTest, SpillFailureText) {
  WORD saved = g_nUiLanguage;
  g_nUiLanguage = 0;
  EXPECT_STREQ("FIFO 缓存文件无法写入更多数据帧（磁盘已满？），作业已停止。",
               LoadLangString(IDS_FIFO_SPILL_FAILED_CN, IDS_FIFO_SPILL_FAILED_EN));
  g_nUiLanguage = 1;
  EXPECT_STREQ("The FIFO spill file cannot take more frames (is the disk full?); the job was stopped.",
               LoadLangString(IDS_FIFO_SPILL_FAILED_CN, IDS_FIFO_SPILL_FAILED_EN));
  g_nUiLanguage = saved;
}

#ifdef CORVANE_HOST
// The spill file cannot grow (here: a file-size limit of the process): the push fails,
// the producer is told, every later push fails too, the owner gets the abort once and
// the job never counts as delivered.
TEST_F(ProtocolTest, ASpillFileThatCannotGrowStopsTheJob) {
  m_config.bFileFifo = TRUE;
  Start();
  ASSERT_TRUE(m_protocol.IsFileFifo());
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = saved;
  limit.rlim_cur = 2000000;  // the first file (1 MB) fits, its first growth does not
  setrlimit(RLIMIT_FSIZE, &limit);
  BYTE data[8] = {1};
  int taken = 0;
  for (int i = 0; i < 900; ++i) taken += m_protocol.QueueDataFrame(FALSE, data, 8) ? 1 : 0;
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(821, taken);  // 830 slots; the growth is due with 10 left
  EXPECT_EQ(0, m_protocol.QueueDataFrame(FALSE, data, 8)) << "a later push must not leave a gap";
  EXPECT_EQ(80u, m_protocol.GetSpillFailures());
  m_protocol.SetDeliveredDone();
  m_protocol.Pump();
  m_protocol.Pump();
  EXPECT_EQ("3", m_owner.WParams(kAbortMsg));
  EXPECT_FALSE(m_protocol.IsAllDelivered());
}
#endif

TEST_F(ProtocolTest, AttachPurgesTheLinkAndKeepsTheOwner) {
  Start();
  EXPECT_EQ(1, m_link.m_nPurges);
  m_protocol.Attach(nullptr, &m_link, kAbortMsg + 1);
  EXPECT_EQ(2, m_link.m_nPurges);
  m_config.nRetryLimit = 1;
  m_protocol.Configure(m_config);
  QueueData(1);
  Run("p t3001");
  EXPECT_EQ("2", m_owner.WParams(kAbortMsg + 1));  // the owner set first still gets it
}

TEST_F(ProtocolTest, FileTargetByTheLinksName) {
  Start();
  EXPECT_FALSE(m_protocol.IsFileTarget());
  m_link.Open("FILE:C:\\out.cf", 0, 0, nullptr, 0);
  EXPECT_TRUE(m_protocol.IsFileTarget());
  m_link.Open("file:x", 0, 0, nullptr, 0);
  EXPECT_TRUE(m_protocol.IsFileTarget());
  m_link.Open("SIMU", 0, 0, nullptr, 0);
  EXPECT_FALSE(m_protocol.IsFileTarget());
}

TEST_F(ProtocolTest, ThroughputCounters) {
  g_nByteCount = 0;
  g_nByteCountStart = 0;
  m_ticks.Set(5000);
  Start();
  QueueData(2);
  Run("p r01");
  EXPECT_EQ(5000u, g_nByteCountStart);
  EXPECT_EQ(256u, g_nByteCount);  // the data length of two frames
  CString stats = m_protocol.FormatStats();
  EXPECT_NE(-1, stats.Find("sent=2 ")) << (const char*)stats;
  EXPECT_NE(-1, stats.Find("acked=1 ")) << (const char*)stats;
}

}  // namespace
