#include "prune/prune.h"

namespace tersolite {

std::optional<PruneResult> condense_array(PruneContext&, const Value::Array&,
                                          const std::vector<SizeNode>&, uint64_t, uint64_t) {
  return std::nullopt;
}

}  // namespace tersolite
