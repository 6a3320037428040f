// JSON writer: compact (width 0) or indented with `width` spaces per level.
// The cost model (json_cost.h) predicts this output character for
// character, so the two must change together.
//
// The writer appends to any sink with push_back(char), append(string_view)
// and append(count, char): std::string, HeapBuffer, or an EscapedSink that
// writes the text as the inside of a JSON string literal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value/heap_buffer.h"
#include "value/value.h"

namespace tersolite::json {

/// Writes into `Out` the JSON string content of everything appended to it,
/// so that a document can be written straight into the envelope's "text".
template <class Out>
class EscapedSink {
 public:
  explicit EscapedSink(Out& out) : out_(out) {}
  void push_back(char c) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\') {
      out_.push_back(c);
    } else if (c == '"') {  // every string's quotes
      out_.append(std::string_view("\\\"", 2));
    } else {
      append(std::string_view(&c, 1));
    }
  }
  void append(std::string_view s);
  void append(size_t n, char c) { out_.append(n, c); }  // only spaces are repeated
  void append(const char* p, size_t n) { append(std::string_view(p, n)); }
  /// REQUIRES: `s` has no control, double quote or backslash (numbers,
  /// literals, punctuation, the inside of a string without escapes).
  void append_plain(std::string_view s) { out_.append(s); }

 private:
  Out& out_;
};

/// Appends `s`, which has nothing an EscapedSink escapes, to any sink.
template <class Out>
void append_plain(Out& out, std::string_view s) {
  if constexpr (requires { out.append_plain(s); }) {
    out.append_plain(s);
  } else {
    out.append(s);
  }
}

/// Appends `value` written at nesting `depth`; width 0 means compact.
template <class Out>
void write_json(Out& out, const Value& value, uint64_t width, uint64_t depth = 0);

/// Appends `text` as a JSON string literal, quotes included.
template <class Out>
void write_json_string(Out& out, std::string_view text);

/// The whole value as text.
std::string to_json(const Value& value, uint64_t width = 0);

extern template void write_json(std::string&, const Value&, uint64_t, uint64_t);
extern template void write_json(HeapBuffer&, const Value&, uint64_t, uint64_t);
extern template void write_json(EscapedSink<HeapBuffer>&, const Value&, uint64_t, uint64_t);
extern template void write_json_string(std::string&, std::string_view);
extern template void write_json_string(HeapBuffer&, std::string_view);
extern template void write_json_string(EscapedSink<HeapBuffer>&, std::string_view);
extern template class EscapedSink<std::string>;
extern template class EscapedSink<HeapBuffer>;
extern template class EscapedSink<EscapedSink<HeapBuffer>>;

}  // namespace tersolite::json
