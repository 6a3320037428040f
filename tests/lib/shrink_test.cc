// Whole requests that shrink: exact answers for small cases, invariants for
// many generated documents and for the real API responses of the corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "json/json_reader.h"
#include "json/json_writer.h"
#include "lib/options.h"
#include "lib/pipeline.h"
#include "lib/shrink_search.h"
#include "support/doc_gen.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"

namespace tersolite {
namespace {

struct Answer {
  bool ok = false;
  std::string error;
  std::string text;
  Value report;
  uint64_t count(const char* key) const {
    for (const Member& m : report.members()) {
      if (m.key == key) return std::stoull(std::string(m.value.text()));
    }
    return ~0ull;
  }
  bool flag(const char* key) const {
    for (const Member& m : report.members()) {
      if (m.key == key) return m.value.as_bool();
    }
    return false;
  }
};

Answer ask(std::string_view input, std::string_view options) {
  std::string env = run_request(input, options);
  auto v = json::read_json(env);
  EXPECT_TRUE(v) << env;
  Answer a;
  if (!v) return a;
  const auto& m = v->members();
  EXPECT_EQ("ok", m[0].key);
  a.ok = m[0].value.as_bool();
  if (!a.ok) {
    EXPECT_EQ(2u, m.size());
    a.error = m[1].value.text();
    return a;
  }
  EXPECT_EQ(3u, m.size());
  a.text = m[1].value.text();
  a.report = m[2].value.clone();
  EXPECT_EQ(18u, a.report.members().size());
  return a;
}

TEST(Shrink, SamplesAnArrayOfRecordsToItsBudget) {
  std::string doc = "[";
  for (int i = 0; i < 30; ++i) {
    doc += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i) + R"(,"title":"Issue number )" +
           std::to_string(i) + R"(","state":"open"})";
  }
  doc += "]";
  Answer a = ask(doc, R"({"max_chars":200,"indent":0})");
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(
      "[{\"id\":0,\"title\":\"Issue number 0\",\"state\":\"open\"},"
      "{\"id\":1,\"title\":\"Issue number 1\",\"state\":\"open\"},"
      "\"\xE2\x80\xA6[27 items omitted]\","
      "{\"id\":29,\"title\":\"Issue number 29\",\"state\":\"open\"}]",
      a.text);
}

TEST(Shrink, ReportsTheChosenAttempt) {
  Answer a = ask(R"({"a":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","b":[1,2,3,4,5,6,7,8,9,10,11,12]})",
                 R"({"max_chars":40,"indent":0})");
  ASSERT_TRUE(a.ok);
  EXPECT_TRUE(a.flag("pruned"));
  EXPECT_TRUE(a.flag("fits"));
  EXPECT_EQ(char_count(a.text), a.count("output_chars"));
  EXPECT_LE(a.count("output_chars"), 40u);
  EXPECT_EQ(71u, a.count("input_chars"));
}

TEST(Shrink, SaysWhenNothingFits) {
  // A protected value longer than the budget cannot be cut.
  Answer a =
      ask(R"({"id":"this identifier is far longer than the budget"})", R"({"max_chars":10,"protect":"id","indent":0})");
  ASSERT_TRUE(a.ok);
  EXPECT_TRUE(a.flag("pruned"));
  EXPECT_FALSE(a.flag("fits"));
  EXPECT_EQ(R"({"id":"this identifier is far longer than the budget"})", a.text);
}

// Protected content one character over the budget never fits: every attempt
// is oversized by one, the target falls by about 3 % each time, and the
// search stops at its limit of 24 attempts with the smallest result.
TEST(ShrinkSearch, StopsAfterTwentyFourAttempts) {
  Value doc = Value::object();
  doc.add_member("id", Value::string(std::string(9992, 'x')));  // {"id":"…"} is 10,001 characters
  Options o;
  o.max_chars = 10000;
  o.protect = {"id"};
  o.indent = 0;
  SearchResult r = shrink_search(doc, ShrinkRequest(o));
  EXPECT_EQ(24, r.attempts);
  EXPECT_FALSE(r.fits);
  EXPECT_EQ(10001u, r.chosen.size);
  // JSON output that fits stops at the first attempt.
  o.protect.clear();
  EXPECT_EQ(1, shrink_search(doc, ShrinkRequest(o)).attempts);
}

TEST(Shrink, WritesAndReadsYaml) {
  Answer a = ask("name: tersolite\nitems:\n  - 1\n  - 2\n", R"({})");
  ASSERT_TRUE(a.ok);
  EXPECT_EQ("name: tersolite\nitems:\n  - 1\n  - 2\n", a.text);
  Answer j = ask("key: value", R"({"format":"json","indent":0})");
  EXPECT_EQ(R"({"key":"value"})", j.text);
  Answer y = ask(R"({"a":[1,{"b":null}]})", R"({"format":"yaml"})");
  EXPECT_EQ("a:\n  - 1\n  - b: null\n", y.text);
  Answer bad = ask("a: [1", R"({})");
  EXPECT_EQ("invalid YAML input: did not find expected ',' or ']' at byte 5 line 2 column 1", bad.error);
  Answer forced = ask("{}", R"({"input_format":"yaml","format":"json"})");
  EXPECT_EQ("{}", forced.text);
}

void check_invariants(const std::string& input, const std::string& options, Format out) {
  SCOPED_TRACE(options);
  Answer a = ask(input, options);
  ASSERT_TRUE(a.ok) << a.error;
  ASSERT_EQ(char_count(a.text), a.count("output_chars"));
  ASSERT_EQ(a.count("output_chars") <= a.count("max_chars"), a.flag("fits"));
  if (out == Format::kJson) {
    ASSERT_TRUE(json::read_json(a.text)) << a.text;
  } else {
    ASSERT_TRUE(yaml::read_yaml(a.text)) << a.text;
  }
  // Markers count what is missing.
  std::regex gap("\xE2\x80\xA6\\[([0-9]+) items omitted\\]");
  uint64_t gaps = 0;
  for (auto it = std::sregex_iterator(a.text.begin(), a.text.end(), gap); it != std::sregex_iterator(); ++it)
    gaps += std::stoull((*it)[1]);
  ASSERT_EQ(a.count("items_omitted"), gaps);
  ASSERT_EQ(run_request(input, options), run_request(input, options));
}

TEST(Shrink, KeepsInvariantsOnGeneratedDocuments) {
  for (uint64_t seed = 1; seed <= 50; ++seed) {
    testing::DocGen gen(seed);
    Value doc = Value::array();
    for (int i = 0; i < 12; ++i) doc.push_back(gen.record(1));
    std::string input = json::to_json(doc);
    uint64_t size = char_count(input);
    for (uint64_t budget : {size / 10 + 30, size / 3, size / 2}) {
      std::string b = std::to_string(budget);
      check_invariants(input, R"({"indent":0,"max_chars":)" + b + "}", Format::kJson);
      check_invariants(input, R"({"indent":2,"max_chars":)" + b + R"(,"protect":["/*/id"]})", Format::kJson);
      check_invariants(input, R"({"format":"yaml","max_chars":)" + b + "}", Format::kYaml);
    }
  }
}

// Without protect patterns only the top of the measurement is kept and the
// rest is measured on demand; a pattern that matches nothing forces the
// whole measurement up front. Both must give the same bytes.
TEST(Shrink, MeasuringOnDemandChangesNothing) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    testing::DocGen gen(seed);
    Value doc = Value::array();
    for (int i = 0; i < 10; ++i) doc.push_back(gen.record(1));
    std::string input = json::to_json(doc);
    std::string budget = std::to_string(char_count(input) / 4 + 20);
    for (std::string options :
         {R"({"indent":0,"max_chars":)" + budget + "}",
          R"({"array_strategy":"condense","explain":true,"arguments":"bug title","max_chars":)" + budget + "}",
          R"({"format":"yaml","array_strategy":"condense","max_chars":)" + budget + "}"}) {
      std::string eager = options;
      eager.insert(1, R"("protect":"/no such member",)");
      ASSERT_EQ(run_request(input, options), run_request(input, eager)) << options;
    }
  }
}

TEST(Shrink, KeepsInvariantsOnTheCorpus) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(TERSOLITE_SHARED_DIR) / "corpus";
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "needs a corpus of real JSON and YAML documents in " << dir
                 << "; configure with -DTERSOLITE_SHARED_DIR=<folder holding corpus>";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".json" && ext != ".yaml" && ext != ".yml") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().filename().string());
    Format out = ext == ".json" ? Format::kJson : Format::kYaml;
    for (const char* budget : {"500", "2000", "8000"}) {
      check_invariants(input, std::string(R"({"max_chars":)") + budget + "}", out);
      check_invariants(input, std::string(R"({"indent":0,"array_strategy":"condense","max_chars":)") + budget + "}",
                       out);
    }
    ++files;
  }
  EXPECT_GT(files, 5);
}

}  // namespace
}  // namespace tersolite
