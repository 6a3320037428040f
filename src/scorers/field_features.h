// Building the question put to a scorer, for a member of an object or for a
// column of the records of an array: one set of derived features for both.
#pragma once

#include <cstdint>

#include "lexical/query_terms.h"
#include "scorers/field_scorer.h"
#include "value/value.h"

namespace tersolite {

/// What a field's averages and relevance are taken from.
struct FieldSums {
  uint64_t occurrences = 0;
  uint64_t query_matches = 0;  // occurrences whose value matches a query term
  uint64_t size = 0;           // written sizes
  uint64_t position = 0;       // member positions
  double key_relevance = 0;
  double value_relevance = 0;
};

/// Sets the features derived from `sums`: relevance, the share of values
/// matching the query, mean size and mean position.
void set_derived_features(FieldFeatures& f, const FieldSums& sums);

/// Fills `f` for member `m` of `full_size` at `position`, as a column of one
/// row; `f` is reused from member to member, so that its path keeps its
/// room. Unlike a column, a member is id-like only as a string.
void member_features(FieldFeatures& f, const Member& m, uint64_t full_size, size_t position, const QueryTerms* query);

}  // namespace tersolite
