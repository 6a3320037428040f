#include "lexical/unicode_props.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "value/utf8.h"

namespace tersolite::unicode {

namespace {

struct LowerRun {
  char32_t start;
  uint16_t count;
  uint8_t stride;
  int32_t delta;
};

struct SpecialLower {
  char32_t c;
  std::string_view lower;
};

#include "lexical/unicode_tables.inc"

}  // namespace

uint8_t char_class(char32_t c) {
  // The last run starting at or before c; runs start at 0, so there is one.
  const uint32_t* next = std::upper_bound(std::begin(kClassRuns), std::end(kClassRuns), uint32_t{c} << 3 | 7);
  return static_cast<uint8_t>(next[-1] & 7);
}

void append_lower(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    return;
  }
  for (const SpecialLower& s : kSpecialLower) {
    if (s.c == c) {
      out.append(s.lower);
      return;
    }
  }
  const LowerRun* next = std::upper_bound(std::begin(kLowerRuns), std::end(kLowerRuns), c,
                                          [](char32_t v, const LowerRun& r) { return v < r.start; });
  if (next != std::begin(kLowerRuns)) {
    const LowerRun& run = next[-1];
    char32_t offset = c - run.start;
    if (offset % run.stride == 0 && offset / run.stride < run.count) {
      append_utf8(out, static_cast<char32_t>(static_cast<int32_t>(c) + run.delta));
      return;
    }
  }
  append_utf8(out, c);
}

const char* version() { return kUnicodeVersion; }

}  // namespace tersolite::unicode
