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

// One parser per option member: it reads the member's value into `o` or
// returns the problem. `name` is the member's key, for the message.
using OptionParser = std::optional<std::string> (*)(const Value& v, const std::string& name, Options& o);

std::optional<std::string> parse_count(const Value& v, const std::string& name, uint64_t& field) {
  auto n = as_count(v);
  if (!n) return name + " must be a non-negative integer";
  field = *n;
  return std::nullopt;
}

std::optional<std::string> parse_flag(const Value& v, const std::string& name, bool& field) {
  if (!v.is_bool()) return name + " must be a boolean";
  field = v.as_bool();
  return std::nullopt;
}

std::optional<std::string> parse_indent(const Value& v, const std::string& name, Options& o) {
  auto problem = parse_count(v, name, o.indent);
  if (!problem && o.indent > kMaxIndent) problem = "indent must be at most " + std::to_string(kMaxIndent);
  return problem;
}

std::optional<std::string> parse_array_strategy(const Value& v, const std::string&, Options& o) {
  std::string s = v.is_string() ? ascii_lower(v.text()) : std::string();
  if (v.is_string() && s == "sample") {
    o.array_strategy = ArrayStrategy::kSample;
  } else if (v.is_string() && s == "condense") {
    o.array_strategy = ArrayStrategy::kCondense;
  } else {
    return "array_strategy must be \"sample\" or \"condense\"";
  }
  return std::nullopt;
}

std::optional<std::string> parse_format(const Value& v, const std::string& name, Format& field) {
  auto f = as_format(v);
  if (!f) return name + " must be \"auto\", \"json\" or \"yaml\"";
  field = *f;
  return std::nullopt;
}

std::optional<std::string> parse_field_scorer(const Value& v, const std::string&, Options& o) {
  if (!v.is_string()) return "field_scorer must be a string";
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
    return "field_scorer must be one of [\"heuristic\", \"compact\", \"key_order\"]";
  }
  return std::nullopt;
}

std::optional<std::string> parse_protect(const Value& v, const std::string&, Options& o) {
  std::vector<std::string> list;
  if (v.is_string()) {
    list.emplace_back(v.text());
  } else if (v.is_array()) {
    for (const Value& item : v.items()) {
      if (!item.is_string()) return "protect must be a list of strings";
      list.emplace_back(item.text());
    }
  } else {
    return "protect must be a list of strings";
  }
  o.protect = std::move(list);
  return std::nullopt;
}

struct OptionEntry {
  std::string_view name;
  OptionParser parse;
};

// Parsers of the options that only fill one member of the record.
template <uint64_t Options::*Field>
std::optional<std::string> count_into(const Value& v, const std::string& name, Options& o) {
  return parse_count(v, name, o.*Field);
}

template <bool Options::*Field>
std::optional<std::string> flag_into(const Value& v, const std::string& name, Options& o) {
  return parse_flag(v, name, o.*Field);
}

template <Format Options::*Field>
std::optional<std::string> format_into(const Value& v, const std::string& name, Options& o) {
  return parse_format(v, name, o.*Field);
}

std::optional<std::string> parse_arguments(const Value& v, const std::string&, Options& o) {
  o.query = query_from_arguments(v);
  return std::nullopt;
}

// Every member an options object may hold.
constexpr OptionEntry kOptionTable[] = {
    {"max_chars", count_into<&Options::max_chars>},
    {"indent", parse_indent},
    {"string_head_chars", count_into<&Options::string_head_chars>},
    {"string_section_chars", count_into<&Options::string_section_chars>},
    {"string_min_section_chars", count_into<&Options::string_min_section_chars>},
    {"max_samples", count_into<&Options::max_samples>},
    {"min_partial_chars", count_into<&Options::min_partial_chars>},
    {"keep_last_item", flag_into<&Options::keep_last_item>},
    {"explain", flag_into<&Options::explain>},
    {"array_strategy", parse_array_strategy},
    {"format", format_into<&Options::format>},
    {"input_format", format_into<&Options::input_format>},
    {"field_scorer", parse_field_scorer},
    {"protect", parse_protect},
    {"arguments", parse_arguments},
};

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
    const OptionEntry* entry = nullptr;
    for (const OptionEntry& e : kOptionTable) {
      if (e.name == name) {
        entry = &e;
        break;
      }
    }
    if (!entry) return unexpected("unknown option: " + name);
    if (auto problem = entry->parse(m.value, name, o)) return unexpected(std::move(*problem));
  }
  if (o.format == Format::kYaml && o.indent < 2) return unexpected(std::string("YAML indent must be at least 2"));
  return o;
}

}  // namespace tersolite
