// The sample driver for arrays: keeps a sample of the items, with gap
// markers where items were left out.
#pragma once

#include <cstdint>

#include "prune/prune_context.h"

namespace tersolite {

/// Keeps a sample of the items of `array` (measured as `node`) that fits
/// `budget` at `depth`.
PruneResult sample_array(PruneContext& ctx, const Value& array, const SizeNode& node, uint64_t budget, uint64_t depth);

}  // namespace tersolite
