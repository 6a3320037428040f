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

// Notes sit in the eight bytes before a container's elements, which stay
// aligned for any mix of notes, texts and plain allocations.
TEST(Arena, AlignsWhatFollowsANote) {
  Arena arena;
  std::mt19937_64 rng(3);
  for (int i = 0; i < 20000; ++i) {
    size_t bytes = 1 + rng() % 300;
    switch (rng() % 3) {
      case 0: {
        auto* p = static_cast<char*>(arena.allocate_after(8, bytes));
        ASSERT_EQ(0u, reinterpret_cast<uintptr_t>(p) % Arena::kAlign);
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
