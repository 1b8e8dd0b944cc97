#include "ui/xcombo.h"

#include "ui/drop_wnd.h"

const UINT WM_XCOMBOLIST_COMPLETE = ::RegisterWindowMessageA("WM_XCOMBOLIST_COMPLETE");
const UINT WM_XCOMBOLIST_VK_ESCAPE = ::RegisterWindowMessageA("WM_XCOMBOLIST_VK_ESCAPE");

CXCombo::CXCombo(CWnd* list) : CAdvComboBox(list) { m_xst.m_pList = list; }

void CXCombo::SendToList(UINT message) {
  CWnd* list = m_xst.m_pList;
  if (list && ::IsWindow(list->m_hWnd)) list->SendMessage(message, 0, 0);
}

void CXCombo::OnEscapeKey() { SendToList(WM_XCOMBOLIST_VK_ESCAPE); }

void CXCombo::OnComboComplete() { SendToList(WM_XCOMBOLIST_COMPLETE); }

bool CXCombo::IsInDropDown(HWND wnd) const {
  CDropWnd* drop = GetDropWnd();
  if (!wnd || !drop || !drop->m_hWnd) return false;
  return wnd == drop->m_hWnd || ::IsChild(drop->m_hWnd, wnd);
}

// The drop-down hands the focus to its list or scroll bar as soon as the pointer is
// over them; that is part of choosing, not the end of it. Any other loss of focus
// cancels and then completes, and the list's last word is the completion.
LRESULT CXCombo::OnKillFocus(HWND newFocus) {
  if (IsInDropDown(newFocus)) {
    DefWindowProc(WM_KILLFOCUS, (WPARAM)newFocus, 0);
    return 0;
  }
  CAdvComboBox::OnKillFocus(newFocus);
  OnComboComplete();
  return 0;
}
