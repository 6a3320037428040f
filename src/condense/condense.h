// The condense driver: arrays of like records keep every record, each with
// only the fields the planner chose, then fitted into the room left.
//
// The shrink driver calls it for arrays when the request asks to condense,
// through the ArrayCondenser the request carries (prune/array_condenser.h),
// and it calls the shrink driver back for the values it keeps.
#pragma once

#include <cstdint>
#include <optional>

#include "prune/array_condenser.h"
#include "prune/prune_context.h"

namespace tersolite {

/// Condenses an array of like records (measured as `node`); nothing when it
/// declines. An ArrayCondenser.
std::optional<PruneResult> condense_array(PruneContext& ctx, const Value& array, const SizeNode& node, uint64_t budget,
                                          uint64_t depth);

}  // namespace tersolite
