// COwnerDrawTabCtrl: a strip of tabs and a raised frame around a page area, drawn by
// the control itself (not the platform's tab control).
//
// It keeps its tabs as OwnerTabItem objects, measures them with its own font, paints
// double-buffered, tells its parent about clicks and selection changes with the tab
// control's notification codes (TCN_SELCHANGING, TCN_SELCHANGE, NM_CLICK,
// TCN_KEYDOWN) and takes its keys through accelerator table 129. CPageTabCtrl
// (page_tab_ctrl.h) shows one child dialog per tab on top of it.
#pragma once

#include "platform/win/framework.h"

class COwnerDrawTabCtrl;

// One tab.
class OwnerTabItem {
 public:
  OwnerTabItem(COwnerDrawTabCtrl* owner, LPCTSTR label, DWORD data, HICON icon);
  virtual ~OwnerTabItem() = default;
  OwnerTabItem(const OwnerTabItem&) = delete;
  OwnerTabItem& operator=(const OwnerTabItem&) = delete;

  // The tab's rectangle in the control's client coordinates.
  virtual CRect GetRect() const;
  virtual void SetIcon(HICON icon) { m_hIcon = icon; }
  virtual BOOL HitTest(CPoint pt) const { return GetRect().PtInRect(pt); }
  // The label, shortened to fit with "...", and the focus rectangle.
  virtual void DrawLabel(CDC* dc, BOOL selected, BOOL focused);
  // Draws the icon (16 x 16) and returns the left edge left for the text.
  virtual int DrawIcon(CDC* dc, BOOL selected);
  virtual void DrawFrame(CDC* dc, BOOL selected);
  // Text width + 2 x 3 (+ 3 + 16 with an icon), at least 11.
  virtual int GetWidth(CDC* dc);
  virtual void Draw(CDC* dc, BOOL selected, BOOL focused);

  CString m_strLabel;           // the tab text
  DWORD m_dwData = 0;           // user data given when the tab was added
  COwnerDrawTabCtrl* m_pOwner;  // the owning control
  HICON m_hIcon = nullptr;      // icon, null for none (not owned)
  int m_nWidth = 0;             // measured width, pixels
  int m_nX = 0;                 // left edge in the control's client coordinates

 protected:
  // The tab rectangle less the frame: 2 pixels lower when unselected, 3 in at the sides.
  CRect ContentRect(BOOL selected) const;
};

// The longest prefix of the label (whole characters) that fits the width followed by
// "..."; when not even one character does, that text cut from the end until it fits
// (possibly empty).
CString FitTabLabel(CDC* dc, const CString& label, int width);

class COwnerDrawTabCtrl : public CWnd {
 public:
  COwnerDrawTabCtrl();
  ~COwnerDrawTabCtrl() override;

  virtual OwnerTabItem* GetTab(int index) const;  // null out of range
  virtual int GetTabHeight() const;               // 22 with tabs on top, 24 at the bottom
  virtual DWORD GetTabStyle() const { return m_dwTabStyle; }
  virtual int GetCurSel() const { return m_nCurSel; }
  virtual int GetTabCount() const { return m_tabs.GetSize(); }
  // (tab width, tab height); for an invalid index (sum of all widths, tab height).
  virtual CSize GetTabSize(int index) const;
  virtual BOOL DeleteTab(int index);
  // Appends a tab, measures the tabs again; the index, or -1. The selection stays.
  virtual int AddTab(LPCTSTR label, DWORD data = 0, HICON icon = nullptr);
  // Style bit 0: tabs along the top, else along the bottom (top when neither low bit).
  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Between TCN_SELCHANGING and TCN_SELCHANGE of a selection change; empty here.
  virtual void OnSelChange(int oldIndex, int newIndex) {}
  // The client rectangle less 2 on every side and less the tab strip.
  virtual CRect GetPageRect() const;
  virtual int HitTest(CPoint pt) const;  // the first tab containing the point, or -1
  // Squeezes the tabs into `available` pixels when they need `total`.
  virtual void CompressTabs(int total, int available);
  virtual void PrepareDC(CDC* dc);
  virtual void RestoreDC(CDC* dc);
  virtual void RecalcLayout();

  // Nothing for an index out of range or already selected; otherwise the parent gets
  // TCN_SELCHANGING, OnSelChange runs, the index becomes current and the parent gets
  // TCN_SELCHANGE. Returns the previous selection.
  int SetCurSel(int index);
  BOOL PreTranslateMessage(MSG* msg) override;
  // "-11,0,...,MS Sans Serif": the 13 numbers of a LOGFONT in order, then the face.
  static void ParseLogFont(LOGFONTA* lf, LPCTSTR text);

  CArray<OwnerTabItem*> m_tabs;  // owned, in strip order
  DWORD m_dwTabStyle = 0;        // bit 0: tabs along the top edge
  HACCEL m_hAccel = nullptr;     // accelerator table 129 of the program
  int m_nCurSel = -1;            // selected tab, -1 for none
  CFont m_font;                  // the tabs' font (made in Create)

 protected:
  void Notify(UINT code);
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnSetFocus(CWnd*);
  afx_msg void OnKillFocus(CWnd*);
  afx_msg void OnLButtonDown(UINT flags, CPoint pt);
  afx_msg UINT OnGetDlgCode() { return DLGC_WANTARROWS | DLGC_WANTTAB; }
  afx_msg void OnTabCommand(UINT id);
  DECLARE_MESSAGE_MAP()

 private:
  CFont* m_pOldFont = nullptr;  // the font PrepareDC replaced
};

// Shared drawing resources of every tab strip, made once.
struct TabStripPalette {
  COLORREF crBackground;  // COLOR_BTNFACE
  CPen penScrollbar;      // COLOR_SCROLLBAR
  CPen penFace;           // COLOR_BTNFACE
  CPen penWhite;
  CPen penBlack;
  static TabStripPalette& Get();
};
