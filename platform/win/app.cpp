#include "platform/win/app.h"

#include <process.h>

using namespace platform::win;

namespace {
CWinApp* g_app = nullptr;
}

CWinThread::~CWinThread() {
  if (m_hThread) ::CloseHandle(m_hThread);
}

BOOL CWinThread::PreTranslateMessage(MSG* msg) { return WalkPreTranslateTree(msg); }

int CWinThread::Run() {
  EnterLoop();
  MSG msg;
  LONG idle = 0;
  for (;;) {
    while (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idle++)) {
        LoopIdle();
        break;
      }
    }
    if (!::GetMessageA(&msg, nullptr, 0, 0)) break;
    idle = 0;
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  LeaveLoop();
  m_nExitCode = (int)msg.wParam;
  return ExitInstance();
}

unsigned __stdcall ThreadEntry_(void* arg) {
  CWinThread* t = static_cast<CWinThread*>(arg);
  UINT code = 0;
  if (t->m_pfnThreadProc) {
    code = t->m_pfnThreadProc(t->m_pThreadParams);
  } else if (t->InitInstance()) {
    code = (UINT)t->Run();
  } else {
    code = (UINT)t->ExitInstance();
  }
  DeleteTempObjects();
  if (t->m_bAutoDelete) delete t;
  return code;
}

BOOL CWinThread::CreateThread(DWORD flags, UINT stackSize) {
  unsigned id = 0;
  uintptr_t h = _beginthreadex(nullptr, stackSize, ThreadEntry_, this, flags, &id);
  if (!h) return FALSE;
  m_hThread = (HANDLE)h;
  m_nThreadID = id;
  return TRUE;
}

CWinThread* AfxBeginThread(UINT (*fn)(LPVOID), LPVOID param, int priority, UINT stackSize, DWORD createFlags) {
  CWinThread* t = new CWinThread;
  t->m_pfnThreadProc = fn;
  t->m_pThreadParams = param;
  // Start suspended so that the object is complete before the thread can end.
  if (!t->CreateThread(CREATE_SUSPENDED, stackSize)) {
    delete t;
    return nullptr;
  }
  ::SetThreadPriority(t->m_hThread, priority);
  if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(t->m_hThread);
  return t;
}

CWinApp::CWinApp(LPCTSTR appName) : m_pszAppName(appName) {
  g_app = this;
  m_hInstance = ::GetModuleHandleA(nullptr);
  m_nThreadID = ::GetCurrentThreadId();
  m_bAutoDelete = FALSE;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
  m_hThread = nullptr;  // the process's main thread: not ours to close
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() {
  if (g_app && g_app->m_pMainWnd) return g_app->m_pMainWnd;
  return CWnd::FromHandle(platform::GetMainWindow());
}

HINSTANCE AfxGetInstanceHandle() { return ::GetModuleHandleA(nullptr); }
HINSTANCE AfxGetResourceHandle() { return ResourceHandle(); }

int AfxMessageBox(LPCTSTR text, UINT type) {
  const char* caption = g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "";
  return platform::ShowMessageBox(text, caption, type);
}

namespace platform {
namespace win {
void NoteWindowCreated(CWnd* wnd) {
  if (g_app && g_app->m_pMainWnd == wnd) platform::SetMainWindow(wnd->m_hWnd);
}
}  // namespace win
}  // namespace platform

int AfxWinMain(HINSTANCE inst, LPSTR cmdLine, int cmdShow) {
  InstallPlatformHooks();
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = inst;
  app->m_lpCmdLine = cmdLine;
  app->m_nCmdShow = cmdShow;
  char path[MAX_PATH] = "";
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  CString exe(path);
  int slash = exe.ReverseFind('\\');
  if (slash >= 0) exe = exe.Mid(slash + 1);
  int dot = exe.ReverseFind('.');
  if (dot > 0) exe = exe.Left(dot);
  app->m_strExeName = exe;
  if (!app->m_pszAppName) app->m_pszAppName = app->m_strExeName;
  int code;
  if (!app->InitInstance()) {
    code = app->ExitInstance();
  } else {
    code = app->Run();
  }
  DeleteTempObjects();
  return code;
}
