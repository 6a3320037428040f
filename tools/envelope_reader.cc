#include "envelope_reader.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

namespace tersolite_cli {

const Json* Json::get(std::string_view key) const {
  if (type != Type::kObject) return nullptr;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) return &items[i];
  }
  return nullptr;
}

namespace {

void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool hex4(std::string_view s, size_t& i, uint32_t& u) {
  if (s.size() - i < 4) return false;
  u = 0;
  for (int k = 0; k < 4; ++k) {
    char c = s[i++];
    u <<= 4;
    if (c >= '0' && c <= '9') u |= static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') u |= static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') u |= static_cast<uint32_t>(c - 'A' + 10);
    else return false;
  }
  return true;
}

// Decodes the rest of a string literal from s[i] (just after its opening
// quote) to `out`, leaving `i` after the closing quote. False when the
// literal is cut short.
template <class Out>
bool decode_literal(std::string_view s, size_t& i, Out& out) {
  while (i < s.size()) {
    size_t run = s.find_first_of("\"\\", i);
    if (run == std::string_view::npos) return false;
    out.append(s.substr(i, run - i));  // plain runs in bulk
    i = run;
    char c = s[i++];
    if (c == '"') return true;
    if (i >= s.size()) return false;
    char e = s[i++];
    char one = e;
    switch (e) {
      case 'n': one = '\n'; break;
      case 't': one = '\t'; break;
      case 'r': one = '\r'; break;
      case 'b': one = '\b'; break;
      case 'f': one = '\f'; break;
      case 'u': {
        uint32_t u;
        if (!hex4(s, i, u)) return false;
        if (u >= 0xD800 && u <= 0xDBFF && s.substr(i, 2) == "\\u") {
          size_t at = i + 2;
          uint32_t low;
          if (!hex4(s, at, low)) return false;
          if (low >= 0xDC00 && low <= 0xDFFF) {
            u = 0x10000 + (u - 0xD800) * 0x400 + (low - 0xDC00);
            i = at;
          }
        }
        std::string bytes;
        append_utf8(bytes, u);
        out.append(bytes);
        continue;
      }
      default: break;
    }
    out.append(std::string_view(&one, 1));
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  bool value(Json& out, int depth = 0) {
    if (depth > 600) return false;
    space();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '"') {
      out.type = Json::Type::kString;
      return string(out.text);
    }
    if (c == '[') {
      out.type = Json::Type::kArray;
      ++i_;
      space();
      if (peek(']')) return ++i_, true;
      do {
        out.items.emplace_back();
        if (!value(out.items.back(), depth + 1)) return false;
        space();
      } while (peek(',') && ++i_);
      return peek(']') && ++i_;
    }
    if (c == '{') {
      out.type = Json::Type::kObject;
      ++i_;
      space();
      if (peek('}')) return ++i_, true;
      do {
        space();
        std::string key;
        if (!peek('"') || !string(key)) return false;
        space();
        if (!peek(':')) return false;
        ++i_;
        out.keys.push_back(std::move(key));
        out.items.emplace_back();
        if (!value(out.items.back(), depth + 1)) return false;
        space();
      } while (peek(',') && ++i_);
      return peek('}') && ++i_;
    }
    for (auto [word, type, b] : {std::tuple{"true", Json::Type::kBool, true},
                                 std::tuple{"false", Json::Type::kBool, false},
                                 std::tuple{"null", Json::Type::kNull, false}}) {
      std::string_view w(word);
      if (s_.substr(i_, w.size()) == w) {
        out.type = type;
        out.boolean = b;
        i_ += w.size();
        return true;
      }
    }
    size_t start = i_;
    while (i_ < s_.size() && std::string_view("+-.0123456789eE").find(s_[i_]) != std::string_view::npos)
      ++i_;
    if (start == i_) return false;
    out.type = Json::Type::kNumber;
    out.text = std::string(s_.substr(start, i_ - start));
    return true;
  }

  bool done() {
    space();
    return i_ == s_.size();
  }

 private:
  bool peek(char c) const { return i_ < s_.size() && s_[i_] == c; }
  void space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
      ++i_;
  }
  bool string(std::string& out) {
    ++i_;
    // The decoded text is no longer than its literal: size it once.
    size_t end = i_;
    while ((end = s_.find_first_of("\"\\", end)) != std::string_view::npos && s_[end] == '\\') end += 2;
    if (end != std::string_view::npos) out.reserve(end - i_);
    return decode_literal(s_, i_, out);
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace

std::optional<Json> parse_json(std::string_view text) {
  Parser p(text);
  Json out;
  if (!p.value(out) || !p.done()) return std::nullopt;
  return out;
}

namespace {

// Collects output in 64 KiB pieces, so that a text with many escapes costs
// few writes; remembers the last byte.
class FileSink {
 public:
  explicit FileSink(FILE* out) : out_(out) {}
  ~FileSink() { flush(); }
  void append(std::string_view bytes) {
    if (bytes.empty()) return;
    last_ = bytes.back();
    if (out_ == nullptr) return;
    if (bytes.size() > sizeof buf_ - used_) flush();
    if (bytes.size() >= sizeof buf_) {
      std::fwrite(bytes.data(), 1, bytes.size(), out_);
      return;
    }
    std::memcpy(buf_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void flush() {
    if (out_ != nullptr && used_ > 0) std::fwrite(buf_, 1, used_, out_);
    used_ = 0;
  }
  char last() const { return last_; }

 private:
  FILE* out_;
  char buf_[1 << 16];
  size_t used_ = 0;
  char last_ = '\n';
};

}  // namespace

size_t decode_string_to(std::string_view s, FILE* out) {
  if (s.empty() || s[0] != '"') return std::string_view::npos;
  size_t i = 1;
  auto sink = std::make_unique<FileSink>(out);
  if (!decode_literal(s, i, *sink)) return std::string_view::npos;
  if (sink->last() != '\n') sink->append("\n");
  return i;
}

std::string quote_json(std::string_view text) {
  static const char* kHex = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace tersolite_cli
