// What one shrink attempt did, as the envelope reports it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tersolite {

/// The seven counters reported in the envelope, in report order.
struct Stats {
  uint64_t strings_truncated = 0;
  uint64_t arrays_sampled = 0;
  uint64_t items_omitted = 0;
  uint64_t objects_trimmed = 0;
  uint64_t keys_omitted = 0;
  uint64_t containers_collapsed = 0;
  uint64_t arrays_condensed = 0;
};

/// A field condensing dropped from the records of one array.
struct DroppedField {
  std::string path;
  uint64_t items = 0;  // records in which the path occurs
};

/// One scored field of a condensed array (kept when `explain` is set).
struct FieldDecision {
  std::string path;
  uint32_t score = 0;  // thousandths
  bool kept = false;
  uint32_t relevance = 0;  // thousandths
};

struct Outcome {
  Stats stats;
  uint64_t protected_omitted = 0;
  std::vector<FieldDecision> field_decisions;
  uint64_t fields_dropped = 0;
  std::vector<DroppedField> dropped_fields;
};

}  // namespace tersolite
