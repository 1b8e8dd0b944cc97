// The millisecond tick source of code that times things out (frame resends, link
// silence, keep-alives). It is handed to the object that uses it when the object is
// built, so tests drive time by hand instead of sleeping.
#pragma once

#include "platform/types.h"

class ITickSource {
 public:
  virtual ~ITickSource() = default;
  // Milliseconds, wrapping at 2^32 like GetTickCount; compare by subtraction.
  virtual DWORD Now() = 0;
};

// GetTickCount.
class CSystemTicks : public ITickSource {
 public:
  DWORD Now() override { return ::GetTickCount(); }
  // One shared instance for objects that are not given another clock.
  static CSystemTicks& Instance();
};

// A clock that moves only when told: for tests.
class CManualTicks : public ITickSource {
 public:
  explicit CManualTicks(DWORD start = 1000) : m_dwNow(start) {}
  DWORD Now() override { return m_dwNow; }
  void Advance(DWORD ms) { m_dwNow += ms; }
  void Set(DWORD now) { m_dwNow = now; }

 private:
  DWORD m_dwNow;  // the time Now answers, in ms
};
