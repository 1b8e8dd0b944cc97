// Wrappers of the standard and common controls: each method is the control's own
// message, nothing more.
#pragma once

#include "platform/win/gdi.h"
#include "platform/win/wnd.h"

class CImageList;

// Owner-drawn wrappers answer WM_DRAWITEM / WM_MEASUREITEM themselves.
#define CW_OWNER_DRAW_()                                                                                          \
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {                      \
    if (!CWnd::OnChildNotify(message, wParam, lParam, result)) return ReflectOwnerDraw_(message, lParam, result); \
    return TRUE;                                                                                                  \
  }

// Creation shared by the wrappers: a child of the given class.
#define CW_CONTROL_CREATE_(cls)                                                     \
  BOOL Create(LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) { \
    return CWnd::CreateEx(0, cls, text, style | WS_CHILD, rect, parent, id);        \
  }

class CButton : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, "BUTTON", text, style | WS_CHILD, rect, parent, id);
  }
  int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, (WPARAM)check); }
  UINT GetState() const { return (UINT)SendMessage(BM_GETSTATE); }
  void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, (WPARAM)highlight); }
  UINT GetButtonStyle() const { return (UINT)GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
  HBITMAP SetBitmap(HBITMAP bmp) { return (HBITMAP)SendMessage(BM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bmp); }
  HICON SetIcon(HICON icon) { return (HICON)SendMessage(BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon); }
  void Click() { SendMessage(BM_CLICK); }
};

class CStatic : public CWnd {
 public:
  CW_OWNER_DRAW_()
  CW_CONTROL_CREATE_("STATIC")
  HICON SetIcon(HICON icon) { return (HICON)SendMessage(STM_SETICON, (WPARAM)icon); }
  HBITMAP SetBitmap(HBITMAP bmp) { return (HBITMAP)SendMessage(STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bmp); }
  HBITMAP GetBitmap() const { return (HBITMAP)SendMessage(STM_GETIMAGE, IMAGE_BITMAP); }
};

class CEdit : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, "EDIT", "", style | WS_CHILD, rect, parent, id);
  }
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, (WPARAM)start, end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& start, int& end) const { SendMessage(EM_GETSEL, (WPARAM)&start, (LPARAM)&end); }
  void ReplaceSel(LPCTSTR text, BOOL canUndo = FALSE) { SendMessage(EM_REPLACESEL, canUndo, (LPARAM)text); }
  void SetLimitText(UINT max) { SendMessage(EM_SETLIMITTEXT, max); }
  void LimitText(int max = 0) { SendMessage(EM_LIMITTEXT, (WPARAM)max); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return (BOOL)SendMessage(EM_SETREADONLY, readOnly); }
  BOOL GetModify() const { return (BOOL)SendMessage(EM_GETMODIFY); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, modified); }
  int GetLineCount() const { return (int)SendMessage(EM_GETLINECOUNT); }
  int LineIndex(int line = -1) const { return (int)SendMessage(EM_LINEINDEX, (WPARAM)line); }
  int LineFromChar(int ch = -1) const { return (int)SendMessage(EM_LINEFROMCHAR, (WPARAM)ch); }
  int LineLength(int ch = -1) const { return (int)SendMessage(EM_LINELENGTH, (WPARAM)ch); }
  void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, (WPARAM)chars, lines); }
  int GetFirstVisibleLine() const { return (int)SendMessage(EM_GETFIRSTVISIBLELINE); }
  BOOL Undo() { return (BOOL)SendMessage(EM_UNDO); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
  void Clear() { SendMessage(WM_CLEAR); }
};

class CComboBox : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, "COMBOBOX", "", style | WS_CHILD, rect, parent, id);
  }
  int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)i); }
  int AddString(LPCTSTR s) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int i, LPCTSTR s) { return (int)SendMessage(CB_INSERTSTRING, (WPARAM)i, (LPARAM)s); }
  int DeleteString(UINT i) { return (int)SendMessage(CB_DELETESTRING, i); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int FindString(int after, LPCTSTR s) const { return (int)SendMessage(CB_FINDSTRING, (WPARAM)after, (LPARAM)s); }
  int FindStringExact(int after, LPCTSTR s) const {
    return (int)SendMessage(CB_FINDSTRINGEXACT, (WPARAM)after, (LPARAM)s);
  }
  int SelectString(int after, LPCTSTR s) { return (int)SendMessage(CB_SELECTSTRING, (WPARAM)after, (LPARAM)s); }
  int GetLBTextLen(int i) const { return (int)SendMessage(CB_GETLBTEXTLEN, (WPARAM)i); }
  void GetLBText(int i, CString& s) const;
  DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(CB_GETITEMDATA, (WPARAM)i); }
  int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(CB_SETITEMDATA, (WPARAM)i, (LPARAM)d); }
  int GetItemHeight(int i) const { return (int)SendMessage(CB_GETITEMHEIGHT, (WPARAM)i); }
  int SetItemHeight(int i, UINT h) { return (int)SendMessage(CB_SETITEMHEIGHT, (WPARAM)i, h); }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, show); }
  BOOL GetDroppedState() const { return (BOOL)SendMessage(CB_GETDROPPEDSTATE); }
  void GetDroppedControlRect(LPRECT r) const { SendMessage(CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)r); }
  int SetDroppedWidth(UINT w) { return (int)SendMessage(CB_SETDROPPEDWIDTH, w); }
  BOOL LimitText(int max) { return (BOOL)SendMessage(CB_LIMITTEXT, (WPARAM)max); }
  BOOL SetEditSel(int start, int end) { return (BOOL)SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(start, end)); }
};

class CListBox : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, "LISTBOX", "", style | WS_CHILD, rect, parent, id);
  }
  int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
  int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(LB_SETCURSEL, (WPARAM)i); }
  int GetSel(int i) const { return (int)SendMessage(LB_GETSEL, (WPARAM)i); }
  int SetSel(int i, BOOL select = TRUE) { return (int)SendMessage(LB_SETSEL, select, i); }
  int GetSelCount() const { return (int)SendMessage(LB_GETSELCOUNT); }
  int AddString(LPCTSTR s) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)s); }
  int InsertString(int i, LPCTSTR s) { return (int)SendMessage(LB_INSERTSTRING, (WPARAM)i, (LPARAM)s); }
  int DeleteString(UINT i) { return (int)SendMessage(LB_DELETESTRING, i); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int FindString(int after, LPCTSTR s) const { return (int)SendMessage(LB_FINDSTRING, (WPARAM)after, (LPARAM)s); }
  int FindStringExact(int after, LPCTSTR s) const {
    return (int)SendMessage(LB_FINDSTRINGEXACT, (WPARAM)after, (LPARAM)s);
  }
  int GetTextLen(int i) const { return (int)SendMessage(LB_GETTEXTLEN, (WPARAM)i); }
  void GetText(int i, CString& s) const;
  DWORD_PTR GetItemData(int i) const { return (DWORD_PTR)SendMessage(LB_GETITEMDATA, (WPARAM)i); }
  int SetItemData(int i, DWORD_PTR d) { return (int)SendMessage(LB_SETITEMDATA, (WPARAM)i, (LPARAM)d); }
  int GetItemHeight(int i) const { return (int)SendMessage(LB_GETITEMHEIGHT, (WPARAM)i); }
  int SetItemHeight(int i, UINT h) { return (int)SendMessage(LB_SETITEMHEIGHT, (WPARAM)i, h); }
  int GetItemRect(int i, LPRECT r) const { return (int)SendMessage(LB_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  int GetTopIndex() const { return (int)SendMessage(LB_GETTOPINDEX); }
  int SetTopIndex(int i) { return (int)SendMessage(LB_SETTOPINDEX, (WPARAM)i); }
  // Index of the item at a client point; outside is set when the point is below
  // the last item.
  UINT ItemFromPoint(CPoint pt, BOOL& outside) const {
    DWORD r = (DWORD)SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    outside = HIWORD(r) != 0;
    return LOWORD(r);
  }
};

class CScrollBar : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, "SCROLLBAR", "", style | WS_CHILD, rect, parent, id);
  }
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
  void SetScrollRange(int lo, int hi, BOOL redraw = TRUE) { ::SetScrollRange(m_hWnd, SB_CTL, lo, hi, redraw); }
  void GetScrollRange(int* lo, int* hi) const { ::GetScrollRange(m_hWnd, SB_CTL, lo, hi); }
  BOOL SetScrollInfo(SCROLLINFO* si, BOOL redraw = TRUE) {
    si->cbSize = sizeof *si;
    return ::SetScrollInfo(m_hWnd, SB_CTL, si, redraw);
  }
  BOOL GetScrollInfo(SCROLLINFO* si, UINT mask = SIF_ALL) const {
    si->cbSize = sizeof *si;
    si->fMask = mask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, si);
  }
  void ShowScrollBar(BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, SB_CTL, show); }
  BOOL EnableScrollBar(UINT arrows = ESB_ENABLE_BOTH) { return ::EnableScrollBar(m_hWnd, SB_CTL, arrows); }
};

class CImageList {
 public:
  CImageList() = default;
  ~CImageList() { DeleteImageList(); }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  HIMAGELIST m_hImageList = nullptr;
  operator HIMAGELIST() const { return m_hImageList; }
  HIMAGELIST GetSafeHandle() const { return m_hImageList; }
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow) {
    return Attach(ImageList_Create(cx, cy, flags, initial, grow));
  }
  // A strip bitmap resource cut into images cx wide; mask colour for transparency.
  BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask) {
    return Attach(ImageList_LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId), cx, grow, mask,
                                       IMAGE_BITMAP, LR_CREATEDIBSECTION));
  }
  BOOL Attach(HIMAGELIST h) {
    if (m_hImageList || !h) return FALSE;
    m_hImageList = h;
    return TRUE;
  }
  HIMAGELIST Detach() {
    HIMAGELIST h = m_hImageList;
    m_hImageList = nullptr;
    return h;
  }
  BOOL DeleteImageList() {
    if (!m_hImageList) return FALSE;
    return ImageList_Destroy(Detach());
  }
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  int Add(CBitmap* bmp, CBitmap* mask) { return ImageList_Add(m_hImageList, *bmp, mask ? (HBITMAP)*mask : nullptr); }
  int Add(CBitmap* bmp, COLORREF mask) { return ImageList_AddMasked(m_hImageList, *bmp, mask); }
  int Add(HICON icon) { return ImageList_AddIcon(m_hImageList, icon); }
  BOOL Remove(int i) { return ImageList_Remove(m_hImageList, i); }
  BOOL Draw(CDC* dc, int i, POINT p, UINT style) { return ImageList_Draw(m_hImageList, i, *dc, p.x, p.y, style); }
  COLORREF SetBkColor(COLORREF c) { return ImageList_SetBkColor(m_hImageList, c); }
  BOOL GetImageInfo(int i, IMAGEINFO* info) const { return ImageList_GetImageInfo(m_hImageList, i, info); }
  HICON ExtractIcon(int i) { return ImageList_ExtractIcon(nullptr, m_hImageList, i); }
  BOOL GetIconSize(int* cx, int* cy) const { return ImageList_GetIconSize(m_hImageList, cx, cy); }
};

inline HIMAGELIST HandleOf(const CImageList* l) { return l ? l->m_hImageList : nullptr; }

class CHeaderCtrl : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, WC_HEADERA, "", style | WS_CHILD, rect, parent, id);
  }
  int GetItemCount() const { return (int)SendMessage(HDM_GETITEMCOUNT); }
  BOOL GetItem(int i, HDITEMA* item) const { return (BOOL)SendMessage(HDM_GETITEMA, (WPARAM)i, (LPARAM)item); }
  BOOL SetItem(int i, HDITEMA* item) { return (BOOL)SendMessage(HDM_SETITEMA, (WPARAM)i, (LPARAM)item); }
  int InsertItem(int i, HDITEMA* item) { return (int)SendMessage(HDM_INSERTITEMA, (WPARAM)i, (LPARAM)item); }
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(HDM_DELETEITEM, (WPARAM)i); }
  BOOL GetItemRect(int i, LPRECT r) const { return (BOOL)SendMessage(HDM_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  int HitTest(HDHITTESTINFO* info) const { return (int)SendMessage(HDM_HITTEST, 0, (LPARAM)info); }
  CImageList* SetImageList(CImageList* list);
  int OrderToIndex(int order) const { return (int)SendMessage(HDM_ORDERTOINDEX, (WPARAM)order); }
};

class CListCtrl : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, WC_LISTVIEWA, "", style | WS_CHILD, rect, parent, id);
  }
  // Columns.
  int InsertColumn(int col, const LVCOLUMNA* c) { return (int)SendMessage(LVM_INSERTCOLUMNA, (WPARAM)col, (LPARAM)c); }
  int InsertColumn(int col, LPCTSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int col) { return (BOOL)SendMessage(LVM_DELETECOLUMN, (WPARAM)col); }
  BOOL GetColumn(int col, LVCOLUMNA* c) const { return (BOOL)SendMessage(LVM_GETCOLUMNA, (WPARAM)col, (LPARAM)c); }
  BOOL SetColumn(int col, const LVCOLUMNA* c) { return (BOOL)SendMessage(LVM_SETCOLUMNA, (WPARAM)col, (LPARAM)c); }
  int GetColumnWidth(int col) const { return (int)SendMessage(LVM_GETCOLUMNWIDTH, (WPARAM)col); }
  BOOL SetColumnWidth(int col, int cx) { return (BOOL)SendMessage(LVM_SETCOLUMNWIDTH, (WPARAM)col, MAKELPARAM(cx, 0)); }
  CHeaderCtrl* GetHeaderCtrl() const { return (CHeaderCtrl*)CWnd::FromHandle((HWND)SendMessage(LVM_GETHEADER)); }
  // Items.
  int GetItemCount() const { return (int)SendMessage(LVM_GETITEMCOUNT); }
  void SetItemCount(int n) { SendMessage(LVM_SETITEMCOUNT, (WPARAM)n); }
  int InsertItem(const LVITEMA* item) { return (int)SendMessage(LVM_INSERTITEMA, 0, (LPARAM)item); }
  int InsertItem(int i, LPCTSTR text) { return InsertItem(LVIF_TEXT, i, text, 0, 0, 0, 0); }
  int InsertItem(int i, LPCTSTR text, int image) { return InsertItem(LVIF_TEXT | LVIF_IMAGE, i, text, 0, 0, image, 0); }
  int InsertItem(UINT mask, int i, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM param);
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(LVM_DELETEITEM, (WPARAM)i); }
  BOOL DeleteAllItems() { return (BOOL)SendMessage(LVM_DELETEALLITEMS); }
  BOOL GetItem(LVITEMA* item) const { return (BOOL)SendMessage(LVM_GETITEMA, 0, (LPARAM)item); }
  BOOL SetItem(const LVITEMA* item) { return (BOOL)SendMessage(LVM_SETITEMA, 0, (LPARAM)item); }
  BOOL SetItem(int i, int sub, UINT mask, LPCTSTR text, int image, UINT state, UINT stateMask, LPARAM param);
  CString GetItemText(int i, int sub) const;
  int GetItemText(int i, int sub, LPTSTR buf, int len) const;
  BOOL SetItemText(int i, int sub, LPCTSTR text);
  DWORD_PTR GetItemData(int i) const;
  BOOL SetItemData(int i, DWORD_PTR data) { return SetItem(i, 0, LVIF_PARAM, nullptr, 0, 0, 0, (LPARAM)data); }
  UINT GetItemState(int i, UINT mask) const { return (UINT)SendMessage(LVM_GETITEMSTATE, (WPARAM)i, mask); }
  BOOL SetItemState(int i, UINT state, UINT mask);
  BOOL GetItemRect(int i, LPRECT r, UINT code) const {
    r->left = (LONG)code;
    return (BOOL)SendMessage(LVM_GETITEMRECT, (WPARAM)i, (LPARAM)r);
  }
  BOOL GetSubItemRect(int i, int sub, int area, CRect& r) const {
    r.top = sub;
    r.left = area;
    return (BOOL)SendMessage(LVM_GETSUBITEMRECT, (WPARAM)i, (LPARAM)(RECT*)&r);
  }
  int GetNextItem(int start, int flags) const {
    return (int)SendMessage(LVM_GETNEXTITEM, (WPARAM)start, MAKELPARAM(flags, 0));
  }
  UINT GetSelectedCount() const { return (UINT)SendMessage(LVM_GETSELECTEDCOUNT); }
  int GetSelectionMark() const { return (int)SendMessage(LVM_GETSELECTIONMARK); }
  int SetSelectionMark(int i) { return (int)SendMessage(LVM_SETSELECTIONMARK, 0, i); }
  int HitTest(LVHITTESTINFO* info) const { return (int)SendMessage(LVM_HITTEST, 0, (LPARAM)info); }
  int HitTest(CPoint pt, UINT* flags = nullptr) const;
  int SubItemHitTest(LVHITTESTINFO* info) { return (int)SendMessage(LVM_SUBITEMHITTEST, 0, (LPARAM)info); }
  BOOL EnsureVisible(int i, BOOL partialOK) { return (BOOL)SendMessage(LVM_ENSUREVISIBLE, (WPARAM)i, partialOK); }
  int GetTopIndex() const { return (int)SendMessage(LVM_GETTOPINDEX); }
  int GetCountPerPage() const { return (int)SendMessage(LVM_GETCOUNTPERPAGE); }
  BOOL RedrawItems(int first, int last) { return (BOOL)SendMessage(LVM_REDRAWITEMS, (WPARAM)first, last); }
  BOOL Update(int i) { return (BOOL)SendMessage(LVM_UPDATE, (WPARAM)i); }
  BOOL Scroll(CSize s) { return (BOOL)SendMessage(LVM_SCROLL, (WPARAM)s.cx, s.cy); }
  BOOL SortItems(PFNLVCOMPARE fn, DWORD_PTR data) { return (BOOL)SendMessage(LVM_SORTITEMS, (WPARAM)data, (LPARAM)fn); }
  // Looks.
  DWORD GetExtendedStyle() const { return (DWORD)SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE); }
  DWORD SetExtendedStyle(DWORD ex) { return (DWORD)SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex); }
  CImageList* SetImageList(CImageList* list, int which);
  HIMAGELIST GetImageList(int which) const { return (HIMAGELIST)SendMessage(LVM_GETIMAGELIST, (WPARAM)which); }
  COLORREF GetBkColor() const { return (COLORREF)SendMessage(LVM_GETBKCOLOR); }
  BOOL SetBkColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETBKCOLOR, 0, c); }
  COLORREF GetTextColor() const { return (COLORREF)SendMessage(LVM_GETTEXTCOLOR); }
  BOOL SetTextColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETTEXTCOLOR, 0, c); }
  COLORREF GetTextBkColor() const { return (COLORREF)SendMessage(LVM_GETTEXTBKCOLOR); }
  BOOL SetTextBkColor(COLORREF c) { return (BOOL)SendMessage(LVM_SETTEXTBKCOLOR, 0, c); }
  CEdit* GetEditControl() const { return (CEdit*)CWnd::FromHandle((HWND)SendMessage(LVM_GETEDITCONTROL)); }
};

class CTabCtrl : public CWnd {
 public:
  CW_OWNER_DRAW_()
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, WC_TABCONTROLA, "", style | WS_CHILD, rect, parent, id);
  }
  int GetItemCount() const { return (int)SendMessage(TCM_GETITEMCOUNT); }
  BOOL GetItem(int i, TCITEMA* item) const { return (BOOL)SendMessage(TCM_GETITEMA, (WPARAM)i, (LPARAM)item); }
  BOOL SetItem(int i, TCITEMA* item) { return (BOOL)SendMessage(TCM_SETITEMA, (WPARAM)i, (LPARAM)item); }
  int InsertItem(int i, const TCITEMA* item) { return (int)SendMessage(TCM_INSERTITEMA, (WPARAM)i, (LPARAM)item); }
  int InsertItem(int i, LPCTSTR text, int image = -1);
  BOOL DeleteItem(int i) { return (BOOL)SendMessage(TCM_DELETEITEM, (WPARAM)i); }
  BOOL DeleteAllItems() { return (BOOL)SendMessage(TCM_DELETEALLITEMS); }
  int GetCurSel() const { return (int)SendMessage(TCM_GETCURSEL); }
  int SetCurSel(int i) { return (int)SendMessage(TCM_SETCURSEL, (WPARAM)i); }
  int GetCurFocus() const { return (int)SendMessage(TCM_GETCURFOCUS); }
  void SetCurFocus(int i) { SendMessage(TCM_SETCURFOCUS, (WPARAM)i); }
  BOOL GetItemRect(int i, LPRECT r) const { return (BOOL)SendMessage(TCM_GETITEMRECT, (WPARAM)i, (LPARAM)r); }
  void AdjustRect(BOOL larger, LPRECT r) { SendMessage(TCM_ADJUSTRECT, larger, (LPARAM)r); }
  int HitTest(TCHITTESTINFO* info) const { return (int)SendMessage(TCM_HITTEST, 0, (LPARAM)info); }
  CImageList* SetImageList(CImageList* list);
  CSize SetItemSize(CSize s) {
    DWORD r = (DWORD)SendMessage(TCM_SETITEMSIZE, 0, MAKELPARAM(s.cx, s.cy));
    return CSize(LOWORD(r), HIWORD(r));
  }
  int GetRowCount() const { return (int)SendMessage(TCM_GETROWCOUNT); }
};

class CProgressCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, PROGRESS_CLASSA, "", style | WS_CHILD, rect, parent, id);
  }
  void SetRange(short lo, short hi) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lo, hi)); }
  void SetRange32(int lo, int hi) { SendMessage(PBM_SETRANGE32, (WPARAM)lo, hi); }
  void GetRange(int& lo, int& hi) const {
    PBRANGE r = {};
    SendMessage(PBM_GETRANGE, TRUE, (LPARAM)&r);
    lo = r.iLow;
    hi = r.iHigh;
  }
  int GetPos() const { return (int)SendMessage(PBM_GETPOS); }
  int SetPos(int n) { return (int)SendMessage(PBM_SETPOS, (WPARAM)n); }
  int OffsetPos(int n) { return (int)SendMessage(PBM_DELTAPOS, (WPARAM)n); }
  int SetStep(int n) { return (int)SendMessage(PBM_SETSTEP, (WPARAM)n); }
  int StepIt() { return (int)SendMessage(PBM_STEPIT); }
};

class CSliderCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, TRACKBAR_CLASSA, "", style | WS_CHILD, rect, parent, id);
  }
  int GetPos() const { return (int)SendMessage(TBM_GETPOS); }
  void SetPos(int n) { SendMessage(TBM_SETPOS, TRUE, n); }
  void SetRange(int lo, int hi, BOOL redraw = FALSE) {
    SendMessage(TBM_SETRANGEMIN, FALSE, lo);
    SendMessage(TBM_SETRANGEMAX, redraw, hi);
  }
  void GetRange(int& lo, int& hi) const {
    lo = (int)SendMessage(TBM_GETRANGEMIN);
    hi = (int)SendMessage(TBM_GETRANGEMAX);
  }
  int GetRangeMin() const { return (int)SendMessage(TBM_GETRANGEMIN); }
  int GetRangeMax() const { return (int)SendMessage(TBM_GETRANGEMAX); }
  void SetTicFreq(int f) { SendMessage(TBM_SETTICFREQ, (WPARAM)f); }
  int SetPageSize(int n) { return (int)SendMessage(TBM_SETPAGESIZE, 0, n); }
  int SetLineSize(int n) { return (int)SendMessage(TBM_SETLINESIZE, 0, n); }
};

class CSpinButtonCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, UPDOWN_CLASSA, "", style | WS_CHILD, rect, parent, id);
  }
  CWnd* SetBuddy(CWnd* buddy) { return CWnd::FromHandle((HWND)SendMessage(UDM_SETBUDDY, (WPARAM)HwndOf(buddy))); }
  CWnd* GetBuddy() const { return CWnd::FromHandle((HWND)SendMessage(UDM_GETBUDDY)); }
  void SetRange32(int lo, int hi) { SendMessage(UDM_SETRANGE32, (WPARAM)lo, hi); }
  void GetRange32(int& lo, int& hi) const { SendMessage(UDM_GETRANGE32, (WPARAM)&lo, (LPARAM)&hi); }
  void SetRange(short lo, short hi) { SendMessage(UDM_SETRANGE, 0, MAKELPARAM(hi, lo)); }
  int GetPos32(BOOL* error = nullptr) const { return (int)SendMessage(UDM_GETPOS32, 0, (LPARAM)error); }
  int SetPos32(int n) { return (int)SendMessage(UDM_SETPOS32, 0, n); }
  int GetPos() const { return (int)SendMessage(UDM_GETPOS); }
  int SetPos(int n) { return (int)SendMessage(UDM_SETPOS, 0, MAKELPARAM(n, 0)); }
  int SetBase(int base) { return (int)SendMessage(UDM_SETBASE, (WPARAM)base); }
};

class CToolTipCtrl : public CWnd {
 public:
  BOOL Create(CWnd* parent, DWORD style = 0);
  // A tool for a window (its whole client area) or for a rectangle of it with an id.
  BOOL AddTool(CWnd* wnd, LPCTSTR text, LPCRECT rect = nullptr, UINT_PTR toolId = 0);
  void DelTool(CWnd* wnd, UINT_PTR toolId = 0);
  void UpdateTipText(LPCTSTR text, CWnd* wnd, UINT_PTR toolId = 0);
  void SetToolRect(CWnd* wnd, UINT_PTR toolId, LPCRECT rect);
  void GetText(CString& text, CWnd* wnd, UINT_PTR toolId = 0) const;
  int GetToolCount() const { return (int)SendMessage(TTM_GETTOOLCOUNT); }
  void Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate); }
  // Mouse messages of the tools' windows must reach the tooltip through this.
  void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)msg); }
  void SetDelayTime(UINT which, int ms) { SendMessage(TTM_SETDELAYTIME, which, ms); }
  int SetMaxTipWidth(int w) { return (int)SendMessage(TTM_SETMAXTIPWIDTH, 0, w); }
  void Pop() { SendMessage(TTM_POP); }

 private:
  void FillTool(TTTOOLINFOA& ti, CWnd* wnd, UINT_PTR toolId) const;
};

class CStatusBarCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::CreateEx(0, STATUSCLASSNAMEA, "", style | WS_CHILD, rect, parent, id);
  }
  BOOL SetParts(int n, const int* rights) { return (BOOL)SendMessage(SB_SETPARTS, (WPARAM)n, (LPARAM)rights); }
  int GetParts(int n, int* rights) const { return (int)SendMessage(SB_GETPARTS, (WPARAM)n, (LPARAM)rights); }
  BOOL SetText(LPCTSTR text, int part, int type = 0) {
    return (BOOL)SendMessage(SB_SETTEXTA, (WPARAM)(part | type), (LPARAM)text);
  }
  CString GetText(int part) const;
  void SetSimple(BOOL simple = TRUE) { SendMessage(SB_SIMPLE, simple); }
  BOOL GetRect(int part, LPRECT r) const { return (BOOL)SendMessage(SB_GETRECT, (WPARAM)part, (LPARAM)r); }
};
// The status bar of a dialog is the control itself.
typedef CStatusBarCtrl CStatusBar;
