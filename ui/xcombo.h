// CXCombo: the list control's in-cell choice, a CAdvComboBox that tells the list how
// the choice ended with two registered messages, sent with wParam 0 and lParam 0:
// "WM_XCOMBOLIST_COMPLETE" (take the combo's selection) and "WM_XCOMBOLIST_VK_ESCAPE"
// (cancelled). The list closes the combo 50 ms later, after the combo's own message
// handling has returned.
#pragma once

#include "ui/adv_combo_box.h"

extern const UINT WM_XCOMBOLIST_COMPLETE;
extern const UINT WM_XCOMBOLIST_VK_ESCAPE;

struct XComboState {
  CWnd* m_pList = nullptr;  // the list that created it (null: messages go nowhere)
};

class CXCombo : public CAdvComboBox {
 public:
  explicit CXCombo(CWnd* list);

  void OnEscapeKey() override;
  void OnComboComplete() override;
  // The list is closing this combo: from now on nothing is sent to it (destroying a
  // focused combo makes it lose the focus, which would otherwise ask the list again).
  void ForgetList() { m_xst.m_pList = nullptr; }

 protected:
  // Reached from the combo's window procedure on WM_KILLFOCUS.
  LRESULT OnKillFocus(HWND newFocus) override;

 private:
  // Whether wnd is the combo's drop-down or one of its windows.
  bool IsInDropDown(HWND wnd) const;
  void SendToList(UINT message);

  XComboState m_xst;
};
