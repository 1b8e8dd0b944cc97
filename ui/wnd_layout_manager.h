// The pane layout on a real window: ILayoutWindow over Win32 (CWndLayoutWindow) and
// the manager that uses it (CWndLayoutManager), which adds the background painting
// around the child controls and the saved window placement.
//
// The hosts (RDQLayoutDialog and the others) derive from CWndLayoutManager, so the
// tree-building operations and Relayout are used on the host directly.
#pragma once

#include "platform/win/framework.h"
#include "ui/layout/layout_manager.h"

class CWndLayoutWindow : public ILayoutWindow {
 public:
  explicit CWndLayoutWindow(CWnd* wnd) : m_pWnd(wnd) {}

  HWND FindControl(UINT id) override;
  CRect GetControlRect(HWND ctl) override;
  DWORD GetControlStyle(HWND ctl) override;
  BOOL IsComboControl(HWND ctl) override;
  void MoveControl(HWND ctl, const CRect& rect) override;
  void RedrawControl(HWND ctl, BOOL erase) override;
  BOOL GetComboListBottom(HWND combo, int* bottom) override;
  void AdjustTabRect(HWND tab, BOOL larger, CRect* rect) override;
  CRect GetClientRect() override;
  BOOL IsTopLevelDialog() override;
  CRect GetWindowRect() override;
  void MoveWindowTo(const CRect& rect) override;
  void AfterLayout() override;

  CWnd* m_pWnd;  // the laid-out window (not owned)
};

class CWndLayoutManager : public RDQLayoutManager {
 public:
  // The window may be the host itself, whose window does not exist yet.
  explicit CWndLayoutManager(CWnd* wnd);

  // Fills the client area around the visible child controls with the window class's
  // background (COLOR_BTNFACE without one): inside group boxes, in a tab control's
  // display area and over a status bar except its size grip.
  void PaintBackground(CDC* dc);
  // The placement of the window as binary entry "WindowPlacement" of the section in
  // the program's profile store; a maximised window stays maximised, any other is
  // saved as a normal one. Both return TRUE.
  BOOL SaveWindowPlacement(LPCTSTR section);
  // Applies a stored placement of exactly the platform's record size; any other
  // stored value is ignored. Returns TRUE.
  BOOL LoadWindowPlacement(LPCTSTR section);

  CWnd* m_pWnd;  // the laid-out window (not owned)

 private:
  CWndLayoutWindow m_window;
};

// Exact window class name of a window (at most 260 characters read).
CString LayoutClassName(HWND hwnd);
