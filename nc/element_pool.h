// Storage of path elements.
//
// A loaded program is millions of small elements, each made by an adder and deleted with
// its list. They come from this pool instead of the general heap: blocks are cut from
// large chunks and reused through free lists per size, without a header each. When the
// last element of all programs is gone, the chunks go back to the system. Programs may
// be built on several threads (the path demo loads on its own), so the pool locks. Under
// AddressSanitizer the blocks are plain heap blocks, so that misuse is still caught.
#pragma once

#include <cstddef>
#include <vector>

namespace element_pool {

// A block of `size` bytes, aligned for any element; null when memory runs out.
void* Allocate(size_t size) noexcept;
// Gives back a block of `size` bytes from Allocate.
void Free(void* block, size_t size) noexcept;
// Blocks handed out and not yet given back.
size_t LiveBlocks();

}  // namespace element_pool

// The elements one program appends while it loads: blocks cut one after the other from
// large chunks, without a lock and without a free list, and given back all at once when
// the program frees its list. The elements are written in the order the program reads
// them, and freeing a program of millions of elements costs a few chunk releases instead
// of a heap operation each. Under AddressSanitizer every block is a heap block of its own,
// so that an overrun or a use after the release is still caught.
class ElementArena {
 public:
  ElementArena() = default;
  ~ElementArena() { Release(); }
  ElementArena(const ElementArena&) = delete;
  ElementArena& operator=(const ElementArena&) = delete;

  // A block of `size` bytes, aligned for any element; null when memory runs out.
  void* Allocate(size_t size) noexcept {
    size = (size + kGrain - 1) & ~(kGrain - 1);
    if (size <= m_nLeft) {
      void* block = m_pNext;
      m_pNext += size;
      m_nLeft -= size;
      return block;
    }
    return AllocateSlow(size);
  }
  // Gives back every block. The elements in them must have been destroyed.
  void Release() noexcept;
  // Bytes of the chunks held.
  size_t GetBytes() const { return m_nBytes; }
  // Bytes of all arenas still being given back on their threads (the bench waits for 0).
  static size_t BytesBeingReleased();

 private:
  static constexpr size_t kGrain = 8;  // elements hold nothing aligned wider than a double
  void* AllocateSlow(size_t size) noexcept;

  std::vector<char*> m_aChunks;
  char* m_pNext = nullptr;  // unused rest of the newest chunk
  size_t m_nLeft = 0;
  size_t m_nBytes = 0;
};
