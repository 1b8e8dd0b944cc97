// CPopupMenu: a self-drawn context menu that does not use the platform's menus.
//
// A plain object with a window class of its own ("fpmMenuClass"): it measures and
// paints its items with its own fonts, colours and a strip of 16-pixel item images,
// tracks the mouse itself, opens submenus after a hover delay, and either runs its
// own message loop until an item is chosen (modal: Popup returns the id) or posts
// the chosen command to an owner window when it closes (non-modal).
//
// Use: SetColor as wanted, then Init (which builds the pens and brushes from the
// colours), AddItem, Popup. The same object can be shown again; Init empties it.
#pragma once

#include "platform/win/framework.h"

class CPopupMenu;

// Item flags.
constexpr UINT PMF_SEPARATOR = 0x1;  // a line; never chosen
constexpr UINT PMF_DISABLED = 0x2;   // cannot be highlighted or chosen
constexpr UINT PMF_BOLD = 0x4;       // bold font
constexpr UINT PMF_GRAYED = 0x8;     // grey text; chosen with the mouse, not by mnemonic

// Colour slots (SetColor).
constexpr int PMC_BORDER = 0;             // border and separator lines
constexpr int PMC_BACKGROUND = 1;         // background
constexpr int PMC_TEXT = 2;               // item text
constexpr int PMC_GRAYTEXT = 3;           // grey item text
constexpr int PMC_HIGHLIGHTTEXT = 4;      // highlighted item text and submenu arrow
constexpr int PMC_HIGHLIGHT = 5;          // highlight background
constexpr int PMC_IMAGE_TRANSPARENT = 6;  // transparent colour of the image strip
constexpr int PMC_IMAGE_LIGHT = 7;        // light edge of a highlighted item's image
constexpr int PMC_IMAGE_DARK = 8;         // dark edge of a highlighted item's image
constexpr int PMC_COUNT = 9;

// One entry, kept by value.
struct PopupMenuItem {
  int m_nTop = 0;                    // y of the item's top edge in the client area (Popup)
  int m_nHeight = 0;                 // 5 for a separator, 17 otherwise (Popup)
  UINT m_nFlags = 0;                 // PMF_* bits
  CString m_strText;                 // label; '&' marks the mnemonic character
  UINT m_nID = 0;                    // command id returned or posted; 0 chooses nothing
  int m_nImage = -1;                 // cell of the image strip, -1 for none
  CPopupMenu* m_pSubmenu = nullptr;  // menu opened from this item (not owned), or null
};

class CPopupMenu {
 public:
  CPopupMenu();
  ~CPopupMenu();
  CPopupMenu(const CPopupMenu&) = delete;
  CPopupMenu& operator=(const CPopupMenu&) = delete;

  // Colours are read when drawing text; pens and brushes are made by Init.
  void SetColor(int index, COLORREF color);
  // Registers "fpmMenuClass" the first time (FALSE when that fails), empties the
  // items and (re)creates the fonts, pens, brushes and the image strip (bitmap id,
  // -1 for none, from the module's resources).
  BOOL Init(HINSTANCE instance, int bitmapId);
  BOOL AddItem(UINT flags, LPCTSTR text, UINT id, int image = -1);
  // An item with id 0 that opens `submenu`; refused with PMF_SEPARATOR.
  BOOL AddSubmenu(UINT flags, LPCTSTR text, CPopupMenu* submenu, int image = -1);
  // Shows the menu with its top-left corner at the screen point, kept inside the
  // work area. Modal: runs until the menu closes and returns the chosen id (0 for
  // none); non-modal: returns 0 at once and posts WM_COMMAND(id) to the owner when an
  // item is chosen. Keyboard: no mouse capture. 0 when the window cannot be made.
  UINT Popup(int x, int y, HWND owner, BOOL modal, BOOL keyboard = FALSE);

  static constexpr LPCTSTR kClassName = "fpmMenuClass";

  HINSTANCE m_hInstance = nullptr;  // module holding the image strip
  int m_nBitmapID = -1;             // image strip bitmap id, -1 for none
  CArray<PopupMenuItem> m_items;    // in display order
  CString m_strFontFace = "MS Sans Serif";
  int m_nPointSize = 8;             // points
  UINT m_nHoverDelay = 400;         // ms over an item before its submenu opens
  COLORREF m_colors[PMC_COUNT];     // PMC_* slots
  int m_nTrackMode = 0;             // 0 closed, 1 shown without capture, 2 with capture
  int m_nWidth = 0;                 // menu width, pixels
  int m_nTextHeight = 0;            // tmHeight of the normal font
  int m_nBoldTextHeight = 0;        // tmHeight of the bold font
  HWND m_hWnd = nullptr;            // the menu window; null while closed
  HWND m_hWndOwner = nullptr;       // receives WM_COMMAND in non-modal use
  int m_nHighlight = -1;            // highlighted item, -1 for none
  UINT m_nResult = 0;               // chosen id, 0 for none
  BYTE m_bRightDown = 0;            // the right button was down when the menu opened
  BYTE m_bLeftDown = 0;             // the left button was down when the menu opened
  BYTE m_bModal = 0;                // Popup runs its own loop
  BYTE m_bSubmenu = 0;              // this menu is an item's submenu
  CPopupMenu* m_pParent = nullptr;  // the menu of that item

 private:
  static LRESULT CALLBACK MenuWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  void InitGdiObjects();
  void Measure();
  void KeepInWorkArea(int* x, int* y) const;
  int ClientHeight() const;
  bool IsOutside(CPoint pt) const;
  int ItemAt(CPoint pt) const;

  // Messages.
  void OnPaint();
  void OnEraseBkgnd(HDC dc);
  void OnMouseMove(CPoint pt);
  void OnButtonDown(CPoint pt);
  void OnButtonUp(CPoint pt, BYTE* openingButtonDown);
  void OnChar(UINT ch);
  void OnTimer(UINT_PTR id);
  void OnDestroy();

  // Actions.
  void DrawFrame(CDC* dc);
  void DrawItem(CDC* dc, int index);
  void DrawImage(CDC* dc, const PopupMenuItem& item, bool highlighted);
  void SetHighlight(int index);
  void OpenSubmenu(int index);
  void CloseSubmenu(int index);
  void Choose(UINT id);  // closes the whole menu tree with this result
  CPopupMenu* Root();

  // Owned drawing objects.
  CFont m_font;              // normal items
  CFont m_fontBold;          // PMF_BOLD items
  CPen m_penBorder;          // colour 0
  CPen m_penLight;           // colour 7
  CPen m_penDark;            // colour 8
  CPen m_penBackground;      // colour 1
  CPen m_penHighlightText;   // colour 4
  CPen m_penText;            // colour 2
  CBrush m_brushBackground;  // colour 1
  CBrush m_brushHighlight;   // colour 5
  CBitmap m_bmpImages;       // the image strip, 16 x 15 cells side by side
};
