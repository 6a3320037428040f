#include "lib/options.h"

#include <gtest/gtest.h>

#include "json/json_reader.h"

namespace tersolite {
namespace {

Expected<Options, std::string> options_of(std::string_view text) {
  auto v = json::read_json(text);
  EXPECT_TRUE(v) << text;
  return build_options(*v);
}

std::string problem_of(std::string_view text) {
  auto o = options_of(text);
  return o ? "ok" : o.error();
}

TEST(Options, EmptyObjectGivesDefaults) {
  auto o = options_of("{}");
  ASSERT_TRUE(o);
  EXPECT_EQ(10000u, o->max_chars);
  EXPECT_EQ(2u, o->indent);
  EXPECT_EQ(500u, o->string_head_chars);
  EXPECT_EQ(100u, o->string_section_chars);
  EXPECT_EQ(16u, o->string_min_section_chars);
  EXPECT_EQ(3u, o->max_samples);
  EXPECT_EQ(40u, o->min_partial_chars);
  EXPECT_TRUE(o->keep_last_item);
  EXPECT_FALSE(o->explain);
  EXPECT_EQ(ArrayStrategy::kSample, o->array_strategy);
  EXPECT_EQ(Format::kAuto, o->format);
  EXPECT_EQ(Format::kAuto, o->input_format);
  EXPECT_EQ(ScorerKind::kHeuristic, o->field_scorer);
  EXPECT_TRUE(o->protect.empty());
  EXPECT_FALSE(o->query);
}

TEST(Options, RejectsEachBadMemberWithItsMessage) {
  struct Case {
    const char* text;
    const char* problem;
  } cases[] = {
      {"[]", "options must be a JSON object"},
      {"null", "options must be a JSON object"},
      {R"({"max_chars":1.5})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":-1})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":-0})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":1e3})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":"100"})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":null})", "max_chars must be a non-negative integer"},
      {R"({"max_chars":18446744073709551615})", "ok"},
      {R"({"max_chars":18446744073709551616})", "max_chars must be a non-negative integer"},
      {R"({"indent":true})", "indent must be a non-negative integer"},
      {R"({"indent":32})", "ok"},
      {R"({"indent":33})", "indent must be at most 32"},
      {R"({"indent":1000000000000000})", "indent must be at most 32"},
      {R"({"string_head_chars":0.0})", "string_head_chars must be a non-negative integer"},
      {R"({"string_section_chars":[]})", "string_section_chars must be a non-negative integer"},
      {R"({"string_min_section_chars":{}})", "string_min_section_chars must be a non-negative integer"},
      {R"({"max_samples":"3"})", "max_samples must be a non-negative integer"},
      {R"({"min_partial_chars":-5})", "min_partial_chars must be a non-negative integer"},
      {R"({"keep_last_item":0})", "keep_last_item must be a boolean"},
      {R"({"keep_last_item":null})", "keep_last_item must be a boolean"},
      {R"({"explain":"true"})", "explain must be a boolean"},
      {R"({"array_strategy":"first"})", R"(array_strategy must be "sample" or "condense")"},
      {R"({"array_strategy":1})", R"(array_strategy must be "sample" or "condense")"},
      {R"({"format":"xml"})", R"(format must be "auto", "json" or "yaml")"},
      {R"({"format":1})", R"(format must be "auto", "json" or "yaml")"},
      {R"({"input_format":"toml"})", R"(input_format must be "auto", "json" or "yaml")"},
      {R"({"field_scorer":3})", "field_scorer must be a string"},
      {R"({"field_scorer":""})", R"(field_scorer must be one of ["heuristic", "compact", "key_order"])"},
      {R"({"field_scorer":"key order"})", R"(field_scorer must be one of ["heuristic", "compact", "key_order"])"},
      {R"({"protect":["a",1]})", "protect must be a list of strings"},
      {R"({"protect":{}})", "protect must be a list of strings"},
      {R"({"protect":null})", "protect must be a list of strings"},
      {R"({"Max_chars":1})", "unknown option: Max_chars"},
      {R"({"explain":true,"bogus":1,"max_chars":"x"})", "unknown option: bogus"},
      {R"({"indent":1,"format":"yaml"})", "YAML indent must be at least 2"},
      {R"({"format":"yaml","indent":1})", "YAML indent must be at least 2"},
      {R"({"format":"YML","indent":0})", "YAML indent must be at least 2"},
      {R"({"indent":1})", "ok"},
      {R"({"arguments":[null,{"x":true}]})", "ok"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.problem, problem_of(c.text)) << c.text;
}

TEST(Options, ReadsSpellingsCaseInsensitively) {
  auto o =
      options_of(R"({"format":"YML","input_format":"Json","array_strategy":"CONDENSE","field_scorer":"Key-Order"})");
  ASSERT_TRUE(o);
  EXPECT_EQ(Format::kYaml, o->format);
  EXPECT_EQ(Format::kJson, o->input_format);
  EXPECT_EQ(ArrayStrategy::kCondense, o->array_strategy);
  EXPECT_EQ(ScorerKind::kKeyOrder, o->field_scorer);
  for (const char* s : {"KEY_ORDER", "keyorder", "key-order"}) {
    auto k = options_of(std::string(R"({"field_scorer":")") + s + "\"}");
    ASSERT_TRUE(k);
    EXPECT_EQ(ScorerKind::kKeyOrder, k->field_scorer) << s;
  }
}

TEST(Options, LaterDuplicateWins) {
  auto o = options_of(R"({"max_chars":5,"max_chars":7,"protect":"a/b","protect":["x","y"]})");
  ASSERT_TRUE(o);
  EXPECT_EQ(7u, o->max_chars);
  EXPECT_EQ((std::vector<std::string>{"x", "y"}), o->protect);
  auto single = options_of(R"({"protect":"a/b"})");
  ASSERT_TRUE(single);
  EXPECT_EQ((std::vector<std::string>{"a/b"}), single->protect);
}

TEST(Options, BuildsQueryFromArguments) {
  struct Case {
    const char* text;
    std::optional<std::string> query;
  } cases[] = {
      {R"({"arguments":{"q":"disk usage","n":5,"flag":true,"tags":["x",null]}})", "disk usage 5 x"},
      {R"({"arguments":"   "})", std::nullopt},
      {R"({"arguments":"a","arguments":""})", std::nullopt},
      {R"({"arguments":"a","arguments":"b"})", "b"},
      {R"({"arguments":[" lead",1.50]})", " lead 1.50"},
      {R"({"arguments":{"k":"\u3000\n"}})", std::nullopt},
      {R"({"arguments":{"only":null}})", std::nullopt},
  };
  for (const auto& c : cases) {
    auto o = options_of(c.text);
    ASSERT_TRUE(o) << c.text;
    EXPECT_EQ(c.query, o->query) << c.text;
  }
}

}  // namespace
}  // namespace tersolite
