// CToolTipHost: tooltips for a window whose tools come from a hit test.
//
// A list with a tip per cell cannot register one tool per cell up front (cells come
// and go, and scroll). Instead the window answers, for a point, which tool the point
// is on (an id, a rectangle, a text or a text callback) and the host keeps exactly
// that one tool registered with its tooltip control, replacing it when the pointer
// moves to another tool. The window passes its mouse messages to RelayMouse. A tool
// with a text callback makes the tooltip send TTN_NEEDTEXT to the tool's window.
#pragma once

#include "platform/win/controls.h"

class IToolHitTest {
 public:
  // The tool at point (client coordinates) with its description in ti (hwnd, uId,
  // rect, lpszText; cbSize is set), or -1 when the point is on no tool.
  virtual INT_PTR OnToolHitTest(CPoint point, TTTOOLINFOA* ti) const = 0;

 protected:
  ~IToolHitTest() = default;
};

class CToolTipHost {
 public:
  CToolTipHost() = default;
  ~CToolTipHost();
  CToolTipHost(const CToolTipHost&) = delete;
  CToolTipHost& operator=(const CToolTipHost&) = delete;

  // Creates the tooltip control for owner (tools are asked of tester) or destroys it.
  BOOL Enable(CWnd* owner, const IToolHitTest* tester, BOOL enable);
  BOOL IsEnabled() const { return m_tip.m_hWnd != nullptr; }
  // Every mouse message of the owner: the current tool follows the pointer and the
  // tooltip sees the message.
  void RelayMouse(UINT message, WPARAM wParam, LPARAM lParam);
  // The tool registered now (-1 none) and the tooltip control.
  INT_PTR GetCurrentTool() const { return m_nCurrentTool; }
  CToolTipCtrl* GetToolTip() { return &m_tip; }

 private:
  void ClearTool();

  CToolTipCtrl m_tip;                       // the tooltip control; no window while disabled
  CWnd* m_pOwner = nullptr;                 // the window whose tools these are
  const IToolHitTest* m_pTester = nullptr;  // answers which tool a point is on
  INT_PTR m_nCurrentTool = -1;              // id of the one tool registered, -1 none
  TTTOOLINFOA m_current = {};               // that tool as registered (for deleting it)
};
