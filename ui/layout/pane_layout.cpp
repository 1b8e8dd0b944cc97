#include "ui/layout/pane_layout.h"

#include <cstdlib>

#include "ui/layout/layout_manager.h"

namespace {

// Combo box style bits the item placement looks at (the host build has no windows.h).
constexpr DWORD kComboDropDownBit = 0x0002;       // CBS_DROPDOWN and CBS_DROPDOWNLIST
constexpr DWORD kComboNoIntegralHeight = 0x0400;  // CBS_NOINTEGRALHEIGHT
// A deficit this small is given up by one child instead of being split.
constexpr int kWholeRemainder = 5;
// Minimum of every child counted in a pane's minimum.
constexpr int kLeastChildMin = 3;

int PercentOf(int size, int percent) { return (int)((long long)size * percent / 100); }

// A rectangle with no negative extent: a cell never gets a negative width or height.
CRect NonNegative(CRect r) {
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// A control of `size` in the cell [*lo, *hi) keeps its size: at the start, at the end
// (`align` is `endBit`) or in the middle (`align` is `bothBits`).
void AlignInCell(LONG* lo, LONG* hi, int size, UINT align, UINT endBit, UINT bothBits) {
  if (align == bothBits)
    *lo += (*hi - *lo - size) / 2;
  else if (align == endBit)
    *lo += *hi - *lo - size;
  *hi = *lo + size;
}

// One direction of a node, seen from a pane: along its own direction or across it.
struct Axis {
  bool bHorizontal;  // along = width
  UINT FixedBit() const { return bHorizontal ? LM_FIXED_WIDTH : LM_FIXED_HEIGHT; }
  UINT PercentBit() const { return bHorizontal ? LM_PERCENT_WIDTH : LM_PERCENT_HEIGHT; }
  UINT FillBit() const { return bHorizontal ? LM_FILL_WIDTH : LM_FILL_HEIGHT; }
  UINT FixedAcrossBit() const { return bHorizontal ? LM_FIXED_HEIGHT : LM_FIXED_WIDTH; }
  int Preferred(RDQLayoutNode* n, int size) const {
    return bHorizontal ? n->PreferredWidth(size) : n->PreferredHeight(size);
  }
  int Min(RDQLayoutNode* n) const { return bHorizontal ? n->MinWidth() : n->MinHeight(); }
  int Max(RDQLayoutNode* n) const { return bHorizontal ? n->MaxWidth() : n->MaxHeight(); }
  int MinAcross(RDQLayoutNode* n) const { return bHorizontal ? n->MinHeight() : n->MinWidth(); }
  int MaxAcross(RDQLayoutNode* n) const { return bHorizontal ? n->MaxHeight() : n->MaxWidth(); }
};

}  // namespace

ILayoutWindow* RDQLayoutNode::Window() const { return m_pMgr ? m_pMgr->m_pWindow : nullptr; }

// ---------------------------------------------------------------------------------
// Items

int RDQLayoutItem::PreferredWidth(int size) {
  if (m_nMode & LM_FIXED_WIDTH) return m_nWidth;
  if (m_nMode & LM_PERCENT_WIDTH) return PercentOf(size, m_nWidth);
  return -1;
}

int RDQLayoutItem::PreferredHeight(int size) {
  if (m_nMode & LM_FIXED_HEIGHT) return m_nHeight;
  if (m_nMode & LM_PERCENT_HEIGHT) return PercentOf(size, m_nHeight);
  return -1;
}

int RDQLayoutItem::MinWidth() {
  if (m_nMode & LM_FIXED_WIDTH) return m_nWidth;
  return m_nMinWidth > 2 ? m_nMinWidth : 3;
}

int RDQLayoutItem::MinHeight() {
  if (m_nMode & LM_FIXED_HEIGHT) return m_nHeight;
  return m_nMinHeight > 2 ? m_nMinHeight : 3;
}

int RDQLayoutItem::MaxWidth() { return (m_nMode & LM_FIXED_WIDTH) ? m_nWidth : kLayoutUnbounded; }
int RDQLayoutItem::MaxHeight() { return (m_nMode & LM_FIXED_HEIGHT) ? m_nHeight : kLayoutUnbounded; }

// A fixed-size control that does not fill its cell keeps its own size and sits in the
// cell by its alignment bits; a drop-down combo keeps its closed height; a simple combo
// is stretched down to the bottom of its list.
BOOL RDQLayoutItem::PlaceInRect(const CRect& rect) {
  ILayoutWindow* window = Window();
  if (!m_hWnd || !window) return TRUE;
  CRect now = window->GetControlRect(m_hWnd);
  CRect cell = NonNegative(rect);
  if ((m_nMode & LM_FIXED_WIDTH) && !(m_nMode & LM_FILL_WIDTH))
    AlignInCell(&cell.left, &cell.right, now.Width(), m_nMode & LM_ALIGN_HCENTER, LM_ALIGN_RIGHT, LM_ALIGN_HCENTER);
  if ((m_nMode & LM_FIXED_HEIGHT) && !(m_nMode & LM_FILL_HEIGHT))
    AlignInCell(&cell.top, &cell.bottom, now.Height(), m_nMode & LM_ALIGN_VCENTER, LM_ALIGN_BOTTOM, LM_ALIGN_VCENTER);
  DWORD style = m_bCombo ? window->GetControlStyle(m_hWnd) : 0;
  if (m_bCombo && (style & kComboDropDownBit)) cell.bottom = cell.top + now.Height();
  window->MoveControl(m_hWnd, cell);
  int listBottom = 0;
  if (m_bCombo && !(style & kComboDropDownBit) && !(style & kComboNoIntegralHeight) &&
      window->GetComboListBottom(m_hWnd, &listBottom)) {
    cell.bottom = listBottom;
    window->MoveControl(m_hWnd, NonNegative(cell));
  }
  window->RedrawControl(m_hWnd, FALSE);
  return TRUE;
}

// ---------------------------------------------------------------------------------
// Pane sizes

int RDQLayoutPane::PreferredWidth(int size) {
  if (m_nMode & LM_PERCENT_WIDTH) return PercentOf(size, m_nSecondary);
  if (m_nMode & LM_FIXED_WIDTH) return m_nSecondary;
  return 0;
}

int RDQLayoutPane::PreferredHeight(int size) {
  if (m_nMode & LM_PERCENT_HEIGHT) return PercentOf(size, m_nSecondary);
  if (m_nMode & LM_FIXED_HEIGHT) return m_nSecondary;
  return 0;
}

int RDQLayoutPane::PaneMinAlong() {
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  int n = (int)m_children.size();
  if (n == 0) return 2 * m_nBorder;
  int sum = 0;
  for (const RDQLayoutRef& child : m_children) {
    int m = axis.Min(child.Get());
    sum += m > kLeastChildMin ? m : kLeastChildMin;
  }
  return sum + (n - 1) * m_nGap + 2 * m_nBorder;
}

int RDQLayoutPane::PaneMinAcross() {
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  if ((m_nMode & axis.FixedAcrossBit()) && m_nSecondary != 0) return m_nSecondary;
  int largest = 0;
  for (const RDQLayoutRef& child : m_children) {
    int m = axis.MinAcross(child.Get());
    if (m > largest) largest = m;
  }
  return largest + 2 * m_nBorder;
}

int RDQLayoutPane::PaneMaxAlong() {
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  int n = (int)m_children.size();
  if (n == 0) return kLayoutUnbounded;
  int sum = 0;
  for (const RDQLayoutRef& child : m_children) {
    int m = axis.Max(child.Get());
    if (m == kLayoutUnbounded) return kLayoutUnbounded;
    sum += m;
  }
  return sum + (n - 1) * m_nGap + 2 * m_nBorder;
}

int RDQLayoutPane::PaneMaxAcross() {
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  if ((m_nMode & axis.FixedAcrossBit()) && m_nSecondary != 0) return m_nSecondary;
  if (m_children.empty()) return kLayoutUnbounded;
  int largest = 0;
  for (const RDQLayoutRef& child : m_children) {
    int m = axis.MaxAcross(child.Get());
    if (m == kLayoutUnbounded) return kLayoutUnbounded;
    if (m > largest) largest = m;
  }
  return largest + 2 * m_nBorder;
}

int RDQLayoutPane::MinWidth() { return m_nOrientation == LM_HORIZONTAL ? PaneMinAlong() : PaneMinAcross(); }
int RDQLayoutPane::MinHeight() { return m_nOrientation == LM_VERTICAL ? PaneMinAlong() : PaneMinAcross(); }
int RDQLayoutPane::MaxWidth() { return m_nOrientation == LM_HORIZONTAL ? PaneMaxAlong() : PaneMaxAcross(); }
int RDQLayoutPane::MaxHeight() { return m_nOrientation == LM_VERTICAL ? PaneMaxAlong() : PaneMaxAcross(); }

BOOL RDQLayoutPane::PlaceInRect(const CRect& rect) { return PlaceChildren(rect); }

// ---------------------------------------------------------------------------------
// Pane placement
//
// A pane splits its extent along its direction among its children; across, every
// child gets the whole pane less the border. The split runs in passes over one slot
// per child (size, minimum, maximum, and whether the child is held at a bound):
//
//   avail = extent - gaps - 2 * border
//   1. Fixed pass: fixed children take their own size out of avail.
//   2. Percent pass: each percent child wants its percentage of what the fixed pass
//      left (P). A want below the minimum is held at the minimum and the difference
//      is a deficit D the others must give up; a want above the maximum is held at
//      the maximum and the difference is a (negative) deficit. The free percent
//      children then give up D in sweeps, in proportion to their sizes.
//   3. Greedy pass: the children that are neither fixed nor percent split what is
//      left evenly (the last takes the odd pixels), held at their bounds as above,
//      and give up D in sweeps among themselves. A negative D makes the shares
//      negative: the free children grow into the space a held child left.
//   4. Space still left by children held at their maximum goes to the greedy
//      children held at their minimum, in order, each up to its maximum.
//   5. Leftover: what avail still holds goes to the fill children (fixed and
//      LM_FILL in this direction), split evenly, the last taking the rest.
//   6. Placement: cells one after the other, gap apart, from the border on.
//
// Sweeps: each free child with a positive size gives up D x size / W (W the sizes of
// the free children); a remainder of 5 pixels or less, or a share that rounds to 0, is
// given up whole by the next child. A child that would fall below its minimum is held
// there and gives up only what it has above it. Sweeps end when D is gone, when no
// child is free, or when a sweep changed nothing. Only minima are checked.

namespace {

enum class Hold { kFree, kAtMin, kAtMax };

struct Slot {
  RDQLayoutNode* pNode = nullptr;
  int nSize = 0;                // along, pixels
  int nMin = 0;                 // the child's minimum along
  int nMax = kLayoutUnbounded;  // the child's maximum along, -1 unbounded
  Hold hold = Hold::kFree;      // held at a bound by a pass
};

// Holds a slot whose want lies outside its bounds; returns what that adds to the
// deficit (positive below the minimum, negative above the maximum), 0 when free.
int HoldOrTake(Slot& s, int want) {
  if (want < s.nMin) {
    s.nSize = s.nMin;
    s.hold = Hold::kAtMin;
    return s.nMin - want;
  }
  if (s.nMax == kLayoutUnbounded || want <= s.nMax) {
    s.nSize = want;
    return 0;
  }
  s.nSize = s.nMax;
  s.hold = Hold::kAtMax;
  return s.nMax - want;
}

// Sweeps: the free members give up `deficit` in proportion to their sizes. Returns
// what they could not give.
int SweepDeficit(std::vector<Slot>& slots, const std::vector<int>& members, int deficit) {
  while (deficit != 0) {
    long long weight = 0;
    for (int i : members)
      if (slots[i].hold == Hold::kFree && slots[i].nSize > 0) weight += slots[i].nSize;
    if (weight <= 0) break;
    int taken = 0;
    bool changed = false;
    for (int i : members) {
      Slot& s = slots[i];
      int rest = deficit - taken;
      if (rest == 0) break;
      if (s.hold != Hold::kFree || s.nSize <= 0) continue;
      int share = (int)((long long)deficit * s.nSize / weight);
      bool whole = std::abs(rest) <= kWholeRemainder || share == 0 || std::abs(share) > std::abs(rest);
      if (whole) share = rest;
      if (s.nSize - share < s.nMin) {
        taken += s.nSize - s.nMin;
        s.nSize = s.nMin;
        s.hold = Hold::kAtMin;
        changed = true;
        continue;
      }
      s.nSize -= share;
      taken += share;
      changed = changed || share != 0;
      if (whole) break;
    }
    deficit -= taken;
    if (!changed) break;
  }
  return deficit;
}

}  // namespace

BOOL RDQLayoutPane::PlaceChildren(const CRect& rect) {
  int n = (int)m_children.size();
  if (n == 0) return TRUE;
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  int extent = axis.bHorizontal ? rect.Width() : rect.Height();
  int avail = extent - (n - 1) * m_nGap - 2 * m_nBorder;
  CRect across = rect;
  if (axis.bHorizontal)
    across.DeflateRect(0, m_nBorder);
  else
    across.DeflateRect(m_nBorder, 0);
  across = NonNegative(across);

  std::vector<Slot> slots((size_t)n);
  std::vector<int> percent, greedy;

  // Fixed pass.
  for (int i = 0; i < n; ++i) {
    Slot& s = slots[(size_t)i];
    s.pNode = m_children[(size_t)i].Get();
    s.nMin = axis.Min(s.pNode);
    s.nMax = axis.Max(s.pNode);
    if (s.pNode->m_nMode & axis.FixedBit()) {
      s.nSize = axis.Preferred(s.pNode, 0);
      avail -= s.nSize;
    } else if (s.pNode->m_nMode & axis.PercentBit()) {
      percent.push_back(i);
    } else {
      greedy.push_back(i);
    }
  }
  if (avail < 1) avail = 0;

  // Percent pass.
  int deficit = 0;
  if (!percent.empty()) {
    int offered = avail;  // P
    int slack = 0;        // S: what the free percent children have above their minima
    for (int i : percent) {
      Slot& s = slots[(size_t)i];
      int want = axis.Preferred(s.pNode, offered);
      avail -= want;
      int d = HoldOrTake(s, want);
      deficit += d;
      if (s.hold == Hold::kFree) slack += want - s.nMin;
    }
    if (slack < deficit && deficit - slack <= avail) {
      avail -= deficit - slack;
      deficit = slack;
    }
    deficit = SweepDeficit(slots, percent, deficit);
  }

  // Greedy pass.
  if (!greedy.empty()) {
    int toCome = (int)greedy.size();
    for (int i : greedy) {
      int share = toCome == 1 ? avail : avail / toCome;
      --toCome;
      deficit += HoldOrTake(slots[(size_t)i], share);
      avail -= share;
    }
    deficit = SweepDeficit(slots, greedy, deficit);
  }

  // Space left by children held at their maximum.
  for (int i : greedy) {
    if (deficit >= 0) break;
    Slot& s = slots[(size_t)i];
    if (s.hold != Hold::kAtMin) continue;
    int take = -deficit;
    if (s.nMax != kLayoutUnbounded && take > s.nMax - s.nMin) take = s.nMax - s.nMin;
    s.nSize += take;
    deficit += take;
  }

  // Leftover.
  if (avail > 0) {
    std::vector<int> fill;
    for (int i = 0; i < n; ++i) {
      UINT mode = slots[(size_t)i].pNode->m_nMode;
      if ((mode & axis.FixedBit()) && (mode & axis.FillBit())) fill.push_back(i);
    }
    int toCome = (int)fill.size();
    for (int i : fill) {
      int share = toCome == 1 ? avail : avail / toCome;
      --toCome;
      slots[(size_t)i].nSize += share;
      avail -= share;
    }
  }

  // Placement.
  int pos = (axis.bHorizontal ? rect.left : rect.top) + m_nBorder;
  for (const Slot& s : slots) {
    int size = s.nSize > 0 ? s.nSize : 0;
    CRect cell = across;
    if (axis.bHorizontal) {
      cell.left = pos;
      cell.right = pos + size;
    } else {
      cell.top = pos;
      cell.bottom = pos + size;
    }
    s.pNode->PlaceInRect(cell);
    pos += size + m_nGap;
  }
  return TRUE;
}

// ---------------------------------------------------------------------------------
// Building

void RDQLayoutPane::AppendNode(const RDQLayoutRef& child) {
  if (child != nullptr) m_children.push_back(child);
}

void RDQLayoutPane::AppendPane(const RDQLayoutRef& child, UINT mode, int size) {
  RDQLayoutPane* pane = child.Pane();
  if (!pane) {
    AppendNode(child);
    return;
  }
  if (pane->m_nOrientation == m_nOrientation) {
    // Two panes of one direction in a row are one pane; a wrapper of the other
    // direction keeps the child's own split.
    RDQLayoutPane* wrapper = new RDQLayoutPane;
    wrapper->m_pMgr = m_pMgr;
    wrapper->m_nOrientation = m_nOrientation == LM_HORIZONTAL ? LM_VERTICAL : LM_HORIZONTAL;
    RDQLayoutRef ref(wrapper);
    wrapper->AppendNode(child);
    AppendPane(ref, mode, size);
    return;
  }
  Axis axis{m_nOrientation == LM_HORIZONTAL};
  pane->m_nMode = mode;
  if (mode & axis.FixedBit()) {
    if (size == 0) pane->m_nSecondary = axis.Min(pane);
  } else if (mode & axis.PercentBit()) {
    pane->m_nSecondary = size;
  }
  AppendNode(child);
}

// ---------------------------------------------------------------------------------
// Tab pane

CSize RDQLayoutTabPane::TabExtra() {
  ILayoutWindow* window = Window();
  CRect r(0, 0, 0, 0);
  if (window && m_hTabCtrl) window->AdjustTabRect(m_hTabCtrl, TRUE, &r);
  return r.Size();
}

// A fixed width is the tabs' frame plus the pane's own width, as for the height (the
// frame alone would leave no room for the pages).
int RDQLayoutTabPane::PreferredWidth(int size) {
  CSize extra = TabExtra();
  if (m_nMode & LM_FIXED_WIDTH) return extra.cx + m_nSecondary;
  return extra.cx > size ? extra.cx : RDQLayoutPane::PreferredWidth(size);
}

int RDQLayoutTabPane::PreferredHeight(int size) {
  CSize extra = TabExtra();
  if (m_nMode & LM_FIXED_HEIGHT) return extra.cy + m_nSecondary;
  return extra.cy > size ? extra.cy : RDQLayoutPane::PreferredHeight(size);
}

int RDQLayoutTabPane::MinWidth() { return TabExtra().cx + RDQLayoutPane::MinWidth(); }
int RDQLayoutTabPane::MinHeight() { return TabExtra().cy + RDQLayoutPane::MinHeight(); }

int RDQLayoutTabPane::MaxWidth() {
  int m = RDQLayoutPane::MaxWidth();
  return m == kLayoutUnbounded ? m : m + TabExtra().cx;
}

int RDQLayoutTabPane::MaxHeight() {
  int m = RDQLayoutPane::MaxHeight();
  return m == kLayoutUnbounded ? m : m + TabExtra().cy;
}

BOOL RDQLayoutTabPane::PlaceInRect(const CRect& rect) {
  ILayoutWindow* window = Window();
  CRect display = NonNegative(rect);
  if (window && m_hTabCtrl) {
    window->MoveControl(m_hTabCtrl, display);
    window->AdjustTabRect(m_hTabCtrl, FALSE, &display);
  }
  return PlaceChildren(NonNegative(display));
}

// ---------------------------------------------------------------------------------
// Framed pane

int RDQLayoutCtrlPane::MinHeight() { return RDQLayoutPane::MinHeight() + m_nTopExtra; }

int RDQLayoutCtrlPane::MaxHeight() {
  int m = RDQLayoutPane::MaxHeight();
  return m == kLayoutUnbounded ? m : m + m_nTopExtra;
}

BOOL RDQLayoutCtrlPane::PlaceInRect(const CRect& rect) {
  ILayoutWindow* window = Window();
  CRect inside = NonNegative(rect);
  if (window && m_hWndFrame) {
    window->MoveControl(m_hWndFrame, inside);
    window->RedrawControl(m_hWndFrame, TRUE);
  }
  inside.top += m_nTopExtra;
  return PlaceChildren(NonNegative(inside));
}

// ---------------------------------------------------------------------------------
// References

RDQLayoutRef::RDQLayoutRef(RDQLayoutNode* node) {
  if (node) m_pHolder = new Holder{node, {1}};
}

RDQLayoutRef::RDQLayoutRef(const RDQLayoutRef& other) : m_pHolder(other.m_pHolder) {
  if (m_pHolder) m_pHolder->nCount.fetch_add(1);
}

RDQLayoutRef& RDQLayoutRef::operator=(const RDQLayoutRef& other) {
  Holder* next = other.m_pHolder;  // counted before the release: self-assignment is safe
  if (next) next->nCount.fetch_add(1);
  Release();
  m_pHolder = next;
  return *this;
}

RDQLayoutRef::~RDQLayoutRef() { Release(); }

void RDQLayoutRef::Release() {
  Holder* h = m_pHolder;
  m_pHolder = nullptr;
  if (h && h->nCount.fetch_sub(1) - 1 <= 0) {
    delete h->pNode;
    delete h;
  }
}

RDQLayoutPane* RDQLayoutRef::Pane() const { return dynamic_cast<RDQLayoutPane*>(Get()); }

RDQLayoutRef& RDQLayoutRef::operator<<(const RDQLayoutRef& child) {
  RDQLayoutPane* pane = Pane();
  if (!pane || child == nullptr) return *this;
  if (RDQLayoutPane* childPane = child.Pane())
    pane->AppendPane(child, childPane->m_nMode, childPane->m_nSecondary);
  else
    pane->AppendNode(child);
  return *this;
}
