// CWinApp and CWinThread: the program object, its message loop and worker threads.
//
// A program defines one global object derived from CWinApp. WinMain (in this library)
// hands it the instance and command line, runs InitInstance and then the message loop
// (Run), or ExitInstance at once when InitInstance returns FALSE (a dialog-based
// program runs its main dialog modally inside InitInstance).
#pragma once

#include "platform/win/wnd.h"

class CWinThread {
 public:
  CWinThread() = default;
  virtual ~CWinThread();
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return m_nExitCode; }
  // The message loop: until WM_QUIT, each message through PreTranslateMessage first.
  virtual int Run();
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual BOOL OnIdle(LONG count) { return FALSE; }

  // Starts the thread suspended or not; the object deletes itself when the thread
  // ends if m_bAutoDelete is set.
  BOOL CreateThread(DWORD flags = 0, UINT stackSize = 0);
  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
  DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
  BOOL SetThreadPriority(int p) { return ::SetThreadPriority(m_hThread, p); }
  BOOL PostThreadMessage(UINT msg, WPARAM wp, LPARAM lp) { return ::PostThreadMessageA(m_nThreadID, msg, wp, lp); }
  operator HANDLE() const { return m_hThread; }

  CWnd* m_pMainWnd = nullptr;
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  BOOL m_bAutoDelete = TRUE;
  int m_nExitCode = 0;

 protected:
  // Worker form (AfxBeginThread with a function).
  UINT (*m_pfnThreadProc)(LPVOID) = nullptr;
  LPVOID m_pThreadParams = nullptr;
  friend CWinThread* AfxBeginThread(UINT (*)(LPVOID), LPVOID, int, UINT, DWORD);
  friend unsigned __stdcall ThreadEntry_(void*);
};

// Starts fn(param) on a new thread. The returned object deletes itself when the
// thread ends unless the caller clears m_bAutoDelete (start suspended to do that).
CWinThread* AfxBeginThread(UINT (*fn)(LPVOID), LPVOID param, int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0);

class CWinApp : public CWinThread {
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;

  HINSTANCE m_hInstance = nullptr;
  LPTSTR m_lpCmdLine = nullptr;  // after the program name
  int m_nCmdShow = SW_SHOWNORMAL;
  LPCTSTR m_pszAppName = nullptr;
  CString m_strExeName;  // base name of the program file, without extension

  HICON LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }
  HCURSOR LoadStandardCursor(LPCTSTR id) const { return ::LoadCursorA(nullptr, id); }
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// Message box owned by the main window (answered by the test hook in tests).
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK);
// The body of WinMain; the library's WinMain calls it.
int AfxWinMain(HINSTANCE inst, LPSTR cmdLine, int cmdShow);
