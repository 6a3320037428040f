#include "json_string.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tersolite_cli {

namespace {

// Marks of the bytes that end a plain run (quote, backslash, control
// character) in the kBlock bytes at a pointer, one bit or one byte per byte,
// the first byte lowest.
#ifdef __SSE2__
constexpr size_t kBlock = 16;
constexpr int kBitsPerByte = 1;
using Marks = uint32_t;

Marks marks_of(const char* p) {
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i quote = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'));
  __m128i backslash = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'));
  __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
  return static_cast<Marks>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(quote, backslash), control)));
}
#else
constexpr size_t kBlock = 8;
constexpr int kBitsPerByte = 8;
using Marks = uint64_t;

constexpr uint64_t kOnes = 0x0101010101010101;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;

// The high bit of each byte of `word` below `n` (1 to 128), exactly: no
// carry crosses a byte.
constexpr uint64_t bytes_below(uint64_t word, uint64_t n) {
  return ~(((word & kLow7) + kOnes * (0x80 - n)) | word | kLow7);
}

Marks marks_of(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return bytes_below(word ^ (kOnes * '"'), 1) | bytes_below(word ^ (kOnes * '\\'), 1) | bytes_below(word, 0x20);
}
#endif

// The offset of the first mark. REQUIRES: `marks` is not 0.
size_t first_mark(Marks marks) { return static_cast<size_t>(std::countr_zero(marks) / kBitsPerByte); }

// `marks` without those of the bytes up to offset `k`.
Marks marks_after(Marks marks, size_t k) {
  size_t shift = (k + 1) * kBitsPerByte;
  return shift >= sizeof(Marks) * 8 ? 0 : marks & (~Marks{0} << shift);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the four hex digits at `p`, or -1.
int32_t hex4(const char* p) {
  int32_t unit = 0;
  for (int k = 0; k < 4; ++k) {
    int digit = hex_digit(p[k]);
    if (digit < 0) return -1;
    unit = unit << 4 | digit;
  }
  return unit;
}

char* put_utf8(char* out, uint32_t code) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | code >> 6);
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out++ = static_cast<char>(0xE0 | code >> 12);
    *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | code >> 18);
    *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

// Decodes the "\u" escape at `in` (a pair for a code point beyond the
// basic plane) into `out`; advances both, or fails.
bool decode_unicode(const char*& in, const char* end, char*& out) {
  if (end - in < 6) return false;
  int32_t unit = hex4(in + 2);
  if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) return false;
  uint32_t code = static_cast<uint32_t>(unit);
  in += 6;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    if (end - in < 6 || in[0] != '\\' || in[1] != 'u') return false;
    int32_t low = hex4(in + 2);
    if (low < 0xDC00 || low > 0xDFFF) return false;
    code = 0x10000 + ((code - 0xD800) << 10) + static_cast<uint32_t>(low - 0xDC00);
    in += 6;
  }
  out = put_utf8(out, code);
  return true;
}

// What each escape letter other than 'u' stands for; 0 for none.
constexpr auto kEscaped = [] {
  std::array<char, 256> table{};
  for (char c : {'"', '\\', '/'}) table[static_cast<unsigned char>(c)] = c;
  table['b'] = '\b';
  table['f'] = '\f';
  table['n'] = '\n';
  table['r'] = '\r';
  table['t'] = '\t';
  return table;
}();

// Decodes the block at `in`, its plain runs and simple escapes, when the
// decoded text is a block or more behind (so that a block written whole at
// `to` lands on bytes already read) and another block follows (so that a
// block read from any offset of this one stays in the text). False when it
// stopped at a byte it leaves to the caller: a quote, a control character,
// or an escape other than a simple one. Taking every mark of one read lets
// the next block's read start before this block's escapes are done.
bool decode_block(const char*& in, char*& to) {
  const char* block = in;
  Marks marks = marks_of(block);
  size_t done = 0;
  while (marks != 0) {
    size_t k = first_mark(marks);
    std::memcpy(to, block + done, kBlock);  // the run before the mark, and bytes overwritten later
    to += k - done;
    char decoded = block[k] == '\\' ? kEscaped[static_cast<unsigned char>(block[k + 1])] : 0;
    if (decoded == 0) {
      in = block + k;
      return false;
    }
    *to++ = decoded;
    done = k + 2;
    marks = marks_after(marks, k + 1);
  }
  if (done < kBlock) {
    std::memcpy(to, block + done, kBlock);
    to += kBlock - done;
    done = kBlock;
  }
  in = block + done;
  return true;
}

}  // namespace

bool decode_string_in_place(char* text, size_t size, DecodedString& out) {
  const char* in = text;
  const char* const end = text + size;
  char* to = text;
  for (;;) {
    // Plain bytes go a block at a time. Until the first escape they are
    // already in place; once escapes have shortened the text by a block or
    // more, a block written back whole lands on bytes already read.
    while (static_cast<size_t>(end - in) >= kBlock) {
      auto gap = static_cast<size_t>(in - to);
      if (gap >= kBlock && static_cast<size_t>(end - in) >= 2 * kBlock) {
        if (decode_block(in, to)) continue;
        break;
      }
      Marks marks = marks_of(in);
      size_t plain = marks == 0 ? kBlock : first_mark(marks);
      if (gap >= kBlock)
        std::memcpy(to, in, kBlock);
      else if (gap > 0)
        std::memmove(to, in, plain);
      in += plain;
      to += plain;
      if (plain < kBlock) break;
    }
    if (in == end) return false;
    char c = *in;
    if (c == '"') {
      out = {static_cast<size_t>(to - text), static_cast<size_t>(in + 1 - text)};
      return true;
    }
    if (c == '\\') {
      if (end - in < 2) return false;
      if (in[1] == 'u') {
        if (!decode_unicode(in, end, to)) return false;
      } else {
        char decoded = kEscaped[static_cast<unsigned char>(in[1])];
        if (decoded == 0) return false;
        *to++ = decoded;
        in += 2;
      }
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    *to++ = *in++;
  }
}

}  // namespace tersolite_cli
