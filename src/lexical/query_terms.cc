#include "lexical/query_terms.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lexical/unicode_props.h"
#include "value/utf8.h"

namespace tersolite {

namespace {

constexpr std::array<std::string_view, 58> kStopwords = {
    "a",      "an",       "the",   "of",    "in",     "on",     "at",   "to",    "for",  "with",  "and",     "or",
    "not",    "is",       "are",   "by",    "from",   "as",     "be",   "me",    "my",   "all",   "any",     "select",
    "where",  "order",    "asc",   "desc",  "limit",  "offset", "like", "null",  "true", "false", "between", "group",
    "having", "distinct", "count", "query", "search", "find",   "get",  "list",  "show", "what",  "which",   "who",
    "when",   "how",      "that",  "this",  "it",     "user",   "http", "https", "www",  "com"};

bool is_word_char(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  return unicode::char_class(c) & unicode::kWord;
}

bool is_upper(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z';
  return unicode::char_class(c) & unicode::kUpper;
}

bool is_lower_or_digit(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  return unicode::char_class(c) & unicode::kLowerOrDigit;
}

using unicode::append_lower;

size_t char_length(std::string_view s) { return static_cast<size_t>(char_count(s)); }

// Whether a and b (a the shorter or equal) are one edit apart, by characters.
template <class Char>
bool one_edit(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  size_t i = 0;
  while (i < a.size() && a[i] == b[i]) ++i;
  if (i == a.size()) return b.size() - a.size() <= 1;
  if (a.size() == b.size()) return std::equal(a.begin() + i + 1, a.end(), b.begin() + i + 1);
  return std::equal(a.begin() + i, a.end(), b.begin() + i + 1);
}

template <class Char>
bool one_edit_either(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  return a.size() <= b.size() ? one_edit(a, b) : one_edit(b, a);
}

std::u32string to_u32(std::string_view s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) out.push_back(decode_utf8(s, pos));
  return out;
}

// ASCII byte classes for the word scan; bytes of longer characters are
// looked up in the Unicode tables.
enum ByteClass : uint8_t { kSeparator, kLowerOrDigit, kUpper, kNonAscii };

constexpr std::array<ByteClass, 256> kByteClass = [] {
  std::array<ByteClass, 256> t{};
  for (int b = 0; b < 256; ++b) {
    if (b >= 0x80)
      t[b] = kNonAscii;
    else if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9'))
      t[b] = kLowerOrDigit;
    else if (b >= 'A' && b <= 'Z')
      t[b] = kUpper;
  }
  return t;
}();

// Per byte of `x`, bit 7 set when m < byte < n (0 <= m <= 127, n <= 128),
// without carries between bytes.
constexpr uint64_t kByteOnes = ~uint64_t{0} / 255;
inline uint64_t bytes_between(uint64_t x, uint64_t m, uint64_t n) {
  uint64_t low = x & kByteOnes * 127;
  return (kByteOnes * (127 + n) - low) & ~x & (low + kByteOnes * (127 - m)) & kByteOnes * 128;
}

// The length of the run of lower-case ASCII letters and digits that `text`
// starts with at `pos`, eight bytes at a time.
size_t lower_run_end(std::string_view text, size_t pos) {
  for (; pos + 8 <= text.size(); pos += 8) {
    uint64_t x;
    std::memcpy(&x, text.data() + pos, 8);
    uint64_t in_run = bytes_between(x, 'a' - 1, 'z' + 1) | bytes_between(x, '0' - 1, '9' + 1);
    uint64_t out = ~in_run & kByteOnes * 128;
    if (out != 0) return pos + static_cast<size_t>(__builtin_ctzll(out)) / 8;
  }
  while (pos < text.size() && kByteClass[static_cast<unsigned char>(text[pos])] == kLowerOrDigit) ++pos;
  return pos;
}

// Calls `emit(word, ascii)` with each word in text order until it returns
// false; `ascii`: the word is ASCII only, so its bytes are its characters.
template <class Emit>
void for_each_word(std::string_view text, Emit emit) {
  std::string current;
  bool ascii = true;
  bool prev_lower_or_digit = false;
  size_t pos = 0;
  auto flush = [&] {
    bool more = current.empty() || emit(std::string_view(current), ascii);
    current.clear();
    ascii = true;
    return more;
  };
  auto class_at = [&](size_t i) { return kByteClass[static_cast<unsigned char>(text[i])]; };
  while (pos < text.size()) {
    ByteClass cls = class_at(pos);
    if (cls == kLowerOrDigit) {
      // Most words are runs of lower-case letters and digits: such a run
      // that is a whole word is handed on as it stands in the text.
      size_t end = lower_run_end(text, pos + 1);
      std::string_view run = text.substr(pos, end - pos);
      pos = end;
      prev_lower_or_digit = true;
      // The run ends the word unless a longer character goes on with it.
      if (current.empty() && (end == text.size() || class_at(end) != kNonAscii)) {
        if (!emit(run, true)) return;
      } else {
        current.append(run);
      }
      continue;
    }
    if (cls == kSeparator) {
      ++pos;
      if (!flush()) return;
      prev_lower_or_digit = false;
      continue;
    }
    if (cls == kUpper) {
      if (prev_lower_or_digit && !current.empty() && !flush()) return;
      current.push_back(static_cast<char>(text[pos++] - 'A' + 'a'));
      prev_lower_or_digit = false;
      continue;
    }
    char32_t c = decode_utf8(text, pos);
    if (!is_word_char(c)) {
      if (!flush()) return;
      prev_lower_or_digit = false;
      continue;
    }
    if (is_upper(c) && prev_lower_or_digit && !current.empty() && !flush()) return;
    append_lower(current, c);
    ascii = false;
    prev_lower_or_digit = is_lower_or_digit(c);
  }
  flush();
}

bool same_bytes(const char* a, const char* b, size_t n) {
  if (n <= 8) return pack_short(a, n) == pack_short(b, n);
  if (n <= 16) {
    uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&a1, a + n - 8, 8);
    std::memcpy(&b1, b + n - 8, 8);
    return a0 == b0 && a1 == b1;
  }
  return std::memcmp(a, b, n) == 0;
}

// Stopwords are ASCII and at most eight bytes long, so each packs into one
// 64-bit word; a multiplier found at compile time sends each to a slot of
// its own, so a word is one multiply and one compare from the answer.
constexpr uint64_t pack_constant(std::string_view w) {
  uint64_t x = 0;
  for (size_t i = 0; i < w.size(); ++i) x |= static_cast<uint64_t>(static_cast<unsigned char>(w[i])) << (8 * i);
  return x;
}

constexpr size_t kStopwordSlotBits = 9;

constexpr size_t stopword_slot(uint64_t x, uint64_t multiplier) {
  return static_cast<size_t>((x * multiplier) >> (64 - kStopwordSlotBits));
}

struct StopwordTable {
  uint64_t multiplier = 0;
  std::array<uint64_t, size_t{1} << kStopwordSlotBits> slots{};
};

constexpr StopwordTable kStopwordTable = [] {
  StopwordTable t;
  for (uint64_t m = 0x9e3779b97f4a7c15ull;; m += 0x2545f4914f6cdd1eull) {
    t.multiplier = m | 1;
    t.slots = {};
    bool distinct = true;
    for (std::string_view w : kStopwords) {
      uint64_t& slot = t.slots[stopword_slot(pack_constant(w), t.multiplier)];
      if (slot != 0) distinct = false;
      slot = pack_constant(w);
    }
    if (distinct) return t;
  }
}();

bool is_stopword(std::string_view word) {
  if (word.size() > 8) return false;
  uint64_t x = pack_short(word.data(), word.size());
  // Free slots hold 0, which only empty (or all-NUL) words pack to.
  return x != 0 && kStopwordTable.slots[stopword_slot(x, kStopwordTable.multiplier)] == x;
}

// `ascii`: the word's bytes are its characters.
inline bool useful_word(std::string_view word, bool ascii) {
  // Five bytes or more always hold two characters.
  if (word.size() < 2 || (!ascii && word.size() <= 4 && char_count(word) < 2)) return false;
  if (is_stopword(word)) return false;
  if (word.size() > 3) return true;
  return !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view stem_view(std::string_view word) {
  if (word.size() >= 4 && word.back() == 's' && word[word.size() - 2] != 's') word.remove_suffix(1);
  return word;
}

}  // namespace

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  for_each_word(text, [&](std::string_view w, bool) {
    out.emplace_back(w);
    return true;
  });
  return out;
}

void visit_words(std::string_view text, void (*visit)(void* context, std::string_view word), void* context) {
  for_each_word(text, [&](std::string_view w, bool) {
    visit(context, w);
    return true;
  });
}

bool is_useful(std::string_view word) { return useful_word(word, false); }

std::string stem(std::string_view word) { return std::string(stem_view(word)); }

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

bool TokenSet::contains(std::string_view token) const {
  return !slots_.empty() && slots_[find_slot(token, hash_(token))] != 0;
}

size_t TokenSet::find_slot(std::string_view token, uint64_t hash) const {
  size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    uint32_t at = slots_[i];
    if (at == 0) return i;
    const Entry& e = entries_[at - 1];
    if (e.hash == hash && e.size == token.size() && same_bytes(token.data(), pool_.data() + e.offset, e.size)) return i;
  }
}

void TokenSet::insert(std::string_view token, size_t chars) {
  if (2 * (entries_.size() + 1) > slots_.size()) grow();
  uint64_t hash = hash_(token);
  size_t slot = find_slot(token, hash);
  if (slots_[slot] != 0) return;
  entries_.push_back({hash, pool_.size(), token.size(), chars});
  pool_.append(token);
  slots_[slot] = static_cast<uint32_t>(entries_.size());
}

void TokenSet::insert_all(const TokenSet& other) {
  for (size_t i = 0; i < other.size(); ++i) insert(other.token(i), other.chars(i));
}

void TokenSet::clear() {
  pool_.clear();
  entries_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
}

void TokenSet::grow() {
  slots_.assign(slots_.empty() ? 16 : 2 * slots_.size(), 0);
  size_t mask = slots_.size() - 1;
  for (size_t e = 0; e < entries_.size(); ++e) {
    size_t i = entries_[e].hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<uint32_t>(e + 1);
  }
}

void add_value_tokens(TokenSet& set, std::string_view text) {
  if (set.size() >= TokenSet::kMaxTokens) return;
  for_each_word(text, [&](std::string_view w, bool ascii) {
    if (useful_word(w, ascii)) {
      std::string_view s = stem_view(w);
      set.insert(s, ascii ? s.size() : static_cast<size_t>(char_count(s)));
    }
    return set.size() < TokenSet::kMaxTokens;
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
  std::u32string wide_term;  // decoded once, if a token is not ASCII
  for (size_t i = 0; i < set.size(); ++i) {
    std::string_view token = set.token(i);
    if (token.size() <= 4) continue;
    size_t token_chars = set.chars(i);
    size_t diff = token_chars > term_chars ? token_chars - term_chars : term_chars - token_chars;
    if (diff > 1) continue;
    if (term_chars == term.size() && token_chars == token.size()) {
      if (one_edit_either(term, token)) return true;
      continue;
    }
    if (wide_term.empty()) wide_term = to_u32(term);
    std::u32string wide_token = to_u32(token);
    if (one_edit_either(std::u32string_view(wide_term), std::u32string_view(wide_token))) return true;
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
