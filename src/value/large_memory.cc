#include "value/large_memory.h"

#ifndef __wasi__
#include <mutex>
#endif

namespace tersolite {

namespace {

#ifdef __wasi__
// A WebAssembly instance runs one thread, and its C++ runtime has no mutex.
struct Mutex {};
struct Lock {
  explicit Lock(Mutex&) {}
};
#else
using Mutex = std::mutex;
using Lock = std::lock_guard<std::mutex>;
#endif

constexpr size_t kMinKept = size_t{64} << 10;
constexpr size_t kMaxKept = size_t{16} << 20;
constexpr size_t kMaxKeptTotal = size_t{32} << 20;

// Blocks given back, for any thread's next request.
class BlockCache {
 public:
  void* take(size_t bytes) {
    if (bytes < kMinKept || bytes > kMaxKept) return nullptr;
    Lock lock(mutex_);
    // The smallest block that serves, if it is not more than twice the need.
    size_t best = count_;
    for (size_t i = 0; i < count_; ++i) {
      if (blocks_[i].bytes >= bytes && blocks_[i].bytes <= 2 * bytes &&
          (best == count_ || blocks_[i].bytes < blocks_[best].bytes))
        best = i;
    }
    if (best == count_) return nullptr;
    void* p = blocks_[best].p;
    total_ -= blocks_[best].bytes;
    blocks_[best] = blocks_[--count_];
    return p;
  }

  bool keep(void* p, size_t bytes) {
    if (bytes < kMinKept || bytes > kMaxKept) return false;
    Lock lock(mutex_);
    if (closed_ || count_ == kSlots || total_ + bytes > kMaxKeptTotal) return false;
    blocks_[count_++] = {p, bytes};
    total_ += bytes;
    return true;
  }

  // Frees every kept block and keeps no more: the library is being
  // unloaded or the process is ending.
  void close() {
    Lock lock(mutex_);
    for (size_t i = 0; i < count_; ++i) std::free(blocks_[i].p);
    count_ = total_ = 0;
    closed_ = true;
  }

 private:
  static constexpr size_t kSlots = 32;
  struct Kept {
    void* p;
    size_t bytes;
  };
  Mutex mutex_;
  Kept blocks_[kSlots] = {};
  size_t count_ = 0;
  size_t total_ = 0;
  bool closed_ = false;
};

// Statically initialised and never destroyed, so that a block given back
// during exit still finds it; the drain below frees what it holds when the
// library is unloaded or the process ends.
constinit BlockCache the_cache;
BlockCache& cache() { return the_cache; }

struct Drain {
  ~Drain() { the_cache.close(); }
} drain;

}  // namespace

void* allocate_large(size_t bytes) {
  if (void* p = cache().take(bytes)) return p;
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
  if (block == nullptr) return;
  if (!cache().keep(block, bytes)) std::free(block);
}

}  // namespace tersolite
