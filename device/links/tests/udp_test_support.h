// Support of the UDP tests (Windows): Winsock, a message-only window that routes the
// socket message and records the link's notifications, and the control channel of the
// test controller (tests/peers/udp_controller.py) started beside the test program.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/core.h"

namespace udp_test {

constexpr UINT kWmTestLinkNotify = WM_APP + 1;

// The controller's link port and its control port (from the environment).
WORD PeerPort();
WORD ControlPort();

// Sends one control command and returns the controller's answer ("" on time-out).
std::string Control(const std::string& command);
// The controller's counters and state after STATS.
std::map<std::string, std::string> Stats();
int Stat(const std::string& key);

// A loopback UDP port that nothing listens on (just released).
WORD FreeUdpPort();

// Broadcasts of the code under test go to 127.255.255.255 only.
void UseLoopbackBroadcast();

class TestWindow {
 public:
  TestWindow();
  ~TestWindow();
  HWND Handle() const { return m_hwnd; }
  // Called for kWmUdpSocket (socket, event).
  std::function<void(SOCKET, LPARAM)> onSocket;
  // kWmTestLinkNotify messages received: (wParam, lParam).
  std::vector<std::pair<WPARAM, LPARAM>> notes;
  // Dispatches messages until done() or the time is up; calls tick() every ~20 ms.
  bool PumpUntil(DWORD timeout_ms, const std::function<bool()>& done, const std::function<void()>& tick = nullptr);
  void PumpFor(DWORD ms, const std::function<void()>& tick = nullptr) {
    PumpUntil(
        ms, [] { return false; }, tick);
  }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND m_hwnd;
};

}  // namespace udp_test
