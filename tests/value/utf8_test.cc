#include "value/utf8.h"

#include <gtest/gtest.h>

namespace tersolite {
namespace {

TEST(Utf8, RejectsMalformedSequences) {
  struct Case {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain ascii, long enough to take the eight-byte path", true},
      {"\xC3\xA9", true},           // é
      {"\xE2\x80\xA6", true},       // …
      {"\xF0\x9F\x98\x80", true},   // U+1F600
      {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
      {"\xEF\xBB\xBF", true},       // BOM
      {"\xC0\xAF", false},          // overlong /
      {"\xC1\xBF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong three-byte
      {"\xF0\x80\x80\xAF", false},  // overlong four-byte
      {"\xED\xA0\x80", false},      // U+D800 encoded
      {"\xED\xBF\xBF", false},      // U+DFFF encoded
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"\x80", false},              // lone continuation
      {"abc\xC3", false},           // truncated
      {"abcdefgh\xE2\x80", false},  // truncated after a fast run
      {"\xE2\x28\xA1", false},      // bad continuation
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, is_valid_utf8(c.bytes)) << c.bytes;
}

TEST(CharCount, CountsScalarValuesNotBytes) {
  EXPECT_EQ(0u, char_count(""));
  EXPECT_EQ(1u, char_count("\xC3\xA9"));
  EXPECT_EQ(1u, char_count("\xF0\x9F\x98\x80"));
  std::string mixed;
  for (int i = 0; i < 100; ++i) mixed += "a\xC3\xA9\xE2\x80\xA6\xF0\x9F\x98\x80";
  EXPECT_EQ(400u, char_count(mixed));
  EXPECT_EQ(400u, char_count(mixed.substr(0)));
}

TEST(Utf8, DecodesAndEncodesRoundTrip) {
  for (char32_t c : {U'a', U'\u00e9', U'\u2026', U'\U0001F600', U'\U0010FFFF'}) {
    std::string s;
    append_utf8(s, c);
    size_t pos = 0;
    EXPECT_EQ(c, decode_utf8(s, pos));
    EXPECT_EQ(s.size(), pos);
  }
}

// Both readers put the place of a problem in their own words: line and
// column count from 1, columns in characters.
TEST(Utf8, PositionsAsTheReadersWriteThem) {
  struct Case {
    std::string_view text;
    size_t at;
    std::optional<uint64_t> byte;
    std::string expected;
  } cases[] = {
      {"", 0, std::nullopt, " at line 1, column 1"},
      {"ab\ncd", 4, std::nullopt, " at line 2, column 2"},
      {"\xC3\xA9\xC3\xA9x", 4, std::nullopt, " at line 1, column 3"},
      {"a\n\nb", 3, 3, " at byte 3 line 3 column 1"},
      {"abc", 99, 3, " at byte 3 line 1 column 4"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, position_text(position_of(c.text, c.at), c.byte)) << c.at;
}

}  // namespace
}  // namespace tersolite
