// The command-line flags, one table row each: parsing, the options object
// and --help are all built from this table, so adding a flag is one row
// (plus, for a flag the tool itself handles, a line in arguments.cc).
#pragma once

#include <span>

namespace tersolite_cli {

enum class Kind {
  kSwitch,  // takes no value
  kCount,   // a whole number >= 0
  kText,    // any text
};

struct Flag {
  char short_name;        // '\0' when there is none
  const char* long_name;  // without the leading dashes
  Kind kind;
  const char* value_name;  // shown in --help, e.g. "N"
  const char* help;
  const char* member;  // options member it sets as it is; null when handled by name
};

std::span<const Flag> flags();

/// The row for `--long_name`; null when there is none.
const Flag* find_flag(const char* long_name);

}  // namespace tersolite_cli
