// Field scorers judge how much a field is worth keeping, from its name and
// statistics of its values. One scorer, chosen by the `field_scorer`
// option, answers every question of a request.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "request/options.h"

namespace tersolite {

/// The question put to a scorer: one member (rows = 1) or a column of the
/// records of an array.
struct FieldFeatures {
  uint64_t nulls = 0, bools = 0, numbers = 0, strings = 0, arrays = 0, objects = 0;
  std::vector<std::string_view> path;  // the last segment is the key
  uint64_t rows = 0;
  uint64_t occurrences = 0;
  uint64_t empties = 0;
  uint64_t distinct = 0;
  uint64_t scalars = 0;
  double relevance = 0;
  double key_relevance = 0;
  double value_relevance = 0;
  double match_fraction = 0;
  double mean_size = 0;
  double mean_position = 0;
  bool constant = false;
  bool numeric = false;
  bool date_like = false;
  bool id_like = false;
};

class FieldScorer {
 public:
  virtual ~FieldScorer() = default;
  /// "heuristic", "compact" or "key_order".
  virtual std::string_view name() const = 0;
  /// Higher means more worth keeping.
  virtual double score(const FieldFeatures& f) const = 0;
  /// Whether a column identifies its records (condensing pins it).
  virtual bool is_identifier(const FieldFeatures& f) const = 0;
  /// A label under which condensing groups related columns.
  virtual std::optional<std::string> group_label(const FieldFeatures& f) const = 0;
};

/// The scorer an option names; scorers are stateless and shared.
const FieldScorer& scorer_for(ScorerKind kind);

/// Words naming a level that holds fields rather than a field: the scorer
/// passes over them as wrappers in a path, and condensing leaves them out of
/// the words of a path it matches a query against.
inline constexpr std::string_view kHolderWords[] = {"data", "fields", "properties", "attributes"};

/// The share of a budget a member or column may fill by itself, by its
/// score's tier: the most wanted may take all of it, the least (and NaN) 70%.
inline double tier_factor(double score) {
  if (score >= 0.75) return 1.0;
  if (score >= 0.45) return 0.9;
  return 0.7;
}

/// A score as a ranking key: NaN (never produced by the built-in scorers)
/// ranks below every number.
inline double nan_last_rank(double score) {
  return std::isnan(score) ? -std::numeric_limits<double>::infinity() : score;
}

// Tests on the text of one string value, shared by members and columns.
/// Optional "-", then ASCII digits and at most one ".", with a digit.
bool is_numeric_text(std::string_view text);
/// Starts with YYYY-MM-DD.
bool is_date_text(std::string_view text);
/// At least 8 bytes without spaces, and mixed-case alphanumeric (12+ bytes)
/// or hexadecimal with "-" and "_" and a digit.
bool is_id_text(std::string_view text);

}  // namespace tersolite
