#include "json/json_writer.h"

#include <gtest/gtest.h>

#include "json/json_reader.h"

namespace tersolite::json {
namespace {

std::string rewrite(std::string_view text, uint64_t width) {
  auto v = read_json(text);
  if (!v) return "parse error: " + v.error().text();
  return to_json(*v, width);
}

TEST(JsonWriter, WritesBothLayouts) {
  struct Case {
    const char* in;
    uint64_t width;
    const char* out;
  } cases[] = {
      {R"({"a":[1,2]})", 0, R"({"a":[1,2]})"},
      {R"({"a":[1,2]})", 2, "{\n  \"a\": [\n    1,\n    2\n  ]\n}"},
      {R"([{}, [], {"b":null}])", 2, "[\n  {},\n  [],\n  {\n    \"b\": null\n  }\n]"},
      {R"([true,false])", 3, "[\n   true,\n   false\n]"},
      {" [ ] ", 2, "[]"},
      {"1E+2", 2, "1E+2"},
      {R"({"a":1,"a":2})", 0, R"({"a":1,"a":2})"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, rewrite(c.in, c.width)) << c.in;
}

TEST(JsonWriter, EscapesOnlyWhatMustBeEscaped) {
  struct Case {
    std::string text;
    const char* literal;
  } cases[] = {
      {"\t\x1B\xC3\xA9", "\"\\t\\u001b\xC3\xA9\""},
      {"\"\\/", "\"\\\"\\\\/\""},
      {"\b\f\n\r", "\"\\b\\f\\n\\r\""},
      {std::string("\0\x1F\x7F", 3), "\"\\u0000\\u001f\x7F\""},
      {"\xE2\x80\xA8\xE2\x80\xA9", "\"\xE2\x80\xA8\xE2\x80\xA9\""},
  };
  for (const auto& c : cases) {
    std::string out;
    write_json_string(out, c.text);
    EXPECT_EQ(c.literal, out);
  }
}

}  // namespace
}  // namespace tersolite::json
