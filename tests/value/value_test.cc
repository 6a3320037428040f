#include "value/value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "json/json_reader.h"
#include "json/json_writer.h"

namespace tersolite {
namespace {

TEST(Value, KindsHaveFixedIndicesAndNames) {
  EXPECT_EQ(Kind::kNull, Value().kind());
  EXPECT_EQ(1, static_cast<int>(Value::boolean(true).kind()));
  EXPECT_EQ(2, static_cast<int>(Value::number("1").kind()));
  EXPECT_EQ(3, static_cast<int>(Value::string("").kind()));
  EXPECT_EQ(4, static_cast<int>(Value::array().kind()));
  EXPECT_EQ(5, static_cast<int>(Value::object().kind()));
  EXPECT_EQ("bool", kind_name(Kind::kBool));
  EXPECT_EQ("object", kind_name(Kind::kObject));
}

TEST(Value, CloneIsDeepAndKeepsDuplicatesAndNul) {
  auto parsed = json::read_json(R"({"a":1.50,"a":[-0,"x\u0000y"],"e":{},"f":[]})");
  ASSERT_TRUE(parsed);
  Value copy = parsed->clone();
  EXPECT_TRUE(copy == *parsed);
  copy.members()[1].value = Value::array();
  EXPECT_FALSE(copy == *parsed);
  EXPECT_EQ(3u, parsed->members()[1].value.items()[1].text().size());
  EXPECT_EQ(R"({"a":1.50,"a":[-0,"x\u0000y"],"e":{},"f":[]})", json::to_json(*parsed));
}

TEST(Value, ArenaReadMatchesOwnedRead) {
  const char* docs[] = {
      R"([])",
      R"("plain")",
      R"("esc\"aped\u00e9\n")",
      R"({"k\u0041y":"v","k":["a\tb","",{"":0}],"n":-1.5e3,"t":true,"f":false,"z":null})",
      R"([[[[{"deep":["x"]}]]]])",
  };
  for (const char* doc : docs) {
    SCOPED_TRACE(doc);
    auto owned = json::read_json(doc);
    ASSERT_TRUE(owned);
    Arena arena;
    auto borrowed = json::read_json(doc, &arena);
    ASSERT_TRUE(borrowed);
    EXPECT_TRUE(*borrowed == *owned);
    EXPECT_EQ(json::to_json(*owned), json::to_json(*borrowed));
    Value copy = borrowed->clone();
    EXPECT_TRUE(copy == *owned);
  }
}

TEST(Value, GrowingContainersKeepOrder) {
  Value array = Value::array();
  Value object = Value::object();
  for (int i = 0; i < 1000; ++i) {
    std::string n = std::to_string(i);
    array.push_back(i % 2 ? Value::string("item " + n) : Value::number(n));
    object.add_member("key " + n, Value::array());
    object.members().back().value.push_back(Value::boolean(i % 3 == 0));
  }
  ASSERT_EQ(1000u, array.size());
  ASSERT_EQ(1000u, object.size());
  EXPECT_EQ("item 999", array.items()[999].text());
  EXPECT_EQ("998", array.items()[998].text());
  EXPECT_EQ("key 500", object.members()[500].key.view());
  EXPECT_TRUE(object.members()[999].value.items()[0].as_bool());
  Value moved = std::move(object);
  EXPECT_TRUE(object.is_null());  // NOLINT(bugprone-use-after-move): a moved-from value is null
  EXPECT_TRUE(moved.clone() == moved);
}

TEST(Value, NumbersCompareByText) {
  EXPECT_FALSE(Value::number("1.0") == Value::number("1"));
  EXPECT_TRUE(Value::number("1E+2") == Value::number("1E+2"));
}

// Every way a key is made, short and long (past what fits in the Text's
// word): its bytes, its mark, and what clone() and a move do with them.
TEST(Text, KeepsBytesMarkAndSharingInEveryForm) {
  Arena arena;
  // Short, both sides of the longest text held in the word, and long.
  const std::string keys[] = {"id", std::string(16383, 'a'), std::string(16384, 'b'), std::string(100000, 'k')};
  enum class Made { kOwned, kBorrowed, kBorrowedPlain, kArena, kArenaPlain };
  struct Case {
    Made made;
    bool plain;
    bool shares;  // data() is the source's, and clone() shares it
  };
  const Case cases[] = {
      {Made::kOwned, false, false}, {Made::kBorrowed, false, true}, {Made::kBorrowedPlain, true, true},
      {Made::kArena, false, true},  {Made::kArenaPlain, true, true},
  };
  for (const std::string& key : keys) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(c.made) << " of " << key.size() << " bytes");
      std::string_view source = key;
      Text t;
      switch (c.made) {
        case Made::kOwned: t = Text(source); break;
        case Made::kBorrowed: t = Text::borrow(source); break;
        case Made::kBorrowedPlain: t = Text::borrow_plain(source); break;
        case Made::kArena: t = Text::borrow(source, arena); break;
        case Made::kArenaPlain: t = Text::borrow_plain(source, arena); break;
      }
      EXPECT_EQ(source, t.view());
      EXPECT_EQ(source.size(), t.size());
      EXPECT_EQ(c.plain, t.is_plain_text());
      EXPECT_EQ(c.shares, t.data() == source.data());

      Text copy = t.clone();
      EXPECT_EQ(source, copy.view());
      EXPECT_EQ(c.plain, copy.is_plain_text());
      EXPECT_EQ(c.shares, copy.data() == t.data());

      Text moved = std::move(t);
      EXPECT_TRUE(t.empty());  // NOLINT(bugprone-use-after-move): a moved-from text is empty
      EXPECT_FALSE(t.is_plain_text());
      EXPECT_EQ(source, moved.view());
      moved = std::move(copy);  // the assignment swaps: `copy` now frees what `moved` held
      EXPECT_EQ(source, moved.view());
      EXPECT_EQ(source, copy.view());
    }
  }
  EXPECT_TRUE(Text().empty());
  EXPECT_TRUE(Text("").empty());
  EXPECT_TRUE(Text::borrow({}).empty());
}

// Long keys read into an arena and their clones in owned trees, as the
// shrink steps make them: nothing lost, nothing freed twice or leaked.
TEST(Text, LongKeysSurviveReadingAndCloning) {
  const std::string long_key(40000, 'x');
  const std::string escaped = "\\u00e9" + std::string(33000, 'y');
  const std::string doc = "{\"" + long_key + "\":1,\"s\":{\"" + escaped + "\":[true]}}";
  for (bool in_arena : {false, true}) {
    SCOPED_TRACE(in_arena ? "arena" : "owned");
    Arena arena;
    auto read = json::read_json(doc, in_arena ? &arena : nullptr);
    ASSERT_TRUE(read);
    ASSERT_EQ(2u, read->size());
    EXPECT_EQ(long_key, read->members()[0].key.view());
    EXPECT_EQ("\xC3\xA9" + std::string(33000, 'y'), read->members()[1].value.members()[0].key.view());
    Value rebuilt = Value::object();
    for (const Member& m : read->members()) rebuilt.add_member(m.key.clone(), m.value.clone());
    EXPECT_TRUE(rebuilt == *read);
    EXPECT_EQ(doc.size() - 4, json::to_json(rebuilt).size());  // "\u00e9" is written as its two bytes
  }
}

// Notes sit in the eight bytes before a container's elements, which stay
// aligned for any mix of notes, texts and plain allocations.
TEST(Arena, AlignsWhatFollowsANote) {
  Arena arena;
  std::mt19937_64 rng(3);
  for (int i = 0; i < 20000; ++i) {
    size_t bytes = 1 + rng() % 300;
    switch (rng() % 3) {
      case 0: {
        size_t align = rng() % 2 ? Arena::kAlign : Arena::kGrain;
        auto* p = static_cast<char*>(arena.allocate_after(8, bytes, align));
        ASSERT_EQ(0u, reinterpret_cast<uintptr_t>(p) % align);
        std::memset(p - 8, 1, 8 + bytes);
        break;
      }
      case 1: {
        auto* p = static_cast<char*>(arena.allocate(bytes));
        ASSERT_EQ(0u, reinterpret_cast<uintptr_t>(p) % Arena::kAlign);
        std::memset(p, 2, bytes);
        break;
      }
      default: arena.copy(std::string(bytes, 'x')); break;
    }
  }
}

}  // namespace
}  // namespace tersolite
