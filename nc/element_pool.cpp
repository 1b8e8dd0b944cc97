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
    ::operator delete(block);
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
