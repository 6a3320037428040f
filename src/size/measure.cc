#include <algorithm>

#include "hash/siphash.h"
#include "json/json_cost.h"
#include "size/markers.h"
#include "size/size_node.h"
#include "value/utf8.h"

namespace tersolite {

namespace {

uint64_t kind_shape(Kind kind) {
  static const uint64_t shapes[] = {
      siphash13(std::string("null\xFF")),   siphash13(std::string("bool\xFF")),  siphash13(std::string("number\xFF")),
      siphash13(std::string("string\xFF")), siphash13(std::string("array\xFF")), siphash13(std::string("object\xFF")),
  };
  return shapes[static_cast<int>(kind)];
}

}  // namespace

std::vector<ProtectPattern> compile_protect_patterns(const std::vector<std::string>& protect) {
  std::vector<ProtectPattern> patterns;
  for (const std::string& entry : protect) {
    ProtectPattern p;
    p.anchored = !entry.empty() && entry[0] == '/';
    size_t start = 0;
    while (start <= entry.size()) {
      size_t slash = entry.find('/', start);
      if (slash == std::string::npos) slash = entry.size();
      if (slash > start) p.segments.emplace_back(entry.substr(start, slash - start));
      start = slash + 1;
    }
    if (!p.segments.empty()) patterns.push_back(std::move(p));
  }
  return patterns;
}

bool matches_protect(const std::vector<ProtectPattern>& patterns, const PathStack& path) {
  for (const ProtectPattern& p : patterns) {
    size_t k = p.segments.size();
    if (k > path.size() || (p.anchored && k != path.size())) continue;
    size_t offset = path.size() - k;
    bool match = true;
    for (size_t i = 0; i < k && match; ++i) {
      match = p.segments[i] == "*" || p.segments[i] == path[offset + i];
    }
    if (match) return true;
  }
  return false;
}

std::string PinnedPaths::encode(const PathStack& path) {
  // Length-prefixed segments, so that no two paths share an encoding.
  std::string out;
  for (std::string_view s : path) {
    uint64_t n = s.size();
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out.append(s);
  }
  return out;
}

void PinnedPaths::assign(const std::vector<std::vector<std::string>>& paths) {
  paths_.clear();
  for (const auto& p : paths) {
    PathStack view(p.begin(), p.end());
    paths_.insert(encode(view));
  }
}

bool PinnedPaths::contains(const PathStack& path) const {
  if (paths_.empty()) return false;
  return paths_.count(encode(path)) > 0;
}

uint64_t collapsed_array_size(const Layout& layout, uint64_t count, uint64_t depth) {
  return container_overhead(layout, 1, depth) + items_marker_size(count);
}

uint64_t keys_marker_member_size(const Layout& layout, uint64_t count) {
  return layout.colon_space() + 4 + keys_marker_size(count);
}

uint64_t collapsed_object_size(const Layout& layout, uint64_t count, uint64_t depth) {
  return container_overhead(layout, 1, depth) + keys_marker_member_size(layout, count);
}

uint64_t shape_hash(const Value& value) {
  if (!value.is_object()) return kind_shape(value.kind());
  // Records rarely have more than a few dozen keys: sort them on the stack.
  constexpr size_t kInline = 32;
  std::string_view inline_keys[kInline];
  std::vector<std::string_view> heap_keys;
  const auto& members = value.members();
  std::string_view* keys = inline_keys;
  if (members.size() > kInline) {
    heap_keys.resize(members.size());
    keys = heap_keys.data();
  }
  size_t n = 0;
  for (const Member& m : members) keys[n++] = m.key;
  std::sort(keys, keys + n);
  n = static_cast<size_t>(std::unique(keys, keys + n) - keys);
  SipHasher h(0, 0, 1, 3);
  h.update("object\xFF");
  h.update_u64_le(n);
  for (size_t i = 0; i < n; ++i) {
    h.update(keys[i]);
    h.update_byte(0xFF);
  }
  return h.finish();
}

void SizeNodes::allocate(size_t n, Arena* arena) {
  static_assert(alignof(SizeNode) <= Arena::kAlign);
  if (n == 0) return;
  if (arena != nullptr) {
    data_ = arena->allocate(n * sizeof(SizeNode));
  } else {
    data_ = allocate_large(n * sizeof(SizeNode));
    meta_ = kHeap;
  }
}

namespace {

// A scalar's written and least sizes, and a string's characters.
struct ScalarSizes {
  uint64_t full, min, chars;
};

ScalarSizes scalar_sizes(const Value& value, bool is_protected) {
  if (!value.is_string()) {
    uint64_t n = scalar_written_size(value);
    return {n, n, 0};
  }
  StringSizes sizes = string_sizes(value);
  return {sizes.written, is_protected ? sizes.written : std::min(sizes.written, chars_marker_size(sizes.chars)),
          sizes.chars};
}

// A scalar's measurement.
void measure_scalar(SizeNode& node, const Value& value, bool is_protected) {
  node.is_protected = node.holds_protected = is_protected;
  node.protected_leaves = is_protected ? 1 : 0;
  node.expanded = true;
  ScalarSizes sizes = scalar_sizes(value, is_protected);
  node.full = sizes.full;
  node.min = sizes.min;
  node.chars = sizes.chars;
}

// Containers with more children than this, measured into an arena with
// nothing protected, keep no node per child until a step asks for one (see
// SizeNodes).
constexpr size_t kFewChildren = 256;

bool children_wait(const MeasureSettings& settings, const Value& value, bool is_protected) {
  return settings.arena != nullptr && !is_protected && value.size() > kFewChildren;
}

// Whether protection can depend on the path, which is then kept up to date.
bool tracks_path(const MeasureSettings& settings) {
  return (settings.patterns && !settings.patterns->empty()) || (settings.pinned && !settings.pinned->empty());
}

// The written size alone: what a node whose children are not kept needs
// of them when nothing below it can be protected.
uint64_t written_size(const Layout& layout, const Value& value, uint64_t depth) {
  if (value.is_scalar()) return scalar_written_size(value);
  if (auto noted = value.noted_written_size(depth, layout.width)) return *noted;
  uint64_t sum = 0;
  if (value.is_array()) {
    // A number is written as its literal.
    if (value.is_packed()) return container_overhead(layout, value.size(), depth) + value.packed_literal_bytes();
    for (const Value& item : value.items()) sum += written_size(layout, item, depth + 1);
  } else {
    for (const Member& m : value.members()) {
      sum += member_key_cost(layout, m.key) + written_size(layout, m.value, depth + 1);
    }
  }
  return container_overhead(layout, value.size(), depth) + sum;
}

void measure_into(SizeNode& node, const MeasureSettings& settings, bool track, const Value& value, uint64_t depth,
                  PathStack& path, bool protected_by_ancestor, uint64_t levels);

// An array's items (a span of nodes or a reference to an ItemWindow) into
// `node`, whose protection is set: kept when `keep`, with `below` levels
// under them.
template <class Items>
[[gnu::always_inline]] inline void measure_items(SizeNode& node, const MeasureSettings& settings, bool track,
                                                 Items items, uint64_t depth, PathStack& path, bool keep,
                                                 uint64_t below) {
  const Layout& layout = settings.layout;
  if (keep) node.children.allocate(items.size(), settings.arena);
  uint64_t sum = 0;
  for (const Value& item : items) {
    SizeNode discarded;  // when children are not kept
    SizeNode& child = keep ? node.children.emplace_back() : discarded;
    if (track) path.push_back(kItemSegment);
    measure_into(child, settings, track, item, depth + 1, path, node.is_protected, below);
    if (track) path.pop_back();
    sum += child.full;
    node.protected_leaves += child.protected_leaves;
  }
  node.full = container_overhead(layout, items.size(), depth) + sum;
  node.min = node.is_protected || items.empty()
                 ? node.full
                 : std::min(node.full, collapsed_array_size(layout, items.size(), depth));
}

[[gnu::noinline]] void measure_packed(SizeNode& node, const MeasureSettings& settings, bool track, const Value& array,
                                      uint64_t depth, PathStack& path, bool keep, uint64_t below) {
  ItemWindow items(array);
  measure_items<ItemWindow&>(node, settings, track, items, depth, path, keep, below);
}

// Measures into `node` (default-constructed), so that kept children are
// filled where they stay. Kept whole: it runs once per node of every
// document, and its shortcuts and the object case share the state of the
// node being filled (arrays are measured apart).
void measure_into(SizeNode& node, const MeasureSettings& settings, bool track, const Value& value, uint64_t depth,
                  PathStack& path, bool protected_by_ancestor, uint64_t levels) {
  const bool keep = levels > 0;
  const uint64_t below = levels == kAllLevels ? kAllLevels : (levels > 0 ? levels - 1 : 0);
  const Layout& layout = settings.layout;
  node.is_protected = protected_by_ancestor ||
                      (track && settings.patterns && matches_protect(*settings.patterns, path)) ||
                      (track && settings.pinned && settings.pinned->contains(path));
  if (value.is_scalar()) {
    measure_scalar(node, value, node.is_protected);
    return;
  }
  // Only the sizes are needed when nothing below is kept or protected, or
  // when children_of() will make the children's nodes later.
  if (!track && !node.is_protected && (!keep || children_wait(settings, value, node.is_protected))) {
    uint64_t n = value.size();
    node.full = written_size(layout, value, depth);
    uint64_t collapsed =
        value.is_array() ? collapsed_array_size(layout, n, depth) : collapsed_object_size(layout, n, depth);
    node.min = n == 0 ? node.full : std::min(node.full, collapsed);
    return;
  }
  switch (value.kind()) {
    case Kind::kArray:
      if (value.is_packed()) {
        measure_packed(node, settings, track, value, depth, path, keep, below);
      } else {
        measure_items(node, settings, track, value.items(), depth, path, keep, below);
      }
      break;
    case Kind::kObject: {
      const auto& members = value.members();
      if (keep) node.children.allocate(members.size(), settings.arena);
      uint64_t sum = 0;
      uint64_t kept = 0;          // members holding protected content
      uint64_t kept_min_sum = 0;  // their keys and minimums
      for (const Member& m : members) {
        SizeNode discarded;  // when children are not kept
        SizeNode& child = keep ? node.children.emplace_back() : discarded;
        if (track) path.push_back(m.key);
        measure_into(child, settings, track, m.value, depth + 1, path, node.is_protected, below);
        if (track) path.pop_back();
        uint64_t key_cost = member_key_cost(layout, m.key);
        sum += key_cost + child.full;
        node.protected_leaves += child.protected_leaves;
        if (child.holds_protected) {
          ++kept;
          kept_min_sum += key_cost + child.min;
        }
      }
      uint64_t n = members.size();
      node.full = container_overhead(layout, n, depth) + sum;
      if (node.is_protected || n == 0) {
        node.min = node.full;
      } else if (kept == 0) {
        node.min = std::min(node.full, collapsed_object_size(layout, n, depth));
      } else {
        uint64_t omitted = n - kept;
        uint64_t candidate = container_overhead(layout, kept + (omitted > 0), depth) + kept_min_sum;
        if (omitted > 0) candidate += keys_marker_member_size(layout, omitted);
        node.min = std::min(node.full, candidate);
      }
      node.holds_protected = kept > 0;
      break;
    }
    default: break;
  }
  node.holds_protected = node.holds_protected || node.is_protected;
  node.expanded = keep;
}

}  // namespace

void SizeNodes::make_later(const Value& container, const Layout& layout, uint64_t depth, Arena& arena) {
  size_t n = container.size();
  auto* later = static_cast<Later*>(arena.allocate(sizeof(Later)));
  size_t chunks = (n + kChunk - 1) / kChunk;
  later->chunks = static_cast<SizeNode**>(arena.allocate(chunks * sizeof(SizeNode*)));
  std::fill_n(later->chunks, chunks, nullptr);
  later->numbers = nullptr;
  if (container.is_packed()) {
    // Numbers borrow the text, so the window needs no destructor.
    later->numbers = new (arena.allocate(sizeof(ItemWindow))) ItemWindow(container);
  } else if (container.is_array()) {
    later->first = reinterpret_cast<const char*>(container.items().data());
    later->stride = sizeof(Value);
  } else {
    later->first = reinterpret_cast<const char*>(&container.members().data()->value);
    later->stride = sizeof(Member);
  }
  later->layout = layout;
  later->depth = depth;
  later->arena = &arena;
  data_ = later;
  meta_ = n | kLater;
}

// Each child is measured as children_of() measures a child, without kept
// levels: its own children are made when asked for in turn.
void SizeNodes::measure_later(SizeNode& node, const Value& child) const {
  PathStack unused;
  measure_into(node, {later()->layout, nullptr, nullptr, later()->arena}, false, child, later()->depth, unused, false,
               0);
}

const SizeNode& SizeNodes::made_later(size_t i) const {
  SizeNode*& chunk = later()->chunks[i / kChunk];
  if (chunk == nullptr) {
    size_t start = i / kChunk * kChunk;
    size_t count = std::min(kChunk, size() - start);
    chunk = static_cast<SizeNode*>(later()->arena->allocate(count * sizeof(SizeNode)));
    for (size_t k = 0; k < count; ++k) measure_later(*new (chunk + k) SizeNode(), child(start + k));
  }
  return chunk[i % kChunk];
}

// A scalar is measured again at no cost; a container's node is kept, so
// that its subtree is not walked again by the next loop.
SizeNodes::Sizes SizeNodes::sizes(size_t i) const {
  if ((meta_ & kLater) && later()->chunks[i / kChunk] == nullptr) {
    const Value& c = child(i);
    // Children measured later are never protected (see measure_later).
    if (c.is_scalar()) {
      ScalarSizes sizes = scalar_sizes(c, false);
      return {sizes.full, sizes.min, false};
    }
  }
  const SizeNode& node = (*this)[i];
  return {node.full, node.min, node.holds_protected};
}

SizeNode measure(const MeasureSettings& settings, const Value& value, uint64_t depth, PathStack& path,
                 bool protected_by_ancestor, uint64_t levels) {
  SizeNode node;
  measure_into(node, settings, tracks_path(settings), value, depth, path, protected_by_ancestor, levels);
  return node;
}

const SizeNodes& children_of(const MeasureSettings& settings, const Value& value, const SizeNode& node, uint64_t depth,
                             uint64_t levels) {
  if (node.expanded) return node.children;
  // Without patterns or pinned paths, protection comes from the ancestors
  // alone, so the path does not matter here.
  node.expanded = true;
  if (children_wait(settings, value, node.is_protected)) {
    node.children.make_later(value, settings.layout, depth + 1, *settings.arena);
    return node.children;
  }
  PathStack path;
  size_t n = value.size();
  node.children.allocate(n, settings.arena);
  std::optional<ItemWindow> items;
  if (value.is_array()) items.emplace(value);
  for (size_t i = 0; i < n; ++i) {
    const Value& child = items ? (*items)[i] : value.members()[i].value;
    measure_into(node.children.emplace_back(), settings, false, child, depth + 1, path, node.is_protected, levels);
  }
  return node.children;
}

}  // namespace tersolite
