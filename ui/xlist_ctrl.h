// CXListCtrl: a report list whose cells carry their own looks and editors.
//
// Each cell can have its own text and background colour, an image, a tooltip, a check
// box, a progress bar, an in-cell drop-down choice (CXCombo) or in-cell text editing
// (CXEdit). The list draws every cell itself through the list view's custom draw,
// opens the editors on a click and tells its parent what the user changed with three
// registered messages, wParam the row and lParam the column:
//   "WM_XLISTCTRL_COMBO_SELECTION"  an in-cell combo closed with a choice
//   "WM_XLISTCTRL_EDIT_END"         an in-cell edit ended (not on Escape)
//   "WM_XLISTCTRL_CHECKBOX_CLICKED" the user toggled a cell's check box
// A column's header check box is its header item's image index: 1 empty, 2 ticked.
//
// The cells of a row live in an array stored as the row's item data word, so the list
// view's own data word is not the caller's: GetItemData/SetItemData give the row's
// data word kept in its first cell. All columns are inserted before the first row; a
// row has cells only for the columns that existed when it was inserted, and every
// cell operation checks both the header's column count and the row's own cell count.
#pragma once

#include <vector>

#include "platform/win/framework.h"
#include "platform/win/tooltip_host.h"
#include "ui/xheader_ctrl.h"

class CXCombo;
class CXEdit;

extern const UINT WM_XLISTCTRL_COMBO_SELECTION;
extern const UINT WM_XLISTCTRL_EDIT_END;
extern const UINT WM_XLISTCTRL_CHECKBOX_CLICKED;

// A colour argument that means "the list's default" (window text, window).
constexpr COLORREF kXListDefaultColor = (COLORREF)-1;

// The list's timers.
constexpr UINT_PTR kXListUnlockTimer = 1;         // window updates back on after a combo opened
constexpr UINT_PTR kXListComboEscapeTimer = 2;    // close the combo, cancelled
constexpr UINT_PTR kXListComboCompleteTimer = 3;  // close the combo, taking its choice
constexpr UINT kXListComboDelayMs = 50;
// Control id of the in-cell edit.
constexpr UINT kXListEditId = 99;

// One cell. Defaults are those of a cell nobody has touched.
struct XListCell {
  BOOL bEnabled = TRUE;              // row flag, kept in the row's first cell; nothing changes it
  BOOL bBold = FALSE;                // nothing changes it
  BOOL bModified = FALSE;            // the user changed the cell (editor, check box, header box)
  int nImage = -1;                   // index into the list's small image list; -1 none
  CString strToolTip;                // the cell's tooltip; empty: none
  BOOL bCombo = FALSE;               // a click opens the in-cell combo
  BOOL bSort = FALSE;                // the choices were sorted when attached
  CStringArray* pStrings = nullptr;  // the choices: the caller's array, valid while the list uses it
  int nComboListHeight = 10;         // rows of the combo's drop-down
  int nInitialComboSel = -1;         // choice shown the first time the combo opens; -1 once used
  BOOL bEdit = FALSE;                // a click opens the in-cell edit
  COLORREF crText;                   // text colour (system window text when built)
  COLORREF crBackground;             // background colour (system window colour when built)
  BOOL bShowProgress = FALSE;        // drawn as a progress bar
  int nProgressPercent = 0;          // progress value, 0 to 100 (stored as given)
  CString strProgressText;           // format of the bar text, given the percent; empty: "%d%%"
  BOOL bShowProgressMessage = TRUE;  // draw the text over the bar
  int nCheckedState = -1;            // -1 no check box, 0 unchecked, 1 checked
  DWORD_PTR dwItemData = 0;          // the row's data word, kept in the row's first cell
  XListCell();
};

// A row's cells: one per column that existed when the row was inserted.
struct XListRow {
  std::vector<XListCell> cells;
  explicit XListRow(int columns) : cells((size_t)(columns > 0 ? columns : 0)) {}
};

struct XListState {
  BOOL m_bHeaderIsSubclassed = FALSE;  // the header is attached (once per window)
  int m_nPadding = 5;                  // left and right text padding of cells, pixels
  CString m_strInitialString;          // the cell's text when an in-cell editor opened
  CXEdit* m_pEdit = nullptr;           // the in-cell edit (owned); null when none
  int m_nEditItem = -1;                // its row and column
  int m_nEditSubItem = -1;
  int m_nComboItem = -1;  // the in-cell combo's row and column
  int m_nComboSubItem = -1;
  CRect m_rectComboList;          // the combo's rectangle, screen coordinates
  CXCombo* m_pCombo = nullptr;    // the in-cell combo (owned); null when none
  BOOL m_bUpdatesLocked = FALSE;  // window updates locked while a combo opens (timer 1 unlocks)
  COLORREF m_crWindow = 0;        // system colours the cells draw with, read when
  COLORREF m_crWindowText = 0;    // built and on WM_SYSCOLORCHANGE
  COLORREF m_crHighLight = 0;
  COLORREF m_crHighLightText = 0;
  COLORREF m_crBtnFace = 0;
  COLORREF m_crBtnShadow = 0;
  CToolTipHost m_tips;  // cell tooltips, while enabled
};

class CXListCtrl : public CListCtrl, public IToolHitTest {
 public:
  CXListCtrl();
  ~CXListCtrl() override;

  // Rows. Colours of kXListDefaultColor mean the list's default.
  int InsertItem(const LVITEMA* item, COLORREF crText, COLORREF crBackground);
  int InsertItem(int row, LPCTSTR text, COLORREF crText = kXListDefaultColor,
                 COLORREF crBackground = kXListDefaultColor);
  // 1 done, 0 failed, -1 when iItem < 0. LVIF_PARAM sets the row's data word.
  int SetItem(const LVITEMA* item, COLORREF crText, COLORREF crBackground);
  BOOL SetItemText(int row, int col, LPCTSTR text);
  // text null: only the colours.
  BOOL SetItemText(int row, int col, LPCTSTR text, COLORREF crText, COLORREF crBackground);
  using CListCtrl::GetItemText;
  CString GetItemText(int row, int col) const;
  BOOL DeleteItem(int row);
  void DeleteAllItems();
  DWORD_PTR GetItemData(int row) const;
  BOOL SetItemData(int row, DWORD_PTR data);

  // Cells: 1 (nonzero) done, 0 when the row or column is out of range or the row has
  // no such cell.
  BOOL SetCellEditable(int row, int col);
  BOOL SetCellCombo(int row, int col, BOOL enable, CStringArray* strings, int dropLines = 10, int initialIndex = 0,
                    BOOL sort = FALSE);
  BOOL SetCellCheck(int row, int col, int state);
  int GetCellCheck(int row, int col) const;
  int GetCellCheckState(int row, int col) const { return GetCellCheck(row, col); }
  BOOL SetCellProgress(int row, int col, BOOL showText = TRUE, LPCTSTR format = nullptr);
  void ClearCellProgress(int row, int col);
  BOOL HasCellProgress(int row, int col) const;
  void SetCellPercent(int row, int col, int percent);
  BOOL IsCellModified(int row, int col) const;
  void SetAllCellsModified(BOOL modified);
  BOOL GetCellColors(int row, int col, COLORREF& crText, COLORREF& crBackground) const;
  BOOL SetCellTip(int row, int col, LPCTSTR text);
  // The cell's rectangle (the first column ends where the next visible one starts).
  BOOL GetCellRect(int row, int col, CRect& rect) const;

  BOOL SelectRow(int row, BOOL ensureVisible);
  int GetSelectedRow() const { return GetNextItem(-1, LVNI_SELECTED); }

  // Cell tooltips: tool id row x 1000 + column + 1, text from the cell.
  void EnableToolTips(BOOL enable = TRUE);
  INT_PTR OnToolHitTest(CPoint point, TTTOOLINFOA* ti) const override;
  virtual BOOL OnToolTipText(UINT id, NMHDR* nm, LRESULT* result);

  CXHeaderCtrl& GetXHeader() { return m_HeaderCtrl; }
  const CToolTipHost& GetToolTipHost() const { return m_st.m_tips; }
  CXCombo* GetInCellCombo() const { return m_st.m_pCombo; }
  CXEdit* GetInCellEdit() const { return m_st.m_pEdit; }
  int GetColumnCount() const;

  void PreSubclassWindow() override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  CXHeaderCtrl m_HeaderCtrl;
  XListState m_st;

 private:
  void AttachHeader();
  void ReadSysColors();
  XListRow* RowOf(int row) const;
  XListCell* CellAt(int row, int col) const;
  COLORREF OrDefault(COLORREF color, COLORREF fallback) const { return color == kXListDefaultColor ? fallback : color; }
  void RedrawCell(int row, int col);
  void SendToParent(UINT message, int row, int col);
  void FreeRow(int row);
  void FreeAllRows();
  int HeaderImage(int col) const;
  void SetHeaderImage(int col, int image);
  void UpdateHeaderCheck(int col);

  // Drawing.
  void OnCustomDraw(NMLVCUSTOMDRAW* cd, LRESULT* result);
  void ChooseColors(int row, int col, COLORREF& text, COLORREF& back) const;
  void DrawProgress(CDC* dc, CRect rect, const XListCell& cell);
  void DrawCheckCell(CDC* dc, CRect rect, const XListCell& cell, const CString& text, COLORREF fore, COLORREF back);
  void DrawImageText(CDC* dc, CRect rect, int col, const XListCell* cell, const CString& text, COLORREF fore,
                     COLORREF back);
  BOOL OnEraseBkgnd(HDC hdc);
  void OnPaintMessage(WPARAM wParam);

  // Input.
  void OnLButtonDown(WPARAM flags, LPARAM lParam);
  void StandardClickKeepingEditorFocus(WPARAM flags, LPARAM lParam);
  void OnKeyDown(WPARAM key, LPARAM lParam);
  void OnColumnClick(const NMLISTVIEW* nm);
  void OnTimer(UINT_PTR id);
  void UnlockUpdates();

  // In-cell editors.
  void OpenCombo(int row, int col);
  void CloseCombo(BOOL takeChoice);
  void CancelComboNow();
  void DestroyCombo();
  LRESULT OnComboEscape();
  LRESULT OnComboComplete();
  void OpenEdit(int row, int col);
  LRESULT OnEditKillFocus();
  LRESULT OnEditEscape();
  void DestroyEdit();
};

// The text a progress cell shows: format applied to percent. A format that is not
// plain text with at most one integer conversion (%d, %i, %u, %x, %X, %o with flags,
// width and precision) would read arguments that are not there; "%d%%" stands in.
CString FormatProgressText(LPCTSTR format, int percent);
