// Seeds for the hash tables used for lookups inside a call. The seed is drawn
// from the operating system once per thread and advanced by one for every new
// table; no output depends on it, since no result follows a table's order.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tersolite {

/// The next table seed of the calling thread.
uint64_t next_hash_seed();

/// A strong 64-bit finaliser (splitmix64's).
inline uint64_t mix64(uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

/// The next table seed, mixed once for the hashes below.
inline uint64_t next_mixed_hash_seed() { return mix64(next_hash_seed()); }

/// A seeded hash for string keys: FNV-1a over eight-byte words, the last
/// one read whole (overlapping, or from a few loads when the key is short),
/// then the finaliser. Inline: the keys hashed most are words and keys of a
/// few bytes.
struct SeededStringHash {
  using is_transparent = void;  // look up by string_view without a copy
  uint64_t seed = next_mixed_hash_seed();

  size_t operator()(std::string_view s) const {
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = 0xcbf29ce484222325ull ^ seed;
    auto add = [&h](uint64_t w) {
      h = (h ^ w) * 0x100000001b3ull;
      h ^= h >> 29;
    };
    if (n >= 8) {
      for (size_t i = 0; i + 8 < n; i += 8) add(load<uint64_t>(p + i));
      add(load<uint64_t>(p + n - 8));
    } else if (n >= 4) {
      add(load<uint32_t>(p) | load<uint32_t>(p + n - 4) << 32);
    } else if (n > 0) {
      auto byte = [p](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
      add(byte(0) << 16 | byte(n >> 1) << 8 | byte(n - 1));
    }
    return static_cast<size_t>(mix64(h ^ n));
  }

 private:
  template <class Word>
  static uint64_t load(const char* at) {
    Word w;
    std::memcpy(&w, at, sizeof w);
    return w;
  }
};

/// A seeded hash for 64-bit keys that are already well mixed or small.
struct SeededU64Hash {
  uint64_t seed = next_mixed_hash_seed();
  size_t operator()(uint64_t x) const { return static_cast<size_t>(mix64(x ^ seed)); }
};

}  // namespace tersolite
