#include <gtest/gtest.h>

#include <random>

#include "json/json_reader.h"
#include "json/json_writer.h"
#include "size/markers.h"
#include "size/size_node.h"
#include "support/doc_gen.h"
#include "support/parse.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

using testing::parse;

SizeNode measure_text(std::string_view text, uint64_t width = 0, const std::vector<std::string>& protect = {}) {
  static std::vector<ProtectPattern> patterns;
  patterns = compile_protect_patterns(protect);
  Value v = parse(text);
  PathStack path;
  return measure({Layout{width}, &patterns, nullptr}, v, 0, path, false);
}

uint64_t written(const Value& v, uint64_t width, uint64_t depth) {
  std::string out;
  json::write_json(out, v, width, depth);
  return char_count(out);
}

TEST(JsonStringSize, CountsEscapesAndCharacters) {
  struct Case {
    std::string text;
    uint64_t size;
  } cases[] = {
      {"", 2},
      {"a\"b", 6},
      {"\x01", 8},
      {"\xC3\xA9", 3},
      {"\xF0\x9F\x98\x80", 3},
      {"\t\n\r\b\f\\", 14},
      {"\x7F", 3},
      {std::string("\0", 1), 8},
      {"an ASCII run longer than eight bytes", 38},
      {"eight by\"tes and more", 24},
  };
  for (const auto& c : cases) {
    std::string out;
    json::write_json_string(out, c.text);
    EXPECT_EQ(c.size, json_string_size(c.text)) << c.text;
    EXPECT_EQ(char_count(out), json_string_size(c.text)) << c.text;
  }
}

// The reader marks strings that are ASCII with nothing to escape, and the
// measurement then trusts the mark instead of scanning: the mark must
// never be set where the scan would count differently.
TEST(Measure, PlainStringsFromTheReaderCountAsScanned) {
  struct Case {
    std::string literal;  // as it stands in the input, quotes included
    bool plain;
  } cases[] = {
      {R"("")", true},
      {R"("short")", true},
      {R"("exactly8")", true},
      {"\"seven b\x7F\"", true},
      {R"("a run of ASCII longer than sixteen bytes")", true},
      {"\"\xC3\xA9\"", false},
      {"\"1234567\xC3\xA9 after a word boundary\"", false},
      {"\"12345678\xC3\xA9\"", false},
      {"\"ab\"", true},  // followed by a high byte in the same word below
      {"\"sixteen bytes ok\xC3\xA9\"", false},
      {"\"fifteen bytes!!\"", true},
      {R"("with \" an escape")", false},
      {R"("\u00e9")", false},
  };
  for (const auto& c : cases) {
    // A non-ASCII string right after, within the same block of bytes.
    std::string doc = "[" + c.literal + ",\"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\"]";
    Arena arena;
    auto read = json::read_json(doc, &arena);
    ASSERT_TRUE(read) << doc;
    const Value& v = *read;
    EXPECT_EQ(c.plain, v.items()[0].is_plain_text()) << c.literal;
    EXPECT_FALSE(v.items()[1].is_plain_text());
    EXPECT_EQ(c.plain, v.clone().items()[0].is_plain_text()) << "clone keeps the mark";
    for (uint64_t width : {0, 2}) {
      PathStack path;
      SizeNode n = measure({Layout{width}, nullptr, nullptr}, v, 0, path, false);
      EXPECT_EQ(written(v, width, 0), n.full) << c.literal;
      EXPECT_EQ(char_count(v.items()[0].text()), n.children[0].chars) << c.literal;
    }
    // The same text as a key, with a non-ASCII key after it.
    std::string object = "{" + c.literal + ":1,\"\xC3\xA9\":2}";
    auto keyed = json::read_json(object, &arena);
    ASSERT_TRUE(keyed) << object;
    EXPECT_EQ(c.plain, keyed->members()[0].key.is_plain_text()) << c.literal;
    EXPECT_EQ(c.plain, keyed->clone().members()[0].key.is_plain_text()) << "clone keeps the mark";
    EXPECT_FALSE(keyed->members()[1].key.is_plain_text());
    PathStack path;
    EXPECT_EQ(written(*keyed, 2, 0), measure({Layout{2}, nullptr, nullptr}, *keyed, 0, path, false).full);
  }
}

// Strings of every kind of byte at every offset within eight-byte words.
TEST(JsonStringSize, AgreesWithTheWriterOnRandomTexts) {
  std::mt19937_64 rng(7);
  const std::vector<std::string> pieces = {"a",
                                           "Z",
                                           " ",
                                           "\"",
                                           "\\",
                                           "\n",
                                           "\t",
                                           "\x01",
                                           "\x1F",
                                           "\x7F",
                                           "\xC3\xA9",
                                           "\xE2\x80\xA6",
                                           "\xF0\x9F\x98\x80",
                                           std::string("\0", 1)};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    size_t len = rng() % 40;
    for (size_t k = 0; k < len; ++k) text += pieces[rng() % (k % 3 == 0 ? pieces.size() : 3)];
    std::string out;
    json::write_json_string(out, text);
    StringSizes sizes = json_string_sizes(text);
    ASSERT_EQ(char_count(out), sizes.written) << out;
    ASSERT_EQ(char_count(text), sizes.chars) << out;
  }
}

// Strings with escapes are decoded straight into the arena with their
// sizes noted beside them: the notes must agree with a scan of the decoded
// text, which must agree with decoding without an arena, for strings long
// enough to move to a fresh block while they are written.
TEST(Measure, SizesNotedByTheReaderAgreeWithTheScan) {
  std::mt19937_64 rng(11);
  const std::vector<std::string> pieces = {"a",        "plain words ", "\\\"",         "\\\\",           "\\/",
                                           "\\n",      "\\t",          "\\b",          "\\u0001",        "\\u001f",
                                           "\\u007f",  "\\u00e9",      "\\u2026",      "\\ud83d\\ude00", "\\udc00",
                                           "\\ud800x", "\xC3\xA9",     "\xE2\x80\xA6", "\\u0022",        "\\u005C"};
  for (int round = 0; round < 400; ++round) {
    std::string doc = "[";
    int strings = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < strings; ++k) {
      size_t len = round % 50 == 0 ? 20000 + rng() % 30000 : rng() % 30;  // some cross arena blocks
      doc += k == 0 ? "\"\\n" : ",\"\\n";
      for (size_t i = 0; i < len; ++i) doc += pieces[rng() % pieces.size()];
      doc += "\"";
    }
    doc += "]";
    Arena arena;
    auto read = json::read_json(doc, &arena);
    auto owned = json::read_json(doc, nullptr);
    ASSERT_TRUE(read && owned) << doc;
    for (size_t k = 0; k < read->items().size(); ++k) {
      const Value& v = read->items()[k];
      ASSERT_TRUE(v.has_noted_sizes());
      ASSERT_EQ(owned->items()[k].text(), v.text());
      StringSizes scanned = json_string_sizes(v.text());
      ASSERT_EQ(scanned.written, v.noted_sizes().written) << v.text();
      ASSERT_EQ(scanned.chars, v.noted_sizes().chars) << v.text();
    }
    PathStack path;
    SizeNode n = measure({Layout{0}, nullptr, nullptr}, *read, 0, path, false);
    EXPECT_EQ(written(*read, 0, 0), n.full);
  }
}

TEST(Measure, SizesScalarsAndContainers) {
  struct Case {
    const char* text;
    uint64_t width;
    uint64_t full, min;
  } cases[] = {
      {"\"\"", 0, 2, 2},      {"true", 0, 4, 4},        {"false", 0, 5, 5},   {"null", 0, 4, 4},
      {"1.50e+3", 0, 7, 7},   {"[]", 0, 2, 2},          {"{}", 2, 2, 2},      {"[]", 4, 2, 2},
      {"{\"a\":1}", 0, 7, 7}, {"{\"a\":1}", 2, 12, 12}, {"[1,2,3]", 0, 7, 7},  // the collapsed form is longer
  };
  for (const auto& c : cases) {
    SizeNode n = measure_text(c.text, c.width);
    EXPECT_EQ(c.full, n.full) << c.text;
    EXPECT_EQ(c.min, n.min) << c.text;
  }
  // A long string's minimum is its marker: "…[+40 chars]" in quotes.
  SizeNode s = measure_text("\"" + std::string(40, 'x') + "\"");
  EXPECT_EQ(42u, s.full);
  EXPECT_EQ(14u, s.min);
}

TEST(Measure, ProtectsByPattern) {
  const char* doc = R"({"a":{"a":"xxxxxxxxxxxxxxxxxxxxxxxx","b":"yyyyyyyyyyyyyyyyyyyyyyyyyyy"},
                       "items":[{"id":"iiiiiiiiiiiiiiiiiiiiiii","x":1}],"c":[1]})";
  struct Case {
    std::vector<std::string> protect;
    uint64_t leaves;
  } cases[] = {
      {{}, 0},
      {{"/a"}, 2},  // the root's member a and everything below
      {{"a"}, 2},   // every member named a
      {{"/a/a"}, 1},
      {{"a/b"}, 1},
      {{"items/*/id"}, 1},
      {{"/*/*/id"}, 1},
      {{"*"}, 5},            // every node but the root
      {{"/a/a/a/a"}, 0},     // longer than any path
      {{"", "/", "//"}, 0},  // no segments: no pattern
      {{"c//*"}, 1},
  };
  for (const auto& c : cases) {
    SizeNode n = measure_text(doc, 0, c.protect);
    EXPECT_EQ(c.leaves, n.protected_leaves) << (c.protect.empty() ? "" : c.protect[0]);
  }
  SizeNode anchored = measure_text(doc, 0, {"/a"});
  EXPECT_TRUE(anchored.children[0].is_protected);
  EXPECT_EQ(anchored.children[0].full, anchored.children[0].min);
  EXPECT_TRUE(anchored.holds_protected);
  EXPECT_FALSE(anchored.children[1].holds_protected);
}

TEST(Measure, ObjectHoldingProtectedContentKeepsItAtMinimum) {
  // x holds protected content; y and z go behind one "2 keys omitted" member.
  SizeNode n = measure_text(
      R"({"x":{"p":"protected text here"},"y":"yyyyyyyyyyyyyyyyyyyyyyyyyy","z":[1,2,3,4,5,6,7,8,9,10]})", 0, {"p"});
  Value expected = parse(R"({"x":{"p":"protected text here"},"…":"2 keys omitted"})");
  EXPECT_EQ(written(expected, 0, 0), n.min);
}

TEST(ShapeHash, DependsOnKindAndKeySetOnly) {
  auto shape = [](const char* text) { return shape_hash(parse(text)); };
  EXPECT_EQ(shape(R"({"b":1,"a":2})"), shape(R"({"a":"x","b":[]})"));
  EXPECT_EQ(shape(R"({"a":1,"a":2,"b":3})"), shape(R"({"b":1,"a":2})"));
  EXPECT_NE(shape(R"({"a":1})"), shape(R"({"a":1,"b":2})"));
  EXPECT_NE(shape("{}"), shape("[]"));
  EXPECT_EQ(shape("[1]"), shape("[{\"a\":1}]"));
  EXPECT_EQ(shape("\"x\""), shape("\"y\""));
  EXPECT_NE(shape("1"), shape("\"1\""));
  // Keys are compared byte-wise with the shorter prefix first.
  EXPECT_NE(shape(R"({"ab":1,"a":2})"), shape(R"({"a":1,"b":2})"));
}

// Every node's measured size equals what the writer writes for it at its
// depth, and every collapsed form equals the size the formulas give.
void check_node(const Value& v, const SizeNode& n, uint64_t width, uint64_t depth) {
  Layout layout{width};
  ASSERT_EQ(written(v, width, depth), n.full) << json::to_json(v);
  ASSERT_LE(n.min, n.full);
  if (!n.is_protected && n.min < n.full) {
    Value collapsed;
    if (v.is_string()) {
      collapsed = Value::string(chars_marker(char_count(v.text())));
    } else if (v.is_array()) {
      collapsed = Value::array();
      collapsed.push_back(Value::string(items_marker(v.size())));
      EXPECT_EQ(collapsed_array_size(layout, v.size(), depth), written(collapsed, width, depth));
    } else if (v.is_object() && !n.holds_protected) {
      collapsed = Value::object();
      collapsed.add_member("\xE2\x80\xA6", Value::string(keys_marker(v.members().size())));
      EXPECT_EQ(collapsed_object_size(layout, v.members().size(), depth), written(collapsed, width, depth));
    }
    if (!v.is_object() || !n.holds_protected) {
      EXPECT_EQ(n.min, written(collapsed, width, depth));
    }
  }
  std::optional<ItemWindow> items;
  if (v.is_array()) items.emplace(v);
  for (size_t i = 0; i < n.children.size(); ++i) {
    const Value& child = items ? (*items)[i] : v.members()[i].value;
    check_node(child, n.children[i], width, depth + 1);
  }
}

TEST(Measure, PredictsTheWriterForGeneratedDocuments) {
  std::vector<ProtectPattern> patterns = compile_protect_patterns({"title", "/*/id"});
  for (uint64_t seed = 1; seed <= 300; ++seed) {
    Value doc = testing::DocGen(seed).value();
    for (uint64_t width : {0, 1, 2, 4}) {
      PathStack path;
      SizeNode n = measure({Layout{width}, &patterns, nullptr}, doc, 0, path, false);
      ASSERT_TRUE(path.empty());
      check_node(doc, n, width, 0);
    }
    // Keeping fewer levels changes nothing that is kept.
    for (uint64_t levels : {0, 1}) {
      PathStack path;
      SizeNode all = measure({Layout{2}, nullptr, nullptr}, doc, 0, path, false);
      SizeNode top = measure({Layout{2}, nullptr, nullptr}, doc, 0, path, false, levels);
      ASSERT_EQ(all.full, top.full);
      ASSERT_EQ(all.min, top.min);
      ASSERT_EQ(levels > 0 ? all.children.size() : 0, top.children.size());
      for (size_t i = 0; i < top.children.size(); ++i) {
        ASSERT_EQ(all.children[i].full, top.children[i].full);
        ASSERT_EQ(all.children[i].min, top.children[i].min);
        ASSERT_EQ(all.children[i].chars, top.children[i].chars);
      }
    }
    // Read back into an arena, as requests read: strings borrowed and marked.
    std::string text = json::to_json(doc);
    Arena arena;
    auto read = json::read_json(text, &arena);
    ASSERT_TRUE(read);
    PathStack path;
    check_node(*read, measure({Layout{2}, &patterns, nullptr}, *read, 0, path, false), 2, 0);
  }
}

// Every container the reader noted holds its written size for the layout
// and depth it was read for, and nothing for any other; the top level and
// containers of scalars alone are not noted.
void check_notes(const Value& v, uint64_t width, uint64_t depth, size_t& noted) {
  if (v.is_scalar() || v.is_packed()) return;
  bool nested = false;
  for (size_t i = 0; i < v.size(); ++i) {
    const Value& child = v.is_array() ? v.items()[i] : v.members()[i].value;
    nested = nested || child.size() > 0;
    check_notes(child, width, depth + 1, noted);
  }
  auto note = v.noted_written_size(depth, width);
  ASSERT_EQ(nested && depth > 0, note.has_value()) << json::to_json(v);
  if (!note) return;
  ++noted;
  ASSERT_EQ(written(v, width, depth), *note) << json::to_json(v);
  EXPECT_FALSE(v.noted_written_size(depth + 1, width));
  EXPECT_FALSE(v.noted_written_size(depth, width + 1));
}

// Records holding arrays of numbers past the packing bound, nested and
// next to other containers, for the notes of the containers around them.
std::vector<std::string> packed_number_documents() {
  auto numbers = [](size_t n, int from) {
    std::string out = "[";
    for (size_t i = 0; i < n; ++i) out += (i ? ", " : "") + std::to_string(from + static_cast<int>(i) * 7) + ".5";
    return out + "]";
  };
  std::vector<std::string> texts;
  for (size_t n : {9, 16, 17, 300}) {
    std::string records = "[";
    for (int r = 0; r < 3; ++r) {
      records += r ? "," : "";
      records += R"({"id":)" + std::to_string(r) + R"(,"v":)" + numbers(n, r) + R"(,"m":{"w":[)" + numbers(n, -r) +
                 "," + numbers(3, r) + R"(],"t":"x"}})";
    }
    texts.push_back(records + "]");
    texts.push_back(R"({"a":[[)" + numbers(n, 1).substr(1) + "," + numbers(2, 0) + "]}");
  }
  return texts;
}

TEST(Measure, ContainerSizesNotedByTheReaderAgreeWithTheWriter) {
  size_t noted = 0;
  std::vector<std::string> texts = packed_number_documents();
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    Value doc = testing::DocGen(seed).value();
    texts.push_back(json::to_json(doc, seed % 2 == 0 ? 2 : 0));
  }
  for (const std::string& text : texts) {
    for (uint64_t width : {0, 1, 2, 4, 32}) {
      Arena arena;
      auto read = json::read_json(text, &arena, width);
      ASSERT_TRUE(read);
      check_notes(*read, width, 0, noted);
      // Measured in another layout, or moved to another depth, the notes
      // are passed over and the sizes still exact.
      Value wrapped = Value::object();
      wrapped.add_member("wrap", read->clone());
      for (uint64_t other : {width, uint64_t{3}}) {
        PathStack path;
        for (uint64_t levels : {0, 1}) {
          EXPECT_EQ(written(*read, other, 0), measure({Layout{other}}, *read, 0, path, false, levels).full);
          EXPECT_EQ(written(wrapped, other, 0), measure({Layout{other}}, wrapped, 0, path, false, levels).full);
        }
      }
    }
  }
  EXPECT_GT(noted, 1000u);
}

// A scalar's text in JSON: plain and escaped strings (noted by the reader),
// non-ASCII, numbers and the literals.
std::string scalar_text(size_t i) {
  switch (i % 7) {
    case 0: return std::to_string(i * 7919);
    case 1: return "\"tag" + std::to_string(i) + "\"";
    case 2: return "\"tab\\there \\u00e9\"";
    case 3: return "\"caf\xC3\xA9 cr\xC3\xA8me, a longer text that a marker would shorten\"";
    case 4: return i % 2 ? "true" : "false";
    case 5: return "null";
    default: return "-1.5e" + std::to_string(i % 300);
  }
}

// Large documents are read with some containers' elements left where the
// reader gathered them: the tree and its notes must be what a plain read
// gives.
TEST(Measure, LargeContainersReadInPlaceMatchTheOwnedRead) {
  auto items = [](size_t n, bool pairs) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      if (i) s += ',';
      s += pairs ? "[" + scalar_text(i) + "," + scalar_text(i + 1) + "]" : scalar_text(i);
    }
    return s;
  };
  std::string numbers = "[0";
  for (size_t i = 1; i < 300000; ++i) numbers += "," + std::to_string(i % 1000);
  numbers += "]";
  std::string members;
  for (size_t i = 0; i < 50000; ++i) members += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + scalar_text(i);
  const std::string docs[] = {
      "[" + items(100000, false) + "]",            // the top level
      "{" + members + "}",                         // a top-level object
      "{\"wrap\":[" + items(70000, false) + "]}",  // the first container of its kind
      "[1,[" + items(70000, false) + "]]",         // after an element: copied
      "[[" + items(70000, true) + "]]",            // noted in place
      "{\"a\":[[" + items(70000, true) + "]],\"b\":{" + members + "}}",
      numbers,  // elements past 2 MiB: a block of their own, grown by moving it
  };
  size_t noted = 0;
  for (const std::string& doc : docs) {
    SCOPED_TRACE(doc.substr(0, 40));
    auto owned = json::read_json(doc);
    ASSERT_TRUE(owned);
    for (uint64_t width : {0, 2}) {
      Arena arena;
      auto read = json::read_json(doc, &arena, width);
      ASSERT_TRUE(read);
      ASSERT_TRUE(*read == *owned);
      check_notes(*read, width, 0, noted);
      PathStack path;
      EXPECT_EQ(written(*owned, width, 0), measure({Layout{width}}, *read, 0, path, false).full);
    }
  }
  EXPECT_GT(noted, 0u);
}

// Large containers make their children's nodes only when asked for: every
// figure must be what measuring them at once gives, whichever child is
// asked for first, a level further down as well, and sizes() must agree
// without making any.
TEST(Measure, NodesMadeLaterMatchTheOnesMadeAtOnce) {
  struct Case {
    size_t n;
    bool object;
    bool records;  // children are containers, not scalars
    bool is_protected;
  } cases[] = {
      {256, false, false, false}, {257, false, false, false}, {600, false, false, false}, {1024, false, false, true},
      {300, true, false, false},  {777, true, false, true},   {513, true, false, false},  {700, false, true, false},
      {400, true, true, false},   {300, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.n << (c.object ? " members" : " items") << (c.records ? " (records)" : "")
                                      << (c.is_protected ? ", protected" : ""));
    std::string text = c.object ? "{" : "[";
    for (size_t i = 0; i < c.n; ++i) {
      if (i) text += ',';
      if (c.object) text += "\"m" + std::to_string(i) + "\":";
      if (c.records) {
        text += "{\"id\":" + std::to_string(i) + ",\"v\":" + scalar_text(i) + ",\"list\":[" + scalar_text(i + 1) +
                (i % 3 ? "," + scalar_text(i + 2) : "") + "],\"deep\":{\"x\":[" + scalar_text(i + 3) + "]}}";
      } else {
        text += scalar_text(i);
      }
    }
    text += c.object ? "}" : "]";
    for (uint64_t width : {0, 2}) {
      Arena doc_arena;
      auto doc = json::read_json(text, &doc_arena, width);
      ASSERT_TRUE(doc);
      Arena arena;
      const MeasureSettings later{Layout{width}, nullptr, nullptr, &arena};
      const MeasureSettings at_once{Layout{width}};
      for (uint64_t levels : {uint64_t{0}, uint64_t{1}, kAllLevels}) {
        PathStack path;
        SizeNode a = measure(later, *doc, 1, path, c.is_protected, levels);
        SizeNode b = measure(at_once, *doc, 1, path, c.is_protected, levels);
        ASSERT_EQ(b.full, a.full);
        ASSERT_EQ(b.min, a.min);
        ASSERT_EQ(b.protected_leaves, a.protected_leaves);
        ASSERT_EQ(b.holds_protected, a.holds_protected);
        const SizeNodes& kids = children_of(later, *doc, a, 1);
        const SizeNodes& expected = children_of(at_once, *doc, b, 1);
        ASSERT_EQ(c.n, kids.size());
        ASSERT_EQ(c.n, expected.size());
        // Asked for out of order: the last chunk, then every other child.
        std::vector<size_t> order{c.n - 1};
        for (size_t i = 0; i < c.n; i += 2) order.push_back(i);
        for (size_t i = 1; i < c.n; i += 2) order.push_back(i);
        for (size_t i : order) {
          const Value& child = c.object ? doc->members()[i].value : doc->items()[i];
          const SizeNode& e = expected[i];
          SizeNodes::Sizes before = kids.sizes(i);
          const SizeNode& k = kids[i];
          SizeNodes::Sizes after = kids.sizes(i);
          ASSERT_EQ(e.full, k.full) << i;
          ASSERT_EQ(e.min, k.min) << i;
          ASSERT_EQ(e.protected_leaves, k.protected_leaves) << i;
          ASSERT_EQ(e.is_protected, k.is_protected) << i;
          ASSERT_EQ(e.holds_protected, k.holds_protected) << i;
          if (child.is_string()) {
            ASSERT_EQ(e.chars, k.chars) << i;
          }
          for (const SizeNodes::Sizes& s : {before, after}) {
            ASSERT_EQ(e.full, s.full) << i;
            ASSERT_EQ(e.min, s.min) << i;
            ASSERT_EQ(e.holds_protected, s.holds_protected) << i;
          }
          if (child.is_scalar()) continue;
          const SizeNodes& grandchildren = children_of(later, child, k, 2);
          const SizeNodes& expected_grandchildren = children_of(at_once, child, e, 2);
          ASSERT_EQ(expected_grandchildren.size(), grandchildren.size());
          for (size_t g = 0; g < grandchildren.size(); ++g) {
            ASSERT_EQ(expected_grandchildren[g].full, grandchildren[g].full) << i;
            ASSERT_EQ(expected_grandchildren[g].min, grandchildren[g].min) << i;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tersolite
