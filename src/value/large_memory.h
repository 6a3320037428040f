// Memory for the big blocks of a document (arena blocks, size arrays, the
// reader's element stacks). Large ones are mapped on their own, with small
// pages: a virtual machine hands a guest's free huge pages back to its host
// within seconds, so touching fresh huge pages after a pause costs the host
// fault of every page and made a first call five times slower than the
// next, while small pages come warm from the guest's own free lists.
// Nothing is kept once a request is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tersolite {

/// `bytes` for a block of working memory: mapped on its own when large,
/// else from malloc. Give it back with release_large().
void* allocate_large(size_t bytes);

/// Gives back a block from allocate_large() or grow_block() of `bytes` (the
/// size last asked for).
void release_large(void* block, size_t bytes);

/// A block of `new_bytes` holding the first `old_bytes` of `block` (null
/// when `old_bytes` is 0), which is given up. Large blocks grow without
/// holding the old and the new bytes at once: on Linux their pages are
/// remapped rather than copied. Give the last one back with
/// release_large() and its size.
void* grow_block(void* block, size_t old_bytes, size_t new_bytes);

}  // namespace tersolite
