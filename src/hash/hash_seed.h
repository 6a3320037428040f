// Seeds for the hash tables used for lookups inside a call. The seed is drawn
// from the operating system once per thread and advanced by one for every new
// table; no output depends on it, since no result follows a table's order.
#pragma once

#include <cstddef>
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

/// Up to eight bytes at `p` (n <= 8) as one little-endian word, zero-padded,
/// from loads of fixed width: a copy of variable length would be read back
/// slowly, and short keys and words are the most hashed and compared.
inline uint64_t pack_short(const char* p, size_t n) {
  auto byte = [p](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
  if (n >= 4) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    return lo | static_cast<uint64_t>(hi) << (8 * (n - 4));
  }
  if (n == 0) return 0;
  return byte(0) | byte(n >> 1) << (8 * (n >> 1)) | byte(n - 1) << (8 * (n - 1));
}

/// The next table seed, mixed once for the hashes below.
inline uint64_t next_mixed_hash_seed() { return mix64(next_hash_seed()); }

/// A seeded hash for string keys: FNV-1a over eight-byte words, the last
/// one read whole (overlapping, or packed when the key is shorter), then the
/// finaliser. Inline: the keys hashed most are words and keys of a few bytes.
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
      uint64_t w;
      for (size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&w, p + i, 8);
        add(w);
      }
      std::memcpy(&w, p + n - 8, 8);
      add(w);
    } else if (n > 0) {
      add(pack_short(p, n));
    }
    return static_cast<size_t>(mix64(h ^ n));
  }
};

/// A seeded hash for 64-bit keys that are already well mixed or small.
struct SeededU64Hash {
  uint64_t seed = next_mixed_hash_seed();
  size_t operator()(uint64_t x) const { return static_cast<size_t>(mix64(x ^ seed)); }
};

}  // namespace tersolite
