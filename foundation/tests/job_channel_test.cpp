// The job channel within one process and between two (channel_peer.exe plays the
// engine). Names carry this process's id: parallel test programs share one Wine server.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/job_channel.h"
#include "foundation/tests/channel_peer_messages.h"

namespace {

CString UniqueJob() {
  static int counter = 0;
  CString job;
  job.Format("t%lu_%d", (unsigned long)GetCurrentProcessId(), counter++);
  return job;
}

// The mapping as raw bytes, to look at or damage what the objects keep.
class RawView {
 public:
  explicit RawView(const char* name) {
    m_h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (m_h) m_p = static_cast<BYTE*>(MapViewOfFile(m_h, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  }
  ~RawView() {
    if (m_p) UnmapViewOfFile(m_p);
    if (m_h) CloseHandle(m_h);
  }
  ChannelHeader* Header() const { return reinterpret_cast<ChannelHeader*>(m_p); }
  BYTE* Bytes() const { return m_p; }

 private:
  HANDLE m_h = nullptr;
  BYTE* m_p = nullptr;
};

bool MappingExists(const char* name) {
  HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  if (h) CloseHandle(h);
  return h != nullptr;
}

// The "<name>-ready" event a peer sets once it holds what the test waits for.
class ReadyEvent {
 public:
  explicit ReadyEvent(const char* name) {
    CString n;
    n.Format("%s-ready", name);
    m_h = CreateEventA(nullptr, TRUE, FALSE, n);
  }
  ~ReadyEvent() { CloseHandle(m_h); }
  bool Wait(DWORD ms = 30000) { return WaitForSingleObject(m_h, ms) == WAIT_OBJECT_0; }

 private:
  HANDLE m_h;
};

// channel_peer.exe from this program's folder; terminated if still running at the end.
class Peer {
 public:
  explicit Peer(const CString& args) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') --n;
    path[n] = '\0';
    CString cmd;
    cmd.Format("\"%schannel_peer.exe\" %s", path, (const char*)args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (CreateProcessA(nullptr, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi)) {
      CloseHandle(m_pi.hThread);
      m_started = true;
    }
    cmd.ReleaseBuffer();
  }
  ~Peer() {
    if (!m_started) return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_pi.hProcess, 1);
    CloseHandle(m_pi.hProcess);
  }
  bool Started() const { return m_started; }
  // The exit code, or -1 when the peer did not end in time.
  long Wait(DWORD ms = 60000) {
    if (!m_started || WaitForSingleObject(m_pi.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return long(code);
  }

 private:
  PROCESS_INFORMATION m_pi = {};
  bool m_started = false;
};

std::string Bytes(const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); }

// ------------------------------------------------------------------------------------
// One process

TEST(JobChannel, OpenRefusesBadArgumentsAndClosedChannelsFailAtOnce) {
  const CString name = "PanelTx_" + UniqueJob();
  const struct {
    const char* name;
    UINT capacity;
  } bad[] = {{nullptr, 128}, {"", 128}, {name, 0}};
  for (const auto& c : bad) {
    CJobChannel ch;
    EXPECT_EQ(ch.Open(c.name, c.capacity), 0) << (c.name ? c.name : "(null)") << " " << c.capacity;
    EXPECT_FALSE(ch.IsOpen());
  }

  CJobChannel closed;
  DWORD t0 = GetTickCount();
  EXPECT_FALSE(closed.Lock(kChannelLockMs));
  EXPECT_STREQ(closed.GetRunMode(), "OFFLINE");
  EXPECT_EQ(closed.PushMessage("abcd", 4), 0u);
  EXPECT_LT(GetTickCount() - t0, 1000u);

  // An existing mapping cannot be opened as a bigger one.
  CJobChannel small, big;
  ASSERT_EQ(small.Open(name, 16), 1);
  EXPECT_EQ(big.Open(name, 128), 0);
  EXPECT_FALSE(big.IsOpen());
}

TEST(JobChannel, CreatorInitialisesAndOpenerAttaches) {
  const CString name = "PanelRx_" + UniqueJob();
  {
    CJobChannel creator;
    ASSERT_EQ(creator.Open(name, 128), 1);
    EXPECT_TRUE(creator.IsCreator());
    ChannelHeader h;
    ASSERT_EQ(creator.ReadHeader(&h), 1);
    EXPECT_EQ(h.nCapacity, 128u);
    EXPECT_EQ(h.nWriteIndex, 0u);
    EXPECT_EQ(h.nReadIndex, 0u);
    EXPECT_STREQ(creator.GetState(), "READY");
    EXPECT_STREQ(creator.GetRunMode(), "");
    EXPECT_EQ(creator.GetUsedCount(), 0u);
    EXPECT_EQ(creator.GetFreeCount(), 127u);

    creator.SetState("ATTACHED");
    BYTE msg[kChannelMaxMessage];
    UINT len = PeerMessage(5, msg);
    ASSERT_EQ(creator.PushMessage(msg, len), len);

    CJobChannel opener;
    ASSERT_EQ(opener.Open(name, 128), 1);
    EXPECT_FALSE(opener.IsCreator());
    EXPECT_STREQ(opener.GetState(), "ATTACHED");  // not initialised again
    BYTE got[256];
    ASSERT_EQ(opener.PopMessage(got, sizeof got), len);
    EXPECT_EQ(Bytes(got, len), Bytes(msg, len));
    EXPECT_TRUE(MappingExists(name));
  }
  EXPECT_FALSE(MappingExists(name));  // gone with the last handle
}

TEST(JobChannel, LongMessagesAreCutAndShortBuffersTakeTheHead) {
  CJobChannel ch;
  ASSERT_EQ(ch.Open("PanelTx_" + UniqueJob(), 128), 1);
  BYTE big[300], buf[256];
  for (int i = 0; i < 300; ++i) big[i] = BYTE(i);
  EXPECT_EQ(ch.PushMessage(big, 300), 252u);
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 252u);
  EXPECT_EQ(Bytes(buf, 252), Bytes(big, 252));

  // A 200-byte message read into 100 bytes gives its head; the next pop the next one.
  ASSERT_EQ(ch.PushMessage(big, 200), 200u);
  ASSERT_EQ(ch.PushMessage(big + 50, 10), 10u);
  EXPECT_EQ(ch.PopMessage(buf, 100), 100u);
  EXPECT_EQ(Bytes(buf, 100), Bytes(big, 100));
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 10u);
  EXPECT_EQ(Bytes(buf, 10), Bytes(big + 50, 10));

  // Nothing to push, or nowhere to pop to: refused, and nothing is lost.
  EXPECT_EQ(ch.PushMessage(big, 0), 0u);
  EXPECT_EQ(ch.PushMessage(nullptr, 10), 0u);
  ASSERT_EQ(ch.PushMessage(big, 7), 7u);
  EXPECT_EQ(ch.PopMessage(buf, 0), 0u);
  EXPECT_EQ(ch.PopMessage(nullptr, 10), 0u);
  EXPECT_EQ(ch.GetUsedCount(), 1u);
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 7u);
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 0u);  // empty
}

// A new channel and a raw view of its mapping.
class JobChannelRaw : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_ch.Open(m_name, 128), 1);
    m_raw.reset(new RawView(m_name));
    ASSERT_TRUE(m_raw->Header());
  }
  const CString m_name = "PanelRx_" + UniqueJob();
  CJobChannel m_ch;
  std::unique_ptr<RawView> m_raw;
};

TEST_F(JobChannelRaw, CountsFollowTheIndices) {
  CJobChannel& ch = m_ch;
  RawView& raw = *m_raw;
  const struct {
    UINT write, read, used, free;
  } cases[] = {{0, 0, 0, 127}, {5, 5, 0, 127}, {127, 0, 127, 0}, {2, 125, 5, 122}, {0, 1, 127, 0}, {1, 0, 1, 126}};
  for (const auto& c : cases) {
    raw.Header()->nWriteIndex = c.write;
    raw.Header()->nReadIndex = c.read;
    EXPECT_EQ(ch.GetUsedCount(), c.used) << "write " << c.write << " read " << c.read;
    EXPECT_EQ(ch.GetFreeCount(), c.free) << "write " << c.write << " read " << c.read;
  }
  // Full: the push is refused; wrap-around: a push at slot 127 moves write to 0.
  raw.Header()->nWriteIndex = 127;
  raw.Header()->nReadIndex = 0;
  EXPECT_EQ(ch.PushMessage("x", 1), 0u);
  raw.Header()->nReadIndex = 5;
  EXPECT_EQ(ch.PushMessage("x", 1), 1u);
  EXPECT_EQ(raw.Header()->nWriteIndex, 0u);
}

// A header whose capacity or indices reach past the view is refused, not followed.
TEST_F(JobChannelRaw, DamagedRingFieldsAreRefused) {
  CJobChannel& ch = m_ch;
  RawView& raw = *m_raw;
  const struct {
    UINT capacity, write, read;
  } cases[] = {{0, 0, 0}, {129, 128, 0}, {100000, 0, 0}, {128, 128, 0}, {128, 0, 4000}};
  BYTE buf[256];
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.capacity << " " << c.write << " " << c.read);
    raw.Header()->nCapacity = c.capacity;
    raw.Header()->nWriteIndex = c.write;
    raw.Header()->nReadIndex = c.read;
    DWORD before = ch.GetBadRingCount();
    EXPECT_EQ(ch.PushMessage("abc", 3), 0u);
    EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 0u);
    EXPECT_EQ(ch.GetUsedCount(), 0u);
    EXPECT_EQ(ch.GetBadRingCount(), before + 3);
  }
  // A stored length above the slot is cut to the slot, not refused: the message is
  // taken (the ring moves on) and nothing past the slot is read.
  raw.Header()->nCapacity = 128;
  raw.Header()->nWriteIndex = raw.Header()->nReadIndex = 0;
  ASSERT_EQ(ch.PushMessage("abc", 3), 3u);
  ASSERT_EQ(ch.PushMessage("next", 4), 4u);
  reinterpret_cast<ChannelSlot*>(raw.Bytes() + sizeof(ChannelHeader))->nLength = 0xFFFFFFF0u;
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), kChannelMaxMessage);
  EXPECT_EQ(0, memcmp(buf, "abc", 3));
  EXPECT_EQ(ch.PopMessage(buf, sizeof buf), 4u);
  EXPECT_EQ(0, memcmp(buf, "next", 4));
}

// Every text setter trims, keeps to its own field and never splits a Chinese character.
TEST_F(JobChannelRaw, TextSettersTrimAndKeepToTheirField) {
  CJobChannel& ch = m_ch;
  RawView& raw = *m_raw;
  using Setter = int (CJobChannel::*)(const char*);
  const struct {
    Setter set;
    size_t offset, width;
  } fields[] = {
      {&CJobChannel::SetReplyT, 0x030, 16}, {&CJobChannel::SetRunMode, 0x040, 16},
      {&CJobChannel::SetState, 0x050, 16},  {&CJobChannel::SetReplyV, 0x060, 16},
      {&CJobChannel::SetReplyC, 0x070, 16}, {&CJobChannel::SetReplyD, 0x080, 16},
      {&CJobChannel::SetReplyH, 0x090, 16}, {&CJobChannel::SetReplyL, 0x0A0, 16},
      {&CJobChannel::SetReplyN, 0x0B0, 16}, {&CJobChannel::SetReplyA, 0x0C0, 16},
      {&CJobChannel::SetReplyG, 0x0D0, 16}, {&CJobChannel::SetSlotE0, 0x0E0, 16},
      {&CJobChannel::SetReplyR, 0x0F0, 16}, {&CJobChannel::SetMessageText, 0x100, 1024},
  };
  const std::string longText(1100, 'Q');
  // Ten GB characters, 20 bytes: 7 fit before the terminator of a 16-byte field.
  const std::string chinese = "控制器回复控制器回复";
  ASSERT_EQ(chinese.size(), 20u);
  for (const auto& f : fields) {
    SCOPED_TRACE(testing::Message() << "field 0x" << std::hex << f.offset);
    char* field = reinterpret_cast<char*>(raw.Bytes() + f.offset);
    BYTE* after = raw.Bytes() + f.offset + f.width;
    const BYTE guard = *after = 0xA5;

    EXPECT_EQ((ch.*f.set)(" \t ABORTED \r\n"), 1);
    EXPECT_STREQ(field, "ABORTED");

    EXPECT_EQ((ch.*f.set)(longText.c_str()), 1);
    EXPECT_EQ(std::string(field), longText.substr(0, f.width - 1));
    EXPECT_EQ(*after, guard);

    (ch.*f.set)(chinese.c_str());
    EXPECT_EQ(std::string(field), f.width == 16 ? chinese.substr(0, 14) : chinese);
    EXPECT_EQ(*after, guard);
  }
}

// ------------------------------------------------------------------------------------
// Two processes

TEST(JobChannelTwoProcesses, MessagesTravelBothWays) {
  const CString job = UniqueJob();
  CJobChannel tx, rx;  // this process creates both, as the operator program does
  ASSERT_EQ(rx.Open("PanelRx_" + job, 128), 1);
  ASSERT_EQ(tx.Open("PanelTx_" + job, 128), 1);
  constexpr int kCount = 400;  // wraps the ring three times
  ReadyEvent ready(job);
  CString args;
  args.Format("echo %s %d", (const char*)job, kCount);
  Peer peer(args);
  ASSERT_TRUE(peer.Started());
  ASSERT_TRUE(ready.Wait());

  int sent = 0, received = 0;
  DWORD start = GetTickCount();
  while (received < kCount && GetTickCount() - start < 60000) {
    BYTE msg[kChannelMaxMessage];
    if (sent < kCount) {
      UINT len = PeerMessage(sent, msg);
      if (tx.PushMessage(msg, len) == len) ++sent;
    }
    BYTE got[256];
    UINT n = rx.PopMessage(got, sizeof got);
    if (n > 0) {
      UINT len = PeerMessage(received, msg);
      ASSERT_EQ(n, len) << "message " << received;
      ASSERT_EQ(Bytes(got, n), Bytes(msg, len)) << "message " << received;
      ++received;
    }
  }
  EXPECT_EQ(received, kCount);
  EXPECT_EQ(peer.Wait(), 0);
  EXPECT_EQ(tx.GetLockTimeouts() + rx.GetLockTimeouts(), 0u);
}

TEST(JobChannelTwoProcesses, RingHoldsAt127Messages) {
  const CString name = "PanelTx_" + UniqueJob();
  CJobChannel ch;
  ASSERT_EQ(ch.Open(name, 128), 1);
  {
    Peer pusher("push " + name + " 200");
    EXPECT_EQ(pusher.Wait(), 127);
  }
  BYTE msg[kChannelMaxMessage], got[256];
  EXPECT_EQ(ch.GetUsedCount(), 127u);
  EXPECT_EQ(ch.PushMessage("x", 1), 0u);  // the 128th waits until one is popped
  UINT len = PeerMessage(0, msg);
  ASSERT_EQ(ch.PopMessage(got, sizeof got), len);
  EXPECT_EQ(Bytes(got, len), Bytes(msg, len));
  len = PeerMessage(127, msg);
  EXPECT_EQ(ch.PushMessage(msg, len), len);
  for (int i = 1; i <= 127; ++i) {
    len = PeerMessage(i, msg);
    ASSERT_EQ(ch.PopMessage(got, sizeof got), len) << i;
    ASSERT_EQ(Bytes(got, len), Bytes(msg, len)) << i;
  }
  EXPECT_EQ(ch.PopMessage(got, sizeof got), 0u);

  // And the other way: what this process pushes, the peer pops in order.
  for (int i = 0; i < 50; ++i) {
    len = PeerMessage(i, msg);
    ASSERT_EQ(ch.PushMessage(msg, len), len);
  }
  Peer popper("pop " + name + " 50");
  EXPECT_EQ(popper.Wait(), 50);
  EXPECT_EQ(ch.GetUsedCount(), 0u);
}

TEST(JobChannelTwoProcesses, HeaderWrittenByTheEngine) {
  const CString job = UniqueJob();
  CJobChannel rx;
  ASSERT_EQ(rx.Open("PanelRx_" + job, 128), 1);
  Peer engine("header " + job);
  ASSERT_EQ(engine.Wait(), 0);

  ChannelHeader h;
  ASSERT_EQ(rx.ReadHeader(&h), 1);
  EXPECT_EQ(h.dPosW[0], 1.5);
  EXPECT_EQ(h.dPosW[1], -2.25);
  EXPECT_EQ(h.dPosW[2], 3.125);
  EXPECT_EQ(h.dPosO[0], -10.0);
  EXPECT_EQ(h.dPosO[2], -30.0);
  EXPECT_STREQ(h.szReplyT, "T-reply");
  EXPECT_STREQ(h.szReplyV, "V7.1");
  EXPECT_STREQ(h.szReplyC, "C-reply");
  EXPECT_STREQ(h.szReplyG, "12/345");
  EXPECT_EQ(h.dElapsedTime, 61.25);
  EXPECT_EQ(h.nCapacity, 128u);

  EXPECT_STREQ(rx.GetState(), "TRANSMITTING");
  EXPECT_STREQ(rx.GetRunMode(), "RUN");
  EXPECT_STREQ(rx.GetMessageText(), "Tool change on head 2");
  EXPECT_EQ(rx.GetProgressSeconds(), 42);
  EXPECT_EQ(rx.GetProjectedTime(), 3600.5);
  DWORD written = 0, read = 0;
  EXPECT_EQ(rx.GetFifoLevel(written, read), 10);
  EXPECT_EQ(written, 5000u);
  EXPECT_EQ(read, 4990u);

  EXPECT_EQ(rx.TakeReplyR(), 1);
  EXPECT_EQ(rx.TakeReplyR(), 0);
  ASSERT_EQ(rx.ReadHeader(&h), 1);
  EXPECT_STREQ(h.szReplyR, "");

  // The operator program's write for an engine that has gone.
  rx.SetState("READY");
  EXPECT_STREQ(rx.GetState(), "READY");
}

// While the peer holds the mutex past the wait, readers give their defaults and writers
// give up. Each call waits 5 s, so they wait side by side, one channel object each.
TEST(JobChannelTwoProcesses, LockTimeOutGivesDefaults) {
  const CString name = "PanelRx_" + UniqueJob();
  CJobChannel owner;
  ASSERT_EQ(owner.Open(name, 128), 1);
  owner.SetState("ATTACHED");
  owner.SetMessageText("kept");
  owner.SetReplyR("R1");
  owner.SetProjectedTime(99.0);
  owner.SetProgressSeconds(7);
  owner.SetFifoLevel(30, 20);
  ASSERT_EQ(owner.PushMessage("waiting", 7), 7u);

  ReadyEvent ready(name);
  Peer holder("hold " + name + " 10000");
  ASSERT_TRUE(ready.Wait());

  struct Probe {
    const char* what;
    std::function<bool(CJobChannel&)> run;  // true when the timed-out result is right
  };
  const std::vector<Probe> probes = {
      {"GetRunMode", [](CJobChannel& c) { return c.GetRunMode() == "OFFLINE"; }},
      {"GetState", [](CJobChannel& c) { return c.GetState().IsEmpty(); }},
      {"GetMessageText", [](CJobChannel& c) { return c.GetMessageText().IsEmpty(); }},
      {"PushMessage", [](CJobChannel& c) { return c.PushMessage("abc", 3) == 0; }},
      {"PopMessage",
       [](CJobChannel& c) {
         BYTE b[256];
         return c.PopMessage(b, sizeof b) == 0;
       }},
      {"ReadHeader",
       [](CJobChannel& c) {
         ChannelHeader h;
         return c.ReadHeader(&h) == 0;
       }},
      {"TakeReplyR", [](CJobChannel& c) { return c.TakeReplyR() == 0; }},
      {"GetProjectedTime", [](CJobChannel& c) { return c.GetProjectedTime() == 0.0; }},
      {"GetProgressSeconds", [](CJobChannel& c) { return c.GetProgressSeconds() == 0; }},
      {"GetUsedCount", [](CJobChannel& c) { return c.GetUsedCount() == 0; }},
      {"GetFifoLevel",
       [](CJobChannel& c) {
         DWORD w = 111, r = 11;
         return c.GetFifoLevel(w, r) == 100 && w == 111 && r == 11;
       }},
      {"SetState", [](CJobChannel& c) { return c.SetState("ERROR") == 1; }},
      {"SetMessageText", [](CJobChannel& c) { return c.SetMessageText("lost") == 1; }},
      {"SetPositionW", [](CJobChannel& c) { return c.SetPositionW(1, 2, 3) == 1; }},
      {"SetFifoLevel", [](CJobChannel& c) { return c.SetFifoLevel(1, 1) == 1; }},
  };
  std::vector<char> ok(probes.size(), 0);
  std::vector<DWORD> timeouts(probes.size(), 0);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < probes.size(); ++i) {
    threads.emplace_back([&, i] {
      CJobChannel ch;
      if (!ch.Open(name, 128)) return;
      ok[i] = probes[i].run(ch);
      timeouts[i] = ch.GetLockTimeouts();
    });
  }
  for (auto& t : threads) t.join();
  for (size_t i = 0; i < probes.size(); ++i) {
    EXPECT_TRUE(ok[i]) << probes[i].what;
    EXPECT_EQ(timeouts[i], 1u) << probes[i].what;
  }
  EXPECT_EQ(holder.Wait(), 0);

  // Nothing was written or taken while the lock was out of reach.
  ChannelHeader h;
  ASSERT_EQ(owner.ReadHeader(&h), 1);
  EXPECT_STREQ(h.szState, "ATTACHED");
  EXPECT_STREQ(h.szMessage, "kept");
  EXPECT_STREQ(h.szReplyR, "R1");
  EXPECT_EQ(h.dPosW[0], 0.0);
  EXPECT_EQ(h.nFifoWritten, 30u);
  EXPECT_EQ(owner.GetUsedCount(), 1u);
}

// A peer that dies holding the mutex leaves it abandoned: the next waiter owns it, the
// ring goes on working, and the mutex is free again for everybody afterwards.
TEST(JobChannelTwoProcesses, OwnerDiedHoldingTheMutex) {
  const CString name = "PanelTx_" + UniqueJob();
  CJobChannel ch;
  ASSERT_EQ(ch.Open(name, 128), 1);
  BYTE msg[kChannelMaxMessage], got[256];
  UINT len = PeerMessage(3, msg);
  ASSERT_EQ(ch.PushMessage(msg, len), len);

  ReadyEvent ready(name);
  Peer dying("die " + name);
  ASSERT_TRUE(ready.Wait());
  ASSERT_EQ(dying.Wait(), 7);

  DWORD t0 = GetTickCount();
  ASSERT_EQ(ch.PopMessage(got, sizeof got), len);
  EXPECT_LT(GetTickCount() - t0, 2000u);
  EXPECT_EQ(Bytes(got, len), Bytes(msg, len));
  EXPECT_STREQ(ch.GetState(), "READY");
  EXPECT_EQ(ch.GetLockTimeouts(), 0u);

  len = PeerMessage(0, msg);
  ASSERT_EQ(ch.PushMessage(msg, len), len);
  Peer popper("pop " + name + " 1");
  EXPECT_EQ(popper.Wait(), 1);
}

}  // namespace
