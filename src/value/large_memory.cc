#include "value/large_memory.h"

#include <algorithm>
#include <cstring>

namespace tersolite {

#if defined(__linux__)
namespace {

// Blocks from this size on are mapped on their own, so that they can be
// remapped when they grow.
constexpr size_t kMappedFrom = size_t{2} << 20;
constexpr size_t kPage = 4096;

size_t whole_pages(size_t bytes) { return (bytes + kPage - 1) & ~(kPage - 1); }

}  // namespace
#endif

// Large blocks are mapped on their own rather than taken from malloc: freed,
// they go back to the kernel at once, where malloc would keep them, and
// keep taking more, in a heap fragmented by blocks of every size that a
// host calling again and again never sees shrink.
void* allocate_large(size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedFrom) {
    void* p = mmap(nullptr, whole_pages(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) std::abort();  // memory exhaustion ends the process
    return p;
  }
#endif
  void* p = std::malloc(bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

bool is_mapped(size_t bytes) {
#if defined(__linux__)
  return bytes >= kMappedFrom;
#else
  (void)bytes;
  return false;
#endif
}

void make_present(void* from, size_t bytes) {
#if defined(__linux__)
#ifndef MADV_POPULATE_WRITE
  constexpr int MADV_POPULATE_WRITE = 23;  // older headers than the kernel
#endif
  auto first = reinterpret_cast<uintptr_t>(from) & ~uintptr_t{kPage - 1};
  auto end = (reinterpret_cast<uintptr_t>(from) + bytes + kPage - 1) & ~uintptr_t{kPage - 1};
  // A kernel without it refuses, and the pages fault as they are touched.
  (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)from;
  (void)bytes;
#endif
}

size_t present_through(char* from, size_t ready, size_t need, size_t room, size_t grain) {
  size_t want = std::max(need, ready + kPresentStep);
  want = std::min(room, (want + grain - 1) / grain * grain);
  make_present(from + ready, want - ready);
  return want;
}

void release_large(void* block, size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedFrom) {
    munmap(block, whole_pages(bytes));
    return;
  }
#endif
  (void)bytes;
  std::free(block);
}

void* grow_block(void* block, size_t old_bytes, size_t new_bytes) {
#if defined(__linux__)
  if (new_bytes >= kMappedFrom) {
    void* p = MAP_FAILED;
    if (old_bytes >= kMappedFrom) {
      p = mremap(block, whole_pages(old_bytes), whole_pages(new_bytes), MREMAP_MAYMOVE);
    } else {
      p = mmap(nullptr, whole_pages(new_bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p != MAP_FAILED && old_bytes > 0) std::memcpy(p, block, old_bytes);
      if (p != MAP_FAILED) std::free(block);
    }
    if (p == MAP_FAILED) std::abort();  // memory exhaustion ends the process
    return p;
  }
#endif
  (void)old_bytes;
  void* p = std::realloc(block, new_bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

}  // namespace tersolite
