// RDQLayoutDialog: a resizable dialog whose controls are placed by a pane layout tree.
//
// It adds a thick frame, an optional size grip in a status bar, a background that is
// painted only around the controls (no flicker over them), minimum and maximum
// tracking sizes taken from the tree, and an optional saved window placement. A
// derived dialog builds its tree in OnInitDialog (after this class's) and calls
// Relayout() at the end.
#pragma once

#include "platform/win/control_bars.h"
#include "ui/wnd_layout_manager.h"

class RDQLayoutDialog : public CDialog, public CWndLayoutManager {
 public:
  // section: profile section of the window placement, null for none; gripper: a
  // status bar with a size grip along the bottom.
  RDQLayoutDialog(UINT templateId, CWnd* parent = nullptr, LPCTSTR section = nullptr, BOOL gripper = TRUE);
  ~RDQLayoutDialog() override;

  // The client rectangle; with the grip, its bottom moves up so that the laid-out
  // area ends 5 pixels below the status bar's top edge once the margin is off.
  CRect GetLayoutRect() override;

  BYTE m_bGripper;            // TRUE: the status bar with the size grip is created
  CStatusBar m_wndStatusBar;  // the grip's status bar (id AFX_IDW_STATUS_BAR)

 protected:
  BOOL OnInitDialog() override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnGetMinMaxInfo(MINMAXINFO* info);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  BOOL CreateGripBar();
};
