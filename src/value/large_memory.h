// Memory for the big blocks of a large document (arena blocks, the scratch
// and size arrays as long as the document): advised for huge pages, so that
// touching 100 MB costs a few hundred page faults instead of 25,000. Every
// block is released with std::free.
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

/// `bytes` from malloc, or aligned to huge pages and advised when large.
inline void* allocate_large(size_t bytes) {
  void* p = nullptr;
  if (bytes >= kHugePage) {
    p = std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) & ~(kHugePage - 1));
    if (p != nullptr) advise_huge_pages(p, bytes);
  }
  if (p == nullptr) p = std::malloc(bytes);
  if (p == nullptr) std::abort();  // memory exhaustion ends the process
  return p;
}

/// A std::allocator for vectors that may grow as long as the document.
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}  // NOLINT(google-explicit-constructor)
  T* allocate(size_t n) { return static_cast<T*>(allocate_large(n * sizeof(T))); }
  void deallocate(T* p, size_t) { std::free(p); }
  template <class U>
  friend bool operator==(const LargeAllocator&, const LargeAllocator<U>&) {
    return true;
  }
};

}  // namespace tersolite
