#include "lib/pipeline.h"

#include <gtest/gtest.h>

namespace tersolite {
namespace {

constexpr const char* kZeroReport =
    R"("strings_truncated":0,"arrays_sampled":0,"items_omitted":0,"objects_trimmed":0,)"
    R"("keys_omitted":0,"containers_collapsed":0,"arrays_condensed":0,"protected_omitted":0,)"
    R"("field_decisions":[],"fields_dropped":0,"dropped_fields":[]})";

std::string fitted(const char* text, int chars, int budget, const char* in = "json", const char* out = "json") {
  return std::string(R"({"ok":true,"text":)") + text + R"(,"report":{"input_chars":)" + std::to_string(chars) +
         R"(,"output_chars":)" + std::to_string(chars) + R"(,"max_chars":)" + std::to_string(budget) +
         R"(,"format":")" + out + R"(","input_format":")" + in + R"(","pruned":false,"fits":true,)" + kZeroReport + "}";
}

TEST(Pipeline, AnswersBadRequestsWithTheirMessages) {
  struct Case {
    std::string input;
    std::string options;
    const char* error;
  } cases[] = {
      {"\xFF", "\xFF", "input is not valid UTF-8"},
      {"{}", "\xC0\xAF", "options are not valid UTF-8"},
      {"{}", "", "invalid options JSON: unexpected end of input at line 1, column 1"},
      {"{}", "{\"max_chars\":}", "invalid options JSON: unexpected character at line 1, column 14"},
      {"{}", "[]", "invalid options: options must be a JSON object"},
      {"{}", R"({"foo":1})", "invalid options: unknown option: foo"},
      {"", "{}", "invalid JSON input: unexpected end of input at line 1, column 1"},
      {" \n", "{}", "invalid JSON input: unexpected end of input at line 2, column 1"},
      {"{\"a\": 1,}", "{}", "invalid JSON input: expected string key at line 1, column 9"},
      {"\xEF\xBB\xBF{\"a\": 1,}", "{}", "invalid JSON input: expected string key at line 1, column 9"},
      {"[1,]", R"({"input_format":"json"})", "invalid JSON input: unexpected character at line 1, column 4"},
      {"\"\\q\"", "{}", "invalid JSON input: invalid escape at line 1, column 4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(R"({"ok":false,"error":")") + c.error + "\"}", run_request(c.input, c.options))
        << c.input << " / " << c.options;
  }
}

TEST(Pipeline, EscapesMessagesInTheEnvelope) {
  EXPECT_EQ(R"({"ok":false,"error":"invalid options: unknown option: a\"b\\c\n"})",
            run_request("1", "{\"a\\\"b\\\\c\\n\":1}"));
}

TEST(Pipeline, ReturnsFittingDocumentsAsWritten) {
  EXPECT_EQ(fitted(R"("{\"a\":[1,2]}")", 11, 11), run_request(R"({ "a" : [1, 2] })", R"({"indent":0,"max_chars":11})"));
  EXPECT_EQ(fitted(R"("{\n  \"a\": 1.50\n}")", 15, 100), run_request(R"({"a":1.50})", R"({"max_chars":100})"));
  EXPECT_EQ(fitted(R"("[]")", 2, 2), run_request("[]", R"({"max_chars":2,"indent":0})"));
  EXPECT_EQ(fitted("\"\\\"\xC3\xA9\\\"\"", 3, 3), run_request("\"\\u00e9\"", R"({"max_chars":3,"indent":0})"));
}

}  // namespace
}  // namespace tersolite
