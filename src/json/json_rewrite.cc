#include "json/json_rewrite.h"

#include "json/json_cost.h"
#include "json/json_reader.h"
#include "json/plain_run.h"
#include "value/utf8.h"

namespace tersolite::json {

namespace {

// The four hex digits at p[i..] as a code unit, i moved past them.
std::optional<char32_t> hex4(const char* p, size_t n, size_t& i) {
  if (n - i < 4) return std::nullopt;
  char32_t unit = 0;
  for (size_t k = 0; k < 4; ++k) {
    int digit = hex_value(p[i + k]);
    if (digit < 0) return std::nullopt;
    unit = unit << 4 | static_cast<char32_t>(digit);
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

// Rewrites with the reader's rules, counting what it writes: a document
// that fits is answered from one pass over its text instead of a tree.
template <class Out>
class Rewriter {
 public:
  Rewriter(Out& out, std::string_view text, uint64_t width, uint64_t limit)
      : out_(out), p_(text.data()), n_(text.size()), width_(width), limit_(limit) {}

  // One loop with an explicit depth rather than a function per construct:
  // it runs over every byte of a document that fits.
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
          line(depth);
          punctuation(c);
          continue;
        }
        if (c != ',') return std::nullopt;
        punctuation(',');
        line(depth);
        if (object && !key()) return std::nullopt;
        after_value = false;
        continue;
      }
      // A value at `depth`: the reader takes none deeper than kMaxDepth.
      if (i_ == n_ || depth > kMaxDepth) return std::nullopt;
      char c = p_[i_];
      if (c == '[' || c == '{') {
        bool object = c == '{';
        char close = object ? '}' : ']';
        ++i_;
        skip_space();
        punctuation(c);
        if (i_ < n_ && p_[i_] == close) {
          ++i_;
          punctuation(close);
          after_value = true;
          continue;
        }
        in_object_[depth++] = object;
        line(depth);
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

  void punctuation(char c) {
    out_.push_back(c);
    ++chars_;
  }
  void plain(std::string_view s) {
    append_plain(out_, s);
    chars_ += s.size();
  }
  // A line break and the indentation of `level`, when the layout has lines.
  void line(uint64_t level) {
    if (width_ == 0) return;
    out_.push_back('\n');
    out_.append(static_cast<size_t>(width_ * level), ' ');
    chars_ += 1 + width_ * level;
  }

  // A key, its colon and the space after it.
  bool key() {
    skip_space();
    if (i_ == n_ || p_[i_] != '"' || !string()) return false;
    skip_space();
    if (i_ == n_ || p_[i_] != ':') return false;
    ++i_;
    plain(width_ > 0 ? ": " : ":");
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
    plain(word);
    return true;
  }

  bool digits() {
    size_t start = i_;
    i_ = end_of_digits(p_, i_, n_);
    return i_ > start;
  }

  // Numbers keep their literal text.
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
    plain(std::string_view(p_ + start, i_ - start));
    return true;
  }

  // At a string's opening quote. Runs without escapes go out as they
  // stand; an escape is decoded and its character written as the writer
  // writes it.
  bool string() {
    ++i_;
    punctuation('"');
    while (true) {
      uint64_t seen = 0;
      size_t run = end_of_plain_run(p_, i_, n_, seen);
      std::string_view text(p_ + i_, run - i_);
      append_plain(out_, text);
      chars_ += seen_ascii_only(seen) ? text.size() : char_count(text);
      i_ = run;
      if (i_ == n_) return false;
      if (p_[i_] == '"') {
        ++i_;
        punctuation('"');
        return true;
      }
      if (p_[i_] != '\\') return false;  // a control character
      auto c = decode_escape(p_, n_, i_);
      if (!c) return false;
      if (*c < 0x80) {
        EscapedSink<Out>(out_).push_back(static_cast<char>(*c));
        chars_ += kWrittenChars.size[*c];
      } else {
        char bytes[4];
        append_plain(out_, std::string_view(bytes, encode_utf8(bytes, *c)));
        ++chars_;
      }
    }
  }

  Out& out_;
  const char* p_;
  size_t n_;
  size_t i_ = 0;
  uint64_t width_;
  uint64_t limit_;
  uint64_t chars_ = 0;
  bool in_object_[kMaxDepth + 1] = {};
};

}  // namespace

template <class Out>
std::optional<uint64_t> rewrite_json(Out& out, std::string_view text, uint64_t width, uint64_t limit) {
  return Rewriter<Out>(out, text, width, limit).run();
}

template std::optional<uint64_t> rewrite_json(std::string&, std::string_view, uint64_t, uint64_t);
template std::optional<uint64_t> rewrite_json(EscapedSink<HeapBuffer>&, std::string_view, uint64_t, uint64_t);

}  // namespace tersolite::json
