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
  kStrings,  // one array of short strings (tags, ids)
  kInts,     // one array of small integers (a time series)
  kGeo,      // GeoJSON-like features with long coordinate arrays
};

/// JSON text of about `bytes` bytes (never less), the same for every call.
std::string generate(Shape shape, size_t bytes);

/// "issues", "logs", "catalog", "wide", "strings", "ints" or "geo".
std::string_view shape_name(Shape shape);

/// The shape of that name, if there is one.
bool shape_named(std::string_view name, Shape& shape);

}  // namespace tersolite::bench
