// The engine's loop around a frame protocol and its link, for tests that drive them as
// the engine dialog does: the pump on its timer and the link's data when the link
// notifies, with a hand-driven clock that moves 10 ms a turn, so that time-outs run as
// they would.
#pragma once

#include <functional>

#include "engine/protocol/frame_protocol.h"

class CEngineLoop : public INotifySink {
 public:
  // The link's notifications come here (set it with CDeviceLink::SetNotifySink).
  CEngineLoop(CFrameProtocol& protocol, CManualTicks& ticks, UINT linkMessage)
      : m_protocol(protocol), m_ticks(ticks), m_nLinkMessage(linkMessage) {}

  BOOL PostNotify(UINT message, WPARAM wParam, LPARAM) override {
    if (message == m_nLinkMessage && wParam == 1) ++m_nPosts;
    return TRUE;
  }

  // Turns until done() holds or the turns run out.
  void RunUntil(const std::function<bool()>& done, int turns = 200000) {
    for (int i = 0; i < turns && !done(); ++i) {
      m_protocol.Pump();
      while (m_nPosts > m_nTaken) {
        ++m_nTaken;
        m_protocol.OnLinkData(1);
      }
      m_ticks.Advance(10);
    }
  }

 private:
  CFrameProtocol& m_protocol;
  CManualTicks& m_ticks;
  UINT m_nLinkMessage;
  int m_nPosts = 0;  // data notifications of the link
  int m_nTaken = 0;  // of them, handed to the protocol
};
