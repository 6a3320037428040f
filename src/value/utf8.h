// UTF-8 helpers shared by every stage. Sizes everywhere count Unicode scalar
// values, which for valid UTF-8 is the number of bytes outside 0x80..0xBF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tersolite {

/// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing above U+10FFFF, no truncated sequences).
bool is_valid_utf8(std::string_view text);

/// Characters of `text` (Unicode scalar values, not bytes).
/// REQUIRES: `text` is valid UTF-8.
uint64_t char_count(std::string_view text);

/// Byte length of the sequence that starts with `lead` (1 for stray bytes).
inline size_t utf8_sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

/// Decodes the character at `pos` and advances `pos` past it.
/// REQUIRES: `text` is valid UTF-8 and `pos` is at a character boundary.
char32_t decode_utf8(std::string_view text, size_t& pos);

/// Writes the UTF-8 bytes of `c` at `out`, which has room for four, and
/// returns their count.
size_t encode_utf8(char* out, char32_t c);

/// Appends the UTF-8 bytes of `c`.
void append_utf8(std::string& out, char32_t c);

/// Byte offset of the character with index `chars` (or the end).
size_t byte_offset_of_char(std::string_view text, uint64_t chars);

/// Line (from 1, counting line feeds before `at`) and column (from 1, in
/// characters since the last line feed) of byte position `at`.
struct TextPosition {
  uint64_t line = 1;
  uint64_t column = 1;
};
TextPosition position_of(std::string_view text, size_t at);

/// Where a problem is, as the readers append it to their messages:
/// " at line L, column C", or with the byte offset (the YAML reader's form)
/// " at byte B line L column C".
std::string position_text(TextPosition p, std::optional<uint64_t> byte = std::nullopt);

/// Unicode White_Space.
bool is_unicode_space(char32_t c);

/// The decimal text of `n`.
std::string decimal(uint64_t n);

}  // namespace tersolite
