#include "json_string.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tersolite_cli {
namespace {

// `literal` (a string literal's contents, closing quote and what follows
// included) decoded; "<fails>" when it is refused.
std::string decode(std::string_view literal, size_t* read = nullptr) {
  std::vector<char> bytes(literal.begin(), literal.end());  // nothing to read past it
  DecodedString out{};
  if (!decode_string_in_place(bytes.data(), bytes.size(), out)) return "<fails>";
  if (read != nullptr) *read = out.read;
  return {bytes.data(), out.length};
}

TEST(DecodeStringInPlace, DecodesEveryEscape) {
  struct Case {
    const char* literal;
    std::string decoded;
  };
  const Case cases[] = {
      {R"(")", ""},
      {R"(plain")", "plain"},
      {R"(\"")", "\""},
      {R"(\\")", "\\"},
      {R"(\/")", "/"},
      {R"(\b\f\n\r\t")", "\b\f\n\r\t"},
      {R"(\u0000")", std::string(1, '\0')},
      {R"(\u001f\u007F")", "\x1f\x7f"},
      {R"(\u00e9\u00E9")", "\xC3\xA9\xC3\xA9"},
      {R"(\u07ff\u0800")", "\xDF\xBF\xE0\xA0\x80"},
      {R"(\u2603\uFFFD\uffff")", "\xE2\x98\x83\xEF\xBF\xBD\xEF\xBF\xBF"},
      {R"(\ud83d\ude00")", "\xF0\x9F\x98\x80"},
      {R"(\uD800\uDC00\uDBFF\uDFFF")", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"caf\xC3\xA9 \xE2\x98\x83\"", "caf\xC3\xA9 \xE2\x98\x83"},
      {R"(a\\"b")", "a\\"},  // the escaped backslash does not escape the quote
  };
  for (const Case& c : cases) EXPECT_EQ(c.decoded, decode(c.literal)) << c.literal;
}

TEST(DecodeStringInPlace, StopsAtTheClosingQuote) {
  size_t read = 0;
  EXPECT_EQ("ab", decode(R"(ab","next":"x"})", &read));
  EXPECT_EQ(3u, read);
  EXPECT_EQ("a\"b", decode(R"(a\"b"  )", &read));
  EXPECT_EQ(5u, read);
  EXPECT_EQ("", decode(R"(" "more")", &read));
  EXPECT_EQ(1u, read);
}

TEST(DecodeStringInPlace, RefusesWhatIsNotAString) {
  const char* cases[] = {
      "",                  // nothing
      "abc",               // no closing quote
      "\\",                // an escape cut short
      R"(\")",             // the only quote is escaped
      R"(\x")",            // not an escape
      R"(\U0041")",        // upper-case u
      R"(\')",             // not JSON
      R"(\u12")",          // too few digits
      R"(\u12G4")",        // not hex
      R"(\u")",            // no digits
      R"(\ud800")",        // a lone high surrogate
      R"(\ud800x")",       // ... before a character
      R"(\ud800\n")",      // ... before another escape
      R"(\ud800\u0041")",  // ... before a code point that is not low
      R"(\ud800\ud800")",  // ... before another high one
      R"(\udc00")",        // a lone low surrogate
      R"(\udfff\ud800")",  // a pair in the wrong order
      R"(\ud800\udc0")",   // a pair cut short
      R"(\ud800\u)",       // ... and no closing quote
      // Control characters, unescaped.
      "a\x01\"", "a\tb\"", "\x1f\"",
      "0123456789abcdefghij\nklmnop\"",  // beyond the first block
  };
  for (const char* literal : cases) EXPECT_EQ("<fails>", decode(literal)) << literal;
}

// Every escape at every offset from a block's start, after runs of escapes
// that leave the decoded text from 0 to 20 bytes behind the literal, and
// before plain runs that end within, at and past a block.
TEST(DecodeStringInPlace, EscapesAtEveryOffset) {
  struct Escape {
    const char* literal;
    const char* decoded;
  };
  const Escape escapes[] = {{R"(\")", "\""},
                            {R"(\\)", "\\"},
                            {R"(\n)", "\n"},
                            {R"(\u00e9)", "\xC3\xA9"},
                            {R"(\u20AC)", "\xE2\x82\xAC"},
                            {R"(\ud83d\ude00)", "\xF0\x9F\x98\x80"},
                            {"\xC3\xA9", "\xC3\xA9"}};
  for (int behind = 0; behind <= 20; ++behind) {
    for (int plain = 0; plain <= 40; ++plain) {
      for (const Escape& e : escapes) {
        for (int after : {0, 1, 15, 16, 17, 33}) {
          std::string literal, expected;
          for (int k = 0; k < behind; ++k) literal += "\\\"", expected += '"';
          literal += std::string(plain, 'a') + e.literal + std::string(after, 'b') + "\"tail";
          expected += std::string(plain, 'a') + e.decoded + std::string(after, 'b');
          size_t read = 0;
          ASSERT_EQ(expected, decode(literal, &read)) << literal;
          ASSERT_EQ(literal.size() - 4, read) << literal;
        }
      }
      // A control character or a bad escape at the same place is refused.
      for (const char* bad : {"\x01", "\x1f", "\\x", "\\ud800"}) {
        std::string literal;
        for (int k = 0; k < behind; ++k) literal += "\\\"";
        literal += std::string(plain, 'a') + bad + std::string(20, 'b') + "\"";
        ASSERT_EQ("<fails>", decode(literal)) << literal;
      }
    }
  }
}

// Random strings of every kind of piece, decoded as simdjson decodes them.
TEST(DecodeStringInPlace, AgreesWithSimdjson) {
  const std::vector<std::string> pieces = {"a", "plain text ", "0123456789abcdefghijklmnopqrstuv", "\xC3\xA9",
                                           "\xE2\x98\x83", "\xF0\x9F\x98\x80", "\\\"", "\\\\", "\\/", "\\b", "\\f",
                                           "\\n", "\\r", "\\t", "\\u0041", "\\u00e9", "\\uFFFD", "\\ud83d\\ude00",
                                           "\\u0000", "\x7f",
                                           // refused
                                           "\\x", "\\ud800", "\\udc00", "\x01", "\\u12"};
  std::mt19937 random(22);
  simdjson::dom::parser parser;
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string contents;
    int count = static_cast<int>(random() % 200);
    for (int k = 0; k < count; ++k) {
      size_t pick = random() % pieces.size();
      if (pick >= pieces.size() - 5 && random() % 8 != 0) pick = 0;  // mostly well formed
      contents += pieces[pick];
    }
    std::string json = "\"" + contents + "\"";
    std::string_view expected;
    bool valid = parser.parse(json).get_string().get(expected) == simdjson::SUCCESS;
    std::string got = decode(contents + "\"");
    ASSERT_EQ(valid ? std::string(expected) : "<fails>", got) << json;
    refused += valid ? 0 : 1;
  }
  EXPECT_GT(refused, 100);  // both kinds were tried
}

}  // namespace
}  // namespace tersolite_cli
