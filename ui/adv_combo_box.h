// CAdvComboBox: a drop-down-list combo box drawn by us, on a plain window.
//
// The platform combo box cannot live as a short popup over a list cell and end its
// interaction the way an in-cell editor must, so this one keeps its own items, draws
// its box and button (themed when visual styles are in force, classic otherwise),
// opens its own drop-down (CDropWnd) and answers the standard CB_* messages from its
// item list. It reports to its parent with the standard combo notifications, in the
// order the platform sends them (a choice from the drop-down: CBN_SELENDOK,
// CBN_CLOSEUP, CBN_SELCHANGE). The end of an interaction goes to two virtual
// operations, OnComboComplete and OnEscapeKey, which the in-cell combo turns into
// messages to its list.
#pragma once

#include <list>

#include "platform/win/framework.h"
#include "platform/win/runtime_class.h"
#include "ui/theme_api.h"

class CDropWnd;

// Window class of the combo box.
#define ADVCOMBOBOX_CLASSNAME "SuperComboBox"

// Private messages (wParam as noted, lParam 0).
constexpr UINT WM_ACB_SELECTED_ITEM = WM_USER + 1;      // wParam: drop-down row taken as the selection
constexpr UINT WM_ACB_DESTROY_DROPDOWN = WM_USER + 2;   // close the drop-down (or end the interaction)
constexpr UINT WM_ACB_DROPDOWN_BUTTON = WM_USER + 101;  // open or close the drop-down

// Style flags of the combo and its drop-down.
constexpr DWORD kAcbsStandard = 0x0002;      // what this system always uses
constexpr DWORD kAcbsCheckedItems = 0x0010;  // rows carry check marks: 14 more pixels of width

// One item. The three words are 0 when the item is added and stay 0 in this system.
struct AdvComboItem {
  CString strText;       // the item's text
  DWORD dwDisabled = 0;  // disabled flag
  DWORD dwSpare = 0;     // spare flag
  DWORD dwData = 0;      // item data word
};
typedef std::list<AdvComboItem> AdvComboItemList;

// Everything the combo knows; the window procedure works on this and nothing else.
struct AdvComboState {
  CWnd* m_pParent = nullptr;           // gets the WM_COMMAND notifications, lends its font
  int m_nCurSel = -1;                  // the selection index, -1 none
  CString m_strEdit;                   // the displayed text (the selected item's)
  CFont m_font;                        // owned copy of the parent's font; no handle until attached
  DWORD m_dwACBStyle = kAcbsStandard;  // style flags, handed to the drop-down
  CDropWnd* m_pDropWnd = nullptr;      // the open drop-down (owned); null while closed
  CRect m_rcDropButton;                // the drop button as last painted, client coordinates
  BOOL m_bDropListVisible = FALSE;     // the drop-down is open
  AdvComboItemList m_list;             // the items, in insertion order; an index is a position here
  int m_zDelta = 0;                    // wheel travel not yet turned into a move (units of 120 a notch)
  BOOL m_bHasFocus = FALSE;            // the combo holds the keyboard focus
  BOOL m_bSelItem = FALSE;             // a choice was taken: the close sends no CBN_SELENDCANCEL
  BOOL m_bHot = FALSE;                 // the mouse is over the control
  BOOL m_bHotTimer = FALSE;            // the hot-tracking timer runs
  int m_nMinVisItems = 5;              // rows that must fit below for the drop-down to open downwards
  int m_nDropLines = -1;               // drop-down rows; -1: as many as there are items
  CThemeApi* m_pTheme = &g_ThemeApi;   // theme access (the program's one; tests give their own)
};

class CAdvComboBox : public CWnd {
  DECLARE_DYNCREATE(CAdvComboBox)

 public:
  // parent: gets the notifications; null means the window's parent once attached.
  explicit CAdvComboBox(CWnd* parent = nullptr);
  ~CAdvComboBox() override;

  virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // The interaction was cancelled (Escape with the drop-down closed, loss of focus).
  virtual void OnEscapeKey() {}
  // The interaction ended (Return with the drop-down closed, a row chosen in it).
  virtual void OnComboComplete() {}
  // The font the combo and its drop-down draw with.
  virtual CFont* GetComboFont() { return &m_st.m_font; }
  void PreSubclassWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // Items. Indexes out of range give -1 (or an empty text) and change nothing.
  int AddString(LPCTSTR text);
  void GetLBText(int index, CString& text) const;
  // Copies the text with its terminator; answers its length, as CB_GETLBTEXT does.
  int GetLBText(int index, LPTSTR buffer) const;
  int GetLBTextLen(int index) const;
  int GetCount() const { return (int)m_st.m_list.size(); }
  // The first item whose text equals the displayed text.
  int GetCurSel() const;
  int SetCurSel(int index);
  // From start itself (-1: from 0) to the end, case-sensitive.
  int FindStringExact(int start, LPCTSTR text) const;
  // Returns the previous line count.
  int SetDropLines(int lines);
  int GetDropLines() const { return m_st.m_nDropLines; }

  BOOL IsDropped() const { return m_st.m_bDropListVisible; }
  CDropWnd* GetDropWnd() const { return m_st.m_pDropWnd; }
  CWnd* GetNotifyParent() const { return m_st.m_pParent; }
  void UseThemeApi(CThemeApi* theme) { m_st.m_pTheme = theme; }
  CThemeApi* GetThemeApi() const { return m_st.m_pTheme; }
  int GetMinVisibleItems() const { return m_st.m_nMinVisItems; }
  DWORD GetComboStyle() const { return m_st.m_dwACBStyle; }
  // Draws the whole box into dc (WM_PAINT through an off-screen bitmap, WM_PRINTCLIENT).
  void Paint(CDC* dc);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Focus loss: the standard handling, then OnEscapeKey.
  virtual LRESULT OnKillFocus(HWND newFocus);

  AdvComboState m_st;

 private:
  static void RegisterWindowClass();
  void MakeFontFromParent();
  void Notify(UINT code);
  const AdvComboItem* ItemAt(int index) const;
  void RepaintButton();

  // Message handlers (one per message of the window procedure).
  LRESULT OnCreate(LPARAM lParam);
  void OnPaintMessage();
  void OnMouseMove(CPoint point);
  void OnHotTimer();
  void OnLButtonDown(CPoint point);
  BOOL OnMouseWheel(short delta);
  void OnSetFocus();
  void OnChar(UINT ch);
  void OnKeyDown(UINT key);
  LRESULT OnResetContent();
  LRESULT OnSelectedItem(int row);
  LRESULT OnDestroyDropdownList();
  LRESULT OnDropdownButton();
  LRESULT OnTopIndex(BOOL set, int index);

  // Drop-down and selection moves.
  void CreateDropList();
  void SelPrevItem();
  void SelNextItem();
  void SelPrevPage();
  void SelNextPage();
  // The closed combo takes index as its selection; notifies when it changed.
  void SelectClosed(int index);
  void SelectClosedPage(int delta);
  // The open drop-down's row becomes the window text after a page move.
  void ShowDropRowText(int row);
  void PaintThemed(CDC* dc, HTHEME theme, CRect rc, CRect button, int state, BOOL enabled);
  void PaintClassic(CDC* dc, CRect rc, CRect button, BOOL enabled);
};
