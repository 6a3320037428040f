// String shortening: long texts are cut at paragraph, line, sentence and
// word boundaries, and every cut leaves a marker that counts what is missing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tersolite {

struct ShortenSettings {
  uint64_t head_chars = 500;        // H: weight of the head allowance
  uint64_t section_chars = 100;     // S: divisor of the head allowance
  uint64_t min_section_chars = 16;  // M: smallest per-section cap tried
};

/// A slice of text and the separator that followed it.
struct Segment {
  std::string_view text;
  std::string_view separator;
  uint64_t chars = 0;  // of text and separator
};

/// `text` shortened so that its JSON literal takes at most `budget`
/// characters when that is possible; otherwise the shortest form (the
/// marker alone, or the text when nothing shorter exists).
std::string shorten_string(std::string_view text, uint64_t budget, const ShortenSettings& settings);

std::vector<Segment> split_paragraphs(std::string_view text);
std::vector<Segment> split_lines(std::string_view text);
std::vector<Segment> split_sentences(std::string_view text);

struct WordCut {
  std::string_view prefix;
  uint64_t kept = 0;  // characters of prefix
};
/// The first `limit` characters, ending at a word boundary when one lies in
/// the last quarter.
WordCut cut_at_word(std::string_view text, uint64_t limit);
/// cut_at_word followed by "…[+N chars]".
std::string cut_with_marker(std::string_view text, uint64_t limit);
/// The longest cut_with_marker whose literal fits `budget`.
std::string cut_to_fit(std::string_view text, uint64_t budget);
/// Line-aware cut to about `limit` characters.
std::string shorten_lines(std::string_view text, uint64_t limit);
/// The pieces of the segments with per-section cap `cap`, if they fit.
std::optional<std::vector<std::string>> fit_sections(const std::vector<Segment>& segments, uint64_t cap,
                                                     uint64_t budget, const ShortenSettings& settings);

}  // namespace tersolite
