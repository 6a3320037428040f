#include "value/utf8.h"

#include <algorithm>
#include <cstring>

namespace tersolite {

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    // ASCII runs are the common case: check eight bytes at a time.
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ull) break;
      p += 8;
    }
    if (p == end) break;
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    size_t left = static_cast<size_t>(end - p);
    if (c >= 0xC2 && c <= 0xDF) {
      if (left < 2 || (p[1] & 0xC0) != 0x80) return false;
      p += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      if (left < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return false;
      if (c == 0xE0 && p[1] < 0xA0) return false;  // overlong
      if (c == 0xED && p[1] > 0x9F) return false;  // surrogate
      p += 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      if (left < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return false;
      if (c == 0xF0 && p[1] < 0x90) return false;  // overlong
      if (c == 0xF4 && p[1] > 0x8F) return false;  // above U+10FFFF
      p += 4;
    } else {
      return false;  // continuation byte, C0, C1 or F5..FF as a lead
    }
  }
  return true;
}

uint64_t char_count(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  uint64_t continuation = 0;
  size_t i = 0;
  // A continuation byte is 10xxxxxx: bit 7 set and bit 6 clear.
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    uint64_t marks = (word & ~(word << 1) & 0x8080808080808080ull) >> 7;
    continuation += (marks * 0x0101010101010101ull) >> 56;  // sum of the byte flags
  }
  for (; i < n; ++i) continuation += (p[i] & 0xC0) == 0x80;
  return n - continuation;
}

char32_t decode_utf8(std::string_view text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char c = byte(pos);
  if (c < 0x80) {
    ++pos;
    return c;
  }
  size_t len = utf8_sequence_length(c);
  if (pos + len > text.size()) {  // not reached for valid input
    ++pos;
    return 0xFFFD;
  }
  char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (byte(pos + k) & 0x3F);
  pos += len;
  return cp;
}

size_t encode_utf8(char* out, char32_t c) {
  auto* p = reinterpret_cast<unsigned char*>(out);
  if (c < 0x80) {
    p[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    p[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    p[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    p[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    p[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    p[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  p[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  p[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  p[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  p[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

void append_utf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, encode_utf8(bytes, c));
}

size_t byte_offset_of_char(std::string_view text, uint64_t chars) {
  size_t pos = 0;
  while (chars > 0 && pos < text.size()) {
    pos += utf8_sequence_length(static_cast<unsigned char>(text[pos]));
    --chars;
  }
  return pos < text.size() ? pos : text.size();
}

std::string position_text(TextPosition p, std::optional<uint64_t> byte) {
  if (byte) return " at byte " + decimal(*byte) + " line " + decimal(p.line) + " column " + decimal(p.column);
  return " at line " + decimal(p.line) + ", column " + decimal(p.column);
}

TextPosition position_of(std::string_view text, size_t at) {
  at = std::min(at, text.size());
  TextPosition p;
  size_t line_start = 0;
  for (size_t i = 0; i < at; ++i) {
    if (text[i] == '\n') {
      ++p.line;
      line_start = i + 1;
    }
  }
  p.column = 1 + char_count(text.substr(line_start, at - line_start));
  return p;
}

bool is_unicode_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string decimal(uint64_t n) { return std::to_string(n); }

}  // namespace tersolite
