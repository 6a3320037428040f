#include "json/json_rewrite.h"

#include "json/json_cost.h"
#include "json/json_reader.h"
#include "json/plain_run.h"
#include "value/utf8.h"

namespace tersolite::json {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_number_byte(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The four hex digits at p[i..] as a code unit, i moved past them.
std::optional<char32_t> hex4(const char* p, size_t n, size_t& i) {
  if (n - i < 4) return std::nullopt;
  char32_t unit = 0;
  for (size_t k = 0; k < 4; ++k) {
    char c = p[i + k];
    if (!is_hex(c)) return std::nullopt;
    unit = unit << 4 | static_cast<char32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  i += 4;
  return unit;
}

// At a backslash in a string literal: what its escape decodes to, as the
// reader decodes it (a surrogate pair as one code point, a lone surrogate as
// U+FFFD, what follows a lone high one read on its own), i moved past it;
// nullopt when the reader would turn it down.
std::optional<char32_t> decode_escape(const char* p, size_t n, size_t& i) {
  if (n - i < 2) return std::nullopt;
  char e = p[i + 1];
  i += 2;
  switch (e) {
    case '"': case '\\': case '/': return e;
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'u': break;
    default: return std::nullopt;
  }
  auto unit = hex4(p, n, i);
  if (!unit || *unit < 0xD800 || *unit > 0xDFFF) return unit;
  if (*unit >= 0xDC00 || n - i < 2 || p[i] != '\\' || p[i + 1] != 'u') return U'\uFFFD';
  size_t second = i;
  i += 2;
  auto low = hex4(p, n, i);
  if (!low) return std::nullopt;
  if (*low >= 0xDC00 && *low <= 0xDFFF) return 0x10000 + (*unit - 0xD800) * 0x400 + (*low - 0xDC00);
  i = second;
  return U'\uFFFD';
}

// Writes the string literal at p[i] (valid) as the writer writes its text;
// returns the position after it. Runs without escapes go out as they are.
template <class Out>
size_t rewrite_string(Out& out, const char* p, size_t n, size_t i) {
  out.push_back('"');
  ++i;
  while (true) {
    size_t run = end_of_plain_run(p, i, n);
    append_plain(out, std::string_view(p + i, run - i));
    i = run;
    if (p[i] == '"') break;
    char32_t c = *decode_escape(p, n, i);
    if (c < 0x80) {
      EscapedSink<Out>(out).push_back(static_cast<char>(c));
    } else {
      char bytes[4];
      append_plain(out, std::string_view(bytes, encode_utf8(bytes, c)));
    }
  }
  out.push_back('"');
  return i + 1;
}

// Checks and counts with the reader's rules but builds nothing: a document
// that fits is answered from two quick passes over its text instead of a tree.
class CharCounter {
 public:
  CharCounter(std::string_view text, uint64_t width, uint64_t limit)
      : p_(text.data()), n_(text.size()), width_(width), limit_(limit) {}

  std::optional<uint64_t> run() {
    bool after_value = false;  // a value has just ended at `depth`
    size_t depth = 0;
    while (true) {
      skip_space();
      if (chars_ > limit_) return std::nullopt;
      if (after_value) {
        if (depth == 0) return i_ == n_ ? std::optional(chars_) : std::nullopt;
        if (i_ == n_) return std::nullopt;
        bool object = in_object_[depth - 1];
        char c = p_[i_++];
        if (c == (object ? '}' : ']')) {
          --depth;
          chars_ += line(depth) + 1;
          continue;
        }
        if (c != ',') return std::nullopt;
        chars_ += 1 + line(depth);
        if (object && !key()) return std::nullopt;
        after_value = false;
        continue;
      }
      // A value at `depth`: the reader takes none deeper than kMaxDepth.
      if (i_ == n_ || depth > kMaxDepth) return std::nullopt;
      char c = p_[i_];
      if (c == '[' || c == '{') {
        bool object = c == '{';
        ++i_;
        skip_space();
        if (i_ < n_ && p_[i_] == (object ? '}' : ']')) {
          ++i_;
          chars_ += 2;
          after_value = true;
          continue;
        }
        in_object_[depth++] = object;
        chars_ += 1 + line(depth);
        if (object && !key()) return std::nullopt;
        continue;
      }
      if (!scalar(c)) return std::nullopt;
      after_value = true;
    }
  }

 private:
  void skip_space() {
    while (i_ < n_ && (p_[i_] == ' ' || p_[i_] == '\n' || p_[i_] == '\r' || p_[i_] == '\t')) ++i_;
  }
  // A line break and the indentation of `level`, when the layout has lines.
  uint64_t line(uint64_t level) const { return width_ == 0 ? 0 : 1 + width_ * level; }

  // A key, its colon and the space after it.
  bool key() {
    skip_space();
    if (i_ == n_ || p_[i_] != '"' || !string()) return false;
    skip_space();
    if (i_ == n_ || p_[i_] != ':') return false;
    ++i_;
    chars_ += width_ > 0 ? 2 : 1;
    return true;
  }

  bool scalar(char c) {
    switch (c) {
      case '"': return string();
      case 't': return literal("true");
      case 'f': return literal("false");
      case 'n': return literal("null");
      default: return number();
    }
  }

  bool literal(std::string_view word) {
    if (std::string_view(p_ + i_, n_ - i_).substr(0, word.size()) != word) return false;
    i_ += word.size();
    chars_ += word.size();
    return true;
  }

  bool digits() {
    size_t start = i_;
    while (i_ < n_ && p_[i_] >= '0' && p_[i_] <= '9') ++i_;
    return i_ > start;
  }

  bool number() {
    size_t start = i_;
    if (i_ < n_ && p_[i_] == '-') ++i_;
    if (i_ < n_ && p_[i_] == '0') {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (i_ < n_ && p_[i_] == '.') {
      ++i_;
      if (!digits()) return false;
    }
    if (i_ < n_ && (p_[i_] == 'e' || p_[i_] == 'E')) {
      ++i_;
      if (i_ < n_ && (p_[i_] == '+' || p_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    chars_ += i_ - start;
    return true;
  }

  // At a string's opening quote: what the writer writes for its decoded text.
  bool string() {
    ++i_;
    chars_ += 2;
    while (true) {
      uint64_t seen = 0;
      size_t run = end_of_plain_run(p_, i_, n_, seen);
      std::string_view plain(p_ + i_, run - i_);
      chars_ += seen_ascii_only(seen) ? plain.size() : char_count(plain);
      i_ = run;
      if (i_ == n_) return false;
      if (p_[i_] == '"') {
        ++i_;
        return true;
      }
      if (p_[i_] != '\\' || !escape()) return false;
    }
  }

  // At a backslash: the decoded character costs what the writer spends on
  // it, and one beyond ASCII one character.
  bool escape() {
    auto c = decode_escape(p_, n_, i_);
    if (!c) return false;
    chars_ += *c < 0x80 ? kWrittenChars.size[*c] : 1;
    return true;
  }

  const char* p_;
  size_t n_;
  size_t i_ = 0;
  uint64_t width_;
  uint64_t limit_;
  uint64_t chars_ = 0;
  bool in_object_[kMaxDepth + 1] = {};
};


}  // namespace

// One loop over the tokens with an explicit depth, not a function per
// construct: it runs over every byte of a document that fits, and its
// states share the cursor and the pending line break.
template <class Out>
void rewrite_json(Out& out, std::string_view text, uint64_t width) {
  const char* p = text.data();
  const size_t n = text.size();
  size_t i = 0;
  uint64_t depth = 0;
  auto skip_space = [&] {
    while (i < n && is_space(p[i])) ++i;
  };
  auto line = [&](uint64_t level) {
    if (width == 0) return;
    out.push_back('\n');
    out.append(static_cast<size_t>(width * level), ' ');
  };
  while (true) {
    skip_space();
    if (i >= n) return;
    char c = p[i];
    switch (c) {
      case '[':
      case '{': {
        char close = c == '[' ? ']' : '}';
        ++i;
        skip_space();
        out.push_back(c);
        if (p[i] == close) {
          ++i;
          out.push_back(close);
        } else {
          ++depth;
          line(depth);
        }
        break;
      }
      case ']':
      case '}':
        ++i;
        --depth;
        line(depth);
        out.push_back(c);
        break;
      case ',':
        ++i;
        out.push_back(',');
        line(depth);
        break;
      case ':':
        ++i;
        append_plain(out, width > 0 ? std::string_view(": ") : std::string_view(":"));
        break;
      case '"': i = rewrite_string(out, p, n, i); break;
      case 't':
        append_plain(out, "true");
        i += 4;
        break;
      case 'f':
        append_plain(out, "false");
        i += 5;
        break;
      case 'n':
        append_plain(out, "null");
        i += 4;
        break;
      default: {
        size_t start = i;
        while (i < n && is_number_byte(p[i])) ++i;
        append_plain(out, std::string_view(p + start, i - start));
      }
    }
  }
}

template void rewrite_json(std::string&, std::string_view, uint64_t);
template void rewrite_json(EscapedSink<HeapBuffer>&, std::string_view, uint64_t);

std::optional<uint64_t> rewritten_chars(std::string_view text, uint64_t width, uint64_t limit) {
  return CharCounter(text, width, limit).run();
}

}  // namespace tersolite::json
