#include "json/json_writer.h"

#include "json/plain_run.h"

namespace tersolite::json {

namespace {

template <class Out>
void newline_indent(Out& out, uint64_t spaces) {
  out.push_back('\n');
  out.append(spaces, ' ');
}

}  // namespace

template <class Out>
void EscapedSink<Out>::append(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
  size_t i = 0;
  while (i < s.size()) {
    size_t run = end_of_plain_run(s.data(), i, s.size());
    out_.append(std::string_view(s.data() + i, run - i));
    if (run == s.size()) break;
    unsigned char c = bytes[run];
    switch (c) {
      case '"': out_.append(std::string_view("\\\"", 2)); break;
      case '\\': out_.append(std::string_view("\\\\", 2)); break;
      case '\n': out_.append(std::string_view("\\n", 2)); break;
      case '\t': out_.append(std::string_view("\\t", 2)); break;
      case '\r': out_.append(std::string_view("\\r", 2)); break;
      case '\b': out_.append(std::string_view("\\b", 2)); break;
      case '\f': out_.append(std::string_view("\\f", 2)); break;
      default: {
        char esc[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out_.append(std::string_view(esc, 6));
      }
    }
    i = run + 1;
  }
}

template <class Out>
void write_json_string(Out& out, std::string_view text) {
  out.push_back('"');
  EscapedSink<Out>(out).append(text);
  out.push_back('"');
}

template <class Out>
void write_json(Out& out, const Value& value, uint64_t width, uint64_t depth);

// `items`: a span of nodes or an ItemWindow.
template <class Out, class Items>
void write_items(Out& out, Items&& items, uint64_t width, uint64_t depth) {
  if (items.empty()) {
    out.append("[]");
    return;
  }
  out.push_back('[');
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.push_back(',');
    if (width > 0) newline_indent(out, width * (depth + 1));
    write_json(out, items[i], width, depth + 1);
  }
  if (width > 0) newline_indent(out, width * depth);
  out.push_back(']');
}

template <class Out>
[[gnu::noinline]] void write_packed(Out& out, const Value& array, uint64_t width, uint64_t depth) {
  ItemWindow items(array);
  write_items(out, items, width, depth);
}

template <class Out>
void write_json(Out& out, const Value& value, uint64_t width, uint64_t depth) {
  switch (value.kind()) {
    case Kind::kNull: append_plain(out, "null"); return;
    case Kind::kBool: append_plain(out, value.as_bool() ? "true" : "false"); return;
    case Kind::kNumber: append_plain(out, value.text()); return;
    case Kind::kString: write_json_string(out, value.text()); return;
    case Kind::kArray:
      if (value.is_packed()) {
        write_packed(out, value, width, depth);
      } else {
        write_items(out, value.items(), width, depth);
      }
      return;
    case Kind::kObject: {
      const auto& members = value.members();
      if (members.empty()) {
        out.append("{}");
        return;
      }
      out.push_back('{');
      for (size_t i = 0; i < members.size(); ++i) {
        if (i > 0) out.push_back(',');
        if (width > 0) newline_indent(out, width * (depth + 1));
        write_json_string(out, members[i].key);
        out.append(width > 0 ? ": " : ":");
        write_json(out, members[i].value, width, depth + 1);
      }
      if (width > 0) newline_indent(out, width * depth);
      out.push_back('}');
      return;
    }
  }
}

std::string to_json(const Value& value, uint64_t width) {
  std::string out;
  write_json(out, value, width, 0);
  return out;
}

template class EscapedSink<std::string>;
template class EscapedSink<HeapBuffer>;
template class EscapedSink<EscapedSink<HeapBuffer>>;
template void write_json(std::string&, const Value&, uint64_t, uint64_t);
template void write_json(HeapBuffer&, const Value&, uint64_t, uint64_t);
template void write_json(EscapedSink<HeapBuffer>&, const Value&, uint64_t, uint64_t);
template void write_json_string(std::string&, std::string_view);
template void write_json_string(HeapBuffer&, std::string_view);
template void write_json_string(EscapedSink<HeapBuffer>&, std::string_view);

}  // namespace tersolite::json
