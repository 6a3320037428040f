// Small or strange inputs that could cost unbounded time or memory are
// answered promptly, with bounded work.
#include <gtest/gtest.h>

#include "lib/pipeline.h"

namespace tersolite {
namespace {

bool ok(const std::string& env) { return env.rfind("{\"ok\":true,", 0) == 0; }

std::string field(const std::string& env, const std::string& key) {
  size_t at = env.find("\"" + key + "\":");
  if (at == std::string::npos) return "";
  size_t start = at + key.size() + 3;
  return env.substr(start, env.find_first_of(",}", start) - start);
}

TEST(Hostile, AFiftyMegabyteStringShrinksToItsBudget) {
  std::string doc = "{\"log\":\"" + std::string(50u << 20, 'x') + "\"}";
  std::string env = run_request(doc, R"({"max_chars":10000})");
  ASSERT_TRUE(ok(env));
  EXPECT_EQ("true", field(env, "fits"));
  EXPECT_EQ("1", field(env, "strings_truncated"));
}

TEST(Hostile, AMillionTinyMembers) {
  std::string doc = "{";
  for (int i = 0; i < 1000000; ++i) doc += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i % 10);
  doc += "}";
  for (const char* options :
       {R"({"max_chars":5000,"indent":0})", R"({"max_chars":5000,"array_strategy":"condense"})"}) {
    std::string env = run_request(doc, options);
    ASSERT_TRUE(ok(env));
    EXPECT_EQ("true", field(env, "fits"));
  }
}

TEST(Hostile, VeryLongKeysAndExtremeOptions) {
  std::string key(1u << 20, 'k');
  std::string doc = "[{\"" + key + "\":1,\"b\":\"" + std::string(5000, 'y') + "\"}]";
  EXPECT_TRUE(ok(run_request(doc, R"({"max_chars":100})")));
  EXPECT_TRUE(ok(run_request(doc, R"({"max_chars":100,"format":"yaml"})")));
  for (const char* options :
       {R"({"max_chars":0})", R"({"max_chars":18446744073709551615})",
        R"({"max_chars":300,"string_head_chars":18446744073709551615,"string_section_chars":0})",
        R"({"max_chars":300,"string_min_section_chars":18446744073709551615,"max_samples":18446744073709551615})",
        R"({"max_chars":300,"min_partial_chars":18446744073709551615,"indent":32})"}) {
    EXPECT_TRUE(ok(run_request(doc, options))) << options;
  }
  EXPECT_EQ(R"({"ok":false,"error":"invalid options: indent must be at most 32"})",
            run_request("[]", R"({"indent":1000000000000000})"));
}

TEST(Hostile, DeepIndentStaysBounded) {
  std::string doc = std::string(512, '[') + std::string(512, ']');
  std::string env = run_request(doc, R"({"max_chars":100,"indent":32})");
  ASSERT_TRUE(ok(env));
  EXPECT_EQ("true", field(env, "fits"));
}

}  // namespace
}  // namespace tersolite
