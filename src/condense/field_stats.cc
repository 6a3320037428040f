#include "condense/field_stats.h"

#include <algorithm>

#include "hash/siphash.h"
#include "json/json_cost.h"
#include "size/markers.h"
#include "value/utf8.h"

namespace tersolite {

std::optional<size_t> FieldStatsCollector::find(const std::vector<std::string>& path) const {
  std::optional<size_t> holder;
  for (const std::string& key : path) {
    holder = find_member(holder, SIZE_MAX, key);
    if (!holder) return std::nullopt;
  }
  return holder;
}

std::optional<size_t> FieldStatsCollector::find_member(std::optional<size_t> holder, size_t position,
                                                       std::string_view key) const {
  size_t slot = holder ? *holder + 1 : 0;
  if (slot >= by_position_.size()) return std::nullopt;
  const std::vector<size_t>& seen = by_position_[slot];
  if (position < seen.size() && same_text(fields_[seen[position]].path.back(), key)) return seen[position];
  const auto& index = by_key_[slot];
  auto it = index.find(key);
  if (it == index.end()) return std::nullopt;
  return it->second;
}

size_t FieldStatsCollector::field_for(std::optional<size_t> holder, size_t position, std::string_view key,
                                      bool same_keys) {
  size_t slot = holder ? *holder + 1 : 0;
  if (slot >= by_position_.size()) {
    by_position_.resize(slot + 1);
    by_key_.resize(slot + 1);
  }
  std::vector<size_t>& seen = by_position_[slot];
  if (position < seen.size() && (same_keys || same_text(fields_[seen[position]].path.back(), key)))
    return seen[position];
  auto& index = by_key_[slot];
  auto it = index.find(key);
  size_t field;
  if (it != index.end()) {
    field = it->second;
  } else {
    field = fields_.size();
    index.emplace(std::string(key), field);
    FieldStats f;
    f.parent = holder;
    if (holder) f.path = fields_[*holder].path;
    f.path.emplace_back(key);
    fields_.push_back(std::move(f));
  }
  if (position >= seen.size()) seen.resize(position + 1, field);
  seen[position] = field;
  return field;
}

namespace {

// Calls `walk(record, node, index, same_keys)` for each object among the
// records, in order. Top-level records are the only users of their slot, so
// a record the reader marked as repeating the keys of the record walked just
// before it needs no key compared (`same_keys`).
template <class Walk>
void walk_records(Value::Items records, const SizeNodes& nodes, Walk walk) {
  bool walked_previous = false;
  for (size_t i = 0; i < records.size() && i < nodes.size(); ++i) {
    const Value& record = records[i];
    if (!record.is_object()) {
      walked_previous = false;
      continue;
    }
    walk(record, nodes[i], i, walked_previous && record.repeats_previous_keys());
    walked_previous = true;
  }
}

// What one value tells of its field's kinds, shapes and repeats;
// `item_index` is its record's.
void note_kind(FieldStats& f, const Value& v, uint64_t item_index) {
  switch (v.kind()) {
    case Kind::kNull: ++f.nulls; break;
    case Kind::kBool: ++f.bools; break;
    case Kind::kNumber: ++f.numbers; break;
    case Kind::kString: ++f.strings; break;
    case Kind::kArray: ++f.arrays; break;
    case Kind::kObject: ++f.objects; break;
  }
  if (v.is_null() || v.is_empty_container_or_string()) ++f.empties;
  if (v.is_number()) {
    f.not_date = true;
    std::string_view t = v.text();
    if (t.size() >= 9 && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) ++f.id_like;
  } else if (v.is_string()) {
    std::string_view t = v.text();
    if (t.empty()) {
      f.not_numeric = f.not_date = true;
    } else {
      // Once one value says no, the others need not be looked at.
      if (!f.not_numeric && !is_numeric_text(t)) f.not_numeric = true;
      if (!f.not_date && !is_date_text(t)) f.not_date = true;
      if (is_id_text(t)) ++f.id_like;
    }
  }

  if (v.is_scalar()) {
    uint64_t h = value_hash(v);
    ++f.scalars;
    f.fingerprint += mix_with_index(h, item_index);
    // The first value is in the set already when it comes again.
    bool seen = f.first_hash && h == *f.first_hash;
    if (!seen && f.distinct.size() < kMaxDistinctHashes) f.distinct.insert(h);
    if (!f.first_hash) {
      f.first_hash = h;
    } else if (h != *f.first_hash) {
      f.constant = false;
    }
  }
}

}  // namespace

void FieldStatsCollector::gather(const PruneContext& ctx, uint64_t cap, Value::Items records, const SizeNodes& nodes,
                                 uint64_t depth) {
  walk_records(records, nodes, [&](const Value& record, const SizeNode& node, size_t i, bool same_keys) {
    gather_into(ctx, cap, record, node, depth, i, std::nullopt, same_keys);
  });
}

void FieldStatsCollector::gather_into(const PruneContext& ctx, uint64_t cap, const Value& record, const SizeNode& node,
                                      uint64_t depth, uint64_t item_index, std::optional<size_t> holder,
                                      bool same_keys) {
  const auto& members = record.members();
  // The walk goes on into objects: measure one level below each field now
  // rather than again when it gets there.
  const auto& kids = children_of(ctx.measure_settings(), record, node, depth, 1);
  size_t count = std::min(members.size(), kids.size());
  for (size_t i = 0; i < count; ++i) {
    const Member& m = members[i];
    const SizeNode& child = kids[i];
    const Value& v = m.value;
    size_t index = field_for(holder, i, m.key, same_keys);
    FieldStats& f = fields_[index];
    if (f.present == 0) f.key_cost = member_key_cost(ctx.layout, m.key);
    ++f.present;
    f.key_size_sum += f.key_cost;  // a field's key is the same in every record
    f.full_size_sum += child.full;
    f.condensed_size_sum += condensed_size(ctx, cap, v, child, depth + 1);
    if (other_cap_) f.other_cap_condensed_size_sum += condensed_size(ctx, *other_cap_, v, child, depth + 1);
    f.position_sum += i;

    if (query_ && (v.is_string() || v.is_number())) {
      value_tokens_.clear();
      add_value_tokens(value_tokens_, v.text());
      if (any_term_matches(*query_, value_tokens_)) ++f.query_matches;
      if (f.value_words.size() <= 255) f.value_words.insert_all(value_tokens_);
    }

    note_kind(f, v, item_index);

    if (v.is_object() && !v.members().empty()) {
      ++f.object_holders;
      gather_into(ctx, cap, v, child, depth + 1, item_index, index);
    }
  }
}

void FieldStatsCollector::recount_condensed(const PruneContext& ctx, uint64_t cap, Value::Items records,
                                            const SizeNodes& nodes, uint64_t depth) {
  if (other_cap_ && *other_cap_ == cap) {
    // Counted for this cap already, while gathering.
    for (FieldStats& f : fields_) std::swap(f.condensed_size_sum, f.other_cap_condensed_size_sum);
    other_cap_.reset();
    return;
  }
  other_cap_.reset();
  for (FieldStats& f : fields_) f.condensed_size_sum = 0;
  walk_records(records, nodes, [&](const Value& record, const SizeNode& node, size_t, bool same_keys) {
    recount_into(ctx, cap, record, node, depth, std::nullopt, same_keys);
  });
}

// The walk of gather_into, for the condensed sizes alone.
void FieldStatsCollector::recount_into(const PruneContext& ctx, uint64_t cap, const Value& record, const SizeNode& node,
                                       uint64_t depth, std::optional<size_t> holder, bool same_keys) {
  const auto& members = record.members();
  const auto& kids = children_of(ctx.measure_settings(), record, node, depth);
  size_t count = std::min(members.size(), kids.size());
  for (size_t i = 0; i < count; ++i) {
    const Value& v = members[i].value;
    size_t index = field_for(holder, i, members[i].key, same_keys);
    fields_[index].condensed_size_sum += condensed_size(ctx, cap, v, kids[i], depth + 1);
    if (v.is_object() && !v.members().empty()) recount_into(ctx, cap, v, kids[i], depth + 1, index);
  }
}

uint64_t condensed_size(const PruneContext& ctx, uint64_t cap, const Value& value, const SizeNode& node,
                        uint64_t depth) {
  if (node.min >= node.full) return node.full;
  if (value.is_object() && !value.members().empty()) {
    const auto& members = value.members();
    const auto& kids = children_of(ctx.measure_settings(), value, node, depth);
    uint64_t size = container_overhead(ctx.layout, members.size(), depth);
    size_t count = std::min(members.size(), kids.size());
    for (size_t i = 0; i < count; ++i) {
      size +=
          member_key_cost(ctx.layout, members[i].key) + condensed_size(ctx, cap, members[i].value, kids[i], depth + 1);
    }
    return size;
  }
  if (value.is_string()) {
    std::string_view text = value.text();
    uint64_t chars = node.chars;
    if (chars <= cap + 16) return node.full;
    if (value.is_plain_text()) return std::min(node.full, cap + chars_marker_size(chars - cap));
    // The head written with the marker after it (the marker needs no escapes).
    std::string_view head(text.data(), byte_offset_of_char(text, cap));
    return std::min(node.full, json_string_size(head) + chars_marker_size(chars - cap) - 2);
  }
  return node.min;
}

uint64_t value_hash(const Value& scalar) {
  if (scalar.is_number() || scalar.is_string()) return siphash13_framed(scalar.is_number() ? 2 : 3, scalar.text());
  SipHasher h(0, 0, 1, 3);
  switch (scalar.kind()) {
    case Kind::kNull: h.update_byte(0); break;
    case Kind::kBool:
      h.update_byte(1);
      h.update_byte(scalar.as_bool() ? 1 : 0);
      break;
    default: break;
  }
  return h.finish();
}

uint64_t mix_with_index(uint64_t hash, uint64_t index) {
  uint64_t x = hash ^ (index * 0x9E3779B97F4A7C15ull);
  uint64_t y = (x ^ (x >> 33)) * 0xFF51AFD7ED558CCDull;
  return y ^ (y >> 29);
}

std::string path_display(const PathStack& array_path, const std::vector<std::string>& field_path) {
  std::string out;
  for (std::string_view s : array_path) {
    out += '/';
    out += s;
  }
  out += "/*";
  for (const std::string& s : field_path) {
    out += '/';
    out += s;
  }
  return out;
}

}  // namespace tersolite
