// Condensing lives a folder above the shrink driver and calls prune() back
// for the values it keeps; the driver reaches it only through this
// signature, carried by the request. Whoever builds a request that asks to
// condense hands it condense_array() (condense/condense.h).
#pragma once

#include <cstdint>
#include <optional>

#include "size/size_node.h"
#include "value/value.h"

namespace tersolite {

struct PruneContext;
struct PruneResult;

/// Condenses an array of like records (measured as `node`) to `budget` at
/// `depth`; nothing when it declines, and the driver samples instead.
using ArrayCondenser = std::optional<PruneResult> (*)(PruneContext& ctx, const Value& array, const SizeNode& node,
                                                      uint64_t budget, uint64_t depth);

}  // namespace tersolite
