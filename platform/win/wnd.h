// CWnd: our window class over real Win32, with message maps.
//
// Every window the framework creates or subclasses is in one handle map and runs the
// framework's window procedure, which looks the message up in the class's message map
// (derived classes first) and falls back to the previous window procedure.
//
// Dispatch order for what a control tells its parent (WM_COMMAND from a control,
// WM_NOTIFY, WM_CTLCOLOR*, WM_HSCROLL/WM_VSCROLL from a scroll control): the control
// first gets it reflected (its ON_*_REFLECT entries); when it does not handle it (or
// an _EX handler returns FALSE), the parent's own map gets it. WM_DRAWITEM and
// WM_MEASUREITEM go to the parent's map first and are reflected when it has no entry;
// the control wrappers (button, static, combo, list box, list, header, tab) answer
// them with their DrawItem / MeasureItem.
//
// Handlers in the maps are given as pointers to members (&CMyDlg::OnSearch); the
// ON_WM_xxx entries call the handler of the usual name (OnTimer, OnPaint, ...).
#pragma once

#include "platform/core.h"

#include <commctrl.h>

class CWnd;
class CDC;
class CFont;
class CScrollBar;
class CDataExchange;

#define afx_msg

// Handle of a wrapper that may be null.
HWND HwndOf(const CWnd* w);

// Messages reflected back to the control that sent them: the original message plus
// this base (the platform's own OCM_ convention).
#define WM_REFLECT_BASE 0x2000u

namespace platform {
namespace win {

// One entry of a message map. thunk returns TRUE when it handled the message.
struct MsgMapEntry {
  enum Kind : UINT {
    kEnd = 0,
    kMessage,         // a window message (message)
    kRegistered,      // a registered message (*registered)
    kCommand,         // WM_COMMAND: code and id range (code 0 also matches menus)
    kNotify,          // WM_NOTIFY: code and id range
    kReflectMessage,  // reflected WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR, scrolls
    kReflectCommand,  // reflected WM_COMMAND with code
    kReflectNotify,   // reflected WM_NOTIFY with code
  };
  UINT kind;
  UINT message;
  UINT code;
  UINT idFirst;
  UINT idLast;
  const UINT* registered;
  BOOL (*thunk)(CWnd* self, UINT message, WPARAM wp, LPARAM lp, LRESULT* result);
};

struct MsgMap {
  const MsgMap* (*base)();
  const MsgMapEntry* entries;
};

// Drains the calling thread's queue: every message goes through PreTranslateMessage,
// then TranslateMessage and DispatchMessage. A WM_QUIT is posted again and ends the
// drain. Returns FALSE when it met WM_QUIT.
BOOL PumpPendingMessages();

// Installs the framework's hooks into the portable core (message pump, main window).
// Done by CWinApp and by every window creation; harmless to call again.
void InstallPlatformHooks();

// PreTranslateMessage from the message's window up through its parents, stopping at
// the first that returns TRUE. Every framework message loop calls this.
BOOL WalkPreTranslateTree(MSG* msg);

// Temporary wrapper objects (FromHandle of windows and GDI objects the framework does
// not own) are freed when the outermost message loop has nothing to do.
void DeleteTempObjects();

// Framework internals shared by its source files.
WNDPROC HookWndProcFor_(HWND hwnd);
void BeginCreate(CWnd* wnd);
void EndCreate();
void EnterLoop();
void LeaveLoop();
void LoopIdle();
void NoteWindowCreated(CWnd* wnd);
void DeleteTempGdiObjects();

// The instance whose resources (templates, strings, bitmaps) the framework loads.
HINSTANCE ResourceHandle();

}  // namespace win
}  // namespace platform

#define DECLARE_MESSAGE_MAP()                                \
 protected:                                                  \
  static const ::platform::win::MsgMap* GetThisMessageMap(); \
  const ::platform::win::MsgMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                   \
  const ::platform::win::MsgMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const ::platform::win::MsgMap* theClass::GetThisMessageMap() {                                 \
    typedef theClass ThisClass;                                                                  \
    typedef baseClass TheBaseClass;                                                              \
    typedef ::platform::win::MsgMapEntry Entry;                                                  \
    static const Entry entries[] = {
#define END_MESSAGE_MAP()                                                                 \
  { Entry::kEnd, 0, 0, 0, 0, nullptr, nullptr }                                           \
  }                                                                                       \
  ;                                                                                       \
  static const ::platform::win::MsgMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                                            \
  }

// Building blocks of the entries below.
#define CW_SELF_ static_cast<ThisClass*>(self)
#define CW_ENTRY_(kind, msg, code, id1, id2, reg, ...)                                    \
  {Entry::kind,                                                                           \
   (UINT)(msg),                                                                           \
   (UINT)(code),                                                                          \
   (UINT)(id1),                                                                           \
   (UINT)(id2),                                                                           \
   reg,                                                                                   \
   [](CWnd* self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) -> BOOL { \
     (void)self;                                                                          \
     (void)message;                                                                       \
     (void)wParam;                                                                        \
     (void)lParam;                                                                        \
     (void)pResult;                                                                       \
     __VA_ARGS__                                                                          \
   }},

// Any message: LRESULT handler(WPARAM, LPARAM).
#define ON_MESSAGE(msg, fn) \
  CW_ENTRY_(kMessage, msg, 0, 0, 0, nullptr, *pResult = (CW_SELF_->*(fn))(wParam, lParam); return TRUE;)
// A registered message held in a UINT variable (from RegisterWindowMessage).
#define ON_REGISTERED_MESSAGE(var, fn) \
  CW_ENTRY_(kRegistered, 0, 0, 0, 0, &(var), *pResult = (CW_SELF_->*(fn))(wParam, lParam); return TRUE;)

// Commands and control notifications: void handler().
#define ON_CONTROL(code, id, fn) \
  CW_ENTRY_(kCommand, WM_COMMAND, code, id, id, nullptr, (CW_SELF_->*(fn))(); return TRUE;)
#define ON_COMMAND(id, fn) ON_CONTROL(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_SELENDOK(id, fn) ON_CONTROL(CBN_SELENDOK, id, fn)
#define ON_CBN_SELENDCANCEL(id, fn) ON_CONTROL(CBN_SELENDCANCEL, id, fn)
#define ON_CBN_DROPDOWN(id, fn) ON_CONTROL(CBN_DROPDOWN, id, fn)
#define ON_CBN_CLOSEUP(id, fn) ON_CONTROL(CBN_CLOSEUP, id, fn)
#define ON_CBN_SETFOCUS(id, fn) ON_CONTROL(CBN_SETFOCUS, id, fn)
#define ON_CBN_KILLFOCUS(id, fn) ON_CONTROL(CBN_KILLFOCUS, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_LBN_SELCHANGE(id, fn) ON_CONTROL(LBN_SELCHANGE, id, fn)
#define ON_LBN_DBLCLK(id, fn) ON_CONTROL(LBN_DBLCLK, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
// Ranges: void handler(UINT id).
#define ON_COMMAND_RANGE(id1, id2, fn) \
  CW_ENTRY_(kCommand, WM_COMMAND, 0, id1, id2, nullptr, (CW_SELF_->*(fn))(LOWORD(wParam)); return TRUE;)
#define ON_CONTROL_RANGE(code, id1, id2, fn) \
  CW_ENTRY_(kCommand, WM_COMMAND, code, id1, id2, nullptr, (CW_SELF_->*(fn))(LOWORD(wParam)); return TRUE;)

// WM_NOTIFY: void handler(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, fn) \
  CW_ENTRY_(kNotify, WM_NOTIFY, code, id, id, nullptr, (CW_SELF_->*(fn))((NMHDR*)lParam, pResult); return TRUE;)
#define ON_NOTIFY_RANGE(code, id1, id2, fn)                                             \
  CW_ENTRY_(kNotify, WM_NOTIFY, code, id1, id2, nullptr,                                \
            (CW_SELF_->*(fn))((UINT)((NMHDR*)lParam)->idFrom, (NMHDR*)lParam, pResult); \
            return TRUE;)

// Notifications a control handles itself.
#define ON_NOTIFY_REFLECT(code, fn) \
  CW_ENTRY_(kReflectNotify, WM_NOTIFY, code, 0, 0, nullptr, (CW_SELF_->*(fn))((NMHDR*)lParam, pResult); return TRUE;)
// BOOL handler(NMHDR*, LRESULT*): FALSE lets the parent see it too.
#define ON_NOTIFY_REFLECT_EX(code, fn) \
  CW_ENTRY_(kReflectNotify, WM_NOTIFY, code, 0, 0, nullptr, return (CW_SELF_->*(fn))((NMHDR*)lParam, pResult);)
#define ON_CONTROL_REFLECT(code, fn) \
  CW_ENTRY_(kReflectCommand, WM_COMMAND, code, 0, 0, nullptr, (CW_SELF_->*(fn))(); return TRUE;)
#define ON_CONTROL_REFLECT_EX(code, fn) \
  CW_ENTRY_(kReflectCommand, WM_COMMAND, code, 0, 0, nullptr, return (CW_SELF_->*(fn))();)
// virtual void DrawItem(LPDRAWITEMSTRUCT) / MeasureItem(LPMEASUREITEMSTRUCT).
#define ON_WM_DRAWITEM_REFLECT()                                                                          \
  CW_ENTRY_(kReflectMessage, WM_DRAWITEM, 0, 0, 0, nullptr, CW_SELF_->DrawItem((LPDRAWITEMSTRUCT)lParam); \
            *pResult = TRUE; return TRUE;)
#define ON_WM_MEASUREITEM_REFLECT()                                                                                \
  CW_ENTRY_(kReflectMessage, WM_MEASUREITEM, 0, 0, 0, nullptr, CW_SELF_->MeasureItem((LPMEASUREITEMSTRUCT)lParam); \
            *pResult = TRUE; return TRUE;)
// HBRUSH CtlColor(CDC*, UINT nCtlColor); a null brush leaves it to the parent.
#define ON_WM_CTLCOLOR_REFLECT()                                  \
  CW_ENTRY_(kReflectMessage, WM_CTLCOLORSTATIC, 0, 0, 0, nullptr, \
            return CW_SELF_->ReflectCtlColor_(message, wParam, pResult, &ThisClass::CtlColor);)
// void HScroll/VScroll(UINT code, UINT pos).
#define ON_WM_HSCROLL_REFLECT()                                                                               \
  CW_ENTRY_(kReflectMessage, WM_HSCROLL, 0, 0, 0, nullptr, CW_SELF_->HScroll(LOWORD(wParam), HIWORD(wParam)); \
            return TRUE;)
#define ON_WM_VSCROLL_REFLECT()                                                                               \
  CW_ENTRY_(kReflectMessage, WM_VSCROLL, 0, 0, 0, nullptr, CW_SELF_->VScroll(LOWORD(wParam), HIWORD(wParam)); \
            return TRUE;)

// Window messages with the usual handler names.
#define ON_WM_CREATE() \
  CW_ENTRY_(kMessage, WM_CREATE, 0, 0, 0, nullptr, *pResult = CW_SELF_->OnCreate((LPCREATESTRUCT)lParam); return TRUE;)
#define ON_WM_DESTROY() CW_ENTRY_(kMessage, WM_DESTROY, 0, 0, 0, nullptr, CW_SELF_->OnDestroy(); return TRUE;)
#define ON_WM_CLOSE() CW_ENTRY_(kMessage, WM_CLOSE, 0, 0, 0, nullptr, CW_SELF_->OnClose(); return TRUE;)
#define ON_WM_TIMER() CW_ENTRY_(kMessage, WM_TIMER, 0, 0, 0, nullptr, CW_SELF_->OnTimer((UINT_PTR)wParam); return TRUE;)
#define ON_WM_PAINT() CW_ENTRY_(kMessage, WM_PAINT, 0, 0, 0, nullptr, CW_SELF_->OnPaint(); return TRUE;)
#define ON_WM_ERASEBKGND()                                                   \
  CW_ENTRY_(kMessage, WM_ERASEBKGND, 0, 0, 0, nullptr,                       \
            *pResult = CW_SELF_->OnEraseBkgnd(CDC::FromHandle((HDC)wParam)); \
            return TRUE;)
#define ON_WM_SIZE()                                                                      \
  CW_ENTRY_(kMessage, WM_SIZE, 0, 0, 0, nullptr,                                          \
            CW_SELF_->OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_MOVE()                                                                                             \
  CW_ENTRY_(kMessage, WM_MOVE, 0, 0, 0, nullptr, CW_SELF_->OnMove((short)LOWORD(lParam), (short)HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_GETMINMAXINFO() \
  CW_ENTRY_(kMessage, WM_GETMINMAXINFO, 0, 0, 0, nullptr, CW_SELF_->OnGetMinMaxInfo((MINMAXINFO*)lParam); return TRUE;)
#define ON_WM_SHOWWINDOW() \
  CW_ENTRY_(kMessage, WM_SHOWWINDOW, 0, 0, 0, nullptr, CW_SELF_->OnShowWindow((BOOL)wParam, (UINT)lParam); return TRUE;)
#define ON_WM_SETFOCUS() \
  CW_ENTRY_(kMessage, WM_SETFOCUS, 0, 0, 0, nullptr, CW_SELF_->OnSetFocus(CWnd::FromHandle((HWND)wParam)); return TRUE;)
#define ON_WM_KILLFOCUS()                                                                                    \
  CW_ENTRY_(kMessage, WM_KILLFOCUS, 0, 0, 0, nullptr, CW_SELF_->OnKillFocus(CWnd::FromHandle((HWND)wParam)); \
            return TRUE;)
#define ON_WM_KEYDOWN()                                                                                                \
  CW_ENTRY_(kMessage, WM_KEYDOWN, 0, 0, 0, nullptr, CW_SELF_->OnKeyDown((UINT)wParam, LOWORD(lParam), HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_KEYUP()                                                                                              \
  CW_ENTRY_(kMessage, WM_KEYUP, 0, 0, 0, nullptr, CW_SELF_->OnKeyUp((UINT)wParam, LOWORD(lParam), HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_CHAR()                                                                                             \
  CW_ENTRY_(kMessage, WM_CHAR, 0, 0, 0, nullptr, CW_SELF_->OnChar((UINT)wParam, LOWORD(lParam), HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_GETDLGCODE() \
  CW_ENTRY_(kMessage, WM_GETDLGCODE, 0, 0, 0, nullptr, *pResult = CW_SELF_->OnGetDlgCode(); return TRUE;)
#define CW_MOUSE_(msg, fn)                                                                    \
  CW_ENTRY_(kMessage, msg, 0, 0, 0, nullptr,                                                  \
            CW_SELF_->fn((UINT)wParam, CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); \
            return TRUE;)
#define ON_WM_MOUSEMOVE() CW_MOUSE_(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() CW_MOUSE_(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() CW_MOUSE_(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() CW_MOUSE_(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() CW_MOUSE_(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() CW_MOUSE_(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEWHEEL()                                                                           \
  CW_ENTRY_(kMessage, WM_MOUSEWHEEL, 0, 0, 0, nullptr,                                               \
            *pResult = CW_SELF_->OnMouseWheel(LOWORD(wParam), (short)HIWORD(wParam),                 \
                                              CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); \
            return TRUE;)
#define ON_WM_SETCURSOR()                                                                                     \
  CW_ENTRY_(kMessage, WM_SETCURSOR, 0, 0, 0, nullptr,                                                         \
            *pResult = CW_SELF_->OnSetCursor(CWnd::FromHandle((HWND)wParam), LOWORD(lParam), HIWORD(lParam)); \
            return TRUE;)
#define ON_WM_CAPTURECHANGED()                                                                                         \
  CW_ENTRY_(kMessage, WM_CAPTURECHANGED, 0, 0, 0, nullptr, CW_SELF_->OnCaptureChanged(CWnd::FromHandle((HWND)lParam)); \
            return TRUE;)
#define ON_WM_HSCROLL()                                                                                       \
  CW_ENTRY_(kMessage, WM_HSCROLL, 0, 0, 0, nullptr,                                                           \
            CW_SELF_->OnHScroll(LOWORD(wParam), HIWORD(wParam), (CScrollBar*)CWnd::FromHandle((HWND)lParam)); \
            return TRUE;)
#define ON_WM_VSCROLL()                                                                                       \
  CW_ENTRY_(kMessage, WM_VSCROLL, 0, 0, 0, nullptr,                                                           \
            CW_SELF_->OnVScroll(LOWORD(wParam), HIWORD(wParam), (CScrollBar*)CWnd::FromHandle((HWND)lParam)); \
            return TRUE;)
#define ON_WM_CTLCOLOR()                                   \
  CW_ENTRY_(kMessage, WM_CTLCOLORSTATIC, 0, 0, 0, nullptr, \
            return CW_SELF_->CtlColorThunk_(message, wParam, lParam, pResult, &ThisClass::OnCtlColor);)
#define ON_WM_DRAWITEM()                                                                                          \
  CW_ENTRY_(kMessage, WM_DRAWITEM, 0, 0, 0, nullptr, CW_SELF_->OnDrawItem((int)wParam, (LPDRAWITEMSTRUCT)lParam); \
            *pResult = TRUE; return TRUE;)
#define ON_WM_MEASUREITEM()                                                    \
  CW_ENTRY_(kMessage, WM_MEASUREITEM, 0, 0, 0, nullptr,                        \
            CW_SELF_->OnMeasureItem((int)wParam, (LPMEASUREITEMSTRUCT)lParam); \
            *pResult = TRUE; return TRUE;)
#define ON_WM_SYSCOMMAND() \
  CW_ENTRY_(kMessage, WM_SYSCOMMAND, 0, 0, 0, nullptr, CW_SELF_->OnSysCommand((UINT)wParam, lParam); return TRUE;)
#define ON_WM_QUERYDRAGICON() \
  CW_ENTRY_(kMessage, WM_QUERYDRAGICON, 0, 0, 0, nullptr, *pResult = (LRESULT)CW_SELF_->OnQueryDragIcon(); return TRUE;)
#define ON_WM_CONTEXTMENU()                                                                                          \
  CW_ENTRY_(                                                                                                         \
      kMessage, WM_CONTEXTMENU, 0, 0, 0, nullptr,                                                                    \
      CW_SELF_->OnContextMenu(CWnd::FromHandle((HWND)wParam), CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); \
      return TRUE;)
#define ON_WM_NCHITTEST()                                                                           \
  CW_ENTRY_(kMessage, WM_NCHITTEST, 0, 0, 0, nullptr,                                               \
            *pResult = CW_SELF_->OnNcHitTest(CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))); \
            return TRUE;)
#define ON_WM_ACTIVATE()                                                                                \
  CW_ENTRY_(kMessage, WM_ACTIVATE, 0, 0, 0, nullptr,                                                    \
            CW_SELF_->OnActivate(LOWORD(wParam), CWnd::FromHandle((HWND)lParam), (BOOL)HIWORD(wParam)); \
            return TRUE;)
#define ON_WM_ENABLE() CW_ENTRY_(kMessage, WM_ENABLE, 0, 0, 0, nullptr, CW_SELF_->OnEnable((BOOL)wParam); return TRUE;)
#define ON_WM_DROPFILES() \
  CW_ENTRY_(kMessage, WM_DROPFILES, 0, 0, 0, nullptr, CW_SELF_->OnDropFiles((HDROP)wParam); return TRUE;)
#define ON_WM_WINDOWPOSCHANGED()                                                                               \
  CW_ENTRY_(kMessage, WM_WINDOWPOSCHANGED, 0, 0, 0, nullptr, CW_SELF_->OnWindowPosChanged((WINDOWPOS*)lParam); \
            return TRUE;)
#define ON_WM_NCDESTROY() CW_ENTRY_(kMessage, WM_NCDESTROY, 0, 0, 0, nullptr, CW_SELF_->OnNcDestroy(); return TRUE;)

class CWnd {
 public:
  CWnd();
  explicit CWnd(HWND hwnd);  // a plain wrapper that does not own the window
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }
  HWND GetSafeHwnd() const { return m_hWnd; }

  // Handle map.
  static CWnd* FromHandle(HWND hwnd);           // a temporary wrapper when not mapped
  static CWnd* FromHandlePermanent(HWND hwnd);  // only mapped windows
  BOOL Attach(HWND hwnd);
  HWND Detach();

  // Creation. A class name of nullptr registers (once) a plain framework class.
  virtual BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      LPVOID param = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, LPVOID param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int cx, int cy,
                HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();
  // Registers a window class with the framework (returns its name; same arguments,
  // same class).
  static LPCTSTR RegisterClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                               HICON icon = nullptr);

  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  // Overridables.
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual void PreSubclassWindow() {}
  virtual void PostNcDestroy() {}
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A reflected message arrives here first; the control's own map decides.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual void DoDataExchange(CDataExchange*) {}
  // The message being handled, passed on to the previous window procedure.
  LRESULT Default();

  // Messages.
  LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
  BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageA(m_hWnd, msg, wp, lp); }
  void SendMessageToDescendants(UINT msg, WPARAM wp = 0, LPARAM lp = 0, BOOL deep = TRUE);

  // Text.
  void SetWindowText(LPCTSTR text) { ::SetWindowTextA(m_hWnd, text); }
  int GetWindowText(LPTSTR buf, int max) const { return ::GetWindowTextA(m_hWnd, buf, max); }
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
  void SetDlgItemText(int id, LPCTSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
  int GetDlgItemText(int id, CString& text) const;
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) { ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
  UINT GetDlgItemInt(int id, BOOL* ok = nullptr, BOOL isSigned = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, id, ok, isSigned);
  }
  void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
  UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
  void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
  int GetCheckedRadioButton(int first, int last) const;

  // Family.
  CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int id) { return (int)::SetWindowLongPtrA(m_hWnd, GWLP_ID, id); }
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* SetParent(CWnd* parent) { return FromHandle(::SetParent(m_hWnd, HwndOf(parent))); }
  CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
  CWnd* GetTopLevelParent() const;
  CWnd* GetWindow(UINT cmd) const { return FromHandle(::GetWindow(m_hWnd, cmd)); }
  CWnd* GetNextDlgTabItem(CWnd* ctl, BOOL previous = FALSE) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, HwndOf(ctl), previous));
  }
  CWnd* GetNextDlgGroupItem(CWnd* ctl, BOOL previous = FALSE) const {
    return FromHandle(::GetNextDlgGroupItem(m_hWnd, HwndOf(ctl), previous));
  }
  BOOL IsChild(const CWnd* wnd) const { return ::IsChild(m_hWnd, HwndOf(wnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  static CWnd* GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
  CWnd* SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  static CWnd* GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }
  static CWnd* WindowFromPoint(POINT p) { return FromHandle(::WindowFromPoint(p)); }
  static CWnd* FindWindow(LPCTSTR cls, LPCTSTR name) { return FromHandle(::FindWindowA(cls, name)); }

  // State.
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
  DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
  int GetWindowRgn(HRGN rgn) const { return ::GetWindowRgn(m_hWnd, rgn); }
  BOOL SetProp(LPCTSTR name, HANDLE data) { return ::SetPropA(m_hWnd, name, data); }
  HANDLE GetProp(LPCTSTR name) const { return ::GetPropA(m_hWnd, name); }
  HANDLE RemoveProp(LPCTSTR name) { return ::RemovePropA(m_hWnd, name); }
  HICON SetIcon(HICON icon, BOOL big) {
    return (HICON)SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, (LPARAM)icon);
  }
  HICON GetIcon(BOOL big) const { return (HICON)SendMessage(WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0); }

  // Geometry.
  void GetWindowRect(LPRECT r) const { ::GetWindowRect(m_hWnd, r); }
  void GetClientRect(LPRECT r) const { ::GetClientRect(m_hWnd, r); }
  void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
  void ClientToScreen(LPRECT r) const;
  void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
  void ScreenToClient(LPRECT r) const;
  void MapWindowPoints(CWnd* to, LPRECT r) const { ::MapWindowPoints(m_hWnd, HwndOf(to), (LPPOINT)r, 2); }
  void MapWindowPoints(CWnd* to, LPPOINT p, UINT n) const { ::MapWindowPoints(m_hWnd, HwndOf(to), p, n); }
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) { ::MoveWindow(m_hWnd, x, y, cx, cy, repaint); }
  void MoveWindow(LPCRECT r, BOOL repaint = TRUE) {
    MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
  }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, HwndOf(after), x, y, cx, cy, flags);
  }
  BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
  }
  // Centres on the given window, else on the owner or parent, else on the screen's
  // work area.
  void CenterWindow(CWnd* alternateOwner = nullptr);
  BOOL GetWindowPlacement(WINDOWPLACEMENT* wp) const {
    wp->length = sizeof *wp;
    return ::GetWindowPlacement(m_hWnd, wp);
  }
  BOOL SetWindowPlacement(const WINDOWPLACEMENT* wp) { return ::SetWindowPlacement(m_hWnd, wp); }
  BOOL BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }

  // Painting.
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(LPCRECT r, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, r, erase); }
  void InvalidateRgn(HRGN rgn, BOOL erase = TRUE) { ::InvalidateRgn(m_hWnd, rgn, erase); }
  void ValidateRect(LPCRECT r) { ::ValidateRect(m_hWnd, r); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  BOOL RedrawWindow(LPCRECT r = nullptr, HRGN rgn = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, r, rgn, flags);
  }
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw, 0); }
  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);

  // Fonts.
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;

  // Timers.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC proc = nullptr) {
    return ::SetTimer(m_hWnd, id, elapse_ms, proc);
  }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

  // Scrolling.
  int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
  int SetScrollPos(int bar, int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, bar, pos, redraw); }
  BOOL GetScrollInfo(int bar, SCROLLINFO* si) const {
    si->cbSize = sizeof *si;
    return ::GetScrollInfo(m_hWnd, bar, si);
  }
  BOOL SetScrollInfo(int bar, SCROLLINFO* si, BOOL redraw = TRUE) {
    si->cbSize = sizeof *si;
    return ::SetScrollInfo(m_hWnd, bar, si, redraw);
  }
  void ShowScrollBar(UINT bar, BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, bar, show); }

  // Message box owned by this window; tests answer it through the platform hook.
  int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);

  // Handlers with default behaviour (called from ON_WM_xxx entries).
  int OnCreate(LPCREATESTRUCT) { return (int)Default(); }
  void OnDestroy() { Default(); }
  void OnClose() { Default(); }
  void OnTimer(UINT_PTR) { Default(); }
  void OnPaint() { Default(); }
  BOOL OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
  void OnSize(UINT, int, int) { Default(); }
  void OnMove(int, int) { Default(); }
  void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
  void OnShowWindow(BOOL, UINT) { Default(); }
  void OnSetFocus(CWnd*) { Default(); }
  void OnKillFocus(CWnd*) { Default(); }
  void OnKeyDown(UINT, UINT, UINT) { Default(); }
  void OnKeyUp(UINT, UINT, UINT) { Default(); }
  void OnChar(UINT, UINT, UINT) { Default(); }
  UINT OnGetDlgCode() { return (UINT)Default(); }
  void OnMouseMove(UINT, CPoint) { Default(); }
  void OnLButtonDown(UINT, CPoint) { Default(); }
  void OnLButtonUp(UINT, CPoint) { Default(); }
  void OnLButtonDblClk(UINT, CPoint) { Default(); }
  void OnRButtonDown(UINT, CPoint) { Default(); }
  void OnRButtonUp(UINT, CPoint) { Default(); }
  BOOL OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
  BOOL OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
  void OnCaptureChanged(CWnd*) { Default(); }
  void OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
  void OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
  HBRUSH OnCtlColor(CDC*, CWnd*, UINT) { return (HBRUSH)Default(); }
  void OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }
  void OnMeasureItem(int, LPMEASUREITEMSTRUCT) { Default(); }
  void OnSysCommand(UINT, LPARAM) { Default(); }
  HCURSOR OnQueryDragIcon() { return (HCURSOR)Default(); }
  void OnContextMenu(CWnd*, CPoint) { Default(); }
  LRESULT OnNcHitTest(CPoint) { return Default(); }
  void OnActivate(UINT, CWnd*, BOOL) { Default(); }
  void OnEnable(BOOL) { Default(); }
  void OnDropFiles(HDROP) { Default(); }
  void OnWindowPosChanged(WINDOWPOS*) { Default(); }
  void OnNcDestroy() { Default(); }
  // Reflected handlers of owner-drawn and coloured controls.
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) {}
  HBRUSH CtlColor(CDC*, UINT) { return nullptr; }
  void HScroll(UINT, UINT) {}
  void VScroll(UINT, UINT) {}

  // Used by the map entries; not for callers.
  template <class T>
  BOOL CtlColorThunk_(UINT message, WPARAM wp, LPARAM lp, LRESULT* result, HBRUSH (T::*fn)(CDC*, CWnd*, UINT));
  template <class T>
  BOOL ReflectCtlColor_(UINT message, WPARAM wp, LRESULT* result, HBRUSH (T::*fn)(CDC*, UINT));
  static CDC* DCFromHandle_(HDC dc);
  static UINT CtlColorType_(UINT message) { return message - WM_CTLCOLORMSGBOX; }

 protected:
  static const ::platform::win::MsgMap* GetThisMessageMap();
  virtual const ::platform::win::MsgMap* GetMessageMap() const;
  // For the owner-drawn control wrappers: WM_DRAWITEM / WM_MEASUREITEM to DrawItem /
  // MeasureItem.
  BOOL ReflectOwnerDraw_(UINT message, LPARAM lParam, LRESULT* result);
  // Sends a child's notification back to it; TRUE when the child handled it.
  static BOOL ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  WNDPROC m_pfnSuper = nullptr;  // the window procedure we replaced
  friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
  friend void AttachCreatingWindow_(CWnd*, HWND);
  friend class CDialog;

 private:
  BOOL DispatchMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool reflected);
  bool m_bTemporary = false;
  friend CWnd* MakeTempWnd(HWND);
};

inline HWND HwndOf(const CWnd* w) { return w ? w->m_hWnd : nullptr; }

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void AttachCreatingWindow_(CWnd* wnd, HWND hwnd);

template <class T>
BOOL CWnd::CtlColorThunk_(UINT message, WPARAM wp, LPARAM lp, LRESULT* result, HBRUSH (T::*fn)(CDC*, CWnd*, UINT)) {
  HBRUSH brush = (static_cast<T*>(this)->*fn)(DCFromHandle_((HDC)wp), FromHandle((HWND)lp), CtlColorType_(message));
  *result = (LRESULT)brush;
  return TRUE;
}

template <class T>
BOOL CWnd::ReflectCtlColor_(UINT message, WPARAM wp, LRESULT* result, HBRUSH (T::*fn)(CDC*, UINT)) {
  HBRUSH brush = (static_cast<T*>(this)->*fn)(DCFromHandle_((HDC)wp), CtlColorType_(message));
  if (!brush) return FALSE;
  *result = (LRESULT)brush;
  return TRUE;
}

// The kinds of WM_CTLCOLOR*, as the handlers receive them.
#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6
