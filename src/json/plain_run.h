// The bytes JSON strings carry as they stand (everything but controls, the
// double quote and the backslash): runs of them are found here for the
// reader and the writer (and runs of a number's digits for the rewriter);
// what each byte costs is in json/json_cost.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace tersolite::json {

#if defined(__SSE2__) || defined(__wasm_simd128__)
#define TERSOLITE_PLAIN_RUN_VECTORS 1
/// Of the sixteen bytes at `p`: a bit for each control, double quote or
/// backslash (`stop`), and one for each byte from 0x80 (`high`).
inline void stop_and_high_bits(const char* p, uint32_t& stop, uint32_t& high) {
#if defined(__SSE2__)
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
  __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
  stop = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(special, control)));
  high = static_cast<uint32_t>(_mm_movemask_epi8(v));
#else
  v128_t v = wasm_v128_load(p);
  v128_t special = wasm_v128_or(wasm_i8x16_eq(v, wasm_i8x16_splat('"')), wasm_i8x16_eq(v, wasm_i8x16_splat('\\')));
  stop = wasm_i8x16_bitmask(wasm_v128_or(special, wasm_u8x16_lt(v, wasm_u8x16_splat(0x20))));
  high = wasm_i8x16_bitmask(v);
#endif
}
#endif

/// The position of the first byte at or after `i` in `p[0..n)` that is a
/// control (below 0x20), a double quote or a backslash; `n` if none. The
/// bytes of the run are or-ed into `seen` (its high bit tells non-ASCII).
inline size_t end_of_plain_run(const char* p, size_t i, size_t n, uint64_t& seen) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
#if TERSOLITE_PLAIN_RUN_VECTORS
  // Sixteen bytes at a time; the words below finish the tail.
  for (; i + 16 <= n; i += 16) {
    uint32_t mask, high;
    stop_and_high_bits(p + i, mask, high);
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

/// The value of a hex digit of a \u escape; -1 for any other byte.
inline int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// The position of the first byte at or after `i` in `p[0..n)` that is no
/// ASCII digit; `n` if none: the digits of a number, eight at a time.
inline size_t end_of_digits(const char* p, size_t i, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighNibbles = kOnes * 0xF0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    // A digit is 0x30 to 0x39: its high nibble is 3, with 6 added too. A
    // carry out of a byte leaves one that is no digit, and flags only
    // bytes after it.
    uint64_t other = ((w & kHighNibbles) ^ (kOnes * 0x30)) | (((w + kOnes * 6) & kHighNibbles) ^ (kOnes * 0x30));
    if (other) return i + static_cast<size_t>(__builtin_ctzll(other)) / 8;
  }
  while (i < n && p[i] >= '0' && p[i] <= '9') ++i;
  return i;
}

/// Whether bytes or-ed together by end_of_plain_run were all ASCII.
inline bool seen_ascii_only(uint64_t seen) { return (seen & 0x8080808080808080ull) == 0; }

}  // namespace tersolite::json
