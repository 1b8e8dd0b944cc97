// A copy of a value that a lock guards, taken under the lock: the one-line getters of
// objects shared between threads. The value is named, not computed: an expression would
// be evaluated before the lock is taken.
#pragma once

#include "platform/sync.h"

template <typename T>
T ReadLocked(CSyncObject& lock, const T& value) {
  CSingleLock hold(&lock, TRUE);
  return value;
}
