#include <gtest/gtest.h>

#include <thread>

#include "platform/sync.h"

namespace {

TEST(SyncTest, NamedMutexIsSharedAndTimesOut) {
  CMutex a(FALSE, "corvane-test-mutex");
  CMutex b(FALSE, "corvane-test-mutex");
  EXPECT_FALSE(a.AlreadyExisted());
  EXPECT_TRUE(b.AlreadyExisted());
  ASSERT_TRUE(a.Lock(0));
  BOOL other = TRUE;
  std::thread t([&] { other = b.Lock(50); });
  t.join();
  EXPECT_FALSE(other);
  a.Unlock();
  std::thread t2([&] {
    other = b.Lock(1000);
    if (other) b.Unlock();
  });
  t2.join();
  EXPECT_TRUE(other);
}

TEST(SyncTest, SingleLockReleasesAtScopeEnd) {
  CCriticalSection cs;
  {
    CSingleLock l(&cs, TRUE);
    EXPECT_TRUE(l.IsLocked());
  }
  BOOL got = FALSE;
  std::thread t([&] {
    CSingleLock l(&cs);
    got = l.Lock(100);
  });
  t.join();
  EXPECT_TRUE(got);
}

TEST(SyncTest, AutoResetEvent) {
  CEvent e;
  EXPECT_FALSE(e.Lock(0));
  e.SetEvent();
  EXPECT_TRUE(e.Lock(0));
  EXPECT_FALSE(e.Lock(0));
}

}  // namespace
