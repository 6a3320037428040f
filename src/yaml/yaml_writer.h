// Block-style YAML writer: one line per scalar member or item, multi-line
// strings as literal blocks, other strings plain or double-quoted.
#pragma once

#include <cstdint>
#include <string>

#include "value/value.h"

namespace tersolite::yaml {

/// `value` as one YAML document without "---", ending with a line feed.
/// Widths below 2 are raised to 2. `reserve` is the expected size in bytes:
/// room made up front (untouched memory costs nothing until written).
std::string write_yaml(const Value& value, uint64_t width, size_t reserve = 0);
/// The same, appended to `out`.
void write_yaml(std::string& out, const Value& value, uint64_t width);

/// Characters write_yaml() would write, counted without keeping them.
uint64_t yaml_written_size(const Value& value, uint64_t width);

}  // namespace tersolite::yaml
