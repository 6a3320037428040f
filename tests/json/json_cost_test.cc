#include "json/json_cost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_reader.h"
#include "json/json_writer.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

// What the cost model predicts for `v` written at `depth`, built from its
// pieces alone.
uint64_t predicted(const Layout& layout, const Value& v, uint64_t depth) {
  if (v.is_scalar()) return scalar_written_size(v);
  uint64_t sum = container_overhead(layout, v.size(), depth);
  if (v.is_array()) {
    for (const Value& item : v.items()) sum += predicted(layout, item, depth + 1);
  } else {
    for (const Member& m : v.members()) sum += member_key_cost(layout, m.key) + predicted(layout, m.value, depth + 1);
  }
  return sum;
}

TEST(JsonCost, StringsCostWhatTheWriterWrites) {
  const std::vector<std::string> texts = {
      "",
      "plain",
      "quote \" and backslash \\",
      "\b\f\n\r\t",
      std::string("\x00\x01\x1f", 3),  // \u00XX escapes
      "\x7f",                          // DEL stands as it is
      "caf\xC3\xA9 \xE2\x80\xA6 \xF0\x9F\x98\x80",
      std::string(40, 'x') + "\n" + std::string(21, '"'),  // sixteen at a time, then the tail
      [] {
        std::string s;
        for (int i = 0; i < 20; ++i) s += "\xC3\xA9\x01";  // non-ASCII beside controls
        return s;
      }(),
      "/",  // never escaped
  };
  for (const std::string& raw : texts) {
    ASSERT_TRUE(is_valid_utf8(raw));
    std::string written = json::to_json(Value::string(raw));
    StringSizes sizes = json_string_sizes(raw);
    EXPECT_EQ(char_count(written), sizes.written) << written;
    EXPECT_EQ(char_count(written), json_string_size(raw)) << written;
    EXPECT_EQ(char_count(raw), sizes.chars) << written;
    Text key(raw);
    EXPECT_EQ(char_count(written), key_size(key)) << written;
    EXPECT_EQ(char_count(written) + 1, member_key_cost(Layout{0}, key)) << written;
    EXPECT_EQ(char_count(written) + 2, member_key_cost(Layout{2}, key)) << written;
  }
}

TEST(JsonCost, DocumentsCostWhatTheWriterWritesInEveryLayout) {
  const char* docs[] = {
      "null",
      "[true,false,-1.5e3]",
      "[]",
      "{}",
      "[[],{},[[]],{\"a\":{}}]",
      R"({"k\u00e9y":"v\n","":[1,{"x":[null]}],"q\"":{"deep":{"deeper":["\u0001"]}}})",
      R"([{"id":1,"tags":["a","b"]},{"id":2,"tags":[]},{"id":3}])",
  };
  for (const char* text : docs) {
    auto doc = json::read_json(text);
    ASSERT_TRUE(doc.has_value()) << text;
    for (uint64_t width : {0, 1, 2, 8}) {
      Layout layout{width};
      EXPECT_EQ(char_count(json::to_json(*doc, width)), predicted(layout, *doc, 0)) << text << " width " << width;
    }
  }
}

// Each entry's share and the frame add up to the whole overhead, which the
// planner relies on when it prices fields one at a time.
TEST(JsonCost, OverheadIsEntriesAndFrame) {
  for (uint64_t width : {0, 1, 2, 8}) {
    Layout layout{width};
    for (uint64_t depth : {0, 1, 5}) {
      EXPECT_EQ(2u, container_overhead(layout, 0, depth));
      for (uint64_t n : {1, 2, 7}) {
        EXPECT_EQ(n * entry_overhead(layout, depth) + container_frame(layout, depth),
                  container_overhead(layout, n, depth));
      }
    }
  }
}

}  // namespace
}  // namespace tersolite
