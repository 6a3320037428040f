// Object member selection: every member at its minimum when that fits;
// otherwise a prefix (protected members first) with the sample strategy, or
// the best-scored members under tightening limits with condense.
#include "prune/select_members.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "lexical/query_terms.h"
#include "prune/prune.h"
#include "size/arith.h"
#include "size/markers.h"

namespace tersolite {

namespace {

FieldFeatures member_features(const Member& m, uint64_t full_size, size_t position,
                              const std::optional<QueryTerms>& query) {
  FieldFeatures f;
  const Value& v = m.value;
  switch (v.kind()) {
    case Kind::kNull: f.nulls = 1; break;
    case Kind::kBool: f.bools = 1; break;
    case Kind::kNumber: f.numbers = 1; break;
    case Kind::kString: f.strings = 1; break;
    case Kind::kArray: f.arrays = 1; break;
    case Kind::kObject: f.objects = 1; break;
  }
  f.path = {m.key};
  f.rows = 1;
  f.occurrences = 1;
  f.empties = (v.is_null() || v.is_empty_container_or_string()) ? 1 : 0;
  f.distinct = f.scalars = v.is_scalar() ? 1 : 0;
  if (query) {
    f.key_relevance = key_relevance(*query, words(m.key), {});
    if (v.is_number() || v.is_string()) {
      TokenSet tokens = value_tokens(v.text());
      f.value_relevance = value_relevance(*query, tokens);
      f.match_fraction = any_term_matches(*query, tokens) ? 1.0 : 0.0;
    }
  }
  f.relevance = std::max(f.key_relevance, f.value_relevance);
  f.mean_size = static_cast<double>(full_size);
  f.mean_position = static_cast<double>(position);
  f.constant = false;
  f.numeric = v.is_number() || (v.is_string() && is_numeric_text(v.text()));
  f.date_like = v.is_string() && is_date_text(v.text());
  f.id_like = v.is_string() && is_id_text(v.text());
  return f;
}

}  // namespace

PruneResult select_members(PruneContext& ctx, const Value& object, const SizeNode& node,
                           uint64_t budget, uint64_t depth) {
  const auto& members = object.members();
  const auto& kids = children_of(ctx.measure_settings(), object, node, depth);
  const Layout& layout = ctx.layout;
  uint64_t n = members.size();

  // Loops over every member read kids.sizes(), which keeps no node for a
  // scalar (see SizeNodes). A member costs at least its key and minimum.
  std::vector<uint64_t> least(n);
  uint64_t all_min = container_overhead(layout, n, depth);
  bool any_protected = false;
  for (size_t i = 0; i < n; ++i) {
    SizeNodes::Sizes sizes = kids.sizes(i);
    least[i] = member_key_cost(layout, members[i].key) + sizes.min;
    all_min += least[i];
    any_protected = any_protected || sizes.holds_protected;
  }
  auto is_protected = [&](size_t i) { return any_protected && kids.sizes(i).holds_protected; };
  auto marker = [&](uint64_t m) { return keys_marker_member_size(layout, m); };
  // Size of k kept members whose keys and minimums sum to `running`.
  auto base_of = [&](uint64_t k, uint64_t running) {
    return container_overhead(layout, k + (k < n), depth) + running + (k < n ? marker(n - k) : 0);
  };

  std::vector<size_t> kept;
  uint64_t base = 0;
  if (budget >= all_min) {
    kept.resize(n);
    std::iota(kept.begin(), kept.end(), 0);
    base = all_min;
  } else if (ctx.request.options.array_strategy == ArrayStrategy::kSample && !any_protected) {
    // The longest prefix that fits with the marker for the rest.
    uint64_t running = 0;
    for (size_t k = 1; k <= n; ++k) {
      uint64_t next = running + least[k - 1];
      if (container_overhead(layout, k + 1, depth) + next + marker(n - k) > budget) break;
      running = next;
      kept.push_back(k - 1);
    }
    if (kept.empty()) return collapse(ctx, object, node, depth);
    base = base_of(kept.size(), running);
  } else {
    // Candidates in order; each is accepted while the object stays under its
    // limit. Protected-first selection accepts protected members always.
    std::vector<size_t> order;
    std::vector<double> score;
    bool ranked = ctx.request.options.array_strategy == ArrayStrategy::kCondense;
    if (ranked) {
      const std::optional<QueryTerms>& query = ctx.request.query;
      score.resize(n);
      for (size_t i = 0; i < n; ++i) {
        score[i] = is_protected(i) ? std::numeric_limits<double>::infinity()
                                   : ctx.request.scorer.score(member_features(members[i], kids.sizes(i).full, i, query));
      }
      order.resize(n);
      std::iota(order.begin(), order.end(), 0);
      auto key = [&](size_t i) { return nan_last_rank(score[i]); };
      // Ties in their first order, as a stable sort would leave them, without
      // its buffer as long as the object.
      std::sort(order.begin(), order.end(),
                [&](size_t a, size_t b) { return key(a) > key(b) || (key(a) == key(b) && a < b); });
    } else {
      for (size_t i = 0; i < n; ++i) {
        if (is_protected(i)) order.push_back(i);
      }
      for (size_t i = 0; i < n; ++i) {
        if (!is_protected(i)) order.push_back(i);
      }
    }
    uint64_t running = 0;
    for (size_t i : order) {
      uint64_t a = kept.size();
      uint64_t next = running + least[i];
      uint64_t e = a + 1 + (a + 1 < n);
      uint64_t need = next + container_overhead(layout, e, depth) + (a + 1 < n ? marker(n - a - 1) : 0);
      // A member's limit is the budget scaled by its score's tier.
      bool accept = ranked ? need <= saturating_u64(tier_factor(score[i]) * static_cast<double>(budget))
                           : is_protected(i) || need <= budget;
      if (!accept) {
        if (ranked) continue;
        break;
      }
      kept.push_back(i);
      running = next;
    }
    if (kept.empty()) return collapse(ctx, object, node, depth);
    std::sort(kept.begin(), kept.end());
    base = base_of(kept.size(), running);
  }

  std::vector<Child> children;
  children.reserve(kept.size());
  uint64_t kept_min = 0, kept_leaves = 0;
  for (size_t i : kept) {
    children.push_back({&members[i].value, &kids[i], members[i].key});
    kept_min += kids[i].min;
    kept_leaves += kids[i].protected_leaves;
  }
  PrunedChildren pruned = prune_children(ctx, children, sat_sub(budget, base), depth + 1);
  Value out = Value::object();
  out.reserve(kept.size() + 1);
  for (size_t k = 0; k < kept.size(); ++k)
    out.add_member(members[kept[k]].key.clone(), std::move(pruned.values[k]));
  if (kept.size() < n) {
    uint64_t dropped = n - kept.size();
    out.add_member(std::string(kEllipsis), Value::string(keys_marker(dropped)));
    ++ctx.stats.objects_trimmed;
    ctx.stats.keys_omitted += dropped;
    ctx.protected_omitted += sat_sub(node.protected_leaves, kept_leaves);
  }
  return {std::move(out), base - kept_min + pruned.total};
}

}  // namespace tersolite
