#include "ui/xlist_ctrl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/mbcs.h"
#include "ui/check_mark.h"
#include "ui/xcombo.h"
#include "ui/xedit.h"

const UINT WM_XLISTCTRL_COMBO_SELECTION = ::RegisterWindowMessageA("WM_XLISTCTRL_COMBO_SELECTION");
const UINT WM_XLISTCTRL_EDIT_END = ::RegisterWindowMessageA("WM_XLISTCTRL_EDIT_END");
const UINT WM_XLISTCTRL_CHECKBOX_CLICKED = ::RegisterWindowMessageA("WM_XLISTCTRL_CHECKBOX_CLICKED");

namespace {

constexpr COLORREF kProgressField = RGB(0xE0, 0xE0, 0xE0);  // the bar's empty part
constexpr int kCheckInset = 9;                              // a check box's left edge from the cell's
constexpr int kCheckTextGap = 4;                            // text starts this far right of the box
constexpr int kMinEditorWidth = 5;                          // a column narrower than this opens no editor
constexpr int kNoRowsGap = 10;                              // below the header, the empty list is painted from here
constexpr int kToolIdRowFactor = 1000;                      // tool id = row x 1000 + column + 1
constexpr int kTipChars = 80;                               // the notification's own text buffer

CPoint PointOf(LPARAM lParam) { return CPoint((short)LOWORD(lParam), (short)HIWORD(lParam)); }

// Conversion of at most one integer argument: %[-+ #0]*[0-9]*(.[0-9]*)?[diuxXo].
bool IsSafePercentFormat(const char* f) {
  int conversions = 0;
  for (const char* p = f; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && strchr("-+ #0", *p)) ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    if (!*p || !strchr("diuxXo", *p)) return false;
    if (++conversions > 1) return false;
  }
  return true;
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
CString FormatProgressText(LPCTSTR format, int percent) {
  const char* f = format && *format && IsSafePercentFormat(format) ? format : "%d%%";
  char text[256];
  snprintf(text, sizeof text, f, percent);
  return CString(text);
}
#pragma GCC diagnostic pop

XListCell::XListCell() : crText(::GetSysColor(COLOR_WINDOWTEXT)), crBackground(::GetSysColor(COLOR_WINDOW)) {}

// ---------------------------------------------------------------------------------
// Construction and attachment

CXListCtrl::CXListCtrl() { ReadSysColors(); }

CXListCtrl::~CXListCtrl() {
  delete m_st.m_pCombo;
  delete m_st.m_pEdit;
}

void CXListCtrl::ReadSysColors() {
  m_st.m_crWindow = ::GetSysColor(COLOR_WINDOW);
  m_st.m_crWindowText = ::GetSysColor(COLOR_WINDOWTEXT);
  m_st.m_crHighLight = ::GetSysColor(COLOR_HIGHLIGHT);
  m_st.m_crHighLightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  m_st.m_crBtnFace = ::GetSysColor(COLOR_BTNFACE);
  m_st.m_crBtnShadow = ::GetSysColor(COLOR_BTNSHADOW);
}

void CXListCtrl::PreSubclassWindow() {
  CListCtrl::PreSubclassWindow();
  AttachHeader();
}

void CXListCtrl::AttachHeader() {
  if (m_st.m_bHeaderIsSubclassed) return;
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  if (!header || !m_HeaderCtrl.SubclassWindow(header)) return;
  m_HeaderCtrl.SetListCtrl(this);
  m_st.m_bHeaderIsSubclassed = TRUE;
}

int CXListCtrl::GetColumnCount() const {
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  return header ? (int)::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0;
}

// ---------------------------------------------------------------------------------
// Window procedure

LRESULT CXListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  XListState& st = m_st;
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) st.m_tips.RelayMouse(message, wParam, lParam);
  // The editors' registered messages (numbers known only at run time).
  if (message == WM_XCOMBOLIST_VK_ESCAPE) return OnComboEscape();
  if (message == WM_XCOMBOLIST_COMPLETE) return OnComboComplete();
  if (message == WM_XEDIT_KILL_FOCUS) return OnEditKillFocus();
  if (message == WM_XEDIT_VK_ESCAPE) return OnEditEscape();
  switch (message) {
    case WM_CREATE: {
      LRESULT r = DefWindowProc(message, wParam, lParam);
      if (r != -1) AttachHeader();
      return r;
    }
    case WM_DESTROY:
      UnlockUpdates();
      st.m_tips.Enable(this, this, FALSE);
      FreeAllRows();
      st.m_bHeaderIsSubclassed = FALSE;
      break;
    case WM_LBUTTONDOWN: OnLButtonDown(wParam, lParam); return 0;
    case WM_NCLBUTTONDOWN:
      if (st.m_pEdit) OnEditKillFocus();
      break;
    case WM_KEYDOWN: OnKeyDown(wParam, lParam); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd((HDC)wParam);
    case WM_PAINT: OnPaintMessage(wParam); return 0;
    case WM_TIMER:
      if (lParam != 0 || wParam < kXListUnlockTimer || wParam > kXListComboCompleteTimer) break;
      OnTimer(wParam);
      return 0;
    case WM_SYSCOLORCHANGE:
      DefWindowProc(message, wParam, lParam);
      ReadSysColors();
      return 0;
    case WM_NOTIFY: {
      NMHDR* nm = (NMHDR*)lParam;
      LRESULT r = 0;
      if ((nm->code == TTN_NEEDTEXTA || nm->code == TTN_NEEDTEXTW) && OnToolTipText(0, nm, &r)) return r;
      break;
    }
    case LVM_DELETEITEM: FreeRow((int)wParam); break;
    case LVM_DELETEALLITEMS: FreeAllRows(); break;
    default: break;
  }
  return CListCtrl::WindowProc(message, wParam, lParam);
}

BOOL CXListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_NOTIFY) return CListCtrl::OnChildNotify(message, wParam, lParam, result);
  NMHDR* nm = (NMHDR*)lParam;
  switch (nm->code) {
    case NM_CUSTOMDRAW: OnCustomDraw((NMLVCUSTOMDRAW*)nm, result); return TRUE;
    case LVN_COLUMNCLICK: OnColumnClick((const NMLISTVIEW*)nm); return FALSE;  // the parent sees it too
    case NM_CLICK: return FALSE;
    default: return CListCtrl::OnChildNotify(message, wParam, lParam, result);
  }
}

// ---------------------------------------------------------------------------------
// Rows and cells

XListRow* CXListCtrl::RowOf(int row) const {
  if (!m_hWnd || row < 0 || row >= GetItemCount()) return nullptr;
  return (XListRow*)CListCtrl::GetItemData(row);
}

// Both counts: a column inserted after the row has no cell in it.
XListCell* CXListCtrl::CellAt(int row, int col) const {
  XListRow* cells = RowOf(row);
  if (!cells || col < 0 || col >= GetColumnCount() || col >= (int)cells->cells.size()) return nullptr;
  return &cells->cells[(size_t)col];
}

void CXListCtrl::FreeRow(int row) {
  XListRow* cells = RowOf(row);
  if (!cells) return;
  CListCtrl::SetItemData(row, 0);
  delete cells;
}

void CXListCtrl::FreeAllRows() {
  for (int row = 0, n = m_hWnd ? GetItemCount() : 0; row < n; ++row) FreeRow(row);
}

int CXListCtrl::InsertItem(const LVITEMA* item, COLORREF crText, COLORREF crBackground) {
  if (!item || item->iItem < 0) return -1;
  LVITEMA copy = *item;
  copy.mask |= LVIF_PARAM;
  copy.lParam = 0;
  int row = CListCtrl::InsertItem(&copy);
  if (row < 0) return -1;
  XListRow* cells = new (std::nothrow) XListRow(GetColumnCount());
  if (!cells) return -1;  // the row stays, without cells
  if (!cells->cells.empty()) {
    XListCell& first = cells->cells[0];
    first.crText = OrDefault(crText, m_st.m_crWindowText);
    first.crBackground = OrDefault(crBackground, m_st.m_crWindow);
    if (item->mask & LVIF_IMAGE) first.nImage = item->iImage;
    if (item->mask & LVIF_PARAM) first.dwItemData = (DWORD_PTR)item->lParam;
  }
  CListCtrl::SetItemData(row, (DWORD_PTR)cells);
  return row;
}

int CXListCtrl::InsertItem(int row, LPCTSTR text, COLORREF crText, COLORREF crBackground) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<LPSTR>(text ? text : "");
  return InsertItem(&item, crText, crBackground);
}

// The caller's LVIF_PARAM goes to the row's data word: the list view's own word holds
// the cells.
int CXListCtrl::SetItem(const LVITEMA* item, COLORREF crText, COLORREF crBackground) {
  if (!item) return 0;
  if (item->iItem < 0) return -1;
  LVITEMA copy = *item;
  copy.mask &= ~LVIF_PARAM;
  if (copy.mask && !CListCtrl::SetItem(&copy)) return 0;
  if (XListCell* cell = CellAt(item->iItem, item->iSubItem)) {
    if (item->mask & LVIF_IMAGE) cell->nImage = item->iImage;
    cell->crText = OrDefault(crText, m_st.m_crWindowText);
    cell->crBackground = OrDefault(crBackground, m_st.m_crWindow);
  }
  if (item->mask & LVIF_PARAM) SetItemData(item->iItem, (DWORD_PTR)item->lParam);
  RedrawCell(item->iItem, item->iSubItem);
  return 1;
}

BOOL CXListCtrl::SetItemText(int row, int col, LPCTSTR text) {
  if (!CellAt(row, col)) return FALSE;
  BOOL ok = CListCtrl::SetItemText(row, col, text);
  RedrawCell(row, col);
  return ok;
}

BOOL CXListCtrl::SetItemText(int row, int col, LPCTSTR text, COLORREF crText, COLORREF crBackground) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return FALSE;
  BOOL ok = text ? CListCtrl::SetItemText(row, col, text) : TRUE;
  cell->crText = OrDefault(crText, m_st.m_crWindowText);
  cell->crBackground = OrDefault(crBackground, m_st.m_crWindow);
  RedrawCell(row, col);
  return ok;
}

CString CXListCtrl::GetItemText(int row, int col) const {
  if (row < 0 || row >= GetItemCount() || col < 0 || col >= GetColumnCount()) return CString();
  return CListCtrl::GetItemText(row, col);
}

BOOL CXListCtrl::DeleteItem(int row) {
  if (row < 0 || row >= GetItemCount()) return FALSE;
  return CListCtrl::DeleteItem(row);  // LVM_DELETEITEM frees the cells
}

void CXListCtrl::DeleteAllItems() { CListCtrl::DeleteAllItems(); }

DWORD_PTR CXListCtrl::GetItemData(int row) const {
  XListRow* cells = RowOf(row);
  return cells && !cells->cells.empty() ? cells->cells[0].dwItemData : 0;
}

BOOL CXListCtrl::SetItemData(int row, DWORD_PTR data) {
  XListRow* cells = RowOf(row);
  if (!cells || cells->cells.empty()) return FALSE;
  cells->cells[0].dwItemData = data;
  return TRUE;
}

void CXListCtrl::RedrawCell(int row, int col) {
  CRect rc;
  if (!m_hWnd || !GetCellRect(row, col, rc)) return;
  rc.InflateRect(2, 2);
  InvalidateRect(&rc);
  UpdateWindow();
}

void CXListCtrl::SendToParent(UINT message, int row, int col) {
  HWND target = ::GetParent(m_hWnd);
  if (!target) target = ::GetWindow(m_hWnd, GW_OWNER);
  if (target && ::IsWindow(target)) ::SendMessageA(target, message, (WPARAM)row, (LPARAM)col);
}

BOOL CXListCtrl::GetCellRect(int row, int col, CRect& rect) const {
  if (row < 0 || row >= GetItemCount() || col < 0 || col >= GetColumnCount()) return FALSE;
  if (!GetSubItemRect(row, col, LVIR_BOUNDS, rect)) return FALSE;
  if (col != 0) return TRUE;
  // The first column's bounds span the row: it ends where the next visible one starts.
  int columns = GetColumnCount(), next = columns > 1 ? 1 : -1;
  for (int c = 1; c < columns; ++c) {
    if (GetColumnWidth(c) > 0) {
      next = c;
      break;
    }
  }
  CRect nextRect;
  if (next > 0 && GetSubItemRect(row, next, LVIR_BOUNDS, nextRect)) rect.right = nextRect.left;
  return TRUE;
}

BOOL CXListCtrl::SetCellEditable(int row, int col) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return FALSE;
  cell->bEdit = TRUE;
  return TRUE;
}

BOOL CXListCtrl::SetCellCombo(int row, int col, BOOL enable, CStringArray* strings, int dropLines, int initialIndex,
                              BOOL sort) {
  XListCell* cell = CellAt(row, col);
  if (!cell || !strings) return FALSE;
  if (initialIndex < 0 || initialIndex >= strings->GetSize()) initialIndex = 0;
  cell->bCombo = enable;
  if (enable) {
    if (sort)
      std::stable_sort(strings->begin(), strings->end(),
                       [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; });
    cell->pStrings = strings;
    cell->nComboListHeight = dropLines;
    cell->nInitialComboSel = initialIndex;
    cell->bSort = sort;
    if (initialIndex < strings->GetSize()) CListCtrl::SetItemText(row, col, strings->GetAt(initialIndex));
  }
  RedrawCell(row, col);
  return TRUE;
}

int CXListCtrl::HeaderImage(int col) const {
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  HDITEMA item = {};
  item.mask = HDI_IMAGE;
  if (!header || !::SendMessageA(header, HDM_GETITEMA, (WPARAM)col, (LPARAM)&item)) return 0;
  return item.iImage;
}

void CXListCtrl::SetHeaderImage(int col, int image) {
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  HDITEMA item = {};
  item.mask = HDI_IMAGE;
  item.iImage = image;
  if (!header) return;
  ::SendMessageA(header, HDM_SETITEMA, (WPARAM)col, (LPARAM)&item);
  ::InvalidateRect(header, nullptr, TRUE);
}

// A column with a header box shows it ticked exactly when every row's cell is checked.
void CXListCtrl::UpdateHeaderCheck(int col) {
  int image = HeaderImage(col);
  if (image != 1 && image != 2) return;
  int rows = GetItemCount(), checked = 0;
  for (int row = 0; row < rows; ++row) {
    const XListCell* cell = CellAt(row, col);
    if (cell && cell->nCheckedState == 1) ++checked;
  }
  int wanted = rows > 0 && checked == rows ? 2 : 1;
  if (wanted != image) SetHeaderImage(col, wanted);
}

BOOL CXListCtrl::SetCellCheck(int row, int col, int state) {
  XListCell* cell = CellAt(row, col);
  if (!cell || state < -1 || state > 1) return FALSE;
  cell->nCheckedState = state;
  RedrawCell(row, col);
  UpdateHeaderCheck(col);
  return TRUE;
}

int CXListCtrl::GetCellCheck(int row, int col) const {
  const XListCell* cell = CellAt(row, col);
  return cell ? cell->nCheckedState : -1;
}

BOOL CXListCtrl::SetCellProgress(int row, int col, BOOL showText, LPCTSTR format) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return FALSE;
  cell->bShowProgress = TRUE;
  cell->nProgressPercent = 0;
  cell->bShowProgressMessage = showText;
  cell->strProgressText = format ? format : "";
  RedrawCell(row, col);
  return TRUE;
}

void CXListCtrl::ClearCellProgress(int row, int col) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return;
  cell->bShowProgress = FALSE;
  cell->nProgressPercent = 0;
  RedrawCell(row, col);
}

BOOL CXListCtrl::HasCellProgress(int row, int col) const {
  const XListCell* cell = CellAt(row, col);
  return cell ? cell->bShowProgress : FALSE;
}

void CXListCtrl::SetCellPercent(int row, int col, int percent) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return;
  cell->nProgressPercent = percent;
  RedrawCell(row, col);
}

BOOL CXListCtrl::IsCellModified(int row, int col) const {
  const XListCell* cell = CellAt(row, col);
  return cell ? cell->bModified : FALSE;
}

void CXListCtrl::SetAllCellsModified(BOOL modified) {
  if (GetItemCount() == 0 || GetColumnCount() == 0) return;
  for (int row = 0, n = GetItemCount(); row < n; ++row)
    if (XListRow* cells = RowOf(row))
      for (XListCell& cell : cells->cells) cell.bModified = modified;
}

BOOL CXListCtrl::GetCellColors(int row, int col, COLORREF& crText, COLORREF& crBackground) const {
  const XListCell* cell = CellAt(row, col);
  crText = cell ? cell->crText : 0;
  crBackground = cell ? cell->crBackground : 0;
  return cell != nullptr;
}

BOOL CXListCtrl::SetCellTip(int row, int col, LPCTSTR text) {
  XListCell* cell = CellAt(row, col);
  if (!cell) return FALSE;
  cell->strToolTip = text ? text : "";
  return TRUE;
}

BOOL CXListCtrl::SelectRow(int row, BOOL ensureVisible) {
  BOOL ok = SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  if (ensureVisible) EnsureVisible(row, FALSE);
  return ok;
}

// ---------------------------------------------------------------------------------
// Drawing
//
// Every cell is drawn by the list at the sub-item stage of the custom draw, with its
// own background fill, so the rows need no erasing: only the areas outside them are
// erased. A progress cell is a bar, a cell with a check state a check box, any other
// cell its image and text.

void CXListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* cd, LRESULT* result) {
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: *result = CDRF_NOTIFYITEMDRAW; return;
    case CDDS_ITEMPREPAINT: *result = CDRF_NOTIFYSUBITEMDRAW; return;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: break;
    default: *result = CDRF_DODEFAULT; return;
  }
  int row = (int)cd->nmcd.dwItemSpec, col = cd->iSubItem;
  const XListCell* cell = CellAt(row, col);
  cd->clrText = cell ? cell->crText : m_st.m_crWindowText;
  cd->clrTextBk = cell ? cell->crBackground : m_st.m_crWindow;
  CRect rect;
  *result = CDRF_SKIPDEFAULT;
  if (!GetCellRect(row, col, rect)) return;
  CDC* dc = CDC::FromHandle(cd->nmcd.hdc);
  CString text = GetItemText(row, col);
  COLORREF fore, back;
  ChooseColors(row, col, fore, back);
  if (cell && cell->bShowProgress)
    DrawProgress(dc, rect, *cell);
  else if (cell && cell->nCheckedState != -1)
    DrawCheckCell(dc, rect, *cell, text, fore, back);
  else
    DrawImageText(dc, rect, col, cell, text, fore, back);
}

void CXListCtrl::ChooseColors(int row, int col, COLORREF& text, COLORREF& back) const {
  const XListCell* cell = CellAt(row, col);
  text = cell ? cell->crText : m_st.m_crWindowText;
  back = cell ? cell->crBackground : m_st.m_crWindow;
  BOOL selected = (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  if (!selected || !((GetExtendedStyle() & LVS_EX_FULLROWSELECT) || col == 0)) return;
  if (::GetFocus() == m_hWnd) {
    text = m_st.m_crHighLightText;
    back = m_st.m_crHighLight;
  } else if (GetStyle() & LVS_SHOWSELALWAYS) {
    text = m_st.m_crWindowText;
    back = m_st.m_crBtnFace;
  }
}

// A grey field in a sunken frame, filled from the left in the highlight colour. The
// stored percent is drawn as given, but the bar stays inside its frame (a value above
// 100 would otherwise paint over the next cells). The text changes colour exactly at
// the bar's edge: drawn twice, each time clipped to one side.
void CXListCtrl::DrawProgress(CDC* dc, CRect rect, const XListCell& cell) {
  rect.left += 1;
  rect.bottom -= 1;
  dc->FillSolidRect(&rect, kProgressField);
  dc->Draw3dRect(&rect, RGB(0, 0, 0), m_st.m_crBtnShadow);
  int percent = cell.nProgressPercent;
  if (percent <= 0) return;
  CRect bar(rect.left + 1, rect.top + 1, rect.left + 1 + rect.Width() * percent / 100, rect.bottom - 1);
  if (bar.right > rect.right - 1) bar.right = rect.right - 1;
  dc->FillSolidRect(&bar, m_st.m_crHighLight);
  if (!cell.bShowProgressMessage) return;

  CString text = FormatProgressText(cell.strProgressText, percent);
  CRect textRect = rect;
  textRect.DeflateRect(1, 1);
  CRect rest(bar.right, textRect.top, textRect.right, textRect.bottom);
  int oldMode = dc->SetBkMode(TRANSPARENT);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  struct Part {
    CRect clip;
    COLORREF color;
  } parts[] = {{bar, m_st.m_crHighLightText}, {rest, cell.crText}};
  for (const Part& part : parts) {
    if (part.clip.IsRectEmpty()) continue;
    int saved = dc->SaveDC();
    dc->IntersectClipRect(&part.clip);
    dc->SetTextColor(part.color);
    dc->DrawText(text, &textRect, format);
    dc->RestoreDC(saved);
  }
  dc->SetBkMode(oldMode);
}

void CXListCtrl::DrawCheckCell(CDC* dc, CRect rect, const XListCell& cell, const CString& text, COLORREF fore,
                               COLORREF back) {
  dc->FillSolidRect(&rect, back);
  int side = rect.Height() - 1;
  int left = text.IsEmpty() ? rect.left + rect.Width() / 2 - side / 2 - 1 : rect.left + kCheckInset;
  CRect box(left, rect.top, left + side, rect.top + side);
  DrawCheckMark(dc, box, cell.nCheckedState == 1);
  if (text.IsEmpty()) return;
  CRect textRect(box.right + kCheckTextGap, rect.top, rect.right, rect.bottom);
  int oldMode = dc->SetBkMode(TRANSPARENT);
  COLORREF oldColor = dc->SetTextColor(fore);
  dc->DrawText(text, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

void CXListCtrl::DrawImageText(CDC* dc, CRect rect, int col, const XListCell* cell, const CString& text, COLORREF fore,
                               COLORREF back) {
  dc->FillSolidRect(&rect, back);
  CRect textRect = rect;
  HIMAGELIST images = GetImageList(LVSIL_SMALL);
  if (images && cell && cell->nImage != -1) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    int x = rect.left + m_HeaderCtrl.GetSpacing();
    int y = rect.CenterPoint().y - cy / 2;
    COLORREF old = ImageList_SetBkColor(images, back);
    ImageList_DrawEx(images, cell->nImage, dc->m_hDC, x, y, std::max(0, std::min(cx, (int)rect.right - x)),
                     std::min(cy, rect.Height()), CLR_DEFAULT, CLR_DEFAULT, ILD_NORMAL);
    ImageList_SetBkColor(images, old);
    textRect.left = rect.left + m_HeaderCtrl.GetSpacing() + cx;
  }
  if (text.IsEmpty()) return;
  textRect.DeflateRect(m_st.m_nPadding, 0);
  HDITEMA column = {};
  column.mask = HDI_FORMAT;
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  if (header) ::SendMessageA(header, HDM_GETITEMA, (WPARAM)col, (LPARAM)&column);
  UINT align = (column.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? DT_RIGHT
               : (column.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                                                              : DT_LEFT;
  int oldMode = dc->SetBkMode(TRANSPARENT);
  COLORREF oldColor = dc->SetTextColor(fore);
  dc->DrawText(text, &textRect, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

BOOL CXListCtrl::OnEraseBkgnd(HDC hdc) {
  CDC* dc = CDC::FromHandle(hdc);
  CRect clip;
  int rows = GetItemCount();
  if (rows == 0 || dc->GetClipBox(&clip) == ERROR) return (BOOL)DefWindowProc(WM_ERASEBKGND, (WPARAM)hdc, 0);
  int first = GetTopIndex();
  int last = std::min(first + GetCountPerPage(), rows - 1);
  CRect top, bottom;
  GetItemRect(first, &top, LVIR_BOUNDS);
  GetItemRect(last, &bottom, LVIR_BOUNDS);
  CRect parts[] = {
      CRect(clip.left, clip.top, clip.right, top.top),
      CRect(clip.left, bottom.bottom, clip.right, clip.bottom),
      CRect(top.right, top.top, clip.right, bottom.bottom),
  };
  for (const CRect& part : parts)
    if (!part.IsRectEmpty()) dc->FillSolidRect(&part, m_st.m_crWindow);
  return TRUE;
}

void CXListCtrl::OnPaintMessage(WPARAM wParam) {
  DefWindowProc(WM_PAINT, wParam, 0);
  if (GetItemCount() != 0) return;
  HWND header = (HWND)SendMessage(LVM_GETHEADER);
  CRect item;
  if (!header || !::SendMessageA(header, HDM_GETITEMRECT, 0, (LPARAM)&item)) return;
  ::MapWindowPoints(header, m_hWnd, (LPPOINT)&item, 2);
  CRect client;
  GetClientRect(&client);
  client.top = item.bottom + kNoRowsGap;
  if (client.IsRectEmpty()) return;
  CClientDC dc(this);
  dc.FillSolidRect(&client, m_st.m_crWindow);
}

// ---------------------------------------------------------------------------------
// Clicks and keys

void CXListCtrl::OnLButtonDown(WPARAM flags, LPARAM lParam) {
  CPoint point = PointOf(lParam);
  LVHITTESTINFO hit = {};
  hit.pt = point;
  SubItemHitTest(&hit);
  if (!(hit.flags & LVHT_ONITEMLABEL) || hit.iItem < 0) {
    CancelComboNow();
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
    return;
  }
  int row = hit.iItem;
  if (!RowOf(row)) return;  // a row without cells takes no clicks
  int col = -1;
  for (int c = 0, n = GetColumnCount(); c < n && col < 0; ++c) {
    CRect rc;
    if (GetCellRect(row, c, rc) && rc.PtInRect(point)) col = c;
  }
  if (col < 0) {
    CancelComboNow();
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
    return;
  }
  XListCell* cell = CellAt(row, col);
  if (cell && (cell->nCheckedState == 0 || cell->nCheckedState == 1)) {
    cell->nCheckedState = !cell->nCheckedState;
    cell->bModified = TRUE;
    RedrawCell(row, col);
    SendToParent(WM_XLISTCTRL_CHECKBOX_CLICKED, row, col);
    UpdateHeaderCheck(col);
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
  } else if (cell && (cell->bCombo || cell->bEdit)) {
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);  // selects the row
    if (cell->bCombo)
      OpenCombo(row, col);
    else
      OpenEdit(row, col);
    StandardClickKeepingEditorFocus(flags, lParam);
  } else {
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
  }
}

// The click that opened an editor gets the standard handling once more. The list view
// takes the focus on a click when it believes it has none, and an editor that loses
// the focus ends; so for this pass the list view is told it has the focus.
void CXListCtrl::StandardClickKeepingEditorFocus(WPARAM flags, LPARAM lParam) {
  HWND editor = m_st.m_pEdit ? m_st.m_pEdit->m_hWnd : m_st.m_pCombo ? m_st.m_pCombo->m_hWnd : nullptr;
  if (!editor || ::GetFocus() != editor) {
    DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
    return;
  }
  DefWindowProc(WM_SETFOCUS, (WPARAM)editor, 0);
  DefWindowProc(WM_LBUTTONDOWN, flags, lParam);
  DefWindowProc(WM_KILLFOCUS, (WPARAM)editor, 0);
}

void CXListCtrl::OnKeyDown(WPARAM key, LPARAM lParam) {
  DefWindowProc(WM_KEYDOWN, key, lParam);
  int row = GetSelectedRow();
  if (row >= 0 && key != VK_SHIFT && key != VK_CONTROL) SelectRow(row, TRUE);
}

// A click on a header box flips it and sets every check box of the column to match.
// These are not the user's clicks on cells: no WM_XLISTCTRL_CHECKBOX_CLICKED.
void CXListCtrl::OnColumnClick(const NMLISTVIEW* nm) {
  int col = nm->iSubItem;
  int image = HeaderImage(col);
  if (image != 1 && image != 2) return;
  int next = image == 1 ? 2 : 1;
  SetHeaderImage(col, next);
  for (int row = 0, n = GetItemCount(); row < n; ++row) {
    XListCell* cell = CellAt(row, col);
    if (!cell || cell->nCheckedState == -1) continue;
    cell->nCheckedState = next == 2 ? 1 : 0;
    cell->bModified = TRUE;
    RedrawCell(row, col);
  }
}

// Only the list's own lock is released (the platform keeps one lock for all windows).
void CXListCtrl::UnlockUpdates() {
  if (!m_st.m_bUpdatesLocked) return;
  m_st.m_bUpdatesLocked = FALSE;
  ::LockWindowUpdate(nullptr);
}

void CXListCtrl::OnTimer(UINT_PTR id) {
  KillTimer(id);
  switch (id) {
    case kXListUnlockTimer: UnlockUpdates(); break;
    case kXListComboEscapeTimer: CloseCombo(FALSE); break;
    case kXListComboCompleteTimer: CloseCombo(TRUE); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------
// The in-cell combo
//
// The combo asks to close with its escape or completion message; the list closes it
// 50 ms later, once the combo's own message handling has returned. The combo's last
// word decides: a loss of focus sends the escape and then the completion, and keeps
// the choice; a completion followed by an Escape cancels.

void CXListCtrl::OpenCombo(int row, int col) {
  XListCell* cell = CellAt(row, col);
  if (GetColumnWidth(col) < kMinEditorWidth || !cell) return;
  // A combo still open (its focus loss asked to keep its choice) is settled first, so
  // that its pending close cannot take the new one.
  if (m_st.m_pCombo) {
    KillTimer(kXListComboEscapeTimer);
    KillTimer(kXListComboCompleteTimer);
    CloseCombo(TRUE);
  }
  CRect rc;
  GetCellRect(row, col, rc);
  rc.top -= 1;
  ClientToScreen(&rc);
  rc.left += 1;
  CXCombo* combo = new CXCombo(this);
  m_st.m_pCombo = combo;
  m_st.m_nComboItem = row;
  m_st.m_nComboSubItem = col;
  m_st.m_rectComboList = rc;
  if (!combo->CWnd::CreateEx(WS_EX_CONTROLPARENT, ADVCOMBOBOX_CLASSNAME, "", WS_POPUP | WS_VISIBLE | CBS_DROPDOWNLIST,
                             rc, this, 0)) {
    DestroyCombo();
    return;
  }
  m_st.m_bUpdatesLocked = ::LockWindowUpdate(m_hWnd);
  try {
    if (cell->pStrings)
      for (const CString& choice : *cell->pStrings)
        if (!choice.IsEmpty()) combo->AddString(choice);
  } catch (...) {
    // a choice list that cannot be read: the combo opens with what was added
  }
  combo->SetDropLines(cell->nComboListHeight);

  int count = combo->GetCount(), sel = -1;
  CString text;
  if (cell->pStrings && cell->nInitialComboSel >= 0 && cell->nInitialComboSel < count) {
    combo->GetLBText(cell->nInitialComboSel, text);
    CListCtrl::SetItemText(row, col, text);
    cell->nInitialComboSel = -1;
  } else {
    text = CListCtrl::GetItemText(row, col);
  }
  if (text.IsEmpty()) {
    if (count > 0) {
      sel = 0;
      combo->GetLBText(0, text);
      CListCtrl::SetItemText(row, col, text);
    }
  } else {
    sel = combo->FindStringExact(-1, text);
    if (sel == CB_ERR) sel = 0;
  }
  combo->SetCurSel(sel);
  combo->GetLBText(sel, m_st.m_strInitialString);
  SetTimer(kXListUnlockTimer, kXListComboDelayMs);
  combo->Invalidate();
  combo->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  combo->BringWindowToTop();
}

LRESULT CXListCtrl::OnComboEscape() {
  KillTimer(kXListComboCompleteTimer);
  SetTimer(kXListComboEscapeTimer, kXListComboDelayMs);
  return 0;
}

LRESULT CXListCtrl::OnComboComplete() {
  KillTimer(kXListComboEscapeTimer);
  SetTimer(kXListComboCompleteTimer, kXListComboDelayMs);
  return 0;
}

void CXListCtrl::CloseCombo(BOOL takeChoice) {
  CXCombo* combo = m_st.m_pCombo;
  if (!combo) return;
  int row = m_st.m_nComboItem, col = m_st.m_nComboSubItem;
  int sel = combo->m_hWnd ? combo->GetCurSel() : CB_ERR;
  XListCell* cell = CellAt(row, col);
  if (takeChoice && sel != CB_ERR && cell) {
    CString text;
    combo->GetLBText(sel, text);
    CListCtrl::SetItemText(row, col, text);
    RedrawCell(row, col);
    if (text.Compare(m_st.m_strInitialString) != 0) cell->bModified = TRUE;
    SendToParent(WM_XLISTCTRL_COMBO_SELECTION, row, col);
  } else if (!takeChoice) {
    RedrawCell(row, col);
  }
  DestroyCombo();
}

// A click away from the cells cancels an open combo. It is closed at once, before the
// click's standard handling takes the focus from it: that focus loss would otherwise
// ask to keep the choice, and the combo's last word would undo the cancel.
void CXListCtrl::CancelComboNow() {
  if (!m_st.m_pCombo) return;
  KillTimer(kXListComboEscapeTimer);
  KillTimer(kXListComboCompleteTimer);
  CloseCombo(FALSE);
}

void CXListCtrl::DestroyCombo() {
  CXCombo* combo = m_st.m_pCombo;
  m_st.m_pCombo = nullptr;
  if (!combo) return;
  combo->ForgetList();
  if (combo->m_hWnd) combo->DestroyWindow();
  delete combo;
}

// ---------------------------------------------------------------------------------
// The in-cell edit

void CXListCtrl::OpenEdit(int row, int col) {
  int width = GetColumnWidth(col);
  if (width < kMinEditorWidth || !CellAt(row, col) || !EnsureVisible(row, TRUE)) return;
  int offset = 0;
  for (int c = 0; c < col; ++c) offset += GetColumnWidth(c);
  CRect rowRect, client;
  GetItemRect(row, &rowRect, LVIR_BOUNDS);
  GetClientRect(&client);
  int start = rowRect.left + offset;
  if (start < 0 || start > client.right) {
    Scroll(CSize(start, 0));
    rowRect.left -= start;
  }
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT;
  GetColumn(col, &column);
  DWORD align = (column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT    ? ES_RIGHT
                : (column.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? ES_CENTER
                                                                     : ES_LEFT;
  CRect rc(rowRect.left + offset + 2, rowRect.top, 0, rowRect.bottom + 1);
  rc.right = std::min((int)rc.left + width - 4, (int)client.right);

  if (m_st.m_pEdit) OnEditKillFocus();  // the open one keeps its text, in its own cell
  m_st.m_strInitialString = CListCtrl::GetItemText(row, col);
  CXEdit* edit = new CXEdit(this, m_st.m_strInitialString);
  m_st.m_pEdit = edit;
  m_st.m_nEditItem = row;
  m_st.m_nEditSubItem = col;
  if (!edit->Create(WS_VISIBLE | ES_AUTOHSCROLL | align, rc, this, kXListEditId)) {
    DestroyEdit();
    return;
  }
  if (m_st.m_pEdit == edit) edit->SetFocus();
}

void CXListCtrl::DestroyEdit() {
  CXEdit* edit = m_st.m_pEdit;
  m_st.m_pEdit = nullptr;
  if (!edit) return;
  if (edit->m_hWnd) edit->DestroyWindow();
  delete edit;
}

LRESULT CXListCtrl::OnEditKillFocus() {
  if (!m_st.m_pEdit) return 0;
  CString text;
  if (m_st.m_pEdit->m_hWnd) m_st.m_pEdit->GetWindowText(text);
  if (text.IsEmpty()) text = m_st.m_strInitialString;
  DestroyEdit();
  int row = m_st.m_nEditItem, col = m_st.m_nEditSubItem;
  XListCell* cell = CellAt(row, col);
  if (!cell) return 0;
  CListCtrl::SetItemText(row, col, text);
  if (text.Compare(m_st.m_strInitialString) != 0) cell->bModified = TRUE;
  RedrawCell(row, col);
  SendToParent(WM_XLISTCTRL_EDIT_END, row, col);
  return 0;
}

LRESULT CXListCtrl::OnEditEscape() {
  if (!m_st.m_pEdit) return 0;
  DestroyEdit();
  int row = m_st.m_nEditItem, col = m_st.m_nEditSubItem;
  if (!CellAt(row, col)) return 0;
  CListCtrl::SetItemText(row, col, m_st.m_strInitialString);
  RedrawCell(row, col);
  return 0;
}

// ---------------------------------------------------------------------------------
// Tooltips

void CXListCtrl::EnableToolTips(BOOL enable) { m_st.m_tips.Enable(this, this, enable); }

INT_PTR CXListCtrl::OnToolHitTest(CPoint point, TTTOOLINFOA* ti) const {
  LVHITTESTINFO hit = {};
  hit.pt = point;
  SendMessage(LVM_SUBITEMHITTEST, 0, (LPARAM)&hit);
  if (hit.iItem < 0 || !(hit.flags & LVHT_ONITEMLABEL)) return -1;
  INT_PTR id = (INT_PTR)hit.iItem * kToolIdRowFactor + hit.iSubItem + 1;
  ti->hwnd = m_hWnd;
  ti->uId = (UINT_PTR)id;
  ti->lpszText = LPSTR_TEXTCALLBACKA;
  GetClientRect(&ti->rect);
  return id;
}

// The text of the cell under the pointer, cut to the notification's own buffer (never
// in the middle of a double-byte character).
BOOL CXListCtrl::OnToolTipText(UINT, NMHDR* nm, LRESULT* result) {
  if (nm->idFrom == 0) return FALSE;
  DWORD pos = ::GetMessagePos();
  CPoint point((short)LOWORD(pos), (short)HIWORD(pos));
  ScreenToClient(&point);
  LVHITTESTINFO hit = {};
  hit.pt = point;
  SubItemHitTest(&hit);
  *result = 0;
  if (hit.iItem < 0 || !(hit.flags & LVHT_ONITEMLABEL)) return TRUE;
  const XListCell* cell = CellAt(hit.iItem, hit.iSubItem);
  if (!cell || cell->strToolTip.IsEmpty()) return TRUE;
  char text[kTipChars];
  int n = 0;
  for (LPCTSTR p = cell->strToolTip; *p;) {
    int step = IsDBCSLeadByte((BYTE)*p) && p[1] ? 2 : 1;
    if (n + step > kTipChars - 1) break;
    for (int i = 0; i < step; ++i) text[n++] = *p++;
  }
  text[n] = '\0';
  if (nm->code == TTN_NEEDTEXTA) {
    NMTTDISPINFOA* info = (NMTTDISPINFOA*)nm;
    lstrcpynA(info->szText, text, kTipChars);
  } else {
    NMTTDISPINFOW* info = (NMTTDISPINFOW*)nm;
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, info->szText, kTipChars);
    info->szText[kTipChars - 1] = 0;
  }
  return TRUE;
}
