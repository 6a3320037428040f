#include "json_text.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <string>

namespace tersolite_cli {
namespace {

constexpr const char* kReport =
    R"({"output_chars":3,"fits":true,"field_decisions":[{"path":"/a","score":0.25,"kept":true}],"dropped_fields":[]})";

// What a reader makes of `raw`: "<unread>", "error: ...", or the text.
std::string read(EnvelopeReader& reader, std::string_view raw) {
  Envelope envelope = Envelope::copy_of(raw);
  if (!reader.read(envelope)) return "<unread>";
  EXPECT_TRUE(envelope.raw().empty());  // the reader took it
  if (!reader.ok()) return "error: " + std::string(reader.error());
  return std::string(reader.text());
}

TEST(EnvelopeReader, ReadsAnswersAndErrors) {
  struct Case {
    std::string raw;
    std::string read;
  };
  const std::string report = std::string(",\"report\":") + kReport + "}";
  const Case cases[] = {
      {R"({"ok":true,"text":"[\n  1,\n  \"\u00e9\\\"\"\n]")" + report, "[\n  1,\n  \"\xC3\xA9\\\"\"\n]"},
      {R"({"ok":true,"text":"")" + report, ""},
      {R"({"ok":true,"text":"x: \ud83d\ude00\n")" + report, "x: \xF0\x9F\x98\x80\n"},
      // Members in another order or spaced out are read all the same.
      {std::string(R"({"ok":true,"report":)") + kReport + R"(,"text":"a\tb"})", "a\tb"},
      {std::string(R"({ "ok" : true , "text" : "a\"b" , "report" : )") + kReport + " }", "a\"b"},
      {R"({"ok":true,"text":"a\"b" )" + report, "a\"b"},
      {R"({"ok":false,"error":"invalid JSON input: \"x\" at line 1, column 2"})",
       "error: invalid JSON input: \"x\" at line 1, column 2"},
      // Not the expected object.
      {"", "<unread>"},
      {"[]", "<unread>"},
      {R"({"ok":true,"text":"abc)", "<unread>"},                         // cut short
      {R"({"ok":true,"text":"abc"})", "<unread>"},                       // no report
      {R"({"ok":true,"text":"abc")", "<unread>"},                        // no end
      {R"({"ok":true,"text":"abc"x)" + report, "<unread>"},              // garbage after the text
      {R"({"ok":true,"text":"abc")" + report + "x", "<unread>"},         // ... after the envelope
      {R"({"ok":true,"text":"a\x")" + report, "<unread>"},               // a bad escape
      {R"({"ok":true,"text":"a\ud800")" + report, "<unread>"},           // a lone surrogate
      {"{\"ok\":true,\"text\":\"a\x01\"" + report, "<unread>"},          // a control character
      {"{\"ok\":true,\"text\":\"caf\xC3\"" + report, "<unread>"},        // not UTF-8 in the text
      {"{\"ok\":true,\"text\":\"ab\"" + report + "\xFF", "<unread>"},    // ... after it
      {R"({"ok":true,"text":"ab","report":{"fits":[1]}})", "<unread>"},  // a list of numbers
      {R"({"ok":1,"text":"ab")" + report, "<unread>"},
  };
  EnvelopeReader reader;  // one reader for all: each read stands alone
  for (const Case& c : cases) EXPECT_EQ(c.read, read(reader, c.raw)) << c.raw;
}

TEST(EnvelopeReader, ReadsTheReport) {
  EnvelopeReader reader;
  ASSERT_EQ("ab", read(reader, std::string(R"({"ok":true,"text":"ab","report":)") + kReport + "}"));
  const Report& report = reader.report();
  EXPECT_EQ("3", report.get("output_chars"));
  EXPECT_EQ("true", report.get("fits"));
  EXPECT_EQ("?", report.get("missing"));
  ASSERT_EQ(1u, report.list("field_decisions").size());
  EXPECT_EQ("/a", report.list("field_decisions")[0].get("path"));
  EXPECT_EQ("0.25", report.list("field_decisions")[0].get("score"));
  EXPECT_TRUE(report.list("dropped_fields").empty());
}

// The library's own answers, their text as simdjson reads it.
TEST(EnvelopeReader, ReadsTheLibrarysAnswers) {
  const char* documents[] = {
      R"({"a":"\ud800 lone","b":"\udc00\ud83d\ude00 \u0000\u001f\b\f\n\r\t\"\\\/ é ☃"})",
      "[]",
      "\"\"",
      "key: \"tab\\there\"\nlist: [1, 2]\n",
  };
  const char* options[] = {"{}", R"({"indent":0})", R"({"format":"yaml"})", R"({"max_chars":20})"};
  simdjson::dom::parser parser;
  EnvelopeReader reader;
  for (const char* document : documents) {
    for (const char* option : options) {
      Envelope envelope = Envelope::shrink(document, option);
      std::string raw(envelope.raw());
      std::string_view expected;
      ASSERT_EQ(simdjson::SUCCESS, parser.parse(raw)["text"].get_string().get(expected)) << raw;
      ASSERT_TRUE(reader.read(envelope)) << raw;
      EXPECT_TRUE(reader.ok());
      EXPECT_EQ(expected, reader.text()) << raw;
      EXPECT_NE("?", reader.report().get("output_chars")) << raw;
    }
  }
}

}  // namespace
}  // namespace tersolite_cli
