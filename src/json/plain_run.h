// The bytes JSON strings carry as they stand: everything but controls,
// the double quote and the backslash. Shared by the reader and the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tersolite::json {

/// The position of the first byte at or after `i` in `p[0..n)` that is a
/// control (below 0x20), a double quote or a backslash; `n` if none. The
/// bytes of the run are or-ed into `seen` (its high bit tells non-ASCII).
inline size_t end_of_plain_run(const char* p, size_t i, size_t n, uint64_t& seen) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  // Eight bytes at a time: the lowest flagged byte is exact (borrows only
  // flag bytes above a true match).
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    uint64_t q = w ^ (kOnes * '"');
    uint64_t b = w ^ (kOnes * '\\');
    uint64_t mask = (((q - kOnes) & ~q) | ((b - kOnes) & ~b) | ((w - kOnes * 0x20) & ~w)) & kHigh;
    if (mask) {
      size_t at = static_cast<size_t>(__builtin_ctzll(mask)) / 8;
      if (at > 0) seen |= w & (~uint64_t{0} >> (64 - 8 * at));
      return i + at;
    }
    seen |= w;
  }
  for (; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c == '"' || c == '\\') return i;
    seen |= c;
  }
  return n;
}

inline size_t end_of_plain_run(const char* p, size_t i, size_t n) {
  uint64_t seen = 0;
  return end_of_plain_run(p, i, n, seen);
}

/// Whether bytes or-ed together by end_of_plain_run were all ASCII.
inline bool seen_ascii_only(uint64_t seen) { return (seen & 0x8080808080808080ull) == 0; }

}  // namespace tersolite::json
