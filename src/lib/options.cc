#include "lib/options.h"

#include <string_view>

#include "value/utf8.h"

namespace tersolite {

namespace {

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A JSON number that is a plain non-negative integer fitting 64 bits.
std::optional<uint64_t> as_count(const Value& v) {
  if (!v.is_number()) return std::nullopt;
  std::string_view t = v.text();
  if (!t.empty() && t[0] == '+') t.remove_prefix(1);
  if (t.empty()) return std::nullopt;
  uint64_t n = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t d = static_cast<uint64_t>(c - '0');
    if (n > (UINT64_MAX - d) / 10) return std::nullopt;
    n = n * 10 + d;
  }
  return n;
}

std::optional<Format> as_format(const Value& v) {
  if (!v.is_string()) return std::nullopt;
  std::string s = ascii_lower(v.text());
  if (s == "auto") return Format::kAuto;
  if (s == "json") return Format::kJson;
  if (s == "yaml" || s == "yml") return Format::kYaml;
  return std::nullopt;
}

void collect_query(const Value& v, std::string& out, bool& first) {
  switch (v.kind()) {
    case Kind::kNumber:
    case Kind::kString:
      if (!first) out.push_back(' ');
      out.append(v.text());
      first = false;
      return;
    case Kind::kArray:
      for (const Value& item : v.items()) collect_query(item, out, first);
      return;
    case Kind::kObject:
      for (const Member& m : v.members()) collect_query(m.value, out, first);
      return;
    default: return;
  }
}

bool is_blank(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (!is_unicode_space(decode_utf8(text, pos))) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> query_from_arguments(const Value& arguments) {
  std::string text;
  bool first = true;
  collect_query(arguments, text, first);
  if (is_blank(text)) return std::nullopt;
  return text;
}

Expected<Options, std::string> build_options(const Value& value) {
  if (!value.is_object()) return unexpected(std::string("options must be a JSON object"));
  Options o;
  for (const Member& m : value.members()) {
    const std::string name = m.key.str();
    const Value& v = m.value;
    auto count = [&](uint64_t& field) -> std::optional<std::string> {
      auto n = as_count(v);
      if (!n) return name + " must be a non-negative integer";
      field = *n;
      return std::nullopt;
    };
    auto flag = [&](bool& field) -> std::optional<std::string> {
      if (!v.is_bool()) return name + " must be a boolean";
      field = v.as_bool();
      return std::nullopt;
    };
    std::optional<std::string> problem;
    if (name == "max_chars") {
      problem = count(o.max_chars);
    } else if (name == "indent") {
      problem = count(o.indent);
      if (!problem && o.indent > kMaxIndent)
        problem = "indent must be at most " + std::to_string(kMaxIndent);
    } else if (name == "string_head_chars") {
      problem = count(o.string_head_chars);
    } else if (name == "string_section_chars") {
      problem = count(o.string_section_chars);
    } else if (name == "string_min_section_chars") {
      problem = count(o.string_min_section_chars);
    } else if (name == "max_samples") {
      problem = count(o.max_samples);
    } else if (name == "min_partial_chars") {
      problem = count(o.min_partial_chars);
    } else if (name == "keep_last_item") {
      problem = flag(o.keep_last_item);
    } else if (name == "explain") {
      problem = flag(o.explain);
    } else if (name == "array_strategy") {
      std::string s = v.is_string() ? ascii_lower(v.text()) : std::string();
      if (v.is_string() && s == "sample") {
        o.array_strategy = ArrayStrategy::kSample;
      } else if (v.is_string() && s == "condense") {
        o.array_strategy = ArrayStrategy::kCondense;
      } else {
        problem = "array_strategy must be \"sample\" or \"condense\"";
      }
    } else if (name == "format" || name == "input_format") {
      auto f = as_format(v);
      if (!f) {
        problem = name + " must be \"auto\", \"json\" or \"yaml\"";
      } else {
        (name == "format" ? o.format : o.input_format) = *f;
      }
    } else if (name == "field_scorer") {
      if (!v.is_string()) {
        problem = "field_scorer must be a string";
      } else {
        std::string s = ascii_lower(v.text());
        for (char& c : s) {
          if (c == '-') c = '_';
        }
        if (s == "heuristic") {
          o.field_scorer = ScorerKind::kHeuristic;
        } else if (s == "compact") {
          o.field_scorer = ScorerKind::kCompact;
        } else if (s == "key_order" || s == "keyorder") {
          o.field_scorer = ScorerKind::kKeyOrder;
        } else {
          problem = "field_scorer must be one of [\"heuristic\", \"compact\", \"key_order\"]";
        }
      }
    } else if (name == "protect") {
      std::vector<std::string> list;
      if (v.is_string()) {
        list.emplace_back(v.text());
      } else if (v.is_array()) {
        for (const Value& item : v.items()) {
          if (!item.is_string()) {
            problem = "protect must be a list of strings";
            break;
          }
          list.emplace_back(item.text());
        }
      } else {
        problem = "protect must be a list of strings";
      }
      if (!problem) o.protect = std::move(list);
    } else if (name == "arguments") {
      o.query = query_from_arguments(v);
    } else {
      problem = "unknown option: " + name;
    }
    if (problem) return unexpected(std::move(*problem));
  }
  if (o.format == Format::kYaml && o.indent < 2)
    return unexpected(std::string("YAML indent must be at least 2"));
  return o;
}

}  // namespace tersolite
