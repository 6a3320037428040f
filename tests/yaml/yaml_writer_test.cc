#include "yaml/yaml_writer.h"

#include <gtest/gtest.h>

#include "json/json_reader.h"
#include "json/json_writer.h"
#include "support/doc_gen.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"

namespace tersolite::yaml {
namespace {

std::string yaml_of(std::string_view json_text, uint64_t width = 2) {
  auto v = json::read_json(json_text);
  EXPECT_TRUE(v) << json_text;
  return write_yaml(*v, width);
}

TEST(YamlWriter, WritesScalarsPlainOrQuoted) {
  struct Case {
    const char* json;
    const char* yaml;
  } cases[] = {
      {"null", "null\n"},
      {"{}", "{}\n"},
      {"[]", "[]\n"},
      {"\"abc\"", "abc\n"},
      {"1.50", "1.50\n"},
      {"\"true\"", "\"true\"\n"},
      {"\"Yes\"", "\"Yes\"\n"},
      {"\"NULL\"", "\"NULL\"\n"},
      {"\"123\"", "\"123\"\n"},
      {"\"-1\"", "\"-1\"\n"},
      {"\".5\"", "\".5\"\n"},
      {"\"+.5\"", "\"+.5\"\n"},
      {"\"-\"", "\"-\"\n"},
      {"\"a: b\"", "\"a: b\"\n"},
      {"\"ends:\"", "\"ends:\"\n"},
      {"\"1a\"", "\"1a\"\n"},
      {"\"nan\"", "nan\n"},
      {"\"a-b\"", "a-b\n"},
      {"\"a #b\"", "\"a #b\"\n"},
      {"\"\"", "\"\"\n"},
      {"\" lead\"", "\" lead\"\n"},
      {"\"tab\\there\"", "\"tab\\there\"\n"},
      {"\"bell\\u0007\"", "\"bell\\u0007\"\n"},
      {"\"line\\u2028sep\"", "\"line\\u2028sep\"\n"},
      {"\"\\u00e9t\\u00e9\"", "\xC3\xA9t\xC3\xA9\n"},
      {"\"say \\\"hi\\\"\"", "say \"hi\"\n"},
      {"\"#tag\"", "\"#tag\"\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.yaml, yaml_of(c.json)) << c.json;
}

TEST(YamlWriter, WritesBlocksAndNesting) {
  struct Case {
    const char* json;
    uint64_t width;
    const char* yaml;
  } cases[] = {
      {R"({"k":"first\nsecond"})", 2, "k: |-\n  first\n  second\n"},
      {R"({"k":"first\nsecond\n"})", 2, "k: |\n  first\n  second\n"},
      {R"({"k":"first\nsecond\n\n"})", 2, "k: |+\n  first\n  second\n\n"},
      {R"({"k":" first\nsecond"})", 2, "k: \" first\\nsecond\"\n"},
      {R"({"k":"a\r\nb"})", 2, "k: \"a\\r\\nb\"\n"},
      {R"("top\nlevel")", 2, "|-\n  top\n  level\n"},
      {R"([{"a":1,"b":2},{"c":3}])", 2, "- a: 1\n  b: 2\n- c: 3\n"},
      {R"([{"a":1,"b":2},{"c":3}])", 4, "-   a: 1\n    b: 2\n-   c: 3\n"},
      {R"([[1,2],[3]])", 2, "- - 1\n  - 2\n- - 3\n"},
      {R"({"key":[]})", 2, "key: []\n"},
      {R"({"key":[1,"x"]})", 2, "key:\n  - 1\n  - x\n"},
      {R"({"":1,"-k":2,"true":3})", 2, "\"\": 1\n\"-k\": 2\n\"true\": 3\n"},
      {R"({"a":{"b":{"c":null}}})", 3, "a:\n   b:\n      c: null\n"},
      {R"(["x\ny"])", 2, "- |-\n  x\n  y\n"},
      // Line feeds alone are quoted: as a block they would read back empty.
      {R"({"k":"\n"})", 2, "k: \"\\n\"\n"},
      {R"({"k":"\n\n"})", 2, "k: \"\\n\\n\"\n"},
      {R"({"k":"\nafter an empty line"})", 2, "k: |-\n\n  after an empty line\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.yaml, yaml_of(c.json, c.width)) << c.json;
    auto back = read_yaml(c.yaml);
    ASSERT_TRUE(back) << c.yaml;
    EXPECT_EQ(*json::read_json(c.json), *back) << c.yaml;
  }
}

// Implicit keys longer than 1024 characters are not YAML: such keys are
// written as explicit "? key" entries, which read back the same.
TEST(YamlWriter, WritesLongKeysExplicitly) {
  std::string key(1100, 'k');
  EXPECT_EQ("? " + key + "\n: 1\n", yaml_of("{\"" + key + "\":1}"));
  for (std::string doc : {"{\"" + key + "\":[1,{\"x\":2}]}", "[{\"" + key + "\":\"v\",\"b\":null}]",
                          "{\"a\":{\"" + key + " \":\"two\\nlines\"}}"}) {
    auto v = json::read_json(doc);
    auto back = read_yaml(write_yaml(*v, 2));
    ASSERT_TRUE(back) << back.error() << "\n" << write_yaml(*v, 2);
    EXPECT_TRUE(*back == *v) << write_yaml(*v, 2);
  }
}

// Writing YAML and reading it back gives the same data, whether the tree
// owns its parts or lives in an arena; counting gives the written size.
TEST(YamlWriter, RoundTripsGeneratedDocuments) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    Value doc = testing::DocGen(seed, /*yaml_safe=*/true).value();
    for (uint64_t width : {2, 3}) {
      std::string text = write_yaml(doc, width);
      ASSERT_EQ(char_count(text), yaml_written_size(doc, width)) << "seed " << seed << "\n" << text;
      auto back = read_yaml(text);
      ASSERT_TRUE(back) << "seed " << seed << ": " << back.error() << "\n" << text;
      ASSERT_EQ(json::to_json(doc), json::to_json(*back)) << "seed " << seed << "\n" << text;
      Arena arena;
      auto borrowed = read_yaml(text, &arena);
      ASSERT_TRUE(borrowed && *borrowed == *back) << "seed " << seed;
    }
  }
}

}  // namespace
}  // namespace tersolite::yaml
