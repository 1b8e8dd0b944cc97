#include "platform/win/controls.h"

namespace {

CString ItemString(HWND h, UINT lenMsg, UINT textMsg, int i) {
  CString s;
  int n = (int)::SendMessageA(h, lenMsg, (WPARAM)i, 0);
  if (n < 0) return s;
  int got = (int)::SendMessageA(h, textMsg, (WPARAM)i, (LPARAM)s.GetBuffer(n + 1));
  s.ReleaseBuffer(got > 0 ? got : 0);
  return s;
}

}  // namespace

void CComboBox::GetLBText(int i, CString& s) const { s = ItemString(m_hWnd, CB_GETLBTEXTLEN, CB_GETLBTEXT, i); }

void CListBox::GetText(int i, CString& s) const { s = ItemString(m_hWnd, LB_GETTEXTLEN, LB_GETTEXT, i); }

CImageList* CHeaderCtrl::SetImageList(CImageList* list) {
  SendMessage(HDM_SETIMAGELIST, 0, (LPARAM)HandleOf(list));
  return nullptr;
}

int CListCtrl::InsertColumn(int col, LPCTSTR heading, int format, int width, int subItem) {
  LVCOLUMNA c = {};
  c.mask = LVCF_FMT | LVCF_TEXT;
  c.fmt = format;
  c.pszText = const_cast<LPSTR>(heading);
  if (width != -1) {
    c.mask |= LVCF_WIDTH;
    c.cx = width;
  }
  if (subItem != -1) {
    c.mask |= LVCF_SUBITEM;
    c.iSubItem = subItem;
  }
  return InsertColumn(col, &c);
}

namespace {
LVITEMA MakeItem(UINT mask, int i, int sub, LPCTSTR text, int image, UINT state, UINT stateMask, LPARAM param) {
  LVITEMA item = {};
  item.mask = mask;
  item.iItem = i;
  item.iSubItem = sub;
  item.pszText = const_cast<LPSTR>(text);
  item.iImage = image;
  item.state = state;
  item.stateMask = stateMask;
  item.lParam = param;
  return item;
}
}  // namespace

int CListCtrl::InsertItem(UINT mask, int i, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM param) {
  LVITEMA item = MakeItem(mask, i, 0, text, image, state, stateMask, param);
  return InsertItem(&item);
}

BOOL CListCtrl::SetItem(int i, int sub, UINT mask, LPCTSTR text, int image, UINT state, UINT stateMask, LPARAM param) {
  LVITEMA item = MakeItem(mask, i, sub, text, image, state, stateMask, param);
  return SetItem(&item);
}

CString CListCtrl::GetItemText(int i, int sub) const {
  // The control copies at most the buffer; grow until the text fits.
  CString s;
  for (int size = 256;; size *= 2) {
    LVITEMA item = {};
    item.iSubItem = sub;
    item.cchTextMax = size;
    item.pszText = s.GetBuffer(size);
    int n = (int)SendMessage(LVM_GETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
    s.ReleaseBuffer(n > 0 ? n : 0);
    if (n < size - 1) return s;
  }
}

int CListCtrl::GetItemText(int i, int sub, LPTSTR buf, int len) const {
  LVITEMA item = {};
  item.iSubItem = sub;
  item.cchTextMax = len;
  item.pszText = buf;
  return (int)SendMessage(LVM_GETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
}

BOOL CListCtrl::SetItemText(int i, int sub, LPCTSTR text) {
  LVITEMA item = {};
  item.iSubItem = sub;
  item.pszText = const_cast<LPSTR>(text);
  return (BOOL)SendMessage(LVM_SETITEMTEXTA, (WPARAM)i, (LPARAM)&item);
}

DWORD_PTR CListCtrl::GetItemData(int i) const {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = i;
  GetItem(&item);
  return (DWORD_PTR)item.lParam;
}

BOOL CListCtrl::SetItemState(int i, UINT state, UINT mask) {
  LVITEMA item = {};
  item.state = state;
  item.stateMask = mask;
  return (BOOL)SendMessage(LVM_SETITEMSTATE, (WPARAM)i, (LPARAM)&item);
}

int CListCtrl::HitTest(CPoint pt, UINT* flags) const {
  LVHITTESTINFO info = {};
  info.pt = pt;
  int i = HitTest(&info);
  if (flags) *flags = info.flags;
  return i;
}

CImageList* CListCtrl::SetImageList(CImageList* list, int which) {
  SendMessage(LVM_SETIMAGELIST, (WPARAM)which, (LPARAM)HandleOf(list));
  return nullptr;
}

int CTabCtrl::InsertItem(int i, LPCTSTR text, int image) {
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPSTR>(text);
  if (image >= 0) {
    item.mask |= TCIF_IMAGE;
    item.iImage = image;
  }
  return InsertItem(i, &item);
}

CImageList* CTabCtrl::SetImageList(CImageList* list) {
  SendMessage(TCM_SETIMAGELIST, 0, (LPARAM)HandleOf(list));
  return nullptr;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  BOOL ok = CWnd::CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, HwndOf(parent), nullptr);
  if (ok) ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return ok;
}

void CToolTipCtrl::FillTool(TTTOOLINFOA& ti, CWnd* wnd, UINT_PTR toolId) const {
  ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.hwnd = HwndOf(wnd);
  ti.uId = toolId ? toolId : (UINT_PTR)HwndOf(wnd);
  if (!toolId) ti.uFlags = TTF_IDISHWND;
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, LPCTSTR text, LPCRECT rect, UINT_PTR toolId) {
  TTTOOLINFOA ti;
  FillTool(ti, wnd, toolId);
  ti.lpszText = const_cast<LPSTR>(text ? text : LPSTR_TEXTCALLBACKA);
  if (rect)
    ti.rect = *rect;
  else if (toolId)
    ::GetClientRect(ti.hwnd, &ti.rect);
  return (BOOL)SendMessage(TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR toolId) {
  TTTOOLINFOA ti;
  FillTool(ti, wnd, toolId);
  SendMessage(TTM_DELTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(LPCTSTR text, CWnd* wnd, UINT_PTR toolId) {
  TTTOOLINFOA ti;
  FillTool(ti, wnd, toolId);
  ti.lpszText = const_cast<LPSTR>(text);
  SendMessage(TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::SetToolRect(CWnd* wnd, UINT_PTR toolId, LPCRECT rect) {
  TTTOOLINFOA ti;
  FillTool(ti, wnd, toolId);
  ti.rect = *rect;
  SendMessage(TTM_NEWTOOLRECTA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::GetText(CString& text, CWnd* wnd, UINT_PTR toolId) const {
  TTTOOLINFOA ti;
  FillTool(ti, wnd, toolId);
  char buf[1024] = "";
  ti.lpszText = buf;
  SendMessage(TTM_GETTEXTA, sizeof buf, (LPARAM)&ti);
  text = buf;
}

CString CStatusBarCtrl::GetText(int part) const {
  CString s;
  int n = LOWORD(SendMessage(SB_GETTEXTLENGTHA, (WPARAM)part));
  SendMessage(SB_GETTEXTA, (WPARAM)part, (LPARAM)s.GetBuffer(n + 1));
  s.ReleaseBuffer(n);
  return s;
}
