#include "text/shorten.h"

#include <gtest/gtest.h>

#include "size/size_node.h"
#include "support/doc_gen.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

const ShortenSettings kDefaults;

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(CutAtWord, CutsAtASpaceOnlyInTheLastQuarter) {
  struct Case {
    const char* text;
    uint64_t limit;
    const char* prefix;
  } cases[] = {
      {"alpha beta gamma", 10, "alpha beta"},  // space at 5 is below 3/4 of 10: hard cut
      {"alpha beta gamma", 12, "alpha beta"},  // space at 10 >= 9: cut before it
      {"alpha beta gamma", 16, "alpha beta gamma"},
      {"alpha beta gamma", 0, ""},
      {"abcdefghij", 4, "abcd"},
      {"ab   cdefgh", 5, "ab"},  // trailing spaces go with the cut
      {"\xC3\xA9\xC3\xA9\xC3\xA9 x", 3, "\xC3\xA9\xC3\xA9\xC3\xA9"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.prefix, cut_at_word(c.text, c.limit).prefix) << c.text << c.limit;
}

TEST(CutWithMarker, CountsWhatIsLeftOut) {
  std::string text = repeat("x", 600);
  EXPECT_EQ(repeat("x", 200) + "\xE2\x80\xA6[+400 chars]", cut_with_marker(text, 200));
  EXPECT_EQ("alpha beta\xE2\x80\xA6[+6 chars]", cut_with_marker("alpha beta gamma", 12));
}

TEST(CutToFit, KeepsTheLongestCutThatFits) {
  std::string text = repeat("word ", 40);  // 200 characters
  for (uint64_t budget : {15u, 20u, 50u, 120u}) {
    std::string cut = cut_to_fit(text, budget);
    EXPECT_LE(json_string_size(cut), budget) << budget;
    EXPECT_GT(json_string_size(cut) + 6, budget) << cut;  // at most a word's worth short
  }
  // Room for the quotes only: the marker alone, even though it does not fit.
  EXPECT_EQ("\xE2\x80\xA6[+200 chars]", cut_to_fit(text, 2));
}

TEST(Segments, SplitsParagraphsLinesAndSentences) {
  auto texts = [](const std::vector<Segment>& segs) {
    std::vector<std::string> out;
    for (const auto& s : segs) out.push_back(std::string(s.text) + "|" + std::string(s.separator));
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ((V{"one|\n\n", "two|"}), texts(split_paragraphs("one\n\ntwo")));
  EXPECT_EQ((V{"one|\n  \n", "two|"}), texts(split_paragraphs("one\n  \ntwo")));
  EXPECT_EQ((V{"one|\n\n", "  two|"}), texts(split_paragraphs("one\n\n  two")));
  EXPECT_EQ((V{"one\ntwo|"}), texts(split_paragraphs("one\ntwo")));
  EXPECT_EQ((V{"one\n\n\n|"}), texts(split_paragraphs("one\n\n\n")));  // blank lines at the end stay
  EXPECT_EQ((V{"one|\n", "two|\r\n", "three|"}), texts(split_lines("one\ntwo\r\nthree")));
  EXPECT_EQ((V{"one|\n"}), texts(split_lines("one\n")));
  EXPECT_EQ((V{"One.| ", "Two.|"}), texts(split_sentences("One. Two.")));
  EXPECT_EQ((V{"Why?|\t ", "Yes!|  ", "x|"}), texts(split_sentences("Why?\t Yes!  x")));
  EXPECT_EQ((V{"End. |"}), texts(split_sentences("End. ")));
  EXPECT_EQ(7u, split_paragraphs("one\n\ntwo")[0].chars + split_paragraphs("one\n\ntwo")[1].chars - 1);
}

TEST(ShortenLines, KeepsWholeLinesThenCountsTheRest) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += repeat("abcde", 6) + (i < 49 ? "\n" : "");
  ASSERT_EQ(1549u, char_count(text));
  std::string expected;
  for (int i = 0; i < 6; ++i) expected += repeat("abcde", 6) + "\n";
  expected += "\xE2\x80\xA6[+44 lines, 1363 chars]";
  EXPECT_EQ(expected, shorten_lines(text, 100));
  EXPECT_EQ("short", shorten_lines("short", 100));
}

TEST(ShortenString, ReturnsTextThatFitsUnchanged) {
  EXPECT_EQ("hello", shorten_string("hello", 7, kDefaults));
  EXPECT_EQ("\xE2\x80\xA6[+5 chars]", shorten_string("hello", 6, kDefaults));
}

TEST(ShortenString, KeepsLeadingSectionsAndMarksTheRest) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "Paragraph " + std::to_string(i) + " " + repeat("lorem ipsum ", 10) + "\n\n";
  std::string out = shorten_string(text, 400, kDefaults);
  EXPECT_LE(json_string_size(out), 400u);
  EXPECT_EQ(0u, out.find("Paragraph 0 lorem"));
  EXPECT_NE(std::string::npos, out.find("\xE2\x80\xA6[+"));
}

// The driver only shortens a string whose budget lies above its minimum.
TEST(ShortenString, FitsEveryBudgetAboveTheMinimum) {
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    testing::DocGen gen(seed);
    std::string text = seed % 2 ? gen.words_text() : gen.text(300);
    uint64_t full = json_string_size(text);
    uint64_t marker = json_string_size("\xE2\x80\xA6[+" + std::to_string(char_count(text)) + " chars]");
    for (uint64_t budget = std::min(full, marker) + 1; budget < full; budget += 1 + full / 17) {
      std::string out = shorten_string(text, budget, kDefaults);
      ASSERT_TRUE(is_valid_utf8(out));
      ASSERT_LE(json_string_size(out), budget) << "seed " << seed << " budget " << budget;
    }
  }
}

}  // namespace
}  // namespace tersolite
