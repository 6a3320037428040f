#include "scorers/field_features.h"

#include <algorithm>

namespace tersolite {

void set_derived_features(FieldFeatures& f, const FieldSums& sums) {
  f.key_relevance = sums.key_relevance;
  f.value_relevance = sums.value_relevance;
  f.relevance = std::max(sums.key_relevance, sums.value_relevance);
  double p = static_cast<double>(std::max<uint64_t>(sums.occurrences, 1));
  f.match_fraction = static_cast<double>(sums.query_matches) / p;
  f.mean_size = static_cast<double>(sums.size) / p;
  f.mean_position = static_cast<double>(sums.position) / p;
}

void member_features(FieldFeatures& f, const Member& m, uint64_t full_size, size_t position, const QueryTerms* query) {
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
  FieldSums sums{1, 0, full_size, position};
  if (query) {
    sums.key_relevance = key_relevance(*query, words(m.key), {});
    if (v.is_number() || v.is_string()) {
      TokenSet tokens = value_tokens(v.text());
      sums.value_relevance = value_relevance(*query, tokens);
      sums.query_matches = any_term_matches(*query, tokens) ? 1 : 0;
    }
  }
  set_derived_features(f, sums);
  f.constant = false;
  f.numeric = v.is_number() || (v.is_string() && is_numeric_text(v.text()));
  f.date_like = v.is_string() && is_date_text(v.text());
  f.id_like = v.is_string() && is_id_text(v.text());
}

}  // namespace tersolite
