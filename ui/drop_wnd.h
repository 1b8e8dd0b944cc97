// CDropWnd: the drop-down of CAdvComboBox, with its list (CDropListBox) and its own
// scroll bar (CDropScrollBar), and a grip in the bottom-right corner to resize it.
//
// It places itself below the combo, or above it when fewer than the combo's minimum
// rows fit below, sized to the items and the screen. While it is open it always holds
// the mouse capture through one of its three windows, so that it sees every click:
// the row under the pointer follows the mouse, a release over a row chooses it, and
// a click anywhere else asks the combo to close. It tells the combo with two posted
// messages (the chosen row, then the close request), never by calling it, because
// the combo destroys the drop-down when it closes.
#pragma once

#include <memory>

#include "platform/win/framework.h"
#include "ui/adv_combo_box.h"

class CDropScrollBar;

// Capture hand-over between the drop-down's three windows.
constexpr UINT WM_DROP_TAKE_CAPTURE = WM_USER + 3;
constexpr UINT WM_DROP_RELEASE_CAPTURE = WM_USER + 4;

// Child control ids inside the drop-down.
constexpr UINT kDropScrollBarId = 100;
constexpr UINT kDropListBoxId = 101;

// Where the drop-down goes. Pure arithmetic, so that the rules can be checked for any
// screen and item height.
struct DropPlacementInput {
  CRect rcCreate;        // creation rectangle: the combo's bottom-left, the combo's width
  CRect rcCombo;         // the combo's window rectangle (screen)
  int nItemHeight = 0;   // row height in pixels (0 or less is taken as 1)
  int nItems = 0;        // number of rows
  int nDropLines = -1;   // the combo's drop line count; -1: all rows
  int nMinVisItems = 5;  // rows that must fit below
  int nWidestText = 0;   // widest row text in the combo's font, pixels
  DWORD dwStyle = 0;     // the combo's style flags
  CSize sizeScreen;      // SM_CXSCREEN, SM_CYSCREEN
  int cxVScroll = 0;     // SM_CXVSCROLL
  int cyVScroll = 0;     // SM_CYVSCROLL
};
// The drop-down's window rectangle in screen coordinates.
CRect PlaceDropDown(const DropPlacementInput& in);

// The drop-down list: rows are copies of the combo's items.
struct DropListState {
  CAdvComboBox* m_pCombo = nullptr;     // the combo that owns the drop-down
  CDropScrollBar* m_pScroll = nullptr;  // the scroll bar that follows the top row
  int m_nLastTopIdx = 0;                // top row last passed to the scroll bar
  DWORD m_dwACBStyle = 0;               // the combo's style flags
};

class CDropListBox : public CListBox {
 public:
  CDropListBox(CAdvComboBox* combo, CDropScrollBar* scroll);
  ~CDropListBox() override;

  int AddListItem(const AdvComboItem& item);
  // Sets the selected row; after a change the scroll bar follows the top row.
  int SetSel(int row);
  // Sets the top row; the scroll bar follows when asked.
  void SetTop(int row, BOOL scroll);
  // The row height, never below 1 (a list without rows or without a window answers
  // 0 or LB_ERR, and every caller divides by it).
  int ItemHeight() const;
  // Rows that fit wholly in the client area.
  int VisibleRows() const;
  CString RowText(int row) const;
  void SetStyleFlags(DWORD flags) { m_st.m_dwACBStyle = flags; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCreate(LPARAM lParam);
  void OnMouseMove(CPoint point);
  void OnLButtonUp(CPoint point);
  void FreeItemCopies();

  DropListState m_st;
};

// The drop-down's scroll bar: moves the list's top row.
struct DropScrollState {
  CDropListBox* m_pListBox = nullptr;  // the list it scrolls; null until bound
};

class CDropScrollBar : public CScrollBar {
 public:
  // Binds the list: range 0 .. rows - 1, page = visible rows, position 0.
  void SetListBox(CDropListBox* list);
  void SetPage(int rows);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnVScroll(UINT code, UINT pos);

  DropScrollState m_st;
};

struct DropWndState {
  CSize m_sizeMax{1000, 1000};                // largest size the grip may give (initial + 100 each)
  std::unique_ptr<CDropListBox> m_pListBox;   // the rows (owned)
  CRect m_rcList;                             // the list's rectangle, client coordinates
  std::unique_ptr<CDropScrollBar> m_pScroll;  // the scroll bar (owned)
  CRect m_rcScroll;                           // the scroll bar's rectangle, client coordinates
  CRect m_rcSizeHandle;                       // the grip, client coordinates
  CAdvComboBox* m_pCombo = nullptr;           // the combo that opened it (not owned)
  AdvComboItemList m_list;                    // copy of the combo's items, taken at construction
  BOOL m_bResizing = FALSE;                   // a grip drag is in progress
  CPoint m_ptLastResize;                      // where the drag started, client coordinates
  int m_nMouseDiffX = 0;                      // client width - x at the start of the drag
  int m_nMouseDiffY = 0;                      // client height - y at the start of the drag
  DWORD m_dwACBStyle = 0;                     // the combo's style flags
};

class CDropWnd : public CWnd {
 public:
  CDropWnd(CAdvComboBox* combo, const AdvComboItemList& items, DWORD style);
  ~CDropWnd() override;

  // A child of the desktop at rect (the combo's bottom-left, its width, no height);
  // the window then sizes and places itself.
  BOOL CreateDropDown(const RECT& rect);
  BOOL DestroyWindow() override;
  CDropListBox* GetListBox() const { return m_st.m_pListBox.get(); }
  CDropScrollBar* GetScrollBar() const { return m_st.m_pScroll.get(); }
  CRect GetGripRect() const { return m_st.m_rcSizeHandle; }
  CSize GetMaxSize() const { return m_st.m_sizeMax; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCreate(LPCREATESTRUCT cs);
  void OnSize(int cx, int cy);
  void OnPaintMessage();
  void Paint(CDC* dc);
  void OnMouseMove(UINT flags, CPoint point);
  void DragGrip(CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp();
  void OnActivateApp(BOOL active);
  void FillList();
  CThemeApi* Theme() const { return m_st.m_pCombo ? m_st.m_pCombo->GetThemeApi() : &g_ThemeApi; }

  DropWndState m_st;
};
