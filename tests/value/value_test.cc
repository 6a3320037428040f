#include "value/value.h"

#include <gtest/gtest.h>

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
  copy.members()[1].value.items().clear();
  EXPECT_FALSE(copy == *parsed);
  EXPECT_EQ(3u, parsed->members()[1].value.items()[1].text().size());
  EXPECT_EQ(R"({"a":1.50,"a":[-0,"x\u0000y"],"e":{},"f":[]})", json::to_json(*parsed));
}

TEST(Value, NumbersCompareByText) {
  EXPECT_FALSE(Value::number("1.0") == Value::number("1"));
  EXPECT_TRUE(Value::number("1E+2") == Value::number("1E+2"));
}

}  // namespace
}  // namespace tersolite
