#include "value/large_memory.h"

#include <cstring>

namespace tersolite {

void* allocate_large(size_t bytes) {
  void* p = nullptr;
  if (bytes >= kHugePage) {
    p = std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) & ~(kHugePage - 1));
    if (p != nullptr) advise_huge_pages(p, bytes);
  }
  if (p == nullptr) p = std::malloc(bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

void release_large(void* block, size_t bytes) {
  (void)bytes;
  std::free(block);
}

namespace {

// Blocks from this size on are mapped on their own, so that they can be
// remapped when they grow.
constexpr size_t kMappedFrom = kHugePage;
constexpr size_t kPage = 4096;

size_t whole_pages(size_t bytes) { return (bytes + kPage - 1) & ~(kPage - 1); }

}  // namespace

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
    // The whole mapping, so that it stays one mapping the next growth can
    // move.
    madvise(p, whole_pages(new_bytes), MADV_HUGEPAGE);
    return p;
  }
#endif
  (void)old_bytes;
  void* p = std::realloc(block, new_bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

void free_growing_block(void* block, size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedFrom) {
    munmap(block, whole_pages(bytes));
    return;
  }
#endif
  (void)bytes;
  std::free(block);
}

}  // namespace tersolite
