// Where portable code posts its notifications for an owner window.
//
// A device link tells its owner that bytes have arrived, and the frame protocol engine
// hands the controller's reply lines and its abort reports to the engine dialog, all as
// posted window messages. Portable code never holds a window: it holds a sink. On
// Windows CWindowNotifySink posts to a real window; tests record what was posted.
#pragma once

#include "platform/types.h"

class INotifySink {
 public:
  virtual ~INotifySink() = default;
  // Queues (message, wParam, lParam) for the owner's thread and returns at once; FALSE
  // when nothing was queued (an lParam that owns memory then stays the caller's). May
  // be called from any thread.
  virtual BOOL PostNotify(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

#ifdef _WIN32
// Posts to a window's message queue.
class CWindowNotifySink : public INotifySink {
 public:
  explicit CWindowNotifySink(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
  void SetWindow(HWND hWnd) { m_hWnd = hWnd; }
  HWND GetWindow() const { return m_hWnd; }
  BOOL PostNotify(UINT message, WPARAM wParam, LPARAM lParam) override {
    return m_hWnd && PostMessageA(m_hWnd, message, wParam, lParam) ? TRUE : FALSE;
  }

 private:
  HWND m_hWnd;  // null: nothing is posted
};
#endif
