#include "lib/shrink_search.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "json/json_writer.h"
#include "prune/prune.h"
#include "size/arith.h"
#include "value/utf8.h"
#include "yaml/yaml_writer.h"

namespace tersolite {

std::string write_document(const Value& value, Format format, uint64_t width, size_t reserve) {
  if (format == Format::kYaml) return yaml::write_yaml(value, width, reserve);
  std::string out;
  out.reserve(reserve);
  write_document(out, value, format, width);
  return out;
}

void write_document(std::string& out, const Value& value, Format format, uint64_t width) {
  if (format == Format::kYaml) {
    yaml::write_yaml(out, value, width);
  } else {
    json::write_json(out, value, width, 0);
  }
}

Measurement measure_document(const Value& document, const ShrinkRequest& request) {
  Measurement m;
  PruneContext ctx(request, m.arena.get());
  PathStack path;
  // Protection by path needs the path of every node, so patterns keep
  // everything. Otherwise deeper levels are measured when a step first
  // needs them: condensing's walk over the records measures each one as it
  // reaches it, while the record is in cache, instead of in a pass before.
  bool all = !request.patterns.empty();
  m.root = measure(ctx.measure_settings(), document, 0, path, false, all ? kAllLevels : 1);
  return m;
}

SearchResult shrink_search(const Value& document, const ShrinkRequest& request) {
  return shrink_search(document, measure_document(document, request), request);
}

namespace {

// Where the next attempt aims: scaled by how far the last one missed the
// budget until attempts lie on both sides of it, then halving the gap.
class Aim {
 public:
  explicit Aim(uint64_t budget) : budget_(budget), target_(budget) {}
  uint64_t target() const { return target_; }

  /// After an attempt at the target wrote `size` characters within the
  /// budget; false when no other target can do better.
  bool after_fit(uint64_t size) {
    lo_ = target_;
    if (hi_) {
      if (*hi_ <= target_ + 1) return false;
      target_ = target_ + (*hi_ - target_) / 2;
    } else {
      double grown = static_cast<double>(target_) * static_cast<double>(budget_) /
                     static_cast<double>(std::max<uint64_t>(size, 1));
      target_ = std::max(sat_add(target_, 1), saturating_u64(grown));
    }
    return true;
  }

  /// The same after an attempt over the budget.
  bool after_over(uint64_t size) {
    if (lo_) {
      if (target_ <= *lo_ + 1) return false;
      hi_ = target_;
      target_ = *lo_ + (target_ - *lo_) / 2;
    } else {
      if (target_ == 0) return false;
      hi_ = target_;
      double shrunk = static_cast<double>(target_) * static_cast<double>(budget_) / static_cast<double>(size) * 0.97;
      target_ = std::min(target_ - 1, saturating_u64(shrunk));
    }
    return true;
  }

 private:
  uint64_t budget_;
  uint64_t target_;
  std::optional<uint64_t> lo_, hi_;  // the targets that fit and overran, closest to the budget
};

}  // namespace

// Measured once; every attempt reuses the measurement with a fresh context
// of its own.
SearchResult shrink_search(const Value& document, const Measurement& measured, const ShrinkRequest& request) {
  const SizeNode& root = measured.root;
  const uint64_t budget = request.budget;
  const Format format = request.format;

  std::optional<Attempt> best_fit, best_over;
  Aim aim(budget);
  int attempts = 0;
  // The text of an attempt that was not kept: the next one is written into
  // its room, so that large outputs do not take fresh pages every attempt.
  std::string spare;
  auto keep_better = [&spare](std::optional<Attempt>& best, Attempt& attempt, bool better) {
    if (!better) {
      spare = std::move(attempt.text);
      return;
    }
    if (best) spare = std::move(best->text);
    best = std::move(attempt);
  };
  while (attempts < kMaxAttempts) {
    ++attempts;
    PruneContext ctx(request, measured.arena.get());
    PruneResult pruned = prune(ctx, document, root, aim.target(), 0);
    Attempt attempt;
    attempt.text = std::move(spare);
    attempt.text.clear();
    // The measured size is in characters (and only estimated for YAML): a
    // reservation that most outputs fill without growing.
    attempt.text.reserve(sat_add(pruned.size, pruned.size / 8 + 64));
    write_document(attempt.text, pruned.value, format, request.layout.width);
    attempt.size = char_count(attempt.text);
    uint64_t s = attempt.size;
    attempt.outcome = std::move(ctx).outcome();

    if (s <= budget) {
      keep_better(best_fit, attempt, !best_fit || s > best_fit->size);
      bool keep_going = format == Format::kYaml && budget - s > budget / 200;
      if (!keep_going || !aim.after_fit(s)) break;
    } else {
      keep_better(best_over, attempt, !best_over || s < best_over->size);
      if (!aim.after_over(s)) break;
    }
  }

  SearchResult result;
  result.attempts = attempts;
  if (best_fit) {
    result.chosen = std::move(*best_fit);
    result.fits = true;
  } else if (best_over) {
    result.chosen = std::move(*best_over);
  } else {
#if __cpp_exceptions
    throw std::logic_error("shrink search ended without an attempt");
#else
    __builtin_trap();  // the host turns the trap into the error envelope
#endif
  }
  return result;
}

}  // namespace tersolite
