// Strict JSON reader: one value with optional whitespace around it, numbers
// kept as their literal text, duplicate keys kept, lone surrogate escapes
// replaced by U+FFFD, containers nested at most 512 deep.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "value/result.h"
#include "value/value.h"

namespace tersolite::json {

/// Deepest container nesting the reader accepts (the top-level value is 0).
inline constexpr uint64_t kMaxDepth = 512;

struct ParseError {
  std::string message;
  uint64_t line = 1;    // from 1
  uint64_t column = 1;  // from 1, in characters

  /// "<message> at line <line>, column <column>".
  std::string text() const;
};

/// Reads the whole text as one JSON value. A leading byte-order mark is
/// skipped; positions count from after it. With an arena the tree borrows:
/// its nodes live in `arena` and its strings point into `text` where they
/// have no escapes, so both must outlive it. Without one it owns everything.
/// With an arena and `noted_width` as well, every container below the top
/// level that holds a non-empty container notes its size written as JSON with that many spaces
/// per level (0: compact) at the depth it was read at (see
/// Value::noted_written_size), so that measuring it in that layout reads
/// none of it.
/// REQUIRES: `text` is valid UTF-8.
[[nodiscard]] Expected<Value, ParseError> read_json(std::string_view text, Arena* arena = nullptr,
                                                    std::optional<uint64_t> noted_width = std::nullopt);

/// `text` without a leading UTF-8 byte-order mark.
inline std::string_view without_bom(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

}  // namespace tersolite::json
