#include "condense/condense.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>
#include <set>

#include "condense/field_stats.h"
#include "condense/plan.h"
#include "prune/prune.h"
#include "size/arith.h"

namespace tersolite {

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
Fitted fit_children(PruneContext& ctx, const std::vector<const Value*>& values,
                    const std::vector<const SizeNode*>& nodes, const std::vector<uint64_t>& floors,
                    int64_t spare, uint64_t depth, const std::vector<std::string_view>& segments) {
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
        member_floors.push_back(condensed_size(ctx, members[k].value, kids[k], depth + 1));
        keys.push_back(members[k].key);
        fixed += member_key_cost(ctx.layout, members[k].key);
      }
      uint64_t floor_sum = std::accumulate(member_floors.begin(), member_floors.end(), uint64_t{0});
      uint64_t member_spare = sat_sub(budget, fixed + floor_sum);
      Fitted fitted = fit_children(ctx, member_values, member_nodes, member_floors,
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

}  // namespace

std::optional<PruneResult> condense_array(PruneContext& ctx, const Value& array, const SizeNode& node,
                                          uint64_t budget, uint64_t depth) {
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

  const uint64_t entry_cap = ctx.string_cap;
  const bool entry_ignore = ctx.ignore_query;
  std::optional<CondensePlan> plan;
  bool aborted = false;
  int passes = ctx.options.query ? 2 : 1;
  for (int pass = 0; pass < passes && !plan && !aborted; ++pass) {
    if (pass == 1) ctx.ignore_query = true;
    std::optional<FieldStatsCollector> gathered;
    constexpr uint64_t kCaps[] = {24, 12};
    for (size_t c = 0; c < std::size(kCaps); ++c) {
      ctx.string_cap = kCaps[c];
      std::optional<uint64_t> later_cap;
      if (c + 1 < std::size(kCaps)) later_cap = kCaps[c + 1];
      PlanOutcome outcome = plan_condense(ctx, items, nodes, budget, depth, c == 0, gathered, later_cap);
      ctx.string_cap = entry_cap;
      ctx.pinned.clear();
      if (std::holds_alternative<Abort>(outcome)) {
        aborted = true;
        break;
      }
      if (std::holds_alternative<NoFit>(outcome)) continue;
      plan.emplace(std::move(std::get<CondensePlan>(outcome)));
      if (plan->final) break;
    }
    ctx.ignore_query = entry_ignore;
  }
  if (aborted || !plan) return std::nullopt;

  // Fit the records into the room the plan left; what fitting measures
  // belongs with the plan's record nodes.
  ctx.string_cap = plan->string_cap;
  Arena* entry_arena = ctx.measure_arena;
  ctx.measure_arena = plan->arena.get();
  size_t n = std::min(plan->records.size(), plan->record_nodes.size());
  std::vector<const Value*> values;
  std::vector<const SizeNode*> record_nodes;
  std::vector<std::string_view> segments(n, kItemSegment);
  for (size_t i = 0; i < n; ++i) {
    values.push_back(&plan->records[i]);
    record_nodes.push_back(&plan->record_nodes[i]);
  }
  std::vector<uint64_t> floors(plan->record_floors.begin(), plan->record_floors.begin() + static_cast<std::ptrdiff_t>(n));
  Fitted fitted = fit_children(ctx, values, record_nodes, floors,
                               static_cast<int64_t>(std::min<uint64_t>(plan->slack, INT64_MAX)), depth + 1, segments);
  uint64_t size = container_overhead(ctx.layout, n, depth) + fitted.total;
  ctx.measure_arena = entry_arena;

  // Report each dropped field once, at the shortest path not kept.
  const auto& fields = plan->stats.fields();
  std::vector<DroppedField> dropped;
  std::set<std::vector<std::string>> reported;
  for (const ScoredField& s : plan->scored) {
    if (plan->kept.count(s.field)) continue;
    const auto& path = fields[s.field].path;
    std::vector<std::string> prefix = path;
    for (size_t len = 1; len < path.size(); ++len) {
      std::vector<std::string> p(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(len));
      if (!plan->kept_paths.count(p)) {
        prefix = std::move(p);
        break;
      }
    }
    if (!reported.insert(prefix).second) continue;
    auto index = plan->stats.find(prefix);
    uint64_t present = fields[index ? *index : s.field].present;
    dropped.push_back({path_display(ctx.path, prefix), present});
  }
  std::stable_sort(dropped.begin(), dropped.end(), [](const DroppedField& a, const DroppedField& b) {
    if (a.items != b.items) return a.items > b.items;
    return a.path < b.path;
  });

  if (ctx.options.explain) {
    std::vector<FieldDecision> decisions;
    for (const ScoredField& s : plan->scored) {
      decisions.push_back({path_display(ctx.path, fields[s.field].path), thousandths(s.score),
                           plan->kept.count(s.field) > 0, thousandths(plan->relevance[s.field])});
    }
    std::stable_sort(decisions.begin(), decisions.end(), [](const FieldDecision& a, const FieldDecision& b) {
      if (a.score != b.score) return a.score > b.score;
      return a.path < b.path;
    });
    for (FieldDecision& d : decisions) ctx.field_decisions.push_back(std::move(d));
  }

  ++ctx.stats.arrays_condensed;
  ctx.fields_dropped += dropped.size();
  for (DroppedField& d : dropped) {
    if (ctx.dropped_fields.size() >= kMaxDroppedFields) break;
    ctx.dropped_fields.push_back(std::move(d));
  }
  ctx.string_cap = entry_cap;
  return PruneResult{Value::array(std::move(fitted.values)), size};
}

}  // namespace tersolite
