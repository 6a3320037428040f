// Member selection for objects: keeps the members that fit, behind a marker
// member counting the rest.
#pragma once

#include <cstdint>

#include "prune/prune_context.h"

namespace tersolite {

/// Keeps the members of `object` (measured as `node`) that fit `budget` at
/// `depth`.
PruneResult select_members(PruneContext& ctx, const Value& object, const SizeNode& node, uint64_t budget,
                           uint64_t depth);

}  // namespace tersolite
