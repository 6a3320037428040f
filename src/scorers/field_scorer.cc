#include "scorers/field_scorer.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "lexical/query_terms.h"

namespace tersolite {

namespace {

using List = std::vector<std::string_view>;

const List kIdentifier = {"id",  "pk",  "ari", "arn",  "urn",  "gid",  "sha",    "oid",   "key",
                          "ref", "sku", "uuid", "guid", "slug", "number", "handle", "identifier"};
const List kTitle = {"title", "summary", "subject", "headline", "heading", "caption"};
const List kName = {"firstname", "lastname", "givenname", "familyname", "surname",
                    "nickname",  "name",     "label",     "displayname", "fullname",
                    "username",  "login",    "text"};
const List kStatus = {"completed", "done",   "active",     "archived",  "enabled",  "verified",
                      "paid",      "phase",  "health",     "condition", "conditions", "availability",
                      "verdict",   "status", "state",      "type",      "kind",     "category",
                      "resolution", "priority", "severity", "level",    "error",    "errors",
                      "code",      "result", "success",    "ok",        "reason",   "role",
                      "stage",     "outcome"};
const List kContact = {"email", "phone", "mobile", "telephone", "address"};
const List kDescription = {"description", "body",    "content", "abstract", "snippet",
                           "excerpt",     "comment", "note",    "details",  "message",
                           "overview",    "bio",     "value"};
const List kAuthor = {"author", "creator", "assignee", "reporter", "owner",    "user",
                      "by",     "sender",  "from",     "lastmodifiedby", "createdby"};
const List kCount = {"points", "comments", "replies", "downloads", "followers", "forks",
                     "watchers", "upvotes", "count",  "total",     "score",     "rank",
                     "size",   "length",   "stars",   "votes",     "likes",     "views",
                     "price",  "amount",   "quantity", "rating",   "relevance", "distance"};
const List kUrl = {"url", "uri", "link", "href", "permalink", "webui", "web"};
const List kTimestamp = {"ts",  "created", "updated", "modified",  "date", "time",  "timestamp", "at",
                         "due", "start",   "end",     "published", "when", "deadline", "resolved"};
const List kNoise = {"etag",     "hash",   "checksum", "schema",  "revision", "rev",
                     "expand",   "expandable", "self", "avatar",  "avatars",  "icon",
                     "thumbnail", "image", "images",   "logo",    "picture",  "color",
                     "colour",   "links",  "typename", "__typename", "embedded", "context",
                     "tinyui",   "base",   "profilepicture", "avatarurls", "iconurl"};
const List kImage = {"icon", "logo", "self", "image", "avatar", "picture", "thumbnail"};
const List kStructure = {"meta",     "flags",      "config",     "history",    "version",    "metadata",
                         "settings", "versions",   "extensions", "operations", "visibility", "properties",
                         "attributes", "permissions", "customfield", "restrictions"};
const List kWrapper = {"doc",    "data",     "node",     "item",       "object",
                       "source", "fields",   "entity",   "record",     "content",
                       "resource", "embedded", "document", "properties", "attributes"};
const List kNameQualifier = {"sur", "full", "last", "user", "nick", "first",
                             "given", "short", "login", "family", "display"};
const List kNameWords = {"name",  "label", "lastname", "nickname", "fullname", "firstname", "text",
                         "login", "surname", "username", "givenname", "familyname", "displayname"};

struct Category {
  const List* words;
  double weight;
};
const std::array<Category, 10> kCategories = {{{&kIdentifier, 0.98},
                                               {&kTitle, 0.95},
                                               {&kName, 0.9},
                                               {&kStatus, 0.85},
                                               {&kContact, 0.75},
                                               {&kDescription, 0.7},
                                               {&kAuthor, 0.65},
                                               {&kCount, 0.6},
                                               {&kUrl, 0.6},
                                               {&kTimestamp, 0.55}}};

bool in(const List& list, std::string_view w) {
  return std::find(list.begin(), list.end(), w) != list.end();
}
bool any_in(const List& list, const std::vector<std::string>& ws) {
  return std::any_of(ws.begin(), ws.end(), [&](const std::string& w) { return in(list, w); });
}

struct Lookup {
  bool found = false;
  double weight = 0.55;
};

Lookup category(const std::vector<std::string>& ws) {
  for (const Category& c : kCategories) {
    if (any_in(*c.words, ws)) return {true, c.weight};
  }
  return {};
}

// The key of a field and what stands above it.
struct KeyParts {
  std::string_view key;
  std::vector<std::string_view> ancestors;  // segments before the key
  std::vector<std::string_view> key_path;   // segments up to and including the key
};

KeyParts key_parts(const std::vector<std::string_view>& path) {
  KeyParts k;
  if (path.empty()) return k;
  size_t key_index = path.size() - 1;
  std::string_view last = path.back();
  if (!last.empty() && last[0] == '$' && path.size() >= 2) key_index = path.size() - 2;
  k.key = path[key_index];
  k.ancestors.assign(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(key_index));
  k.key_path.assign(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(key_index) + 1);
  return k;
}

std::string join_words(const std::vector<std::string>& ws) {
  std::string out;
  for (const std::string& w : ws) out += w;
  return out;
}

bool has_non_wrapper_word(std::string_view segment) {
  for (const std::string& w : words(segment)) {
    if (!in(kWrapper, w)) return true;
  }
  return false;
}

struct Classification {
  double base;
  bool recognized;
};

Classification classify(const FieldFeatures& f) {
  KeyParts k = key_parts(f.path);
  std::vector<std::string> ws = words(k.key);
  std::string joined = join_words(ws);

  for (size_t i = 0; i + 1 < f.path.size(); ++i) {
    if (any_in(kNoise, words(f.path[i]))) return {0.08, true};
  }
  for (std::string_view seg : k.key_path) {
    if (seg.empty()) return {0.08, true};
    if (seg[0] == '_' && seg != "_embedded" && seg != "_source" && seg != "_id") return {0.08, true};
  }
  if (any_in(kNoise, ws) || in(kNoise, joined)) {
    if (!(any_in(kUrl, ws) && !any_in(kImage, ws))) return {0.1, true};
  }
  if (any_in(kStructure, ws)) return {0.25, true};
  bool nested = std::any_of(k.ancestors.begin(), k.ancestors.end(), has_non_wrapper_word);

  Lookup found;
  if (!ws.empty()) {
    const std::string& last = ws.back();
    found = category({last});
    if (found.found) {
      if (in(kNameWords, last) && ws.size() > 1) {
        bool unqualified = std::any_of(ws.begin(), ws.end() - 1,
                                       [](const std::string& w) { return !in(kNameQualifier, w); });
        if (unqualified) found.weight = std::min(found.weight, 0.78);
      }
    } else {
      found = category(ws);
      if (!found.found && ws.size() == 1 && joined.size() >= 6) {
        std::string_view best;
        for (const Category& c : kCategories) {
          for (std::string_view w : *c.words) {
            if (w.size() < 4 || w.size() < best.size()) continue;
            if (joined.size() >= w.size() && joined.compare(joined.size() - w.size(), w.size(), w) == 0)
              best = w;
          }
        }
        if (!best.empty()) found = category({std::string(best)});
      }
    }
  }
  double base = found.found ? found.weight : (f.date_like ? 0.55 : 0.5);
  if (!ws.empty()) {
    bool url = any_in(kUrl, ws);
    bool ident = any_in(kIdentifier, ws);
    if (url && f.strings == f.occurrences && f.scalars >= 3 && f.distinct * 10 >= f.scalars * 9)
      base = std::max(base, 0.8);
    if (f.numeric && ident) base -= 0.04;
    if (ident) {
      if (ws.size() > 1 && ws.back() == "id") base = std::min(base, f.id_like ? 0.3 : 0.72);
      if (f.id_like || f.mean_size > 16) base -= 0.1;
    }
    if (nested) base *= ident ? 0.6 : 0.88;
  } else if (nested) {
    base *= 0.88;
  }
  return {base, found.found || f.date_like};
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
    Classification c = classify(f);
    uint64_t n = f.occurrences;
    bool status = !f.path.empty() && any_in(kStatus, words(f.path.back()));
    if (n > 0 && f.empties == n) return std::min(c.base * kAllEmptyFactor, kAllEmptyCeiling);
    double dn = static_cast<double>(n);
    double ratio = static_cast<double>(f.empties) / std::max(dn, 1.0);
    double x = ratio > kEmptyShareFloor ? c.base * (1 - kEmptyPenalty * ratio) : c.base;
    double y = (f.constant && f.rows >= 3 && f.scalars == n) ? x * kConstantFactor : x;
    double coverage = dn / std::max(static_cast<double>(f.rows), 1.0);
    double w = status ? kStatusCoverageBase + kStatusCoverageSpan * coverage
                      : kCoverageBase + kCoverageSpan * coverage;
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
      double b = (f.strings == n && f.distinct * 5 <= std::max<uint64_t>(f.scalars, 1) &&
                  f.mean_size <= kCategoryMaxSize)
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
    std::vector<std::string> ws = words(key_parts(f.path).key);
    if (any_in(kIdentifier, ws) && !f.constant) return true;
    if (f.scalars < 3 || f.distinct * 10 < f.scalars * 9) return false;
    return f.id_like || any_in(kUrl, ws);
  }

  std::optional<std::string> group_label(const FieldFeatures& f) const override {
    KeyParts k = key_parts(f.path);
    std::string label;
    for (std::string_view a : k.ancestors) {
      if (!has_non_wrapper_word(a)) continue;
      label += label.empty() ? "group:" : "/";
      label += a;
    }
    if (!label.empty()) return label;
    std::vector<std::string> ws = words(k.key);
    if (any_in(kIdentifier, ws)) return "identity";
    if (any_in(kTitle, ws)) return "title";
    if (any_in(kTimestamp, ws)) return "time";
    if (any_in(kUrl, ws)) return "link";
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
