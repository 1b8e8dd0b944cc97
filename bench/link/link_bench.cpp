// Frames per second through the frame protocol engine over the real links, against the
// test controllers of tests/peers. Run by bench/link/run.sh, which starts each controller:
//
//   link_bench udp [frames]            UDP loopback (run_with_peer.sh)
//   link_bench serial <baud> [frames]  serial pty with wire-time emulation at <baud>
//                                      (run_with_serial_peer.sh --baud <baud>)
//
// Ceilings, measured in the same run:
// - UDP: the raw datagram round trip (a keep-alive and its answer on a plain socket, no
//   link, no engine); the engine must reach 80% of it.
// - serial: the physical frame rate of the line, one protocol 5 frame and its ACK byte
//   at 10 bits a byte (28.4 frames/s at 38400, 85.3 at 115200); the measured round trip
//   of the line (a bare port handle writes one device frame and blocks in ReadFile for
//   its answer byte: no link, no threads, no engine), the serial counterpart of the
//   raw datagram round trips; and the link's own stop-and-wait rate (write a frame,
//   wait for the ACK byte, no engine). The engine must reach 95% of the ceiling.
//
// The links run as the engine runs them under Wine: the serial port has no modem lines,
// so the link watches its input queue instead of waiting for port events; the UDP link
// is read on the socket message itself.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/links/serial_link.h"
#include "device/links/tests/udp_test_support.h"
#include "device/links/udp_frame.h"
#include "device/links/udp_link.h"
#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/fake_link.h"

using namespace udp_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr UINT kAbortMsg = WM_APP + 40;
constexpr int kV5Wire = DEVICE_FRAME_V5_SIZE + 1;  // a frame and its ACK byte

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// UDP ceiling: keep-alive round trips on a plain socket.
double RawUdpRoundTrips(int count) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(PeerPort());
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  BYTE frame[64];
  int n = BuildUdpFrame(frame, sizeof(frame), kUdpKeepAlive, 0, 0, nullptr, 0);
  auto t0 = Clock::now();
  int done = 0;
  for (int i = 0; i < count; ++i) {
    sendto(s, (const char*)frame, n, 0, (sockaddr*)&to, sizeof(to));
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{1, 0};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    char buf[256];
    if (recv(s, buf, sizeof(buf), 0) > 0) ++done;
  }
  double rate = done / SecondsSince(t0);
  closesocket(s);
  return rate;
}

// The data of the bench's device frames: machine words, a stream the controller reads.
std::vector<BYTE> MachineWords() {
  std::vector<BYTE> data(GetFrameDataCapacity(5));
  for (size_t i = 0; i + 6 <= data.size(); i += 6) {
    data[i] = 9;
    data[i + 1] = 0x80;
    data[i + 2] = 2;
  }
  return data;
}

// A protocol 5 data frame of machine words with pack number `pack`, sealed.
DeviceFrame DataFrame(BYTE pack) {
  std::vector<BYTE> data = MachineWords();
  DeviceFrame f;
  f.Clear();
  f.SetSync(5);
  f.SetAckMark(kFrameMarkData, 5);
  f.PutData(0, data.data(), (int)data.size(), 5);
  f.SetPackNo(pack, 5);
  f.UpdateChecksum(5);
  return f;
}

// Serial ceiling: a bare port handle, opened without overlapped I/O, writes one device
// frame and blocks in ReadFile for its answer byte, again and again. 0 when the port
// cannot be opened or an answer does not come within a second.
double RawSerialRoundTrips(const char* port, int baud, int count) {
  CString device = CString("\\\\.\\") + port;
  HANDLE h = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  GetCommState(h, &dcb);
  dcb.BaudRate = (DWORD)baud;
  dcb.ByteSize = 8;
  dcb.fParity = FALSE;
  dcb.StopBits = ONESTOPBIT;
  dcb.fOutX = dcb.fInX = FALSE;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadTotalTimeoutConstant = 1000;  // a read waits for its byte, a second at most
  if (!SetCommState(h, &dcb) || !SetCommTimeouts(h, &timeouts)) {
    CloseHandle(h);
    return 0;
  }
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
  int done = 0;
  auto t0 = Clock::now();
  for (int i = 0; i < count; ++i) {
    DeviceFrame f = DataFrame((BYTE)(i + 1));
    DWORD n = 0;
    if (!WriteFile(h, f.m_bytes, DEVICE_FRAME_V5_SIZE, &n, nullptr) || n != DEVICE_FRAME_V5_SIZE) break;
    BYTE answer = 0;
    if (!ReadFile(h, &answer, 1, &n, nullptr) || n != 1) break;
    ++done;
  }
  double rate = done / SecondsSince(t0);
  CloseHandle(h);
  return done == count ? rate : 0;
}

// The spill file's folder: a fresh one under the temporary folder, ending in "\".
CString SpillFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  CString folder;
  folder.Format("%slink_bench_%lu\\", base, (unsigned long)GetCurrentProcessId());
  CreateDirectoryA(folder, nullptr);
  return folder;
}

class Bench {
 public:
  bool OpenSerial(int baud) {
    auto serial = std::make_unique<CSerialLink>();
    if (!serial->Open(getenv("CORVANE_SERIAL_PORT"), baud, 1, m_window.Handle(), kWmTestLinkNotify)) return false;
    m_link = std::move(serial);
    return true;
  }
  bool OpenUdp() {
    std::unique_ptr<CUdpLink> udp = ConnectUdpLinkToPeer(m_window, m_udpState);
    if (!udp) return false;
    // Read as the engine reads it: on the socket message, with no notification between.
    CUdpLink* link = udp.get();
    m_window.onSocket = [this, link](SOCKET s, LPARAM e) {
      if (link->ReceiveForReader(s, e) && m_window.onNotify) m_window.onNotify(1, 0);
    };
    m_link = std::move(udp);
    return true;
  }

  // The link alone: write a frame, wait for the answer byte, again.
  double RawStopAndWait(int count) {
    int got = 0;
    m_window.onNotify = [&](WPARAM, LPARAM) {
      BYTE buf[64];
      DWORD n = sizeof(buf);
      if (m_link->Read(buf, &n)) got += (int)n;
    };
    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
      DeviceFrame f = DataFrame((BYTE)(i + 1));
      DWORD n = DEVICE_FRAME_V5_SIZE;
      int before = got;
      m_link->Write(f.m_bytes, &n);
      if (!m_window.PumpUntil(2000, [&] { return got > before; })) return 0;
    }
    double rate = count / SecondsSince(t0);
    m_window.onNotify = nullptr;
    return rate;
  }

  // The engine: sync frames, then `count` full data frames, until all are delivered.
  double Protocol(int count) {
    m_config.strAppFolder = SpillFolder();
    m_config.nAckTimeout_ms = 1000;
    m_config.nRetryLimit = 10;
    m_protocol.Configure(m_config);
    m_protocol.ClearQueues();
    m_protocol.Attach(&m_owner, m_link.get(), kAbortMsg);
    m_window.onNotify = [this](WPARAM wParam, LPARAM) { m_protocol.OnLinkData(wParam); };
    auto tick = [this] {
      m_link->ReTrans();
      m_protocol.Pump();
    };
    m_protocol.SendSyncFrame();
    m_protocol.SendSyncFrame();
    if (!m_window.PumpUntil(
            5000, [this] { return m_protocol.GetAckedCount() >= 2; }, tick, 10))
      return 0;
    std::vector<BYTE> data = MachineWords();
    for (int i = 0; i < count; ++i) m_protocol.QueueDataFrame(FALSE, data.data(), (int)data.size());
    m_protocol.SetDeliveredDone();
    auto t0 = Clock::now();
    DWORD start = m_protocol.GetAckedCount();
    bool ok = m_window.PumpUntil(
        count * 1000u, [this] { return m_protocol.IsAllDelivered() != 0; }, tick, 10);
    double rate = (m_protocol.GetAckedCount() - start) / SecondsSince(t0);
    printf("  engine stats: %s\n", (const char*)m_protocol.FormatStats());
    m_protocol.ResetFifo();
    return ok ? rate : 0;
  }

  CDeviceLink* Link() { return m_link.get(); }
  ~Bench() {
    if (m_link && m_link->IsOpen()) m_link->Close();
  }

 private:
  TestWindow m_window;
  FrameProtocolConfig m_config;
  CFrameProtocol m_protocol;
  CRecordingSink m_owner;
  std::unique_ptr<CDeviceLink> m_link;
  UdpLinkState m_udpState;
};

int RunUdp(int frames) {
  Control("ACKS numbered");
  double ceiling = RawUdpRoundTrips(frames);
  auto bench = std::make_unique<Bench>();  // too big for the stack
  if (!bench->OpenUdp()) {
    fprintf(stderr, "link_bench: the UDP link did not connect\n");
    return 1;
  }
  double rate = bench->Protocol(frames);
  printf("UDP loopback: %d frames\n", frames);
  printf("  raw datagram round trips: %8.0f /s  (ceiling)\n", ceiling);
  printf("  engine over the UDP link: %8.0f frames/s  = %.0f%% of the ceiling (goal 80%%)\n", rate,
         ceiling > 0 ? 100.0 * rate / ceiling : 0.0);
  return rate > 0 ? 0 : 1;
}

int RunSerial(int baud, int frames) {
  Control("BAUD " + std::to_string(baud));
  Control("ACKS numbered");
  double physical = baud / (10.0 * kV5Wire);
  double bare = RawSerialRoundTrips(getenv("CORVANE_SERIAL_PORT"), baud, frames / 2);
  auto bench = std::make_unique<Bench>();
  if (!bench->OpenSerial(baud)) {
    fprintf(stderr, "link_bench: %s cannot be opened\n", getenv("CORVANE_SERIAL_PORT"));
    return 1;
  }
  double raw = bench->RawStopAndWait(frames / 2);
  double rate = bench->Protocol(frames);
  printf("serial pty at %d baud, wire time emulated (10 bits a byte): %d frames\n", baud, frames);
  printf("  physical frame rate:       %6.1f frames/s  (ceiling: %d bytes a frame and its ACK)\n", physical, kV5Wire);
  printf("  bare port round trips:     %6.1f frames/s  = %.1f%% of the physical rate (measured ceiling)\n", bare,
         100.0 * bare / physical);
  printf("  link alone, stop and wait: %6.1f frames/s  = %.1f%% of the physical rate, %.1f%% of the bare port\n", raw,
         100.0 * raw / physical, bare > 0 ? 100.0 * raw / bare : 0.0);
  printf(
      "  engine over the link:      %6.1f frames/s  = %.1f%% of the physical rate (goal 95%%), %.1f%% of the bare "
      "port, %.1f%% of the link alone\n",
      rate, 100.0 * rate / physical, bare > 0 ? 100.0 * rate / bare : 0.0, raw > 0 ? 100.0 * rate / raw : 0.0);
  return rate > 0 && bare > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "udp") return RunUdp(argc > 2 ? atoi(argv[2]) : 5000);
  if (mode == "serial" && argc > 2) return RunSerial(atoi(argv[2]), argc > 3 ? atoi(argv[3]) : 300);
  fprintf(stderr, "usage: link_bench udp [frames] | link_bench serial <baud> [frames]\n");
  return 2;
}
