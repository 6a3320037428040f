#include <gtest/gtest.h>

#include <map>

#include "condense/condense.h"
#include "condense/field_stats.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "lib/pipeline.h"
#include "prune/prune.h"
#include "support/parse.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

using testing::parse;

Options with(std::string_view options_json) { return testing::options_of(options_json); }

Options indented(Options o, uint64_t width) {
  o.indent = width;
  return o;
}

// One prune of a document with the condense strategy.
struct Condensed {
  Condensed(std::string_view text, uint64_t budget, std::string_view options = "{}", uint64_t width = 0)
      : options(indented(with(options), width)), doc(parse(text)), request(this->options), ctx(request) {
    this->options.array_strategy = ArrayStrategy::kCondense;
    request.condense_array = condense_array;
    PathStack path;
    SizeNode node = measure(ctx.measure_settings(), doc, 0, path, false);
    PruneResult r = prune(ctx, doc, node, budget, 0);
    out = json::to_json(r.value, width);
    EXPECT_EQ(char_count(out), r.size) << out;
    EXPECT_LE(r.size, budget) << out;
    result = std::move(r.value);
  }
  std::vector<std::string> dropped() const {
    std::vector<std::string> d;
    for (const auto& f : ctx.dropped_fields) d.push_back(f.path + " " + std::to_string(f.items));
    return d;
  }

  Options options;
  Value doc;
  ShrinkRequest request;
  PruneContext ctx;
  Value result;
  std::string out;
};

std::string issues(int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) {
    std::string id = std::to_string(1000 + i);
    s +=
        (i ? "," : "") + std::string(R"({"id":)") + id + R"(,"title":"Crash number )" + id +
        R"( when exporting reports","state":")" + (i % 3 ? "open" : "closed") + R"(","user":{"login":"dev)" +
        std::to_string(i % 4) + R"(","avatar_url":"https://example.com/avatars/)" + id +
        R"(.png"},"body":"Steps to reproduce: open the page, press export, wait for the spinner to stop and look at the console.",)"
        R"("created_at":"2026-01-)" +
        std::to_string(10 + i % 19) + R"(T10:00:00Z","etag":"W/\")" + id + R"(abcdef\""})";
  }
  return s + "]";
}

TEST(Condense, KeepsEveryRecordWithItsBestFields) {
  Condensed c(issues(20), 2000);
  ASSERT_TRUE(c.result.is_array());
  EXPECT_EQ(20u, c.result.items().size());
  EXPECT_EQ(1u, c.ctx.stats.arrays_condensed);
  const Value& first = c.result.items()[0];
  std::vector<std::string> keys;
  for (const Member& m : first.members()) keys.emplace_back(m.key);
  EXPECT_EQ((std::vector<std::string>{"id", "title", "state"}), keys) << c.out;
  EXPECT_EQ((std::vector<std::string>{"/*/body 20", "/*/created_at 20", "/*/etag 20", "/*/user 20"}), c.dropped());
  EXPECT_EQ(4u, c.ctx.fields_dropped);
}

TEST(Condense, DeclinesArraysThatAreNotRecords) {
  for (
      const char* doc :
      {R"([{"a":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}])",
       R"([{"a":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},"yyyyyyyyyyyyyyyyyyyyyyyyyyyy"])",
       R"([{"a":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},{"b":"yyyyyyyyyyyyyyyyyyyyyyyyyyy"},{"c":"zzzzzzzzzzzzzzzzzzzzzzzz"}])"}) {
    Condensed c(doc, 40);
    EXPECT_EQ(0u, c.ctx.stats.arrays_condensed) << doc;
    EXPECT_EQ(0u, c.ctx.fields_dropped) << doc;
    EXPECT_EQ(1u, c.ctx.stats.arrays_sampled + c.ctx.stats.containers_collapsed) << doc;
  }
}

TEST(Condense, ExplainsItsDecisions) {
  Condensed quiet(issues(20), 2000);
  EXPECT_TRUE(quiet.ctx.field_decisions.empty());
  Condensed c(issues(20), 2000, R"({"explain":true})");
  ASSERT_FALSE(c.ctx.field_decisions.empty());
  const FieldDecision& top = c.ctx.field_decisions[0];
  EXPECT_EQ("/*/title", top.path);
  EXPECT_EQ(950u, top.score);
  EXPECT_TRUE(top.kept);
  for (size_t i = 1; i < c.ctx.field_decisions.size(); ++i)
    EXPECT_GE(c.ctx.field_decisions[i - 1].score, c.ctx.field_decisions[i].score);
}

TEST(Condense, ProtectsWholeRecordsPartsAndReportsThemAtTwo) {
  // Protecting "user" protects user/login and user/avatar_url inside the records.
  Condensed c(issues(12), 3000, R"({"protect":["user"],"explain":true})");
  ASSERT_EQ(1u, c.ctx.stats.arrays_condensed) << c.out;
  EXPECT_NE(std::string::npos, c.out.find("\"avatar_url\":\"https://example.com/avatars/1000.png\"")) << c.out;
  bool saw = false;
  for (const FieldDecision& d : c.ctx.field_decisions) {
    if (d.path == "/*/user/login") {
      EXPECT_EQ(2000u, d.score);
      EXPECT_TRUE(d.kept);
      saw = true;
    }
  }
  EXPECT_TRUE(saw);
  // A protected field that cannot fit stops condensing; sampling takes over.
  Condensed tight(issues(12), 600, R"({"protect":["body"]})");
  EXPECT_EQ(0u, tight.ctx.stats.arrays_condensed) << tight.out;
}

TEST(Condense, ReportsADroppedObjectOnce) {
  std::string doc = "[";
  for (int i = 0; i < 10; ++i) {
    doc += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i) + R"(,"name":"Customer )" + std::to_string(i) +
           R"(","address":{"street":"Long Street )" + std::to_string(i) + R"(","city":"Springfield","zip":"12345"}})";
  }
  doc += "]";
  Condensed c(doc, 300);
  EXPECT_EQ((std::vector<std::string>{"/*/address 10"}), c.dropped()) << c.out;
}

TEST(Condense, CapsTheDroppedFieldList) {
  std::string doc = "{";
  for (int a = 0; a < 6; ++a) {
    doc += (a ? "," : "") + std::string("\"list") + std::to_string(a) + "\":[";
    for (int i = 0; i < 4; ++i) {
      doc += (i ? "," : "") + std::string(R"({"title":"Item title )") + std::to_string(i) + "\"";
      for (int f = 0; f < 6; ++f)
        doc += ",\"field" + std::to_string(f) + "\":\"value number " + std::to_string(f * 7 + i) + " of this record\"";
      doc += "}";
    }
    doc += "]";
  }
  doc += "}";
  Condensed c(doc, 1500, R"({"array_strategy":"condense"})");
  EXPECT_GT(c.ctx.fields_dropped, 24u) << c.out;
  EXPECT_EQ(24u, c.ctx.dropped_fields.size());
}

uint32_t score_of(const Condensed& c, const std::string& path) {
  for (const FieldDecision& d : c.ctx.field_decisions) {
    if (d.path == path) return d.score;
  }
  ADD_FAILURE() << "no decision for " << path;
  return 0;
}

TEST(Condense, LowersRepeatedValuesAndSharedLabels) {
  std::string doc = "[";
  for (int i = 0; i < 12; ++i) {
    std::string n = std::to_string(10 + i);
    doc += (i ? "," : "") + std::string(R"({"name":"Customer )") + n + R"(","display_name":"Customer )" + n +
           R"(","created_at":"2026-01-)" + n + R"(T00:00:00Z","updated_at":"2026-02-)" + n +
           R"(T00:00:00Z","closed_at":"2026-03-)" + n + R"(T00:00:00Z"})";
  }
  doc += "]";
  Condensed c(doc, 100000 / 100, R"({"explain":true})");
  // display_name repeats name record by record: it keeps 0.15 of its score.
  EXPECT_NEAR(score_of(c, "/*/name") * 0.15, score_of(c, "/*/display_name"), 1.0);
  // The three timestamps share the label "time": 1, 0.75 and 0.75 squared.
  uint32_t first = score_of(c, "/*/created_at");
  EXPECT_NEAR(first * 0.75, score_of(c, "/*/updated_at"), 1.0);
  EXPECT_NEAR(first * 0.5625, score_of(c, "/*/closed_at"), 1.0);
}

TEST(Condense, NeedsAnInformativeFieldBesidesIdentifiers) {
  // Only identifiers would fit: the plan is refused and sampling takes over.
  std::string doc = "[";
  for (int i = 0; i < 30; ++i)
    doc += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(100000 + i) + R"(,"body":")" +
           std::string(300, 'x') + "\"}";
  doc += "]";
  Condensed c(doc, 400);
  EXPECT_EQ(0u, c.ctx.stats.arrays_condensed) << c.out;
}

TEST(CondensedSize, CutsLongStringsToTheCap) {
  Options o = indented({}, 0);
  ShrinkRequest request(o);
  PruneContext ctx(request);
  PathStack path;
  for (auto [len, expected] : {std::pair<size_t, uint64_t>{40, 42}, {41, 2 + 24 + 12}}) {
    Value s = Value::string(std::string(len, 'x'));
    SizeNode node = measure(ctx.measure_settings(), s, 1, path, false);
    EXPECT_EQ(expected, condensed_size(ctx, 24, s, node, 1)) << len;
  }
}

TEST(FieldStats, GathersFlagsAndFingerprints) {
  Options o = indented({}, 0);
  ShrinkRequest request(o);
  PruneContext ctx(request);
  Value records = parse(R"([{"d":"2024-01-31","n":123456789,"h":"abcdefabcde-12","a":1,"b":2,"e":{}},
                            {"d":"2024-1-31xx","n":12345678,"h":"three plain words","a":3,"b":4,"e":{"x":1}},
                            {"d":"2024-02-01","n":5,"h":"","a":5,"b":6}])");
  PathStack path;
  SizeNode node = measure(ctx.measure_settings(), records, 0, path, false);
  FieldStatsCollector stats(nullptr);
  stats.gather(ctx, 24, records.items(), node.children, 1);
  const auto& f = stats.fields();
  auto field = [&](std::vector<std::string> p) { return f[*stats.find(p)]; };
  EXPECT_TRUE(field({"d"}).not_date);   // the second is not a date
  EXPECT_EQ(1u, field({"n"}).id_like);  // nine digits, not eight
  EXPECT_EQ(1u, field({"h"}).id_like);
  EXPECT_EQ(2u, field({"e"}).objects);
  EXPECT_EQ(1u, field({"e"}).empties);
  EXPECT_EQ(1u, field({"e"}).object_holders);
  EXPECT_EQ(1u, field({"e", "x"}).present);
  EXPECT_NE(field({"a"}).fingerprint, field({"b"}).fingerprint);
  EXPECT_EQ(0u, field({"a"}).query_matches);
  EXPECT_TRUE(field({"a"}).value_words.empty());
  EXPECT_EQ("/*/address/city", path_display({}, {"address", "city"}));
  EXPECT_EQ("/data/users/*/address", path_display({"data", "users"}, {"address"}));
  // Equal values record by record give equal fingerprints; swapping changes it.
  uint64_t same = mix_with_index(value_hash(Value::number("1")), 0) + mix_with_index(value_hash(Value::number("2")), 1);
  uint64_t swapped =
      mix_with_index(value_hash(Value::number("2")), 0) + mix_with_index(value_hash(Value::number("1")), 1);
  EXPECT_NE(same, swapped);
}

// Counting a second cap while gathering, or recounting afterwards, must give
// what gathering at that cap gives; and records whose keys change order or
// set must still land on the right fields.
TEST(FieldStats, CondensedSizesAgreeAcrossCaps) {
  Options o = indented({}, 0);
  ShrinkRequest request(o);
  PruneContext ctx(request);
  Value records = parse(
      R"([{"t":"a title long enough to be cut at either cap","u":{"n":"short","bio":"another text well past both caps"}},
                            {"u":{"bio":"x","n":"a name that is quite a bit longer than twelve"},"t":"brief"},
                            {"t":"third title, also long enough to be cut at both caps","extra":"only here, and long too"}])");
  PathStack path;
  SizeNode node = measure(ctx.measure_settings(), records, 0, path, false);
  auto gathered = [&](uint64_t cap, std::optional<uint64_t> other) {
    FieldStatsCollector stats(nullptr, other);
    stats.gather(ctx, cap, records.items(), node.children, 1);
    return stats;
  };
  auto sums = [](const FieldStatsCollector& stats) {
    std::map<std::vector<std::string>, uint64_t> out;
    for (const FieldStats& f : stats.fields()) out[f.path] = f.condensed_size_sum;
    return out;
  };
  FieldStatsCollector at12 = gathered(12, std::nullopt);
  FieldStatsCollector at24 = gathered(24, std::nullopt);
  EXPECT_NE(sums(at12), sums(at24));
  for (std::optional<uint64_t> other : {std::optional<uint64_t>(12), std::optional<uint64_t>()}) {
    FieldStatsCollector stats = gathered(24, other);
    EXPECT_EQ(sums(at24), sums(stats));
    stats.recount_condensed(ctx, 12, records.items(), node.children, 1);
    EXPECT_EQ(sums(at12), sums(stats)) << (other ? "counted while gathering" : "recounted");
  }
  EXPECT_EQ(5u, at12.fields().size());  // t, u, u/n, u/bio, extra
}

TEST(Condense, FollowsTheQuery) {
  std::string doc = "[";
  for (int i = 0; i < 15; ++i) {
    doc += (i ? "," : "") + std::string(R"({"id":)") + std::to_string(i) + R"(,"title":"Report )" + std::to_string(i) +
           R"(","priority":")" + (i % 2 ? "high" : "low") + R"(","assignee_team":"team )" + std::to_string(i % 3) +
           R"(","description":"Something long enough to be worth cutting when the budget is tight here."})";
  }
  doc += "]";
  Condensed plain(doc, 700, R"({"explain":true})");
  Condensed asked(doc, 700, R"({"explain":true,"arguments":{"q":"assignee team"}})");
  EXPECT_EQ(std::string::npos, plain.out.find("assignee_team")) << plain.out;
  EXPECT_NE(std::string::npos, asked.out.find("assignee_team")) << asked.out;
}

}  // namespace
}  // namespace tersolite
