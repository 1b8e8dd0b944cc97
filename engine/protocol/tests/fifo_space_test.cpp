// The spill FIFO: file naming, growth, publication by MarkEnd, reopen and reset, and a
// long run in which the file grows and the process does not.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/protocol/fifo_space.h"
#include "foundation/tests/app_folder_test.h"
#include "platform/bytes.h"

namespace {

class FifoTest : public AppFolderTest {
 protected:
  void TearDown() override {
    m_fifo.Reset();
    AppFolderTest::TearDown();
  }
  ULONGLONG OpenDefault() { return m_fifo.Open(m_dir.Path(), kFifoFirstSize, kFifoSlotSize); }
  // No heap use per item: the long run measures the process's memory.
  BOOL PushItem(uint32_t tag, DWORD length = 134) {
    BYTE item[kFifoSlotSize];
    memset(item, (BYTE)tag, sizeof(item));
    bytes::Store32(item, tag);
    return m_fifo.Push(item, length);
  }
  CFiFoSpace m_fifo;
};

TEST_F(FifoTest, OpenMakesAFreshFileInTheFifoFolder) {
  EXPECT_EQ(kFifoFirstSize, OpenDefault());
  CString name = m_fifo.GetFileName();
  EXPECT_EQ(0, name.Find(m_dir.Path() + "FiFo\\"));
  EXPECT_EQ(name.GetLength() - 5, name.Find(".fifo"));
  EXPECT_TRUE(testing_support::FileExists(name));
  EXPECT_EQ(kFifoFirstSize, testing_support::ReadFileBytes(name).size());
  EXPECT_EQ(830u, m_fifo.GetCapacity());  // 1000000 / 1204; the last 680 bytes are no slot
  EXPECT_EQ(0u, m_fifo.GetLevel());
}

// The slot layout on disk: a u16 length, then the item; slot i at i * 1204.
TEST_F(FifoTest, SlotLayout) {
  OpenDefault();
  ASSERT_TRUE(PushItem(0x11223344, 134));
  ASSERT_TRUE(PushItem(7, 1034));
  std::string file = testing_support::ReadFileBytes(m_fifo.GetFileName());
  const BYTE* b = (const BYTE*)file.data();
  EXPECT_EQ(134, bytes::Load16(b));
  EXPECT_EQ(0x11223344u, bytes::Load32(b + 2));
  EXPECT_EQ(1034, bytes::Load16(b + kFifoSlotSize));
  EXPECT_EQ(7u, bytes::Load32(b + kFifoSlotSize + 2));
}

TEST_F(FifoTest, GrowsWhenFewerThanTenSlotsAreFree) {
  OpenDefault();
  for (uint32_t i = 0; i < 821; ++i) ASSERT_TRUE(PushItem(i));
  EXPECT_EQ(830u, m_fifo.GetCapacity());  // 821 written: the push before did not grow
  ASSERT_TRUE(PushItem(821));
  EXPECT_EQ(5830u, m_fifo.GetCapacity());
  EXPECT_EQ(5830ull * 1204, m_fifo.GetFileSize());
  EXPECT_EQ(5830ull * 1204, testing_support::ReadFileBytes(m_fifo.GetFileName()).size());
  m_fifo.MarkEnd();
  BYTE buffer[1202];
  for (uint32_t i = 0; i < 822; ++i) {
    ASSERT_EQ(134u, m_fifo.Pop(buffer, sizeof(buffer)));
    ASSERT_EQ(i, bytes::Load32(buffer));  // the items survive the remapping
  }
}

TEST_F(FifoTest, ItemsAreInvisibleUntilMarkEnd) {
  OpenDefault();
  BYTE buffer[1202];
  PushItem(1);
  PushItem(2);
  DWORD written = 0, read = 0;
  EXPECT_EQ(2u, m_fifo.GetLevel(&written, &read));  // counted at once
  EXPECT_EQ(2u, written);
  EXPECT_EQ(0u, m_fifo.Pop(buffer, sizeof(buffer)));
  m_fifo.MarkEnd();
  PushItem(3);
  EXPECT_EQ(134u, m_fifo.Pop(buffer, sizeof(buffer)));
  EXPECT_EQ(134u, m_fifo.Pop(buffer, sizeof(buffer)));
  EXPECT_EQ(0u, m_fifo.Pop(buffer, sizeof(buffer)));  // 3 is not published
  EXPECT_EQ(1u, m_fifo.GetLevel(&written, &read));
  EXPECT_EQ(2u, read);
}

TEST_F(FifoTest, RefusedItemsAndShortBuffers) {
  BYTE item[1300] = {9};
  EXPECT_FALSE(m_fifo.Push(item, 10));  // no file
  OpenDefault();
  EXPECT_FALSE(m_fifo.Push(item, 1203));  // longer than a slot holds
  EXPECT_TRUE(m_fifo.Push(item, 1202));
  EXPECT_FALSE(m_fifo.Push(item, 0));
  EXPECT_FALSE(m_fifo.Push(nullptr, 10));
  EXPECT_TRUE(PushItem(0xABCDEF01, 20));
  m_fifo.MarkEnd();
  BYTE small[4];
  EXPECT_EQ(4u, m_fifo.Pop(small, sizeof(small)));  // the buffer's size; the item is taken
  EXPECT_EQ(9, small[0]);
  EXPECT_EQ(0u, m_fifo.Pop(nullptr, 10));
  EXPECT_EQ(0u, m_fifo.Pop(small, 0));
  EXPECT_EQ(4u, m_fifo.Pop(small, sizeof(small)));
  EXPECT_EQ(0xABCDEF01u, bytes::Load32(small));
}

TEST_F(FifoTest, ResetDeletesAndReopenPicksANewName) {
  OpenDefault();
  PushItem(1);
  CString first = m_fifo.GetFileName();
  m_fifo.Reset();
  EXPECT_FALSE(testing_support::FileExists(first));
  EXPECT_EQ(0u, m_fifo.GetLevel());
  m_fifo.MarkEnd();
  BYTE buffer[16];
  EXPECT_EQ(0u, m_fifo.Pop(buffer, sizeof(buffer)));
  EXPECT_FALSE(m_fifo.IsOpen());
  OpenDefault();
  CString second = m_fifo.GetFileName();
  EXPECT_NE(std::string(first), std::string(second));
  OpenDefault();  // an open file is closed and deleted first
  EXPECT_FALSE(testing_support::FileExists(second));
  EXPECT_TRUE(testing_support::FileExists(m_fifo.GetFileName()));
  EXPECT_EQ(0u, m_fifo.GetLevel());
}

TEST_F(FifoTest, NoFileWhereTheFolderCannotBeMade) {
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir.Path() + "FiFo", "a file"));
  EXPECT_EQ(0u, OpenDefault());
  EXPECT_FALSE(m_fifo.IsOpen());
  EXPECT_FALSE(PushItem(1));
  EXPECT_EQ(0u, m_fifo.Open(m_dir.Path(), 0, kFifoSlotSize));
}

#ifdef CORVANE_HOST
// Anonymous (non-file) memory of this process, in kB.
long AnonymousKb() {
  std::string status = testing_support::ReadFileBytes("/proc/self/status");
  size_t at = status.find("RssAnon:");
  return at == std::string::npos ? -1 : std::stol(status.substr(at + 8));
}
#endif

// A producer pushes while a consumer pops, the way the engine runs a long job: the file
// takes every frame (it never shrinks while open), the process's own memory stays flat.
// 10 million frames run in bench/protocol; here enough to grow the file many times.
TEST_F(FifoTest, LongRunGrowsTheFileNotTheProcess) {
  const uint32_t total = 250000;
  OpenDefault();
#ifdef CORVANE_HOST
  long before = AnonymousKb();
#endif
  std::atomic<bool> failed{false};
  std::thread producer([&] {
    for (uint32_t i = 0; i < total; ++i) {
      if (!PushItem(i)) failed = true;
      if (i % 64 == 63) m_fifo.MarkEnd();
    }
    m_fifo.MarkEnd();
  });
  BYTE buffer[1202];
  uint32_t next = 0;
  while (next < total && !failed) {
    DWORD n = m_fifo.Pop(buffer, sizeof(buffer));
    if (n == 0) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(134u, n);
    ASSERT_EQ(next, bytes::Load32(buffer));
    ++next;
  }
  producer.join();
  EXPECT_FALSE(failed);
  EXPECT_EQ(total, next);
  EXPECT_GE(m_fifo.GetFileSize(), ULONGLONG(total) * kFifoSlotSize);
#ifdef CORVANE_HOST
  long after = AnonymousKb();
  if (before >= 0 && after >= 0) {
    EXPECT_LT(after - before, 32 * 1024) << "kB of anonymous memory grew";
  }
#endif
}

}  // namespace
