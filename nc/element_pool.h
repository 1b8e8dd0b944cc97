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

namespace element_pool {

// A block of `size` bytes, aligned for any element; null when memory runs out.
void* Allocate(size_t size) noexcept;
// Gives back a block of `size` bytes from Allocate.
void Free(void* block, size_t size) noexcept;
// Blocks handed out and not yet given back.
size_t LiveBlocks();

}  // namespace element_pool
