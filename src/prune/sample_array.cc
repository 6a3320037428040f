// Array sampling: the first item, one item of every new shape, the last
// item, then the rest in order; as many whole as fit, the next one shrunk,
// and a gap marker wherever a run of items is missing.
#include "prune/sample_array.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>

#include "json/json_cost.h"
#include "prune/prune.h"
#include "size/arith.h"
#include "size/markers.h"

namespace tersolite {

namespace {

constexpr size_t kMaxPromotedShapes = 64;

uint64_t gap_size(uint64_t g) { return g == 0 ? 0 : items_marker_size(g); }

// The written size of the output array while items are chosen, kept up to
// date as items are added (each add splits at most one run of gaps).
class ArrayLayout {
 public:
  ArrayLayout(const Layout& layout, uint64_t n, uint64_t depth)
      : layout_(layout), n_(n), depth_(depth), markers_(1), marker_total_(gap_size(n)) {}

  uint64_t size_with(uint64_t i, uint64_t x) const {
    Split s = split(i);
    uint64_t markers = markers_ + s.markers_delta;
    uint64_t marker_total = marker_total_ + s.total_after - s.total_before;
    return x + marker_total + container_overhead(layout_, kept_.size() + 1 + markers, depth_) + kept_total_;
  }

  void add(uint64_t i, uint64_t x) {
    Split s = split(i);
    markers_ += s.markers_delta;
    marker_total_ = marker_total_ + s.total_after - s.total_before;
    kept_.insert(i);
    kept_total_ += x;
  }

  uint64_t size() const {
    return container_overhead(layout_, kept_.size() + markers_, depth_) + kept_total_ + marker_total_;
  }
  uint64_t kept_count() const { return kept_.size(); }
  uint64_t markers() const { return markers_; }
  uint64_t marker_total() const { return marker_total_; }

 private:
  struct Split {
    int64_t markers_delta;
    uint64_t total_before, total_after;
  };

  Split split(uint64_t i) const {
    auto above = kept_.upper_bound(i);
    int64_t q = above == kept_.end() ? static_cast<int64_t>(n_) : static_cast<int64_t>(*above);
    int64_t p = above == kept_.begin() ? -1 : static_cast<int64_t>(*std::prev(above));
    int64_t at = static_cast<int64_t>(i);
    uint64_t g0 = static_cast<uint64_t>(q - p - 1);
    uint64_t gl = static_cast<uint64_t>(at - p - 1);
    uint64_t gr = static_cast<uint64_t>(q - at - 1);
    int64_t delta = (gl > 0) + (gr > 0) - (g0 > 0);
    return {delta, gap_size(g0), gap_size(gl) + gap_size(gr)};
  }

  Layout layout_;
  uint64_t n_, depth_;
  std::set<uint64_t> kept_;
  uint64_t kept_total_ = 0;
  uint64_t markers_;
  uint64_t marker_total_;
};

// The shapes of an array's items. Records mostly repeat the keys of the one
// before, in the same order: asked for in a row, such a record shares the
// shape of the one before without its keys being sorted again (and, when
// the reader marked it, without their being read again). Nothing is kept
// per item, so asking costs nothing for arrays of millions of scalars.
class ItemShapes {
 public:
  explicit ItemShapes(Value::Items items) : items_(items) {}

  uint64_t operator()(uint64_t i) {
    const Value& item = items_[i];
    bool repeats = item.is_object() && has_last_ && last_ + 1 == i &&
                   (item.repeats_previous_keys() || same_keys(item, items_[i - 1]));
    last_shape_ = repeats ? last_shape_ : shape_hash(item);
    last_ = i;
    has_last_ = true;
    return last_shape_;
  }

 private:
  Value::Items items_;
  bool has_last_ = false;
  uint64_t last_ = 0;
  uint64_t last_shape_ = 0;
};

// A packed array's items are numbers: they have one shape, and are not
// even read for it.
struct NumberShapes {
  uint64_t operator()(uint64_t) const { return shape; }
  uint64_t shape = shape_hash(Value::borrowed_number("0"));
};

// Adds `shape` to the few shapes seen so far unless it is there already.
bool add_new(std::vector<uint64_t>& shapes, uint64_t shape) {
  if (std::find(shapes.begin(), shapes.end(), shape) != shapes.end()) return false;
  shapes.push_back(shape);
  return true;
}

// The order items are offered in: the first, the first of every new shape
// (64 at most), the last, then the rest by index. The rest is produced as it
// is read, since most arrays stop after a few items.
class PriorityOrder {
 public:
  template <class Shapes>
  PriorityOrder(Shapes& shape, uint64_t n, bool keep_last_item) : n_(n) {
    promoted_.push_back(0);
    std::vector<uint64_t> shapes{shape(0)};
    for (uint64_t i = 1; i < n_ && shapes.size() < kMaxPromotedShapes; ++i) {
      if (add_new(shapes, shape(i))) promoted_.push_back(i);
    }
    if (n_ != 1 && keep_last_item && promoted_.back() != n_ - 1) promoted_.push_back(n_ - 1);
  }

  /// The next item, or false when every item has been offered.
  bool next(uint64_t& item) {
    if (taken_ < promoted_.size()) {
      item = promoted_[taken_++];
      return true;
    }
    // The promoted items are in increasing order: skip them on the way.
    while (rest_ < n_ && skip_at_ < promoted_.size() && promoted_[skip_at_] == rest_) {
      ++rest_;
      ++skip_at_;
    }
    if (rest_ >= n_) return false;
    item = rest_++;
    return true;
  }

  void restart() {
    taken_ = skip_at_ = 0;
    rest_ = 0;
  }

 private:
  uint64_t n_;
  std::vector<uint64_t> promoted_;
  size_t taken_ = 0;
  uint64_t rest_ = 0;
  size_t skip_at_ = 0;
};

struct Entry {
  uint64_t index;
  Value value;
  bool whole;
};

// The kept entries in item order, a gap marker for each run of items left
// out; counts the sampling.
template <class Items>
PruneResult gapped(PruneContext& ctx, Items items, const SizeNodes& kids, const SizeNode& node,
                   std::vector<Entry> entries, uint64_t size) {
  uint64_t n = items.size();
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.index < b.index; });
  Value out = Value::array();
  out.reserve(entries.size() * 2 + 1);
  int64_t prev = -1;
  uint64_t kept_leaves = 0;
  for (Entry& e : entries) {
    int64_t i = static_cast<int64_t>(e.index);
    if (i - prev - 1 > 0) out.push_back(Value::string(items_marker(static_cast<uint64_t>(i - prev - 1))));
    out.push_back(e.whole ? items[e.index].clone() : std::move(e.value));
    kept_leaves += kids[e.index].protected_leaves;
    prev = i;
  }
  if (prev != static_cast<int64_t>(n) - 1)
    out.push_back(Value::string(items_marker(static_cast<uint64_t>(static_cast<int64_t>(n) - 1 - prev))));

  ++ctx.stats.arrays_sampled;
  ctx.stats.items_omitted += n - entries.size();
  ctx.protected_omitted += sat_sub(node.protected_leaves, kept_leaves);
  return {std::move(out), size};
}

// `items`: the array's, a span of nodes or a reference to an ItemWindow.
// The two phases share the priority order and the layout they fill, so
// they stay together, one after the other.
template <class Items>
PruneResult sample_items(PruneContext& ctx, const Value& array, Items items, const SizeNode& node, uint64_t budget,
                         uint64_t depth) {
  const auto& kids = children_of(ctx.measure_settings(), array, node, depth);
  uint64_t n = items.size();
  const Options& o = ctx.request.options;
  constexpr bool kPacked = std::is_same_v<Items, ItemWindow&>;
  auto shape = [&] {
    if constexpr (kPacked) {
      return NumberShapes();
    } else {
      return ItemShapes(items);
    }
  }();
  PriorityOrder order(shape, n, o.keep_last_item);
  ArrayLayout layout(ctx.layout, n, depth);
  std::vector<Entry> entries;
  uint64_t size = 0;

  // Phase 1: whole items while they fit.
  std::optional<uint64_t> stop;
  for (uint64_t i = 0; order.next(i);) {
    if (layout.size_with(i, kids[i].full) > budget) {
      stop = i;
      break;
    }
    layout.add(i, kids[i].full);
    entries.push_back({i, Value(), true});
  }

  if (!entries.empty()) {
    // The first item that did not fit gets what room is left.
    if (stop) {
      uint64_t j = *stop;
      uint64_t s_min = layout.size_with(j, kids[j].min);
      if (budget >= s_min) {
        uint64_t room = budget - s_min + kids[j].min;
        uint64_t threshold = std::max(kids[j].min, std::min(o.min_partial_chars, kids[j].full));
        if (room >= threshold) {
          ctx.path.push_back(kItemSegment);
          PruneResult r = prune(ctx, items[j], kids[j], room, depth + 1);
          ctx.path.pop_back();
          layout.add(j, r.size);
          entries.push_back({j, std::move(r.value), false});
        }
      }
    }
    size = layout.size();
  } else {
    // Phase 2: a few items of different shapes at their minimum.
    std::vector<uint64_t> shapes;
    std::vector<uint64_t> samples;
    uint64_t wanted = std::max<uint64_t>(o.max_samples, 1);
    order.restart();
    for (uint64_t i = 0; order.next(i);) {
      if (samples.size() >= wanted) break;
      if (!add_new(shapes, shape(i))) continue;
      if (layout.size_with(i, kids[i].min) > budget) break;
      layout.add(i, kids[i].min);
      samples.push_back(i);
    }
    if (samples.empty()) return collapse(ctx, array, node, depth);
    uint64_t extra = sat_sub(budget, layout.size());
    std::vector<Child> children;
    children.reserve(samples.size());
    // A window moves on: the numbers sampled from one are held here.
    std::vector<Value> held;
    if constexpr (kPacked) held.reserve(samples.size());
    for (uint64_t i : samples) {
      const Value* item = &items[i];
      if constexpr (kPacked) item = &held.emplace_back(item->clone());
      children.push_back({item, &kids[i], kItemSegment});
    }
    PrunedChildren pruned = prune_children(ctx, children, extra, depth + 1);
    for (size_t k = 0; k < samples.size(); ++k) entries.push_back({samples[k], std::move(pruned.values[k]), false});
    size = container_overhead(ctx.layout, layout.kept_count() + layout.markers(), depth) + layout.marker_total() +
           pruned.total;
  }

  return gapped<Items>(ctx, items, kids, node, std::move(entries), size);
}

// Apart, so that sampling nested arrays keeps small frames.
[[gnu::noinline]] PruneResult sample_packed(PruneContext& ctx, const Value& array, const SizeNode& node,
                                            uint64_t budget, uint64_t depth) {
  ItemWindow items(array);
  return sample_items<ItemWindow&>(ctx, array, items, node, budget, depth);
}

}  // namespace

PruneResult sample_array(PruneContext& ctx, const Value& array, const SizeNode& node, uint64_t budget, uint64_t depth) {
  if (array.is_packed()) return sample_packed(ctx, array, node, budget, depth);
  return sample_items(ctx, array, array.items(), node, budget, depth);
}

}  // namespace tersolite
