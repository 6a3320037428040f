// The shrink search: runs the shrink driver with a target, writes the
// result, and moves the target until the written output fits the budget as
// closely as it can, in at most 24 attempts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "prune/outcome.h"
#include "prune/shrink_request.h"
#include "size/size_node.h"
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

/// Writes `value` in `format` with `width` spaces per level (see
/// output_width()); `reserve` is a guess of the output's byte size.
std::string write_document(const Value& value, Format format, uint64_t width, size_t reserve = 0);
/// The same, appended to `out`.
void write_document(std::string& out, const Value& value, Format format, uint64_t width);

/// A document's measurement, with the memory its nodes live in.
struct Measurement {
  std::unique_ptr<Arena> arena = std::make_unique<Arena>();
  SizeNode root;
};

/// The measurement the search works from. Its full size is exactly the
/// document's written size when the output is JSON. Without protect
/// patterns, protection cannot depend on paths, so sampling keeps only the
/// root's children and measures deeper ones when a shrink step needs them.
Measurement measure_document(const Value& document, const ShrinkRequest& request);

/// REQUIRES: `measured` is measure_document() of `document` for `request`.
SearchResult shrink_search(const Value& document, const Measurement& measured, const ShrinkRequest& request);

/// The same, measuring first.
SearchResult shrink_search(const Value& document, const ShrinkRequest& request);

}  // namespace tersolite
