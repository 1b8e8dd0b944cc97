// The UDP link and the LAN search against the test controller on loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "device/links/net_discovery.h"
#include "device/links/tests/udp_test_support.h"
#include "device/links/udp_link.h"
#include "foundation/settings.h"
#include "platform/testing/test_support.h"

using namespace udp_test;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// The link under test gets its own protocol version, retransmission table and storage
// target, and a clock that moves only when the test (or the pump's tick) moves it.
class UdpLinkTest : public ::testing::Test {
 protected:
  UdpLinkContext Context() {
    UdpLinkContext c;
    c.pProtocolVersion = &m_nVersion;
    c.pReTXTable = m_table.data();
    c.pUploadTarget = &m_bTarget;
    c.pUploadTargetName = &m_strTarget;
    c.pTicks = &m_ticks;
    return c;
  }
  void SetUp() override {
    ASSERT_NE(0, PeerPort()) << "run through tests/peers/run_with_peer.sh";
    ASSERT_EQ("PONG", Control("PING"));
    for (const char* c : {"RESET", "FORGET", "SILENT 0", "FAULTS", "STATUS ACK 0", "PROT 0", "OTHER_CONSOLE 0", "INFO"})
      Control(c);
    m_savedFolder = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    Settings("3", "300", "10000");
    UseLoopbackBroadcast();
  }
  void TearDown() override {
    if (m_link.IsOpen() || m_link.GetSocket() != INVALID_SOCKET) m_link.Close();
    g_strAppFolder = m_savedFolder;
  }
  void Settings(const char* retry, const char* resend_ms, const char* linkTimeout_ms) {
    std::string ini = std::string("[Communication]\r\nRetry=") + retry + "\r\nTimeout(ms)=" + resend_ms +
                      "\r\nLinkTimeout(ms)=" + linkTimeout_ms + "\r\n";
    WriteFileBytes(m_dir / "Parameters.ini", ini);
  }
  CString PeerComm() const {
    CString s;
    s.Format("NET:127.0.0.1:%u", PeerPort());
    return s;
  }
  void Route() {
    m_window.onSocket = [this](SOCKET s, LPARAM e) { m_link.OnSocketNotify(s, e); };
  }
  // The engine's 20 ms resend timer, with the link's clock moved along.
  void Tick() {
    m_ticks.Advance(20);
    m_link.ReTrans();
  }
  bool Connect() {
    Route();
    if (!m_link.Open(PeerComm(), 0, 0, m_window.Handle(), kWmTestLinkNotify)) return false;
    return m_window.PumpUntil(
        3000, [this] { return m_link.IsOpen() != 0; }, [this] { Tick(); });
  }
  // The counters of the link's stats line.
  std::map<std::string, long> LinkStats() const {
    std::map<std::string, long> out;
    std::istringstream in(std::string(m_link.GetStatsLine()));
    std::string item;
    while (in >> item) {
      size_t eq = item.find('=');
      if (eq != std::string::npos) out[item.substr(0, eq)] = atol(item.c_str() + eq + 1);
    }
    return out;
  }
  // A protocol-5 device frame with pack number pack.
  static std::vector<BYTE> V5Frame(BYTE pack, bool goodSum = true) {
    std::vector<BYTE> f(134, 0);
    f[0] = f[1] = 0x7E;
    f[2] = pack;
    for (int i = 0; i < 128; ++i) f[3 + i] = (BYTE)(i + pack);
    BYTE sum = 0;
    for (int i = 2; i <= 130; ++i) sum = (BYTE)(sum + f[i]);
    f[131] = goodSum ? sum : (BYTE)(sum + 1);
    return f;
  }
  // Sends a device frame and returns the status byte that comes back (0 when none).
  BYTE Exchange(const std::vector<BYTE>& frame, DWORD wait_ms = 2000) {
    m_window.notes.clear();
    DWORD n = (DWORD)frame.size();
    EXPECT_TRUE(m_link.Write(frame.data(), &n));
    return ReadStatus(wait_ms);
  }
  // The first byte that comes to Read within the time (0 when none).
  BYTE ReadStatus(DWORD wait_ms) {
    BYTE status = 0;
    m_window.PumpUntil(wait_ms, [&] {
      BYTE b[16];
      DWORD len = sizeof(b);
      if (m_link.Read(b, &len)) status = b[0];
      return status != 0;
    });
    return status;
  }
  // Moves what Read gives into replies (the printable bytes: reply text); true when an
  // ACK of pack came among them (a late ACK of an earlier frame carries another pack).
  bool ReadReplies(std::string& replies, int pack) {
    bool acked = false;
    BYTE b[256];
    DWORD len = sizeof(b);
    while (m_link.Read(b, &len)) {
      for (DWORD k = 0; k < len; ++k) {
        if (b[k] >= 0x20 && b[k] < 0x7F)
          replies += (char)b[k];
        else if (IsAckStatus(b[k]) && m_link.GetLastAckPack() == pack)
          acked = true;
      }
      len = sizeof(b);
    }
    return acked;
  }
  // Writes the frame until the controller acknowledges it (40 tries, 250 ms each),
  // collecting the reply text meanwhile; counts the resends.
  bool SendUntilAcked(const std::vector<BYTE>& frame, BYTE pack, std::string& replies, int& resends) {
    bool acked = false;
    for (int attempt = 0; attempt < 40 && !acked; ++attempt) {
      if (attempt) ++resends;
      DWORD n = (DWORD)frame.size();
      if (!m_link.Write(frame.data(), &n)) return false;
      m_window.PumpUntil(250, [&] { return (acked = ReadReplies(replies, pack) || acked); });
    }
    return acked;
  }

  TempDir m_dir;
  CString m_savedFolder;
  TestWindow m_window;
  int32_t m_nVersion = 5;
  std::vector<ReTXEntry> m_table = std::vector<ReTXEntry>(kReTXTableSize);
  WORD m_bTarget = 0;
  CString m_strTarget;
  CManualTicks m_ticks;
  CUdpLink m_link{Context()};
};

TEST_F(UdpLinkTest, ConnectIsOpenOnlyAfterTheAck) {
  EXPECT_FALSE(m_link.Open("COM1:9600", 0, 0, nullptr, 0));
  Route();
  ASSERT_TRUE(m_link.Open(PeerComm(), 0, 0, m_window.Handle(), kWmTestLinkNotify));
  EXPECT_FALSE(m_link.IsOpen());
  EXPECT_EQ(2, m_link.GetSequenceNumber());  // the Connect took sequence 1
  ASSERT_TRUE(m_window.PumpUntil(3000, [this] { return m_link.IsOpen() != 0; }));
  EXPECT_TRUE(m_link.IsReTXEmpty());
  EXPECT_EQ(1, Stat("connect"));
  EXPECT_EQ(1, Stat("connected"));
  EXPECT_EQ("0:", Stats()["connect_text"]);  // mode 0, no target text
  EXPECT_EQ(5, m_nVersion);
  auto stats = LinkStats();
  EXPECT_EQ(1, stats["frames_sent"]);
  EXPECT_EQ(1, stats["frames_received"]);
  EXPECT_EQ(0, stats["frames_resent"]);
  m_link.Close();
  EXPECT_FALSE(m_link.IsOpen());
  m_window.PumpFor(200);
  EXPECT_GE(Stat("disconnect"), 1);
  EXPECT_EQ(0, Stat("connected"));
}

TEST_F(UdpLinkTest, ConnectReplySelectsTheDeviceProtocol) {
  Control("PROT 1");
  ASSERT_TRUE(Connect());
  EXPECT_EQ(7, m_nVersion);
  EXPECT_EQ(5, g_nProtocolVersion);  // the process's own version is not this link's
  m_link.Close();
  Control("PROT 0");
  ASSERT_TRUE(Connect());
  EXPECT_EQ(5, m_nVersion);
}

TEST_F(UdpLinkTest, StorageTargetTravelsInTheConnect) {
  m_bTarget = 1;
  m_strTarget = "*job.ufs";
  ASSERT_TRUE(Connect());
  EXPECT_EQ("2:SIMU[0]CRPT[1]FILE[job.ufs]", Stats()["connect_text"]);
  EXPECT_EQ(7, m_nVersion);  // a storage target always uses protocol 7
}

TEST_F(UdpLinkTest, DataFramesGetAckBusyAndNak) {
  ASSERT_TRUE(Connect());
  // A plain F0 is handed on with the low bits of the pack its status frame names.
  EXPECT_EQ(0xF3, Exchange(V5Frame(3)));
  EXPECT_EQ(3, m_link.GetLastAckPack());
  Control("STATUS BUSY 1");
  EXPECT_EQ(6, Exchange(V5Frame(4)));
  EXPECT_EQ(3, m_link.GetLastAckPack());
  Control("STATUS NAK 1");
  EXPECT_EQ(0x15, Exchange(V5Frame(4)));
  EXPECT_EQ(0xF4, Exchange(V5Frame(4)));
  EXPECT_EQ(0x15, Exchange(V5Frame(5, false)));  // bad checksum
  EXPECT_EQ(4, m_link.GetLastAckPack());
  // A repeated ACK of the same write is dropped without a notification.
  m_window.notes.clear();
  ASSERT_EQ("OK", Control("SENDSTATUS 240 4"));
  EXPECT_EQ(0, ReadStatus(300));
  EXPECT_TRUE(m_window.notes.empty());
  // A frame written again (its first ACK went astray upstream) draws its ACK again:
  // dropped, the frame would be resent until the link is declared down.
  for (int resend = 0; resend < 3; ++resend) EXPECT_EQ(0xF4, Exchange(V5Frame(4))) << resend;
}

// A status frame about another frame than the one in flight (late, or repeated by the
// network) is not passed on: upstream only the low four bits of a pack number are
// compared, so it could confirm a frame the controller never took.
TEST_F(UdpLinkTest, StatusOfAnotherFrameIsNotTaken) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(0xF5, Exchange(V5Frame(5)));
  Control("SILENT 1");
  EXPECT_EQ(0, Exchange(V5Frame(6), 200));
  Control("SILENT 0");
  m_window.notes.clear();
  ASSERT_EQ("OK", Control("SENDSTATUS 240 22"));  // pack 22: the low bits of 6
  EXPECT_EQ(0, ReadStatus(300));
  EXPECT_TRUE(m_window.notes.empty());
  EXPECT_EQ(1, LinkStats()["status_stale"]);
  ASSERT_EQ("OK", Control("SENDSTATUS 240 6"));
  EXPECT_EQ(0xF6, ReadStatus(2000));
  EXPECT_EQ(6, m_link.GetLastAckPack());
}

TEST_F(UdpLinkTest, ReplyLinesAreReadAndAcknowledged) {
  ASSERT_TRUE(Connect());
  m_window.notes.clear();
  ASSERT_EQ("OK", Control("REPLY SONLINE"));
  std::string got;
  ASSERT_TRUE(m_window.PumpUntil(2000, [&] {
    char b[64];
    DWORD n = sizeof(b);
    if (m_link.Read((BYTE*)b, &n)) got.append(b, n);
    return got == "SONLINE";
  }));
  ASSERT_FALSE(m_window.notes.empty());
  EXPECT_EQ(1u, m_window.notes[0].first);
  m_window.PumpUntil(1000, [] { return Stat("acks_rx") == 1; });
  EXPECT_EQ(1, Stat("acks_rx"));
}

// An owner that reads on the socket message itself gets no data notification (it
// would only send the owner back to read an empty link), but error reports still come.
TEST_F(UdpLinkTest, ReceiveForReaderPostsNoDataNotificationButErrorReports) {
  ASSERT_TRUE(Connect());
  int arrivals = 0;
  m_window.onSocket = [&](SOCKET s, LPARAM e) {
    if (m_link.ReceiveForReader(s, e)) ++arrivals;
  };
  m_window.notes.clear();
  ASSERT_EQ("OK", Control("REPLY SONLINE"));
  ASSERT_TRUE(m_window.PumpUntil(2000, [&] { return arrivals == 1; }));
  char b[64];
  DWORD n = sizeof(b);
  ASSERT_TRUE(m_link.Read((BYTE*)b, &n));
  EXPECT_EQ("SONLINE", std::string(b, n));
  ASSERT_EQ("OK", Control("ERROR -15"));
  ASSERT_TRUE(m_window.PumpUntil(2000, [this] { return !m_window.notes.empty(); }));
  m_window.PumpFor(100);
  ASSERT_EQ(1u, m_window.notes.size());  // the error report alone
  EXPECT_EQ(0xFFFFu, m_window.notes[0].first);
  EXPECT_EQ(-15, (int)m_window.notes[0].second);
  EXPECT_EQ(1, arrivals);
  // The controller's reply was acknowledged as ever.
  EXPECT_TRUE(m_window.PumpUntil(1000, [] { return Stat("acks_rx") == 1; }));
}

TEST_F(UdpLinkTest, ErrorReportIsPostedWithItsCode) {
  ASSERT_TRUE(Connect());
  m_window.notes.clear();
  Control("ERROR -15");
  ASSERT_TRUE(m_window.PumpUntil(2000, [this] { return !m_window.notes.empty(); }));
  EXPECT_EQ(0xFFFFu, m_window.notes[0].first);
  EXPECT_EQ(-15, (int)m_window.notes[0].second);
}

TEST_F(UdpLinkTest, KeepAliveAndSilentController) {
  Settings("3", "300", "2600");
  ASSERT_TRUE(Connect());
  EXPECT_EQ(2600u, m_link.GetLinkTimeout());
  Control("RESET");
  m_link.SendKeepAlive();  // heard just now: nothing due
  m_ticks.Advance(1999);
  m_link.SendKeepAlive();
  m_window.PumpFor(100);
  EXPECT_EQ(0, Stat("keepalive"));
  m_ticks.Advance(1);
  m_link.SendKeepAlive();
  ASSERT_TRUE(m_window.PumpUntil(1000, [] { return Stat("keepalive") == 1; }));
  // The controller's answer counts as hearing from it.
  ASSERT_TRUE(m_window.PumpUntil(1000, [this] { return m_link.GetLastHeardTick() == m_ticks.Now(); }));
  Control("SILENT 1");
  m_ticks.Advance(2600);
  m_link.SendKeepAlive();
  EXPECT_FALSE(m_link.IsLinkTimedOut());  // exactly LinkTimeout: not yet
  m_ticks.Advance(1);
  EXPECT_TRUE(m_link.IsLinkTimedOut());
}

TEST_F(UdpLinkTest, ControllerThatNeverAnswersTimesOutAndGetsNoKeepAlive) {
  Control("SILENT 1");
  Settings("3", "150", "5000");
  Route();
  ASSERT_TRUE(m_link.Open(PeerComm(), 0, 0, m_window.Handle(), kWmTestLinkNotify));
  m_ticks.Advance(5000);
  m_link.SendKeepAlive();  // not connected: nothing goes out
  EXPECT_FALSE(m_link.IsLinkTimedOut());
  m_ticks.Advance(1);
  EXPECT_TRUE(m_link.IsLinkTimedOut());
  EXPECT_EQ(1, LinkStats()["frames_sent"]);  // the Connect alone
}

TEST_F(UdpLinkTest, UnansweredConnectIsResentRetryTimesThenDropped) {
  Control("SILENT 1");
  Settings("3", "150", "60000");
  Route();
  ASSERT_TRUE(m_link.Open(PeerComm(), 0, 0, m_window.Handle(), kWmTestLinkNotify));
  ASSERT_TRUE(m_window.PumpUntil(1000, [] { return Stat("rx") == 1; }));
  m_ticks.Advance(150);  // exactly Timeout: not yet
  m_link.ReTrans();
  EXPECT_EQ(0u, m_link.GetFramesResent());
  for (int resend = 1; resend <= 3; ++resend) {
    m_ticks.Advance(151);
    m_link.ReTrans();
    ASSERT_TRUE(m_window.PumpUntil(1000, [&] { return Stat("rx") == 1 + resend; })) << resend;
  }
  EXPECT_TRUE(m_link.IsReTXEmpty());
  m_ticks.Advance(1000);
  m_link.ReTrans();
  m_window.PumpFor(100);
  EXPECT_EQ(4, Stat("rx"));
  EXPECT_FALSE(m_link.IsOpen());
  auto stats = LinkStats();
  EXPECT_EQ(3, stats["frames_resent"]);
  EXPECT_EQ(1, stats["frames_expired"]);
}

TEST_F(UdpLinkTest, WithoutRetriesBothDisconnectsGoOutAtOnce) {
  Settings("0", "150", "60000");
  ASSERT_TRUE(Connect());
  Control("RESET");
  m_link.Close();
  ASSERT_TRUE(m_window.PumpUntil(1000, [] { return Stat("disconnect") == 2; }));
}

TEST_F(UdpLinkTest, FramesFromOtherSendersAreRefused) {
  ASSERT_TRUE(Connect());
  m_window.notes.clear();
  SOCKET other = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(m_link.GetLocalPort());
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  BYTE frame[64];
  int n = BuildUdpFrame(frame, sizeof(frame), kUdpData, 0, 77, "intruder", 8);
  sendto(other, (const char*)frame, n, 0, (sockaddr*)&to, sizeof(to));
  n = BuildUdpFrame(frame, sizeof(frame), kUdpErrorReport, 0, 0, nullptr, 0);
  sendto(other, (const char*)frame, n, 0, (sockaddr*)&to, sizeof(to));
  m_window.PumpUntil(1000, [this] { return m_link.GetForeignDatagrams() == 2; });
  closesocket(other);
  EXPECT_EQ(2u, m_link.GetForeignDatagrams());
  EXPECT_TRUE(m_window.notes.empty());
  BYTE b[16];
  DWORD len = sizeof(b);
  EXPECT_FALSE(m_link.Read(b, &len));
}

TEST_F(UdpLinkTest, ReceiveBufferNeverOverflows) {
  ASSERT_TRUE(Connect());
  std::string line = "L" + std::string(999, 'x');
  for (int i = 0; i < 10; ++i) Control("REPLY " + line);
  m_window.PumpUntil(3000, [this] { return m_link.GetReceiveBytesDropped() > 0; });
  m_window.PumpFor(300);
  EXPECT_EQ(10000u - 8192u, m_link.GetReceiveBytesDropped());
  static BYTE all[20000];
  DWORD n = sizeof(all);
  ASSERT_TRUE(m_link.Read(all, &n));
  EXPECT_EQ(8192u, n);
}

TEST_F(UdpLinkTest, DuplicatedControllerDataFrameReachesTheReaderOnce) {
  ASSERT_TRUE(Connect());
  Control("RESET");
  Control("FAULTS dup=1");  // every datagram the controller sends goes out twice
  ASSERT_EQ("OK", Control("REPLY W+0001.000"));
  std::string got;
  m_window.PumpUntil(1000, [&] {
    char b[64];
    DWORD n = sizeof(b);
    while (m_link.Read((BYTE*)b, &n)) {
      got.append(b, n);
      n = sizeof(b);
    }
    return LinkStats()["frames_duplicate"] == 1 && Stat("acks_rx") == 2;
  });
  EXPECT_EQ("W+0001.000", got);
  EXPECT_EQ(1, LinkStats()["frames_duplicate"]);
  EXPECT_EQ(2, Stat("acks_rx"));  // the copy is acknowledged too, so the controller stops resending
}

TEST_F(UdpLinkTest, ReopeningIsNotOpenUntilTheNewConnectIsAcknowledged) {
  ASSERT_TRUE(Connect());
  Control("SILENT 1");
  Route();
  ASSERT_TRUE(m_link.Open(PeerComm(), 0, 0, m_window.Handle(), kWmTestLinkNotify));
  EXPECT_FALSE(m_link.IsOpen());
  m_window.PumpFor(100, [this] { Tick(); });
  EXPECT_FALSE(m_link.IsOpen());
  Control("SILENT 0");
  EXPECT_TRUE(m_window.PumpUntil(
      3000, [this] { return m_link.IsOpen() != 0; }, [this] { Tick(); }));
}

// Both directions at once under faults on both sides, as the engine runs a job: the
// PC streams device frames stop-and-wait (resend until its status is ACK), the
// controller streams numbered reply lines stop-and-wait (resend until the link's ACK).
// Datagrams are dropped, corrupted, duplicated and delayed each way. Every device frame
// must be taken by the controller once and in order, and every reply line must reach
// the reader once and in order.
TEST_F(UdpLinkTest, ExactlyOnceInOrderBothWaysUnderFaults) {
  Settings("10", "150", "60000");
  ASSERT_TRUE(Connect());
  Control("RESET");
  Control(
      "FAULTS drop=0.1 corrupt=0.1 dup=0.2 delay=0.2 delay_ms=40 rx_drop=0.1 rx_corrupt=0.1 rx_dup=0.2 "
      "resend_ms=60 seed=5");
  constexpr int kFrames = 120, kLines = 60;
  ASSERT_EQ("OK", Control("LINES " + std::to_string(kLines)));
  std::string replies;  // the printable bytes read: the reply lines
  int resends = 0;
  for (int i = 0; i < kFrames; ++i)
    ASSERT_TRUE(SendUntilAcked(V5Frame((BYTE)i), (BYTE)i, replies, resends)) << "frame " << i;
  m_window.PumpUntil(5000, [&] {
    ReadReplies(replies, -1);
    return replies.size() >= 5u * kLines;
  });

  std::string expected;
  for (int i = 0; i < kLines; ++i) {
    char line[8];
    snprintf(line, sizeof(line), "L%03d;", i);
    expected += line;
  }
  EXPECT_EQ(expected, replies);
  auto st = Stats();
  std::string packs;
  for (int i = 0; i < kFrames; ++i) packs += (i ? "," : "") + std::to_string(i);
  EXPECT_EQ(packs, st["packs"]);
  EXPECT_EQ(kFrames, atoi(st["frames_ok"].c_str()));
  // The faults did happen, on both sides.
  for (const char* key : {"dropped", "corrupted", "duplicated", "delayed", "rx_dropped", "rx_corrupted",
                          "rx_duplicated", "repeated_packs", "replies_resent"})
    EXPECT_GT(atoi(st[key].c_str()), 0) << key;
  EXPECT_EQ(0, atoi(st["replies_expired"].c_str()));
  EXPECT_GT(resends, 0);
  auto link = LinkStats();
  EXPECT_GT(link["frames_duplicate"], 0);
  EXPECT_GT(link["bytes_bad_check"], 0);  // corrupted frames never reached the link's user
}

// The tag marks of one device frame draw their lines together, in one Data frame of the
// controller, or with the lines still queued behind an unacknowledged one. Under faults
// both ways each line must still reach the reader once and in order.
TEST_F(UdpLinkTest, TagLinesOfAFrameArriveOnceInOrderUnderFaults) {
  Settings("10", "150", "60000");
  ASSERT_TRUE(Connect());
  Control("RESET");
  Control("FAULTS drop=0.1 corrupt=0.1 dup=0.2 rx_drop=0.1 rx_dup=0.2 resend_ms=60 seed=7");
  constexpr int kFrames = 30, kTagsPerFrame = 3;
  std::string expected, replies;
  int resends = 0;
  for (int i = 0; i < kFrames; ++i) {
    std::vector<BYTE> f(134, 0);
    f[0] = f[1] = 0x7E;
    f[2] = (BYTE)i;
    for (int k = 0; k < kTagsPerFrame; ++k) {
      int tag = i * kTagsPerFrame + k + 1;
      BYTE mark[8] = {10, 0x80, 4, 0, (BYTE)tag, (BYTE)(tag >> 8), 0, 0};  // tag mark: word 0x800A, 4 bytes
      memcpy(&f[3 + 8 * k], mark, sizeof(mark));
      std::string text = "G" + std::to_string(tag) + " ";
      BYTE sum = 0;
      for (char c : text) sum = (BYTE)(sum + (BYTE)c);
      char line[32];
      snprintf(line, sizeof(line), "%s%02X;", text.c_str(), sum);
      expected += line;
    }
    BYTE sum = 0;
    for (int k = 2; k <= 130; ++k) sum = (BYTE)(sum + f[k]);
    f[131] = sum;
    ASSERT_TRUE(SendUntilAcked(f, (BYTE)i, replies, resends)) << "frame " << i;
  }
  m_window.PumpUntil(5000, [&] {
    ReadReplies(replies, -1);
    return replies.size() >= expected.size() && Stat("replies_pending") == 0;
  });
  EXPECT_EQ(expected, replies);
  auto st = Stats();
  EXPECT_EQ(kFrames * kTagsPerFrame, atoi(st["tags"].c_str()));
  EXPECT_LE(atoi(st["replies_sent"].c_str()), kFrames);  // never a Data frame a line
  EXPECT_GT(atoi(st["replies_resent"].c_str()), 0);
  EXPECT_EQ(0, atoi(st["replies_expired"].c_str()));
}

TEST_F(UdpLinkTest, DiscoverOnlyLinkCollectsControllers) {
  Control("INFO A[2048]");
  Route();
  ASSERT_TRUE(m_link.Open("NET:", 0, 1, m_window.Handle(), kWmTestLinkNotify));
  m_link.SetPeer("", PeerPort());
  m_link.SendEnum();
  m_link.SendEnum();
  CStringArray found;
  ASSERT_TRUE(m_window.PumpUntil(2000, [&] { return Stat("enum") == 2 && m_link.GetFoundDevices(found) == 1; }));
  m_window.PumpFor(200);
  ASSERT_EQ(1, m_link.GetFoundDevices(found));  // two answers, one entry
  CString expected;
  expected.Format("TestCarver:127.0.0.1:%u:0.0.0.0:0", PeerPort());
  EXPECT_STREQ(expected, found[0]);
  EXPECT_EQ(0, Stat("connect"));
  m_link.Close();
  EXPECT_EQ(0, Stat("disconnect"));
}

TEST_F(UdpLinkTest, BackgroundProbeFindsTheControllerAndItsInformation) {
  FreeNetDevices();
  Control("INFO A[100]B[200]C[300]");
  CNetDiscovery probe(PeerPort());
  m_window.onSocket = [&](SOCKET s, LPARAM e) { probe.OnSocketNotify(s, e); };
  probe.SendDiscoveryProbe(m_window.Handle());
  ASSERT_TRUE(m_window.PumpUntil(2000, [] { return g_NetDevices.m_nCount == 1; }));
  CString conn;
  conn.Format("NET:TestCarver:127.0.0.1:%u:0.0.0.0:0", PeerPort());
  EXPECT_STREQ("A[100]B[200]C[300]", GetNetDeviceInfoForConnection(conn));
  Control("INFO A[5]");
  probe.SendDiscoveryProbe(m_window.Handle());
  ASSERT_TRUE(m_window.PumpUntil(2000, [&] { return GetNetDeviceInfoForConnection(conn) == "A[5]"; }));
  EXPECT_EQ(1, g_NetDevices.m_nCount);
  probe.Close();
  FreeNetDevices();
}

TEST_F(UdpLinkTest, SimulatorRoleAnswersLikeAController) {
  WORD port = FreeUdpPort();  // for the simulated controller
  char savedDir[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, savedDir);
  SetCurrentDirectoryA(m_dir.Path());
  Route();
  ASSERT_TRUE(m_link.Open("NET:127.0.0.1:1", port, 0, m_window.Handle(), kWmTestLinkNotify));

  SOCKET console = socket(AF_INET, SOCK_DGRAM, 0);
  u_long nonBlocking = 1;
  ioctlsocket(console, FIONBIO, &nonBlocking);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  auto send = [&](BYTE type, const std::vector<BYTE>& payload) {
    BYTE frame[512];
    int n = BuildUdpFrame(frame, sizeof(frame), type, 1, 1, payload.data(), (WORD)payload.size());
    sendto(console, (const char*)frame, n, 0, (sockaddr*)&to, sizeof(to));
  };
  std::vector<std::string> answers;
  auto collect = [&] {
    char buf[2048];
    int n;
    while ((n = recv(console, buf, sizeof(buf), 0)) > 0)
      answers.emplace_back(buf + kUdpHeaderSize, (size_t)(n - kUdpHeaderSize));
  };
  send(kUdpEnum, {});
  ASSERT_TRUE(m_window.PumpUntil(2000, [&] {
    collect();
    return !answers.empty();
  }));
  ASSERT_EQ(28u, answers[0].size());
  EnumReply reply;
  memcpy(&reply, answers[0].data(), sizeof(reply));
  EXPECT_EQ(port, reply.port);

  send(kUdpConnect, {0, 0, 0, 0});
  // One device frame carrying a status query (word 32, length 2, code 4) and a command
  // (word 0x0101, length 3) that goes to the capture file.
  std::vector<BYTE> f(134, 0);
  f[0] = f[1] = 0x7E;
  BYTE data[] = {32, 0, 2, 0, 4, 0, 1, 1, 3, 0, 'a', 'b', 'c'};
  memcpy(&f[3], data, sizeof(data));
  BYTE sum = 0;
  for (int i = 2; i <= 130; ++i) sum = (BYTE)(sum + f[i]);
  f[131] = sum;
  answers.clear();
  send(kUdpData, f);
  m_window.PumpUntil(2000, [&] {
    collect();
    return answers.size() >= 2;
  });
  ASSERT_EQ(2u, answers.size());
  EXPECT_EQ(std::string(1, '\x01'), answers[0]);  // the frame's acknowledgement
  BYTE expectSum = 0;
  for (char c : std::string("SONLINE ")) expectSum = (BYTE)(expectSum + (BYTE)c);
  char expected[32];
  sprintf(expected, "SONLINE %02X;", expectSum);
  EXPECT_EQ(expected, answers[1]);
  closesocket(console);
  m_link.Close();
  SetCurrentDirectoryA(savedDir);
  EXPECT_EQ(std::string("\x01\x01\x03\x00"
                        "abc",
                        7),
            testing_support::ReadFileBytes(m_dir / "CamData.dat"));
}

}  // namespace
