#include "text/shorten.h"

#include <algorithm>

#include "size/arith.h"
#include "size/markers.h"
#include "size/size_node.h"
#include "value/utf8.h"

namespace tersolite {

namespace {

Segment make_segment(std::string_view text, std::string_view separator) {
  return Segment{text, separator, char_count(text) + char_count(separator)};
}

// Removes trailing white space (Unicode White_Space).
std::string_view trim_end(std::string_view text) {
  while (!text.empty()) {
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    size_t pos = start;
    if (!is_unicode_space(decode_utf8(text, pos))) break;
    text = text.substr(0, start);
  }
  return text;
}

WordCut cut_at_word_counted(std::string_view text, uint64_t total, uint64_t limit) {
  if (total <= limit) return {text, total};
  size_t pos = 0;
  bool has_space = false;
  uint64_t space_index = 0;
  size_t space_byte = 0;
  for (uint64_t index = 0; index < limit; ++index) {
    size_t start = pos;
    if (is_unicode_space(decode_utf8(text, pos))) {
      has_space = true;
      space_index = index;
      space_byte = start;
    }
  }
  std::string_view prefix = text.substr(0, pos);
  if (has_space && space_index > 0 && sat_mul(4, space_index) >= sat_mul(3, limit)) {
    prefix = trim_end(text.substr(0, space_byte));
  }
  return {prefix, char_count(prefix)};
}

std::string cut_with_marker_counted(std::string_view text, uint64_t total, uint64_t limit) {
  WordCut cut = cut_at_word_counted(text, total, limit);
  return std::string(cut.prefix) + chars_marker(total - cut.kept);
}

std::string cut_to_fit_counted(std::string_view text, uint64_t total, uint64_t budget) {
  std::string marker_only = cut_with_marker_counted(text, total, 0);
  if (json_string_size(marker_only) > budget) return marker_only;
  // Every kept character takes at least one, so no cut longer than the
  // budget can fit: searching below it finds the same cut, faster.
  uint64_t lo = 0, hi = std::min(total, budget);
  while (lo < hi) {
    uint64_t mid = lo + (hi - lo + 1) / 2;
    if (json_string_size(cut_with_marker_counted(text, total, mid)) <= budget) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return cut_with_marker_counted(text, total, lo);
}

// The literal size of the pieces joined, without building the join.
uint64_t pieces_literal_size(const std::vector<std::string>& pieces) {
  uint64_t size = 2;
  for (const std::string& p : pieces) size += json_string_size(p) - 2;
  return size;
}

std::vector<std::string> build_sections(const std::vector<Segment>& segments, uint64_t cap,
                                        const ShortenSettings& settings) {
  uint64_t head = sat_mul(cap, settings.head_chars) / std::max<uint64_t>(settings.section_chars, 1);
  std::vector<std::string> pieces;
  pieces.reserve(segments.size());
  size_t taken = 0;
  uint64_t running = 0;
  while (taken < segments.size() && sat_add(running, segments[taken].chars) <= head) {
    running += segments[taken].chars;
    pieces.push_back(std::string(segments[taken].text) + std::string(segments[taken].separator));
    ++taken;
  }
  if (taken == 0 && !segments.empty()) {
    pieces.push_back(shorten_lines(segments[0].text, std::max(head, cap)) + std::string(segments[0].separator));
    taken = 1;
  }
  for (size_t i = taken; i < segments.size(); ++i) {
    pieces.push_back(shorten_lines(segments[i].text, cap) + std::string(segments[i].separator));
  }
  return pieces;
}

std::string join(const std::vector<std::string>& pieces, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += pieces[i];
  return out;
}

// When not even the smallest cap fits: keep leading pieces and count the
// sections left out.
std::string section_fallback(std::string_view text, const std::vector<Segment>& segments, uint64_t budget,
                             const ShortenSettings& settings) {
  std::vector<std::string> pieces =
      build_sections(segments, std::max<uint64_t>(settings.min_section_chars, 1), settings);
  uint64_t total = char_count(text);
  size_t n = segments.size();
  if (json_string_size(sections_marker(n, total)) > budget) return cut_to_fit_counted(text, total, budget);
  uint64_t size = 2;  // literal of the pieces added so far
  uint64_t added_chars = 0;
  size_t added = 0;
  for (; added < n; ++added) {
    uint64_t next_size = size + json_string_size(pieces[added]) - 2;
    uint64_t next_chars = added_chars + segments[added].chars;
    std::string marker = sections_marker(n - added - 1, sat_sub(total, next_chars));
    if (next_size + json_string_size(marker) - 2 > budget) break;
    size = next_size;
    added_chars = next_chars;
  }
  std::string out = join(pieces, added);
  if (added < n) out += sections_marker(n - added, sat_sub(total, added_chars));
  return out;
}

}  // namespace

std::vector<Segment> split_paragraphs(std::string_view text) {
  std::vector<Segment> segments;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\n' && i + 1 < text.size()) {
      size_t j = i + 1;
      size_t run_end = 0;  // just after the last further line feed
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t' || text[j] == '\r' || text[j] == '\n')) {
        if (text[j] == '\n') run_end = j + 1;
        ++j;
      }
      if (run_end > 0 && run_end < text.size()) {
        segments.push_back(make_segment(text.substr(start, i - start), text.substr(i, run_end - i)));
        start = i = run_end;
        continue;
      }
    }
    ++i;
  }
  segments.push_back(make_segment(text.substr(start), {}));
  return segments;
}

std::vector<Segment> split_lines(std::string_view text) {
  std::vector<Segment> segments;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    size_t end = i;
    if (end > start && text[end - 1] == '\r') --end;
    segments.push_back(make_segment(text.substr(start, end - start), text.substr(end, i + 1 - end)));
    start = i + 1;
  }
  if (start < text.size()) segments.push_back(make_segment(text.substr(start), {}));
  return segments;
}

std::vector<Segment> split_sentences(std::string_view text) {
  std::vector<Segment> segments;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '.' || c == '!' || c == '?') {
      size_t j = i + 1;
      while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
      if (j > i + 1 && j < text.size()) {
        segments.push_back(make_segment(text.substr(start, i + 1 - start), text.substr(i + 1, j - i - 1)));
        start = i = j;
        continue;
      }
    }
    ++i;
  }
  segments.push_back(make_segment(text.substr(start), {}));
  return segments;
}

WordCut cut_at_word(std::string_view text, uint64_t limit) {
  return cut_at_word_counted(text, char_count(text), limit);
}

std::string cut_with_marker(std::string_view text, uint64_t limit) {
  return cut_with_marker_counted(text, char_count(text), limit);
}

std::string cut_to_fit(std::string_view text, uint64_t budget) {
  return cut_to_fit_counted(text, char_count(text), budget);
}

std::string shorten_lines(std::string_view text, uint64_t limit) {
  uint64_t total = char_count(text);
  if (total <= limit) return std::string(text);
  std::vector<Segment> lines = split_lines(text);
  uint64_t original = json_string_size(text);
  if (lines.size() < 2) {
    std::string cut = cut_with_marker_counted(text, total, limit);
    return json_string_size(cut) >= original ? std::string(text) : cut;
  }
  uint64_t later_limit = std::max<uint64_t>(limit / 4, 8);
  uint64_t cap = sat_mul(2, limit);
  std::string out;
  uint64_t running = 0;
  uint64_t appended_chars = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = shorten_lines(lines[i].text, i == 0 ? limit : later_limit);
    uint64_t piece = char_count(line) + char_count(lines[i].separator);
    if (i > 0 && sat_add(running, piece) > cap) {
      out += lines_marker(lines.size() - i, total - appended_chars);
      break;
    }
    out += line;
    out += lines[i].separator;
    running += piece;
    appended_chars += lines[i].chars;
  }
  return json_string_size(out) >= original ? std::string(text) : out;
}

std::optional<std::vector<std::string>> fit_sections(const std::vector<Segment>& segments, uint64_t cap,
                                                     uint64_t budget, const ShortenSettings& settings) {
  std::vector<std::string> pieces = build_sections(segments, cap, settings);
  if (pieces_literal_size(pieces) > budget) return std::nullopt;
  return pieces;
}

std::string shorten_string(std::string_view text, uint64_t budget, const ShortenSettings& settings) {
  if (json_string_size(text) <= budget) return std::string(text);
  std::vector<Segment> segments = split_paragraphs(text);
  if (segments.size() == 1) segments = split_lines(text);
  if (segments.size() == 1) segments = split_sentences(text);
  if (segments.size() < 2) return cut_to_fit(text, budget);

  uint64_t lo = std::max<uint64_t>(settings.min_section_chars, 1);
  uint64_t hi = lo;
  for (const Segment& s : segments) hi = std::max(hi, s.chars);
  auto best = fit_sections(segments, lo, budget, settings);
  if (!best) return section_fallback(text, segments, budget, settings);
  while (lo < hi) {
    uint64_t mid = lo + (hi + 1 - lo) / 2;
    if (auto pieces = fit_sections(segments, mid, budget, settings)) {
      lo = mid;
      best = std::move(pieces);
    } else {
      hi = mid - 1;
    }
  }
  return join(*best, best->size());
}

}  // namespace tersolite
