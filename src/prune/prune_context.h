// The state of one shrink attempt, passed by reference through the whole
// recursion. Counters only grow; the path stack, string cap, pinned paths
// and ignore_query are restored by whoever changes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prune/outcome.h"
#include "request/options.h"
#include "scorers/field_scorer.h"
#include "size/size_node.h"

namespace tersolite {

struct PruneContext {
  PruneContext(Layout layout_, const Options& options_, const FieldScorer& scorer_)
      : layout(layout_),
        patterns(compile_protect_patterns(options_.protect)),
        options(options_),
        scorer(scorer_) {}

  Layout layout;
  std::vector<DroppedField> dropped_fields;
  std::vector<FieldDecision> field_decisions;
  Stats stats;
  uint64_t fields_dropped = 0;
  uint64_t protected_omitted = 0;
  PathStack path;
  std::vector<ProtectPattern> patterns;
  const Options& options;
  const FieldScorer& scorer;
  uint64_t string_cap = 24;
  PinnedPaths pinned;
  bool ignore_query = false;
  // Where nodes measured during the attempt keep their children: the
  // arena of the tree they belong to (none: the heap).
  Arena* measure_arena = nullptr;

  MeasureSettings measure_settings() const { return {layout, &patterns, &pinned, measure_arena}; }

  /// The counters and lists, as the envelope reports them.
  Outcome outcome() && {
    return Outcome{stats, protected_omitted, std::move(field_decisions), fields_dropped,
                   std::move(dropped_fields)};
  }
};

/// A shrunk value and its predicted written size at its depth.
struct PruneResult {
  Value value;
  uint64_t size = 0;
};

}  // namespace tersolite
