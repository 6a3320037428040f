#include "json/json_writer.h"

#include <gtest/gtest.h>

#include "json/json_reader.h"
#include "json/json_rewrite.h"
#include "support/doc_gen.h"
#include "value/utf8.h"

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

TEST(JsonRewrite, WritesWhatTheTreeWriterWrites) {
  std::vector<std::string> texts = {
      " [ ] ",
      "{ }",
      "\t{\r\n\"a\" :\n[ 1 , -2.5e+3 ,{ } , [ ] ,true,false,null ] }\n",
      R"(["\/\u0041\u00e9\ud83d\ude00", "\ud800", "\udc00\ud800x", "\"\\\b\f\n\r\t\u0001\u001f"])",
      R"({"k\u0022ey":"v","":"","a":{"a":{"a":[[[]]]}}})",
      "\"\xE2\x80\xA8 line separator\"",
      "-0",
      "[0.5E-7,1e1,12345678901234567890123]",
  };
  testing::DocGen gen(7);
  for (int i = 0; i < 200; ++i) {
    Value v = gen.value();
    texts.push_back(to_json(v, static_cast<uint64_t>(i % 3)));
  }
  for (const std::string& text : texts) {
    auto v = read_json(text);
    ASSERT_TRUE(v) << text;
    for (uint64_t width : {0, 1, 4}) {
      std::string rewritten;
      rewrite_json(rewritten, text, width);
      EXPECT_EQ(to_json(*v, width), rewritten) << text << " at width " << width;
      // Counted without writing, and only up to the limit.
      uint64_t chars = char_count(rewritten);
      EXPECT_EQ(rewritten_chars(text, width, chars), chars) << text << " at width " << width;
      EXPECT_EQ(rewritten_chars(text, width, chars - 1), std::nullopt) << text << " at width " << width;
    }
  }
}

// The count stands in for the reader's verdict: it must never take a text
// the reader turns down. Near misses of every construct, both ways.
TEST(JsonRewrite, CountsWhatTheReaderAcceptsAndNothingElse) {
  std::vector<std::string> texts = {
      "", " ", "[", "]", "[1,]", "[,1]", "[1 2]", "{\"a\"}", "{\"a\":}", "{\"a\":1,}", "{,}", "{1:2}",
      "{\"a\" : 1 , \"b\":[]}", "[1]]", "[1] x", "[] []", "tru", "true", "nul", "nulll", "falsey",
      "-", "-0", "01", "1.", ".5", "1.5e", "1e+", "1E-9", "-0.0e0", "+1", "0x1",
      "\"", "\"abc", "\"a\tb\"", "\"a\x01\"", "\"\\\"", "\"\\q\"", "\"\\u12\"", "\"\\u12G4\"",
      "\"\\u00e9\"", "\"\\uD83D\\uDE00\"", "\"\\uD83D\"", "\"\\uDE00\\uD83D\"", "\"\\uD83D\\u12\"",
      "\"\\uD83D\\u0041\"", "\"\\uD83D\\\"", "\"\\uD83D\\n\"", "\"\xC3\xA9\"", "[\"\\/\\b\\f\\r\"]",
      std::string(kMaxDepth, '[') + std::string(kMaxDepth, ']'),
      std::string(kMaxDepth + 1, '[') + std::string(kMaxDepth + 1, ']'),
      std::string(kMaxDepth, '[') + "{\"a\":1}" + std::string(kMaxDepth, ']'),
      std::string(kMaxDepth, '[') + "{}" + std::string(kMaxDepth, ']'),
  };
  for (const std::string& text : texts) {
    auto v = read_json(text);
    for (uint64_t width : {0, 2}) {
      auto chars = rewritten_chars(text, width, UINT64_MAX);
      ASSERT_EQ(v.has_value(), chars.has_value()) << text << " at width " << width;
      if (chars) EXPECT_EQ(char_count(to_json(*v, width)), *chars) << text << " at width " << width;
    }
  }
}

}  // namespace
}  // namespace tersolite::json
