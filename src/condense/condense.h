// The condense driver: arrays of like records keep every record, each with
// only the fields the planner chose, then fitted into the room left.
//
// The shrink driver calls it for arrays when the request asks to condense,
// and it calls the shrink driver back for the values it keeps: the two
// recurse into each other through this header and prune/prune.h.
#pragma once

#include <cstdint>
#include <optional>

#include "prune/prune_context.h"

namespace tersolite {

/// Condenses an array of like records (measured as `node`); nothing when it
/// declines.
std::optional<PruneResult> condense_array(PruneContext& ctx, const Value& array, const SizeNode& node,
                                          uint64_t budget, uint64_t depth);

}  // namespace tersolite
