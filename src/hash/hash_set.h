// A set of 64-bit hashes for counting distinct values without an
// allocation per value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hash/hash_seed.h"

namespace tersolite {

/// A set of 64-bit hashes in one flat table (open addressing), so that an
/// insert allocates nothing once the table has grown. Slots are chosen by a
/// seeded hash, as for the other tables.
class HashSet64 {
 public:
  size_t size() const { return size_; }

  void insert(uint64_t h) {
    if (h == 0) {  // 0 marks an empty slot
      size_ += !has_zero_;
      has_zero_ = true;
      return;
    }
    if (2 * (size_ + 1) > slots_.size()) grow();
    if (place(h)) ++size_;
  }

 private:
  // Whether `h` was new.
  bool place(uint64_t h) {
    size_t mask = slots_.size() - 1;
    for (size_t i = hash_(h) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == h) return false;
      if (slots_[i] == 0) {
        slots_[i] = h;
        return true;
      }
    }
  }

  void grow() {
    std::vector<uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : 2 * old.size(), 0);
    for (uint64_t h : old) {
      if (h != 0) place(h);
    }
  }

  std::vector<uint64_t> slots_;  // a power of two, at most half full
  size_t size_ = 0;
  bool has_zero_ = false;
  SeededU64Hash hash_;
};

}  // namespace tersolite
