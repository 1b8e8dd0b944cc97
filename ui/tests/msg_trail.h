// Message-sequence checks for the controls, in the manner of the platform's own
// control tests: a parent window records what its children tell it (notifications,
// commands, registered messages) as short texts, in order, and a test compares the
// record with the expected sequence. Input goes in as posted messages drained through
// the framework's loop, so that PreTranslateMessage and TranslateMessage run as they
// do for the operator's keys.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/win/framework.h"

typedef std::vector<std::string> Trail;

// A visible top-level window that records; the controls under test are its children.
class CTrailParent : public CWnd {
 public:
  BOOL Create(const RECT& rect);
  Trail m_trail;
  // WM_NOTIFY codes that are recorded (the list view sends many that no test needs).
  std::set<UINT> m_notifyCodes;
  // WM_COMMAND codes of controls are all recorded unless this is false.
  bool m_bRecordCommands = true;
  void Note(const std::string& entry) { m_trail.push_back(entry); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

// Names of the codes the tests record.
std::string CommandName(UINT code);
std::string NotifyName(UINT code);

// Drains the queue (timers fire only from a drained queue) for at least ms.
void DrainFor(DWORD ms);
// Posts a key to wnd as the keyboard would (key down, then up) and drains.
void PressKey(HWND wnd, UINT key, bool alt = false);
// Sends a click (down and up) at a client point of wnd.
void Click(HWND wnd, CPoint point);
// Moves the cursor to a client point of wnd and makes that the position of the
// message being processed (GetMessagePos), as a real pointer move would.
void PointAt(HWND wnd, CPoint point);
