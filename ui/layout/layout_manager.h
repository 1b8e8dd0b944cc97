// RDQLayoutManager: one window's layout tree, its outer margin and the operations
// that build the tree; it lays the tree out again on every size change.
//
// The manager talks to its window only through ILayoutWindow (pane_layout.h), so the
// whole model, size clamping included, runs in the host build as well. The window
// side (ui/wnd_layout_manager.h) adds background painting and the saved window
// placement.
#pragma once

#include "ui/layout/pane_layout.h"

class RDQLayoutManager {
 public:
  explicit RDQLayoutManager(ILayoutWindow* window);
  virtual ~RDQLayoutManager();
  RDQLayoutManager(const RDQLayoutManager&) = delete;
  RDQLayoutManager& operator=(const RDQLayoutManager&) = delete;

  // The rectangle the tree and its margin live in; the client rectangle by default.
  virtual CRect GetLayoutRect();
  // Releases the current root, takes the new one and lays it out.
  virtual void ReplaceRoot(const RDQLayoutRef& root);
  // Clamps a top-level dialog to the tree's bounds, then lays the tree out in the
  // layout rectangle less the margin. Nothing without a root.
  virtual void Relayout();
  // FALSE for a rectangle without area or without a root; otherwise the root's
  // placement result.
  virtual BOOL LayoutRootInRect(const CRect& rect);

  // Tree building. Every new node belongs to this manager.
  RDQLayoutRef NewRootPane(int orientation, int gap = 0, int border = 0);
  RDQLayoutRef CreatePane(int orientation, UINT mode = 0, int gap = 0, int border = 0, int secondary = 0);
  RDQLayoutRef CreateTabPane(HWND tab, int orientation, UINT mode = 0, int gap = 0, int border = 0, int secondary = 0);
  RDQLayoutRef CreateCtrlPane(UINT frameId, int orientation, UINT mode = 0, int gap = 0, int border = 0,
                              int topExtra = 0, int secondary = 0);
  // A width or height of 0 takes the control's current one; a minimum of -1 its
  // current width or height. A missing control gives a spacer.
  RDQLayoutRef CreateItem(UINT id, UINT mode = 0, int width = 0, int height = 0, int minWidth = -1, int minHeight = -1);
  // An empty item that takes free space along the orientation of the pane it joins.
  RDQLayoutRef CreateGrowingSpacer(int orientation);

  // Tracking sizes of a window whose frame takes `allowance` beyond the layout
  // rectangle: the root's bounds plus the frame and the margin. A maximum of -1 is
  // unbounded in that direction and never below the minimum otherwise. FALSE
  // without a root.
  BOOL GetTrackingSizes(CSize allowance, CSize* minTrack, CSize* maxTrack);
  // Lets the tree go (the host does so when its window is destroyed).
  void ReleaseRoot() { m_root = RDQLayoutRef(); }

  ILayoutWindow* m_pWindow;          // the laid-out window (not owned)
  RDQLayoutRef m_root;               // the root pane; empty until a tree is built
  CString m_strSection;              // profile section of the window placement; empty: none
  CSize m_sizeMargin = CSize(3, 3);  // outer margin, pixels
};
