// Seeds for the hash tables used for lookups inside a call. The seed is drawn
// from the operating system once per thread and advanced by one for every new
// table; no output depends on it, since no result follows a table's order.
#pragma once

#include <cstdint>
#include <string_view>

namespace tersolite {

/// The next table seed of the calling thread.
uint64_t next_hash_seed();

/// A seeded hash for string keys.
struct SeededStringHash {
  using is_transparent = void;  // look up by string_view without a copy
  uint64_t seed = next_hash_seed();
  size_t operator()(std::string_view s) const;
};

/// A seeded hash for 64-bit keys that are already well mixed or small.
struct SeededU64Hash {
  uint64_t seed = next_hash_seed();
  size_t operator()(uint64_t x) const;
};

}  // namespace tersolite
