#include "json/json_rewrite.h"

#include "json/json_reader.h"
#include "json/plain_run.h"

namespace tersolite::json {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_number_byte(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

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
        out.append(width > 0 ? std::string_view(": ") : std::string_view(":"));
        break;
      case '"': {
        // Strings without escapes are written as they stand; the others are
        // decoded and written again, as the writer would.
        size_t start = i++;
        bool escaped = false;
        while (true) {
          i = end_of_plain_run(p, i, n);
          if (p[i] == '"') break;
          escaped = true;
          i += 2;  // a backslash and the byte after it (\u digits are plain)
        }
        ++i;
        std::string_view literal(p + start, i - start);
        if (escaped) {
          write_json_string(out, decode_string_literal(literal));
        } else {
          out.append(literal);
        }
        break;
      }
      case 't':
        out.append(std::string_view("true"));
        i += 4;
        break;
      case 'f':
        out.append(std::string_view("false"));
        i += 5;
        break;
      case 'n':
        out.append(std::string_view("null"));
        i += 4;
        break;
      default: {
        size_t start = i;
        while (i < n && is_number_byte(p[i])) ++i;
        out.append(std::string_view(p + start, i - start));
      }
    }
  }
}

template void rewrite_json(std::string&, std::string_view, uint64_t);
template void rewrite_json(EscapedSink<HeapBuffer>&, std::string_view, uint64_t);

}  // namespace tersolite::json
