#include "lexical/query_terms.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tersolite {
namespace {

using Words = std::vector<std::string>;

TEST(Words, SplitsCamelCaseAndLowerCases) {
  struct Case {
    const char* text;
    Words words;
  } cases[] = {
      {"createdAt", {"created", "at"}},
      {"userID", {"user", "id"}},
      {"JSONData", {"jsondata"}},
      {"item2Name", {"item2", "name"}},
      {"snake_case-name", {"snake", "case", "name"}},
      {"HTMLParser", {"htmlparser"}},
      {"*", {}},
      {"", {}},
      {"\xC3\x89t\xC3\xA9 2024", {"\xC3\xA9t\xC3\xA9", "2024"}},                                   // Été
      {"\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1", {"\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1"}},  // Σοφία
      {"stra\xC3\x9F"
       "e",
       {"stra\xC3\x9F"
        "e"}},
      {"\xE2\x85\xA0x", {"\xE2\x85\xB0x"}},  // Roman numeral one: numeric, lower-cased
      {"caf\xC3\xA9"
       "Bar",
       {"caf\xC3\xA9", "bar"}},                                 // a camel boundary after a non-ASCII letter
      {"na\xC3\xAFveTest go", {"na\xC3\xAFve", "test", "go"}},  // a lower-case run, then more of the word
      {"abc123Def xyz", {"abc123", "def", "xyz"}},
      {"one\xE2\x80\x94two", {"one", "two"}},  // an em dash separates
      {"Title\n\nbody-text.", {"title", "body", "text"}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.words, words(c.text)) << c.text;
}

// ASCII words the plain way, one byte at a time, to check the word scan's
// runs (read eight bytes at a time) at every offset and length.
Words ascii_words(std::string_view text) {
  Words out;
  std::string current;
  bool prev_lower_or_digit = false;
  for (char c : text) {
    bool lower_or_digit = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    bool upper = c >= 'A' && c <= 'Z';
    if (!lower_or_digit && !upper) {
      if (!current.empty()) out.push_back(current);
      current.clear();
      prev_lower_or_digit = false;
      continue;
    }
    if (upper && prev_lower_or_digit && !current.empty()) {
      out.push_back(current);
      current.clear();
    }
    current.push_back(upper ? static_cast<char>(c - 'A' + 'a') : c);
    prev_lower_or_digit = lower_or_digit;
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

TEST(Words, MatchesAByteByByteScanOnAsciiText) {
  const std::string alphabet = "abcxyz0189ABZ _-.:/`{|}@[\x7f";
  uint64_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<size_t>(seed >> 33);
  };
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    size_t length = next() % 40;
    for (size_t i = 0; i < length; ++i) {
      // Long runs of one class now and then, to cross eight-byte blocks.
      size_t repeat = next() % 5 == 0 ? next() % 12 : 1;
      char c = alphabet[next() % alphabet.size()];
      text.append(repeat, c);
    }
    EXPECT_EQ(ascii_words(text), words(text)) << text;
  }
}

TEST(IsUseful, DropsStopwordsShortWordsAndShortNumbers) {
  for (const char* w : {"a", "by", "the", "user", "com", "distinct", "between", "https", "42", "123", "x"})
    EXPECT_FALSE(is_useful(w)) << w;
  EXPECT_TRUE(is_useful(std::string_view("\0\0", 2)));  // packs like no word at all
  for (const char* w : {"2024", "bug", "users", "id", "\xC3\xA9t", "distinc", "betweens"})
    EXPECT_TRUE(is_useful(w)) << w;
  EXPECT_EQ("user", stem("users"));
  EXPECT_EQ("class", stem("class"));
  EXPECT_EQ("bus", stem("bus"));
}

Words sorted(const WordSet& set) {
  Words w(set.begin(), set.end());
  std::sort(w.begin(), w.end());
  return w;
}

TEST(AnalyseQuery, SeparatesTheOrderByClause) {
  auto q = analyse_query(std::string("find active users sorted by date"), false);
  ASSERT_TRUE(q);
  EXPECT_EQ((Words{"active", "user", "sorted", "date"}), q->terms);

  auto ob = analyse_query(std::string("name email order by created_at desc limit 10"), false);
  ASSERT_TRUE(ob);
  EXPECT_EQ((Words{"name", "email"}), ob->terms);
  EXPECT_EQ((Words{"created"}), sorted(ob->secondary));

  auto upper = analyse_query(std::string("Bugs ORDER BY Priority LIMIT 5 region"), false);
  ASSERT_TRUE(upper);
  EXPECT_EQ((Words{"bug", "region"}), upper->terms);
  EXPECT_EQ((Words{"priority"}), sorted(upper->secondary));

  // Positions map back through characters that lower-case to several.
  auto wide = analyse_query(std::string("\xC4\xB0stanbul ORDER BY size"), false);
  ASSERT_TRUE(wide);
  EXPECT_EQ((Words{"size"}), sorted(wide->secondary));

  EXPECT_FALSE(analyse_query(std::string("border by x"), false));
  EXPECT_FALSE(analyse_query(std::string("the 42 of 123"), false));
  EXPECT_FALSE(analyse_query(std::nullopt, false));
  EXPECT_FALSE(analyse_query(std::string("open bugs"), true));
}

TEST(KeyRelevance, WeighsExactAndSecondaryWords) {
  auto q = analyse_query(std::string("created date order by priority"), false);
  ASSERT_TRUE(q);
  EXPECT_DOUBLE_EQ(0.25, key_relevance(*q, words("createdAt"), {}));
  EXPECT_DOUBLE_EQ(1.0, key_relevance(*q, words("created_date"), {}));
  EXPECT_DOUBLE_EQ(0.0875, key_relevance(*q, words("priority_level"), {}));
  EXPECT_DOUBLE_EQ(0.5875, key_relevance(*q, words("priority_level"), {"date"}));
  EXPECT_DOUBLE_EQ(0.0, key_relevance(*q, words("title"), {"created"}));
  EXPECT_DOUBLE_EQ(0.0, key_relevance(*q, {}, {}));
}

TEST(ValueTokens, CapsAtTwoHundredFiftySixTokens) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "word" + std::to_string(1000 + i) + " ";
  TokenSet set = value_tokens(text);
  EXPECT_EQ(256u, set.size());
  EXPECT_TRUE(set.contains("word1255"));
  EXPECT_FALSE(set.contains("word1256"));
}

TEST(TokenSet, KeepsDistinctTokensInOrderAcrossClears) {
  TokenSet set = value_tokens("beta alpha Beta gamma alphas");
  ASSERT_EQ(3u, set.size());
  EXPECT_EQ("beta", set.token(0));
  EXPECT_EQ("alpha", set.token(1));
  EXPECT_EQ("gamma", set.token(2));
  TokenSet merged = value_tokens("delta alpha");
  merged.insert_all(set);
  EXPECT_EQ(4u, merged.size());
  EXPECT_EQ(5u, merged.chars(0));
  set.clear();
  EXPECT_TRUE(set.empty());
  EXPECT_FALSE(set.contains("beta"));
  add_value_tokens(set, "\xC3\xA9t\xC3\xA9 beta");
  EXPECT_EQ(2u, set.size());
  EXPECT_EQ(3u, set.chars(0));
  EXPECT_TRUE(set.contains("beta"));
}

TEST(TermMatches, AllowsOneEditForLongTerms) {
  TokenSet set = value_tokens("invoise invoices prices lorem");
  EXPECT_TRUE(term_matches("invoice", set));
  EXPECT_TRUE(term_matches("invoic", value_tokens("invoice")));  // a prefix one shorter
  EXPECT_TRUE(term_matches("invoicex", value_tokens("invoice")));
  EXPECT_FALSE(term_matches("invxxce", value_tokens("invoice")));
  EXPECT_TRUE(term_matches("price", set));   // exact after stemming
  EXPECT_FALSE(term_matches("pricy", set));  // short terms match exactly only
  EXPECT_FALSE(term_matches("lorem", TokenSet{}));
  // Characters, not bytes, count as edits.
  EXPECT_TRUE(term_matches("\xC3\xA9v\xC3\xA8nement", value_tokens("\xC3\xA9v\xC3\xA9nement")));
  EXPECT_FALSE(term_matches("evenement", value_tokens("\xC3\xA9v\xC3\xA9nement")));
  EXPECT_TRUE(term_matches("xv\xC3\xA9nement", value_tokens("\xC3\xA9v\xC3\xA9nement")));
  auto q = analyse_query(std::string("invoice total"), false);
  EXPECT_DOUBLE_EQ(0.75, value_relevance(*q, set));
  EXPECT_DOUBLE_EQ(0.0, value_relevance(*q, value_tokens("nothing here")));
}

}  // namespace
}  // namespace tersolite
