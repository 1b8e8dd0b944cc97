#include "platform/sync.h"

#include <cstdint>

#ifdef _WIN32

CMutex::CMutex(BOOL initiallyOwn, const char* name) {
  m_h = CreateMutexA(nullptr, initiallyOwn, name);
  m_existed = m_h && GetLastError() == ERROR_ALREADY_EXISTS;
}

CMutex::~CMutex() {
  if (m_h) CloseHandle(m_h);
}

BOOL CMutex::IsValid() const { return m_h != nullptr; }

BOOL CMutex::Lock(DWORD timeout) {
  if (!m_h) return FALSE;
  DWORD r = WaitForSingleObject(m_h, timeout);
  m_abandoned = (r == WAIT_ABANDONED);
  return (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ? TRUE : FALSE;
}

BOOL CMutex::Unlock() { return m_h ? ReleaseMutex(m_h) : FALSE; }

CCriticalSection::CCriticalSection() { InitializeCriticalSection(&m_cs); }
CCriticalSection::~CCriticalSection() { DeleteCriticalSection(&m_cs); }

BOOL CCriticalSection::Lock(DWORD timeout) {
  if (timeout == INFINITE) {
    EnterCriticalSection(&m_cs);
    return TRUE;
  }
  DWORD start = GetTickCount();
  for (;;) {
    if (TryEnterCriticalSection(&m_cs)) return TRUE;
    if (GetTickCount() - start >= timeout) return FALSE;
    Sleep(1);
  }
}

BOOL CCriticalSection::Unlock() {
  LeaveCriticalSection(&m_cs);
  return TRUE;
}

CEvent::CEvent(BOOL initiallyOwn, BOOL manualReset, const char* name) {
  m_hObject = CreateEventA(nullptr, manualReset, initiallyOwn, name);
}
CEvent::~CEvent() {
  if (m_hObject) CloseHandle(m_hObject);
}
BOOL CEvent::Lock(DWORD timeout) { return WaitForSingleObject(m_hObject, timeout) == WAIT_OBJECT_0; }
BOOL CEvent::SetEvent() { return ::SetEvent(m_hObject); }
BOOL CEvent::ResetEvent() { return ::ResetEvent(m_hObject); }

#else  // host: named objects are shared within the process only

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

struct CMutex::Impl {
  std::recursive_timed_mutex m;
};

namespace {
std::mutex g_namesLock;

BOOL LockWithin(std::recursive_timed_mutex& m, DWORD timeout) {
  if (timeout == INFINITE) {
    m.lock();
    return TRUE;
  }
  return m.try_lock_for(std::chrono::milliseconds(timeout)) ? TRUE : FALSE;
}

std::map<std::string, std::weak_ptr<CMutex::Impl> >& Names() {
  static std::map<std::string, std::weak_ptr<CMutex::Impl> > names;
  return names;
}
}  // namespace

CMutex::CMutex(BOOL initiallyOwn, const char* name) {
  if (name && *name) {
    std::lock_guard<std::mutex> g(g_namesLock);
    auto& slot = Names()[name];
    m_impl = slot.lock();
    m_existed = m_impl != nullptr;
    if (!m_impl) {
      m_impl = std::make_shared<Impl>();
      slot = m_impl;
    }
  } else {
    m_impl = std::make_shared<Impl>();
  }
  if (initiallyOwn && !m_existed) m_impl->m.lock();
}

CMutex::~CMutex() = default;

BOOL CMutex::IsValid() const { return m_impl != nullptr; }

BOOL CMutex::Lock(DWORD timeout) {
  m_abandoned = false;
  return LockWithin(m_impl->m, timeout);
}

BOOL CMutex::Unlock() {
  m_impl->m.unlock();
  return TRUE;
}

struct CCriticalSection::Impl {
  std::recursive_timed_mutex m;
};

CCriticalSection::CCriticalSection() : m_impl(new Impl) {}
CCriticalSection::~CCriticalSection() = default;

BOOL CCriticalSection::Lock(DWORD timeout) { return LockWithin(m_impl->m, timeout); }

BOOL CCriticalSection::Unlock() {
  m_impl->m.unlock();
  return TRUE;
}

struct CEvent::Impl {
  std::mutex m;
  std::condition_variable cv;
  bool signalled = false;
  bool manual = false;
};

CEvent::CEvent(BOOL initiallyOwn, BOOL manualReset, const char*) : m_impl(new Impl) {
  m_impl->signalled = initiallyOwn != 0;
  m_impl->manual = manualReset != 0;
}
CEvent::~CEvent() = default;

BOOL CEvent::Lock(DWORD timeout) {
  std::unique_lock<std::mutex> l(m_impl->m);
  auto ready = [&] { return m_impl->signalled; };
  if (timeout == INFINITE)
    m_impl->cv.wait(l, ready);
  else if (!m_impl->cv.wait_for(l, std::chrono::milliseconds(timeout), ready))
    return FALSE;
  if (!m_impl->manual) m_impl->signalled = false;
  return TRUE;
}

BOOL CEvent::SetEvent() {
  std::lock_guard<std::mutex> l(m_impl->m);
  m_impl->signalled = true;
  if (m_impl->manual)
    m_impl->cv.notify_all();
  else
    m_impl->cv.notify_one();
  return TRUE;
}

BOOL CEvent::ResetEvent() {
  std::lock_guard<std::mutex> l(m_impl->m);
  m_impl->signalled = false;
  return TRUE;
}

#endif

CString FileMutexName(const char* prefix, const char* path) {
  CString lower(path);
  lower.MakeLower();
  lower.Replace('/', '\\');
  uint32_t h = 2166136261u;  // FNV-1a
  for (const char* p = lower; *p; ++p) h = (h ^ (unsigned char)*p) * 16777619u;
  CString name;
  name.Format("%s_%08X", prefix, h);
  return name;
}
