// CAnchorLayout: keeps a resizable dialog's controls in place relative to its client
// area. Each control is tied to two anchor points, one for its top-left and one for
// its bottom-right corner, given as percentages of the client width and height; it
// keeps the pixel offsets from those points that it had when it was registered.
//
// A second base class of a dialog: register the controls in OnInitDialog (while the
// client area still has its template size) and call ApplyAnchors from WM_SIZE.
#pragma once

#include "platform/win/framework.h"

// An anchor point: percentages of the client width and height.
struct AnchorPoint {
  int x;  // percent of the width
  int y;  // percent of the height
  bool operator==(const AnchorPoint& o) const { return x == o.x && y == o.y; }
};

constexpr AnchorPoint ANCHOR_TOPLEFT = {0, 0};
constexpr AnchorPoint ANCHOR_TOP = {50, 0};
constexpr AnchorPoint ANCHOR_TOPRIGHT = {100, 0};
constexpr AnchorPoint ANCHOR_LEFT = {0, 50};
constexpr AnchorPoint ANCHOR_CENTER = {50, 50};
constexpr AnchorPoint ANCHOR_RIGHT = {100, 50};
constexpr AnchorPoint ANCHOR_BOTTOMLEFT = {0, 100};
constexpr AnchorPoint ANCHOR_BOTTOM = {50, 100};
constexpr AnchorPoint ANCHOR_BOTTOMRIGHT = {100, 100};
constexpr AnchorPoint ANCHOR_NONE = {-1, -1};  // bottom-right: the same point as the top-left

// One registered control.
struct AnchorEntry {
  HWND hWnd = nullptr;               // the control; null for an id without a dialog item
  int nReserved = 0;                 // always 0
  BOOL bListBox = FALSE;             // class "ListBox"
  BOOL bNeedsRefresh = FALSE;        // NeedsRepaintOnResize at registration
  AnchorPoint topLeft = {0, 0};      // anchor of the top-left corner, percent
  CPoint offTopLeft;                 // pixels from that point to the top-left corner
  AnchorPoint bottomRight = {0, 0};  // anchor of the bottom-right corner, percent
  CPoint offBottomRight;             // pixels from that point to the bottom-right corner
};

class CAnchorLayout {
 public:
  CAnchorLayout() = default;
  virtual ~CAnchorLayout();
  CAnchorLayout(const CAnchorLayout&) = delete;
  CAnchorLayout& operator=(const CAnchorLayout&) = delete;

  // FALSE for controls that paint over their neighbours' area (group boxes, some
  // static kinds, some toolbars).
  virtual BOOL CanClipControl(HWND hwnd);
  // Static texts, bitmaps and metafiles (and centred images) must repaint when
  // resized rather than keep their old pixels.
  virtual BOOL NeedsRepaintOnResize(HWND hwnd);
  virtual void GetLayoutClientRect(CRect* rect);
  // Consulted for entries without a window only; FALSE here.
  virtual BOOL CustomArrange(const AnchorEntry& entry) { return FALSE; }
  virtual CWnd* GetAnchoredWindow() = 0;

  // Registers the dialog item with that id (an id without an item registers an entry
  // that is skipped); bottomRight ANCHOR_NONE keeps the control's size.
  void AnchorControl(UINT id, AnchorPoint topLeft, AnchorPoint bottomRight = ANCHOR_NONE);
  void AnchorControl(HWND hwnd, AnchorPoint topLeft, AnchorPoint bottomRight = ANCHOR_NONE);
  // Moves every registered control for the current client size, all in one batch.
  void ApplyAnchors();

  CArray<AnchorEntry> m_entries;  // in registration order
  int m_nCtrlCount = 0;           // registered controls; the next entry goes here
};
