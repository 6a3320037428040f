// The JSON reader on any valid UTF-8: a value or a positioned error, and a
// value written compactly reads back to itself.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "invariants.h"
#include "json/json_rewrite.h"
#include "json/json_writer.h"
#include "value/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tersolite;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!is_valid_utf8(text)) return 0;
  auto v = json::read_json(text);
  // The count that answers a document that fits without its tree takes
  // what the reader takes, and counts what the rewriter writes.
  auto chars = json::rewritten_chars(json::without_bom(text), 2, UINT64_MAX);
  fuzz::check(chars.has_value() == v.has_value(), "the count and the reader disagree");
  if (chars) {
    std::string rewritten;
    json::rewrite_json(rewritten, json::without_bom(text), 2);
    fuzz::check(char_count(rewritten) == *chars, "the count is not what the rewriter writes", rewritten);
  }
  if (!v) {
    fuzz::check(v.error().line >= 1 && v.error().column >= 1, "position from 1");
    return 0;
  }
  for (uint64_t width : {0, 3}) {
    std::string out = json::to_json(*v, width);
    auto back = json::read_json(out);
    fuzz::check(back.has_value() && *back == *v, "written JSON does not read back", out);
  }
  return 0;
}
