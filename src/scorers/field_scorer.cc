#include "scorers/field_scorer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <span>

#include "lexical/query_terms.h"

namespace tersolite {

namespace {

using List = std::vector<std::string_view>;

const List kIdentifier = {"id",  "pk",  "ari",  "arn",  "urn",  "gid",    "sha",    "oid",       "key",
                          "ref", "sku", "uuid", "guid", "slug", "number", "handle", "identifier"};
const List kTitle = {"title", "summary", "subject", "headline", "heading", "caption"};
const List kName = {"firstname", "lastname",    "givenname", "familyname", "surname", "nickname", "name",
                    "label",     "displayname", "fullname",  "username",   "login",   "text"};
const List kStatus = {"completed", "done",   "active",    "archived",   "enabled",      "verified", "paid",
                      "phase",     "health", "condition", "conditions", "availability", "verdict",  "status",
                      "state",     "type",   "kind",      "category",   "resolution",   "priority", "severity",
                      "level",     "error",  "errors",    "code",       "result",       "success",  "ok",
                      "reason",    "role",   "stage",     "outcome"};
const List kContact = {"email", "phone", "mobile", "telephone", "address"};
const List kDescription = {"description", "body",    "content", "abstract", "snippet", "excerpt", "comment",
                           "note",        "details", "message", "overview", "bio",     "value"};
const List kAuthor = {"author", "creator", "assignee", "reporter",       "owner",    "user",
                      "by",     "sender",  "from",     "lastmodifiedby", "createdby"};
const List kCount = {"points", "comments", "replies", "downloads", "followers", "forks",  "watchers",  "upvotes",
                     "count",  "total",    "score",   "rank",      "size",      "length", "stars",     "votes",
                     "likes",  "views",    "price",   "amount",    "quantity",  "rating", "relevance", "distance"};
const List kUrl = {"url", "uri", "link", "href", "permalink", "webui", "web"};
const List kTimestamp = {"ts",  "created", "updated", "modified",  "date", "time",     "timestamp", "at",
                         "due", "start",   "end",     "published", "when", "deadline", "resolved"};
const List kNoise = {"etag",      "hash",       "checksum",       "schema",     "revision", "rev",
                     "expand",    "expandable", "self",           "avatar",     "avatars",  "icon",
                     "thumbnail", "image",      "images",         "logo",       "picture",  "color",
                     "colour",    "links",      "typename",       "__typename", "embedded", "context",
                     "tinyui",    "base",       "profilepicture", "avatarurls", "iconurl"};
const List kImage = {"icon", "logo", "self", "image", "avatar", "picture", "thumbnail"};
const List kStructure = {"meta",       "flags",       "config",      "history",     "version",    "metadata",
                         "settings",   "versions",    "extensions",  "operations",  "visibility", "properties",
                         "attributes", "permissions", "customfield", "restrictions"};
// With kHolderWords.
const List kWrapper = {"doc",    "node",    "item",     "object",   "source",  "entity",
                       "record", "content", "resource", "embedded", "document"};
const List kNameQualifier = {"sur",   "full",  "last",  "user",   "nick",   "first",
                             "given", "short", "login", "family", "display"};
const List kNameWords = {"name",  "label",   "lastname", "nickname",  "fullname",   "firstname",  "text",
                         "login", "surname", "username", "givenname", "familyname", "displayname"};

struct Category {
  const List* words;
  double weight;
};
constexpr std::array<Category, 10> kCategories = {{{&kIdentifier, 0.98},
                                                   {&kTitle, 0.95},
                                                   {&kName, 0.9},
                                                   {&kStatus, 0.85},
                                                   {&kContact, 0.75},
                                                   {&kDescription, 0.7},
                                                   {&kAuthor, 0.65},
                                                   {&kCount, 0.6},
                                                   {&kUrl, 0.6},
                                                   {&kTimestamp, 0.55}}};

// Bits of the lists a word is in. The categories take the low bits in their
// order, so the first category any of some words is in is the lowest
// category bit they have between them.
constexpr uint32_t kCategoryBits = (1u << kCategories.size()) - 1;
constexpr uint32_t kIdentifierBit = 1u << 0, kTitleBit = 1u << 1, kStatusBit = 1u << 3, kUrlBit = 1u << 8,
                   kTimestampBit = 1u << 9;
static_assert(kCategories[0].words == &kIdentifier && kCategories[1].words == &kTitle &&
              kCategories[3].words == &kStatus && kCategories[8].words == &kUrl && kCategories[9].words == &kTimestamp);
constexpr uint32_t kNoiseBit = 1u << 10, kImageBit = 1u << 11, kStructureBit = 1u << 12, kWrapperBit = 1u << 13,
                   kNameQualifierBit = 1u << 14, kNameWordsBit = 1u << 15;

// Every listed word with its bits, so that a word is classified by one
// hashed lookup. The table never takes words from documents.
class WordBits {
 public:
  WordBits() {
    size_t words = 0;
    for (const Category& c : kCategories) words += c.words->size();
    for (const List* list : {&kNoise, &kImage, &kStructure, &kWrapper, &kNameQualifier, &kNameWords})
      words += list->size();
    words += std::size(kHolderWords);
    // A power of two, at most a quarter full, so that probes stay short.
    while (slots_.size() < 4 * words) slots_.resize(slots_.empty() ? 64 : 2 * slots_.size());
    for (size_t c = 0; c < kCategories.size(); ++c) add(*kCategories[c].words, 1u << c);
    add(kNoise, kNoiseBit);
    add(kImage, kImageBit);
    add(kStructure, kStructureBit);
    add(kWrapper, kWrapperBit);
    add(kHolderWords, kWrapperBit);
    add(kNameQualifier, kNameQualifierBit);
    add(kNameWords, kNameWordsBit);
  }

  /// The size of the longest listed word.
  size_t longest() const { return longest_; }
  /// True when some listed word has a digit.
  bool has_digits() const { return digits_; }

  uint32_t of(std::string_view word) const {
    if (word.empty() || word.size() > longest_ || !starts_[static_cast<unsigned char>(word[0])]) return 0;
    size_t mask = slots_.size() - 1;
    for (size_t i = hash(word) & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.bits == 0) return 0;
      if (slot.word == word) return slot.bits;
    }
  }

 private:
  struct Slot {
    std::string_view word;
    uint32_t bits = 0;
  };

  // Of the length and the first and last (up to) eight bytes: enough to
  // spread the listed words, and quick for the short words keys have. Short
  // words are read by overlapping loads: bytes copied one by one into a
  // word stall the load that reads them back.
  static size_t hash(std::string_view word) {
    const char* p = word.data();
    size_t n = word.size();
    uint64_t head = 0, tail = 0;
    if (n >= 8) {
      std::memcpy(&head, p, 8);
      std::memcpy(&tail, p + n - 8, 8);
    } else if (n >= 4) {
      uint32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      head = a;
      tail = b;
    } else if (n > 0) {
      auto byte = [&](size_t i) { return static_cast<uint64_t>(static_cast<unsigned char>(p[i])); };
      head = byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
    }
    uint64_t h = (head * 0x9E3779B97F4A7C15ull) ^ (tail + n) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<size_t>(h ^ (h >> 31));
  }

  void add(std::span<const std::string_view> list, uint32_t bit) {
    size_t mask = slots_.size() - 1;
    for (std::string_view word : list) {
      if (word.empty()) continue;
      longest_ = std::max(longest_, word.size());
      digits_ = digits_ || std::any_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
      starts_[static_cast<unsigned char>(word[0])] = true;
      size_t i = hash(word) & mask;
      while (slots_[i].bits != 0 && slots_[i].word != word) i = (i + 1) & mask;
      slots_[i].word = word;
      slots_[i].bits |= bit;
    }
  }

  std::vector<Slot> slots_;
  size_t longest_ = 0;
  bool digits_ = false;
  std::array<bool, 256> starts_{};  // first bytes of listed words
};

const WordBits& word_bits() {
  static const WordBits table;
  return table;
}

// What the scorer asks of the words of one path segment, found in one pass.
struct SegmentWords {
  size_t count = 0;
  uint32_t any = 0;          // lists some word is in
  uint32_t last = 0;         // lists the last word is in
  bool non_wrapper = false;  // some word is not a wrapper word
  bool unqualified = false;  // some word before the last is not a name qualifier
  bool last_is_id = false;
  // When asked for: the lists the words back to back are in, and the only
  // word when there is one.
  uint32_t joined_bits = 0;
  std::string_view single;  // a word of a simple segment, in it
  std::string scanned;      // the words back to back, from the general scan
  /// REQUIRES: count == 1 and the words were asked for.
  std::string_view only_word() const { return scanned.empty() ? single : std::string_view(scanned); }
};

// What a byte of a key is to the quick word scan: part of a word (a
// lower-case letter or a digit), a separator, or a byte only the general
// scan reads (a capital, any byte of another script).
constexpr uint8_t kWordByte = 1, kDigitByte = 2, kComplexByte = 4;
constexpr std::array<uint8_t, 256> kKeyBytes = [] {
  std::array<uint8_t, 256> classes{};
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = kWordByte;
  for (int c = '0'; c <= '9'; ++c) classes[c] = kWordByte | kDigitByte;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kComplexByte;
  for (int c = 0x80; c <= 0xFF; ++c) classes[c] = kComplexByte;
  return classes;
}();

SegmentWords segment_words(std::string_view segment, bool join) {
  const WordBits& table = word_bits();
  SegmentWords s;
  size_t joined_size = 0;
  auto add = [&](std::string_view w) {
    uint32_t bits = table.of(w);
    if (s.count > 0 && !(s.last & kNameQualifierBit)) s.unqualified = true;
    s.any |= bits;
    s.last = bits;
    s.non_wrapper = s.non_wrapper || !(bits & kWrapperBit);
    s.last_is_id = w == "id";
    ++s.count;
    joined_size += w.size();
  };
  // Most keys are lower-case ASCII words between separators ("user_id"):
  // their words are the runs of letters and digits, cut here. Others
  // (capitals, other scripts) take the general word scan, from the start.
  const auto* p = reinterpret_cast<const unsigned char*>(segment.data());
  uint8_t seen = 0;
  for (size_t i = 0, n = segment.size(); i < n && !(seen & kComplexByte);) {
    uint8_t c = kKeyBytes[p[i]];
    seen |= c;
    if (!(c & kWordByte)) {
      ++i;
      continue;
    }
    size_t start = i;
    while (++i < n && ((c = kKeyBytes[p[i]]) & kWordByte)) seen |= c;
    s.single = segment.substr(start, i - start);
    add(s.single);
  }
  if (seen & kComplexByte) {
    s = SegmentWords();
    joined_size = 0;
    for_each_word_of(segment, [&](std::string_view w) {
      add(w);
      if (join) s.scanned += w;
    });
    if (join) s.joined_bits = table.of(s.scanned);
    return s;
  }
  if (!join) return s;
  bool digits = seen & kDigitByte;
  if (s.count == 1) {
    s.joined_bits = s.last;
  } else if (s.count > 1 && joined_size <= table.longest() && (!digits || table.has_digits())) {
    // Only words no longer back to back than a listed word, and without a
    // digit when none has one, can be one; the string stays in line.
    std::string joined(joined_size, '\0');
    size_t n = 0;
    for (char c : segment) {
      if (kKeyBytes[static_cast<unsigned char>(c)] & kWordByte) joined[n++] = c;
    }
    s.joined_bits = table.of(joined);
  }
  return s;
}

// The index of a field's key in its (non-empty) path: the last segment, or
// the one before a trailing "$..." segment.
size_t key_index(const std::vector<std::string_view>& path) {
  std::string_view last = path.back();
  if (!last.empty() && last[0] == '$' && path.size() >= 2) return path.size() - 2;
  return path.size() - 1;
}

std::string_view key_of(const std::vector<std::string_view>& path) {
  return path.empty() ? std::string_view() : path[key_index(path)];
}

int lowest_bit(uint32_t bits) { return __builtin_ctz(bits); }

struct Classification {
  double base;
  bool recognized;
};

// `key`: the words of the key, joined.
Classification classify(const FieldFeatures& f, const SegmentWords& key) {
  const std::vector<std::string_view>& path = f.path;
  size_t key_at = path.empty() ? 0 : key_index(path);
  bool nested = false;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    SegmentWords above = segment_words(path[i], false);
    if (above.any & kNoiseBit) return {0.08, true};
    nested = nested || (i < key_at && above.non_wrapper);
  }
  for (size_t i = 0; i < path.size() && i <= key_at; ++i) {
    std::string_view seg = path[i];
    if (seg.empty()) return {0.08, true};
    if (seg[0] == '_' && seg != "_embedded" && seg != "_source" && seg != "_id") return {0.08, true};
  }
  const WordBits& table = word_bits();
  if ((key.any & kNoiseBit) || (key.joined_bits & kNoiseBit)) {
    if (!((key.any & kUrlBit) && !(key.any & kImageBit))) return {0.1, true};
  }
  if (key.any & kStructureBit) return {0.25, true};

  int category = -1;
  if (key.count > 0) {
    if (uint32_t last = key.last & kCategoryBits) {
      category = lowest_bit(last);
    } else if (uint32_t any = key.any & kCategoryBits) {
      category = lowest_bit(any);
    } else if (key.count == 1 && key.only_word().size() >= 6) {
      // The longest listed word of four or more bytes the key ends with.
      std::string_view joined = key.only_word();
      for (size_t n = joined.size(); n >= 4 && category < 0; --n) {
        if (uint32_t bits = table.of(joined.substr(joined.size() - n)) & kCategoryBits) category = lowest_bit(bits);
      }
    }
  }
  bool found = category >= 0;
  double weight = found ? kCategories[static_cast<size_t>(category)].weight : 0;
  // A name word qualified by something other than a kind of name.
  if ((key.last & kCategoryBits) && (key.last & kNameWordsBit) && key.count > 1 && key.unqualified)
    weight = std::min(weight, 0.78);
  double base = found ? weight : (f.date_like ? 0.55 : 0.5);
  if (key.count > 0) {
    bool url = key.any & kUrlBit;
    bool ident = key.any & kIdentifierBit;
    if (url && f.strings == f.occurrences && f.scalars >= 3 && f.distinct * 10 >= f.scalars * 9)
      base = std::max(base, 0.8);
    if (f.numeric && ident) base -= 0.04;
    if (ident) {
      if (key.count > 1 && key.last_is_id) base = std::min(base, f.id_like ? 0.3 : 0.72);
      if (f.id_like || f.mean_size > 16) base -= 0.1;
    }
    if (nested) base *= ident ? 0.6 : 0.88;
  } else if (nested) {
    base *= 0.88;
  }
  return {base, found || f.date_like};
}

// Tuning weights of the heuristic scorer. They are its own judgement, set on
// real documents; each line says what it steers.
// A field empty everywhere keeps this share of its name's worth, at most the ceiling.
constexpr double kAllEmptyFactor = 0.03;
constexpr double kAllEmptyCeiling = 0.05;
// Past this share of empty values, each empty value costs this much of the worth.
constexpr double kEmptyShareFloor = 0.3;
constexpr double kEmptyPenalty = 0.7;
// A column with one value in three rows or more says little about each record.
constexpr double kConstantFactor = 0.2;
// Worth kept by a field present in no row, rising by the span to all of it
// in every row; status fields (status, state, kind, ...) matter even where sparse.
constexpr double kCoverageBase = 0.55;
constexpr double kCoverageSpan = 0.45;
constexpr double kStatusCoverageBase = 0.85;
constexpr double kStatusCoverageSpan = 0.15;
// Unnamed string columns, judged by their values: identifiers ...
constexpr double kUnnamedIdScore = 0.3;
// ... short values nearly all different (names, titles) ...
constexpr double kUniqueShare = 0.9;
constexpr double kUniqueMaxSize = 40;
constexpr double kUnnamedUniqueScore = 0.7;
// ... and short values from a few choices (categories).
constexpr double kCategoryMaxSize = 24;
constexpr double kCategoryShare = 0.2;
constexpr double kUnnamedCategoryScore = 0.65;
// How far a query match lifts a field: up to this much for the key and as
// much again for the values, scaled by the field's worth down to the floor;
// value matches alone lift no higher than the ceiling.
constexpr double kRelevanceBoost = 0.4;
constexpr double kRelevanceFloor = 0.25;
constexpr double kValueRelevanceCeiling = 0.9;
// Fields whose values average past these sizes crowd out others.
constexpr double kLargeSize = 200;
constexpr double kLargeFactor = 0.85;
constexpr double kHugeSize = 2000;
constexpr double kHugeFactor = 0.7;
// Mostly nested fields are worth less unless they score this high already.
constexpr double kNestedExemptScore = 0.8;
constexpr double kNestedFactor = 0.85;

class HeuristicScorer final : public FieldScorer {
 public:
  std::string_view name() const override { return "heuristic"; }

  double score(const FieldFeatures& f) const override {
    SegmentWords key = segment_words(key_of(f.path), true);
    Classification c = classify(f, key);
    uint64_t n = f.occurrences;
    bool status = false;
    if (!f.path.empty()) {
      bool key_is_last = key_index(f.path) == f.path.size() - 1;
      status = (key_is_last ? key.any : segment_words(f.path.back(), false).any) & kStatusBit;
    }
    if (n > 0 && f.empties == n) return std::min(c.base * kAllEmptyFactor, kAllEmptyCeiling);
    double dn = static_cast<double>(n);
    double ratio = static_cast<double>(f.empties) / std::max(dn, 1.0);
    double x = ratio > kEmptyShareFloor ? c.base * (1 - kEmptyPenalty * ratio) : c.base;
    double y = (f.constant && f.rows >= 3 && f.scalars == n) ? x * kConstantFactor : x;
    double coverage = dn / std::max(static_cast<double>(f.rows), 1.0);
    double w = status ? kStatusCoverageBase + kStatusCoverageSpan * coverage : kCoverageBase + kCoverageSpan * coverage;
    double s = y * w;
    if (!c.recognized && f.scalars >= 3 && f.scalars == n && f.strings == n && !f.numeric) {
      double distinct_ratio = static_cast<double>(f.distinct) / dn;
      if (f.id_like) {
        s = kUnnamedIdScore;
      } else if (distinct_ratio >= kUniqueShare && f.mean_size <= kUniqueMaxSize) {
        s = kUnnamedUniqueScore;
      } else if (f.mean_size <= kCategoryMaxSize && distinct_ratio <= kCategoryShare && !f.constant) {
        s = kUnnamedCategoryScore;
      }
    }
    if (f.relevance > 0 && !f.constant) {
      double b =
          (f.strings == n && f.distinct * 5 <= std::max<uint64_t>(f.scalars, 1) && f.mean_size <= kCategoryMaxSize)
              ? 2 * f.match_fraction * (1 - f.match_fraction)
              : 1;
      double m = std::min(1.0, std::max(kRelevanceFloor, 2 * s));
      double sk = std::min(1.0, s + kRelevanceBoost * m * f.key_relevance);
      s = std::min(sk + kRelevanceBoost * m * b * f.value_relevance, std::max(sk, kValueRelevanceCeiling));
    }
    if (f.mean_size > kHugeSize) {
      s *= kHugeFactor;
    } else if (f.mean_size > kLargeSize) {
      s *= kLargeFactor;
    }
    if (f.arrays + f.objects > n / 2 && s < kNestedExemptScore) s *= kNestedFactor;
    return std::clamp(s, 0.0, 1.0);
  }

  bool is_identifier(const FieldFeatures& f) const override {
    uint64_t n = f.occurrences;
    if (n == 0 || f.mean_size > 300 || f.numbers + f.strings != n) return false;
    uint32_t bits = segment_words(key_of(f.path), false).any;
    if ((bits & kIdentifierBit) && !f.constant) return true;
    if (f.scalars < 3 || f.distinct * 10 < f.scalars * 9) return false;
    return f.id_like || (bits & kUrlBit);
  }

  std::optional<std::string> group_label(const FieldFeatures& f) const override {
    std::string label;
    size_t key_at = f.path.empty() ? 0 : key_index(f.path);
    for (size_t i = 0; i < key_at; ++i) {
      if (!segment_words(f.path[i], false).non_wrapper) continue;
      label += label.empty() ? "group:" : "/";
      label += f.path[i];
    }
    if (!label.empty()) return label;
    uint32_t bits = segment_words(key_of(f.path), false).any;
    if (bits & kIdentifierBit) return "identity";
    if (bits & kTitleBit) return "title";
    if (bits & kTimestampBit) return "time";
    if (bits & kUrlBit) return "link";
    return std::nullopt;
  }
};

class CompactScorer final : public FieldScorer {
 public:
  std::string_view name() const override { return "compact"; }
  double score(const FieldFeatures& f) const override {
    double base = 1 / (f.mean_size / 40 + 1);
    return (f.empties == f.occurrences || f.constant) ? base * 0.1 : base;
  }
  bool is_identifier(const FieldFeatures&) const override { return false; }
  std::optional<std::string> group_label(const FieldFeatures&) const override { return std::nullopt; }
};

class KeyOrderScorer final : public FieldScorer {
 public:
  std::string_view name() const override { return "key_order"; }
  double score(const FieldFeatures& f) const override { return 1 / (f.mean_position + 1); }
  bool is_identifier(const FieldFeatures&) const override { return false; }
  std::optional<std::string> group_label(const FieldFeatures&) const override { return std::nullopt; }
};

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const FieldScorer& scorer_for(ScorerKind kind) {
  static const HeuristicScorer heuristic;
  static const CompactScorer compact;
  static const KeyOrderScorer key_order;
  switch (kind) {
    case ScorerKind::kCompact: return compact;
    case ScorerKind::kKeyOrder: return key_order;
    default: return heuristic;
  }
}

bool is_numeric_text(std::string_view text) {
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  int digits = 0, dots = 0;
  for (char c : text) {
    if (is_ascii_digit(c)) {
      ++digits;
    } else if (c == '.') {
      ++dots;
    } else {
      return false;
    }
  }
  return digits > 0 && dots <= 1;
}

bool is_date_text(std::string_view t) {
  if (t.size() < 10) return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!is_ascii_digit(t[static_cast<size_t>(i)])) return false;
  }
  return t[4] == '-' && t[7] == '-';
}

namespace {

// What each byte says about an identifier-like text.
enum : uint8_t { kDigit = 1, kUpper = 2, kLower = 4, kNotHex = 8, kSpace = 16 };

struct IdClassTable {
  uint8_t of[256] = {};
  constexpr IdClassTable() {
    for (int b = 0; b < 256; ++b) {
      bool digit = b >= '0' && b <= '9', upper = b >= 'A' && b <= 'Z', lower = b >= 'a' && b <= 'z';
      bool hex = digit || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F') || b == '_' || b == '-';
      of[b] = static_cast<uint8_t>((digit ? kDigit : 0) | (upper ? kUpper : 0) | (lower ? kLower : 0) |
                                   (hex ? 0 : kNotHex));
    }
    for (int b : {' ', '\t', '\n', '\f', '\r'}) of[b] = kSpace;
  }
};
constexpr IdClassTable kIdClass;

}  // namespace

bool is_id_text(std::string_view t) {
  if (t.size() < 8) return false;
  uint8_t seen = 0;
  for (char c : t) {
    uint8_t k = kIdClass.of[static_cast<unsigned char>(c)];
    if (k & kSpace) return false;
    seen |= k;
  }
  bool digit = seen & kDigit;
  bool mixed_case = (seen & kUpper) && (seen & kLower);
  return (t.size() >= 12 && digit && mixed_case) || (!(seen & kNotHex) && digit);
}

}  // namespace tersolite
