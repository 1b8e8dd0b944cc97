// Command frames and the device status kept from the controller's reply lines.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/fake_link.h"
#include "foundation/tests/app_folder_test.h"
#include "platform/bytes.h"

namespace {

constexpr UINT kAbortMsg = 0x8124;

class CommandTest : public AppFolderTest {
 protected:
  void Start(int version = 5) {
    m_config.strAppFolder = m_dir.Path();
    m_config.nProtocolVersion = version;
    m_protocol.Configure(m_config);
    m_protocol.Attach(&m_owner, &m_link, kAbortMsg);
  }
  void TearDown() override {
    m_protocol.ResetFifo();
    AppFolderTest::TearDown();
  }
  // The controller sends these lines (each in its wire form) in one read.
  void Lines(const std::vector<const char*>& texts) {
    std::string wire;
    for (const char* t : texts) wire += MakeReplyLine(t).GetString();
    m_link.Answer(wire);
    m_protocol.OnLinkData(1);
  }
  // Sends everything queued, acknowledging each frame; returns the frames written.
  std::vector<std::vector<BYTE>> Drain() {
    m_link.m_answer = CFakeLink::kAnswerAck;
    m_link.m_writes.clear();
    for (int i = 0; i < 50; ++i) {
      m_protocol.Pump();
      m_protocol.OnLinkData(1);
    }
    return m_link.m_writes;
  }

  CManualTicks m_ticks;
  CFakeLink m_link;
  CRecordingSink m_owner;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol{m_ticks};
};

std::string Hex(const BYTE* bytes, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof(b), i ? " %02X" : "%02X", bytes[i]);
    out += b;
  }
  return out;
}

struct Encoding {
  const char* name;
  std::function<void(CFrameProtocol&)> send;
  const char* data;  // the frame's data bytes up to the last command
  WORD command;      // frame command (version 7)
};

// Every command frame: marked, its commands at the start of the data, in both generations.
TEST_F(CommandTest, Encodings) {
  const BYTE rom[3] = {1, 2, 3};
  const std::vector<Encoding> table = {
      {"sync", [](CFrameProtocol& p) { p.SendSyncFrame(); }, "00 00", kFrameCommandSync},
      {"queries", [](CFrameProtocol& p) { p.RequestQueries(0); },
       "20 80 02 00 0D 00 20 80 02 00 04 00 20 80 02 00 03 00 20 80 02 00 02 00 20 80 02 00 01 00", kFrameCommandData},
      {"one query", [](CFrameProtocol& p) { p.RequestQueries(16); }, "20 80 02 00 10 00", kFrameCommandData},
      {"M word", [](CFrameProtocol& p) { p.SendWordCommand(9, 3); }, "09 80 02 00 03 00", kFrameCommandData},
      {"spindle speed", [](CFrameProtocol& p) { p.SendLongCommand(48, 24000); }, "30 80 04 00 C0 5D 00 00",
       kFrameCommandData},
      {"ROM parameter", [&](CFrameProtocol& p) { EXPECT_TRUE(p.SendRomParam(0x41, rom, 3)); }, "41 80 03 00 01 02 03",
       kFrameCommandData},
      {"stop", [](CFrameProtocol& p) { p.SendOtCommands(1); }, "90 80 02 00 05 00", kFrameCommandData},
      {"Z adjustment", [](CFrameProtocol& p) { p.SendZAdjust(0x1234); }, "90 80 04 00 07 00 34 12", kFrameCommandData},
  };
  for (int version : {5, 7}) {
    for (const Encoding& e : table) {
      SCOPED_TRACE(std::string(e.name) + (version == 5 ? " v5" : " v7"));
      Start(version);
      e.send(m_protocol);
      std::vector<std::vector<BYTE>> sent = Drain();
      ASSERT_EQ(1u, sent.size());
      const std::vector<BYTE>& f = sent[0];
      size_t length = (strlen(e.data) + 1) / 3;
      const BYTE* data = f.data() + (version == 5 ? kV5DataOffset : kV7DataOffset);
      EXPECT_EQ(e.data, Hex(data, length));
      if (version == 5) {
        ASSERT_EQ(134u, f.size());
        EXPECT_EQ(kFrameMarkCommand, bytes::Load16(f.data() + kV5MarkOffset));
        for (size_t i = length; i < 128; ++i) ASSERT_EQ(0, data[i]);
      } else {
        ASSERT_EQ(10 + length, f.size());
        EXPECT_EQ(e.command, bytes::Load16(f.data() + kV7CommandOffset));
        EXPECT_EQ(0x87, f[kV7FlagsOffset + 1]);  // marked, generation 7
      }
    }
  }
}

TEST_F(CommandTest, StopCommandsGoAheadOfQueuedDataOneEach) {
  Start();
  BYTE data[4] = {1, 2, 3, 4};
  for (int i = 0; i < 5; ++i) m_protocol.QueueDataFrame(FALSE, data, 4);
  m_protocol.MarkFifoEnd();
  m_protocol.SendOtCommands(3);
  std::vector<std::vector<BYTE>> sent = Drain();
  ASSERT_EQ(8u, sent.size());
  for (int i = 0; i < 3; ++i) EXPECT_EQ("90 80 02 00 05 00 00", Hex(sent[i].data() + kV5DataOffset, 7)) << i;
  EXPECT_EQ("01 02 03 04", Hex(sent[3].data() + kV5DataOffset, 4));
}

// A command longer than one frame holds is refused, not cut; so is a ring message that
// claims more bytes than it brought.
TEST_F(CommandTest, RomParameterLengthsAreChecked) {
  std::vector<BYTE> bytes(2000, 7);
  struct Case {
    int version;
    int count;
    BOOL ok;
  } cases[] = {{5, 124, TRUE}, {5, 125, FALSE}, {7, 1020, TRUE}, {7, 1021, FALSE}, {5, 0, TRUE}, {5, -1, FALSE}};
  for (const Case& c : cases) {
    Start(c.version);
    EXPECT_EQ(c.ok, m_protocol.SendRomParam(0x41, bytes.data(), c.count)) << c.version << " " << c.count;
    EXPECT_EQ(c.ok ? 1 : 0, m_protocol.GetQueuedCount());
  }
  Start(5);
  BYTE message[10] = {0x41, 0x00, 6, 0, 1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(m_protocol.SendRomParamMessage(message, 10));
  EXPECT_FALSE(m_protocol.SendRomParamMessage(message, 9));  // 6 announced, 5 received
  message[2] = 0xFF;
  message[3] = 0xFF;
  EXPECT_FALSE(m_protocol.SendRomParamMessage(message, 10));
  EXPECT_FALSE(m_protocol.SendRomParamMessage(message, 3));
  EXPECT_FALSE(m_protocol.SendRomParamMessage(nullptr, 10));
  std::vector<std::vector<BYTE>> sent = Drain();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ("41 80 06 00 01 02 03 04 05 06", Hex(sent[0].data() + kV5DataOffset, 10));
}

// The device counts as on line only after the status text, both positions and the
// online state have answered and the state said ONLINE.
TEST_F(CommandTest, OnlineOnlyAfterAllFourAnswers) {
  Start();
  m_protocol.RequestQueries(0);
  EXPECT_FALSE(m_protocol.IsDeviceResponding());
  Lines({"SONLINE"});
  EXPECT_TRUE(m_protocol.IsDeviceResponding());
  EXPECT_TRUE(m_protocol.IsOnline());
  EXPECT_FALSE(m_protocol.IsDeviceOnline());
  Lines({"TREADY", "WX100000 Y48000 Z6400"});
  EXPECT_FALSE(m_protocol.IsDeviceOnline());
  Lines({"OX50000 Y24000 Z3200"});
  EXPECT_TRUE(m_protocol.IsDeviceOnline());
  Lines({"Soffline"});
  EXPECT_FALSE(m_protocol.IsDeviceOnline());
  Lines({"Sonline "});  // upper-cased and trimmed before the comparison
  EXPECT_TRUE(m_protocol.IsDeviceOnline());
  m_protocol.RequestQueries(0);  // forgets every answer
  EXPECT_FALSE(m_protocol.IsDeviceResponding());
  EXPECT_FALSE(m_protocol.IsOnline());
  EXPECT_EQ(0.0, m_protocol.GetWorkPosition().x);
  EXPECT_EQ("", std::string(m_protocol.GetStatusText()));
}

struct ReplyCase {
  const char* line;
  const char* status;   // GetStatusText
  const char* version;  // GetControllerVersion
  const char* capability;
  bool runRequest;
  bool responding;
  std::string posts;  // "text" notify, "delayed" notify, "abort1"
};

TEST_F(CommandTest, ReplyLines) {
  const ReplyCase cases[] = {
      {"TReady", "READY", "", "", false, true, "text"},
      {"VVER5300", "", "VER5300", "", false, false, "text"},
      {"Catc", "", "", "ATC", false, false, "text"},
      {"R1", "", "", "", true, false, "text"},
      {"G12", "", "", "", false, false, "delayed"},
      {"PCANCEL", "", "", "", false, false, "abort1 text"},
      {"PPAUSE", "", "", "", false, false, "text"},
      {"WX1 Y2", "", "", "", false, false, "text"},  // no Z: no answered bit
      {"E Overheat", "", "", "", false, false, "text"},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.line);
    CRecordingSink owner;
    Start();
    m_protocol.Attach(&owner, &m_link, kAbortMsg);
    m_protocol.RequestQueries(0);
    Lines({c.line});
    EXPECT_EQ(c.status, std::string(m_protocol.GetStatusText()));
    EXPECT_EQ(c.version, std::string(m_protocol.GetControllerVersion()));
    EXPECT_EQ(c.capability, std::string(m_protocol.GetReplyC()));
    EXPECT_EQ(c.runRequest, m_protocol.TakeReplyR() != FALSE);
    EXPECT_FALSE(m_protocol.TakeReplyR());
    EXPECT_EQ(c.responding, m_protocol.IsDeviceResponding() != FALSE);
    std::string posts;
    for (const CRecordingSink::Post& p : owner.Posts()) {
      posts += posts.empty() ? "" : " ";
      if (p.message == kAbortMsg) {
        posts += "abort" + std::to_string(p.wParam);
      } else {
        posts += p.message == kNotifyDelayedMsg ? "delayed" : "text";
        EXPECT_EQ(std::string(c.line) + " ", p.text);  // the line as handed in, with its blank
      }
    }
    EXPECT_EQ(c.posts, posts);
  }
}

TEST_F(CommandTest, PositionsAreKeptInDeviceSteps) {
  Start();
  Lines({"WX100000 Y48000 Z6400", "ox-5 y0 z2.5"});
  Vec3 w = m_protocol.GetWorkPosition();
  Vec3 o = m_protocol.GetOriginPosition();
  EXPECT_EQ(100000.0, w.x);
  EXPECT_EQ(48000.0, w.y);
  EXPECT_EQ(6400.0, w.z);
  EXPECT_EQ(-5.0, o.x);
  EXPECT_EQ(2.5, o.z);
}

// A line with a wrong sum is dropped; the answer bytes around it still count.
TEST_F(CommandTest, BadSumLineIsDroppedBetweenAnswerBytes) {
  Start();
  BYTE data[2] = {1, 2};
  m_protocol.QueueDataFrame(FALSE, data, 2);
  m_protocol.QueueDataFrame(FALSE, data, 2);
  m_protocol.MarkFifoEnd();
  m_protocol.Pump();
  std::string wire = std::string("SONLINE 39;") + "\x01" + MakeReplyLine("TREADY").GetString();
  m_link.Answer(wire);
  m_protocol.OnLinkData(1);
  EXPECT_EQ(1u, m_protocol.GetAckedCount());
  EXPECT_FALSE(m_protocol.IsOnline());
  EXPECT_EQ("READY", std::string(m_protocol.GetStatusText()));
  ASSERT_EQ(1u, m_owner.Posts().size());
  EXPECT_EQ("TREADY ", m_owner.Posts()[0].text);
  EXPECT_EQ(1u, m_protocol.GetStats().nBadReplyLines);
  EXPECT_EQ(1u, m_protocol.GetStats().nReplyLines);
}

// Configure clears only the answered bits and the tag progress.
TEST_F(CommandTest, ConfigureKeepsTheLastAnswers) {
  Start();
  Lines({"SONLINE", "TREADY", "VV1"});
  m_protocol.SetTagProgressText("  12 ");
  EXPECT_EQ("12", std::string(m_protocol.GetTagProgressText()));
  Start();
  EXPECT_FALSE(m_protocol.IsDeviceResponding());
  EXPECT_TRUE(m_protocol.IsOnline());
  EXPECT_EQ("READY", std::string(m_protocol.GetStatusText()));
  EXPECT_EQ("", std::string(m_protocol.GetTagProgressText()));
}

// Lines still reach the owner when it cannot take them: nothing leaks (the sanitizers
// watch the refused heap copy).
TEST_F(CommandTest, RefusedNotifyIsFreed) {
  Start();
  m_owner.m_bRefuse = true;
  Lines({"TREADY", "G5"});
  EXPECT_TRUE(m_owner.Posts().empty());
  EXPECT_FALSE(PostNotifyText(nullptr, "x", FALSE));
}

}  // namespace
