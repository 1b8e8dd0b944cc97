#include "ui/owner_draw_tab.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "resources/resource.h"

namespace {

constexpr int kTabMargin = 3;  // text inset in a tab
constexpr int kIconSize = 16;  // drawn icon
constexpr int kMinTabWidth = kTabMargin + 8;
constexpr int kTopTabHeight = 22;
constexpr int kBottomTabHeight = 24;
constexpr LPCTSTR kFontText = "-11,0,0,0,400,0,0,0,0,1,2,1,34,MS Sans Serif";

bool TabsOnTop(const COwnerDrawTabCtrl* ctrl) { return (ctrl->GetTabStyle() & 1) != 0; }

// Byte length of the first `chars` characters (a double-byte character is one).
int PrefixBytes(const CString& text, int chars) {
  int i = 0;
  for (int n = 0; n < chars && i < text.GetLength(); ++n)
    i += (::IsDBCSLeadByte((BYTE)text[i]) && i + 1 < text.GetLength()) ? 2 : 1;
  return i;
}

int CharCount(const CString& text) {
  int n = 0;
  for (int i = 0; i < text.GetLength(); ++n) i += (::IsDBCSLeadByte((BYTE)text[i]) && i + 1 < text.GetLength()) ? 2 : 1;
  return n;
}

int TextWidth(CDC* dc, const CString& text) { return dc->GetTextExtent(text).cx; }

}  // namespace

TabStripPalette& TabStripPalette::Get() {
  static TabStripPalette* palette = [] {
    TabStripPalette* p = new TabStripPalette;
    p->crBackground = ::GetSysColor(COLOR_BTNFACE);
    p->penScrollbar.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_SCROLLBAR));
    p->penFace.CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNFACE));
    p->penWhite.CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    p->penBlack.CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    return p;
  }();
  return *palette;
}

CString FitTabLabel(CDC* dc, const CString& label, int width) {
  if (TextWidth(dc, label) <= width) return label;
  int n = CharCount(label);
  for (int keep = n - 1; keep >= 1; --keep) {
    CString candidate = label.Left(PrefixBytes(label, keep)) + "...";
    if (TextWidth(dc, candidate) <= width) return candidate;
  }
  CString last = label.Left(PrefixBytes(label, 1)) + "...";
  while (!last.IsEmpty() && TextWidth(dc, last) > width) last = last.Left(PrefixBytes(last, CharCount(last) - 1));
  return last;
}

// ---------------------------------------------------------------------------------
// OwnerTabItem

OwnerTabItem::OwnerTabItem(COwnerDrawTabCtrl* owner, LPCTSTR label, DWORD data, HICON icon)
    : m_strLabel(label ? label : ""), m_dwData(data), m_pOwner(owner), m_hIcon(icon) {}

CRect OwnerTabItem::GetRect() const {
  CRect client;
  m_pOwner->GetClientRect(&client);
  int height = m_pOwner->GetTabHeight();
  int top = TabsOnTop(m_pOwner) ? client.top : client.bottom - height - 1;
  return CRect(m_nX, top, m_nX + m_nWidth, top + height);
}

int OwnerTabItem::GetWidth(CDC* dc) {
  int width = TextWidth(dc, m_strLabel) + 2 * kTabMargin;
  if (m_hIcon) width += kTabMargin + kIconSize;
  return width < kMinTabWidth ? kMinTabWidth : width;
}

CRect OwnerTabItem::ContentRect(BOOL selected) const {
  CRect r = GetRect();
  if (!selected) r.OffsetRect(0, TabsOnTop(m_pOwner) ? 2 : -2);
  r.DeflateRect(kTabMargin, 0);
  return r;
}

void OwnerTabItem::Draw(CDC* dc, BOOL selected, BOOL focused) {
  DrawFrame(dc, selected);
  DrawLabel(dc, selected, selected && focused);
}

void OwnerTabItem::DrawFrame(CDC* dc, BOOL selected) {
  TabStripPalette& p = TabStripPalette::Get();
  CRect r = GetRect();
  CPen* old = dc->SelectObject(&p.penWhite);
  if (TabsOnTop(m_pOwner)) {
    if (!selected) r.top += 2;
    // The selected tab's bottom line is the page colour: the tab opens into the page.
    dc->SelectObject(selected ? &p.penFace : &p.penWhite);
    dc->MoveTo(r.right - 1, r.bottom);
    dc->LineTo(r.left, r.bottom);
    dc->SelectObject(&p.penWhite);
    dc->LineTo(r.left, r.top + 2);
    dc->LineTo(r.left + 2, r.top);
    dc->LineTo(r.right - 2, r.top);
    dc->SelectObject(&p.penScrollbar);
    dc->MoveTo(r.right - 2, r.top + 1);
    dc->LineTo(r.right - 2, r.bottom);
    dc->SelectObject(&p.penBlack);
    dc->MoveTo(r.right - 1, r.top + 2);
    dc->LineTo(r.right - 1, r.bottom);
  } else {
    if (selected) {
      CRect inside(r.left + 1, r.top, r.right - 2, r.bottom);
      dc->FillSolidRect(&inside, ::GetSysColor(COLOR_SCROLLBAR));
    } else {
      r.bottom -= 2;
    }
    dc->MoveTo(r.left, r.top);
    dc->LineTo(r.left, r.bottom - 2);
    // Inner line, then the black outer line, both with bevelled corners.
    dc->SelectObject(&p.penScrollbar);
    dc->MoveTo(r.left + 1, r.bottom - 2);
    dc->LineTo(r.right - 3, r.bottom - 2);
    dc->LineTo(r.right - 2, r.bottom - 3);
    dc->LineTo(r.right - 2, r.top - 1);
    dc->SelectObject(&p.penBlack);
    dc->MoveTo(r.left + 2, r.bottom - 1);
    dc->LineTo(r.right - 3, r.bottom - 1);
    dc->LineTo(r.right - 1, r.bottom - 3);
    dc->LineTo(r.right - 1, r.top - 1);
  }
  dc->SelectObject(old);
}

// The icon is drawn large on the tab's shade and scaled down, which smooths it.
int OwnerTabItem::DrawIcon(CDC* dc, BOOL selected) {
  CRect content = ContentRect(selected);
  if (!m_hIcon || content.Width() <= kIconSize) return content.left;
  CDC mem;
  mem.CreateCompatibleDC(dc);
  CBitmap bmp;
  bmp.CreateCompatibleBitmap(dc, 32, 32);
  CBitmap* old = mem.SelectObject(&bmp);
  mem.FillSolidRect(0, 0, 32, 32, ::GetSysColor(COLOR_SCROLLBAR));
  ::DrawIconEx(mem.m_hDC, 0, 0, m_hIcon, 32, 32, 0, nullptr, DI_NORMAL);
  int y = content.top + (content.Height() - kIconSize) / 2;
  dc->SetStretchBltMode(HALFTONE);
  dc->StretchBlt(content.left, y, kIconSize, kIconSize, &mem, 0, 0, 32, 32, SRCCOPY);
  mem.SelectObject(old);
  return content.left + kIconSize + 1;
}

void OwnerTabItem::DrawLabel(CDC* dc, BOOL selected, BOOL focused) {
  CRect content = ContentRect(selected);
  content.left = DrawIcon(dc, selected);
  CString text = FitTabLabel(dc, m_strLabel, content.Width());
  if (!text.IsEmpty()) dc->DrawText(text, &content, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (focused) {
    CRect focus = content;
    focus.DeflateRect(0, 2);
    dc->DrawFocusRect(&focus);
  }
}

// ---------------------------------------------------------------------------------
// COwnerDrawTabCtrl

BEGIN_MESSAGE_MAP(COwnerDrawTabCtrl, CWnd)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_SETFOCUS()
  ON_WM_KILLFOCUS()
  ON_WM_LBUTTONDOWN()
  ON_WM_GETDLGCODE()
  ON_COMMAND_RANGE(ID_TAB_PREV, ID_TAB_FOCUS_PAGE2, &COwnerDrawTabCtrl::OnTabCommand)
END_MESSAGE_MAP()

COwnerDrawTabCtrl::COwnerDrawTabCtrl() {
  m_hAccel = ::LoadAcceleratorsA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TAB_ACCEL));
}

COwnerDrawTabCtrl::~COwnerDrawTabCtrl() {
  while (!m_tabs.IsEmpty()) {
    delete m_tabs[0];
    m_tabs.RemoveAt(0);
  }
}

BOOL COwnerDrawTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!(style & 3)) style |= 1;
  LPCTSTR cls = RegisterClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW),
                              (HBRUSH)::GetStockObject(LTGRAY_BRUSH));
  if (!CWnd::CreateEx(0, cls, "", style | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, rect, parent, id)) return FALSE;
  m_dwTabStyle = style & 3;
  LOGFONTA lf = {};
  ParseLogFont(&lf, kFontText);
  lf.lfHeight = 12;
  lf.lfWidth = 6;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, "宋体", LF_FACESIZE);
  m_font.DeleteObject();
  m_font.CreateFontIndirect(&lf);
  SetFont(&m_font, FALSE);
  RecalcLayout();
  return TRUE;
}

void COwnerDrawTabCtrl::ParseLogFont(LOGFONTA* lf, LPCTSTR text) {
  long v[13] = {};
  const char* p = text;
  for (int i = 0; i < 13 && p; ++i) {
    v[i] = strtol(p, nullptr, 10);
    p = strchr(p, ',');
    if (p) ++p;
  }
  lf->lfHeight = v[0];
  lf->lfWidth = v[1];
  lf->lfEscapement = v[2];
  lf->lfOrientation = v[3];
  lf->lfWeight = v[4];
  lf->lfItalic = (BYTE)v[5];
  lf->lfUnderline = (BYTE)v[6];
  lf->lfStrikeOut = (BYTE)v[7];
  lf->lfCharSet = (BYTE)v[8];
  lf->lfOutPrecision = (BYTE)v[9];
  lf->lfClipPrecision = (BYTE)v[10];
  lf->lfQuality = (BYTE)v[11];
  lf->lfPitchAndFamily = (BYTE)v[12];
  lstrcpynA(lf->lfFaceName, p ? p : "", LF_FACESIZE);
}

OwnerTabItem* COwnerDrawTabCtrl::GetTab(int index) const {
  return index >= 0 && index < m_tabs.GetSize() ? m_tabs[index] : nullptr;
}

int COwnerDrawTabCtrl::GetTabHeight() const { return TabsOnTop(this) ? kTopTabHeight : kBottomTabHeight; }

CSize COwnerDrawTabCtrl::GetTabSize(int index) const {
  if (OwnerTabItem* tab = GetTab(index)) return CSize(tab->m_nWidth, GetTabHeight());
  int total = 0;
  for (int i = 0; i < m_tabs.GetSize(); ++i) total += m_tabs[i]->m_nWidth;
  return CSize(total, GetTabHeight());
}

int COwnerDrawTabCtrl::AddTab(LPCTSTR label, DWORD data, HICON icon) {
  OwnerTabItem* tab = new (std::nothrow) OwnerTabItem(this, label, data, icon);
  if (!tab) return -1;
  m_tabs.Add(tab);
  if (m_hWnd) {
    RecalcLayout();
    Invalidate();
  }
  return m_tabs.GetSize() - 1;
}

BOOL COwnerDrawTabCtrl::DeleteTab(int index) {
  OwnerTabItem* tab = GetTab(index);
  if (!tab) return FALSE;
  delete tab;
  m_tabs.RemoveAt(index);
  if (m_hWnd) {
    RecalcLayout();
    Invalidate();
  }
  return TRUE;
}

CRect COwnerDrawTabCtrl::GetPageRect() const {
  CRect r;
  GetClientRect(&r);
  r.DeflateRect(2, 2);
  if (TabsOnTop(this))
    r.top += GetTabHeight();
  else
    r.bottom -= GetTabHeight();
  return r;
}

int COwnerDrawTabCtrl::HitTest(CPoint pt) const {
  for (int i = 0; i < m_tabs.GetSize(); ++i)
    if (m_tabs[i]->HitTest(pt)) return i;
  return -1;
}

void COwnerDrawTabCtrl::CompressTabs(int total, int available) {
  int n = m_tabs.GetSize();
  if (n == 0 || available >= total) return;
  int x = 1, each = available / n;
  for (int i = 0; i < n - 1; ++i) {
    m_tabs[i]->m_nX = x;
    m_tabs[i]->m_nWidth = each;
    x += each;
  }
  m_tabs[n - 1]->m_nX = x;
  m_tabs[n - 1]->m_nWidth = available - x;
}

void COwnerDrawTabCtrl::PrepareDC(CDC* dc) {
  m_pOldFont = dc->SelectObject(&m_font);
  dc->SetBkMode(TRANSPARENT);
}

void COwnerDrawTabCtrl::RestoreDC(CDC* dc) {
  if (m_pOldFont) dc->SelectObject(m_pOldFont);
  m_pOldFont = nullptr;
}

void COwnerDrawTabCtrl::RecalcLayout() {
  if (m_tabs.IsEmpty() || !m_hWnd) return;
  CClientDC dc(this);
  PrepareDC(&dc);
  int x = 1;
  for (int i = 0; i < m_tabs.GetSize(); ++i) {
    m_tabs[i]->m_nWidth = m_tabs[i]->GetWidth(&dc);
    m_tabs[i]->m_nX = x;
    x += m_tabs[i]->m_nWidth;
  }
  RestoreDC(&dc);
}

void COwnerDrawTabCtrl::Notify(UINT code) {
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  NMHDR hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), code};
  ::SendMessageA(parent, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr);
}

int COwnerDrawTabCtrl::SetCurSel(int index) {
  int old = m_nCurSel;
  if (index < 0 || index >= m_tabs.GetSize() || index == old) return old;
  Notify((UINT)TCN_SELCHANGING);  // the answer is not consulted
  OnSelChange(old, index);
  m_nCurSel = index;
  Invalidate();
  Notify((UINT)TCN_SELCHANGE);
  return old;
}

// Keys for the strip itself go through its accelerators while it has tabs; the
// parent hears of each with TCN_KEYDOWN.
BOOL COwnerDrawTabCtrl::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd == m_hWnd && !m_tabs.IsEmpty() && m_hAccel && ::TranslateAcceleratorA(m_hWnd, m_hAccel, msg)) {
    HWND parent = ::GetParent(m_hWnd);
    if (parent) {
      NMTCKEYDOWN key = {};
      key.hdr = {m_hWnd, (UINT_PTR)GetDlgCtrlID(), (UINT)TCN_KEYDOWN};
      key.wVKey = (WORD)msg->wParam;
      key.flags = (UINT)msg->lParam;
      ::SendMessageA(parent, WM_NOTIFY, key.hdr.idFrom, (LPARAM)&key);
    }
    return TRUE;
  }
  return CWnd::PreTranslateMessage(msg);
}

void COwnerDrawTabCtrl::OnTabCommand(UINT id) {
  int n = m_tabs.GetSize();
  if (n == 0) return;
  switch (id) {
    case ID_TAB_PREV:
    case ID_TAB_PREV_CTRL: SetCurSel(m_nCurSel <= 0 ? n - 1 : m_nCurSel - 1); break;
    case ID_TAB_NEXT:
    case ID_TAB_NEXT_CTRL: SetCurSel((m_nCurSel + 1) % n); break;
    case ID_TAB_LAST: SetCurSel(n - 1); break;
    case ID_TAB_FIRST: SetCurSel(0); break;
    case ID_TAB_FOCUS_NEXT:
    case ID_TAB_FOCUS_PREV: {
      HWND parent = ::GetParent(m_hWnd);
      HWND next = parent ? ::GetNextDlgTabItem(parent, m_hWnd, ::GetKeyState(VK_SHIFT) < 0) : nullptr;
      if (next) ::SetFocus(next);
      break;
    }
    case ID_TAB_FOCUS_PAGE:
    case ID_TAB_FOCUS_PAGE2: {
      HWND child = ::GetWindow(m_hWnd, GW_CHILD);
      if (child) ::SetFocus(child);
      break;
    }
    default: break;
  }
}

void COwnerDrawTabCtrl::OnPaint() {
  CPaintDC paint(this);
  CRect client;
  GetClientRect(&client);
  CDC mem;
  mem.CreateCompatibleDC(&paint);
  CBitmap surface;
  surface.CreateCompatibleBitmap(&paint, client.Width(), client.Height());
  CBitmap* oldBitmap = mem.SelectObject(&surface);
  PrepareDC(&mem);
  mem.FillSolidRect(&client, TabStripPalette::Get().crBackground);
  CRect frame = client;
  if (TabsOnTop(this))
    frame.top += GetTabHeight() - 1;
  else
    frame.bottom -= GetTabHeight() - 1;
  mem.DrawEdge(&frame, EDGE_RAISED, BF_RECT);
  BOOL focused = ::GetFocus() == m_hWnd;
  for (int i = 0; i < m_tabs.GetSize(); ++i) m_tabs[i]->Draw(&mem, i == m_nCurSel, focused);
  paint.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
  RestoreDC(&mem);
  mem.SelectObject(oldBitmap);
}

void COwnerDrawTabCtrl::OnSize(UINT, int, int) {
  Default();
  RecalcLayout();
}

void COwnerDrawTabCtrl::OnSetFocus(CWnd*) {
  Default();
  Invalidate();
}

void COwnerDrawTabCtrl::OnKillFocus(CWnd*) {
  Default();
  Invalidate();
}

void COwnerDrawTabCtrl::OnLButtonDown(UINT, CPoint pt) {
  SetFocus();
  int hit = HitTest(pt);
  SetCurSel(hit);
  if (hit != -1) Notify((UINT)NM_CLICK);
  Default();
}
