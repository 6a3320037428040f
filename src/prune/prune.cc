#include "prune/prune.h"

#include <algorithm>
#include <numeric>

#include "json/json_cost.h"
#include "prune/sample_array.h"
#include "prune/select_members.h"
#include "size/arith.h"
#include "size/markers.h"
#include "text/shorten.h"
#include "value/utf8.h"

namespace tersolite {

PruneResult prune(PruneContext& ctx, const Value& value, const SizeNode& node, uint64_t budget, uint64_t depth) {
  if (node.full <= budget) return {value.clone(), node.full};
  if (budget <= node.min) return collapse(ctx, value, node, depth);
  switch (value.kind()) {
    case Kind::kNull:
    case Kind::kBool:
    case Kind::kNumber: return {value.clone(), node.full};
    case Kind::kString: {
      const Options& o = ctx.request.options;
      ShortenSettings settings{o.string_head_chars, o.string_section_chars, o.string_min_section_chars};
      std::string text = shorten_string(value.text(), budget, settings);
      ++ctx.stats.strings_truncated;
      uint64_t size = json_string_size(text);
      return {Value::string(std::move(text)), size};
    }
    case Kind::kArray:
      if (ctx.request.options.array_strategy == ArrayStrategy::kCondense && ctx.request.condense_array) {
        if (auto condensed = ctx.request.condense_array(ctx, value, node, budget, depth)) return std::move(*condensed);
      }
      return sample_array(ctx, value, node, budget, depth);
    case Kind::kObject: return select_members(ctx, value, node, budget, depth);
  }
  return {value.clone(), node.full};
}

PruneResult collapse(PruneContext& ctx, const Value& value, const SizeNode& node, uint64_t depth) {
  if (node.min >= node.full || value.is_null() || value.is_bool() || value.is_number())
    return {value.clone(), node.full};
  const Layout& layout = ctx.layout;
  switch (value.kind()) {
    case Kind::kString:
      ++ctx.stats.strings_truncated;
      return {Value::string(chars_marker(char_count(value.text()))), node.min};
    case Kind::kArray: {
      uint64_t n = value.size();
      ++ctx.stats.containers_collapsed;
      ctx.stats.items_omitted += n;
      ctx.protected_omitted += node.protected_leaves;
      Value out = Value::array();
      out.push_back(Value::string(items_marker(n)));
      return {std::move(out), collapsed_array_size(layout, n, depth)};
    }
    case Kind::kObject: {
      const auto& members = value.members();
      const auto& kids = children_of(ctx.measure_settings(), value, node, depth);
      uint64_t n = members.size();
      ++ctx.stats.containers_collapsed;
      Value out = Value::object();
      uint64_t kept = 0, kept_leaves = 0, kept_size = 0;
      for (size_t i = 0; i < members.size(); ++i) {
        const SizeNode& child = kids[i];
        if (!child.holds_protected) continue;
        ctx.path.push_back(members[i].key);
        PruneResult r = collapse(ctx, members[i].value, child, depth + 1);
        ctx.path.pop_back();
        kept_size += member_key_cost(layout, members[i].key) + r.size;
        kept_leaves += child.protected_leaves;
        out.add_member(members[i].key.clone(), std::move(r.value));
        ++kept;
      }
      uint64_t size = container_overhead(layout, kept + (kept < n), depth) + kept_size;
      if (kept < n) {
        ctx.stats.keys_omitted += n - kept;
        ctx.protected_omitted += sat_sub(node.protected_leaves, kept_leaves);
        out.add_member(std::string(kEllipsis), Value::string(keys_marker(n - kept)));
        size += keys_marker_member_size(layout, n - kept);
      }
      return {std::move(out), size};
    }
    default: return {value.clone(), node.full};
  }
}

PrunedChildren prune_children(PruneContext& ctx, const std::vector<Child>& children, uint64_t extra, uint64_t depth) {
  std::vector<size_t> order(children.size());
  std::iota(order.begin(), order.end(), 0);
  auto slack = [&](size_t i) { return children[i].node->full - children[i].node->min; };
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return slack(a) < slack(b); });

  PrunedChildren out;
  out.values.resize(children.size());
  size_t left = children.size();
  for (size_t i : order) {
    const Child& c = children[i];
    uint64_t share = std::min(extra / left, slack(i));
    ctx.path.push_back(c.segment);
    PruneResult r = prune(ctx, *c.value, *c.node, c.node->min + share, depth);
    ctx.path.pop_back();
    if (r.size >= c.node->min) extra = sat_sub(extra, r.size - c.node->min);
    out.total += r.size;
    out.values[i] = std::move(r.value);
    --left;
  }
  return out;
}

}  // namespace tersolite
