// The serial link on a pty pair, with the serial test controller (tests/peers) on the
// other end. Run through tests/peers/run_with_serial_peer.sh, which maps the pair as
// CORVANE_SERIAL_PORT; with the modem-line library preloaded the port has a CTS line
// that the controller raises and drops (MODEM command).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "device/links/serial_link.h"
#include "device/links/tests/udp_test_support.h"

using namespace udp_test;

namespace {

std::string SerialPort() {
  const char* p = getenv("CORVANE_SERIAL_PORT");
  return p ? p : "";
}
bool HasModemLines() { return getenv("CORVANE_MODEM_PRELOAD") != nullptr; }

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(SerialPort().empty()) << "run through tests/peers/run_with_serial_peer.sh";
    ASSERT_EQ("PONG", Control("PING"));
    for (const char* c : {"RESET", "FAULTS", "PFAULTS", "SILENT 0", "ECHO 0", "BAUD 0", "MODEM CTS DSR"}) Control(c);
  }
  void TearDown() override {
    if (m_link.IsOpen()) m_link.Close();
  }
  bool Open(int baud = 115200, int handshake = 1) {
    return m_link.Open(SerialPort().c_str(), baud, handshake, m_window.Handle(), kWmTestLinkNotify) != 0;
  }
  // Reads on every data notification, as the engine does, until `count` bytes came.
  std::vector<BYTE> ReadBytes(size_t count, DWORD timeout_ms = 5000) {
    std::vector<BYTE> got;
    m_window.onNotify = [&](WPARAM wParam, LPARAM) {
      if (LOWORD(wParam) != EV_RXCHAR) return;
      BYTE buf[512];
      DWORD n = sizeof(buf);
      while (m_link.Read(buf, &n) && n > 0) {
        got.insert(got.end(), buf, buf + n);
        n = sizeof(buf);
      }
    };
    m_window.PumpUntil(timeout_ms, [&] { return got.size() >= count; });
    m_window.onNotify = nullptr;
    return got;
  }
  bool WriteAll(const std::vector<BYTE>& bytes) {
    DWORD n = (DWORD)bytes.size();
    return m_link.Write(bytes.data(), &n) && n == bytes.size();
  }

  TestWindow m_window;
  CSerialLink m_link;
};

TEST_F(SerialLinkTest, RefusesWhatIsNotAPortAtARate) {
  struct Case {
    const char* name;
    int baud;
  } cases[] = {{"COM21", 38400}, {"COM0", 38400}, {"LPT1", 38400}, {"COMX", 38400},
               {"", 38400},      {"COM5", 0},     {"COM5", -9600}};
  for (const Case& c : cases) {
    EXPECT_FALSE(m_link.Open(c.name, c.baud, 1, m_window.Handle(), kWmTestLinkNotify)) << c.name << " " << c.baud;
    EXPECT_FALSE(m_link.IsOpen());
  }
  EXPECT_FALSE(m_link.Close());
}

TEST_F(SerialLinkTest, PortThatDoesNotExistFailsClosed) {
  std::string port = SerialPort() == "COM20" ? "COM19" : "COM20";
  EXPECT_FALSE(m_link.Open(port.c_str(), 38400, 1, m_window.Handle(), kWmTestLinkNotify));
  EXPECT_FALSE(m_link.IsOpen());
  DWORD n = 1;
  BYTE b = 0;
  EXPECT_FALSE(m_link.Write(&b, &n));
  EXPECT_FALSE(m_link.Read(&b, &n));
}

TEST_F(SerialLinkTest, SettingsFollowTheRateAndHandshake) {
  ASSERT_TRUE(Open(115200, 1));
  EXPECT_EQ(115200, m_link.GetBaudRate());
  EXPECT_EQ(115200u, m_link.GetDcb().BaudRate);
  EXPECT_EQ(8, m_link.GetDcb().ByteSize);
  EXPECT_EQ(ONESTOPBIT, m_link.GetDcb().StopBits);
  EXPECT_EQ((DWORD)RTS_CONTROL_HANDSHAKE, m_link.GetDcb().fRtsControl);
  EXPECT_TRUE(m_link.GetDcb().fOutxCtsFlow);
  EXPECT_EQ((DWORD)DTR_CONTROL_DISABLE, m_link.GetDcb().fDtrControl);
  EXPECT_FALSE(m_link.GetDcb().fOutX);
  EXPECT_EQ(MAXDWORD, m_link.GetTimeouts().ReadIntervalTimeout);
  EXPECT_EQ(1000u, m_link.GetTimeouts().ReadTotalTimeoutConstant);
  EXPECT_EQ(0u, m_link.GetTimeouts().WriteTotalTimeoutMultiplier);
  ASSERT_TRUE(m_link.Close());

  ASSERT_TRUE(Open(9600, 0));
  EXPECT_EQ(2u, m_link.GetTimeouts().WriteTotalTimeoutMultiplier);
  EXPECT_EQ((DWORD)RTS_CONTROL_DISABLE, m_link.GetDcb().fRtsControl);
  EXPECT_FALSE(m_link.GetDcb().fOutxCtsFlow);
  COMMPROP props{};
  EXPECT_TRUE(m_link.GetCommProperties(&props));
}

// Open and close many times: every close ends the monitor thread (also when no byte
// ever came) and frees the port for the next open; bytes still flow afterwards.
TEST_F(SerialLinkTest, OpenCloseCycles) {
  Control("ECHO 1");
  for (int cycle = 0; cycle < 8; ++cycle) {
    ASSERT_TRUE(Open()) << "cycle " << cycle;
    EXPECT_FALSE(Open()) << "already open";
    BYTE buf[8];
    DWORD n = sizeof(buf);
    EXPECT_TRUE(m_link.Read(buf, &n));  // nothing waiting: true, count 0
    EXPECT_EQ(0u, n);
    if (cycle % 2) {
      std::vector<BYTE> ping = {(BYTE)cycle, 0x7E, 0x7E};
      ASSERT_TRUE(WriteAll(ping));
      EXPECT_EQ(ping, ReadBytes(ping.size()));
    }
    ASSERT_TRUE(m_link.Close());
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.Close());
  }
}

// Every byte value both ways, in order, through the controller's echo; the data
// notifications carry the character-received event in their low word.
TEST_F(SerialLinkTest, AllByteValuesBothWays) {
  Control("ECHO 1");
  ASSERT_TRUE(Open());
  std::vector<BYTE> sent;
  for (int round = 0; round < 4; ++round)
    for (int v = 0; v < 256; ++v) sent.push_back((BYTE)(round & 1 ? 255 - v : v));
  for (size_t at = 0; at < sent.size(); at += 100) {
    std::vector<BYTE> chunk(sent.begin() + at, sent.begin() + std::min(sent.size(), at + 100));
    ASSERT_TRUE(WriteAll(chunk));
  }
  std::vector<BYTE> got = ReadBytes(sent.size());
  EXPECT_EQ(sent, got);
  ASSERT_FALSE(m_window.notes.empty());
  for (auto& note : m_window.notes) EXPECT_NE(0u, LOWORD(note.first) & EV_RXCHAR);
  std::string stats = (const char*)m_link.GetStatsLine();
  EXPECT_NE(std::string::npos, stats.find("bytes_written=1024")) << stats;
  EXPECT_NE(std::string::npos, stats.find("bytes_read=1024")) << stats;
}

// Bytes the controller sends unprompted are announced and read.
TEST_F(SerialLinkTest, BytesFromTheControllerAreAnnounced) {
  ASSERT_TRUE(Open());
  ASSERT_EQ("OK", Control("SEND \\x01\\xf3SONLINE 7C;"));
  std::vector<BYTE> got = ReadBytes(12);
  EXPECT_EQ(std::string("\x01\xf3SONLINE 7C;"), std::string(got.begin(), got.end()));
}

TEST_F(SerialLinkTest, ClearToSendFollowsTheLine) {
  ASSERT_TRUE(Open(115200, 1));
  if (!HasModemLines()) {
    // No modem lines: the line counts as on (and the link says so once in its log).
    EXPECT_TRUE(m_link.IsCtsOn());
    EXPECT_TRUE(m_link.IsCtsOn());
    EXPECT_NE(std::string::npos, std::string((const char*)m_link.GetStatsLine()).find("cts_unreadable=2"));
    return;
  }
  EXPECT_TRUE(m_link.IsCtsOn());
  Control("MODEM DSR");
  EXPECT_FALSE(m_link.IsCtsOn());
  Control("MODEM CTS DSR");
  EXPECT_TRUE(m_link.IsCtsOn());
  ASSERT_TRUE(m_link.Close());
  // Without handshake the line is not consulted.
  Control("MODEM DSR");
  ASSERT_TRUE(Open(115200, 0));
  EXPECT_TRUE(m_link.IsCtsOn());
}

// With modem lines the monitor waits for port events; without, it polls the input
// queue. Either way it ends promptly at close.
TEST_F(SerialLinkTest, MonitorWaitsForEventsWhenThePortCan) {
  ASSERT_TRUE(Open());
  m_window.PumpFor(100);
  // The monitor finds out that the port cannot wait on its first wait; on a loaded
  // machine that may come later than the first 100 ms.
  BOOL expected = HasModemLines() ? TRUE : FALSE;
  for (int i = 0; i < 100 && m_link.IsWaitingForEvents() != expected; ++i) m_window.PumpFor(20);
  EXPECT_EQ(expected, m_link.IsWaitingForEvents()) << (const char*)m_link.GetStatsLine();
  DWORD start = GetTickCount();
  ASSERT_TRUE(m_link.Close());
  EXPECT_LT(GetTickCount() - start, 2000u);
}

// The cable is pulled while the port is open: writes fail or vanish, nothing hangs,
// and the port opens again once the controller is back.
TEST_F(SerialLinkTest, PeerGoneAndBack) {
  ASSERT_TRUE(Open());
  ASSERT_EQ("OK", Control("HANGUP"));
  BYTE frame[134] = {0x7E, 0x7E};
  for (int i = 0; i < 5; ++i) {
    DWORD n = sizeof(frame);
    m_link.Write(frame, &n);
    BYTE buf[64];
    n = sizeof(buf);
    m_link.Read(buf, &n);
  }
  m_link.Close();
  ASSERT_EQ("OK", Control("REATTACH"));
  Control("ECHO 1");
  ASSERT_TRUE(Open());
  std::vector<BYTE> ping = {1, 2, 3};
  ASSERT_TRUE(WriteAll(ping));
  EXPECT_EQ(ping, ReadBytes(ping.size()));
}

}  // namespace
