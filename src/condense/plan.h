// Field planning: which fields every record of a condensed array keeps.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "condense/field_stats.h"

namespace tersolite {

struct ScoredField {
  size_t field;
  double score;
};

struct CondensePlan {
  explicit CondensePlan(FieldStatsCollector s) : stats(std::move(s)) {}

  std::vector<Value> records;                                // projected records, in item order
  std::vector<uint64_t> record_floors;                       // condensed size of each record
  std::unique_ptr<Arena> arena = std::make_unique<Arena>();  // for record_nodes and their children
  SizeNodes record_nodes;
  uint64_t slack = 0;  // budget minus the planned total
  FieldStatsCollector stats;
  std::vector<ScoredField> scored;  // in the planner's order
  std::set<size_t> kept;
  std::set<std::vector<std::string>> kept_paths;  // kept fields and their prefixes
  std::vector<double> relevance;                  // per field index
  uint64_t string_cap = 0;
  bool final = false;  // no field scoring 0.8 or more was dropped
};

/// What one planning attempt of condensing sets for itself: the length
/// strings count as cut to, and the query terms that steer it (none when the
/// pass ignores the query).
struct CondensePass {
  uint64_t string_cap = 24;
  const QueryTerms* query = nullptr;
};

/// The array must not be condensed.
struct Abort {};
/// No acceptable plan at this string cap.
struct NoFit {};

using PlanOutcome = std::variant<Abort, NoFit, CondensePlan>;

/// Plans the fields of `items` (all objects) for `budget` at `depth`.
/// `first` is set on the first attempt of each pass. `gathered` holds the
/// field statistics of an earlier attempt of the same pass (at another
/// string cap), or receives them, then counted for `other_cap` as well (the
/// cap a later attempt may use).
PlanOutcome plan_condense(PruneContext& ctx, const CondensePass& pass, Value::Items items, const SizeNodes& nodes,
                          uint64_t budget, uint64_t depth, bool first, std::optional<FieldStatsCollector>& gathered,
                          std::optional<uint64_t> other_cap);

}  // namespace tersolite
