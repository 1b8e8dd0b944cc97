// CXEdit: the list control's in-cell text editor, a single-line edit over the cell.
//
// It tells its list how the edit ended with exactly one of two registered messages,
// sent with wParam 0 and lParam 0: "WM_XEDIT_KILL_FOCUS" (Return or loss of focus:
// take the text) or "WM_XEDIT_VK_ESCAPE" (put the old text back). The list destroys
// and deletes the edit from inside that message, so the edit touches none of its own
// state after sending.
#pragma once

#include "platform/win/framework.h"

extern const UINT WM_XEDIT_KILL_FOCUS;
extern const UINT WM_XEDIT_VK_ESCAPE;

struct XEditState {
  CWnd* m_pList = nullptr;      // the list to tell; the parent when none was given, null when not a window
  CString m_strInitialText;     // the cell's text, shown selected when the edit opens
  BOOL m_bMessageSent = FALSE;  // the one ending message has gone out
};

class CXEdit : public CEdit {
 public:
  CXEdit(CWnd* list, LPCTSTR initialText);
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCreate(LPARAM lParam);
  void OnChar(UINT ch, LPARAM lParam);
  void OnKillFocus(HWND newFocus);
  void OnPaintMessage();
  void OnDestroy();
  // The one ending message: sent only the first time and only to a live list.
  void SendEnding(UINT message);

  XEditState m_st;
};
