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

/// Whether a block of `bytes` from allocate_large() or grow_block() is
/// mapped on its own, so that its pages can be made present ahead of use.
bool is_mapped(size_t bytes);

/// How much of a mapped block its users make present at a time: enough to
/// spare most faults, little enough that a block's unused end stays free.
inline constexpr size_t kPresentStep = size_t{1} << 20;

/// Makes the pages under `bytes` from `from`, inside one mapped block,
/// present in one call where the kernel can (Linux 5.14 on): it fills them
/// in a batch, where touching them one by one faults once a page, and each
/// fault is dear on a virtual machine. Elsewhere the pages fault as usual.
void make_present(void* from, size_t bytes);

/// For a mapped block whose first `ready` bytes from `from` are present, of
/// `room`: makes present a step more, at least up to `need` (at most
/// `room`), in whole `grain`s, and returns the bytes present now.
/// REQUIRES: ready < need <= room, and `room` a multiple of `grain`.
size_t present_through(char* from, size_t ready, size_t need, size_t room, size_t grain);

}  // namespace tersolite
