// JSON writer: compact (width 0) or indented with `width` spaces per level.
// The size measurement predicts this output character for character, so the
// two must change together.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value/value.h"

namespace tersolite::json {

/// Appends `value` written at nesting `depth`; width 0 means compact.
void write_json(std::string& out, const Value& value, uint64_t width, uint64_t depth = 0);

/// Appends `text` as a JSON string literal, quotes included.
void write_json_string(std::string& out, std::string_view text);

/// The whole value as text.
std::string to_json(const Value& value, uint64_t width = 0);

}  // namespace tersolite::json
