// Measurement of a Value tree: the written size of every node, the smallest
// size it could be shrunk to without losing protected content, its shape
// fingerprint and its protection.
//
// The measurement predicts the JSON writer's output exactly, in both
// layouts; YAML output is only estimated by the indented rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "size/hash_seed.h"
#include "value/large_memory.h"
#include "value/value.h"

namespace tersolite {

/// Output layout: width 0 is compact, otherwise spaces per nesting level.
struct Layout {
  uint64_t width = 0;
  bool pretty() const { return width > 0; }
  /// The space after a member's colon.
  uint64_t colon_space() const { return pretty() ? 1 : 0; }
};

/// Segments from the root to a node: a member's key or "*" for an item.
/// Views point into the Value tree being walked.
using PathStack = std::vector<std::string_view>;
inline constexpr std::string_view kItemSegment = "*";

/// One compiled `protect` entry.
struct ProtectPattern {
  std::vector<std::string> segments;  // at least one
  bool anchored = false;              // the entry began with "/"
};

/// Splits each entry at "/", dropping empty pieces; entries with no piece
/// produce no pattern.
std::vector<ProtectPattern> compile_protect_patterns(const std::vector<std::string>& protect);

/// Whether some pattern matches the whole of `path` (anchored) or its end.
bool matches_protect(const std::vector<ProtectPattern>& patterns, const PathStack& path);

/// A set of exact paths that condensing pins while it measures records.
class PinnedPaths {
 public:
  void assign(const std::vector<std::vector<std::string>>& paths);
  void clear() { paths_.clear(); }
  bool empty() const { return paths_.empty(); }
  bool contains(const PathStack& path) const;

 private:
  static std::string encode(const PathStack& path);
  std::unordered_set<std::string, SeededStringHash> paths_;
};

struct SizeNode {
  // One per item or member, in order, once measured. Large documents keep
  // only the top levels; children_of() measures the rest when a shrink
  // step needs them (the same values, computed later).
  mutable std::vector<SizeNode, LargeAllocator<SizeNode>> children;
  uint64_t full = 0;               // characters written in full
  uint64_t min = 0;                // smallest size allowed; <= full
  mutable uint64_t shape = 0;      // shape fingerprint, once shape_known
  uint64_t protected_leaves = 0;   // protected scalars at or below
  bool is_protected = false;       // this node itself
  bool holds_protected = false;    // scalars and arrays: is_protected; objects: also any child
  mutable bool expanded = false;   // children holds every child
  mutable bool shape_known = false;
};

using SizeNodes = std::vector<SizeNode, LargeAllocator<SizeNode>>;

/// Levels of children measure() keeps below a node: all of them.
inline constexpr uint64_t kAllLevels = UINT64_MAX;

/// What measuring reads: the layout, the compiled patterns and pinned paths.
struct MeasureSettings {
  Layout layout;
  const std::vector<ProtectPattern>* patterns = nullptr;
  const PinnedPaths* pinned = nullptr;
};

/// Measures `value` at `depth`; `path` holds its path and is restored.
/// Children are kept for `levels` levels below the node.
SizeNode measure(const MeasureSettings& settings, const Value& value, uint64_t depth,
                 PathStack& path, bool protected_by_ancestor, uint64_t levels = kAllLevels);

/// The children of `node` (the measurement of `value` at `depth`),
/// measuring them first when they were not kept.
/// REQUIRES: when children were not kept, protection cannot depend on the
/// path: no protect patterns and no pinned paths.
const SizeNodes& children_of(const MeasureSettings& settings, const Value& value,
                                         const SizeNode& node, uint64_t depth);

/// Characters of `value` written as JSON in `layout` at `depth`: the full
/// size measure() gives, without building the tree.
uint64_t json_written_size(const Value& value, const Layout& layout, uint64_t depth = 0);

/// Characters of `text` written as a JSON string literal, quotes included.
uint64_t json_string_size(std::string_view text);

/// Container overhead: brackets, separators, line breaks and indentation for
/// `n` items or members at `depth` (keys and values not included).
uint64_t container_overhead(const Layout& layout, uint64_t n, uint64_t depth);

/// Size of an array collapsed to its one "…[n items omitted]" item.
uint64_t collapsed_array_size(const Layout& layout, uint64_t count, uint64_t depth);

/// Size of an object collapsed to its one "…": "n keys omitted" member.
uint64_t collapsed_object_size(const Layout& layout, uint64_t count, uint64_t depth);

/// Cost of the "…": "n keys omitted" member inside an object.
uint64_t keys_marker_member_size(const Layout& layout, uint64_t count);

/// Shape fingerprint: the kind, and for objects the set of distinct keys.
uint64_t shape_hash(const Value& value);

/// The shape fingerprint of `value`, whose measurement is `node`: computed
/// when first asked for (only array sampling needs it), then kept.
inline uint64_t shape_of(const Value& value, const SizeNode& node) {
  if (!node.shape_known) {
    node.shape = shape_hash(value);
    node.shape_known = true;
  }
  return node.shape;
}

}  // namespace tersolite
