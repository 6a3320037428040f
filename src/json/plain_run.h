// The bytes JSON strings carry as they stand (everything but controls, the
// double quote and the backslash) and what each byte costs when written:
// shared by the reader, the writer and the measurement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tersolite::json {

/// Written characters each byte contributes inside a JSON string literal:
/// continuation bytes 0, two-character escapes 2, \u00XX escapes 6, else 1.
struct WrittenCharsTable {
  uint8_t size[256] = {};
  constexpr WrittenCharsTable() {
    for (int b = 0; b < 256; ++b) size[b] = 1;
    for (int b = 0x80; b < 0xC0; ++b) size[b] = 0;
    for (int b = 0; b < 0x20; ++b) size[b] = 6;
    for (int b : {'"', '\\', '\b', '\t', '\n', '\f', '\r'}) size[b] = 2;
  }
};
inline constexpr WrittenCharsTable kWrittenChars;

/// The position of the first byte at or after `i` in `p[0..n)` that is a
/// control (below 0x20), a double quote or a backslash; `n` if none. The
/// bytes of the run are or-ed into `seen` (its high bit tells non-ASCII).
inline size_t end_of_plain_run(const char* p, size_t i, size_t n, uint64_t& seen) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
#if defined(__SSE2__)
  // Sixteen bytes at a time; the words below finish the tail.
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i below_space = _mm_set1_epi8(0x1F);
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, below_space), v);
    __m128i stop = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)), control);
    auto mask = static_cast<uint32_t>(_mm_movemask_epi8(stop));
    auto high = static_cast<uint32_t>(_mm_movemask_epi8(v));
    if (mask) {
      uint32_t before = mask & (0u - mask);  // lowest stop
      if (high & (before - 1)) seen |= kHigh;
      return i + static_cast<size_t>(__builtin_ctz(mask));
    }
    if (high) seen |= kHigh;
  }
#endif
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
