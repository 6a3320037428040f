// Parsing helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "json/json_reader.h"
#include "lib/options.h"

namespace tersolite::testing {

/// The value of a JSON text that the test knows to be valid.
inline Value parse(std::string_view text) {
  auto v = json::read_json(text);
  EXPECT_TRUE(v) << text;
  return v ? std::move(*v) : Value();
}

/// The options of a JSON options text that the test knows to be valid.
inline Options options_of(std::string_view text) {
  auto o = build_options(parse(text));
  EXPECT_TRUE(o) << text;
  return o ? *o : Options{};
}

}  // namespace tersolite::testing
