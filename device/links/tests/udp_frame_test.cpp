#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/links/udp_frame.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Frame(BYTE type, BYTE flag, WORD sequence, const std::string& payload) {
  Bytes out(kUdpHeaderSize + payload.size());
  int n = BuildUdpFrame(out.data(), out.size(), type, flag, sequence, payload.data(), (WORD)payload.size());
  EXPECT_EQ((int)out.size(), n);
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(UdpFrame, HeaderIsDecodedFieldByField) {
  Bytes f = Frame(kUdpData, kUdpFlagStatus, 0x1234, "ab");
  UdpFrameHeader h = DecodeUdpFrameHeader(f.data());
  EXPECT_EQ(kUdpFrameMagic, h.magic);
  EXPECT_EQ(kUdpData, h.type);
  EXPECT_EQ(kUdpFlagStatus, h.flag);
  EXPECT_EQ(0x1234, h.sequence);
  EXPECT_EQ(2, h.length);
  EXPECT_EQ(f[4] | (f[5] << 8), h.crc);
}

TEST(UdpFrame, EnumFrameBytes) {
  Bytes f = Frame(kUdpEnum, kUdpFlagPc, 0, "");
  const Bytes golden = {0xFE, 0xFE, 0xFE, 0xFE, 0xB9, 0x0B, 0x01, 0x01, 0x00,
                        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
  EXPECT_EQ(golden, f);
  BYTE small[20];
  EXPECT_EQ(0, BuildUdpFrame(small, sizeof(small), kUdpData, 1, 0, "abc", 3));
  static BYTE big[kUdpHeaderSize + kUdpMaxPayload + 2];
  EXPECT_EQ(0, BuildUdpFrame(big, sizeof(big), kUdpData, 1, 0, nullptr, kUdpMaxPayload + 1));
  EXPECT_EQ(kUdpHeaderSize + kUdpMaxPayload, BuildUdpFrame(big, sizeof(big), kUdpData, 1, 0, nullptr, kUdpMaxPayload));
}

// Collects the frames the reassembly delivers.
class Collector : public CUdpFrameBuffer {
 public:
  void OnFrame(BYTE* frame) override {
    const UdpFrameHeader h = DecodeUdpFrameHeader(frame);
    if (h.type == 0x66) throw 1;  // a handler that fails
    frames.emplace_back((const char*)frame + kUdpHeaderSize, h.length);
    sequences.push_back(h.sequence);
  }
  void Feed(const Bytes& b) { AppendData(b.data(), (int)b.size()); }
  std::vector<std::string> frames;
  std::vector<WORD> sequences;
};

TEST(UdpReassembly, DeliveryCases) {
  Bytes a = Frame(kUdpData, 0, 1, "first"), b = Frame(kUdpData, 0, 2, "second");
  Bytes badCrc = Frame(kUdpData, 0, 3, "broken");
  badCrc[kUdpHeaderSize] ^= 0xFF;
  Bytes longHeader = Frame(kUdpData, 0, 4, "");
  longHeader[16] = 0x01;  // length 8193
  longHeader[17] = 0x20;
  Bytes garbage = {1, 2, 3, 0xFE, 0xFE, 0xFE, 9};
  struct Case {
    const char* name;
    std::vector<Bytes> datagrams;
    std::vector<WORD> delivered;
  } cases[] = {
      {"two frames in one datagram", {Cat({a, b})}, {1, 2}},
      {"split over two datagrams", {Bytes(a.begin(), a.begin() + 7), Bytes(a.begin() + 7, a.end())}, {1}},
      {"header split", {Bytes(a.begin(), a.begin() + 17), Bytes(a.begin() + 17, a.end()), b}, {1, 2}},
      {"garbage in front", {Cat({garbage, a})}, {1}},
      {"bad CRC then a good frame", {Cat({badCrc, b})}, {2}},
      {"length 8193 then a good frame", {Cat({longHeader, a})}, {1}},
      {"handler failure does not stall", {Cat({Frame(0x66, 0, 9, "x"), a}), b}, {1, 2}},
  };
  for (const Case& c : cases) {
    Collector r;
    for (const Bytes& d : c.datagrams) r.Feed(d);
    EXPECT_EQ(c.delivered, r.sequences) << c.name;
    EXPECT_EQ(0, r.GetBufferedCount()) << c.name;
  }
  // Each cause of discarded bytes has its own counter.
  struct Counted {
    const char* name;
    Bytes datagram;
    DWORD garbage, badCheck, failedHandler;
  } counted[] = {
      {"garbage in front", Cat({garbage, a}), (DWORD)garbage.size(), 0, 0},
      {"bad CRC", Cat({badCrc, b}), 0, (DWORD)badCrc.size(), 0},
      {"bad CRC then garbage", Cat({badCrc, garbage, b}), (DWORD)garbage.size(), (DWORD)badCrc.size(), 0},
      {"length 8193", Cat({longHeader, a}), (DWORD)longHeader.size(), 0, 0},
      {"failed handler", Frame(0x66, 0, 9, "x"), 0, 0, kUdpHeaderSize + 1},
  };
  for (const Counted& c : counted) {
    Collector r;
    r.Feed(c.datagram);
    EXPECT_EQ(c.garbage, r.GetBytesGarbage()) << c.name;
    EXPECT_EQ(c.badCheck, r.GetBytesBadCheck()) << c.name;
    EXPECT_EQ(c.failedHandler, r.GetBytesFailedHandler()) << c.name;
  }
  Collector r;
  r.Feed(Cat({a, b}));
  ASSERT_EQ(2u, r.frames.size());
  EXPECT_EQ("first", r.frames[0]);
  EXPECT_EQ("second", r.frames[1]);
}

TEST(UdpReassembly, HuntingBufferIsEmptiedBeyondItsLimit) {
  Collector r;
  Bytes noise(8192, 0x11);
  r.Feed(noise);
  r.Feed(noise);
  EXPECT_EQ(16384, r.GetBufferedCount());
  r.Feed(Bytes(1, 0x11));  // 16385 bytes without a magic
  EXPECT_EQ(0, r.GetBufferedCount());
  r.Feed(Frame(kUdpKeepAlive, 0, 5, ""));
  EXPECT_EQ(std::vector<WORD>{5}, r.sequences);
}

TEST(UdpReassembly, OversizedInputKeepsTheBufferWhole) {
  Collector r;
  Bytes big(70000, 0xFE);  // all magic bytes: an endless run of plausible headers
  r.Feed(big);
  Bytes mixed;
  for (int i = 0; i < 3000; ++i) {
    Bytes f = Frame(kUdpData, 0, (WORD)i, std::string((size_t)(i % 40), 'p'));
    mixed.insert(mixed.end(), f.begin(), f.end());
  }
  r.Feed(mixed);
  EXPECT_LE(r.GetBufferedCount(), 0x4000);
  EXPECT_GT(r.frames.size(), 2900u);
}

TEST(SocketErrors, Texts) {
  struct {
    int code;
    const char* text;
  } cases[] = {{10061, "10061:Connection refused"},
               {12345, "Unkown error"},
               {10092, "10092:Winsock"},
               {996, "996:Overlapped I/O event object is not in a signaled \t\t\t\t\t\t\t\t\t\tstate"},
               {6, "6:Specified event object invalid"}};
  for (auto c : cases) {
    char buffer[2048];
    FormatSocketError(c.code, buffer, 2047);
    EXPECT_STREQ(c.text, buffer) << c.code;
  }
  char tiny[6];
  FormatSocketError(10061, tiny, sizeof(tiny));
  EXPECT_STREQ("10061", tiny);
}

TEST(LocalAddresses, RowsGiveAddressesAndBroadcasts) {
  auto net = [](int a, int b, int c, int d) { return (uint32_t)(a | b << 8 | c << 16 | (uint32_t)d << 24); };
  LocalAddressRow rows[] = {{net(127, 0, 0, 1), net(255, 0, 0, 0)},
                            {net(0, 0, 0, 0), net(255, 255, 255, 0)},
                            {net(127, 1, 2, 3), net(255, 0, 0, 0)},
                            {net(192, 168, 7, 20), net(255, 255, 255, 0)}};
  CStringArray addresses, broadcasts;
  AddLocalAddresses(rows, 4, addresses, broadcasts);
  ASSERT_EQ(2, addresses.GetSize());
  EXPECT_STREQ("127.1.2.3", addresses[0]);
  EXPECT_STREQ("127.255.255.255", broadcasts[0]);
  EXPECT_STREQ("192.168.7.20", addresses[1]);
  EXPECT_STREQ("192.168.7.255", broadcasts[1]);
}

EnumReply Reply(const char* name) {
  EnumReply r{};
  r.consoleAddress[0] = 10;
  r.consoleAddress[3] = 200;
  r.consolePort = 5000;
  memcpy(r.name, name, strlen(name) < 16 ? strlen(name) : 16);
  return r;
}

TEST(FoundDevice, EnumReplyBytesFieldByField) {
  EnumReply r = Reply("Carver");
  r.port = 0x1E1E + 1;
  BYTE bytes[sizeof(EnumReply)];
  EncodeEnumReply(r, bytes);
  EXPECT_EQ(0x1F, bytes[4]);  // ports are little-endian on the wire
  EXPECT_EQ(0x1E, bytes[5]);
  EXPECT_EQ(0x88, bytes[10]);  // 5000
  EXPECT_EQ(0x13, bytes[11]);
  EnumReply back = DecodeEnumReply(bytes);
  EXPECT_EQ(0, memcmp(&r, &back, sizeof(r)));
  ConnectPayload head{2, 0x0102};
  BYTE connect[sizeof(ConnectPayload)];
  EncodeConnectPayload(head, connect);
  EXPECT_EQ((std::vector<BYTE>{2, 0, 2, 1}), std::vector<BYTE>(connect, connect + 4));
}

TEST(FoundDevice, TextOfAnEnumReply) {
  EXPECT_STREQ("Carver:127.0.0.1:7878:10.0.0.200:5000", FormatFoundDevice(Reply("Carver"), "127.0.0.1", 7878));
  // A name of 16 characters has no NUL.
  EXPECT_STREQ("ABCDEFGHIJKLMNOP:1.2.3.4:1:10.0.0.200:5000",
               FormatFoundDevice(Reply("ABCDEFGHIJKLMNOPQ"), "1.2.3.4", 1));
}

// Retransmission table, over a table of its own and a clock moved by hand.
class ReTX : public ::testing::Test {
 protected:
  void SetUp() override { table.Init(3, 100000); }
  void Queue(std::initializer_list<int> sequences, uint32_t address = 0x0100007F, uint16_t port = 0x1E1E) {
    for (int s : sequences) {
      BYTE frame[4] = {(BYTE)s};
      ASSERT_TRUE(table.Add(address, port, (WORD)s, frame, sizeof(frame)));
    }
  }
  std::vector<int> Left() const {
    std::vector<int> left;
    for (int i = 0; i < table.GetCount(); ++i) left.push_back(table.GetEntry(i).sequence);
    return left;
  }
  std::vector<ReTXEntry> entries = std::vector<ReTXEntry>(kReTXTableSize);
  CManualTicks ticks;
  ReTXTable table{entries.data(), ticks};
};

TEST_F(ReTX, AcknowledgementCoversEarlierFramesAcrossTheWrap) {
  struct Case {
    std::vector<int> queued;
    int ack;
    std::vector<int> left;
  } cases[] = {
      {{1, 2, 3, 4, 5, 6}, 5, {6}},
      {{65534, 2}, 2, {}},
      {{3, 4}, 9, {3, 4}},                    // matches no queued frame: nothing removed
      {{65534, 65535, 1, 2}, 65535, {1, 2}},  // frames after the wrap are newer: kept
      {{40000, 5000}, 40000, {5000}},         // 5000 is 30536 ahead, not behind
      {{10, 20000, 40000}, 40000, {10}},      // 10 is 25546 ahead after the wrap
  };
  for (const Case& c : cases) {
    table.Clear();
    for (int s : c.queued) Queue({s});
    table.Remove((WORD)c.ack);
    EXPECT_EQ(c.left, Left()) << "ack " << c.ack;
  }
}

TEST_F(ReTX, OnlyTheAcknowledgedDestinationIsCleared) {
  Queue({1, 2});
  Queue({1, 3}, 0x0200007F, 0x1E1E);
  table.Remove(2);
  EXPECT_EQ((std::vector<int>{1, 3}), Left());
  uint32_t address = table.GetEntry(0).address;  // a packed field: copied before comparing
  EXPECT_EQ(0x0200007Fu, address);
  // A first match without address or port removes nothing.
  table.Clear();
  Queue({7}, 0, 0x1E1E);
  table.Remove(7);
  EXPECT_EQ(std::vector<int>{7}, Left());
}

void CountSends(void* context, const ReTXEntry&) { ++*(int*)context; }

TEST_F(ReTX, OverdueFramesAreResentUntilTheirRetriesRunOut) {
  table.Init(2, 300);
  BYTE frame[1] = {0};
  ASSERT_TRUE(table.Add(1, 1, 1, frame, 1));
  ticks.Advance(100);
  ASSERT_TRUE(table.Add(1, 1, 2, frame, 1));
  int sends = 0;
  ticks.Advance(200);  // frame 1 is exactly Timeout old: not yet
  EXPECT_TRUE(table.Resend(CountSends, &sends));
  EXPECT_EQ(0, sends);
  ticks.Advance(1);
  table.Resend(CountSends, &sends);
  EXPECT_EQ(1, sends);
  ticks.Advance(100);  // now frame 2 is overdue, frame 1 was just resent
  table.Resend(CountSends, &sends);
  EXPECT_EQ(2, sends);
  EXPECT_EQ(2, table.GetCount());
  ticks.Advance(301);  // the second resend of each is their last
  EXPECT_TRUE(table.Resend(CountSends, &sends));
  EXPECT_EQ(4, sends);
  EXPECT_EQ(0, table.GetCount());
  EXPECT_EQ(4u, table.GetResentCount());
  EXPECT_EQ(2u, table.GetExpiredCount());
  EXPECT_FALSE(table.Resend(CountSends, &sends));
}

TEST_F(ReTX, ResendTimingSurvivesTheWrapOfTheClock) {
  table.Init(1, 1000);
  ticks.Set(0xFFFFFF00u);
  BYTE frame[1] = {0};
  ASSERT_TRUE(table.Add(1, 1, 1, frame, 1));
  int sends = 0;
  ticks.Set(500);  // 0x100 + 500 = 756 ms later
  table.Resend(CountSends, &sends);
  EXPECT_EQ(0, sends);
  ticks.Set(800);  // 1056 ms later
  table.Resend(CountSends, &sends);
  EXPECT_EQ(1, sends);
}

TEST_F(ReTX, LimitsOfTheTable) {
  table.Init(0, 10);
  static BYTE frame[8192];
  EXPECT_TRUE(table.Add(1, 1, 1, frame, 10));  // Retry 0: nothing is queued
  EXPECT_EQ(0, table.GetCount());
  table.Init(3, 10);
  EXPECT_FALSE(table.Add(1, 1, 1, frame, 8192));
  for (int i = 0; i < kReTXTableSize; ++i) ASSERT_TRUE(table.Add(1, 1, (WORD)(i + 1), frame, 8191));
  EXPECT_FALSE(table.Add(1, 1, 9, frame, 4));
  EXPECT_EQ(kReTXTableSize, table.GetCount());
}

}  // namespace
