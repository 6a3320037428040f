// The generated tables against ICU, for every Unicode scalar value. ICU is
// needed only here: the library itself never links it.
#include "lexical/unicode_props.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/uversion.h>

#include <cstring>
#include <string>

#include "value/utf8.h"

namespace tersolite {
namespace {

bool icu_number(UChar32 c) {
  int8_t type = u_charType(c);
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

uint8_t icu_class(UChar32 c) {
  uint8_t cls = 0;
  if (u_hasBinaryProperty(c, UCHAR_ALPHABETIC) || icu_number(c)) cls |= unicode::kWord;
  if (u_hasBinaryProperty(c, UCHAR_UPPERCASE)) cls |= unicode::kUpper;
  if (u_hasBinaryProperty(c, UCHAR_LOWERCASE) || icu_number(c)) cls |= unicode::kLowerOrDigit;
  return cls;
}

// ICU's full lower-casing of the lone character, outside any language.
std::string icu_lower(UChar32 c) {
  UChar src[2];
  int32_t src_len = 0;
  U16_APPEND_UNSAFE(src, src_len, c);
  UChar dest[8];
  UErrorCode status = U_ZERO_ERROR;
  int32_t len = u_strToLower(dest, 8, src, src_len, "", &status);
  EXPECT_TRUE(U_SUCCESS(status)) << c;
  std::string out;
  for (int32_t i = 0; i < len;) {
    UChar32 cp;
    U16_NEXT(dest, i, len, cp);
    append_utf8(out, static_cast<char32_t>(cp));
  }
  return out;
}

bool is_scalar(char32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

// The comparison means something only when both come from one Unicode
// version; ICU 72 is built on Unicode 15.0.
bool same_version() {
  UVersionInfo v;
  u_getUnicodeVersion(v);
  char text[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(v, text);
  std::string icu = text, ours = unicode::version();
  // ICU drops trailing ".0"s.
  while (ours.size() > icu.size() && ours.ends_with(".0")) ours.resize(ours.size() - 2);
  return icu == ours;
}

TEST(UnicodeProps, MatchIcuForEveryScalarValue) {
  if (!same_version()) GTEST_SKIP() << "ICU is built on another Unicode version than the tables";
  size_t checked = 0, class_mismatches = 0, lower_mismatches = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (!is_scalar(c)) continue;
    ++checked;
    uint8_t want = icu_class(static_cast<UChar32>(c));
    if (unicode::char_class(c) != want && ++class_mismatches <= 10)
      ADD_FAILURE() << "class of U+" << std::hex << uint32_t{c} << ": " << int{unicode::char_class(c)} << ", ICU "
                    << int{want};
    std::string ours;
    unicode::append_lower(ours, c);
    if (ours != icu_lower(static_cast<UChar32>(c)) && ++lower_mismatches <= 10)
      ADD_FAILURE() << "lower case of U+" << std::hex << uint32_t{c};
  }
  EXPECT_EQ(checked, 0x110000u - 0x800u);
  EXPECT_EQ(class_mismatches, 0u);
  EXPECT_EQ(lower_mismatches, 0u);
}

TEST(UnicodeProps, KnownCharacters) {
  struct Case {
    char32_t c;
    uint8_t cls;
    const char* lower;
  } cases[] = {
      {U'A', unicode::kWord | unicode::kUpper, "a"},
      {U'7', unicode::kWord | unicode::kLowerOrDigit, "7"},
      {U'-', 0, "-"},
      {0xC9, unicode::kWord | unicode::kUpper, "\xC3\xA9"},                                 // É
      {0x3A3, unicode::kWord | unicode::kUpper, "\xCF\x83"},                                // Σ alone is not final
      {0x130, unicode::kWord | unicode::kUpper, "i\xCC\x87"},                               // İ: two characters
      {0x2160, unicode::kWord | unicode::kUpper | unicode::kLowerOrDigit, "\xE2\x85\xB0"},  // Ⅰ: number, upper case
      {0x10400, unicode::kWord | unicode::kUpper, "\xF0\x90\x90\xA8"},                      // Deseret, four bytes
      {0x4E00, unicode::kWord, "\xE4\xB8\x80"},                       // CJK: a letter without case
      {0x0660, unicode::kWord | unicode::kLowerOrDigit, "\xD9\xA0"},  // Arabic-Indic zero
      {0xE000, 0, "\xEE\x80\x80"},                                    // private use
      {0x10FFFF, 0, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unicode::char_class(c.c), c.cls) << std::hex << uint32_t{c.c};
    std::string lower;
    unicode::append_lower(lower, c.c);
    EXPECT_EQ(lower, c.lower) << std::hex << uint32_t{c.c};
  }
}

}  // namespace
}  // namespace tersolite
