// Locks: CMutex (named ones are shared between processes on Windows), CCriticalSection,
// CEvent and the scoped CSingleLock.
//
// A mutex whose owner died (WAIT_ABANDONED) counts as acquired: the data it guards is
// in whatever state the dead owner left, which every user of these locks tolerates.
#pragma once

#include <memory>

#include "platform/cstring.h"
#include "platform/types.h"

class CSyncObject {
 public:
  virtual ~CSyncObject() = default;
  // TRUE when acquired within timeout milliseconds.
  virtual BOOL Lock(DWORD timeout = INFINITE) = 0;
  virtual BOOL Unlock() = 0;
};

class CMutex : public CSyncObject {
 public:
  // name == nullptr: an unnamed mutex of this process.
  explicit CMutex(BOOL initiallyOwn = FALSE, const char* name = nullptr);
  ~CMutex() override;
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  BOOL Lock(DWORD timeout = INFINITE) override;
  BOOL Unlock() override;
  // Whether the named mutex existed before this object opened it.
  BOOL AlreadyExisted() const { return m_existed; }
  // Whether the last successful Lock found the mutex abandoned by a dead owner.
  BOOL LastLockAbandoned() const { return m_abandoned; }
  BOOL IsValid() const;

 private:
  bool m_existed = false;
  bool m_abandoned = false;
#ifdef _WIN32
  HANDLE m_h = nullptr;
#else
 public:
  struct Impl;  // shared by the objects of one name
 private:
  std::shared_ptr<Impl> m_impl;
#endif
};

// Name of the mutex that guards one file between programs: the prefix and a hash of
// the path, its case and slash form ignored (mutex names cannot hold backslashes).
CString FileMutexName(const char* prefix, const char* path);

class CCriticalSection : public CSyncObject {
 public:
  CCriticalSection();
  ~CCriticalSection() override;
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;
  BOOL Lock(DWORD timeout = INFINITE) override;
  BOOL Unlock() override;

 private:
#ifdef _WIN32
  CRITICAL_SECTION m_cs;
#else
  struct Impl;
  std::unique_ptr<Impl> m_impl;
#endif
};

class CEvent : public CSyncObject {
 public:
  explicit CEvent(BOOL initiallyOwn = FALSE, BOOL manualReset = FALSE, const char* name = nullptr);
  ~CEvent() override;
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;
  BOOL Lock(DWORD timeout = INFINITE) override;  // waits for the event
  BOOL Unlock() override { return TRUE; }
  BOOL SetEvent();
  BOOL ResetEvent();
#ifdef _WIN32
  HANDLE m_hObject = nullptr;
#else
 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
#endif
};

// Holds a lock for a scope.
class CSingleLock {
 public:
  explicit CSingleLock(CSyncObject* obj, BOOL initialLock = FALSE) : m_obj(obj) {
    if (initialLock) Lock();
  }
  ~CSingleLock() { Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  BOOL Lock(DWORD timeout = INFINITE) {
    if (m_locked) return TRUE;
    m_locked = m_obj && m_obj->Lock(timeout);
    return m_locked ? TRUE : FALSE;
  }
  BOOL Unlock() {
    if (!m_locked) return TRUE;
    m_locked = false;
    return m_obj->Unlock();
  }
  BOOL IsLocked() const { return m_locked ? TRUE : FALSE; }

 private:
  CSyncObject* m_obj;
  bool m_locked = false;
};
