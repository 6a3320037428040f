// Measurement of a Value tree: the written size of every node, the smallest
// size it could be shrunk to without losing protected content, its shape
// fingerprint and its protection.
//
// The measurement predicts the JSON writer's output exactly, in both
// layouts, by the cost model of json/json_cost.h; YAML output is only
// estimated by the indented rules.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "hash/hash_seed.h"
#include "json/json_cost.h"
#include "value/arena.h"
#include "value/large_memory.h"
#include "value/value.h"

namespace tersolite {

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

struct SizeNode;

/// The measured children of a node: an exactly sized array in an arena, or
/// on the heap when there is none (freed with the list).
///
/// A large container measured into an arena keeps no node per child until
/// a step asks for one: its children are measured 256 at a time when first
/// asked for, so that sampling a few thousand items of an array of
/// millions costs nodes for those alone. Loops over every child should use
/// sizes(), which keeps nothing.
class SizeNodes {
 public:
  SizeNodes() = default;
  SizeNodes(SizeNodes&& other) noexcept : data_(other.data_), meta_(other.meta_) { other.meta_ = 0; }
  SizeNodes& operator=(SizeNodes&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(meta_, other.meta_);
    return *this;
  }
  SizeNodes(const SizeNodes&) = delete;
  SizeNodes& operator=(const SizeNodes&) = delete;
  ~SizeNodes();

  /// Room for `n` nodes, taken from `arena` or, when it is null, the heap.
  /// REQUIRES: nothing allocated yet.
  void allocate(size_t n, Arena* arena);
  /// A default node at the end. REQUIRES: fewer nodes than allocated.
  SizeNode& emplace_back();
  /// REQUIRES: fewer nodes than allocated.
  void push_back(SizeNode&& node);
  /// Nodes for the children of `container`, measured in `layout` at
  /// `depth` when first asked for, unprotected, in `arena`.
  /// REQUIRES: nothing allocated yet.
  void make_later(const Value& container, const Layout& layout, uint64_t depth, Arena& arena);

  size_t size() const { return static_cast<size_t>(meta_ & kSizeMask); }
  bool empty() const { return size() == 0; }
  const SizeNode& operator[](size_t i) const;

  /// What a loop over every child needs of child i, without keeping a
  /// node for it when it is a scalar.
  struct Sizes {
    uint64_t full;
    uint64_t min;
    bool holds_protected;
  };
  Sizes sizes(size_t i) const;

 private:
  static constexpr uint64_t kHeap = uint64_t{1} << 63;
  static constexpr uint64_t kLater = uint64_t{1} << 62;
  static constexpr uint64_t kSizeMask = kLater - 1;
  static constexpr size_t kChunk = 256;
  static_assert(kChunk == ItemWindow::kWindow, "a chunk is measured from one window");
  // Children whose nodes are made a chunk at a time.
  struct Later {
    const char* first;    // the first child's Value
    size_t stride;        // bytes from one child's Value to the next
    ItemWindow* numbers;  // instead, for a packed array
    Layout layout;
    uint64_t depth;  // the children's
    Arena* arena;
    SizeNode** chunks;  // null until made
  };
  // Child i of the container (see Later).
  const Value& child(size_t i) const;
  void measure_later(SizeNode& node, const Value& child) const;
  const SizeNode& made_later(size_t i) const;
  SizeNode* nodes() const { return static_cast<SizeNode*>(data_); }
  Later* later() const { return static_cast<Later*>(data_); }  // when kLater
  void* data_ = nullptr;                                       // the nodes, or the Later when kLater
  uint64_t meta_ = 0;                                          // size, kHeap when data_ is ours to free, kLater
};

struct SizeNode {
  // One per item or member, in order, once measured. Large documents keep
  // only the top levels; children_of() measures the rest when a shrink
  // step needs them (the same values, computed later).
  mutable SizeNodes children;
  uint64_t full = 0;   // characters written in full
  uint64_t min = 0;    // smallest size allowed; <= full
  uint64_t chars = 0;  // strings: characters of the text
  // Protected scalars at or below: fewer than the document's bytes, so 48
  // bits are plenty, and the flags share the word.
  uint64_t protected_leaves : 48 = 0;
  bool is_protected : 1 = false;      // this node itself
  bool holds_protected : 1 = false;   // scalars and arrays: is_protected; objects: also any child
  mutable bool expanded : 1 = false;  // children holds every child
};

// Large documents are mostly nodes: keep them small.
static_assert(sizeof(SizeNode) == 48);

inline const SizeNode& SizeNodes::operator[](size_t i) const {
  if (meta_ & kLater) [[unlikely]]
    return made_later(i);
  return nodes()[i];
}

inline const Value& SizeNodes::child(size_t i) const {
  const Later& l = *later();
  if (l.numbers != nullptr) [[unlikely]]
    return (*l.numbers)[i];
  return *reinterpret_cast<const Value*>(l.first + i * l.stride);
}

inline SizeNodes::~SizeNodes() {
  if (!(meta_ & kHeap)) return;  // an arena's nodes go with the arena
  for (size_t i = 0; i < size(); ++i) nodes()[i].~SizeNode();
  release_large(data_, size() * sizeof(SizeNode));
}

inline SizeNode& SizeNodes::emplace_back() {
  SizeNode* slot = new (nodes() + size()) SizeNode();
  ++meta_;
  return *slot;
}

inline void SizeNodes::push_back(SizeNode&& node) {
  new (nodes() + size()) SizeNode(std::move(node));
  ++meta_;
}

/// Levels of children measure() keeps below a node: all of them.
inline constexpr uint64_t kAllLevels = UINT64_MAX;

/// What measuring reads: the layout, the compiled patterns and pinned paths.
/// Nodes' children go into `arena` when there is one: every node measured
/// or expanded into one tree must use the same arena, or one that outlives
/// it.
struct MeasureSettings {
  Layout layout;
  const std::vector<ProtectPattern>* patterns = nullptr;
  const PinnedPaths* pinned = nullptr;
  Arena* arena = nullptr;
};

/// Measures `value` at `depth`; `path` holds its path and is restored.
/// Children are kept for `levels` levels below the node.
SizeNode measure(const MeasureSettings& settings, const Value& value, uint64_t depth, PathStack& path,
                 bool protected_by_ancestor, uint64_t levels = kAllLevels);

/// The children of `node` (the measurement of `value` at `depth`),
/// measuring them first when they were not kept, each keeping `levels`
/// levels of its own (for callers that are sure to walk them).
/// REQUIRES: when children were not kept, protection cannot depend on the
/// path: no protect patterns and no pinned paths.
const SizeNodes& children_of(const MeasureSettings& settings, const Value& value, const SizeNode& node, uint64_t depth,
                             uint64_t levels = 0);

/// Size of an array collapsed to its one "…[n items omitted]" item.
uint64_t collapsed_array_size(const Layout& layout, uint64_t count, uint64_t depth);

/// Size of an object collapsed to its one "…": "n keys omitted" member.
uint64_t collapsed_object_size(const Layout& layout, uint64_t count, uint64_t depth);

/// Cost of the "…": "n keys omitted" member inside an object.
uint64_t keys_marker_member_size(const Layout& layout, uint64_t count);

/// Shape fingerprint: the kind, and for objects the set of distinct keys.
uint64_t shape_hash(const Value& value);

}  // namespace tersolite
