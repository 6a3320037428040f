// Memory for the big blocks of a document (arena blocks, size arrays, the
// reader's element stacks): advised for huge pages, so that touching 100 MB
// costs a few hundred page faults instead of 25,000. Nothing is kept once
// a request is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tersolite {

inline constexpr size_t kHugePage = size_t{2} << 20;

/// Advises the whole huge pages inside [data, data + size); the memory may
/// be untouched still, which is when the advice pays.
inline void advise_huge_pages(void* data, size_t size) {
#ifdef __linux__
  auto begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
  auto end = (reinterpret_cast<uintptr_t>(data) + size) & ~uintptr_t{kHugePage - 1};
  if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

/// `bytes` for a block of working memory: mapped on its own, aligned to
/// huge pages and advised when large, else from malloc. Give it back with
/// release_large().
void* allocate_large(size_t bytes);

/// Gives back a block from allocate_large() or grow_block() of `bytes` (the
/// size last asked for).
void release_large(void* block, size_t bytes);

/// A block of `new_bytes` holding the first `old_bytes` of `block` (null
/// when `old_bytes` is 0), which is given up. Large blocks grow without
/// holding the old and the new bytes at once: on Linux their pages are
/// remapped rather than copied, and advised for huge pages. Give the last
/// one back with release_large() and its size.
void* grow_block(void* block, size_t old_bytes, size_t new_bytes);

}  // namespace tersolite
