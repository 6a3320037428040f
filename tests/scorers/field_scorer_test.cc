#include "scorers/field_scorer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "scorers/field_features.h"
#include "value/value.h"

namespace tersolite {
namespace {

// One member seen by the shrink driver: rows = occurrences = 1.
FieldFeatures member(std::string_view key, Kind kind, double mean_size = 10, std::string_view text = "") {
  Value value;
  switch (kind) {
    case Kind::kNumber: value = Value::number("7"); break;
    case Kind::kString: value = Value::string(text); break;
    case Kind::kArray: value = Value::array(); break;
    case Kind::kObject:
      value = Value::object();
      value.add_member("x", Value::number("1"));
      break;
    default: break;
  }
  FieldFeatures f;
  member_features(f, Member{Text(key), std::move(value)}, 0, 0, nullptr);
  f.path = {key};  // the member is gone
  f.mean_size = mean_size;
  return f;
}

TEST(HeuristicScorer, ScoresMembersByName) {
  const FieldScorer& h = scorer_for(ScorerKind::kHeuristic);
  struct Case {
    FieldFeatures f;
    double score;
  } cases[] = {
      {member("title", Kind::kString, 20, "Crash on export"), 0.95},
      {member("etag", Kind::kString, 20, "W/abc"), 0.1},
      {member("createdAt", Kind::kString, 22, "2026-01-01T00:00:00Z"), 0.55},
      {member("user_id", Kind::kNumber, 5), 0.72},
      {member("status", Kind::kString, 8, "active"), 0.85},
      {member("description", Kind::kString, 2, ""), 0.021},
      {member("itemtitle", Kind::kString, 10, "x"), 0.95},
      {member("productname", Kind::kString, 10, "x"), 0.9},
      {member("_links", Kind::kObject, 50), 0.08 * 0.85},  // containers lose a little more
      {member("_id", Kind::kString, 12, "abc"), 0.98 - 0.0},
      {member("first_name", Kind::kString, 6, "Ada"), 0.9},
      {member("repo_name", Kind::kString, 6, "x"), 0.78},
      {member("metadata", Kind::kObject, 50), 0.25 * 0.85},
      {member("zzz", Kind::kString, 6, "x"), 0.5},
      // Words in several lists, a noise word spelt across words, a listed
      // word ending a longer one, qualified names and non-ASCII words.
      {member("etag_url", Kind::kString, 10, "x"), 0.6},
      {member("avatarUrls", Kind::kString, 10, "x"), 0.1},
      {member("bookdescription", Kind::kString, 10, "x"), 0.7},
      {member("displayName", Kind::kString, 10, "x"), 0.9},
      {member("repoDisplayName", Kind::kString, 10, "x"), 0.78},
      {member("\xC3\x9C"
              "berTitle",
              Kind::kString, 10, "x"),
       0.95},
      // Words joined with a digit, a digit before a listed ending, and a
      // capital after words the quick scan has read already.
      {member("e_tag", Kind::kString, 10, "x"), 0.1},
      {member("e_tag_2", Kind::kString, 10, "x"), 0.5},
      {member("2status", Kind::kString, 10, "x"), 0.85},
      {member("user_Name", Kind::kString, 10, "x"), 0.9},
      {member("field_17", Kind::kString, 10, "x"), 0.5},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.score, h.score(c.f), 1e-9) << c.f.path[0];
}

TEST(HeuristicScorer, JudgesColumnsByPath) {
  const FieldScorer& h = scorer_for(ScorerKind::kHeuristic);
  FieldFeatures href;
  href.path = {"*", "_links", "self", "href"};
  href.rows = href.occurrences = href.strings = href.scalars = href.distinct = 5;
  EXPECT_NEAR(0.08, h.score(href), 1e-9);

  auto column = [](std::vector<std::string_view> path) {
    FieldFeatures f;
    f.path = std::move(path);
    f.rows = f.occurrences = f.strings = f.scalars = 10;
    f.distinct = 10;
    f.mean_size = 12;
    return f;
  };
  EXPECT_EQ("group:orders/items", h.group_label(column({"orders", "*", "items", "*", "price"})));
  EXPECT_EQ("time", h.group_label(column({"*", "updated_at"})));
  EXPECT_EQ("link", h.group_label(column({"*", "html_url"})));
  EXPECT_EQ("identity", h.group_label(column({"*", "user_id"})));
  EXPECT_EQ("identity", h.group_label(column({"*", "created_id"})));
  EXPECT_EQ("title", h.group_label(column({"*", "headline"})));
  EXPECT_EQ(std::nullopt, h.group_label(column({"*", "plain"})));

  EXPECT_TRUE(h.is_identifier(column({"*", "sku"})));
  FieldFeatures count = column({"*", "count"});
  count.strings = 0;
  count.numbers = 10;
  count.distinct = 5;
  EXPECT_FALSE(h.is_identifier(count));
  FieldFeatures ids = column({"*", "opaque"});
  ids.distinct = 10;
  ids.id_like = true;
  EXPECT_TRUE(h.is_identifier(ids));
}

TEST(OtherScorers, PreferSmallOrEarlyFields) {
  const FieldScorer& c = scorer_for(ScorerKind::kCompact);
  const FieldScorer& k = scorer_for(ScorerKind::kKeyOrder);
  FieldFeatures f = member("x", Kind::kString, 40, "abc");
  EXPECT_DOUBLE_EQ(0.5, c.score(f));
  f.empties = 1;
  EXPECT_DOUBLE_EQ(0.05, c.score(f));
  f.mean_position = 3;
  EXPECT_DOUBLE_EQ(0.25, k.score(f));
  f.mean_position = 0;
  EXPECT_DOUBLE_EQ(1.0, k.score(f));
  EXPECT_FALSE(c.is_identifier(member("id", Kind::kNumber)));
  EXPECT_EQ(std::nullopt, k.group_label(member("id", Kind::kNumber)));
  EXPECT_EQ("key_order", k.name());
}

TEST(Ranking, TiersAndNanLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double score, factor;
  } cases[] = {{1.0, 1.0}, {0.75, 1.0}, {0.7499, 0.9}, {0.45, 0.9}, {0.4499, 0.7},
               {0.0, 0.7}, {-1.0, 0.7}, {inf, 1.0},    {-inf, 0.7}, {nan, 0.7}};
  for (const Case& c : cases) EXPECT_EQ(tier_factor(c.score), c.factor) << c.score;
  // NaN sorts after every number.
  std::vector<double> scores = {0.2, nan, -1.0, 0.9};
  std::sort(scores.begin(), scores.end(), [](double a, double b) { return nan_last_rank(a) > nan_last_rank(b); });
  EXPECT_EQ(scores[0], 0.9);
  EXPECT_EQ(scores[2], -1.0);
  EXPECT_TRUE(std::isnan(scores[3]));
}

TEST(ValueTexts, RecogniseNumbersDatesAndIdentifiers) {
  EXPECT_TRUE(is_numeric_text("-12.5"));
  EXPECT_FALSE(is_numeric_text("1.2.3"));
  EXPECT_FALSE(is_numeric_text("-"));
  EXPECT_TRUE(is_date_text("2024-01-31"));
  EXPECT_FALSE(is_date_text("2024-1-31xx"));
  struct Case {
    const char* text;
    bool id;
  } ids[] = {
      {"abcdefabcde-12", true},
      {"three plain words", false},
      {"aB3aB3aB3aB3", true},
      {"abcdefgh", false},
      {"deadbee1", true},
      {"dead bee1", false},
      {"aG3aG3aG3aG", false},
      {"ABCDEFGHIJK1", false},
      {"ABCDEF_0123-", true},
      {"abc\x01"
       "def12",
       false},
      {"zzzzzzzzzz1Z", true},
      {"1234567", false},
  };
  for (const Case& c : ids) EXPECT_EQ(c.id, is_id_text(c.text)) << c.text;
}

}  // namespace
}  // namespace tersolite
