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

// Fills `f` (reused from member to member, so that its path keeps its room).
void member_features(FieldFeatures& f, const Member& m, uint64_t full_size, size_t position,
                     const std::optional<QueryTerms>& query) {
  std::vector<std::string_view> path = std::move(f.path);
  f = FieldFeatures();
  f.path = std::move(path);
  const Value& v = m.value;
  switch (v.kind()) {
    case Kind::kNull: f.nulls = 1; break;
    case Kind::kBool: f.bools = 1; break;
    case Kind::kNumber: f.numbers = 1; break;
    case Kind::kString: f.strings = 1; break;
    case Kind::kArray: f.arrays = 1; break;
    case Kind::kObject: f.objects = 1; break;
  }
  f.path.assign(1, m.key);
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
}

}  // namespace

PruneResult select_members(PruneContext& ctx, const Value& object, const SizeNode& node,
                           uint64_t budget, uint64_t depth) {
  const auto& members = object.members();
  const auto& kids = children_of(ctx.measure_settings(), object, node, depth);
  const Layout& layout = ctx.layout;
  uint64_t n = members.size();

  // Loops over every member read kids.sizes(), which keeps no node for a
  // scalar (see SizeNodes), and nothing is kept per member but a candidate's
  // rank. A member costs at least its key and minimum.
  auto least = [&](size_t i) { return member_key_cost(layout, members[i].key) + kids.sizes(i).min; };
  uint64_t all_min = container_overhead(layout, n, depth);
  uint64_t least_of_all = std::numeric_limits<uint64_t>::max();
  bool any_protected = false;
  for (size_t i = 0; i < n; ++i) {
    SizeNodes::Sizes sizes = kids.sizes(i);
    uint64_t least_i = member_key_cost(layout, members[i].key) + sizes.min;
    all_min += least_i;
    least_of_all = std::min(least_of_all, least_i);
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
      uint64_t next = running + least(k - 1);
      if (container_overhead(layout, k + 1, depth) + next + marker(n - k) > budget) break;
      running = next;
      kept.push_back(k - 1);
    }
    if (kept.empty()) return collapse(ctx, object, node, depth);
    base = base_of(kept.size(), running);
  } else {
    // Candidates in order; each is accepted while the object stays under its
    // limit. Protected-first selection accepts protected members always.
    // A candidate's score is kept as its ranking key, beside its index so
    // that ranking a large object reads them in order; a tier treats NaN
    // and its key alike.
    struct Candidate {
      double rank;
      size_t index;
    };
    std::vector<Candidate> order;
    order.reserve(n);
    bool ranked = ctx.request.options.array_strategy == ArrayStrategy::kCondense;
    if (ranked) {
      const std::optional<QueryTerms>& query = ctx.request.query;
      FieldFeatures features;
      for (size_t i = 0; i < n; ++i) {
        double rank = std::numeric_limits<double>::infinity();
        if (!is_protected(i)) {
          member_features(features, members[i], kids.sizes(i).full, i, query);
          rank = nan_last_rank(ctx.request.scorer.score(features));
        }
        order.push_back({rank, i});
      }
    } else {
      for (size_t i = 0; i < n; ++i) {
        if (is_protected(i)) order.push_back({0, i});
      }
      for (size_t i = 0; i < n; ++i) {
        if (!is_protected(i)) order.push_back({0, i});
      }
    }
    // Ties in their first order, as a stable sort would leave them, without
    // its buffer as long as the object.
    auto before = [](const Candidate& a, const Candidate& b) {
      return a.rank > b.rank || (a.rank == b.rank && a.index < b.index);
    };
    uint64_t running = 0;
    // The object's size with one more member of minimum `least_one`.
    auto need = [&](uint64_t least_one) {
      uint64_t a = kept.size();
      uint64_t e = a + 1 + (a + 1 < n);
      return running + least_one + container_overhead(layout, e, depth) + (a + 1 < n ? marker(n - a - 1) : 0);
    };
    // Ranked candidates are put in order a slice at a time, growing, and not
    // past the point where even the least member would overrun every limit
    // left (tiers fall with ranks): the few that fill a budget are found
    // without ranking all of a large object.
    size_t ordered = ranked ? 0 : order.size();
    size_t slice = 256;
    for (size_t at = 0; at < order.size(); ++at) {
      if (at == ordered) {
        double tier = at == 0 ? 1.0 : tier_factor(order[at - 1].rank);
        if (need(least_of_all) > saturating_u64(tier * static_cast<double>(budget))) break;
        size_t end = std::min(order.size(), at + slice);
        if (end < order.size()) std::nth_element(order.begin() + at, order.begin() + end, order.end(), before);
        std::sort(order.begin() + at, order.begin() + end, before);
        ordered = end;
        slice *= 2;
      }
      size_t i = order[at].index;
      // A member's limit is the budget scaled by its score's tier.
      uint64_t least_i = least(i);
      uint64_t need_i = need(least_i);
      bool accept = ranked ? need_i <= saturating_u64(tier_factor(order[at].rank) * static_cast<double>(budget))
                           : is_protected(i) || need_i <= budget;
      if (!accept) {
        if (ranked) continue;
        break;
      }
      kept.push_back(i);
      running += least_i;
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
