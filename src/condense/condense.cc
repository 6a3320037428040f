#include "condense/condense.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <set>
#include <type_traits>

#include "condense/field_stats.h"
#include "condense/plan.h"
#include "json/json_cost.h"
#include "prune/prune.h"
#include "size/arith.h"

namespace tersolite {

static_assert(std::is_same_v<decltype(&condense_array), ArrayCondenser>);

namespace {

constexpr size_t kMaxDroppedFields = 24;

uint32_t thousandths(double x) {
  double r = std::round(x * 1000);
  if (!(r > 0)) return 0;
  if (r >= 4294967295.0) return 4294967295u;
  return static_cast<uint32_t>(r);
}

struct Fitted {
  std::vector<Value> values;
  uint64_t total = 0;
};

// Shares `spare` among siblings that each fit their floor, smallest need
// first; objects are rebuilt member by member so that every member gets
// its share.
Fitted fit_children(PruneContext& ctx, uint64_t cap, const std::vector<const Value*>& values,
                    const std::vector<const SizeNode*>& nodes, const std::vector<uint64_t>& floors, int64_t spare,
                    uint64_t depth, const std::vector<std::string_view>& segments) {
  size_t n = values.size();
  auto need = [&](size_t i) { return sat_sub(nodes[i]->full, floors[i]); };
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return need(a) < need(b); });

  Fitted out;
  out.values.resize(n);
  int64_t remaining = spare;
  size_t left = n;
  for (size_t i : order) {
    uint64_t share = remaining < 1 ? 0 : static_cast<uint64_t>(remaining) / std::max<size_t>(left, 1);
    uint64_t budget = floors[i] + std::min(share, need(i));
    const Value& v = *values[i];
    const SizeNode& node = *nodes[i];
    ctx.path.push_back(segments[i]);
    uint64_t size;
    if (budget >= node.full) {
      out.values[i] = v.clone();
      size = node.full;
    } else if (v.is_object() && !v.members().empty()) {
      const auto& members = v.members();
      const auto& kids = children_of(ctx.measure_settings(), v, node, depth);
      size_t count = std::min(members.size(), kids.size());
      std::vector<const Value*> member_values;
      std::vector<const SizeNode*> member_nodes;
      std::vector<uint64_t> member_floors;
      std::vector<std::string_view> keys;
      uint64_t fixed = container_overhead(ctx.layout, members.size(), depth);
      for (size_t k = 0; k < count; ++k) {
        member_values.push_back(&members[k].value);
        member_nodes.push_back(&kids[k]);
        member_floors.push_back(condensed_size(ctx, cap, members[k].value, kids[k], depth + 1));
        keys.push_back(members[k].key);
        fixed += member_key_cost(ctx.layout, members[k].key);
      }
      uint64_t floor_sum = std::accumulate(member_floors.begin(), member_floors.end(), uint64_t{0});
      uint64_t member_spare = sat_sub(budget, fixed + floor_sum);
      Fitted fitted = fit_children(ctx, cap, member_values, member_nodes, member_floors,
                                   static_cast<int64_t>(std::min<uint64_t>(member_spare, INT64_MAX)), depth + 1, keys);
      Value rebuilt = Value::object();
      for (size_t k = 0; k < count; ++k) rebuilt.add_member(members[k].key.clone(), std::move(fitted.values[k]));
      out.values[i] = std::move(rebuilt);
      size = fixed + fitted.total;
    } else {
      PruneResult r = prune(ctx, v, node, budget, depth);
      out.values[i] = std::move(r.value);
      size = r.size;
    }
    ctx.path.pop_back();
    remaining += static_cast<int64_t>(floors[i]) - static_cast<int64_t>(size);
    --left;
    out.total += size;
  }
  return out;
}

// The first plan that fits: strings count as cut to 24 characters, then,
// when no plan fits, to 12; with a query, a second pass plans without it.
// Nothing when the planner finds the records unlike or no plan fits.
std::optional<CondensePlan> plan_records(PruneContext& ctx, Value::Items items, const SizeNodes& nodes, uint64_t budget,
                                         uint64_t depth) {
  const QueryTerms* query = ctx.request.query ? &*ctx.request.query : nullptr;
  int passes = ctx.request.options.query ? 2 : 1;
  std::optional<CondensePlan> plan;
  for (int pass = 0; pass < passes && !plan; ++pass) {
    std::optional<FieldStatsCollector> gathered;
    constexpr uint64_t kCaps[] = {24, 12};
    for (size_t c = 0; c < std::size(kCaps); ++c) {
      CondensePass settings{kCaps[c], pass == 0 ? query : nullptr};
      std::optional<uint64_t> later_cap;
      if (c + 1 < std::size(kCaps)) later_cap = kCaps[c + 1];
      PlanOutcome outcome = plan_condense(ctx, settings, items, nodes, budget, depth, c == 0, gathered, later_cap);
      if (std::holds_alternative<Abort>(outcome)) return std::nullopt;
      if (std::holds_alternative<NoFit>(outcome)) continue;
      plan.emplace(std::move(std::get<CondensePlan>(outcome)));
      if (plan->final) break;
    }
  }
  return plan;
}

// Fits the plan's records into the room it left; what fitting measures
// belongs with the plan's record nodes.
PruneResult fit_records(PruneContext& ctx, const CondensePlan& plan, uint64_t depth) {
  MeasureArenaScope in_plan(ctx, plan.arena.get());
  size_t n = std::min(plan.records.size(), plan.record_nodes.size());
  std::vector<const Value*> values;
  std::vector<const SizeNode*> record_nodes;
  std::vector<std::string_view> segments(n, kItemSegment);
  for (size_t i = 0; i < n; ++i) {
    values.push_back(&plan.records[i]);
    record_nodes.push_back(&plan.record_nodes[i]);
  }
  std::vector<uint64_t> floors(plan.record_floors.begin(), plan.record_floors.begin() + static_cast<std::ptrdiff_t>(n));
  Fitted fitted = fit_children(ctx, plan.string_cap, values, record_nodes, floors,
                               static_cast<int64_t>(std::min<uint64_t>(plan.slack, INT64_MAX)), depth + 1, segments);
  uint64_t size = container_overhead(ctx.layout, n, depth) + fitted.total;
  return {Value::array(std::move(fitted.values)), size};
}

// Each dropped field once, at the shortest path not kept, most present first.
std::vector<DroppedField> dropped_fields(const PruneContext& ctx, const CondensePlan& plan) {
  const auto& fields = plan.stats.fields();
  std::vector<DroppedField> dropped;
  std::set<std::vector<std::string>> reported;
  for (const ScoredField& s : plan.scored) {
    if (plan.kept.count(s.field)) continue;
    const auto& path = fields[s.field].path;
    std::vector<std::string> prefix = path;
    for (size_t len = 1; len < path.size(); ++len) {
      std::vector<std::string> p(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(len));
      if (!plan.kept_paths.count(p)) {
        prefix = std::move(p);
        break;
      }
    }
    if (!reported.insert(prefix).second) continue;
    auto index = plan.stats.find(prefix);
    uint64_t present = fields[index ? *index : s.field].present;
    dropped.push_back({path_display(ctx.path, prefix), present});
  }
  std::stable_sort(dropped.begin(), dropped.end(), [](const DroppedField& a, const DroppedField& b) {
    if (a.items != b.items) return a.items > b.items;
    return a.path < b.path;
  });
  return dropped;
}

// Every scored field with its score and whether it was kept, best first.
std::vector<FieldDecision> field_decisions(const PruneContext& ctx, const CondensePlan& plan) {
  const auto& fields = plan.stats.fields();
  std::vector<FieldDecision> decisions;
  for (const ScoredField& s : plan.scored) {
    decisions.push_back({path_display(ctx.path, fields[s.field].path), thousandths(s.score),
                         plan.kept.count(s.field) > 0, thousandths(plan.relevance[s.field])});
  }
  std::stable_sort(decisions.begin(), decisions.end(), [](const FieldDecision& a, const FieldDecision& b) {
    if (a.score != b.score) return a.score > b.score;
    return a.path < b.path;
  });
  return decisions;
}

}  // namespace

std::optional<PruneResult> condense_array(PruneContext& ctx, const Value& array, const SizeNode& node, uint64_t budget,
                                          uint64_t depth) {
  if (array.size() < 2 || array.is_packed()) return std::nullopt;
  Value::Items items = array.items();
  for (const Value& item : items) {
    if (!item.is_object()) return std::nullopt;
  }
  // Every record stays, and none can be written in fewer characters than
  // "{}": when even that table is over the budget, no plan fits, and the
  // statistics of every field of every record need not be gathered.
  if (sat_add(container_overhead(ctx.layout, items.size(), depth), sat_mul(2, items.size())) > budget)
    return std::nullopt;
  const SizeNodes& nodes = children_of(ctx.measure_settings(), array, node, depth);
  std::optional<CondensePlan> plan = plan_records(ctx, items, nodes, budget, depth);
  if (!plan) return std::nullopt;

  // Fitting reports what condensing below it dropped before this array does.
  PruneResult fitted = fit_records(ctx, *plan, depth);
  std::vector<DroppedField> dropped = dropped_fields(ctx, *plan);
  if (ctx.request.options.explain) {
    for (FieldDecision& d : field_decisions(ctx, *plan)) ctx.field_decisions.push_back(std::move(d));
  }
  ++ctx.stats.arrays_condensed;
  ctx.fields_dropped += dropped.size();
  for (DroppedField& d : dropped) {
    if (ctx.dropped_fields.size() >= kMaxDroppedFields) break;
    ctx.dropped_fields.push_back(std::move(d));
  }
  return fitted;
}

}  // namespace tersolite
