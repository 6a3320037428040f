// JSON parsing cases by file name: y_ files must be accepted, n_ files
// rejected, i_ files may go either way; none may crash. The cases in
// tests/data/json always run; the public suite runs too when it is checked
// out beside the project.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "json/json_reader.h"
#include "json/json_rewrite.h"
#include "lib/pipeline.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

namespace fs = std::filesystem;

// Checks every case in `dir`; returns how many it checked.
int check_cases(const fs::path& dir) {
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string env = run_request(text, R"({"input_format":"json","max_chars":100000000})");
    bool ok = env.rfind("{\"ok\":true,", 0) == 0;
    if (name[0] == 'y') {
      EXPECT_TRUE(ok) << env;
    }
    if (name[0] == 'n') {
      EXPECT_FALSE(ok) << env;
    }
    // What the reader accepts, the token rewriter writes as the tree writer does.
    auto parsed = is_valid_utf8(text) ? json::read_json(text) : unexpected(json::ParseError{});
    for (uint64_t width : {0, 2}) {
      // The count without a tree takes exactly what the reader takes.
      auto chars = is_valid_utf8(text) ? json::rewritten_chars(json::without_bom(text), width, UINT64_MAX)
                                       : std::nullopt;
      EXPECT_EQ(parsed.has_value(), chars.has_value());
      if (!parsed) break;
      std::string rewritten;
      json::rewrite_json(rewritten, json::without_bom(text), width);
      EXPECT_EQ(json::to_json(*parsed, width), rewritten);
      if (chars) EXPECT_EQ(char_count(rewritten), *chars);
    }
    ++checked;
  }
  return checked;
}

TEST(JsonConformance, AcceptsAndRejectsTheProjectsCases) {
  EXPECT_GT(check_cases(fs::path(TERSOLITE_SOURCE_DIR) / "tests/data/json"), 60);
}

TEST(JsonConformance, AcceptsAndRejectsAsThePublicSuiteSays) {
  fs::path dir = fs::path(TERSOLITE_SHARED_DIR) / "conformance/json/test_parsing";
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "needs the public JSON parsing suite (y_/n_/i_ *.json files) in " << dir
                 << "; configure with -DTERSOLITE_SHARED_DIR=<folder holding conformance/json/test_parsing>";
  EXPECT_GT(check_cases(dir), 300);
}

}  // namespace
}  // namespace tersolite
