// Block-style YAML writer: one line per scalar member or item, multi-line
// strings as literal blocks, other strings plain or double-quoted.
#pragma once

#include <cstdint>
#include <string>

#include "value/value.h"

namespace tersolite::yaml {

/// `value` as one YAML document without "---", ending with a line feed.
/// Widths below 2 are raised to 2.
std::string write_yaml(const Value& value, uint64_t width);

}  // namespace tersolite::yaml
