// The state of one shrink attempt, passed by reference through the whole
// recursion, beside the request it works for. Counters only grow; the path
// stack is restored by whoever pushes onto it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "prune/outcome.h"
#include "prune/shrink_request.h"
#include "size/size_node.h"

namespace tersolite {

struct PruneContext {
  /// `measure_arena`: where nodes measured during the attempt keep their
  /// children, the arena of the tree they belong to (none: the heap).
  explicit PruneContext(const ShrinkRequest& request_, Arena* measure_arena_ = nullptr)
      : request(request_), layout(request_.layout), measure_arena(measure_arena_) {}

  const ShrinkRequest& request;
  const Layout layout;
  std::vector<DroppedField> dropped_fields;
  std::vector<FieldDecision> field_decisions;
  Stats stats;
  uint64_t fields_dropped = 0;
  uint64_t protected_omitted = 0;
  PathStack path;
  Arena* measure_arena;

  MeasureSettings measure_settings() const { return {layout, &request.patterns, nullptr, measure_arena}; }

  /// The counters and lists, as the envelope reports them.
  Outcome outcome() && {
    return Outcome{stats, protected_omitted, std::move(field_decisions), fields_dropped, std::move(dropped_fields)};
  }
};

/// Points the context's measurements at another arena for as long as it
/// lives: condensing fits its records, whose nodes live in the plan's arena,
/// through the whole recursion below them.
class MeasureArenaScope {
 public:
  MeasureArenaScope(PruneContext& ctx, Arena* arena) : ctx_(ctx), saved_(ctx.measure_arena) {
    ctx.measure_arena = arena;
  }
  ~MeasureArenaScope() { ctx_.measure_arena = saved_; }
  MeasureArenaScope(const MeasureArenaScope&) = delete;
  MeasureArenaScope& operator=(const MeasureArenaScope&) = delete;

 private:
  PruneContext& ctx_;
  Arena* saved_;
};

/// A shrunk value and its predicted written size at its depth.
struct PruneResult {
  Value value;
  uint64_t size = 0;
};

}  // namespace tersolite
