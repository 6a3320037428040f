// YAML reader on libyaml's event parser. Plain scalars are typed by the
// YAML 1.2 core schema; anchors are resolved into copies, within a bound so
// that a few bytes of nested aliases cannot expand without limit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value/result.h"
#include "value/value.h"

namespace tersolite::yaml {

/// Deepest nesting accepted (the document root is 0).
inline constexpr uint64_t kMaxDepth = 512;

/// Copies made by aliases may add at most this many nodes, or as many as the
/// text itself holds when that is more.
inline constexpr uint64_t kMinAliasBudget = 1000000;

/// Reads every document of `text`: none gives null, one its value, several
/// an array of them. The error has no stage prefix. With an arena the
/// collections and texts live there (and a tree shares what aliases repeat),
/// so it must outlive the tree; without one the tree owns everything.
/// REQUIRES: `text` is valid UTF-8.
[[nodiscard]] Expected<Value, std::string> read_yaml(std::string_view text, Arena* arena = nullptr);

/// The shortest decimal that reads back as `d`, written without exponent
/// (no point when integral; zero of either sign is "0"). REQUIRES: finite.
std::string shortest_positional(double d);

}  // namespace tersolite::yaml
