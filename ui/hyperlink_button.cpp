#include "ui/hyperlink_button.h"

#include <shellapi.h>

namespace {

constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverCheck_ms = 100;

OpenLinkHook g_openLink = OpenWebLink;

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (!*text || (*text | 0x20) != *prefix) return false;
  return true;
}

}  // namespace

BOOL IsWebLink(LPCTSTR url) {
  if (!url) return FALSE;
  size_t skip = StartsWithNoCase(url, "https://") ? 8 : StartsWithNoCase(url, "http://") ? 7 : 0;
  if (skip == 0 || !url[skip]) return FALSE;
  for (const char* p = url; *p; ++p)
    if ((unsigned char)*p < 0x20 || *p == 0x7F) return FALSE;
  return TRUE;
}

BOOL OpenWebLink(LPCTSTR url) {
  if (!IsWebLink(url)) return FALSE;
  return (INT_PTR)::ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

OpenLinkHook SetOpenLinkHook(OpenLinkHook hook) {
  OpenLinkHook old = g_openLink;
  g_openLink = hook ? hook : OpenWebLink;
  return old;
}

BEGIN_MESSAGE_MAP(CHyperLinkButton, CButton)
  ON_WM_ERASEBKGND()
  ON_WM_MOUSEMOVE()
  ON_WM_TIMER()
  ON_WM_LBUTTONDOWN()
  ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CHyperLinkButton::CHyperLinkButton() {
  m_font.CreateFont(14, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, ANSI_CHARSET, OUT_STRING_PRECIS, CLIP_STROKE_PRECIS,
                    DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
}

void CHyperLinkButton::PreSubclassWindow() {
  ModifyStyle(0, BS_OWNERDRAW);
  CButton::PreSubclassWindow();
}

BOOL CHyperLinkButton::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_MOUSEMOVE && m_tooltip.m_hWnd) m_tooltip.RelayEvent(msg);
  return CButton::PreTranslateMessage(msg);
}

void CHyperLinkButton::RepaintNow() { RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

// The highlight starts anywhere over the control; the timer ends it once the cursor
// has left the text.
void CHyperLinkButton::OnMouseMove(UINT, CPoint pt) {
  ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
  CRect client;
  GetClientRect(&client);
  if (!m_bHover && client.PtInRect(pt)) {
    m_bHover = TRUE;
    RepaintNow();
    SetTimer(kHoverTimer, kHoverCheck_ms);
  }
  Default();
}

void CHyperLinkButton::OnTimer(UINT_PTR id) {
  if (id == kHoverTimer) {
    DWORD pos = ::GetMessagePos();
    CPoint pt((short)LOWORD(pos), (short)HIWORD(pos));
    ScreenToClient(&pt);
    if (!m_rcText.PtInRect(pt)) {
      m_bHover = FALSE;
      RepaintNow();
      KillTimer(kHoverTimer);
    }
  }
  Default();
}

void CHyperLinkButton::OnLButtonDown(UINT, CPoint) {
  g_openLink(m_strUrl);
  Default();
}

BOOL CHyperLinkButton::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(::LoadCursor(nullptr, IDC_HAND));
  return TRUE;
}

// The text is measured in the link's own font and centred; its hit rectangle is
// where it is drawn, 5 pixels wider on either side.
void CHyperLinkButton::DrawItem(LPDRAWITEMSTRUCT draw) {
  CDC dc;
  dc.Attach(draw->hDC);
  CRect item(draw->rcItem);
  CString caption;
  GetWindowText(caption);
  CFont* oldFont = dc.SelectObject(&m_font);
  CSize text = dc.GetTextExtent(caption);
  int x = (item.Width() - text.cx) / 2;
  if (m_bFirstDraw && text.cx < item.Width()) {
    dc.FillRect(&item, CBrush::FromHandle(::GetSysColorBrush(COLOR_BTNFACE)));
    m_rcText.SetRect(item.left + x - 5, item.top, item.left + x + text.cx + 5, item.top + text.cy + 2);
    m_bFirstDraw = FALSE;
  }
  int oldMode = dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(m_bHover ? m_crHover : m_crLink);
  UINT flags = DST_PREFIXTEXT | ((draw->itemState & ODS_DISABLED) ? DSS_DISABLED : 0);
  ::DrawStateA(dc.m_hDC, nullptr, nullptr, (LPARAM)(LPCSTR)caption, caption.GetLength(), item.left + x, item.top + 1,
               text.cx, text.cy, flags);
  dc.SelectObject(oldFont);
  dc.SetBkMode(oldMode);
  dc.Detach();
}
