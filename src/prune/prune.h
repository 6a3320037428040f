// The shrink driver: keeps a node whole, collapses it to its marker form, or
// shrinks it by kind (sample_array.h, select_members.h, and condensing
// through array_condenser.h), deciding everything from measured sizes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "prune/prune_context.h"

namespace tersolite {

/// Shrinks `value` (measured as `node`) to `budget` at `depth`. The result is
/// a new tree; the size is exact except for scalars and protected subtrees
/// that do not fit, which keep their full size.
PruneResult prune(PruneContext& ctx, const Value& value, const SizeNode& node, uint64_t budget, uint64_t depth);

/// The smallest form the driver writes for `value`.
PruneResult collapse(PruneContext& ctx, const Value& value, const SizeNode& node, uint64_t depth);

struct Child {
  const Value* value;
  const SizeNode* node;
  std::string_view segment;  // key, or "*" for items
};

struct PrunedChildren {
  std::vector<Value> values;  // in the order of the children given
  uint64_t total = 0;
};

/// Prunes siblings, sharing `extra` (the room above their minimums)
/// smallest-slack first, so that leftovers flow to the hungrier ones.
PrunedChildren prune_children(PruneContext& ctx, const std::vector<Child>& children, uint64_t extra, uint64_t depth);

}  // namespace tersolite
