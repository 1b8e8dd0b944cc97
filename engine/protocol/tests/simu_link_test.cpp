// The simulator and file link: alone, fed frames byte by byte as a test writes them,
// and under the frame protocol engine, which drives it exactly as the engine does
// (Pump, and OnLinkData when the link notifies).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/links/simu_link.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/engine_loop.h"
#include "engine/protocol/reply_line.h"
#include "engine/protocol/tests/fake_link.h"
#include "foundation/tests/app_folder_test.h"
#include "platform/bytes.h"

namespace {

constexpr UINT kLinkMsg = 0x8100;
constexpr UINT kAbortMsg = 0x8123;

using Bytes = std::vector<BYTE>;

// ---------------------------------------------------------------- command streams

Bytes Command(WORD code, const Bytes& payload) {
  Bytes c(4 + payload.size());
  bytes::Store16(c.data(), (uint16_t)(0x8000 + code));
  bytes::Store16(c.data() + 2, (uint16_t)payload.size());
  std::copy(payload.begin(), payload.end(), c.begin() + 4);
  return c;
}
Bytes Word(WORD code, WORD value) {
  Bytes p(2);
  bytes::Store16(p.data(), value);
  return Command(code, p);
}
Bytes Long(WORD code, DWORD value) {
  Bytes p(4);
  bytes::Store32(p.data(), value);
  return Command(code, p);
}
Bytes TagMark(DWORD tag) { return Long(10, tag); }
Bytes Query(WORD item) { return Word(32, item); }
Bytes OtStop() { return Word(144, 5); }
// A move block of XYZ items (code 0x47): type, Vn, Vc and three i32 positions each.
Bytes MoveBlock(int items, int seed) {
  Bytes b(6);
  bytes::Store16(b.data(), 0x8047);
  bytes::Store16(b.data() + 2, 18);
  bytes::Store16(b.data() + 4, (uint16_t)items);
  for (int i = 0; i < items; ++i)
    for (int k = 0; k < 18; ++k) b.push_back((BYTE)(seed * 31 + i * 7 + k + 1));
  return b;
}
Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---------------------------------------------------------------- frames

Bytes Frame(int version, BYTE pack, const Bytes& data, bool command = false) {
  DeviceFrame f;
  f.Clear();
  f.SetSync(version);
  f.SetAckMark(command ? kFrameMarkCommand : kFrameMarkData, version);
  WORD n = f.PutData(0, data.data(), (int)data.size(), version);
  f.SetCommand(kFrameCommandData, version);
  f.SetLength(n, version);
  f.SetPackNo(pack, version);
  f.UpdateChecksum(version);
  return Bytes(f.m_bytes, f.m_bytes + f.GetFrameSize(version));
}

// ---------------------------------------------------------------- the link alone

class SimuLinkTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_link.SetNotifySink(&m_sink);
  }
  void TearDown() override {
    m_link.Close();
    AppFolderTest::TearDown();
  }

  void OpenFile() { ASSERT_TRUE(m_link.Open("FILE:" + Path("out.cf"), 0, 0, nullptr, kLinkMsg)); }
  std::string FileBytes() { return testing_support::ReadFileBytes(Path("out.cf")); }

  void Write(const Bytes& bytes) {
    DWORD n = (DWORD)bytes.size();
    ASSERT_TRUE(m_link.Write(bytes.data(), &n));
    ASSERT_EQ(bytes.size(), n);
  }
  // Everything the link has to say.
  std::string RawAnswers() {
    std::string out;
    BYTE buffer[64];
    DWORD n = sizeof(buffer);
    while (m_link.Read(buffer, &n)) {
      out.append((const char*)buffer, n);
      n = sizeof(buffer);
    }
    return out;
  }
  // The same as text, with "<01>" for the ACK and "<xx>" for any other byte outside
  // 0x20-0x7E.
  std::string Answers() {
    std::string out;
    for (char c : RawAnswers()) {
      BYTE b = (BYTE)c;
      char hex[8];
      snprintf(hex, sizeof(hex), "<%02x>", b);
      out += b >= 0x20 && b <= 0x7E ? std::string(1, c) : std::string(hex);
    }
    return out;
  }

  CRecordingSink m_sink;
  int32_t m_version = 5;
  CManualTicks m_ticks;
  CSimuLink m_link{m_ticks, &m_version};
};

TEST_F(SimuLinkTest, OpensByItsNames) {
  struct {
    const char* name;
    bool opens;
  } cases[] = {
      {"SIMU:", true},
      {"simu", true},
      {"Simulator", true},
      {"SIM", false},
      {"FILE:", false},  // no path
      {"NET:127.0.0.1:1", false},
      {"COM1:9600", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.opens, m_link.Open(c.name, 0, 0, nullptr, kLinkMsg) != FALSE);
    EXPECT_EQ(c.opens, m_link.IsOpen() != FALSE);
    m_link.Close();
    EXPECT_FALSE(m_link.IsOpen());
  }
  // A file in a folder that does not exist cannot be created.
  EXPECT_FALSE(m_link.Open("FILE:" + Path("no such folder\\out.cf"), 0, 0, nullptr, kLinkMsg));
  EXPECT_FALSE(m_link.IsOpen());
  EXPECT_TRUE(m_link.GetFilePath().IsEmpty());
  // A closed link takes nothing.
  BYTE b = 0x7E;
  DWORD n = 1;
  EXPECT_FALSE(m_link.Write(&b, &n));
  EXPECT_EQ(0u, n);
}

// Each case writes its frames in the chunks given; the answers and the file follow.
TEST_F(SimuLinkTest, FramesAnsweredAndWritten) {
  const Bytes speed = Word(18, 40);  // DT_SD: written
  const Bytes good = Frame(5, 1, speed);
  Bytes bad = good;
  bad[kV5SumOffset] ^= 0xFF;
  Bytes badData = good;
  badData[kV5DataOffset + 5] ^= 0x01;
  const Bytes tagAndQuery = Frame(5, 2, Join({TagMark(7), Query(4)}), true);
  const Bytes v7 = Frame(7, 3, speed);
  std::string sd(speed.begin(), speed.end());
  struct Case {
    const char* what;
    int version;
    std::vector<Bytes> writes;
    std::string answers;
    std::string file;
  } cases[] = {
      {"a good frame is acknowledged and written", 5, {good}, "<01>", sd},
      {"a wrong check byte: no ACK, nothing written", 5, {bad}, "", ""},
      {"a damaged data byte: no ACK", 5, {badData}, "", ""},
      {"its resend is taken", 5, {bad, good}, "<01>", sd},
      {"garbage before a frame is skipped", 5, {Bytes{0x00, 0x7E, 0x13, 0x7E}, good}, "<01>", sd},
      {"a frame in three writes",
       5,
       {Bytes(good.begin(), good.begin() + 1), Bytes(good.begin() + 1, good.begin() + 100),
        Bytes(good.begin() + 100, good.end())},
       "<01>",
       sd},
      {"the same frame again (a late ACK's resend): ACK, written once", 5, {good, good}, "<01><01>", sd},
      {"ACK, then the G line, then the answer, in command order",
       5,
       {tagAndQuery},
       "<01>" + std::string(MakeReplyLine("G7")) + std::string(MakeReplyLine("SONLINE")),
       ""},
      {"protocol 7 frames", 7, {v7}, "<01>", sd},
      {"a protocol 5 frame while protocol 7 runs is garbage", 7, {good}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_version = c.version;
    OpenFile();
    for (const Bytes& w : c.writes) Write(w);
    EXPECT_EQ(c.answers, Answers());
    EXPECT_EQ(c.file, FileBytes());
    m_link.Close();
  }
}

// The command splitter over frames cut at awkward places: a move block across three
// frames, a command head split between two, zero fill, the engine's own commands left
// out, and commands too long to wait for whole.
TEST_F(SimuLinkTest, CommandStreamAcrossFrames) {
  const Bytes block = MoveBlock(12, 1);  // 222 bytes: spans two frames and a half
  const Bytes head = Word(3, 2);
  const Bytes longCommand = Command(29, Bytes(9000, 0x5A));  // longer than the link keeps
  const Bytes longQuery = Command(32, Bytes(9000, 0x11));    // not an answerable query
  struct Case {
    const char* what;
    std::vector<Bytes> frames;  // data of each frame
    Bytes file;
    std::string lines;  // reply lines, as their texts
  } cases[] = {
      {"a move block across three frames",
       {Bytes(block.begin(), block.begin() + 100), Bytes(block.begin() + 100, block.begin() + 200),
        Join({Bytes(block.begin() + 200, block.end()), head})},
       Join({block, head}),
       ""},
      {"a command head split between frames",
       {Bytes(head.begin(), head.begin() + 3), Bytes(head.begin() + 3, head.end())},
       head,
       ""},
      {"zero fill between commands", {Join({head, Bytes(60, 0)}), Join({Bytes(5, 0), head})}, Join({head, head}), ""},
      {"tag marks, queries and stops are not written",
       {Join({TagMark(1), head, Query(13), OtStop()}), Join({TagMark(2), head})},
       Join({head, head}),
       "G1 VVER5300 G2"},
      {"a command too long to wait passes through",
       {Bytes(longCommand.begin(), longCommand.begin() + 4000), Bytes(longCommand.begin() + 4000, longCommand.end()),
        head},
       Join({longCommand, head}),
       ""},
      {"a long engine command is dropped, the stream goes on",
       {Bytes(longQuery.begin(), longQuery.begin() + 4000), Bytes(longQuery.begin() + 4000, longQuery.end()),
        Join({head, TagMark(3)})},
       head,
       "G3"},
  };
  m_version = 7;  // frames of up to 1024 bytes keep the long cases short
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenFile();
    BYTE pack = 1;
    for (const Bytes& data : c.frames) {
      for (size_t at = 0; at < data.size() || (data.empty() && at == 0); at += DEVICE_FRAME_MAX_DATA) {
        size_t n = data.size() - at < DEVICE_FRAME_MAX_DATA ? data.size() - at : DEVICE_FRAME_MAX_DATA;
        Write(Frame(7, pack++, Bytes(data.begin() + at, data.begin() + at + n)));
      }
    }
    std::string lines;
    CReplyLineReader reader;
    for (char ch : RawAnswers()) {
      if ((BYTE)ch < 0x20 || reader.Feed(ch) != kReplyGood) continue;
      CString text(reader.GetText());
      lines += (lines.empty() ? "" : " ") + std::string((const char*)text.Trim());
    }
    EXPECT_EQ(c.lines, lines);
    EXPECT_EQ(std::string(c.file.begin(), c.file.end()), FileBytes());
    m_link.Close();
  }
}

TEST_F(SimuLinkTest, ReopeningEmptiesTheFile) {
  OpenFile();
  Write(Frame(5, 1, Word(18, 40)));
  EXPECT_EQ(6u, FileBytes().size());
  m_link.Close();
  OpenFile();
  EXPECT_EQ("", FileBytes());
  EXPECT_EQ("", Answers());
}

// ---------------------------------------------------------------- under the frame protocol

// A router of 600 x 400 x 100 mm at 1000, 2000 and 500 steps per inch.
DeviceParams Router(const char* name) {
  DeviceParams d;
  strncpy(d.m_szName, name, sizeof(d.m_szName) - 1);
  d.m_dWorkX = 600;
  d.m_dWorkY = 400;
  d.m_dWorkZ = 100;
  d.m_dResX = 1000;
  d.m_dResY = 2000;
  d.m_dResZ = 500;
  return d;
}

class SimuProtocolTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    m_config.strAppFolder = m_dir.Path();
    m_config.bFileFifo = FALSE;
    m_config.nQueueLimit = 0;
    m_link.SetNotifySink(&m_loop);
  }
  void TearDown() override {
    m_protocol.ResetFifo();
    m_link.Close();
    AppFolderTest::TearDown();
  }

  // Opens the link and attaches as the engine does: two sync frames and the queries.
  void Attach(const char* name, const DeviceParams& device) {
    m_link.SetDevice(device);
    ASSERT_TRUE(m_link.Open(name, 0, 0, nullptr, kLinkMsg));
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(&m_owner, &m_link, kAbortMsg);
    m_protocol.SendSyncFrame();
    m_protocol.SendSyncFrame();
    m_protocol.RequestQueries(0);
  }

  void RunUntil(const std::function<bool()>& done, int turns = 100000) { m_loop.RunUntil(done, turns); }

  // The lines posted to the owner, tag-progress ("G") lines included.
  std::string Lines(char letter) {
    std::string out;
    for (const auto& p : m_owner.Posts())
      if (!p.text.empty() && p.text[0] == letter) out += (out.empty() ? "" : "|") + p.text;
    return out;
  }

  // Queues a command stream as the path processor does: data frames filled to the
  // last byte, the last one short (zero fill).
  void QueueStream(const Bytes& stream) {
    WORD capacity = m_protocol.GetFrameDataCapacity();
    for (size_t at = 0; at < stream.size();) {
      int n = (int)(stream.size() - at < capacity ? stream.size() - at : capacity);
      ASSERT_EQ(n, m_protocol.QueueDataFrame(FALSE, stream.data() + at, n));
      at += (size_t)n;
    }
    m_protocol.MarkFifoEnd();
    m_protocol.SetDeliveredDone();
  }

  CManualTicks m_ticks;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol{m_ticks};
  CSimuLink m_link{m_ticks};
  CEngineLoop m_loop{m_protocol, m_ticks, kLinkMsg};
  CRecordingSink m_owner;
};

TEST_F(SimuProtocolTest, AnswersTheQueriesFromTheDeviceRecord) {
  // "雕刻机" in the system code page, and a ";" that would end the line early.
  Attach("SIMU:", Router("Router \xb5\xf1\xbf\xcc\xbb\xfa;1"));
  RunUntil([&] { return m_protocol.IsDeviceOnline() && !m_protocol.GetControllerVersion().IsEmpty(); }, 1000);
  ASSERT_TRUE(m_protocol.IsDeviceOnline());
  EXPECT_STREQ("ROUTER ????1", m_protocol.GetStatusText());
  EXPECT_STREQ("VER5300", m_protocol.GetControllerVersion());
  // 600 mm at 1000 steps/in, 400 at 2000, 100 at 500; the origin at the X/Y corner and
  // half way up Z.
  Vec3 w = m_protocol.GetWorkPosition(), o = m_protocol.GetOriginPosition();
  EXPECT_DOUBLE_EQ(23622, w.x);
  EXPECT_DOUBLE_EQ(31496, w.y);
  EXPECT_DOUBLE_EQ(1969, w.z);
  EXPECT_DOUBLE_EQ(0, o.x);
  EXPECT_DOUBLE_EQ(0, o.y);
  EXPECT_DOUBLE_EQ(984, o.z);
  EXPECT_EQ(0u, m_protocol.GetStats().nBadReplyLines);
  EXPECT_EQ(0u, m_protocol.GetStats().nIgnoredBytes);

  // The same answers at the next attach: the work area is fixed, not drawn.
  m_protocol.RequestQueries(0);
  RunUntil([&] { return m_protocol.IsDeviceOnline() != FALSE; }, 1000);
  EXPECT_EQ(w, m_protocol.GetWorkPosition());
  EXPECT_EQ(o, m_protocol.GetOriginPosition());
}

TEST_F(SimuProtocolTest, DeviceWithoutDimensionsAnswersAnEmptyArea) {
  Attach("SIMU", DeviceParams());
  RunUntil([&] { return m_protocol.IsDeviceOnline() != FALSE; }, 1000);
  ASSERT_TRUE(m_protocol.IsDeviceOnline());
  EXPECT_EQ(Vec3(), m_protocol.GetWorkPosition());
  EXPECT_EQ(Vec3(), m_protocol.GetOriginPosition());
  EXPECT_STREQ("", m_protocol.GetStatusText());
}

// A job of 300 tags, each a tag mark, a speed and a move block, sent through the file
// link: every frame is acknowledged at once, the tag lines come back in order, and
// the file holds the commands without the tag marks and without the zero fill.
TEST_F(SimuProtocolTest, ScriptedJobIsDeliveredAndExported) {
  Attach("FILE:" + m_dir / "job.cf", Router("R"));
  Bytes stream, expected;
  for (int tag = 1; tag <= 300; ++tag) {
    Bytes speed = Word(18, (WORD)(10 + tag % 7)), block = MoveBlock(1 + tag % 9, tag);
    stream = Join({stream, TagMark((DWORD)tag), speed, block});
    expected = Join({expected, speed, block});
  }
  QueueStream(stream);
  RunUntil([&] { return m_protocol.IsAllDelivered() != FALSE; });
  ASSERT_TRUE(m_protocol.IsAllDelivered());
  EXPECT_EQ(0u, m_protocol.GetStats().nFramesResent);
  EXPECT_EQ(m_protocol.GetStats().nFramesSent, m_link.GetFramesAcked());
  std::string tags;
  for (int tag = 1; tag <= 300; ++tag) tags += (tags.empty() ? "G" : "|G") + std::to_string(tag) + " ";
  EXPECT_EQ(tags, Lines('G'));
  std::string file = testing_support::ReadFileBytes(m_dir / "job.cf");
  EXPECT_EQ(std::string(expected.begin(), expected.end()), file);
}

// Frames that leave with a wrong check value now and then ("CrcErrSimulate") are not
// acknowledged; the protocol resends them after its time-out and the export still holds
// every command exactly once.
TEST_F(SimuProtocolTest, BadCheckValuesAreResentNotWritten) {
  m_config.bCrcErrSimulate = TRUE;
  m_config.nAckTimeout_ms = 200;
  Attach("FILE:" + m_dir / "job.cf", Router("R"));
  Bytes stream;
  // About 940 frames: one in 50 goes out damaged, so some surely do.
  for (int i = 0; i < 20000; ++i) {
    Bytes w = Word(18, (WORD)i);
    stream.insert(stream.end(), w.begin(), w.end());
  }
  QueueStream(stream);
  RunUntil([&] { return m_protocol.IsAllDelivered() != FALSE; });
  ASSERT_TRUE(m_protocol.IsAllDelivered());
  EXPECT_GT(m_protocol.GetStats().nTimeouts, 0u);
  EXPECT_EQ(m_protocol.GetStats().nTimeouts, m_protocol.GetStats().nFramesResent);
  EXPECT_EQ(std::string(stream.begin(), stream.end()), testing_support::ReadFileBytes(m_dir / "job.cf"));
}

#ifdef CORVANE_HOST
// A file target that cannot take the bytes (a full disk): the frames are not
// acknowledged, so the engine gives up on the link instead of calling the export done.
TEST_F(SimuProtocolTest, FullDiskIsALinkFailureNotADelivery) {
  m_config.nAckTimeout_ms = 100;
  m_config.nRetryLimit = 3;
  m_link.SetDevice(Router("R"));
  ASSERT_TRUE(m_link.Open("FILE:/dev/full", 0, 0, nullptr, kLinkMsg));
  m_protocol.Configure(m_config);
  m_protocol.Attach(&m_owner, &m_link, kAbortMsg);
  QueueStream(Word(18, 1));
  RunUntil([&] { return m_owner.WParams(kAbortMsg) != ""; }, 1000);
  EXPECT_EQ(std::to_string(kAbortLinkDown), m_owner.WParams(kAbortMsg));
  EXPECT_FALSE(m_protocol.IsAllDelivered());
  EXPECT_TRUE(m_link.HasFileFailed());
  EXPECT_EQ(0u, m_link.GetFramesAcked());
}
#endif

}  // namespace
