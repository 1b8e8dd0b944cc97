#include "nc/element_pool.h"

#include <atomic>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace element_pool {

namespace {

constexpr size_t kGrain = 8;      // block sizes are multiples of this (elements hold
                                  // nothing aligned wider than a double)
constexpr size_t kLargest = 256;  // larger blocks come from the heap
constexpr size_t kClasses = kLargest / kGrain + 1;
constexpr size_t kChunk = 1 << 20;  // bytes cut into blocks

struct FreeBlock {
  FreeBlock* next;
};

// Held for a few instructions and hardly ever contended: cheaper than a mutex, which
// costs as much as the allocation itself under Wine.
class SpinLock {
 public:
  void lock() {
    while (m_flag.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { m_flag.clear(std::memory_order_release); }

 private:
  std::atomic_flag m_flag = ATOMIC_FLAG_INIT;
};

struct Pool {
  SpinLock lock;                   // protects everything below
  FreeBlock* free[kClasses] = {};  // given-back blocks, by size class
  char* bump = nullptr;            // unused rest of the newest chunk
  size_t bumpLeft = 0;
  std::vector<char*> chunks;
  size_t live = 0;  // blocks handed out and not given back

  void ReleaseAll() {
    for (char* c : chunks) ::operator delete(c);
    chunks.clear();
    for (FreeBlock*& f : free) f = nullptr;
    bump = nullptr;
    bumpLeft = 0;
  }
};

// Never destroyed: elements may outlive static destruction at exit.
Pool& ThePool() {
  static Pool* pool = new Pool;
  return *pool;
}

size_t ClassOf(size_t size) { return (size + kGrain - 1) / kGrain; }

// Under AddressSanitizer every element is its own heap block, so that a use after free
// or an overrun of an element is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

}  // namespace

void* Allocate(size_t size) noexcept {
  if (size > kLargest) return ::operator new(size, std::nothrow);
  size_t cls = ClassOf(size);
  Pool& pool = ThePool();
  std::lock_guard<SpinLock> hold(pool.lock);
  void* block;
  if (!kPooled) {
    block = ::operator new(size, std::nothrow);
    if (!block) return nullptr;
  } else if (pool.free[cls]) {
    block = pool.free[cls];
    pool.free[cls] = pool.free[cls]->next;
  } else {
    size_t bytes = cls * kGrain;
    if (pool.bumpLeft < bytes) {
      char* chunk = static_cast<char*>(::operator new(kChunk, std::nothrow));
      if (!chunk) return nullptr;
      try {
        pool.chunks.push_back(chunk);
      } catch (const std::bad_alloc&) {
        ::operator delete(chunk);
        return nullptr;
      }
      pool.bump = chunk;
      pool.bumpLeft = kChunk;
    }
    block = pool.bump;
    pool.bump += bytes;
    pool.bumpLeft -= bytes;
  }
  pool.live++;
  return block;
}

void Free(void* block, size_t size) noexcept {
  if (!block) return;
  if (size > kLargest) {
    ::operator delete(block);
    return;
  }
  Pool& pool = ThePool();
  std::lock_guard<SpinLock> hold(pool.lock);
  if (!kPooled) {
    ::operator delete(block, size);  // sized: AddressSanitizer sees an element freed as the wrong class
  } else {
    FreeBlock* f = static_cast<FreeBlock*>(block);
    size_t cls = ClassOf(size);
    f->next = pool.free[cls];
    pool.free[cls] = f;
  }
  if (--pool.live == 0) pool.ReleaseAll();
}

size_t LiveBlocks() {
  Pool& pool = ThePool();
  std::lock_guard<SpinLock> hold(pool.lock);
  return pool.live;
}

}  // namespace element_pool

namespace {
// Chunks grow with the program, so that a small program takes little and a big one few
// chunks.
constexpr size_t kFirstArenaChunk = 64 * 1024;
constexpr size_t kLargestArenaChunk = 1 << 20;
}  // namespace

void* ElementArena::AllocateSlow(size_t size) noexcept {
#if defined(__SANITIZE_ADDRESS__)
  constexpr bool kOwnBlocks = true;
#else
  constexpr bool kOwnBlocks = false;
#endif
  size_t bytes = kOwnBlocks ? size : m_nBytes < kFirstArenaChunk ? kFirstArenaChunk : m_nBytes;
  if (bytes > kLargestArenaChunk) bytes = kLargestArenaChunk;
  if (bytes < size) bytes = size;
  char* chunk = static_cast<char*>(::operator new(bytes, std::nothrow));
  if (!chunk) return nullptr;
  try {
    m_aChunks.push_back(chunk);
  } catch (const std::bad_alloc&) {
    ::operator delete(chunk);
    return nullptr;
  }
  m_nBytes += bytes;
  if (kOwnBlocks) return chunk;
  m_pNext = chunk + size;
  m_nLeft = bytes - size;
  return chunk;
}

namespace {
// Chunks of at least this many bytes in all go back to the system on a thread of their
// own: giving back the pages of a big program takes the kernel tens of milliseconds, and
// the operator who closes a program should not wait for it.
constexpr size_t kReleaseAside = 32 << 20;
std::atomic<size_t> g_releasing{0};

void DeleteChunks(std::vector<char*>& chunks) noexcept {
  for (char* c : chunks) ::operator delete(c);
  chunks.clear();
}
}  // namespace

void ElementArena::Release() noexcept {
#if !defined(__SANITIZE_ADDRESS__)
  std::vector<char*>* aside = m_nBytes >= kReleaseAside ? new (std::nothrow) std::vector<char*> : nullptr;
  if (aside) {
    aside->swap(m_aChunks);
    const size_t bytes = m_nBytes;
    g_releasing += bytes;
    try {
      std::thread([aside, bytes] {
        DeleteChunks(*aside);
        delete aside;
        g_releasing -= bytes;
      }).detach();
    } catch (...) {
      g_releasing -= bytes;
      m_aChunks.swap(*aside);  // no thread: they go back here
      delete aside;
    }
  }
#endif
  DeleteChunks(m_aChunks);
  m_aChunks.shrink_to_fit();
  m_pNext = nullptr;
  m_nLeft = 0;
  m_nBytes = 0;
}

size_t ElementArena::BytesBeingReleased() { return g_releasing.load(); }
