// Realistic generated documents of a given size, for benchmarks and for
// the comparison with other JSON tools.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tersolite::bench {

enum class Shape {
  kIssues,   // issue records: nested people, labels, long markdown bodies, comments
  kLogs,     // flat log events with short values
  kCatalog,  // a deep catalog with non-ASCII text and escapes
  kWide,     // one very wide object
};

/// JSON text of about `bytes` bytes (never less), the same for every call.
std::string generate(Shape shape, size_t bytes);

/// "issues", "logs", "catalog" or "wide".
std::string_view shape_name(Shape shape);

}  // namespace tersolite::bench
