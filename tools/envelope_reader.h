// Just enough JSON to read tersolite's envelope from the command-line tool,
// which uses the public C API only.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersolite_cli {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
  bool boolean = false;
  std::string text;  // number literal or string
  std::vector<Json> items;        // array items, or object member values
  std::vector<std::string> keys;  // object member names, parallel to items

  /// The member named `key`, or null when absent.
  const Json* get(std::string_view key) const;
};

/// Parses a JSON text; nothing on malformed input.
std::optional<Json> parse_json(std::string_view text);

/// Decodes the JSON string literal at the start of `literal` to `out`
/// (nothing is written when it is null), ending with a line feed unless the
/// text ends with one. Returns the bytes the literal takes, or npos.
size_t decode_string_to(std::string_view literal, FILE* out);

/// `text` as a JSON string literal.
std::string quote_json(std::string_view text);

}  // namespace tersolite_cli
