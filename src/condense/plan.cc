#include "condense/plan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <span>

#include "json/json_cost.h"
#include "scorers/field_features.h"
#include "size/arith.h"

namespace tersolite {

namespace {

// With kHolderWords.
const std::vector<std::string_view> kContainerWords = {"nodes", "items", "value", "values", "results", "records"};
const std::vector<std::string_view> kGenericWords = {"id", "key", "name", "type", "text", "code", "value", "label"};

// Tuning weights of the planner. They are its own judgement, set on real
// documents; each line says what it steers.
// A protected field ranks above anything a scorer gives (scores are in [0, 1]).
constexpr double kProtectedScore = 2.0;
// A pass that dropped a field scoring this much is not final: a later pass
// with shorter strings may find room for it.
constexpr double kMustKeepScore = 0.8;
// Records count as like each other when at least this share of all field
// occurrences is in fields common to half the records or more.
constexpr double kCommonShare = 0.7;
// Columns holding the same values as a better one keep this share of their score.
constexpr double kRepeatedColumnFactor = 0.15;
// Each further column under a shared group label keeps this power of its score.
constexpr double kSharedLabelDecay = 0.75;
// A field may swap its way into the plan from this score up ...
constexpr double kSwapInScore = 0.6;
// ... evicting only kept fields scoring under this share of its own.
constexpr double kEvictBelowShare = 0.85;
// The last fill of spare room takes fields from this score up.
constexpr double kFillScore = 0.3;
// A plan informs when a kept varied scalar column scores at least this.
constexpr double kInformativeScore = 0.45;
// A column whose values average at least this many characters counts as varied.
constexpr uint64_t kVariedMeanSize = 20;

bool contains(std::span<const std::string_view> list, std::string_view w) {
  return std::find(list.begin(), list.end(), w) != list.end();
}

bool is_container_word(std::string_view w) { return contains(kContainerWords, w) || contains(kHolderWords, w); }

uint64_t tier_limit(double s, uint64_t budget) { return saturating_u64(tier_factor(s) * static_cast<double>(budget)); }

// Relevance of a field from the words of its full path and its values.
struct Relevance {
  double key = 0, value = 0;
};

Relevance field_relevance(const QueryTerms& q, const std::vector<std::string_view>& full_path, const FieldStats& f) {
  std::vector<std::vector<std::string>> segment_words;
  for (std::string_view seg : full_path) {
    std::vector<std::string> ws;
    for (std::string& w : words(seg)) {
      if (!is_container_word(w)) ws.push_back(std::move(w));
    }
    segment_words.push_back(std::move(ws));
  }
  std::vector<std::string> name;
  size_t name_segment = full_path.size();
  for (size_t i = full_path.size(); i-- > 0;) {
    const auto& ws = segment_words[i];
    if (ws.empty()) continue;
    bool generic = std::all_of(ws.begin(), ws.end(), [](const std::string& w) { return contains(kGenericWords, w); });
    if (generic && i != 0) continue;
    name = ws;
    name_segment = i;
    break;
  }
  std::vector<std::string> context;
  if (name_segment == full_path.size()) {
    if (!full_path.empty()) name = words(full_path.back());
  } else {
    for (size_t i = 0; i < name_segment; ++i)
      context.insert(context.end(), segment_words[i].begin(), segment_words[i].end());
  }
  return {key_relevance(q, name, context), value_relevance(q, f.value_words)};
}

class Planner {
 public:
  Planner(PruneContext& ctx, const CondensePass& pass, Value::Items items, const SizeNodes& nodes, uint64_t budget,
          uint64_t depth, std::optional<FieldStatsCollector>& gathered, std::optional<uint64_t> other_cap)
      : ctx_(ctx),
        pass_(pass),
        items_(items),
        nodes_(nodes),
        budget_(budget),
        depth_(depth),
        n_(std::min(items.size(), nodes.size())),
        gathered_(gathered),
        other_cap_(other_cap) {}

  PlanOutcome run(bool first) {
    if (!gathered_) {
      gathered_.emplace(pass_.query, other_cap_);
      gathered_->gather(ctx_, pass_.string_cap, items_.first(n_), nodes_, depth_ + 1);
    } else {
      // Gathered at another string cap: only the condensed sizes change.
      gathered_->recount_condensed(ctx_, pass_.string_cap, items_.first(n_), nodes_, depth_ + 1);
    }
    if (first && !homogeneous()) return Abort{};

    std::vector<std::optional<std::string>> labels;
    std::vector<ScoredField> scored = score_fields(labels);
    // The records' own brackets; each kept field adds its entry.
    base_ = container_overhead(ctx_.layout, n_, depth_) + n_ * container_frame(ctx_.layout, depth_ + 1);
    std::vector<size_t> kept = greedy(scored);
    for (const ScoredField& s : scored) {
      if (protected_[s.field] && std::find(kept.begin(), kept.end(), s.field) == kept.end()) return NoFit{};
    }
    kept = swap(scored, std::move(kept));
    kept = fill(scored, std::move(kept));
    // Decided by the kept fields alone: known before any record is projected.
    if (!informative(kept, labels) || !best_kept(scored, kept)) return NoFit{};

    CondensePlan plan{FieldStatsCollector(nullptr)};
    if (!project_records(plan, kept)) return NoFit{};
    plan.scored = std::move(scored);
    plan.relevance = relevance_;
    plan.string_cap = pass_.string_cap;
    plan.final = true;
    for (const ScoredField& s : plan.scored) {
      if (s.score >= kMustKeepScore && !plan.kept.count(s.field)) plan.final = false;
    }
    plan.stats = *gathered_;
    return plan;
  }

 private:
  const FieldStatsCollector& stats() const { return *gathered_; }

  // The candidate fields, scored and in the planner's order; `labels` gets
  // each field's group label.
  std::vector<ScoredField> score_fields(std::vector<std::optional<std::string>>& labels) {
    const auto& fields = stats().fields();
    std::vector<bool> candidate(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) candidate[i] = is_candidate(i);
    protected_.assign(fields.size(), false);
    pinned_.assign(fields.size(), false);
    relevance_.assign(fields.size(), 0);
    labels.assign(fields.size(), std::nullopt);
    std::vector<ScoredField> scored;
    const QueryTerms* query = stats().query();
    for (size_t i = 0; i < fields.size(); ++i) {
      if (!candidate[i]) continue;
      const FieldStats& f = fields[i];
      std::vector<std::string_view> path = full_path(f);
      Relevance r;
      if (query) r = field_relevance(*query, path, f);
      FieldFeatures ff = features(f, path, r);
      relevance_[i] = ff.relevance;
      labels[i] = ctx_.request.scorer.group_label(ff);
      protected_[i] = is_protected(f);
      pinned_[i] = protected_[i] || ctx_.request.scorer.is_identifier(ff);
      scored.push_back({i, ctx_.request.scorer.score(ff)});
    }
    lower_repeated(scored);
    lower_shared_labels(scored, labels);
    for (ScoredField& s : scored) {
      if (protected_[s.field]) s.score = kProtectedScore;
    }
    score_of_.assign(fields.size(), 0);
    for (const ScoredField& s : scored) score_of_[s.field] = s.score;
    std::stable_sort(scored.begin(), scored.end(), [&](const ScoredField& a, const ScoredField& b) {
      double sa = nan_last_rank(a.score), sb = nan_last_rank(b.score);
      if (sa != sb) return sa > sb;
      if (fields[a.field].condensed_size_sum != fields[b.field].condensed_size_sum)
        return fields[a.field].condensed_size_sum < fields[b.field].condensed_size_sum;
      return a.field < b.field;
    });
    return scored;
  }

  // Fills the plan's kept fields and projected records, each measured with
  // its floor; false when the floors alone overrun the budget.
  bool project_records(CondensePlan& plan, const std::vector<size_t>& kept) {
    const auto& fields = stats().fields();
    // Pinned fields are measured as protected, so that fitting never cuts them.
    std::vector<std::vector<std::string>> pinned_paths;
    for (size_t k : kept) {
      if (!pinned_[k]) continue;
      std::vector<std::string> p(ctx_.path.begin(), ctx_.path.end());
      p.emplace_back(kItemSegment);
      p.insert(p.end(), fields[k].path.begin(), fields[k].path.end());
      pinned_paths.push_back(std::move(p));
    }
    PinnedPaths pinned;
    pinned.assign(pinned_paths);

    plan.kept.insert(kept.begin(), kept.end());
    for (size_t k : kept) {
      const auto& p = fields[k].path;
      for (size_t len = 1; len <= p.size(); ++len)
        plan.kept_paths.insert(std::vector<std::string>(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(len)));
    }
    // Fields kept whole, and the objects on the way to them.
    std::vector<bool> kept_field(fields.size()), on_path(fields.size());
    for (size_t k : kept) {
      kept_field[k] = true;
      for (std::optional<size_t> f = k; f; f = fields[*f].parent) on_path[*f] = true;
    }
    uint64_t total = container_overhead(ctx_.layout, n_, depth_);
    MeasureSettings settings = ctx_.measure_settings();
    settings.pinned = &pinned;
    settings.arena = plan.arena.get();
    plan.record_nodes.allocate(n_, settings.arena);
    ctx_.path.push_back(kItemSegment);
    for (size_t i = 0; i < n_; ++i) {
      Value record = project(items_[i], std::nullopt, kept_field, on_path);
      SizeNode node = measure(settings, record, depth_ + 1, ctx_.path, false);
      uint64_t floor = condensed_size(ctx_, pass_.string_cap, record, node, depth_ + 1);
      total += floor;
      // Floors only add up: once over, the rest cannot bring it back.
      if (total > budget_) break;
      plan.records.push_back(std::move(record));
      plan.record_nodes.push_back(std::move(node));
      plan.record_floors.push_back(floor);
    }
    ctx_.path.pop_back();
    if (total > budget_) return false;
    plan.slack = budget_ - total;
    return true;
  }

  bool homogeneous() const {
    uint64_t total = 0, common = 0;
    for (const FieldStats& f : stats().fields()) {
      if (f.parent) continue;
      total += f.present;
      if (2 * f.present >= n_) common += f.present;
    }
    return total > 0 && !(kCommonShare * static_cast<double>(total) > static_cast<double>(common));
  }

  bool always_object(size_t i) const {
    const FieldStats& f = stats().fields()[i];
    return f.present > 0 && f.object_holders == f.present;
  }

  bool is_candidate(size_t i) const {
    if (always_object(i)) return false;
    for (auto p = stats().fields()[i].parent; p; p = stats().fields()[*p].parent) {
      if (!always_object(*p)) return false;
    }
    return true;
  }

  std::vector<std::string_view> full_path(const FieldStats& f) const {
    std::vector<std::string_view> p(ctx_.path.begin(), ctx_.path.end());
    p.push_back(kItemSegment);
    p.insert(p.end(), f.path.begin(), f.path.end());
    return p;
  }

  // Protected when the field's own full path, or that of any ancestor
  // inside the array (the record itself included), matches a pattern.
  bool is_protected(const FieldStats& f) const {
    PathStack p(ctx_.path.begin(), ctx_.path.end());
    p.push_back(kItemSegment);
    if (matches_protect(ctx_.request.patterns, p)) return true;
    for (const std::string& seg : f.path) {
      p.push_back(seg);
      if (matches_protect(ctx_.request.patterns, p)) return true;
    }
    return false;
  }

  FieldFeatures features(const FieldStats& f, const std::vector<std::string_view>& path, Relevance r) const {
    FieldFeatures ff;
    ff.nulls = f.nulls;
    ff.bools = f.bools;
    ff.numbers = f.numbers;
    ff.strings = f.strings;
    ff.arrays = f.arrays;
    ff.objects = f.objects;
    ff.path = path;
    ff.rows = n_;
    ff.occurrences = f.present;
    ff.empties = f.empties;
    ff.distinct = f.distinct.size();
    ff.scalars = f.scalars;
    set_derived_features(ff, {f.present, f.query_matches, f.full_size_sum, f.position_sum, r.key, r.value});
    bool all_scalar = f.scalars == f.present;
    ff.constant = all_scalar && f.constant;
    ff.numeric = all_scalar && !f.not_numeric;
    ff.date_like = all_scalar && !f.not_date;
    ff.id_like = f.present > 0 && 4 * f.present <= 5 * f.id_like;
    return ff;
  }

  void lower_repeated(std::vector<ScoredField>& scored) const {
    const auto& fields = stats().fields();
    std::map<std::pair<uint64_t, uint64_t>, std::vector<size_t>> groups;  // positions in scored
    for (size_t k = 0; k < scored.size(); ++k) {
      const FieldStats& f = fields[scored[k].field];
      if (f.present > 2 && f.scalars == f.present && !(f.constant)) groups[{f.present, f.fingerprint}].push_back(k);
    }
    for (auto& [key, members] : groups) {
      if (members.size() < 2) continue;
      size_t best = members[0];
      for (size_t k : members) {
        const ScoredField &a = scored[k], &b = scored[best];
        size_t la = fields[a.field].path.size(), lb = fields[b.field].path.size();
        if (nan_last_rank(a.score) > nan_last_rank(b.score) ||
            (a.score == b.score && (la < lb || (la == lb && a.field < b.field))))
          best = k;
      }
      for (size_t k : members) {
        if (k != best) scored[k].score *= kRepeatedColumnFactor;
      }
    }
  }

  void lower_shared_labels(std::vector<ScoredField>& scored,
                           const std::vector<std::optional<std::string>>& labels) const {
    std::map<std::string, std::vector<size_t>> groups;
    for (size_t k = 0; k < scored.size(); ++k) {
      if (labels[scored[k].field]) groups[*labels[scored[k].field]].push_back(k);
    }
    for (auto& [label, members] : groups) {
      std::stable_sort(members.begin(), members.end(), [&](size_t a, size_t b) {
        double sa = nan_last_rank(scored[a].score), sb = nan_last_rank(scored[b].score);
        if (sa != sb) return sa > sb;
        return scored[a].field < scored[b].field;
      });
      for (size_t rank = 0; rank < members.size(); ++rank)
        scored[members[rank]].score *= std::pow(kSharedLabelDecay, static_cast<double>(rank));
    }
  }

  // Cost of adding field `f` given the open containers; the ancestors it
  // would open are added to `opened` (which may be `open` itself).
  uint64_t cost(size_t f, const std::set<size_t>& open, std::set<size_t>& opened) const {
    const auto& fields = stats().fields();
    const FieldStats& s = fields[f];
    const Layout& layout = ctx_.layout;
    // The field is an entry of its holder, the record (at depth_ + 1) or an
    // object below it; an ancestor opened for it is an entry of its own
    // holder and brings its own brackets.
    uint64_t c = (pinned_[f] ? s.full_size_sum : s.condensed_size_sum) + s.key_size_sum +
                 s.present * entry_overhead(layout, depth_ + s.path.size());
    for (auto p = s.parent; p; p = fields[*p].parent) {
      if (open.count(*p)) continue;
      const FieldStats& a = fields[*p];
      uint64_t g = depth_ + a.path.size();
      c += a.key_size_sum + a.present * (entry_overhead(layout, g) + container_frame(layout, g + 1));
      opened.insert(*p);
    }
    return c;
  }

  uint64_t total_of(const std::vector<size_t>& list) const {
    std::set<size_t> open;
    uint64_t total = base_;
    for (size_t f : list) total = sat_add(total, cost(f, open, open));
    return total;
  }

  std::vector<size_t> greedy(const std::vector<ScoredField>& scored) {
    std::vector<size_t> kept;
    open_.clear();
    planned_ = base_;
    for (const ScoredField& s : scored) {
      std::set<size_t> opened;
      uint64_t c = cost(s.field, open_, opened);
      if (sat_add(planned_, c) <= tier_limit(s.score, budget_)) {
        planned_ += c;
        open_.insert(opened.begin(), opened.end());
        kept.push_back(s.field);
      }
    }
    return kept;
  }

  std::vector<size_t> swap(const std::vector<ScoredField>& scored, std::vector<size_t> kept) {
    const std::vector<double>& score = score_of_;
    auto cubes = [&](const std::vector<size_t>& list) {
      double sum = 0;
      for (size_t f : list) sum += score[f] * score[f] * score[f];
      return sum;
    };
    for (const ScoredField& s : scored) {
      if (std::find(kept.begin(), kept.end(), s.field) != kept.end() || !(s.score >= kSwapInScore)) continue;
      uint64_t limit = tier_limit(s.score, budget_);
      std::vector<size_t> trial = kept;
      trial.push_back(s.field);
      std::vector<size_t> evictable;
      for (size_t f : kept) {
        if (score[f] < kEvictBelowShare * s.score) evictable.push_back(f);
      }
      std::stable_sort(evictable.begin(), evictable.end(),
                       [&](size_t a, size_t b) { return nan_last_rank(score[a]) < nan_last_rank(score[b]); });
      size_t removed = 0;
      uint64_t total = total_of(trial);
      while (total > limit && removed < evictable.size()) {
        trial.erase(std::find(trial.begin(), trial.end(), evictable[removed++]));
        total = total_of(trial);
      }
      if (removed > 0 && total <= limit && cubes(trial) > cubes(kept)) {
        kept = std::move(trial);
        open_.clear();
        planned_ = base_;
        for (size_t f : kept) planned_ += cost(f, open_, open_);
      }
    }
    return kept;
  }

  std::vector<size_t> fill(const std::vector<ScoredField>& scored, std::vector<size_t> kept) {
    const auto& fields = stats().fields();
    auto own = [&](size_t f) { return sat_sub(fields[f].full_size_sum, fields[f].condensed_size_sum); };
    uint64_t spare = 0;
    for (size_t f : kept) spare += own(f);
    for (const ScoredField& s : scored) {
      if (std::find(kept.begin(), kept.end(), s.field) != kept.end() || !(s.score >= kFillScore)) continue;
      std::set<size_t> opened;
      uint64_t c = cost(s.field, open_, opened);
      if (sat_add(sat_add(planned_, c), sat_add(spare, own(s.field))) <= budget_) {
        planned_ += c;
        open_.insert(opened.begin(), opened.end());
        spare += own(s.field);
        kept.push_back(s.field);
      }
    }
    return kept;
  }

  // The item reduced to the kept fields (and the objects that hold them).
  Value project(const Value& item, std::optional<size_t> holder, const std::vector<bool>& kept_field,
                const std::vector<bool>& on_path) const {
    Value out = Value::object();
    auto members = item.members();
    for (size_t i = 0; i < members.size(); ++i) {
      const Member& m = members[i];
      std::optional<size_t> field = stats().find_member(holder, i, m.key);
      if (!field) continue;
      if (kept_field[*field]) {
        out.add_member(m.key.clone(), m.value.clone());
      } else if (on_path[*field] && m.value.is_object()) {
        out.add_member(m.key.clone(), project(m.value, field, kept_field, on_path));
      }
    }
    return out;
  }

  bool informative(const std::vector<size_t>& kept, const std::vector<std::optional<std::string>>& labels) const {
    const auto& fields = stats().fields();
    for (size_t i = 0; i < kept.size(); ++i) {
      const FieldStats& f = fields[kept[i]];
      double score = score_of_[kept[i]];
      bool scalar_majority = f.present < 2 * (f.bools + f.numbers + f.strings);
      bool varied = f.distinct.size() * 2 >= f.present || f.full_size_sum >= kVariedMeanSize * f.present;
      bool labelled = !labels[kept[i]] || *labels[kept[i]] != "identity";
      if (score >= kInformativeScore && scalar_majority && varied && labelled) return true;
    }
    return false;
  }

  bool best_kept(const std::vector<ScoredField>& scored, const std::vector<size_t>& kept) const {
    double highest = -std::numeric_limits<double>::infinity();
    bool any = false;
    for (const ScoredField& s : scored) {
      if (std::isnan(s.score)) continue;
      highest = std::max(highest, s.score);
      any = true;
    }
    if (!any) return false;
    for (const ScoredField& s : scored) {
      if (s.score >= highest - 1e-9 && std::find(kept.begin(), kept.end(), s.field) != kept.end()) return true;
    }
    return false;
  }

  PruneContext& ctx_;
  const CondensePass& pass_;
  Value::Items items_;
  const SizeNodes& nodes_;
  uint64_t budget_, depth_;
  size_t n_;
  std::optional<FieldStatsCollector>& gathered_;
  std::optional<uint64_t> other_cap_;
  std::vector<bool> protected_, pinned_;
  std::vector<double> relevance_;
  std::vector<double> score_of_;
  uint64_t base_ = 0;
  uint64_t planned_ = 0;
  std::set<size_t> open_;
};

}  // namespace

PlanOutcome plan_condense(PruneContext& ctx, const CondensePass& pass, Value::Items items, const SizeNodes& nodes,
                          uint64_t budget, uint64_t depth, bool first, std::optional<FieldStatsCollector>& gathered,
                          std::optional<uint64_t> other_cap) {
  return Planner(ctx, pass, items, nodes, budget, depth, gathered, other_cap).run(first);
}

}  // namespace tersolite
