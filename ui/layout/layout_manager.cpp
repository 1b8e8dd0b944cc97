#include "ui/layout/layout_manager.h"

#include <algorithm>

RDQLayoutManager::RDQLayoutManager(ILayoutWindow* window) : m_pWindow(window) {}

RDQLayoutManager::~RDQLayoutManager() = default;

CRect RDQLayoutManager::GetLayoutRect() { return m_pWindow->GetClientRect(); }

void RDQLayoutManager::ReplaceRoot(const RDQLayoutRef& root) {
  m_root = root;
  Relayout();
}

BOOL RDQLayoutManager::GetTrackingSizes(CSize allowance, CSize* minTrack, CSize* maxTrack) {
  RDQLayoutNode* root = m_root.Get();
  if (!root) return FALSE;
  CSize extra(allowance.cx + 2 * m_sizeMargin.cx, allowance.cy + 2 * m_sizeMargin.cy);
  *minTrack = CSize(root->MinWidth() + extra.cx, root->MinHeight() + extra.cy);
  int maxWidth = root->MaxWidth(), maxHeight = root->MaxHeight();
  maxTrack->cx = maxWidth == kLayoutUnbounded ? kLayoutUnbounded : std::max<int>(minTrack->cx, maxWidth + extra.cx);
  maxTrack->cy = maxHeight == kLayoutUnbounded ? kLayoutUnbounded : std::max<int>(minTrack->cy, maxHeight + extra.cy);
  return TRUE;
}

namespace {
int Clamp(int value, int lo, int hi) {
  if (hi != kLayoutUnbounded && value > hi) value = hi;
  return value < lo ? lo : value;
}
}  // namespace

void RDQLayoutManager::Relayout() {
  if (m_root == nullptr) return;
  CRect layout = GetLayoutRect();
  // A top-level dialog is held within the tree's bounds. A window without a client
  // area (minimised, not shown yet) has no frame allowance to measure.
  if (m_pWindow->IsTopLevelDialog() && layout.Width() > 0 && layout.Height() > 0) {
    CRect window = m_pWindow->GetWindowRect();
    CSize minTrack, maxTrack;
    GetTrackingSizes(CSize(window.Width() - layout.Width(), window.Height() - layout.Height()), &minTrack, &maxTrack);
    int width = Clamp(window.Width(), minTrack.cx, maxTrack.cx);
    int height = Clamp(window.Height(), minTrack.cy, maxTrack.cy);
    if (width != window.Width() || height != window.Height()) {
      m_pWindow->MoveWindowTo(CRect(window.left, window.top, window.left + width, window.top + height));
      layout = GetLayoutRect();
    }
  }
  layout.DeflateRect(m_sizeMargin.cx, m_sizeMargin.cy);
  LayoutRootInRect(layout);
  m_pWindow->AfterLayout();
}

// A rectangle without area (a minimised window, a margin larger than the client
// area) places nothing: no cell is cut from it.
BOOL RDQLayoutManager::LayoutRootInRect(const CRect& rect) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return FALSE;
  RDQLayoutNode* root = m_root.Get();
  return root ? root->PlaceInRect(rect) : FALSE;
}

// ---------------------------------------------------------------------------------
// Building

namespace {
template <class T>
T* NewNode(RDQLayoutManager* mgr, UINT mode) {
  T* node = new T;
  node->m_pMgr = mgr;
  node->m_nMode = mode;
  return node;
}

void SetPane(RDQLayoutPane* pane, int orientation, int gap, int border, int secondary) {
  pane->m_nOrientation = orientation;
  pane->m_nGap = gap;
  pane->m_nBorder = border;
  pane->m_nSecondary = secondary;
}
}  // namespace

RDQLayoutRef RDQLayoutManager::NewRootPane(int orientation, int gap, int border) {
  RDQLayoutPane* pane = NewNode<RDQLayoutPane>(this, 0);
  SetPane(pane, orientation, gap, border, 0);
  m_root = RDQLayoutRef(pane);
  return m_root;
}

RDQLayoutRef RDQLayoutManager::CreatePane(int orientation, UINT mode, int gap, int border, int secondary) {
  RDQLayoutPane* pane = NewNode<RDQLayoutPane>(this, mode);
  SetPane(pane, orientation, gap, border, secondary);
  return RDQLayoutRef(pane);
}

RDQLayoutRef RDQLayoutManager::CreateTabPane(HWND tab, int orientation, UINT mode, int gap, int border, int secondary) {
  RDQLayoutTabPane* pane = NewNode<RDQLayoutTabPane>(this, mode);
  SetPane(pane, orientation, gap, border, secondary);
  pane->m_hTabCtrl = tab;
  return RDQLayoutRef(pane);
}

RDQLayoutRef RDQLayoutManager::CreateCtrlPane(UINT frameId, int orientation, UINT mode, int gap, int border,
                                              int topExtra, int secondary) {
  RDQLayoutCtrlPane* pane = NewNode<RDQLayoutCtrlPane>(this, mode);
  SetPane(pane, orientation, gap, border, secondary);
  pane->m_hWndFrame = m_pWindow->FindControl(frameId);
  pane->m_nTopExtra = topExtra;
  return RDQLayoutRef(pane);
}

RDQLayoutRef RDQLayoutManager::CreateItem(UINT id, UINT mode, int width, int height, int minWidth, int minHeight) {
  RDQLayoutItem* item = NewNode<RDQLayoutItem>(this, mode);
  item->m_hWnd = m_pWindow->FindControl(id);
  if (item->m_hWnd) {
    CRect now = m_pWindow->GetControlRect(item->m_hWnd);
    if (width == 0) width = now.Width();
    if (height == 0) height = now.Height();
    if (minWidth == -1) minWidth = now.Width();
    if (minHeight == -1) minHeight = now.Height();
    item->m_bCombo = m_pWindow->IsComboControl(item->m_hWnd) ? 1 : 0;
  }
  item->m_nWidth = width;
  item->m_nHeight = height;
  item->m_nMinWidth = minWidth;
  item->m_nMinHeight = minHeight;
  return RDQLayoutRef(item);
}

RDQLayoutRef RDQLayoutManager::CreateGrowingSpacer(int orientation) {
  // Fixed across (at 0), greedy along the pane that holds it.
  RDQLayoutItem* item = NewNode<RDQLayoutItem>(this, orientation == LM_VERTICAL ? LM_FIXED_WIDTH : LM_FIXED_HEIGHT);
  item->m_nMinWidth = 3;
  item->m_nMinHeight = 3;
  return RDQLayoutRef(item);
}
