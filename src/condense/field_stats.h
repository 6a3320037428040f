// Field statistics for condensing: one pass over the records of an array
// gathers, for every field path, how often it occurs, what it holds, how
// much room it takes in full and shortened, and whether its values repeat.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "hash/hash_set.h"
#include "lexical/query_terms.h"
#include "prune/prune_context.h"

namespace tersolite {

/// Distinct value hashes kept per field.
inline constexpr size_t kMaxDistinctHashes = 1024;

struct FieldStats {
  std::optional<size_t> parent;  // the field whose object holds this one
  std::optional<uint64_t> first_hash;
  std::vector<std::string> path;  // keys from the record down to this field
  HashSet64 distinct;
  TokenSet value_words;
  uint64_t present = 0;
  uint64_t object_holders = 0;
  uint64_t nulls = 0, bools = 0, numbers = 0, strings = 0, arrays = 0, objects = 0;
  uint64_t empties = 0;
  uint64_t key_cost = 0;  // of one occurrence of the key
  uint64_t key_size_sum = 0;
  uint64_t full_size_sum = 0;
  uint64_t condensed_size_sum = 0;
  uint64_t other_cap_condensed_size_sum = 0;  // at the collector's other cap, while it has one
  uint64_t position_sum = 0;
  uint64_t scalars = 0;
  uint64_t id_like = 0;
  uint64_t query_matches = 0;
  uint64_t fingerprint = 0;
  bool constant = true;
  bool not_numeric = false;
  bool not_date = false;
};

/// The statistics of one array's records, in the order paths were met.
class FieldStatsCollector {
 public:
  /// `other_cap`: a string cap a later attempt may plan at; condensed sizes
  /// are counted for it too while gathering.
  /// `query`: the terms that steer the pass, if any; they outlive the
  /// collector.
  explicit FieldStatsCollector(const QueryTerms* query, std::optional<uint64_t> other_cap = std::nullopt)
      : query_(query), other_cap_(other_cap) {}

  const std::vector<FieldStats>& fields() const { return fields_; }
  const QueryTerms* query() const { return query_; }

  /// The index of the field with `path`, if it was met.
  std::optional<size_t> find(const std::vector<std::string>& path) const;

  /// The index of the field `key` inside `holder` (the record itself when
  /// none), met at member `position`, if it was met.
  std::optional<size_t> find_member(std::optional<size_t> holder, size_t position, std::string_view key) const;

  /// Adds the members of every object among `records` (measured as `nodes`
  /// at `depth`), counting condensed sizes with strings cut to `cap`; a
  /// record's index among them is its item index.
  void gather(const PruneContext& ctx, uint64_t cap, Value::Items records, const SizeNodes& nodes, uint64_t depth);

  /// Sets every field's condensed size sum again, for strings cut to `cap`,
  /// from the gathered `records` measured as `nodes` at `depth`.
  void recount_condensed(const PruneContext& ctx, uint64_t cap, Value::Items records, const SizeNodes& nodes,
                         uint64_t depth);

 private:
  // `same_keys`: the record has the keys of the record walked just before
  // it, in the same order, so each member's field is the one last met at
  // its position.
  void gather_into(const PruneContext& ctx, uint64_t cap, const Value& record, const SizeNode& node, uint64_t depth,
                   uint64_t item_index, std::optional<size_t> holder, bool same_keys = false);
  void recount_into(const PruneContext& ctx, uint64_t cap, const Value& record, const SizeNode& node, uint64_t depth,
                    std::optional<size_t> holder, bool same_keys = false);
  size_t field_for(std::optional<size_t> holder, size_t position, std::string_view key, bool same_keys);

  const QueryTerms* query_;
  std::optional<uint64_t> other_cap_;
  TokenSet value_tokens_;  // of the value being gathered, reused
  std::vector<FieldStats> fields_;
  // Fields by holder (slot 0 for the record itself, else the holder's index
  // + 1), then by key. Records of one array mostly list the same keys in
  // the same order, so the field last met at each position of each holder
  // answers most lookups before the key is hashed.
  std::vector<std::unordered_map<std::string, size_t, SeededStringHash, std::equal_to<>>> by_key_;
  std::vector<std::vector<size_t>> by_position_;
};

/// The size a value is sure to reach once a condensed record is fitted:
/// long strings count as cut to `cap` characters.
uint64_t condensed_size(const PruneContext& ctx, uint64_t cap, const Value& value, const SizeNode& node,
                        uint64_t depth);

/// SipHash-1-3 (zero key) of a scalar's kind and text.
uint64_t value_hash(const Value& scalar);

/// Mixes a value hash with the index of its record.
uint64_t mix_with_index(uint64_t hash, uint64_t index);

/// "/" before each array path segment, "/*", then "/" before each field segment.
std::string path_display(const PathStack& array_path, const std::vector<std::string>& field_path);

}  // namespace tersolite
