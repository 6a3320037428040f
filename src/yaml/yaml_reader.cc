#include "yaml/yaml_reader.h"

#include <yaml.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "hash/hash_seed.h"
#include "json/json_reader.h"
#include "value/utf8.h"

namespace tersolite::yaml {

namespace {

constexpr std::string_view kTagPrefix = "tag:yaml.org,2002:";

enum class ScalarType { kNull, kBool, kInt, kFloat, kString };

bool all_of(std::string_view s, bool (*pred)(char)) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!pred(c)) return false;
  }
  return true;
}
bool is_dec(char c) { return c >= '0' && c <= '9'; }
bool is_oct(char c) { return c >= '0' && c <= '7'; }
bool is_hex(char c) { return is_dec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool is_core_int(std::string_view s) {
  if (s.substr(0, 2) == "0o") return all_of(s.substr(2), is_oct);
  if (s.substr(0, 2) == "0x") return all_of(s.substr(2), is_hex);
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  return all_of(s, is_dec);
}

bool is_core_float(std::string_view s) {
  for (std::string_view special :
       {".inf", ".Inf", ".INF", "+.inf", "+.Inf", "+.INF", "-.inf", "-.Inf", "-.INF", ".nan", ".NaN", ".NAN"}) {
    if (s == special) return true;
  }
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t int_digits = 0, frac_digits = 0;
  while (i < s.size() && is_dec(s[i])) ++i, ++int_digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_dec(s[i])) ++i, ++frac_digits;
    if (int_digits == 0 && frac_digits == 0) return false;
  } else if (int_digits == 0) {
    return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && is_dec(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == s.size();
}

ScalarType core_type(std::string_view s) {
  if (s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL") return ScalarType::kNull;
  if (s == "true" || s == "True" || s == "TRUE" || s == "false" || s == "False" || s == "FALSE")
    return ScalarType::kBool;
  if (is_core_int(s)) return ScalarType::kInt;
  if (is_core_float(s)) return ScalarType::kFloat;
  return ScalarType::kString;
}

// Exactly a JSON number literal: the JSON reader would also accept
// whitespace around it, which a number's text must not hold.
bool is_json_number(std::string_view s) {
  if (s.empty() || !(s[0] == '-' || is_dec(s[0]))) return false;
  auto v = json::read_json(s);
  return v && v->is_number() && v->text() == s;
}

// The decimal form of an integer scalar, or nothing outside 64 bits.
std::optional<std::string> int_text(std::string_view s) {
  bool negative = false;
  int base = 10;
  if (s.substr(0, 2) == "0o") {
    base = 8;
    s.remove_prefix(2);
  } else if (s.substr(0, 2) == "0x") {
    base = 16;
    s.remove_prefix(2);
  } else if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (negative) {
    if (magnitude > (uint64_t{1} << 63)) return std::nullopt;
    if (magnitude == 0) return "0";
    std::string text = std::to_string(magnitude);
    text.insert(text.begin(), '-');
    return text;
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  return std::to_string(magnitude);
}

}  // namespace

// Fixed notation alone would pick, among equally short texts, the one
// nearest the binary value (6e60 becomes 5999...424), so take the shortest
// round-trip digits from the scientific form and place the point here.
std::string shortest_positional(double d) {
  if (d == 0) return "0";
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
  std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
  std::string out;
  if (sci.front() == '-') {
    out += '-';
    sci.remove_prefix(1);
  }
  size_t e = sci.find('e');
  std::string digits(1, sci[0]);
  if (e > 1) digits.append(sci.substr(2, e - 2));  // after "d."
  std::string_view exponent = sci.substr(e + 1);
  if (exponent.front() == '+') exponent.remove_prefix(1);
  int exp10 = 0;
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), exp10);
  // The value is 0.digits times 10^point.
  long point = exp10 + 1;
  auto ndigits = static_cast<long>(digits.size());
  if (point <= 0) {
    out.append("0.").append(static_cast<size_t>(-point), '0').append(digits);
  } else if (point >= ndigits) {
    out.append(digits).append(static_cast<size_t>(point - ndigits), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(point)).append(".").append(digits, static_cast<size_t>(point));
  }
  return out;
}

namespace {

// A real: its own text when that is a JSON number, else the shortest
// positional decimal of its float, else (infinities, NaN) the text itself.
Value real_value(std::string_view s) {
  if (is_json_number(s)) return Value::number(s);
  std::string copy(s);
  char* end = nullptr;
  double d = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str() + copy.size() && !copy.empty() && std::isfinite(d)) {
    std::string text = shortest_positional(d);
    if (is_json_number(text)) return Value::number(text);
  }
  return Value::string(copy);
}

Value int_value(std::string_view s) {
  if (auto text = int_text(s)) return Value::number(*text);
  return real_value(s);
}

// Where a problem is, as every YAML message says it; line and column count from 1.
std::string mark_text(const yaml_mark_t& m) { return position_text({m.line + 1, m.column + 1}, m.index); }

uint64_t node_count(const Value& v) {
  uint64_t n = 1;
  if (v.is_array()) {
    for (const Value& item : v.items()) n += node_count(item);
  } else if (v.is_object()) {
    for (const Member& m : v.members()) n += node_count(m.value);
  }
  return n;
}

uint64_t height(const Value& v) {
  uint64_t h = 0;
  if (v.is_array()) {
    for (const Value& item : v.items()) h = std::max(h, 1 + height(item));
  } else if (v.is_object()) {
    for (const Member& m : v.members()) h = std::max(h, 1 + height(m.value));
  }
  return h;
}

struct Anchor {
  Value value;
  uint64_t height = 0;
  bool is_scalar_key_source = false;
  std::string key_text;  // the text the value takes as a mapping key
};

// Where each key of a large mapping stands among its members, by hash: an
// open-addressed table of (half the hash, position + 1), so that duplicate
// checks stay linear in the mapping's size and allocate once per doubling.
class KeyIndex {
 public:
  static constexpr size_t kLinearScan = 8;  // mappings this small are scanned
  static constexpr size_t kMaxPositions = UINT32_MAX - 1;

  // The position of a member whose key `same(position)` says is the one
  // hashed as `hash`, or none after noting `position` (below kMaxPositions).
  template <class Same>
  std::optional<size_t> find_or_add(uint64_t hash, size_t position, Same same) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    size_t mask = slots_.size() - 1;
    auto tag = static_cast<uint32_t>(hash);
    for (size_t i = tag & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.position == 0) {
        s = {tag, static_cast<uint32_t>(position + 1)};
        ++size_;
        return std::nullopt;
      }
      if (s.tag == tag && same(s.position - 1)) return s.position - 1;
    }
  }

 private:
  // Eight bytes, so that the table of a large mapping stays in the caches.
  struct Slot {
    uint32_t tag;       // the hash's lower half, which also picks the slot
    uint32_t position;  // + 1; 0 when free
  };

  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 4 * kLinearScan : 2 * old.size(), Slot{0, 0});
    size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.position == 0) continue;
      size_t i = s.tag & mask;
      while (slots_[i].position != 0) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

// One open collection while its events arrive. Its items or members wait on
// the builder's scratch stacks from `start` on.
struct Frame {
  size_t start = 0;
  bool mapping = false;
  std::optional<std::string> key;  // a mapping's key awaiting its value
  std::string anchor;
  KeyIndex index;  // once the mapping outgrows a scan
};

class Builder {
 public:
  Builder(std::string_view text, Arena* arena) : text_(text), arena_(arena) {
    yaml_parser_initialize(&parser_);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    // No yaml_parser_set_encoding: left to detect the (already checked)
    // UTF-8 itself, libyaml skips a byte-order mark instead of counting it
    // in error positions.
  }
  ~Builder() { yaml_parser_delete(&parser_); }
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  Expected<Value, std::string> run() {
    std::vector<Value> documents;
    while (true) {
      yaml_event_t event;
      if (!yaml_parser_parse(&parser_, &event)) return unexpected(parser_error());
      struct Guard {
        yaml_event_t* e;
        ~Guard() { yaml_event_delete(e); }
      } guard{&event};
      switch (event.type) {
        case YAML_STREAM_END_EVENT:
          if (documents.empty()) return Value();
          if (documents.size() == 1) return std::move(documents[0]);
          return Value::array(std::move(documents));
        case YAML_DOCUMENT_START_EVENT:
          anchors_.clear();
          root_.reset();
          break;
        case YAML_DOCUMENT_END_EVENT:
          documents.push_back(root_ ? std::move(*root_) : Value());
          root_.reset();
          break;
        case YAML_SCALAR_EVENT:
          if (!on_scalar(event)) return unexpected(error_);
          break;
        case YAML_ALIAS_EVENT:
          if (!on_alias(event)) return unexpected(error_);
          break;
        case YAML_SEQUENCE_START_EVENT:
        case YAML_MAPPING_START_EVENT:
          if (!on_start(event)) return unexpected(error_);
          break;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT: {
          Frame frame = std::move(stack_.back());
          stack_.pop_back();
          Value value = frame.mapping ? take_container(members_, frame.start, arena_)
                                      : take_container(items_, frame.start, arena_);
          if (!frame.anchor.empty() && !remember(frame.anchor, value, std::nullopt)) return unexpected(error_);
          if (!deliver(std::move(value), std::nullopt)) return unexpected(error_);
          break;
        }
        default: break;
      }
    }
  }

 private:
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  // A number (or the string a number-like text becomes) as it lives on:
  // copied into the arena when there is one.
  Value keep(Value scalar) {
    if (arena_ == nullptr || !(scalar.is_string() || scalar.is_number())) return scalar;
    std::string_view text = arena_->copy(scalar.text());
    return scalar.is_string() ? Value::borrowed_string(text) : Value::borrowed_number(text);
  }

  std::string parser_error() const {
    std::string problem = parser_.problem ? parser_.problem : "unknown error";
    if (parser_.error == YAML_READER_ERROR) {
      // Reader errors carry only a byte offset.
      size_t at = std::min(parser_.problem_offset, text_.size());
      TextPosition p = position_of(text_, at);
      return problem + position_text(p, at);
    }
    return problem + mark_text(parser_.problem_mark);
  }

  uint64_t depth() const { return stack_.size(); }

  bool check_depth(uint64_t extra) {
    if (depth() + extra > kMaxDepth) return fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    return true;
  }

  bool awaiting_key() const { return !stack_.empty() && stack_.back().mapping && !stack_.back().key; }

  // Counts copied nodes against the alias budget.
  bool charge(uint64_t nodes) {
    copied_ += nodes;
    if (copied_ > std::max(kMinAliasBudget, read_)) {
      return fail("aliases expand to more than " + std::to_string(std::max(kMinAliasBudget, read_)) + " copied nodes");
    }
    return true;
  }

  bool remember(const std::string& name, const Value& value, std::optional<std::string> key_text) {
    if (!charge(node_count(value))) return false;
    Anchor a;
    a.value = value.clone();
    a.height = height(value);
    if (key_text) {
      a.is_scalar_key_source = true;
      a.key_text = std::move(*key_text);
    }
    anchors_[name] = std::move(a);
    return true;
  }

  bool on_scalar(const yaml_event_t& e) {
    ++read_;
    if (!check_depth(0)) return false;
    std::string_view text(reinterpret_cast<const char*>(e.data.scalar.value), e.data.scalar.length);
    std::string_view tag = e.data.scalar.tag ? reinterpret_cast<const char*>(e.data.scalar.tag) : "";
    bool plain = e.data.scalar.style == YAML_PLAIN_SCALAR_STYLE;
    ScalarType type = ScalarType::kString;
    if (tag.substr(0, kTagPrefix.size()) == kTagPrefix) {
      std::string_view name = tag.substr(kTagPrefix.size());
      if (name == "null")
        type = ScalarType::kNull;
      else if (name == "bool")
        type = ScalarType::kBool;
      else if (name == "int")
        type = ScalarType::kInt;
      else if (name == "float")
        type = ScalarType::kFloat;
      else if (name == "str")
        type = ScalarType::kString;
      else
        type = plain ? core_type(text) : ScalarType::kString;
    } else if (tag == "!") {
      type = ScalarType::kString;
    } else if (plain) {
      type = core_type(text);
    }

    Value value;
    std::string key_text;
    switch (type) {
      case ScalarType::kNull: key_text = "null"; break;
      case ScalarType::kBool: {
        bool b = !text.empty() && (text[0] == 't' || text[0] == 'T' || text[0] == 'y' || text[0] == 'Y' ||
                                   text == "on" || text == "On" || text == "ON" || text == "1");
        value = Value::boolean(b);
        key_text = b ? "true" : "false";
        break;
      }
      case ScalarType::kInt:
        value = keep(int_value(text));
        key_text = value.is_number() && int_text(text) ? value.text() : std::string(text);
        break;
      case ScalarType::kFloat:
        value = keep(real_value(text));
        key_text = std::string(text);
        break;
      case ScalarType::kString:
        value = arena_ != nullptr ? Value::borrowed_string(arena_->copy(text)) : Value::string(text);
        key_text = std::string(text);
        break;
    }
    if (e.data.scalar.anchor) {
      if (!remember(reinterpret_cast<const char*>(e.data.scalar.anchor), value, key_text)) return false;
    }
    return deliver(std::move(value), std::move(key_text));
  }

  bool on_alias(const yaml_event_t& e) {
    ++read_;
    std::string name = reinterpret_cast<const char*>(e.data.alias.anchor);
    auto it = anchors_.find(name);
    if (it == anchors_.end()) return fail("found undefined alias" + mark_text(e.start_mark));
    const Anchor& a = it->second;
    if (awaiting_key()) {
      if (!a.is_scalar_key_source) return fail("complex mapping keys are not supported");
      return deliver(Value(), a.key_text);
    }
    if (!check_depth(a.height)) return false;
    if (!charge(node_count(a.value))) return false;
    return deliver(a.value.clone(), std::nullopt);
  }

  bool on_start(const yaml_event_t& e) {
    ++read_;
    if (awaiting_key()) return fail("complex mapping keys are not supported");
    if (!check_depth(0)) return false;
    Frame f;
    f.mapping = e.type == YAML_MAPPING_START_EVENT;
    f.start = f.mapping ? members_.size() : items_.size();
    const yaml_char_t* anchor = f.mapping ? e.data.mapping_start.anchor : e.data.sequence_start.anchor;
    if (anchor) f.anchor = reinterpret_cast<const char*>(anchor);
    stack_.push_back(std::move(f));
    return true;
  }

  // Hands a finished node to its parent (or makes it the document root).
  bool deliver(Value value, std::optional<std::string> key_text) {
    if (stack_.empty()) {
      root_ = std::move(value);
      return true;
    }
    Frame& parent = stack_.back();
    if (!parent.mapping) {
      items_.push_back(std::move(value));
      return true;
    }
    if (!parent.key) {
      if (!key_text) return fail("complex mapping keys are not supported");
      parent.key = std::move(*key_text);
      return true;
    }
    insert_member(parent, std::move(*parent.key), std::move(value));
    parent.key.reset();
    return true;
  }

  // A key already present takes the new value in place.
  void insert_member(Frame& f, std::string key, Value value) {
    Member* members = members_.data() + f.start;
    size_t count = members_.size() - f.start;
    size_t h = hash_(key);
    std::optional<size_t> at;
    if (count < KeyIndex::kLinearScan || count >= KeyIndex::kMaxPositions) {
      for (size_t i = 0; i < count && !at; ++i) {
        if (members[i].key == key) at = i;
      }
    } else {
      if (count == KeyIndex::kLinearScan) {  // the mapping outgrows the scan: index what it has
        for (size_t i = 0; i < count; ++i) f.index.find_or_add(hash_(members[i].key), i, [](size_t) { return false; });
      }
      at = f.index.find_or_add(h, count, [&](size_t i) { return members[i].key == key; });
    }
    if (at) {
      members[*at].value = std::move(value);
      return;
    }
    Text stored = arena_ != nullptr ? Text::borrow(interned(key, h), *arena_) : Text(key);
    members_.push_back(Member{std::move(stored), std::move(value)});
  }

  // Records repeat their keys: the arena keeps one copy of each of the first
  // few thousand distinct ones.
  std::string_view interned(std::string_view key, size_t h) {
    constexpr size_t kMaxInterned = 4096;
    auto range = interned_.equal_range(h);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == key) return it->second;
    }
    std::string_view copy = arena_->copy(key);
    if (interned_.size() < kMaxInterned) interned_.emplace(h, copy);
    return copy;
  }

  std::string_view text_;
  Arena* arena_;
  yaml_parser_t parser_;
  std::vector<Frame> stack_;
  std::vector<Value> items_;
  std::vector<Member> members_;
  std::unordered_multimap<size_t, std::string_view> interned_;
  std::optional<Value> root_;
  std::unordered_map<std::string, Anchor> anchors_;
  SeededStringHash hash_;
  uint64_t read_ = 0;    // nodes written in the text
  uint64_t copied_ = 0;  // nodes copied for anchors and aliases
  std::string error_;
};

}  // namespace

Expected<Value, std::string> read_yaml(std::string_view text, Arena* arena) { return Builder(text, arena).run(); }

}  // namespace tersolite::yaml
