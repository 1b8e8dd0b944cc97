#include "platform/win/tooltip_host.h"

CToolTipHost::~CToolTipHost() {
  if (m_tip.m_hWnd) m_tip.DestroyWindow();
}

BOOL CToolTipHost::Enable(CWnd* owner, const IToolHitTest* tester, BOOL enable) {
  if (!enable) {
    ClearTool();
    if (m_tip.m_hWnd) m_tip.DestroyWindow();
    m_pOwner = nullptr;
    m_pTester = nullptr;
    return TRUE;
  }
  m_pOwner = owner;
  m_pTester = tester;
  if (m_tip.m_hWnd) return TRUE;
  return m_tip.Create(owner, TTS_ALWAYSTIP);
}

void CToolTipHost::ClearTool() {
  if (m_nCurrentTool != -1 && m_tip.m_hWnd) m_tip.SendMessage(TTM_DELTOOLA, 0, (LPARAM)&m_current);
  m_nCurrentTool = -1;
  m_current = {};
}

void CToolTipHost::RelayMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_tip.m_hWnd || !m_pOwner || !m_pTester) return;
  if (message == WM_MOUSEMOVE) {
    TTTOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    INT_PTR hit = m_pTester->OnToolHitTest(CPoint((short)LOWORD(lParam), (short)HIWORD(lParam)), &ti);
    if (hit != m_nCurrentTool) {
      ClearTool();
      if (hit != -1) {
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        if (m_tip.SendMessage(TTM_ADDTOOLA, 0, (LPARAM)&ti)) {
          m_nCurrentTool = hit;
          m_current = ti;
        }
      }
    }
  }
  MSG msg = {};
  msg.hwnd = m_pOwner->m_hWnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = (DWORD)::GetMessageTime();
  DWORD pos = ::GetMessagePos();
  msg.pt.x = (short)LOWORD(pos);
  msg.pt.y = (short)HIWORD(pos);
  m_tip.RelayEvent(&msg);
}
