// The shrink search: runs the shrink driver with a target, writes the
// result, and moves the target until the written output fits the budget as
// closely as it can, in at most 24 attempts.
#pragma once

#include <cstdint>
#include <string>

#include "lib/options.h"
#include "prune/outcome.h"
#include "scorers/field_scorer.h"
#include "value/value.h"

namespace tersolite {

inline constexpr int kMaxAttempts = 24;

struct Attempt {
  std::string text;
  uint64_t size = 0;  // characters of text
  Outcome outcome;
};

struct SearchResult {
  Attempt chosen;
  bool fits = false;
  int attempts = 0;
};

/// Writes `value` in the output format with the layout width; `reserve` is
/// a guess of the output's byte size.
std::string write_document(const Value& value, Format format, uint64_t width, size_t reserve = 0);

/// REQUIRES: `format` is json or yaml; for YAML `width` is at least 2.
SearchResult shrink_search(const Value& document, const Options& options, Format format,
                           uint64_t width, const FieldScorer& scorer);

}  // namespace tersolite
