#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hash/siphash.h"
#include "json/plain_run.h"
#include "size/markers.h"
#include "size/size_node.h"
#include "value/utf8.h"

namespace tersolite {

namespace {


uint64_t kind_shape(Kind kind) {
  static const uint64_t shapes[] = {
      siphash13(std::string("null\xFF")),   siphash13(std::string("bool\xFF")),
      siphash13(std::string("number\xFF")), siphash13(std::string("string\xFF")),
      siphash13(std::string("array\xFF")),  siphash13(std::string("object\xFF")),
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

namespace {

// Eight bytes that are plain ASCII inside a JSON string: no high bit, no
// control, no quote or backslash.
inline bool plain_ascii_word(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  uint64_t control = (w - kOnes * 0x20) & ~w;
  uint64_t quote = w ^ (kOnes * '"');
  uint64_t backslash = w ^ (kOnes * '\\');
  uint64_t special = control | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | w;
  return (special & kHigh) == 0;
}

}  // namespace

StringSizes json_string_sizes(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  StringSizes s{2, 0};
  uint64_t continuation = 0;
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time (signed compares: bytes from 0x80 are negative).
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i first_lead = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i minus_one = _mm_set1_epi8(-1);
  const __m128i ones = _mm_set1_epi8(1);
  auto byte_sum = [](__m128i x) {
    __m128i sums = _mm_sad_epu8(x, _mm_setzero_si128());
    return static_cast<uint64_t>(_mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  };
  for (; i + 16 <= n; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i two = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
    __m128i below_space = _mm_cmplt_epi8(v, space);  // controls and every byte from 0x80
    if (_mm_movemask_epi8(_mm_or_si128(two, below_space)) == 0) {
      s.written += 16;
      continue;
    }
    // Counted by summing bytes rather than bits: popcount is a library call
    // on the baseline instruction set.
    __m128i cont = _mm_and_si128(_mm_cmplt_epi8(v, first_lead), ones);  // 0x80..0xBF
    __m128i per_byte = _mm_add_epi8(_mm_sub_epi8(ones, cont), _mm_and_si128(two, ones));
    continuation += byte_sum(cont);
    s.written += byte_sum(per_byte);
    auto control = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(below_space, _mm_cmpgt_epi8(v, minus_one))));
    for (; control != 0; control &= control - 1)
      s.written += json::kWrittenChars.size[p[i + __builtin_ctz(control)]] - 1;
  }
#endif
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (plain_ascii_word(w)) {
      s.written += 8;
      continue;
    }
    for (size_t k = 0; k < 8; ++k) {
      s.written += json::kWrittenChars.size[p[i + k]];
      continuation += (p[i + k] & 0xC0) == 0x80;
    }
  }
  for (; i < n; ++i) {
    s.written += json::kWrittenChars.size[p[i]];
    continuation += (p[i] & 0xC0) == 0x80;
  }
  s.chars = n - continuation;
  return s;
}

uint64_t json_string_size(std::string_view text) { return json_string_sizes(text).written; }

uint64_t container_overhead(const Layout& layout, uint64_t n, uint64_t depth) {
  if (n == 0) return 2;
  if (!layout.pretty()) return n + 1;
  uint64_t w = layout.width;
  return n * (w * (depth + 1) + 2) + w * depth + 2;
}

uint64_t collapsed_array_size(const Layout& layout, uint64_t count, uint64_t depth) {
  uint64_t frame = layout.pretty() ? (2 * depth + 1) * layout.width + 4 : 2;
  return frame + items_marker_size(count);
}

uint64_t keys_marker_member_size(const Layout& layout, uint64_t count) {
  return layout.colon_space() + 4 + keys_marker_size(count);
}

uint64_t collapsed_object_size(const Layout& layout, uint64_t count, uint64_t depth) {
  uint64_t frame = layout.pretty() ? (2 * depth + 1) * layout.width + 4 : 2;
  return frame + keys_marker_member_size(layout, count);
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

// A scalar's measurement.
void measure_scalar(SizeNode& node, const Value& value, bool is_protected) {
  node.is_protected = node.holds_protected = is_protected;
  node.protected_leaves = is_protected ? 1 : 0;
  node.expanded = true;
  if (!value.is_string()) {
    node.full = node.min = scalar_written_size(value);
    return;
  }
  StringSizes sizes = string_sizes(value);
  node.full = sizes.written;
  node.chars = sizes.chars;
  node.min = is_protected ? node.full : std::min(node.full, chars_marker_size(sizes.chars));
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

uint64_t written_size(const Layout& layout, const Value& value, uint64_t depth);

[[gnu::noinline]] uint64_t packed_written_size(const Layout& layout, const Value& array, uint64_t depth) {
  uint64_t sum = 0;
  for (const Value& item : ItemsOf(array)) sum += written_size(layout, item, depth + 1);
  return container_overhead(layout, array.size(), depth) + sum;
}

// The written size alone: what a node whose children are not kept needs
// of them when nothing below it can be protected.
uint64_t written_size(const Layout& layout, const Value& value, uint64_t depth) {
  if (value.is_scalar()) return scalar_written_size(value);
  if (auto noted = value.noted_written_size(depth, layout.width)) return *noted;
  uint64_t sum = 0;
  if (value.is_array()) {
    if (value.is_packed()) return packed_written_size(layout, value, depth);
    for (const Value& item : value.items()) sum += written_size(layout, item, depth + 1);
  } else {
    for (const Member& m : value.members()) {
      sum += member_key_cost(layout, m.key) + written_size(layout, m.value, depth + 1);
    }
  }
  return container_overhead(layout, value.size(), depth) + sum;
}

void measure_into(SizeNode& node, const MeasureSettings& settings, bool track, const Value& value,
                  uint64_t depth, PathStack& path, bool protected_by_ancestor, uint64_t levels);

// An array's items into `node`, whose protection is set: kept when `keep`,
// with `below` levels under them.
[[gnu::always_inline]] inline void measure_items(SizeNode& node, const MeasureSettings& settings, bool track, Value::Items items,
                   uint64_t depth, PathStack& path, bool keep, uint64_t below) {
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
  node.min = node.is_protected || items.empty() ? node.full
                                                : std::min(node.full, collapsed_array_size(layout, items.size(), depth));
}

[[gnu::noinline]] void measure_packed(SizeNode& node, const MeasureSettings& settings, bool track, const Value& array,
                                      uint64_t depth, PathStack& path, bool keep, uint64_t below) {
  measure_items(node, settings, track, ItemsOf(array), depth, path, keep, below);
}

// Measures into `node` (default-constructed), so that kept children are
// filled where they stay.
void measure_into(SizeNode& node, const MeasureSettings& settings, bool track, const Value& value,
                  uint64_t depth, PathStack& path, bool protected_by_ancestor, uint64_t levels) {
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
    uint64_t collapsed = value.is_array() ? collapsed_array_size(layout, n, depth) : collapsed_object_size(layout, n, depth);
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
      uint64_t kept = 0;           // members holding protected content
      uint64_t kept_min_sum = 0;   // their keys and minimums
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

// Child i of a container whose first child's Value is at `first`, `stride`
// bytes apart.
const Value& child_at(const char* first, size_t stride, size_t i) {
  return *reinterpret_cast<const Value*>(first + i * stride);
}

}  // namespace

void SizeNodes::make_later(const Value& container, const Layout& layout, uint64_t depth, Arena& arena) {
  size_t n = container.size();
  auto* later = static_cast<Later*>(arena.allocate(sizeof(Later)));
  size_t chunks = (n + kChunk - 1) / kChunk;
  later->chunks = static_cast<SizeNode**>(arena.allocate(chunks * sizeof(SizeNode*)));
  std::fill_n(later->chunks, chunks, nullptr);
  if (container.is_array()) {
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
void SizeNodes::measure_later(SizeNode& node, size_t i) const {
  PathStack unused;
  measure_into(node, {later()->layout, nullptr, nullptr, later()->arena}, false,
               child_at(later()->first, later()->stride, i), later()->depth, unused, false, 0);
}

const SizeNode& SizeNodes::made_later(size_t i) const {
  SizeNode*& chunk = later()->chunks[i / kChunk];
  if (chunk == nullptr) {
    size_t start = i / kChunk * kChunk;
    size_t count = std::min(kChunk, size() - start);
    chunk = static_cast<SizeNode*>(later()->arena->allocate(count * sizeof(SizeNode)));
    for (size_t k = 0; k < count; ++k) measure_later(*new (chunk + k) SizeNode(), start + k);
  }
  return chunk[i % kChunk];
}

// A scalar is measured again at no cost; a container's node is kept, so
// that its subtree is not walked again by the next loop.
SizeNodes::Sizes SizeNodes::sizes(size_t i) const {
  if (!(meta_ & kLater) || later()->chunks[i / kChunk] != nullptr ||
      !child_at(later()->first, later()->stride, i).is_scalar()) {
    const SizeNode& node = (*this)[i];
    return {node.full, node.min, node.holds_protected};
  }
  SizeNode node;
  measure_later(node, i);
  return {node.full, node.min, node.holds_protected};
}

SizeNode measure(const MeasureSettings& settings, const Value& value, uint64_t depth, PathStack& path,
                 bool protected_by_ancestor, uint64_t levels) {
  SizeNode node;
  measure_into(node, settings, tracks_path(settings), value, depth, path, protected_by_ancestor, levels);
  return node;
}

const SizeNodes& children_of(const MeasureSettings& settings, const Value& value, const SizeNode& node,
                             uint64_t depth, uint64_t levels) {
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
  std::optional<ItemsOf> items;
  if (value.is_array()) items.emplace(value);
  for (size_t i = 0; i < n; ++i) {
    const Value& child = items ? (*items)[i] : value.members()[i].value;
    measure_into(node.children.emplace_back(), settings, false, child, depth + 1, path, node.is_protected, levels);
  }
  return node.children;
}

}  // namespace tersolite
