#include "ui/popup_menu.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kTopMargin = 3;  // first item's top
constexpr int kSeparatorHeight = 5;
constexpr int kItemHeight = 17;
constexpr int kWidthExtra = 42;  // image column, text indent and arrow room
constexpr int kTextLeft = 23;
constexpr int kImageCell = 16;  // cell width in the strip; cells are 15 high
constexpr UINT_PTR kHoverTimer = 1;
constexpr int kEdgeMargin = 2;  // a point this close to the left or top is outside

// Measuring and drawing share one text format: '&' underlines the next character.
constexpr UINT kTextFormat = DT_SINGLELINE | DT_NOCLIP | DT_LEFT | DT_TOP;

bool g_classRegistered = false;

}  // namespace

CPopupMenu::CPopupMenu() {
  m_colors[PMC_BORDER] = ::GetSysColor(COLOR_MENUTEXT);
  m_colors[PMC_BACKGROUND] = ::GetSysColor(COLOR_MENU);
  m_colors[PMC_TEXT] = ::GetSysColor(COLOR_MENUTEXT);
  m_colors[PMC_GRAYTEXT] = ::GetSysColor(COLOR_GRAYTEXT);
  m_colors[PMC_HIGHLIGHTTEXT] = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  m_colors[PMC_HIGHLIGHT] = ::GetSysColor(COLOR_HIGHLIGHT);
  m_colors[PMC_IMAGE_TRANSPARENT] = 0xFF00FF;
  m_colors[PMC_IMAGE_LIGHT] = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  m_colors[PMC_IMAGE_DARK] = ::GetSysColor(COLOR_BTNSHADOW);
}

CPopupMenu::~CPopupMenu() {
  if (m_hWnd) {
    if (::GetCapture() == m_hWnd) ::ReleaseCapture();
    ::DestroyWindow(m_hWnd);
  }
}

void CPopupMenu::SetColor(int index, COLORREF color) {
  if (index >= 0 && index < PMC_COUNT) m_colors[index] = color;
}

BOOL CPopupMenu::Init(HINSTANCE instance, int bitmapId) {
  m_hInstance = instance;
  m_nBitmapID = bitmapId;
  if (!g_classRegistered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MenuWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return FALSE;
    g_classRegistered = true;
  }
  m_items.RemoveAll();
  InitGdiObjects();
  return TRUE;
}

void CPopupMenu::InitGdiObjects() {
  for (CGdiObject* o : std::initializer_list<CGdiObject*>{&m_font, &m_fontBold, &m_penBorder, &m_penLight, &m_penDark,
                                                          &m_penBackground, &m_penHighlightText, &m_penText,
                                                          &m_brushBackground, &m_brushHighlight, &m_bmpImages})
    o->DeleteObject();
  HDC ic = ::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  LOGFONTA lf = {};
  lf.lfHeight = -::MulDiv(m_nPointSize, ::GetDeviceCaps(ic, LOGPIXELSY), 72);
  lstrcpynA(lf.lfFaceName, m_strFontFace, 32);
  lf.lfWeight = FW_NORMAL;
  m_font.CreateFontIndirect(&lf);
  lf.lfWeight = FW_BOLD;
  m_fontBold.CreateFontIndirect(&lf);
  TEXTMETRICA tm = {};
  HGDIOBJ old = ::SelectObject(ic, m_font);
  ::GetTextMetricsA(ic, &tm);
  m_nTextHeight = tm.tmHeight;
  ::SelectObject(ic, m_fontBold);
  ::GetTextMetricsA(ic, &tm);
  m_nBoldTextHeight = tm.tmHeight;
  ::SelectObject(ic, old);
  ::DeleteDC(ic);

  m_penBorder.CreatePen(PS_SOLID, 1, m_colors[PMC_BORDER]);
  m_penLight.CreatePen(PS_SOLID, 1, m_colors[PMC_IMAGE_LIGHT]);
  m_penDark.CreatePen(PS_SOLID, 1, m_colors[PMC_IMAGE_DARK]);
  m_penBackground.CreatePen(PS_SOLID, 1, m_colors[PMC_BACKGROUND]);
  m_penHighlightText.CreatePen(PS_SOLID, 1, m_colors[PMC_HIGHLIGHTTEXT]);
  m_penText.CreatePen(PS_SOLID, 1, m_colors[PMC_TEXT]);
  m_brushBackground.CreateSolidBrush(m_colors[PMC_BACKGROUND]);
  m_brushHighlight.CreateSolidBrush(m_colors[PMC_HIGHLIGHT]);
  if (m_nBitmapID != -1)
    m_bmpImages.Attach(
        ::LoadBitmapA(m_hInstance ? m_hInstance : ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nBitmapID)));
}

BOOL CPopupMenu::AddItem(UINT flags, LPCTSTR text, UINT id, int image) {
  PopupMenuItem item;
  item.m_nFlags = flags;
  item.m_strText = text ? text : "";
  item.m_nID = id;
  item.m_nImage = image;
  m_items.Add(item);
  return TRUE;
}

BOOL CPopupMenu::AddSubmenu(UINT flags, LPCTSTR text, CPopupMenu* submenu, int image) {
  if ((flags & PMF_SEPARATOR) || !submenu) return FALSE;
  AddItem(flags, text, 0, image);
  m_items[m_items.GetSize() - 1].m_pSubmenu = submenu;
  submenu->m_bSubmenu = 1;
  submenu->m_pParent = this;
  return TRUE;
}

// ---------------------------------------------------------------------------------
// Showing

// Item tops and heights, and the width: the widest text (as drawn, '&' taken out)
// plus the image column, the indent and the room for a submenu arrow.
void CPopupMenu::Measure() {
  HDC ic = ::CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  HGDIOBJ old = ::SelectObject(ic, m_font);
  int y = kTopMargin, widest = 0;
  for (int i = 0; i < m_items.GetSize(); ++i) {
    PopupMenuItem& item = m_items[i];
    item.m_nTop = y;
    if (item.m_nFlags & PMF_SEPARATOR) {
      item.m_nHeight = kSeparatorHeight;
    } else {
      item.m_nHeight = kItemHeight;
      ::SelectObject(ic, (item.m_nFlags & PMF_BOLD) ? m_fontBold : m_font);
      RECT r = {0, 0, 0, 0};
      ::DrawTextA(ic, item.m_strText, item.m_strText.GetLength(), &r, kTextFormat | DT_CALCRECT);
      if (r.right - r.left > widest) widest = r.right - r.left;
    }
    y += item.m_nHeight;
  }
  ::SelectObject(ic, old);
  ::DeleteDC(ic);
  m_nWidth = widest + kWidthExtra;
  m_nHighlight = -1;
  m_nResult = 0;
}

int CPopupMenu::ClientHeight() const {
  int total = kTopMargin;
  for (int i = 0; i < m_items.GetSize(); ++i) total += m_items[i].m_nHeight;
  return total + 2;
}

// Moved left or up to fit the work area, but never to negative coordinates.
void CPopupMenu::KeepInWorkArea(int* x, int* y) const {
  RECT work;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int total = ClientHeight() - 2;
  if (*x + m_nWidth > work.right) *x = std::max<int>(0, work.right - m_nWidth);
  if (*y + total + 2 > work.bottom) *y = std::max<int>(0, work.bottom - total - 2);
}

UINT CPopupMenu::Popup(int x, int y, HWND owner, BOOL modal, BOOL keyboard) {
  if (m_hWnd) return 0;  // already shown
  Measure();
  KeepInWorkArea(&x, &y);
  HWND hwnd = ::CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP | WS_VISIBLE, x, y, m_nWidth, ClientHeight(),
                                nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
  if (!hwnd) return 0;
  if (keyboard) {
    m_nTrackMode = 1;
    m_bLeftDown = m_bRightDown = 0;
  } else {
    ::SetCapture(hwnd);
    m_nTrackMode = 2;
    m_bLeftDown = ::GetKeyState(VK_LBUTTON) < 0 ? 1 : 0;
    m_bRightDown = ::GetKeyState(VK_RBUTTON) < 0 ? 1 : 0;
  }
  m_bModal = modal ? 1 : 0;
  m_hWndOwner = owner;
  if (!modal) return 0;

  // The loop serves the whole thread. A WM_QUIT ends it: the menu closes with nothing
  // chosen and the quit is posted again for the loop that owns it.
  MSG msg;
  while (m_hWnd) {
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      Choose(0);
      ::PostQuitMessage((int)msg.wParam);
      break;
    }
    if (got == -1) {
      Choose(0);
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return m_nResult;
}

// ---------------------------------------------------------------------------------
// Window procedure

LRESULT CALLBACK CPopupMenu::MenuWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    CPopupMenu* creating = (CPopupMenu*)((CREATESTRUCTA*)lp)->lpCreateParams;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)creating);
    creating->m_hWnd = hwnd;
  }
  CPopupMenu* menu = (CPopupMenu*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
  if (!menu) return ::DefWindowProcA(hwnd, msg, wp, lp);
  CPoint pt((short)LOWORD(lp), (short)HIWORD(lp));
  switch (msg) {
    case WM_PAINT: menu->OnPaint(); return 0;
    case WM_ERASEBKGND: menu->OnEraseBkgnd((HDC)wp); return 1;
    case WM_MOUSEMOVE: menu->OnMouseMove(pt); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: menu->OnButtonDown(pt); break;
    case WM_LBUTTONUP: menu->OnButtonUp(pt, &menu->m_bLeftDown); break;
    case WM_RBUTTONUP: menu->OnButtonUp(pt, &menu->m_bRightDown); break;
    case WM_CHAR: menu->OnChar((UINT)wp); break;
    case WM_TIMER: menu->OnTimer((UINT_PTR)wp); break;
    case WM_DESTROY: menu->OnDestroy(); break;
    default: break;
  }
  return ::DefWindowProcA(hwnd, msg, wp, lp);
}

// ---------------------------------------------------------------------------------
// Messages

bool CPopupMenu::IsOutside(CPoint pt) const {
  return pt.x <= kEdgeMargin || pt.y <= kEdgeMargin || pt.x >= m_nWidth || pt.y >= ClientHeight();
}

// The item under a client point: -1 outside or over a disabled item.
int CPopupMenu::ItemAt(CPoint pt) const {
  if (IsOutside(pt)) return -1;
  for (int i = 0; i < m_items.GetSize(); ++i) {
    const PopupMenuItem& item = m_items[i];
    if (pt.y > item.m_nTop && pt.y < item.m_nTop + item.m_nHeight) return (item.m_nFlags & PMF_DISABLED) ? -1 : i;
  }
  return -1;
}

void CPopupMenu::OnMouseMove(CPoint pt) {
  // Over another menu of ours (a submenu or the parent): the capture goes there.
  POINT screen = pt;
  ::ClientToScreen(m_hWnd, &screen);
  HWND under = ::WindowFromPoint(screen);
  char cls[32] = {};
  if (under && under != m_hWnd && ::GetClassNameA(under, cls, sizeof cls) && strcmp(cls, kClassName) == 0) {
    CPopupMenu* other = (CPopupMenu*)::GetWindowLongPtrA(under, GWLP_USERDATA);
    if (other && m_nTrackMode == 2) {
      ::ReleaseCapture();
      m_nTrackMode = 1;
      ::SetCapture(under);
      other->m_nTrackMode = 2;
    }
    return;
  }
  int item = ItemAt(pt);
  if (m_nHighlight != -1 && item != m_nHighlight) SetHighlight(-1);
  if (item != -1 && item != m_nHighlight) {
    SetHighlight(item);
    if (m_items[item].m_pSubmenu) ::SetTimer(m_hWnd, kHoverTimer, m_nHoverDelay, nullptr);
  }
}

void CPopupMenu::OnButtonDown(CPoint pt) {
  if (IsOutside(pt)) {
    Choose(0);
    return;
  }
  if (m_nHighlight != -1 && m_items[m_nHighlight].m_pSubmenu && !m_items[m_nHighlight].m_pSubmenu->m_hWnd)
    OpenSubmenu(m_nHighlight);
}

// The release of the click that opened the menu is not a choice.
void CPopupMenu::OnButtonUp(CPoint pt, BYTE* openingButtonDown) {
  if (*openingButtonDown) {
    *openingButtonDown = 0;
    return;
  }
  if (IsOutside(pt)) {
    Choose(0);
    return;
  }
  int item = ItemAt(pt);
  if (item != -1 && item == m_nHighlight && m_items[item].m_nID != 0) Choose(m_items[item].m_nID);
}

// A mnemonic: the character after the first '&', compared without case; separators,
// disabled and grey items have none.
void CPopupMenu::OnChar(UINT ch) {
  int key = std::tolower((unsigned char)ch);
  for (int i = 0; i < m_items.GetSize(); ++i) {
    const PopupMenuItem& item = m_items[i];
    if (item.m_nFlags & (PMF_SEPARATOR | PMF_DISABLED | PMF_GRAYED)) continue;
    int amp = item.m_strText.Find('&');
    if (amp < 0 || amp + 1 >= item.m_strText.GetLength()) continue;
    if (std::tolower((unsigned char)item.m_strText[amp + 1]) == key) {
      Choose(item.m_nID);
      return;
    }
  }
}

void CPopupMenu::OnTimer(UINT_PTR id) {
  ::KillTimer(m_hWnd, id);
  if (id == kHoverTimer && m_nHighlight != -1 && m_items[m_nHighlight].m_pSubmenu) OpenSubmenu(m_nHighlight);
}

void CPopupMenu::OnDestroy() {
  for (int i = 0; i < m_items.GetSize(); ++i) CloseSubmenu(i);
  if (m_nTrackMode == 2 && ::GetCapture() == m_hWnd) ::ReleaseCapture();
  m_nTrackMode = 0;
  ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  m_hWnd = nullptr;
  if (!m_bModal && !m_bSubmenu && m_nResult != 0) ::PostMessageA(m_hWndOwner, WM_COMMAND, m_nResult, 0);
}

// ---------------------------------------------------------------------------------
// Actions

CPopupMenu* CPopupMenu::Root() {
  CPopupMenu* root = this;
  while (root->m_bSubmenu && root->m_pParent) root = root->m_pParent;
  return root;
}

// Destroying the root's window closes every open submenu and ends the modal loops.
void CPopupMenu::Choose(UINT id) {
  CPopupMenu* root = Root();
  root->m_nResult = id;
  if (root->m_hWnd) ::DestroyWindow(root->m_hWnd);
}

void CPopupMenu::SetHighlight(int index) {
  if (m_nHighlight != -1 && index != m_nHighlight) {
    ::KillTimer(m_hWnd, kHoverTimer);
    CloseSubmenu(m_nHighlight);
  }
  m_nHighlight = index;
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  ::UpdateWindow(m_hWnd);
}

// The submenu runs its own loop beside the item, in keyboard mode: the mouse
// capture comes to it when the cursor moves over it.
void CPopupMenu::OpenSubmenu(int index) {
  CPopupMenu* sub = m_items[index].m_pSubmenu;
  POINT at = {m_nWidth - 5, m_items[index].m_nTop - 3};
  ::ClientToScreen(m_hWnd, &at);
  UINT id = sub->Popup(at.x, at.y, nullptr, TRUE, TRUE);
  if (id != 0) Choose(id);
}

void CPopupMenu::CloseSubmenu(int index) {
  CPopupMenu* sub = m_items[index].m_pSubmenu;
  if (sub && sub->m_hWnd) ::DestroyWindow(sub->m_hWnd);
}

// ---------------------------------------------------------------------------------
// Drawing

// Background and a one-pixel border in colour 0.
void CPopupMenu::DrawFrame(CDC* dc) {
  CPen* oldPen = dc->SelectObject(&m_penBorder);
  CBrush* oldBrush = dc->SelectObject(&m_brushBackground);
  dc->Rectangle(0, 0, m_nWidth, ClientHeight());
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
}

void CPopupMenu::OnEraseBkgnd(HDC hdc) {
  CDC* dc = CDC::FromHandle(hdc);
  DrawFrame(dc);
}

// Drawn off-screen and copied once.
void CPopupMenu::OnPaint() {
  PAINTSTRUCT ps;
  HDC hdc = ::BeginPaint(m_hWnd, &ps);
  CDC screen;
  screen.Attach(hdc);
  CDC mem;
  mem.CreateCompatibleDC(&screen);
  CBitmap surface;
  surface.CreateCompatibleBitmap(&screen, m_nWidth, ClientHeight());
  CBitmap* oldBitmap = mem.SelectObject(&surface);
  DrawFrame(&mem);
  for (int i = 0; i < m_items.GetSize(); ++i) DrawItem(&mem, i);
  screen.BitBlt(0, 0, m_nWidth, ClientHeight(), &mem, 0, 0, SRCCOPY);
  mem.SelectObject(oldBitmap);
  screen.Detach();
  ::EndPaint(m_hWnd, &ps);
}

void CPopupMenu::DrawImage(CDC* dc, const PopupMenuItem& item, bool highlighted) {
  int top = item.m_nTop;
  // A raised frame around a highlighted item's image.
  CPen* oldPen = dc->SelectObject(highlighted ? &m_penLight : &m_penBackground);
  dc->MoveTo(3, top + 16);
  dc->LineTo(3, top);
  dc->LineTo(20, top);
  dc->SelectObject(highlighted ? &m_penDark : &m_penBackground);
  dc->LineTo(20, top + 16);
  dc->LineTo(3, top + 16);
  dc->SelectObject(oldPen);
  if (!m_bmpImages.m_hObject) return;
  CDC strip;
  strip.CreateCompatibleDC(dc);
  CBitmap* old = strip.SelectObject(&m_bmpImages);
  ::TransparentBlt(dc->m_hDC, 4, top + 1, kImageCell, 15, strip.m_hDC, item.m_nImage * kImageCell, 0, kImageCell, 15,
                   m_colors[PMC_IMAGE_TRANSPARENT]);
  strip.SelectObject(old);
}

void CPopupMenu::DrawItem(CDC* dc, int index) {
  const PopupMenuItem& item = m_items[index];
  int top = item.m_nTop, width = m_nWidth;
  if (item.m_nFlags & PMF_SEPARATOR) {
    CPen* old = dc->SelectObject(&m_penBorder);
    dc->MoveTo(0, top + 2);
    dc->LineTo(width, top + 2);
    dc->SelectObject(old);
    return;
  }
  bool highlighted = index == m_nHighlight;
  int left = 3;
  if (item.m_nImage != -1) {
    DrawImage(dc, item, highlighted);
    left = 21;
  }
  CRect band(left, top, width - 2, top + 18);
  dc->FillRect(&band, highlighted ? &m_brushHighlight : &m_brushBackground);

  CFont* oldFont = dc->SelectObject((item.m_nFlags & PMF_BOLD) ? &m_fontBold : &m_font);
  int textHeight = (item.m_nFlags & PMF_BOLD) ? m_nBoldTextHeight : m_nTextHeight;
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(highlighted                    ? m_colors[PMC_HIGHLIGHTTEXT]
                   : (item.m_nFlags & PMF_GRAYED) ? m_colors[PMC_GRAYTEXT]
                                                  : m_colors[PMC_TEXT]);
  CRect text(kTextLeft, top + (kItemHeight - textHeight) / 2, width, top + kItemHeight);
  dc->DrawText(item.m_strText, &text, kTextFormat);
  dc->SelectObject(oldFont);

  if (item.m_pSubmenu) {
    // A right-pointing triangle: four columns, one pixel longer each way per step.
    CPen* old = dc->SelectObject(highlighted ? &m_penHighlightText : &m_penText);
    for (int step = 0; step < 4; ++step) {
      int x = width - 7 - step;
      dc->MoveTo(x, top + 8 - step);
      dc->LineTo(x, top + 10 + step);
    }
    dc->SelectObject(old);
  }
}
