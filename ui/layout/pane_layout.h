// The pane layout model: a tree of layout nodes that places a window's child controls
// from rules instead of fixed coordinates.
//
// Leaves are controls or empty spacers (RDQLayoutItem); inner nodes are panes that
// stack their children left to right or top to bottom (RDQLayoutPane), a pane that
// lays its children inside a tab control's display area (RDQLayoutTabPane) and one
// that lays them inside a framing control such as a group box (RDQLayoutCtrlPane).
// Each node is fixed, percent or greedy per direction and has a minimum and maximum;
// a pane splits its extent among its children by those rules (pane_layout.cpp).
//
// The model is arithmetic and builds in both builds: it reaches the window and its
// controls only through ILayoutWindow, which the window side implements with Win32
// calls and the host tests with a table of rectangles. Nodes are shared through
// reference-counted holders (RDQLayoutRef), so a builder can keep a pane while it
// appends to it with <<.
#pragma once

#include <atomic>
#include <vector>

#include "platform/core.h"

class RDQLayoutManager;

// Mode bits of a node. Per direction a node is fixed, percent or (neither bit) greedy;
// alignment and fill matter for items and for the leftover step of a pane.
constexpr UINT LM_FIXED_WIDTH = 0x001;     // width is the node's own value
constexpr UINT LM_PERCENT_WIDTH = 0x002;   // width is a percentage of the space offered
constexpr UINT LM_FIXED_HEIGHT = 0x004;    // height is the node's own value
constexpr UINT LM_PERCENT_HEIGHT = 0x008;  // height is a percentage of the space offered
constexpr UINT LM_ALIGN_LEFT = 0x010;      // a fixed-width control sits at its cell's left
constexpr UINT LM_ALIGN_RIGHT = 0x020;     // ... at its cell's right
constexpr UINT LM_ALIGN_HCENTER = 0x030;   // both bits: centred horizontally
constexpr UINT LM_ALIGN_TOP = 0x040;       // a fixed-height control sits at its cell's top
constexpr UINT LM_ALIGN_BOTTOM = 0x080;    // ... at its cell's bottom
constexpr UINT LM_ALIGN_VCENTER = 0x0C0;   // both bits: centred vertically
constexpr UINT LM_FILL_WIDTH = 0x100;      // a fixed-width node stretches to its cell and
                                           // shares a horizontal pane's leftover space
constexpr UINT LM_FILL_HEIGHT = 0x200;     // the same for height and vertical panes

// Orientation of a pane.
constexpr int LM_HORIZONTAL = 0;  // children side by side, left to right
constexpr int LM_VERTICAL = 1;    // children stacked, top to bottom

// -1 as a maximum: unbounded.
constexpr int kLayoutUnbounded = -1;

// What the layout needs of the window it lays out and of that window's controls.
// Rectangles are in the window's client coordinates.
class ILayoutWindow {
 public:
  virtual ~ILayoutWindow() = default;
  // The control with this dialog id, or null.
  virtual HWND FindControl(UINT id) = 0;
  virtual CRect GetControlRect(HWND ctl) = 0;
  virtual DWORD GetControlStyle(HWND ctl) = 0;
  // The control's class is "ComboBox" or "ComboBoxEx32".
  virtual BOOL IsComboControl(HWND ctl) = 0;
  // Moves the control, repainting it.
  virtual void MoveControl(HWND ctl, const CRect& rect) = 0;
  // Repaints the control at once (RDW_INVALIDATE | RDW_UPDATENOW, and RDW_ERASE when
  // erase is set).
  virtual void RedrawControl(HWND ctl, BOOL erase) = 0;
  // The bottom edge of a simple combo box's list (its child 1000); FALSE without one.
  virtual BOOL GetComboListBottom(HWND combo, int* bottom) = 0;
  // TCM_ADJUSTRECT of a tab control: display area to window (larger) or back.
  virtual void AdjustTabRect(HWND tab, BOOL larger, CRect* rect) = 0;

  // The window itself.
  virtual CRect GetClientRect() = 0;
  // A dialog that is not a child window: its size follows the tree's bounds.
  virtual BOOL IsTopLevelDialog() = 0;
  // The window's rectangle in the coordinates MoveWindowTo takes.
  virtual CRect GetWindowRect() = 0;
  virtual void MoveWindowTo(const CRect& rect) = 0;
  // Runs after every layout: spin buttons follow their moved buddies, the window is
  // invalidated with erase.
  virtual void AfterLayout() = 0;
};

// Abstract base of every node.
class RDQLayoutNode {
 public:
  RDQLayoutNode() = default;
  RDQLayoutNode(const RDQLayoutNode&) = delete;
  RDQLayoutNode& operator=(const RDQLayoutNode&) = delete;

  // Preferred size for an offered size; -1 for a greedy item.
  virtual int PreferredWidth(int size) = 0;
  virtual int PreferredHeight(int size) = 0;
  virtual int MinWidth() = 0;
  virtual int MaxWidth() = 0;  // -1 unbounded
  virtual int MinHeight() = 0;
  virtual int MaxHeight() = 0;  // -1 unbounded
  virtual BOOL PlaceInRect(const CRect& rect) = 0;
  virtual ~RDQLayoutNode() = default;

  UINT m_nMode = 0;                    // LM_* bits
  RDQLayoutManager* m_pMgr = nullptr;  // the owning manager (not owned)

 protected:
  ILayoutWindow* Window() const;
};

// A control, or an empty spacer when it has no window.
class RDQLayoutItem : public RDQLayoutNode {
 public:
  int PreferredWidth(int size) override;
  int PreferredHeight(int size) override;
  int MinWidth() override;
  int MaxWidth() override;
  int MinHeight() override;
  int MaxHeight() override;
  BOOL PlaceInRect(const CRect& rect) override;

  int m_nWidth = 0;       // pixels, or percent in a percent direction
  int m_nMinWidth = 0;    // pixels; below 3 counts as 3
  int m_nHeight = 0;      // pixels, or percent in a percent direction
  int m_nMinHeight = 0;   // pixels; below 3 counts as 3
  HWND m_hWnd = nullptr;  // the control; null for a spacer
  BYTE m_bCombo = 0;      // the control is a combo box ("ComboBox", "ComboBoxEx32")
};

class RDQLayoutRef;

// A container that stacks its children in one direction.
class RDQLayoutPane : public RDQLayoutNode {
 public:
  int PreferredWidth(int size) override;
  int PreferredHeight(int size) override;
  int MinWidth() override;
  int MaxWidth() override;
  int MinHeight() override;
  int MaxHeight() override;
  BOOL PlaceInRect(const CRect& rect) override;

  void AppendNode(const RDQLayoutRef& child);
  // Appends a child pane with its mode and size in this pane; a child of the same
  // orientation gets a wrapper pane of the other orientation in between.
  void AppendPane(const RDQLayoutRef& child, UINT mode, int size);

  int m_nOrientation = LM_HORIZONTAL;    // LM_HORIZONTAL or LM_VERTICAL
  std::vector<RDQLayoutRef> m_children;  // in placement order
  int m_nSecondary = 0;                  // own size (pixels or percent) when fixed or percent in the parent
  int m_nGap = 0;                        // pixels between neighbouring children
  int m_nBorder = 0;                     // pixels left free on all four sides inside the pane

 protected:
  // The size rules of a plain pane, which the derived panes extend.
  int PaneMinAlong();
  int PaneMinAcross();
  int PaneMaxAlong();
  int PaneMaxAcross();
  // Splits the rectangle among the children and places them.
  BOOL PlaceChildren(const CRect& rect);
};

// A pane whose children live in a tab control's display area.
class RDQLayoutTabPane : public RDQLayoutPane {
 public:
  int PreferredWidth(int size) override;
  int PreferredHeight(int size) override;
  int MinWidth() override;
  int MaxWidth() override;
  int MinHeight() override;
  int MaxHeight() override;
  BOOL PlaceInRect(const CRect& rect) override;

  HWND m_hTabCtrl = nullptr;  // the tab control (not owned)

 private:
  // The room the tabs and the frame take around an empty display area.
  CSize TabExtra();
};

// A pane whose children live inside a framing control (a group box as a rule).
class RDQLayoutCtrlPane : public RDQLayoutPane {
 public:
  int MinHeight() override;
  int MaxHeight() override;
  BOOL PlaceInRect(const CRect& rect) override;

  HWND m_hWndFrame = nullptr;  // the frame (not owned)
  int m_nTopExtra = 0;         // pixels at the frame's top kept for its caption
};

// A shared reference to a node. The node is deleted with its last reference.
class RDQLayoutRef {
 public:
  RDQLayoutRef() = default;
  explicit RDQLayoutRef(RDQLayoutNode* node);  // takes ownership; null stays empty
  RDQLayoutRef(const RDQLayoutRef& other);
  RDQLayoutRef& operator=(const RDQLayoutRef& other);
  ~RDQLayoutRef();

  RDQLayoutNode* operator->() const { return m_pHolder ? m_pHolder->pNode : nullptr; }
  RDQLayoutNode* Get() const { return m_pHolder ? m_pHolder->pNode : nullptr; }
  bool operator==(std::nullptr_t) const { return m_pHolder == nullptr; }
  bool operator!=(std::nullptr_t) const { return m_pHolder != nullptr; }
  // The node as a pane, or null.
  RDQLayoutPane* Pane() const;
  // Number of references to the node (0 when empty).
  LONG UseCount() const { return m_pHolder ? m_pHolder->nCount.load() : 0; }

  // Appends a child to this pane: a child pane with its own mode and secondary size
  // (AppendPane), an item or spacer as it is (AppendNode). Returns this reference.
  RDQLayoutRef& operator<<(const RDQLayoutRef& child);

 private:
  struct Holder {
    RDQLayoutNode* pNode;      // owned
    std::atomic<LONG> nCount;  // references; the node dies at 0
  };
  void Release();
  Holder* m_pHolder = nullptr;
};
