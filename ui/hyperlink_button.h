// CHyperLinkButton: a push button drawn as a web link: underlined text in a link
// colour that changes while the mouse is over it, a hand cursor, and a click that
// opens the link's address.
//
// Addresses are opened through one hook (SetOpenLinkHook), which tests replace. The
// real one opens only http:// and https:// addresses with the system's "open" action;
// anything else, an empty text included, is refused.
#pragma once

#include "platform/win/framework.h"

// Opens a link; TRUE when it was handed to the system.
typedef BOOL (*OpenLinkHook)(LPCTSTR url);
// Installs a hook (null: the real opener); returns the previous one.
OpenLinkHook SetOpenLinkHook(OpenLinkHook hook);
// The real opener: http:// or https:// (any case) and something after it, no control
// characters; then ShellExecute "open".
BOOL OpenWebLink(LPCTSTR url);
// Whether the real opener would take the address.
BOOL IsWebLink(LPCTSTR url);

class CHyperLinkButton : public CButton {
 public:
  CHyperLinkButton();
  ~CHyperLinkButton() override = default;

  void SetLinkUrl(LPCTSTR url) { m_strUrl = url ? url : ""; }
  BOOL PreTranslateMessage(MSG* msg) override;
  void DrawItem(LPDRAWITEMSTRUCT draw) override;

  COLORREF m_crLink = 0xC80000;   // text colour when idle
  COLORREF m_crHover = 0xFF0000;  // text colour while the mouse is over it
  CString m_strUrl;               // the address a click opens
  CToolTipCtrl m_tooltip;         // never created here; mouse moves reach it if it is
  CFont m_font;                   // underlined Arial, 14 pixels
  BOOL m_bHover = FALSE;          // the hover colour is shown
  CRect m_rcText;                 // the text's hit rectangle; empty until measured
  BOOL m_bFirstDraw = TRUE;       // the background is filled on the first drawing only

 protected:
  void PreSubclassWindow() override;
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  afx_msg void OnMouseMove(UINT flags, CPoint pt);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnLButtonDown(UINT flags, CPoint pt);
  afx_msg BOOL OnSetCursor(CWnd*, UINT, UINT);
  DECLARE_MESSAGE_MAP()

 private:
  void RepaintNow();
};
