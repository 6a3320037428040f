#include "lexical/query_terms.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "value/utf8.h"

namespace tersolite {

namespace {

constexpr std::array<std::string_view, 58> kStopwords = {
    "a",      "an",     "the",   "of",      "in",    "on",    "at",       "to",    "for",    "with",
    "and",    "or",     "not",   "is",      "are",   "by",    "from",     "as",    "be",     "me",
    "my",     "all",    "any",   "select",  "where", "order", "asc",      "desc",  "limit",  "offset",
    "like",   "null",   "true",  "false",   "between", "group", "having", "distinct", "count", "query",
    "search", "find",   "get",   "list",    "show",  "what",  "which",    "who",   "when",   "how",
    "that",   "this",   "it",    "user",    "http",  "https", "www",      "com"};

bool is_word_char(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  if (u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC)) return true;
  int8_t type = u_charType(static_cast<UChar32>(c));
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool is_upper(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z';
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_UPPERCASE);
}

bool is_lower_or_digit(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  if (u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_LOWERCASE)) return true;
  int8_t type = u_charType(static_cast<UChar32>(c));
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

// The full lower-case mapping of one character (it may be several).
void append_lower(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    return;
  }
  UChar src[2];
  int32_t src_len = 0;
  U16_APPEND_UNSAFE(src, src_len, static_cast<UChar32>(c));
  UChar dest[8];
  UErrorCode status = U_ZERO_ERROR;
  int32_t len = u_strToLower(dest, 8, src, src_len, "", &status);
  if (U_FAILURE(status) || len > 8) {
    append_utf8(out, c);
    return;
  }
  for (int32_t i = 0; i < len;) {
    UChar32 cp;
    U16_NEXT(dest, i, len, cp);
    append_utf8(out, static_cast<char32_t>(cp));
  }
}

size_t char_length(std::string_view s) { return static_cast<size_t>(char_count(s)); }

// Whether a and b (a the shorter or equal) are one edit apart, by characters.
bool one_edit(const std::u32string& a, const std::u32string& b) {
  size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  if (i == a.size()) return b.size() - a.size() <= 1;
  if (a.size() == b.size()) return std::equal(a.begin() + i + 1, a.end(), b.begin() + i + 1);
  return std::equal(a.begin() + i, a.end(), b.begin() + i + 1);
}

std::u32string to_u32(std::string_view s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) out.push_back(decode_utf8(s, pos));
  return out;
}

}  // namespace

namespace {

// Calls `emit` with each word in text order until it returns false.
template <class Emit>
void for_each_word(std::string_view text, Emit emit) {
  std::string current;
  bool prev_lower_or_digit = false;
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = decode_utf8(text, pos);
    if (!is_word_char(c)) {
      if (!current.empty() && !emit(current)) return;
      current.clear();
      prev_lower_or_digit = false;
      continue;
    }
    if (is_upper(c) && prev_lower_or_digit && !current.empty()) {
      if (!emit(current)) return;
      current.clear();
    }
    append_lower(current, c);
    prev_lower_or_digit = is_lower_or_digit(c);
  }
  if (!current.empty()) emit(current);
}

// Stopwords are ASCII and at most eight bytes long, so each packs into one
// 64-bit word; a sorted table of them is searched in a few comparisons.
uint64_t pack(std::string_view w) {
  uint64_t x = 0;
  std::memcpy(&x, w.data(), w.size());
  return x;
}

bool is_stopword(std::string_view word) {
  static const auto table = [] {
    std::array<uint64_t, kStopwords.size()> t{};
    for (size_t i = 0; i < t.size(); ++i) t[i] = pack(kStopwords[i]);
    std::sort(t.begin(), t.end());
    return t;
  }();
  return word.size() <= 8 && std::binary_search(table.begin(), table.end(), pack(word));
}

}  // namespace

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  for_each_word(text, [&](std::string& w) {
    out.push_back(std::move(w));
    return true;
  });
  return out;
}

bool is_useful(std::string_view word) {
  if (char_count(word) < 2) return false;
  if (is_stopword(word)) return false;
  bool all_digits = std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
  return !all_digits || word.size() > 3;
}

std::string stem(std::string_view word) {
  if (word.size() >= 4 && word.back() == 's' && word[word.size() - 2] != 's')
    return std::string(word.substr(0, word.size() - 1));
  return std::string(word);
}

std::optional<QueryTerms> analyse_query(const std::optional<std::string>& query, bool ignore) {
  if (ignore || !query) return std::nullopt;
  const std::string& text = *query;

  // Lower-case the query character by character, remembering for every
  // lowered byte the original character it came from.
  std::string lowered;
  std::vector<size_t> origin_start, origin_end;
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    char32_t c = decode_utf8(text, pos);
    append_lower(lowered, c);
    origin_start.resize(lowered.size(), start);
    origin_end.resize(lowered.size(), pos);
  }

  std::string main_text = text;
  std::string clause;
  size_t ob = lowered.find("order by");
  if (ob != std::string::npos) {
    size_t after = ob + 8;
    size_t end = lowered.size();
    for (std::string_view stop : {"limit", "offset", "group by", "having"}) {
      size_t at = lowered.find(stop, after);
      if (at != std::string::npos) end = std::min(end, at);
    }
    size_t q_ob = origin_start[ob];
    size_t q_after = origin_end[after - 1];
    size_t q_end = end < lowered.size() ? origin_start[end] : text.size();
    q_end = std::max(q_end, q_after);
    clause = text.substr(q_after, q_end - q_after);
    main_text = text.substr(0, q_ob) + " " + text.substr(q_end);
  }

  QueryTerms q;
  for (const std::string& w : words(main_text)) {
    if (!is_useful(w)) continue;
    std::string s = stem(w);
    if (q.exact.insert(s).second) q.terms.push_back(std::move(s));
  }
  for (const std::string& w : words(clause)) {
    if (!is_useful(w)) continue;
    std::string s = stem(w);
    if (!q.exact.count(s)) q.secondary.insert(std::move(s));
  }
  if (q.terms.empty() && q.secondary.empty()) return std::nullopt;
  return q;
}

double key_relevance(const QueryTerms& q, const std::vector<std::string>& key_words,
                     const std::vector<std::string>& context_words) {
  if (key_words.empty()) return 0;
  double weight = 0;
  for (const std::string& w : key_words) {
    std::string s = stem(w);
    if (q.exact.count(s)) {
      weight += 1;
    } else if (q.secondary.count(s)) {
      weight += 0.35;
    }
  }
  if (weight == 0) return 0;
  double k = static_cast<double>(key_words.size());
  if (weight / k >= 1) return 1;
  double r = 0.5 * weight / k;
  if (!q.exact.empty()) {
    for (const std::string& w : context_words) {
      if (q.exact.count(stem(w))) {
        r += 0.5;
        break;
      }
    }
  }
  return r;
}

void add_value_tokens(TokenSet& set, std::string_view text) {
  if (set.tokens.size() >= TokenSet::kMaxTokens) return;
  for_each_word(text, [&](const std::string& w) {
    if (is_useful(w)) set.tokens.insert(stem(w));
    return set.tokens.size() < TokenSet::kMaxTokens;
  });
}

TokenSet value_tokens(std::string_view text) {
  TokenSet set;
  add_value_tokens(set, text);
  return set;
}

bool term_matches(std::string_view term, const TokenSet& set) {
  if (set.empty()) return false;
  if (set.contains(term)) return true;
  if (term.size() < 6) return false;
  size_t term_chars = char_length(term);
  std::u32string t = to_u32(term);
  for (const std::string& token : set.tokens) {
    if (token.size() <= 4) continue;
    size_t token_chars = char_length(token);
    size_t diff = token_chars > term_chars ? token_chars - term_chars : term_chars - token_chars;
    if (diff > 1) continue;
    std::u32string u = to_u32(token);
    if (t.size() <= u.size() ? one_edit(t, u) : one_edit(u, t)) return true;
  }
  return false;
}

double value_relevance(const QueryTerms& q, const TokenSet& set) {
  if (q.terms.empty()) return 0;
  size_t matched = 0;
  for (const std::string& term : q.terms) matched += term_matches(term, set);
  if (matched == 0) return 0;
  return 0.5 + 0.5 * static_cast<double>(matched) / static_cast<double>(q.terms.size());
}

bool any_term_matches(const QueryTerms& q, const TokenSet& set) {
  for (const std::string& term : q.terms) {
    if (term_matches(term, set)) return true;
  }
  return false;
}

}  // namespace tersolite
