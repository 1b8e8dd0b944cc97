#include "platform/win/wnd.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/win/gdi.h"

namespace platform {
namespace win {

namespace {

// Permanent map: every window the framework created or subclassed. Windows of other
// threads may be looked up (a worker posts to a dialog), so it is locked.
std::mutex g_mapLock;
std::unordered_map<HWND, CWnd*> g_permanent;

// Temporary wrappers of this thread, freed when its outermost loop is idle.
thread_local std::unordered_map<HWND, std::unique_ptr<CWnd>> t_tempWnds;

// Creation in progress on this thread: the object that the next created window
// belongs to, and the hook that catches that window.
thread_local CWnd* t_wndInit = nullptr;
thread_local HHOOK t_cbtHook = nullptr;

// The message being handled, for CWnd::Default.
struct CurrentMsg {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
thread_local CurrentMsg t_current = {0, 0, 0};

void MapAdd(HWND hwnd, CWnd* wnd) {
  std::lock_guard<std::mutex> l(g_mapLock);
  g_permanent[hwnd] = wnd;
}

}  // namespace

// Replaces the window procedure by the framework's; returns the previous one.
WNDPROC HookWndProcFor_(HWND hwnd) {
  WNDPROC old = (WNDPROC)::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
  if (old == FrameworkWndProc) return nullptr;
  ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)FrameworkWndProc);
  return old;
}

namespace {

LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND && t_wndInit) {
    CWnd* wnd = t_wndInit;
    t_wndInit = nullptr;
    HWND hwnd = (HWND)wp;
    AttachCreatingWindow_(wnd, hwnd);
  }
  return ::CallNextHookEx(t_cbtHook, code, wp, lp);
}

int g_loopDepth = 0;  // UI thread only

void TempsAtIdle() {
  if (g_loopDepth <= 1) DeleteTempObjects();
}

// platform::PumpMessages: cheap when called often, so a loop may call it per item.
void ThrottledPump() {
  thread_local DWORD t_last = 0;
  DWORD now = ::GetTickCount();
  if (t_last != 0 && now - t_last < 10) return;
  t_last = now;
  PumpPendingMessages();
}

}  // namespace
}  // namespace win
}  // namespace platform

void AttachCreatingWindow_(CWnd* wnd, HWND hwnd) {
  wnd->Attach(hwnd);
  wnd->m_pfnSuper = platform::win::HookWndProcFor_(hwnd);
}

namespace platform {
namespace win {

// Starts watching for the window the calling thread creates next.
void BeginCreate(CWnd* wnd) {
  InstallPlatformHooks();
  t_wndInit = wnd;
  if (!t_cbtHook) t_cbtHook = ::SetWindowsHookExA(WH_CBT, CbtHook, nullptr, ::GetCurrentThreadId());
}

void EndCreate() {
  t_wndInit = nullptr;
  if (t_cbtHook) {
    ::UnhookWindowsHookEx(t_cbtHook);
    t_cbtHook = nullptr;
  }
}

BOOL WalkPreTranslateTree(MSG* msg) {
  for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
    CWnd* wnd = CWnd::FromHandlePermanent(h);
    if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
    // Stop at the top-level window: an owner is not a parent.
    if (!(::GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return FALSE;
}

// Bounded, so that a window that never validates cannot keep the caller here.
BOOL PumpPendingMessages() {
  MSG msg;
  for (int n = 0; n < 10000 && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage((int)msg.wParam);
      return FALSE;
    }
    if (!WalkPreTranslateTree(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  return TRUE;
}

void InstallPlatformHooks() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  ::InitCommonControlsEx(&icc);
  platform::SetPumpHook(ThrottledPump);
}

void DeleteTempObjects() {
  t_tempWnds.clear();
  DeleteTempGdiObjects();
}

HINSTANCE ResourceHandle() { return ::GetModuleHandleA(nullptr); }

// Message loops call these around their work so that temporaries die only in the
// outermost loop.
void EnterLoop() { ++g_loopDepth; }
void LeaveLoop() { --g_loopDepth; }
void LoopIdle() { TempsAtIdle(); }

}  // namespace win
}  // namespace platform

using namespace platform::win;

CWnd* MakeTempWnd(HWND hwnd) {
  auto& slot = t_tempWnds[hwnd];
  if (!slot) {
    slot.reset(new CWnd(hwnd));
    slot->m_bTemporary = true;
  }
  return slot.get();
}

// ---------------------------------------------------------------------------------
// Window procedure

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
  if (!wnd) return ::DefWindowProcA(hwnd, msg, wp, lp);
  CurrentMsg saved = t_current;
  t_current = {msg, wp, lp};
  LRESULT result = 0;
  try {
    result = wnd->WindowProc(msg, wp, lp);
  } catch (const std::exception& e) {
    fprintf(stderr, "window procedure: uncaught exception for message 0x%04X: %s\n", msg, e.what());
  } catch (...) {
    fprintf(stderr, "window procedure: uncaught exception for message 0x%04X\n", msg);
  }
  t_current = saved;
  if (msg == WM_NCDESTROY) {
    // Give the window its own procedure back (others may still send to it) and let
    // the object know it has no window any more.
    if (wnd->m_pfnSuper && (WNDPROC)::GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == FrameworkWndProc)
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)wnd->m_pfnSuper);
    wnd->Detach();
    if (platform::GetMainWindow() == hwnd) platform::SetMainWindow(nullptr);
    wnd->PostNcDestroy();
  }
  return result;
}

// ---------------------------------------------------------------------------------
// CWnd

CWnd::CWnd() = default;
CWnd::CWnd(HWND hwnd) : m_hWnd(hwnd) {}

CWnd::~CWnd() {
  if (m_hWnd && !m_bTemporary && FromHandlePermanent(m_hWnd) == this) {
    // An object going away with its window: the window goes too.
    HWND h = m_hWnd;
    if (m_pfnSuper) ::SetWindowLongPtrA(h, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    Detach();
    ::DestroyWindow(h);
  }
}

const MsgMap* CWnd::GetThisMessageMap() {
  static const MsgMapEntry entries[] = {{MsgMapEntry::kEnd, 0, 0, 0, 0, nullptr, nullptr}};
  static const MsgMap map = {nullptr, entries};
  return &map;
}
const MsgMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (!hwnd) return nullptr;
  std::lock_guard<std::mutex> l(g_mapLock);
  auto it = g_permanent.find(hwnd);
  return it == g_permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (CWnd* w = FromHandlePermanent(hwnd)) return w;
  return MakeTempWnd(hwnd);
}

BOOL CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return FALSE;
  m_hWnd = hwnd;
  MapAdd(hwnd, this);
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h) {
    std::lock_guard<std::mutex> l(g_mapLock);
    auto it = g_permanent.find(h);
    if (it != g_permanent.end() && it->second == this) g_permanent.erase(it);
  }
  m_hWnd = nullptr;
  m_pfnSuper = nullptr;
  return h;
}

LPCTSTR CWnd::RegisterClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  static std::mutex lock;
  static std::vector<std::unique_ptr<char[]>> names;
  char name[96];
  snprintf(name, sizeof name, "CorvaneWnd:%x:%p:%p:%p", classStyle, (void*)cursor, (void*)background, (void*)icon);
  std::lock_guard<std::mutex> l(lock);
  for (auto& n : names)
    if (strcmp(n.get(), name) == 0) return n.get();
  WNDCLASSA wc = {};
  wc.style = classStyle;
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = ResourceHandle();
  wc.hCursor = cursor ? cursor : ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = name;
  if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  names.emplace_back(new char[strlen(name) + 1]);
  strcpy(names.back().get(), name);
  return names.back().get();
}

BOOL CWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  LPVOID param) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, HwndOf(parent), (HMENU)(UINT_PTR)id, param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int cx, int cy,
                    HWND parent, HMENU idOrMenu, LPVOID param) {
  if (m_hWnd) return FALSE;
  if (!className) className = RegisterClass(CS_DBLCLKS);
  BeginCreate(this);
  HWND hwnd =
      ::CreateWindowExA(exStyle, className, windowName, style, x, y, cx, cy, parent, idOrMenu, ResourceHandle(), param);
  EndCreate();
  if (!hwnd) {
    if (m_hWnd) Detach();
    return FALSE;
  }
  if (m_hWnd != hwnd) {  // created, but the hook did not see it: subclass now
    if (m_hWnd) Detach();
    Attach(hwnd);
    m_pfnSuper = HookWndProcFor_(hwnd);
  }
  PreSubclassWindow();
  NoteWindowCreated(this);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (!hwnd || m_hWnd) return FALSE;
  if (FromHandlePermanent(hwnd)) return FALSE;  // already someone's
  Attach(hwnd);
  m_pfnSuper = HookWndProcFor_(hwnd);
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  HWND ctl = ::GetDlgItem(HwndOf(parent), (int)id);
  return ctl ? SubclassWindow(ctl) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  if (!m_hWnd) return nullptr;
  if (m_pfnSuper) ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
  return Detach();
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

namespace {
bool IsCtlColor(UINT m) { return m >= WM_CTLCOLORMSGBOX && m <= WM_CTLCOLORSTATIC; }
}  // namespace

BOOL CWnd::DispatchMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool reflected) {
  UINT matchMsg = IsCtlColor(message) ? (UINT)WM_CTLCOLORSTATIC : message;
  for (const MsgMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
    for (const MsgMapEntry* e = map->entries; e->kind != MsgMapEntry::kEnd; ++e) {
      bool hit = false;
      switch (e->kind) {
        case MsgMapEntry::kMessage:
          hit = !reflected && e->message == matchMsg && message != WM_COMMAND && message != WM_NOTIFY;
          break;
        case MsgMapEntry::kRegistered:
          hit = !reflected && e->registered && *e->registered != 0 && *e->registered == message;
          break;
        case MsgMapEntry::kCommand: {
          if (reflected || message != WM_COMMAND) break;
          UINT id = LOWORD(wParam), code = HIWORD(wParam);
          // Code 0 is a menu item, an accelerator (1, no control) or BN_CLICKED.
          bool codeOk = e->code == code || (e->code == 0 && lParam == 0 && code == 1);
          hit = codeOk && id >= e->idFirst && id <= e->idLast;
          break;
        }
        case MsgMapEntry::kNotify: {
          if (reflected || message != WM_NOTIFY) break;
          const NMHDR* nm = (const NMHDR*)lParam;
          UINT id = (UINT)nm->idFrom;
          hit = (UINT)nm->code == e->code && id >= e->idFirst && id <= e->idLast;
          break;
        }
        case MsgMapEntry::kReflectMessage: hit = reflected && e->message == matchMsg; break;
        case MsgMapEntry::kReflectCommand: hit = reflected && message == WM_COMMAND && HIWORD(wParam) == e->code; break;
        case MsgMapEntry::kReflectNotify:
          hit = reflected && message == WM_NOTIFY && (UINT)((const NMHDR*)lParam)->code == e->code;
          break;
        default: break;
      }
      if (hit && e->thunk(this, message, wParam, lParam, result)) return TRUE;
      if (hit && e->kind != MsgMapEntry::kReflectCommand && e->kind != MsgMapEntry::kReflectNotify &&
          e->kind != MsgMapEntry::kReflectMessage)
        return TRUE;
      if (hit) return FALSE;  // an _EX handler passed it on
    }
  }
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return DispatchMap(message, wParam, lParam, result, true);
}

BOOL CWnd::ReflectOwnerDraw_(UINT message, LPARAM lParam, LRESULT* result) {
  if (message == WM_DRAWITEM) {
    DrawItem((LPDRAWITEMSTRUCT)lParam);
  } else if (message == WM_MEASUREITEM) {
    MeasureItem((LPMEASUREITEMSTRUCT)lParam);
  } else {
    return FALSE;
  }
  *result = TRUE;
  return TRUE;
}

BOOL CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  CWnd* wnd = FromHandlePermanent(child);
  if (!wnd) return FALSE;
  return wnd->OnChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  if (lParam && ReflectToChild((HWND)lParam, WM_COMMAND, wParam, lParam, &r)) return TRUE;
  return DispatchMap(WM_COMMAND, wParam, lParam, &r, false);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* nm = (const NMHDR*)lParam;
  if (nm->hwndFrom && ReflectToChild(nm->hwndFrom, WM_NOTIFY, wParam, lParam, result)) return TRUE;
  return DispatchMap(WM_NOTIFY, wParam, lParam, result, false);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(wParam, lParam)) {
        *result = 0;
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: return OnNotify(wParam, lParam, result);
    case WM_DRAWITEM: {
      if (DispatchMap(message, wParam, lParam, result, false)) return TRUE;
      const DRAWITEMSTRUCT* di = (const DRAWITEMSTRUCT*)lParam;
      return di->CtlType != ODT_MENU && ReflectToChild(di->hwndItem, message, wParam, lParam, result);
    }
    case WM_MEASUREITEM: {
      if (DispatchMap(message, wParam, lParam, result, false)) return TRUE;
      const MEASUREITEMSTRUCT* mi = (const MEASUREITEMSTRUCT*)lParam;
      return mi->CtlType != ODT_MENU &&
             ReflectToChild(::GetDlgItem(m_hWnd, (int)mi->CtlID), message, wParam, lParam, result);
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lParam && ReflectToChild((HWND)lParam, message, wParam, lParam, result)) return TRUE;
      break;
    default:
      if (IsCtlColor(message) && lParam && (HWND)lParam != m_hWnd &&
          ReflectToChild((HWND)lParam, message, wParam, lParam, result))
        return TRUE;
      break;
  }
  return DispatchMap(message, wParam, lParam, result, false);
}

void CWnd::SendMessageToDescendants(UINT msg, WPARAM wp, LPARAM lp, BOOL deep) {
  for (HWND c = ::GetTopWindow(m_hWnd); c; c = ::GetNextWindow(c, GW_HWNDNEXT)) {
    ::SendMessageA(c, msg, wp, lp);
    if (deep && ::GetTopWindow(c)) {
      CWnd tmp(c);
      tmp.SendMessageToDescendants(msg, wp, lp, TRUE);
      tmp.m_hWnd = nullptr;
    }
  }
}

void CWnd::GetWindowText(CString& text) const {
  int n = ::GetWindowTextLengthA(m_hWnd);
  char* buf = text.GetBuffer(n + 1);
  int got = ::GetWindowTextA(m_hWnd, buf, n + 1);
  text.ReleaseBuffer(got >= 0 ? got : 0);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  text.Empty();
  HWND ctl = ::GetDlgItem(m_hWnd, id);
  if (!ctl) return 0;
  CWnd tmp(ctl);
  tmp.GetWindowText(text);
  tmp.m_hWnd = nullptr;
  return text.GetLength();
}

int CWnd::GetCheckedRadioButton(int first, int last) const {
  for (int id = first; id <= last; ++id)
    if (::IsDlgButtonChecked(m_hWnd, id)) return id;
  return 0;
}

CWnd* CWnd::GetTopLevelParent() const {
  HWND h = m_hWnd;
  while (h && (::GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD)) h = ::GetParent(h);
  return FromHandle(h);
}

namespace {
// One window long (GWL_STYLE or GWL_EXSTYLE) changed; swpFlags make the frame follow.
BOOL ModifyWindowLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) {
  DWORD style = (DWORD)::GetWindowLongPtrA(hwnd, index);
  DWORD next = (style & ~remove) | add;
  if (style == next) return FALSE;
  ::SetWindowLongPtrA(hwnd, index, (LONG_PTR)next);
  if (swpFlags)
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
  return ModifyWindowLong(m_hWnd, GWL_STYLE, remove, add, swpFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) {
  return ModifyWindowLong(m_hWnd, GWL_EXSTYLE, remove, add, swpFlags);
}

void CWnd::ClientToScreen(LPRECT r) const {
  ::ClientToScreen(m_hWnd, (LPPOINT)r);
  ::ClientToScreen(m_hWnd, ((LPPOINT)r) + 1);
}

void CWnd::ScreenToClient(LPRECT r) const {
  ::ScreenToClient(m_hWnd, (LPPOINT)r);
  ::ScreenToClient(m_hWnd, ((LPPOINT)r) + 1);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
  HWND center = HwndOf(alternateOwner);
  DWORD style = GetStyle();
  if (!center) center = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
  RECT area, mine;
  ::GetWindowRect(m_hWnd, &mine);
  if (style & WS_CHILD) {
    HWND parent = ::GetParent(m_hWnd);
    ::GetClientRect(parent, &area);
    ::MapWindowPoints(nullptr, parent, (LPPOINT)&mine, 2);
  } else if (center && ::IsWindowVisible(center) && !::IsIconic(center)) {
    ::GetWindowRect(center, &area);
  } else {
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  int w = mine.right - mine.left, h = mine.bottom - mine.top;
  int x = (area.left + area.right) / 2 - w / 2;
  int y = (area.top + area.bottom) / 2 - h / 2;
  if (!(style & WS_CHILD)) {  // keep a top-level window on the work area
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    if (x + w > work.right) x = work.right - w;
    if (x < work.left) x = work.left;
    if (y + h > work.bottom) y = work.bottom - h;
    if (y < work.top) y = work.top;
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }
int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }

void CWnd::SetFont(CFont* font, BOOL redraw) { SendMessage(WM_SETFONT, (WPARAM)HandleOf(font), redraw); }
CFont* CWnd::GetFont() const { return CFont::FromHandle((HFONT)SendMessage(WM_GETFONT)); }

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
  return platform::ShowMessageBoxFor(m_hWnd, text, caption ? caption : "", type);
}

CDC* CWnd::DCFromHandle_(HDC dc) { return CDC::FromHandle(dc); }
