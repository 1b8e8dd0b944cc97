#include "ui/adv_combo_box.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "foundation/draw/offscreen_dc.h"
#include "platform/win/resource_exception.h"
#include "ui/control_trace.h"
#include "ui/drop_wnd.h"

namespace {

constexpr UINT_PTR kHotTimer = 1;  // polls the cursor while the control is hot
constexpr UINT kHotTimerMs = 50;
constexpr int kWheelNotch = 120;
constexpr int kWheelRows = 3;    // rows the open drop-down scrolls per notch
constexpr int kClosedPage = 10;  // items a page key moves with the drop-down closed

}  // namespace

// ---------------------------------------------------------------------------------
// Construction

IMPLEMENT_DYNCREATE(CAdvComboBox)

void CAdvComboBox::RegisterWindowClass() {
  HINSTANCE inst = platform::win::ResourceHandle();
  WNDCLASSA wc = {};
  if (::GetClassInfoA(inst, ADVCOMBOBOX_CLASSNAME, &wc)) return;
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = inst;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_MENU + 1);
  wc.lpszClassName = ADVCOMBOBOX_CLASSNAME;
  if (!::RegisterClassA(&wc)) throw CResourceException();
}

CAdvComboBox::CAdvComboBox(CWnd* parent) {
  m_st.m_pParent = parent;
  RegisterWindowClass();
}

CAdvComboBox::~CAdvComboBox() {
  if (m_st.m_pDropWnd) {
    m_st.m_pDropWnd->ShowWindow(SW_HIDE);
    m_st.m_pDropWnd->DestroyWindow();
    delete m_st.m_pDropWnd;
    m_st.m_pDropWnd = nullptr;
  }
}

BOOL CAdvComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::CreateEx(0, ADVCOMBOBOX_CLASSNAME, "", style, rect, parent, id);
}

void CAdvComboBox::PreSubclassWindow() {
  if (!m_st.m_pParent) m_st.m_pParent = GetParent();
  if (!m_st.m_font.GetSafeHandle()) MakeFontFromParent();
}

// A copy of the parent's font (a parent without one lends the GUI font's shape).
void CAdvComboBox::MakeFontFromParent() {
  LOGFONTA lf = {};
  HFONT parentFont = m_st.m_pParent ? (HFONT)m_st.m_pParent->SendMessage(WM_GETFONT) : nullptr;
  if (!parentFont) parentFont = (HFONT)::GetStockObject(DEFAULT_GUI_FONT);
  ::GetObjectA(parentFont, sizeof lf, &lf);
  m_st.m_font.CreateFontIndirect(&lf);
}

// ---------------------------------------------------------------------------------
// Window procedure

LRESULT CAdvComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  AdvComboState& st = m_st;
  switch (message) {
    case WM_CREATE: return OnCreate(lParam);
    case WM_PAINT: OnPaintMessage(); return 0;
    case WM_PRINTCLIENT: Paint(CDC::FromHandle((HDC)wParam)); return 0;
    case WM_ERASEBKGND: return TRUE;  // the paint covers every pixel
    case WM_MOUSEMOVE: OnMouseMove(CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); return 0;
    case WM_TIMER:
      if (wParam != kHotTimer) break;
      OnHotTimer();
      return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); return 0;
    case WM_MOUSEWHEEL: return OnMouseWheel((short)HIWORD(wParam));
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_KILLFOCUS: return OnKillFocus((HWND)wParam);
    case WM_CHAR: OnChar((UINT)wParam); return 0;
    case WM_KEYDOWN: OnKeyDown((UINT)wParam); return 0;
    case WM_ENABLE:
      DefWindowProc(message, wParam, lParam);
      Invalidate(FALSE);
      return 0;
    case CB_ADDSTRING: return AddString((LPCTSTR)lParam);
    case CB_SETCURSEL: return SetCurSel((int)wParam);
    case CB_GETCURSEL: return GetCurSel();
    case CB_SELECTSTRING: return SetCurSel(FindStringExact((int)wParam, (LPCTSTR)lParam));
    case CB_GETCOUNT: return (LRESULT)st.m_list.size();
    case CB_RESETCONTENT: return OnResetContent();
    case CB_GETLBTEXT: return GetLBText((int)wParam, (LPTSTR)lParam);
    case CB_GETLBTEXTLEN: return GetLBTextLen((int)wParam);
    case CB_GETTOPINDEX: return OnTopIndex(FALSE, 0);
    case CB_SETTOPINDEX: return OnTopIndex(TRUE, (int)wParam);
    case WM_ACB_SELECTED_ITEM: return OnSelectedItem((int)wParam);
    case WM_ACB_DESTROY_DROPDOWN: return OnDestroyDropdownList();
    case WM_ACB_DROPDOWN_BUTTON: return OnDropdownButton();
    default:
      if ((message >= CB_GETEDITSEL && message < CB_MSGMAX) || (message >= WM_USER && message < WM_APP))
        TraceUnhandledMessage("CAdvComboBox", message, wParam, lParam);
      break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CAdvComboBox::OnCreate(LPARAM lParam) {
  LRESULT r = DefWindowProc(WM_CREATE, 0, lParam);
  if (!m_st.m_pParent) m_st.m_pParent = GetParent();
  if (!m_st.m_font.GetSafeHandle()) MakeFontFromParent();
  return r;
}

void CAdvComboBox::Notify(UINT code) {
  CWnd* parent = m_st.m_pParent;
  if (!parent || !::IsWindow(parent->m_hWnd)) return;
  parent->SendMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), code), (LPARAM)m_hWnd);
}

const AdvComboItem* CAdvComboBox::ItemAt(int index) const {
  if (index < 0 || index >= (int)m_st.m_list.size()) return nullptr;
  auto it = m_st.m_list.begin();
  std::advance(it, index);
  return &*it;
}

void CAdvComboBox::RepaintButton() { InvalidateRect(&m_st.m_rcDropButton, FALSE); }

// ---------------------------------------------------------------------------------
// Items

int CAdvComboBox::AddString(LPCTSTR text) {
  AdvComboItem item;
  item.strText = text ? text : "";
  m_st.m_list.push_back(item);
  return (int)m_st.m_list.size() - 1;
}

void CAdvComboBox::GetLBText(int index, CString& text) const {
  const AdvComboItem* item = ItemAt(index);
  text = item ? item->strText : CString();
}

int CAdvComboBox::GetLBText(int index, LPTSTR buffer) const {
  const AdvComboItem* item = ItemAt(index);
  if (!item || !buffer) return CB_ERR;
  memcpy(buffer, (LPCTSTR)item->strText, (size_t)item->strText.GetLength() + 1);
  return item->strText.GetLength();
}

int CAdvComboBox::GetLBTextLen(int index) const {
  const AdvComboItem* item = ItemAt(index);
  return item ? item->strText.GetLength() : CB_ERR;
}

int CAdvComboBox::GetCurSel() const { return FindStringExact(0, m_st.m_strEdit); }

int CAdvComboBox::SetCurSel(int index) {
  int count = (int)m_st.m_list.size();
  if (index == -1) {
    m_st.m_nCurSel = -1;
    m_st.m_strEdit.Empty();
  } else if (count == 0) {
    m_st.m_nCurSel = index;
    index = CB_ERR;
  } else if (index >= 0 && index < count) {
    m_st.m_nCurSel = index;
    m_st.m_strEdit = ItemAt(index)->strText;
  } else {
    return CB_ERR;
  }
  if (m_hWnd) Invalidate(FALSE);
  return index;
}

int CAdvComboBox::FindStringExact(int start, LPCTSTR text) const {
  if (start == -1) start = 0;
  if (start < 0 || start > (int)m_st.m_list.size() || !text) return CB_ERR;
  int i = 0;
  for (const AdvComboItem& item : m_st.m_list) {
    if (i >= start && strcmp(item.strText, text) == 0) return i;
    ++i;
  }
  return CB_ERR;
}

int CAdvComboBox::SetDropLines(int lines) {
  int previous = m_st.m_nDropLines;
  m_st.m_nDropLines = lines;
  return previous;
}

LRESULT CAdvComboBox::OnResetContent() {
  m_st.m_list.clear();
  m_st.m_strEdit.Empty();
  m_st.m_nCurSel = -1;
  SetWindowText("");
  Invalidate(FALSE);
  return 0;
}

LRESULT CAdvComboBox::OnTopIndex(BOOL set, int index) {
  CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr;
  if (!list) return CB_ERR;
  if (!set) return list->GetTopIndex();
  list->SetTop(index, TRUE);
  return 0;
}

// ---------------------------------------------------------------------------------
// Painting

void CAdvComboBox::OnPaintMessage() {
  CPaintDC dc(this);
  COffscreenDC offscreen(&dc, nullptr, FALSE, FALSE);
  Paint(&offscreen);
}

void CAdvComboBox::Paint(CDC* dc) {
  if (const AdvComboItem* item = ItemAt(m_st.m_nCurSel)) m_st.m_strEdit = item->strText;
  CRect rc;
  GetClientRect(&rc);
  CRect button = rc;
  button.left = rc.right - ::GetSystemMetrics(SM_CXHSCROLL);
  BOOL enabled = IsWindowEnabled();
  dc->FillSolidRect(&rc, ::GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));

  int state = !enabled                  ? kThemeComboDisabled
              : m_st.m_bDropListVisible ? kThemeComboPressed
              : m_st.m_bHot             ? kThemeComboHot
                                        : kThemeComboNormal;
  // A system that says "themed" may still give no theme for the class: then the
  // classic button, never a themed call on a null handle (which draws nothing).
  HTHEME theme = m_st.m_pTheme->IsThemeUsable() ? m_st.m_pTheme->OpenThemeData(m_hWnd, L"COMBOBOX") : nullptr;
  if (theme) {
    PaintThemed(dc, theme, rc, button, state, enabled);
    m_st.m_pTheme->CloseThemeData(theme);
  } else {
    PaintClassic(dc, rc, button, enabled);
  }

  // The text: left of the button, ending one pixel before it.
  CRect text(rc.left + 2, rc.top + 1, button.left - 1 - 1, rc.bottom - 1);
  COLORREF back, fore;
  if (!enabled) {
    back = ::GetSysColor(COLOR_BTNFACE);
    fore = ::GetSysColor(COLOR_GRAYTEXT);
  } else if (m_st.m_bHasFocus && !m_st.m_bDropListVisible) {
    back = ::GetSysColor(COLOR_HIGHLIGHT);
    fore = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  } else {
    back = ::GetSysColor(COLOR_WINDOW);
    fore = ::GetSysColor(COLOR_BTNTEXT);
  }
  dc->FillSolidRect(&text, back);
  int oldMode = dc->SetBkMode(TRANSPARENT);
  COLORREF oldColor = dc->SetTextColor(fore);
  HGDIOBJ oldFont = dc->SelectObject((HGDIOBJ)m_st.m_font.GetSafeHandle());
  dc->DrawText(m_st.m_strEdit, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (oldFont) dc->SelectObject(oldFont);
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
}

void CAdvComboBox::PaintThemed(CDC* dc, HTHEME theme, CRect rc, CRect button, int state, BOOL enabled) {
  CThemeApi* api = m_st.m_pTheme;
  COLORREF border = 0;
  if (FAILED(api->GetThemeColor(theme, kThemeComboButtonPart, enabled ? kThemeComboNormal : kThemeComboDisabled,
                                kThemeBorderColor, &border)))
    border = RGB(0, 0, 0);
  CPen pen(PS_SOLID, 1, border);
  CPen* oldPen = dc->SelectObject(&pen);
  HGDIOBJ oldBrush = dc->SelectObject(::GetStockObject(WHITE_BRUSH));
  dc->Rectangle(&rc);
  button.DeflateRect(0, 1);
  button.OffsetRect(-1, 0);
  if (!enabled) {
    COLORREF fill = 0;
    if (FAILED(api->GetThemeColor(theme, kThemeComboButtonPart, kThemeComboDisabled, kThemeFillColor, &fill)))
      fill = RGB(255, 255, 255);
    CRect text = rc;
    text.DeflateRect(1, 1);
    text.right = button.left;
    CPen fillPen(PS_SOLID, 1, fill);
    CBrush face(::GetSysColor(COLOR_BTNFACE));
    dc->SelectObject(&fillPen);
    dc->SelectObject(&face);
    dc->Rectangle(&text);
    dc->SelectObject(&pen);
    dc->SelectObject(::GetStockObject(WHITE_BRUSH));
  }
  api->DrawThemeBackground(theme, dc->m_hDC, kThemeComboButtonPart, state, &button, nullptr);
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  m_st.m_rcDropButton = button;
}

void CAdvComboBox::PaintClassic(CDC* dc, CRect rc, CRect button, BOOL enabled) {
  dc->Draw3dRect(&rc, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
  CRect inner = rc;
  inner.DeflateRect(1, 1);
  dc->Draw3dRect(&inner, ::GetSysColor(COLOR_3DDKSHADOW), ::GetSysColor(COLOR_3DLIGHT));
  button.DeflateRect(0, 2);
  button.OffsetRect(-2, 0);
  UINT flags = DFCS_SCROLLCOMBOBOX;
  if (m_st.m_bDropListVisible) flags |= DFCS_PUSHED | DFCS_FLAT;
  if (!enabled) flags |= DFCS_INACTIVE;
  dc->DrawFrameControl(&button, DFC_SCROLL, flags);
  m_st.m_rcDropButton = button;
}

// ---------------------------------------------------------------------------------
// Mouse

void CAdvComboBox::OnMouseMove(CPoint point) {
  CRect rc;
  GetClientRect(&rc);
  BOOL hot = rc.PtInRect(point);
  if (hot != m_st.m_bHot) {
    m_st.m_bHot = hot;
    RepaintButton();
    if (!m_st.m_bHotTimer) {
      SetTimer(kHotTimer, kHotTimerMs);
      m_st.m_bHotTimer = TRUE;
    }
  }
}

void CAdvComboBox::OnHotTimer() {
  CPoint cursor;
  ::GetCursorPos(&cursor);
  ScreenToClient(&cursor);
  CRect rc;
  GetClientRect(&rc);
  if (rc.PtInRect(cursor)) return;
  KillTimer(kHotTimer);
  m_st.m_bHotTimer = FALSE;
  m_st.m_bHot = FALSE;
  RepaintButton();
}

void CAdvComboBox::OnLButtonDown(CPoint point) {
  if (::GetFocus() != m_hWnd) SetFocus();
  CRect rc;
  GetClientRect(&rc);
  if (!rc.PtInRect(point)) return;
  SendMessage(WM_ACB_DROPDOWN_BUTTON);
  Invalidate(FALSE);
}

BOOL CAdvComboBox::OnMouseWheel(short delta) {
  m_st.m_zDelta += delta;
  int direction = m_st.m_zDelta >= kWheelNotch ? -1 : m_st.m_zDelta <= -kWheelNotch ? 1 : 0;
  if (direction == 0) return TRUE;
  m_st.m_zDelta = 0;
  CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr;
  if (list) {
    int top = list->GetTopIndex() + direction * kWheelRows;
    int last = list->GetCount() - 1;
    if (top > last) top = last;
    if (top < 0) top = 0;
    list->SetTop(top, TRUE);
  } else if (direction < 0) {
    SelPrevItem();
  } else {
    SelNextItem();
  }
  return TRUE;
}

// ---------------------------------------------------------------------------------
// Focus and keyboard

void CAdvComboBox::OnSetFocus() {
  DefWindowProc(WM_SETFOCUS, 0, 0);
  m_st.m_bHasFocus = TRUE;
  Invalidate(FALSE);
  Notify(CBN_SETFOCUS);
}

// The highlight of a focused box goes with the focus (a box that kept it after
// losing the focus would look focused while another control has it).
LRESULT CAdvComboBox::OnKillFocus(HWND newFocus) {
  DefWindowProc(WM_KILLFOCUS, (WPARAM)newFocus, 0);
  m_st.m_bHasFocus = FALSE;
  Invalidate(FALSE);
  OnEscapeKey();
  return 0;
}

BOOL CAdvComboBox::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_SYSKEYDOWN && (msg->wParam == VK_UP || msg->wParam == VK_DOWN)) {
    SendMessage(WM_ACB_DROPDOWN_BUTTON);
    Invalidate(FALSE);
    return TRUE;
  }
  if (msg->message != WM_KEYDOWN) return CWnd::PreTranslateMessage(msg);
  switch (msg->wParam) {
    case VK_RETURN: {
      if (!m_st.m_bDropListVisible) return FALSE;  // arrives as a character: OnComboComplete
      CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr;
      int row = list ? list->GetCurSel() : LB_ERR;
      if (row != LB_ERR) SendMessage(WM_ACB_SELECTED_ITEM, (WPARAM)row);
      SendMessage(WM_ACB_DESTROY_DROPDOWN);
      return TRUE;
    }
    case VK_ESCAPE:
      if (m_st.m_bDropListVisible) {
        SendMessage(WM_ACB_DESTROY_DROPDOWN);
        Invalidate(FALSE);
        return TRUE;
      }
      OnEscapeKey();
      return FALSE;
    case VK_F4:
      SendMessage(WM_ACB_DROPDOWN_BUTTON);
      Invalidate(FALSE);
      return TRUE;
    case VK_UP: SelPrevItem(); return TRUE;
    case VK_DOWN: SelNextItem(); return TRUE;
    case VK_PRIOR: SelPrevPage(); return TRUE;
    case VK_NEXT: SelNextPage(); return TRUE;
    default: return CWnd::PreTranslateMessage(msg);
  }
}

void CAdvComboBox::OnChar(UINT ch) {
  if (m_st.m_pParent && ch == VK_ESCAPE) {
    OnEscapeKey();
  } else if (m_st.m_pParent && ch == VK_RETURN) {
    OnComboComplete();
  } else {
    Default();
  }
}

void CAdvComboBox::OnKeyDown(UINT key) {
  switch (key) {
    case VK_DOWN: SelNextItem(); break;
    case VK_UP: SelPrevItem(); break;
    case VK_NEXT: SelNextPage(); break;
    case VK_PRIOR: SelPrevPage(); break;
    default: break;
  }
  Default();
}

// ---------------------------------------------------------------------------------
// Selection moves

void CAdvComboBox::SelectClosed(int index) {
  const AdvComboItem* item = ItemAt(index);
  if (!item) return;
  BOOL changed = index != m_st.m_nCurSel;
  m_st.m_nCurSel = index;
  m_st.m_strEdit = item->strText;
  Invalidate(FALSE);
  if (!changed) return;
  Notify(CBN_SELENDOK);
  Notify(CBN_SELCHANGE);
}

// A selection out of range counts as the first item; the move stops at either end.
void CAdvComboBox::SelectClosedPage(int delta) {
  int count = GetCount();
  if (count == 0) return;
  int from = m_st.m_nCurSel < 0 || m_st.m_nCurSel >= count ? 0 : m_st.m_nCurSel;
  SelectClosed(std::max(0, std::min(from + delta, count - 1)));
}

void CAdvComboBox::ShowDropRowText(int row) {
  CDropListBox* list = m_st.m_pDropWnd->GetListBox();
  SetWindowText(list->RowText(row));
}

void CAdvComboBox::SelPrevItem() {
  if (CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr) {
    int row = list->GetCurSel();
    if (row > 0) list->SetSel(row - 1);
    return;
  }
  if (m_st.m_nCurSel > 0) SelectClosed(m_st.m_nCurSel - 1);
}

void CAdvComboBox::SelNextItem() {
  if (CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr) {
    int row = list->GetCurSel();
    if (row < list->GetCount() - 1) list->SetSel(row + 1);
    return;
  }
  if (m_st.m_nCurSel < GetCount() - 1) SelectClosed(m_st.m_nCurSel + 1);
}

// Open: to the last visible row, or a page further when it is already selected.
// Closed: up to ten items on.
void CAdvComboBox::SelNextPage() {
  if (CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr) {
    int row = list->GetCurSel(), last = list->GetCount() - 1;
    if (last < 0 || row == last) return;
    int top = list->GetTopIndex(), visible = list->VisibleRows();
    int lastVisible = top + visible - 1;
    int next = row == LB_ERR ? 0 : row == lastVisible ? top + 2 * visible - 2 : lastVisible;
    if (next > last) next = last;
    if (next < 0) next = 0;
    list->SetSel(next);
    ShowDropRowText(next);
    return;
  }
  SelectClosedPage(kClosedPage);
}

// Open: to the top visible row, or a page up when it is already selected.
// Closed: up to ten items back.
void CAdvComboBox::SelPrevPage() {
  if (CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr) {
    int row = list->GetCurSel();
    if (row <= 0) return;
    int top = list->GetTopIndex(), visible = list->VisibleRows();
    int next = row == top ? top - visible + 1 : top;
    if (next < 0) next = 0;
    list->SetSel(next);
    ShowDropRowText(next);
    return;
  }
  SelectClosedPage(-kClosedPage);
}

// ---------------------------------------------------------------------------------
// The drop-down

LRESULT CAdvComboBox::OnDropdownButton() {
  if (m_st.m_bDropListVisible) return OnDestroyDropdownList();
  if (!m_st.m_pDropWnd) CreateDropList();
  if (m_st.m_pDropWnd) {
    m_st.m_pDropWnd->ShowWindow(SW_SHOW);
    m_st.m_bDropListVisible = TRUE;
  }
  return TRUE;
}

void CAdvComboBox::CreateDropList() {
  CRect combo;
  GetWindowRect(&combo);
  RECT work = {};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  CRect rc(combo.left, combo.bottom, combo.right, combo.bottom > work.bottom ? work.bottom : combo.bottom);
  CDropWnd* drop = new CDropWnd(this, m_st.m_list, m_st.m_dwACBStyle);
  if (!drop->CreateDropDown(rc)) {
    delete drop;
    return;
  }
  m_st.m_pDropWnd = drop;
  if (m_st.m_nCurSel >= GetCount()) m_st.m_nCurSel = 0;
  drop->GetListBox()->SetSel(m_st.m_nCurSel);
  drop->GetListBox()->SetFont(GetComboFont(), TRUE);
  Notify(CBN_DROPDOWN);
}

LRESULT CAdvComboBox::OnSelectedItem(int row) {
  CDropListBox* list = m_st.m_pDropWnd ? m_st.m_pDropWnd->GetListBox() : nullptr;
  if (list) m_st.m_strEdit = list->RowText(row);
  m_st.m_nCurSel = FindStringExact(0, m_st.m_strEdit);
  SetWindowText(m_st.m_strEdit);
  m_st.m_bSelItem = TRUE;
  Notify(CBN_SELENDOK);
  Invalidate(FALSE);
  OnDestroyDropdownList();
  RepaintButton();
  Notify(CBN_SELCHANGE);
  return TRUE;
}

LRESULT CAdvComboBox::OnDestroyDropdownList() {
  CDropWnd* drop = m_st.m_pDropWnd;
  if (!drop) {
    OnComboComplete();
    return TRUE;
  }
  drop->ShowWindow(SW_HIDE);
  m_st.m_bDropListVisible = FALSE;
  m_st.m_pDropWnd = nullptr;
  drop->DestroyWindow();
  delete drop;
  RepaintButton();
  BOOL taken = m_st.m_bSelItem;
  m_st.m_bSelItem = FALSE;
  if (!taken) Notify(CBN_SELENDCANCEL);
  Notify(CBN_CLOSEUP);
  return TRUE;
}
