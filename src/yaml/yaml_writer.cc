#include "yaml/yaml_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "value/utf8.h"

namespace tersolite::yaml {

namespace {

// Longest key a YAML parser accepts in implicit form; longer keys are
// written as explicit "? key" entries.
constexpr uint64_t kMaxImplicitKey = 1024;

bool is_printable(char32_t c) {
  if (c == 0x2028 || c == 0x2029 || c == 0xFEFF) return false;
  return c == '\t' || (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         c >= 0x10000;
}

// Whether every character of `s` is printable (tabs as `tab_ok` says):
// plain ASCII is checked eight bytes at a time, the rest decoded.
bool all_printable(std::string_view s, bool tab_ok) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  size_t pos = 0;
  while (pos < n) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    if (pos + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, p + pos, 8);
      // No byte below 0x20, none at 0x7F, none with the high bit.
      uint64_t del = w ^ (kOnes * 0x7F);
      if ((((w - kOnes * 0x20) & ~w) | ((del - kOnes) & ~del) | w) & kHigh) {
        // Something to look at closely in these eight bytes: fall through.
      } else {
        pos += 8;
        continue;
      }
    }
    unsigned char b = p[pos];
    if (b >= 0x20 && b < 0x7F) {
      ++pos;
      continue;
    }
    char32_t c = decode_utf8(s, pos);
    if (c == '\t' ? !tab_ok : !is_printable(c)) return false;
  }
  return true;
}

bool is_blank_line(std::string_view line) {
  size_t pos = 0;
  while (pos < line.size()) {
    if (!is_unicode_space(decode_utf8(line, pos))) return false;
  }
  return true;
}

bool qualifies_for_block(std::string_view s) {
  if (s.find('\n') == std::string_view::npos) return false;
  bool first = true;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find('\n', start);
    if (end == std::string_view::npos) end = s.size();
    std::string_view line = s.substr(start, end - start);
    if (!line.empty()) {
      if (!all_printable(line, true) || is_blank_line(line)) return false;
      if (first && (line[0] == ' ' || line[0] == '\t')) return false;
      first = false;
    }
    start = end + 1;
  }
  // A block of empty lines alone reads back as an empty string.
  return !first;
}

const char* block_header(std::string_view s) {
  size_t trailing = 0;
  while (trailing < s.size() && s[s.size() - 1 - trailing] == '\n') ++trailing;
  return trailing == 0 ? "|-" : trailing == 1 ? "|" : "|+";
}

bool needs_quotes(std::string_view s) {
  if (s.empty()) return true;
  static constexpr std::string_view kIndicators = "-?:,[]{}#&*!|>'\"%@`";
  if (kIndicators.find(s[0]) != std::string_view::npos) return true;
  size_t pos = 0;
  char32_t first = decode_utf8(s, pos);
  if (is_unicode_space(first)) return true;
  size_t last_start = s.size() - 1;
  while (last_start > 0 && (static_cast<unsigned char>(s[last_start]) & 0xC0) == 0x80) --last_start;
  pos = last_start;
  char32_t last = decode_utf8(s, pos);
  if (is_unicode_space(last) || last == ':') return true;
  if (!all_printable(s, false)) return true;
  if (s.find(": ") != std::string_view::npos || s.find(" #") != std::string_view::npos) return true;
  if (s.size() <= 5) {
    std::string lower(s);
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (std::string_view word : {"n", "y", "~", "=", "no", "on", "<<", "yes", "off", "null", "true", "false"}) {
      if (lower == word) return true;
    }
  }
  auto digit_or_dot = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
  if (digit_or_dot(s[0])) return true;
  if ((s[0] == '-' || s[0] == '+') && s.size() > 1 && digit_or_dot(s[1])) return true;
  return false;
}

template <class Out>
void append_quoted(Out& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.push_back('"');
  size_t pos = 0;
  while (pos < s.size()) {
    size_t start = pos;
    char32_t c = decode_utf8(s, pos);
    switch (c) {
      case '\t': out.append("\\t"); break;
      case '\n': out.append("\\n"); break;
      case '\r': out.append("\\r"); break;
      case '"': out.append("\\\""); break;
      case '\\': out.append("\\\\"); break;
      default:
        if (!is_printable(c)) {
          char esc[6] = {'\\', 'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
          out.append(esc, 6);
        } else {
          out.append(s.substr(start, pos - start));
        }
    }
  }
  out.push_back('"');
}

template <class Out>
void append_scalar_string(Out& out, std::string_view s) {
  if (needs_quotes(s)) {
    append_quoted(out, s);
  } else {
    out.append(s);
  }
}

// Counts what the writer would write, keeping nothing.
class CountingSink {
 public:
  void append(std::string_view s) {
    bytes_ += s.size();
    chars_ += char_count(s);
  }
  void append(const char* p, size_t n) { append(std::string_view(p, n)); }
  void append(size_t n, char) {
    bytes_ += n;
    chars_ += n;
  }
  void push_back(char c) { append(std::string_view(&c, 1)); }
  size_t size() const { return bytes_; }
  uint64_t chars() const { return chars_; }

 private:
  size_t bytes_ = 0;
  uint64_t chars_ = 0;
};

// Turns the space at `at` into the dash of a sequence item (the count is
// the same either way).
void put_dash(std::string& out, size_t at) { out[at] = '-'; }
void put_dash(CountingSink&, size_t) {}

template <class Out>
class Writer {
 public:
  Writer(uint64_t width, Out& out) : w_(std::max<uint64_t>(width, 2)), out_(out) {}

  void run(const Value& v) {
    if (v.is_string() && qualifies_for_block(v.text())) {
      line_start();
      out_.append(block_header(v.text()));
      block_body(v.text(), 1);
    } else if (is_open_container(v)) {
      container(v, 0);
    } else {
      line_start();
      scalar(v);
    }
    out_.push_back('\n');
  }

 private:
  static bool is_open_container(const Value& v) { return (v.is_array() || v.is_object()) && v.size() > 0; }

  // Starts a new output line (lines are joined by single line feeds).
  void line_start() {
    if (started_) out_.push_back('\n');
    started_ = true;
  }

  void indent(uint64_t level) { out_.append(level * w_, ' '); }

  void scalar(const Value& v) {
    switch (v.kind()) {
      case Kind::kNull: out_.append("null"); break;
      case Kind::kBool: out_.append(v.as_bool() ? "true" : "false"); break;
      case Kind::kNumber: out_.append(v.text()); break;
      case Kind::kString: append_scalar_string(out_, v.text()); break;
      case Kind::kArray: out_.append("[]"); break;
      case Kind::kObject: out_.append("{}"); break;
    }
  }

  void block_body(std::string_view s, uint64_t level) {
    if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
    size_t start = 0;
    while (true) {
      size_t end = s.find('\n', start);
      std::string_view piece = s.substr(start, end == std::string_view::npos ? s.npos : end - start);
      line_start();
      if (!piece.empty()) {
        indent(level);
        out_.append(piece);
      }
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }

  // Writes the value that follows "key:" or "- " on the current line.
  void value_after(const Value& v, uint64_t level) {
    if (v.is_string() && qualifies_for_block(v.text())) {
      out_.push_back(' ');
      out_.append(block_header(v.text()));
      block_body(v.text(), level + 1);
    } else if (is_open_container(v)) {
      container(v, level + 1);
    } else {
      out_.push_back(' ');
      scalar(v);
    }
  }

  void container(const Value& v, uint64_t level) {
    if (v.is_object()) {
      for (const Member& m : v.members()) {
        line_start();
        indent(level);
        std::string& key = key_;
        key.clear();
        append_scalar_string(key, m.key);
        if (key.size() > kMaxImplicitKey && char_count(key) > kMaxImplicitKey) {
          // "? key" then ": value" on its own line.
          out_.append("? ");
          out_.append(key);
          line_start();
          indent(level);
          out_.push_back(':');
        } else {
          out_.append(key);
          out_.push_back(':');
        }
        value_after(m.value, level);
      }
      return;
    }
    if (v.is_packed()) {
      items_packed(v, level);
    } else {
      items(v.items(), level);
    }
  }

  [[gnu::noinline]] void items_packed(const Value& array, uint64_t level) {
    ItemWindow window(array);
    items(window, level);
  }

  // `items`: a span of nodes or an ItemWindow.
  template <class Items>
  void items(Items&& items, uint64_t level) {
    for (const Value& item : items) {
      if (is_open_container(item)) {
        // The dash takes the first column of the item's own indentation.
        size_t first_line = out_.size() + (started_ ? 1 : 0);
        container(item, level + 1);
        put_dash(out_, first_line + level * w_);
      } else {
        line_start();
        indent(level);
        out_.push_back('-');
        value_after(item, level);
      }
    }
  }

  uint64_t w_;
  Out& out_;
  std::string key_;  // the key being written, reused
  bool started_ = false;
};

}  // namespace

std::string write_yaml(const Value& value, uint64_t width, size_t reserve) {
  std::string out;
  if (reserve > 0) out.reserve(reserve);
  write_yaml(out, value, width);
  return out;
}

void write_yaml(std::string& out, const Value& value, uint64_t width) { Writer<std::string>(width, out).run(value); }

uint64_t yaml_written_size(const Value& value, uint64_t width) {
  CountingSink count;
  Writer<CountingSink>(width, count).run(value);
  return count.chars();
}

}  // namespace tersolite::yaml
