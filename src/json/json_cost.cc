#include "json/json_cost.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tersolite {

namespace {

// Eight bytes that are plain ASCII inside a JSON string: no high bit, no
// control, no quote or backslash.
inline bool plain_ascii_word(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  uint64_t control = (w - kOnes * 0x20) & ~w;
  uint64_t quote = w ^ (kOnes * '"');
  uint64_t backslash = w ^ (kOnes * '\\');
  uint64_t special = control | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | w;
  return (special & kHigh) == 0;
}

}  // namespace

StringSizes json_string_sizes(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  StringSizes s{2, 0};
  uint64_t continuation = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time (signed compares: bytes from 0x80 are negative).
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i first_lead = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i minus_one = _mm_set1_epi8(-1);
  const __m128i ones = _mm_set1_epi8(1);
  auto byte_sum = [](__m128i x) {
    __m128i sums = _mm_sad_epu8(x, _mm_setzero_si128());
    return static_cast<uint64_t>(_mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  };
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i two = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
    __m128i below_space = _mm_cmplt_epi8(v, space);  // controls and every byte from 0x80
    if (_mm_movemask_epi8(_mm_or_si128(two, below_space)) == 0) {
      s.written += 16;
      continue;
    }
    // Counted by summing bytes rather than bits: popcount is a library call
    // on the baseline instruction set.
    __m128i cont = _mm_and_si128(_mm_cmplt_epi8(v, first_lead), ones);  // 0x80..0xBF
    __m128i per_byte = _mm_add_epi8(_mm_sub_epi8(ones, cont), _mm_and_si128(two, ones));
    continuation += byte_sum(cont);
    s.written += byte_sum(per_byte);
    auto control = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(below_space, _mm_cmpgt_epi8(v, minus_one))));
    for (; control != 0; control &= control - 1)
      s.written += json::kWrittenChars.size[p[i + __builtin_ctz(control)]] - 1;
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (plain_ascii_word(w)) {
      s.written += 8;
      continue;
    }
    for (size_t k = 0; k < 8; ++k) {
      s.written += json::kWrittenChars.size[p[i + k]];
      continuation += (p[i + k] & 0xC0) == 0x80;
    }
  }
  for (; i < n; ++i) {
    s.written += json::kWrittenChars.size[p[i]];
    continuation += (p[i] & 0xC0) == 0x80;
  }
  s.chars = n - continuation;
  return s;
}

uint64_t json_string_size(std::string_view text) { return json_string_sizes(text).written; }

}  // namespace tersolite
