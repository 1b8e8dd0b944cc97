#include "device/links/tests/udp_test_support.h"

#include <cstdlib>
#include <sstream>

#include "device/links/udp_socket.h"

namespace udp_test {

namespace {
WORD EnvPort(const char* name) {
  const char* v = getenv(name);
  return v ? (WORD)atoi(v) : 0;
}

struct WinsockUp {
  WinsockUp() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUp() { WSACleanup(); }
} g_winsock;
}  // namespace

WORD PeerPort() { return EnvPort("CORVANE_PEER_PORT"); }
WORD ControlPort() { return EnvPort("CORVANE_PEER_CONTROL"); }

std::string Control(const std::string& command) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(ControlPort());
  to.sin_addr.s_addr = inet_addr("127.0.0.1");
  sendto(s, command.data(), (int)command.size(), 0, (sockaddr*)&to, sizeof(to));
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{3, 0};
  std::string answer;
  if (select(0, &set, nullptr, nullptr, &tv) > 0) {
    char buf[8192];
    int n = recv(s, buf, sizeof(buf), 0);
    if (n > 0) answer.assign(buf, (size_t)n);
  }
  closesocket(s);
  return answer;
}

std::map<std::string, std::string> Stats() {
  std::map<std::string, std::string> out;
  std::istringstream in(Control("STATS"));
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

int Stat(const std::string& key) { return atoi(Stats()[key].c_str()); }

WORD FreeUdpPort() {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  bind(s, (sockaddr*)&a, sizeof(a));
  int length = sizeof(a);
  getsockname(s, (sockaddr*)&a, &length);
  closesocket(s);
  return ntohs(a.sin_port);
}

void UseLoopbackBroadcast() {
  static const LocalAddressRow rows[] = {{inet_addr("127.1.2.3"), inet_addr("255.0.0.0")}};
  SetLocalAddressRowsForTests(rows, 1);
}

TestWindow::TestWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CorvaneUdpTestWindow";
    RegisterClassA(&wc);
    registered = true;
  }
  m_hwnd = CreateWindowExA(0, "CorvaneUdpTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
}

TestWindow::~TestWindow() { DestroyWindow(m_hwnd); }

LRESULT CALLBACK TestWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TestWindow* self = (TestWindow*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
  if (self && msg == kWmUdpSocket) {
    if (self->onSocket) self->onSocket((SOCKET)wParam, lParam);
    return 0;
  }
  if (self && msg == kWmTestLinkNotify) {
    self->notes.emplace_back(wParam, lParam);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool TestWindow::PumpUntil(DWORD timeout_ms, const std::function<bool()>& done, const std::function<void()>& tick) {
  DWORD start = GetTickCount(), lastTick = start;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start > timeout_ms) return false;
    if (tick && GetTickCount() - lastTick >= 20) {
      lastTick = GetTickCount();
      tick();
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

}  // namespace udp_test
