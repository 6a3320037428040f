// The JSON cost model: how many characters the writer (json_writer.h)
// spends on every piece of a document, in both layouts. The measurement, the
// reader's size notes, sampling, member selection and condensing all count
// with it, so that a predicted size is the written size; change the two
// together (json_cost_test checks them against each other).
#pragma once

#include <cstdint>
#include <string_view>

#include "value/value.h"

namespace tersolite {

namespace json {

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

}  // namespace json

/// Output layout: width 0 is compact, otherwise spaces per nesting level.
struct Layout {
  uint64_t width = 0;
  bool pretty() const { return width > 0; }
  /// The space after a member's colon.
  uint64_t colon_space() const { return pretty() ? 1 : 0; }
};

/// Characters of `text` written as a JSON string literal, quotes included.
uint64_t json_string_size(std::string_view text);

/// The same for a key, trusting the reader's mark when it has one.
inline uint64_t key_size(const Text& key) { return key.is_plain_text() ? key.size() + 2 : json_string_size(key); }

/// A member's key as written with its colon and the space after it.
inline uint64_t member_key_cost(const Layout& layout, const Text& key) {
  return key_size(key) + 1 + layout.colon_space();
}

/// The same and the characters of `text` itself, in one pass.
struct StringSizes {
  uint64_t written = 0;
  uint64_t chars = 0;
};
StringSizes json_string_sizes(std::string_view text);

/// A string's sizes, taken from the reader's mark or note when it has one.
inline StringSizes string_sizes(const Value& string) {
  size_t n = string.text().size();
  if (string.is_plain_text()) return {n + 2, n};
  if (string.has_noted_sizes()) {
    Value::NotedSizes noted = string.noted_sizes();
    return {noted.written, noted.chars};
  }
  return json_string_sizes(string.text());
}

/// Characters of a scalar written as JSON.
/// REQUIRES: value.is_scalar().
inline uint64_t scalar_written_size(const Value& scalar) {
  switch (scalar.kind()) {
    case Kind::kNull: return 4;
    case Kind::kBool: return scalar.as_bool() ? 4 : 5;
    case Kind::kNumber: return scalar.text().size();  // number literals are ASCII
    case Kind::kString: return string_sizes(scalar).written;
    default: return 0;
  }
}

/// What each item or member of a container at `depth` adds to it: its line
/// break and indentation, and the comma after it (or, for the last, the
/// line break before the closing bracket).
inline uint64_t entry_overhead(const Layout& layout, uint64_t depth) {
  return layout.pretty() ? layout.width * (depth + 1) + 2 : 1;
}

/// The rest of a container at `depth` holding at least one entry: its
/// brackets and the closing bracket's indentation.
inline uint64_t container_frame(const Layout& layout, uint64_t depth) {
  return layout.pretty() ? layout.width * depth + 2 : 1;
}

/// Container overhead: brackets, separators, line breaks and indentation for
/// `n` items or members at `depth` (keys and values not included).
inline uint64_t container_overhead(const Layout& layout, uint64_t n, uint64_t depth) {
  if (n == 0) return 2;
  return n * entry_overhead(layout, depth) + container_frame(layout, depth);
}

}  // namespace tersolite
