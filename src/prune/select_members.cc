// Object member selection: every member at its minimum when that fits;
// otherwise a prefix (protected members first) with the sample strategy, or
// the best-scored members under tightening limits with condense.
#include "prune/select_members.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "json/json_cost.h"
#include "prune/prune.h"
#include "scorers/field_features.h"
#include "size/arith.h"
#include "size/markers.h"

namespace tersolite {

namespace {

// One object's selection: which members stay, each at least at its minimum.
class Selection {
 public:
  Selection(PruneContext& ctx, const Value& object, const SizeNode& node, uint64_t budget, uint64_t depth)
      : ctx_(ctx),
        members_(object.members()),
        kids_(children_of(ctx.measure_settings(), object, node, depth)),
        layout_(ctx.layout),
        n_(members_.size()),
        budget_(budget),
        depth_(depth),
        ranked_(ctx.request.options.array_strategy == ArrayStrategy::kCondense) {
    // Loops over every member read kids.sizes(), which keeps no node for a
    // scalar (see SizeNodes), and nothing is kept per member but a
    // candidate's rank.
    all_min_ = container_overhead(layout_, n_, depth_);
    for (size_t i = 0; i < n_; ++i) {
      SizeNodes::Sizes sizes = kids_.sizes(i);
      uint64_t least_i = member_key_cost(layout_, members_[i].key) + sizes.min;
      all_min_ += least_i;
      least_of_all_ = std::min(least_of_all_, least_i);
      any_protected_ = any_protected_ || sizes.holds_protected;
      // Once the minimums alone overrun the budget, the members will be
      // ranked: each is scored while its sizes are at hand, not measured
      // again for it.
      if (ranked_ && all_min_ > budget_) {
        if (ranks_.empty()) ranks_.reserve(n_);
        for (size_t k = ranks_.size(); k < i; ++k) ranks_.push_back(candidate(k, kids_.sizes(k)));
        ranks_.push_back(candidate(i, sizes));
      }
    }
  }

  /// The kept members in order, empty when none fits; `base` gets the size
  /// of the object with each at its minimum.
  std::vector<size_t> choose(uint64_t& base) {
    std::vector<size_t> kept;
    uint64_t running = 0;
    if (budget_ >= all_min_) {
      kept.resize(n_);
      std::iota(kept.begin(), kept.end(), 0);
      base = all_min_;
      return kept;
    }
    if (ctx_.request.options.array_strategy == ArrayStrategy::kSample && !any_protected_) {
      kept = longest_prefix(running);
    } else {
      kept = by_order(running);
      std::sort(kept.begin(), kept.end());
    }
    base = base_of(kept.size(), running);
    return kept;
  }

 private:
  // A member costs at least its key and minimum.
  uint64_t least(size_t i) const { return member_key_cost(layout_, members_[i].key) + kids_.sizes(i).min; }
  bool is_protected(size_t i) const { return any_protected_ && kids_.sizes(i).holds_protected; }
  uint64_t marker(uint64_t m) const { return keys_marker_member_size(layout_, m); }
  // Size of k kept members whose keys and minimums sum to `running`.
  uint64_t base_of(uint64_t k, uint64_t running) const {
    return container_overhead(layout_, k + (k < n_), depth_) + running + (k < n_ ? marker(n_ - k) : 0);
  }

  // The longest prefix that fits with the marker for the rest.
  std::vector<size_t> longest_prefix(uint64_t& running) const {
    std::vector<size_t> kept;
    for (size_t k = 1; k <= n_; ++k) {
      uint64_t next = running + least(k - 1);
      if (container_overhead(layout_, k + 1, depth_) + next + marker(n_ - k) > budget_) break;
      running = next;
      kept.push_back(k - 1);
    }
    return kept;
  }

  // A candidate's score is kept as its ranking key, beside its index so
  // that ranking a large object reads them in order; a tier treats NaN and
  // its key alike.
  struct Candidate {
    double rank;
    size_t index;
  };

  // Member `i` with its score as its rank; a protected one (whichever
  // member holds something protected is) ranks first.
  Candidate candidate(size_t i, const SizeNodes::Sizes& sizes) {
    if (sizes.holds_protected) return {std::numeric_limits<double>::infinity(), i};
    const QueryTerms* query = ctx_.request.query ? &*ctx_.request.query : nullptr;
    member_features(features_, members_[i], sizes.full, i, query);
    return {nan_last_rank(ctx_.request.scorer.score(features_)), i};
  }

  // Best-scored first with condense (ranked as the sizes were read),
  // protected first otherwise.
  std::vector<Candidate> candidates() {
    if (ranked_) return std::move(ranks_);
    std::vector<Candidate> order;
    order.reserve(n_);
    for (size_t i = 0; i < n_; ++i) {
      if (is_protected(i)) order.push_back({0, i});
    }
    for (size_t i = 0; i < n_; ++i) {
      if (!is_protected(i)) order.push_back({0, i});
    }
    return order;
  }

  // Candidates in order; each is accepted while the object stays under its
  // limit. Protected-first selection accepts protected members always.
  std::vector<size_t> by_order(uint64_t& running) {
    std::vector<Candidate> order = candidates();
    std::vector<size_t> kept;
    // Ties in their first order, as a stable sort would leave them, without
    // its buffer as long as the object.
    auto before = [](const Candidate& a, const Candidate& b) {
      return a.rank > b.rank || (a.rank == b.rank && a.index < b.index);
    };
    // The object's size with one more member of minimum `least_one`.
    auto need = [&](uint64_t least_one) {
      uint64_t a = kept.size();
      uint64_t e = a + 1 + (a + 1 < n_);
      return running + least_one + container_overhead(layout_, e, depth_) + (a + 1 < n_ ? marker(n_ - a - 1) : 0);
    };
    // Ranked candidates are put in order a slice at a time, growing, and not
    // past the point where even the least member would overrun every limit
    // left (tiers fall with ranks): the few that fill a budget are found
    // without ranking all of a large object. The first slice holds twice as
    // many as the budget takes at their least, so that one pass over the
    // rest mostly does; the order is total, so slices do not change it.
    size_t ordered = ranked_ ? 0 : order.size();
    size_t slice = std::max<uint64_t>(256, 2 * std::min<uint64_t>(n_, budget_ / std::max<uint64_t>(least_of_all_, 1)));
    for (size_t at = 0; at < order.size(); ++at) {
      if (at == ordered) {
        double tier = at == 0 ? 1.0 : tier_factor(order[at - 1].rank);
        if (need(least_of_all_) > saturating_u64(tier * static_cast<double>(budget_))) break;
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
      bool accept = ranked_ ? need_i <= saturating_u64(tier_factor(order[at].rank) * static_cast<double>(budget_))
                            : is_protected(i) || need_i <= budget_;
      if (!accept) {
        if (ranked_) continue;
        break;
      }
      kept.push_back(i);
      running += least_i;
    }
    return kept;
  }

  PruneContext& ctx_;
  Value::Members members_;
  const SizeNodes& kids_;
  const Layout& layout_;
  uint64_t n_, budget_, depth_;
  uint64_t all_min_ = 0;
  uint64_t least_of_all_ = std::numeric_limits<uint64_t>::max();
  bool any_protected_ = false;
  bool ranked_;
  std::vector<Candidate> ranks_;  // every member's, in order, once they overrun the budget
  FieldFeatures features_;        // kept for its path's room
};

}  // namespace

PruneResult select_members(PruneContext& ctx, const Value& object, const SizeNode& node, uint64_t budget,
                           uint64_t depth) {
  const auto& members = object.members();
  uint64_t base = 0;
  std::vector<size_t> kept = Selection(ctx, object, node, budget, depth).choose(base);
  if (kept.empty()) return collapse(ctx, object, node, depth);
  const auto& kids = children_of(ctx.measure_settings(), object, node, depth);

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
  for (size_t k = 0; k < kept.size(); ++k) out.add_member(members[kept[k]].key.clone(), std::move(pruned.values[k]));
  uint64_t n = members.size();
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
