#include "ui/xedit.h"

const UINT WM_XEDIT_KILL_FOCUS = ::RegisterWindowMessageA("WM_XEDIT_KILL_FOCUS");
const UINT WM_XEDIT_VK_ESCAPE = ::RegisterWindowMessageA("WM_XEDIT_VK_ESCAPE");

CXEdit::CXEdit(CWnd* list, LPCTSTR initialText) {
  m_st.m_pList = list;
  m_st.m_strInitialText = initialText ? initialText : "";
}

LRESULT CXEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(lParam);
    case WM_CHAR: OnChar((UINT)wParam, lParam); return 0;
    case WM_KILLFOCUS: OnKillFocus((HWND)wParam); return 0;
    case WM_PAINT: OnPaintMessage(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return CEdit::WindowProc(message, wParam, lParam);
  }
}

LRESULT CXEdit::OnCreate(LPARAM lParam) {
  LRESULT r = DefWindowProc(WM_CREATE, 0, lParam);
  if (r == -1) return r;
  if (!m_st.m_pList) m_st.m_pList = GetParent();
  if (m_st.m_pList && ::IsWindow(m_st.m_pList->m_hWnd))
    SetFont(m_st.m_pList->GetFont(), FALSE);
  else
    m_st.m_pList = nullptr;
  SetWindowText(m_st.m_strInitialText);
  SendMessage(EM_SETSEL, 0, -1);
  SetFocus();
  SetCapture();
  return r;
}

void CXEdit::SendEnding(UINT message) {
  BOOL first = !m_st.m_bMessageSent;
  m_st.m_bMessageSent = TRUE;
  CWnd* list = m_st.m_pList;
  if (first && list && ::IsWindow(list->m_hWnd)) list->SendMessage(message, 0, 0);
  // This object may be gone now.
}

BOOL CXEdit::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
    SendEnding(WM_XEDIT_KILL_FOCUS);
    return TRUE;
  }
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) {
    SendEnding(WM_XEDIT_VK_ESCAPE);
    return TRUE;
  }
  return CEdit::PreTranslateMessage(msg);
}

void CXEdit::OnChar(UINT ch, LPARAM lParam) {
  if (m_st.m_pList && ch == VK_ESCAPE) {
    SendEnding(WM_XEDIT_VK_ESCAPE);
  } else if (m_st.m_pList && ch == VK_RETURN) {
    SendEnding(WM_XEDIT_KILL_FOCUS);
  } else {
    DefWindowProc(WM_CHAR, ch, lParam);
  }
}

void CXEdit::OnKillFocus(HWND newFocus) {
  DefWindowProc(WM_KILLFOCUS, (WPARAM)newFocus, 0);
  SendEnding(WM_XEDIT_KILL_FOCUS);
}

// A white field with a thin frame in the inactive-caption colour, so that the edit
// reads as one with the cell it covers.
void CXEdit::OnPaintMessage() {
  CRect rc;
  GetClientRect(&rc);
  {
    CClientDC dc(this);
    CRect field = rc;
    field.right += 2;
    dc.FillSolidRect(&field, ::GetSysColor(COLOR_WINDOW));
  }
  Default();
  CClientDC dc(this);
  CPen pen(PS_SOLID, 1, ::GetSysColor(COLOR_INACTIVECAPTION));
  CPen* oldPen = dc.SelectObject(&pen);
  HGDIOBJ oldBrush = dc.SelectObject(::GetStockObject(HOLLOW_BRUSH));
  dc.Rectangle(rc.left - 1, rc.top - 1, rc.right + 2, rc.bottom - 1);
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
}

void CXEdit::OnDestroy() {
  if (::GetCapture() == m_hWnd) ::ReleaseCapture();
  Default();
}
