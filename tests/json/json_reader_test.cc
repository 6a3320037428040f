#include "json/json_reader.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "json/json_writer.h"
#include "json/plain_run.h"
#include "yaml/yaml_writer.h"

namespace tersolite::json {
namespace {

std::string error_of(std::string_view text) {
  auto r = read_json(text);
  return r ? "ok" : r.error().text();
}

TEST(JsonReader, ReportsEachErrorWithItsPosition) {
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "unexpected end of input at line 1, column 1"},
      {"\n\n", "unexpected end of input at line 3, column 1"},
      {"\xEF\xBB\xBF", "unexpected end of input at line 1, column 1"},
      {"[1,]", "unexpected character at line 1, column 4"},
      //   ^
      {"{\"a\":1,}", "expected string key at line 1, column 8"},
      //        ^
      {"{\"a\" 1}", "expected ':' at line 1, column 6"},
      {"{\"a\"", "expected ':' at line 1, column 5"},
      {"{", "expected string key at line 1, column 2"},
      {"{1:2}", "expected string key at line 1, column 2"},
      {"01", "unexpected trailing characters at line 1, column 2"},
      {"[1 2]", "expected ',' or ']' at line 1, column 4"},
      {"[1", "expected ',' or ']' at line 1, column 3"},
      {"{\"a\":1 \"b\"}", "expected ',' or '}' at line 1, column 8"},
      {"[\"\xC3\xA4\xC3\xB6\xC3\xBC\" x]", "expected ',' or ']' at line 1, column 8"},
      //          äöü: columns count characters, not bytes
      {"nul", "invalid literal at line 1, column 1"},
      {"[tru]", "invalid literal at line 1, column 2"},
      {"nulls", "unexpected trailing characters at line 1, column 5"},
      {"-", "invalid number at line 1, column 2"},
      {"-a", "invalid number at line 1, column 2"},
      {"1.", "invalid number at line 1, column 3"},
      {"1.e3", "invalid number at line 1, column 3"},
      {"1e", "invalid number at line 1, column 3"},
      {"1e+", "invalid number at line 1, column 4"},
      {"+1", "unexpected character at line 1, column 1"},
      {".5", "unexpected character at line 1, column 1"},
      {"\"abc", "unterminated string at line 1, column 5"},
      {"\"a\tb\"", "control character in string at line 1, column 3"},
      {"\"\\", "unterminated escape at line 1, column 3"},
      {"\"\\x\"", "invalid escape at line 1, column 4"},
      {"\"\\\xC3\xA9\"", "invalid escape at line 1, column 4"},
      {"\"\\u12", "truncated \\u escape at line 1, column 4"},
      {"\"\\u12G4\"", "invalid \\u escape at line 1, column 4"},
      {"\"\\u+123\"", "invalid \\u escape at line 1, column 4"},
      {"\"\\ud83d\\u12\"", "truncated \\u escape at line 1, column 10"},
      {"\"\\ud83d\\u12x4\"", "invalid \\u escape at line 1, column 10"},
      {"[\n  1,\n  x]", "unexpected character at line 3, column 3"},
      {"\r\n]", "unexpected character at line 2, column 1"},
      {"'a'", "unexpected character at line 1, column 1"},
      {"NaN", "unexpected character at line 1, column 1"},
      {"{} {}", "unexpected trailing characters at line 1, column 4"},
      {"\xEF\xBB\xBF{} x", "unexpected trailing characters at line 1, column 4"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error, error_of(c.text)) << c.text;
}

TEST(JsonReader, DecodesEscapesAndSurrogates) {
  struct Case {
    const char* text;
    const char* decoded;
  } cases[] = {
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {R"("\u00e9\u00E9")", "\xC3\xA9\xC3\xA9"},
      {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
      {R"("\ud83d")", "\xEF\xBF\xBD"},
      {R"("\ude00")", "\xEF\xBF\xBD"},
      {R"("\ud83dx")", "\xEF\xBF\xBDx"},
      {R"("\ud83d\u0041")",
       "\xEF\xBF\xBD"
       "A"},
      {R"("\ud83d\ud83d\ude00")", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {"\"\x7F\xE2\x80\xA8\"", "\x7F\xE2\x80\xA8"},
  };
  for (const auto& c : cases) {
    auto r = read_json(c.text);
    ASSERT_TRUE(r) << c.text << ": " << r.error().text();
    EXPECT_EQ(c.decoded, r->text()) << c.text;
  }
  auto nul = read_json(R"("a\u0000b")");
  ASSERT_TRUE(nul);
  EXPECT_EQ(std::string("a\0b", 3), nul->text());
}

// Equal short strings with escapes read into an arena share one decoded
// copy; among thousands of distinct ones (which collide in the reader's
// table) none takes another's bytes, as values or as keys.
TEST(JsonReader, SharesRepeatedDecodedStringsWithoutMixingThemUp) {
  std::string doc = "[";
  for (int i = 0; i < 3000; ++i) {
    std::string distinct = "\"caf\\u00e9 " + std::to_string(i) + "\"";
    doc += "{\"t\\tag\":\"tab\\tline\"," + distinct + ":" + distinct + "},";
  }
  doc += "\"tab\\tline\",\"" + std::string(200, 'x') + "\\n\"]";
  Arena arena;
  auto read = read_json(doc, &arena);
  auto owned = read_json(doc);
  ASSERT_TRUE(read && owned);
  EXPECT_TRUE(*read == *owned);
  EXPECT_EQ(to_json(*owned), to_json(*read));
  auto items = read->items();
  std::set<const char*> copies;  // of "tab\tline": a distinct string in its slot now and then makes another
  for (size_t i = 0; i < 3000; ++i) {
    auto m = items[i].members();
    copies.insert(m[0].value.text().data());
    EXPECT_EQ("t\tag", m[0].key.view());
    EXPECT_EQ("caf\xC3\xA9 " + std::to_string(i), m[1].key.view());
    EXPECT_EQ(m[1].key.view(), m[1].value.text());
    EXPECT_EQ(m[1].key.data(), m[1].value.text().data());
    ASSERT_TRUE(m[1].value.has_noted_sizes());
    EXPECT_EQ(m[1].value.text().size() + 1, m[1].value.noted_sizes().written);  // quotes, and é is one character
  }
  EXPECT_LT(copies.size(), 30u);
  EXPECT_TRUE(copies.count(items[3000].text().data()));
  ASSERT_TRUE(items[3000].has_noted_sizes());
  EXPECT_EQ(11u, items[3000].noted_sizes().written);  // "tab\tline" with its quotes
  EXPECT_EQ(8u, items[3000].noted_sizes().chars);
}

// A long string decoded into a block of its own, to within a few bytes of
// the block's end: the strings decoded after it must land past it, not past
// the block (under AddressSanitizer a write there fails the test).
TEST(JsonReader, DecodesStringsAfterOneThatNearlyFillsItsBlock) {
  for (size_t plain = 100000; plain < 100008; ++plain) {
    std::string first = std::string(plain, 'a') + "\\n" + std::string(11, 'b');
    std::string doc = "[\"" + first + "\",\"x\\ty\",\"p\\tq" + std::string(50, 'z') + "\"]";
    Arena arena;
    auto read = read_json(doc, &arena);
    ASSERT_TRUE(read) << plain;
    auto items = read->items();
    EXPECT_EQ(std::string(plain, 'a') + "\n" + std::string(11, 'b'), items[0].text()) << plain;
    EXPECT_EQ("x\ty", items[1].text());
    EXPECT_EQ("p\tq" + std::string(50, 'z'), items[2].text());
  }
}

TEST(JsonReader, KeepsNumberTextsAndDuplicateKeys) {
  for (const char* n : {"-0", "0.5e-3", "1E+2", "1.50", "100", "-12.0e10"}) {
    auto r = read_json(n);
    ASSERT_TRUE(r) << n;
    EXPECT_EQ(n, r->text());
  }
  auto obj = read_json(R"({"a":1,"a":2})");
  ASSERT_TRUE(obj);
  ASSERT_EQ(2u, obj->members().size());
  EXPECT_EQ("a", obj->members()[1].key);
  EXPECT_EQ("2", obj->members()[1].value.text());
  auto bom = read_json("\xEF\xBB\xBF {}");
  ASSERT_TRUE(bom);
  EXPECT_TRUE(bom->is_object());
}

// An object is marked when the item before it in its array has the same
// keys in the same order; the mark must never outlive that relation.
TEST(JsonReader, MarksRecordsThatRepeatThePreviousKeys) {
  struct Case {
    const char* text;
    std::vector<bool> marks;  // of the items of the array read
  } cases[] = {
      {R"([{"a":1,"b":2},{"a":3,"b":{"x":1}},{"b":1,"a":2},{"b":5,"a":6}])", {false, true, false, true}},
      {R"([{"a":1},{"a":1,"b":2},{"a":1},{},[1],{"a":1},"s",{"a":2}])",
       {false, false, false, false, false, false, false, false}},
      {R"([{"k\u0041":1},{"kA":2},{"k\u0041":3}])", {false, true, true}},  // decoded keys compare as text
  };
  for (const Case& c : cases) {
    for (bool with_arena : {false, true}) {
      Arena arena;
      auto r = read_json(c.text, with_arena ? &arena : nullptr);
      ASSERT_TRUE(r) << c.text;
      std::vector<bool> marks;
      for (const Value& item : r->items()) marks.push_back(item.repeats_previous_keys());
      EXPECT_EQ(c.marks, marks) << c.text << (with_arena ? " (arena)" : "");
      // A clone may be put after another item: it carries no mark.
      EXPECT_FALSE(r->items()[c.marks.size() - 1].clone().repeats_previous_keys()) << c.text;
      EXPECT_FALSE(r->items()[1].clone().repeats_previous_keys()) << c.text;
    }
  }
  // Objects outside arrays, and nested arrays' records, by their own array.
  auto r = read_json(R"({"a":{"k":1},"b":{"k":1},"c":[{"k":1},{"k":2}]})");
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->members()[1].value.repeats_previous_keys());
  EXPECT_TRUE(r->members()[2].value.items()[1].repeats_previous_keys());
}

// Short arrays of numbers read into an arena stay in the input's text; they
// must read, write, compare and clone as the nodes an owned read builds.
TEST(JsonReader, LeavesShortArraysOfNumbersInTheirText) {
  struct Case {
    const char* text;
    bool packed;  // the array at the top (or inside the one-member object)
  } cases[] = {
      {"[1]", true},
      {"[4.1155662,52.1741450]", true},
      {" [ -0 , 1e-7 ,2.5E+30,\n\t-0.0 ] ", true},
      {"[1,2,3,4,5,6,7,8]", true},
      {"[1,2,3,4,5,6,7,8,9]", true},  // past the bound: with an index
      {"[]", false},
      {"[1,\"a\"]", false},
      {"[1,null]", false},
      {"[true,2]", false},
      {"[1,[2]]", false},
      {"[[1,2],[3,4]]", false},  // the outer array holds arrays
      {"{\"bbox\":[-180,-90,180,90]}", true},
  };
  for (const Case& c : cases) {
    Arena arena;
    auto read = read_json(c.text, &arena);
    auto owned = read_json(c.text);
    ASSERT_TRUE(read && owned) << c.text;
    const Value& array = read->is_object() ? read->members()[0].value : *read;
    EXPECT_EQ(c.packed, array.is_packed()) << c.text;
    EXPECT_FALSE(owned->is_packed()) << c.text;
    for (uint64_t width : {0, 2}) EXPECT_EQ(to_json(*owned, width), to_json(*read, width)) << c.text;
    EXPECT_TRUE(*read == *owned) << c.text;
    EXPECT_TRUE(*owned == *read) << c.text;
    Value copy = read->clone();
    EXPECT_TRUE(copy == *owned) << c.text;
    const Value& owned_array = owned->is_object() ? owned->members()[0].value : *owned;
    ItemWindow items(array);
    ASSERT_EQ(owned_array.size(), items.size()) << c.text;
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(owned_array.items()[i].kind(), items[i].kind()) << c.text;
      if (items[i].is_number()) {
        EXPECT_EQ(owned_array.items()[i].text(), items[i].text()) << c.text;
      }
    }
  }
  // Arrays that differ in one number are not equal.
  Arena arena;
  auto a = read_json("[1,2]", &arena);
  auto b = read_json("[1,3]", &arena);
  auto longer = read_json("[1,2,3]");
  ASSERT_TRUE(a && b && longer);
  EXPECT_FALSE(*a == *b);
  EXPECT_FALSE(*a == *longer);
}

// Numbers of every form, so that literals differ in length from item to item.
std::string numbers(size_t n, size_t from = 0, const char* separator = ",") {
  static const char* forms[] = {"0.0", "-17", "3.25", "1e5", "-0.0", "2.5E-3", "123456789012", "7"};
  std::string out;
  for (size_t i = from; i < from + n; ++i) {
    if (i > from) out += separator;
    out += forms[i % 8];
    out += std::to_string(i % 10);
  }
  return out;
}

// Longer arrays of numbers keep an index instead of nodes; read by window
// (forwards, backwards, one item each side of every boundary), they hold
// what an owned read holds.
TEST(JsonReader, ReadsLongArraysOfNumbersByWindow) {
  for (size_t n : {9, 15, 16, 17, 33, 255, 256, 257, 511, 512, 513, 1000}) {
    for (const char* separator : {",", " ,\n\t "}) {
      std::string text = "[ " + numbers(n, 0, separator) + " ]";
      Arena arena;
      auto read = read_json(text, &arena);
      auto owned = read_json(text);
      ASSERT_TRUE(read && owned) << n;
      ASSERT_TRUE(read->is_packed() && read->has_index()) << n;
      ASSERT_EQ(n, read->size());
      uint64_t literal_bytes = 0;
      for (const Value& item : owned->items()) literal_bytes += item.text().size();
      EXPECT_EQ(literal_bytes, read->packed_literal_bytes()) << n;
      ItemWindow items(*read);
      ASSERT_EQ(n, items.size());
      for (size_t i = 0; i < n; ++i) ASSERT_EQ(owned->items()[i].text(), items[i].text()) << n << " " << i;
      for (size_t i = n; i-- > 0;) ASSERT_EQ(owned->items()[i].text(), items[i].text()) << n << " " << i;
      for (size_t w = ItemWindow::kWindow; w < n; w += ItemWindow::kWindow) {
        EXPECT_EQ(owned->items()[w].text(), items[w].text()) << n;
        EXPECT_EQ(owned->items()[w - 1].text(), items[w - 1].text()) << n;
      }
      for (uint64_t width : {0, 2}) EXPECT_EQ(to_json(*owned, width), to_json(*read, width)) << n;
      EXPECT_TRUE(*read == *owned && *owned == *read) << n;
      EXPECT_TRUE(read->clone() == *owned) << n;
    }
  }
  // Errors past the eighth number are where they would be without packing.
  auto packed_error = [](const std::string& text) {
    Arena arena;
    auto r = read_json(text, &arena);
    return r ? "ok" : r.error().text();
  };
  std::string twelve = "[" + numbers(12);  // 73 characters
  EXPECT_EQ("unexpected character at line 1, column 75", packed_error(twelve + ",]"));
  EXPECT_EQ("expected ',' or ']' at line 1, column 74", packed_error(twelve));
  EXPECT_EQ("invalid number at line 1, column 76", packed_error(twelve + ",-]"));
}

// An array of numbers that turns out to hold something else after the
// eighth number is made of nodes after all; arrays inside it and next to
// it pack on their own.
TEST(JsonReader, LongArraysThatTurnMixedBecomeNodes) {
  struct Case {
    std::string text;
    bool packed;        // the array at the top
    size_t inner;       // an array inside it, at this index...
    bool inner_packed;  // ...is packed
  };
  std::vector<Case> cases;
  for (size_t n : {9, 16, 17, 300}) {
    for (const char* other : {"\"a\"", "null", "true", "[]", "{}", "[1]", "{\"k\":[1,2]}"}) {
      cases.push_back({"[" + numbers(n) + "," + other + "," + numbers(20, n) + "]", false, 0, false});
    }
    std::string inner = "[" + numbers(n) + "]";
    cases.push_back({"[" + numbers(n) + "," + inner + "]", false, n, true});
    cases.push_back({"[" + inner + "," + inner + "]", false, 1, true});
    cases.push_back({"[" + inner + ",[" + numbers(n) + ",\"x\"]]", false, 1, false});
    cases.push_back({"[[[" + numbers(n) + "]]]", false, 0, false});
  }
  cases.push_back({"[" + numbers(40) + "]", true, 0, false});
  for (const Case& c : cases) {
    Arena arena;
    auto read = read_json(c.text, &arena);
    auto owned = read_json(c.text);
    ASSERT_TRUE(read && owned) << c.text;
    EXPECT_EQ(c.packed, read->is_packed()) << c.text;
    if (!c.packed) {
      ASSERT_EQ(owned->size(), read->size()) << c.text;
      EXPECT_EQ(c.inner_packed, read->items()[c.inner].is_packed()) << c.text;
    }
    for (uint64_t width : {0, 3}) EXPECT_EQ(to_json(*owned, width), to_json(*read, width)) << c.text;
    EXPECT_EQ(yaml::write_yaml(*owned, 2), yaml::write_yaml(*read, 2)) << c.text;
    EXPECT_TRUE(*read == *owned && *owned == *read) << c.text;
  }
}

// Packed and node arrays compare item by item, wherever the difference is.
TEST(JsonReader, ComparesPackedArraysWithNodeArrays) {
  const size_t n = 600;
  auto with_change = [&](size_t at) {
    std::string text = "[";
    for (size_t i = 0; i < n; ++i) text += (i ? "," : "") + std::to_string(i == at ? i + 1 : i);
    return text + "]";
  };
  std::string plain = with_change(n);
  std::string spaced = "[ " + plain.substr(1, plain.size() - 2) + " ]";
  for (size_t i = 1; i < spaced.size(); ++i) {
    if (spaced[i] == ',') spaced.insert(i++, " ");
  }
  Arena arena;
  auto packed = read_json(plain, &arena);
  ASSERT_TRUE(packed && packed->is_packed());
  auto owned = read_json(spaced);
  auto spaced_packed = read_json(spaced, &arena);
  EXPECT_TRUE(*packed == *owned && *packed == *spaced_packed);
  for (size_t at : {size_t{0}, size_t{15}, size_t{16}, size_t{255}, size_t{256}, size_t{257}, n - 1}) {
    std::string text = with_change(at);
    auto other = read_json(text, &arena);
    auto other_owned = read_json(text);
    EXPECT_FALSE(*packed == *other) << at;
    EXPECT_FALSE(*packed == *other_owned) << at;
    EXPECT_FALSE(*other_owned == *packed) << at;
  }
  // The documents outlive what borrows from them.
  std::string shorter_text = plain.substr(0, plain.rfind(',')) + "]";
  std::string longer_text = plain.substr(0, plain.size() - 1) + ",600]";
  auto shorter = read_json(shorter_text, &arena);
  auto longer = read_json(longer_text, &arena);
  EXPECT_FALSE(*packed == *shorter || *shorter == *packed || *packed == *longer);
}

// Digits are scanned eight at a time: any byte ends a run at any place in
// a word or in the tail, bytes after the end (a carry out of 0xFF) change
// nothing, and the run stops at the bound.
TEST(PlainRun, FindsTheEndOfDigitsAtEveryPlace) {
  for (int b = 0; b < 256; ++b) {
    bool digit = b >= '0' && b <= '9';
    for (size_t at = 0; at < 20; ++at) {
      for (size_t from : {size_t{0}, size_t{3}}) {
        if (from > at) continue;
        std::string text = std::string(at, '7') + static_cast<char>(b) + "\xFF" + "99999999";
        EXPECT_EQ(digit ? at + 1 : at, end_of_digits(text.data(), from, text.size())) << b << " " << at;
        EXPECT_EQ(at, end_of_digits(text.data(), from, at)) << b << " " << at;
      }
    }
  }
}

TEST(JsonReader, LimitsNestingTo512) {
  auto nested = [](int levels, char open, char close) {
    std::string s;
    for (int i = 0; i < levels; ++i) s += open == '{' ? "{\"k\":" : std::string(1, open);
    s += "1";
    for (int i = 0; i < levels; ++i) s += close;
    return s;
  };
  EXPECT_TRUE(read_json(nested(512, '[', ']')));
  EXPECT_TRUE(read_json(nested(512, '{', '}')));
  EXPECT_EQ("nesting too deep at line 1, column 514", error_of(nested(513, '[', ']')));
  EXPECT_EQ("nesting too deep at line 1, column 2566", error_of(nested(513, '{', '}')));
  // A long run of brackets stops at the limit instead of exhausting the stack.
  EXPECT_EQ("nesting too deep at line 1, column 514", error_of(std::string(1000000, '[')));
}

}  // namespace
}  // namespace tersolite::json
