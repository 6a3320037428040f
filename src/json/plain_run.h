// The bytes JSON strings carry as they stand: everything but controls,
// the double quote and the backslash. Shared by the reader and the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tersolite::json {

/// The position of the first byte at or after `i` in `p[0..n)` that is a
/// control (below 0x20), a double quote or a backslash; `n` if none.
inline size_t end_of_plain_run(const char* p, size_t i, size_t n) {
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
    if (mask) return i + static_cast<size_t>(__builtin_ctzll(mask)) / 8;
  }
  for (; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c == '"' || c == '\\') return i;
  }
  return n;
}

}  // namespace tersolite::json
