// Query terms and lexical relevance: text is cut into lower-cased words,
// stopwords dropped, a plural "s" stripped; keys match terms exactly and
// values with one typing error allowed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "hash/hash_seed.h"

namespace tersolite {

using WordSet = std::unordered_set<std::string, SeededStringHash, std::equal_to<>>;

/// Distinct stemmed words of a value's text, in the order they were met, in
/// one flat table: sets are filled for every value of a field, so adding a
/// word allocates nothing once the set has grown.
class TokenSet {
 public:
  /// Words a value adds at most.
  static constexpr size_t kMaxTokens = 256;

  bool empty() const { return entries_.empty(); }
  size_t size() const { return entries_.size(); }
  bool contains(std::string_view token) const;
  /// The `i`th token added, and its length in characters.
  std::string_view token(size_t i) const { return {pool_.data() + entries_[i].offset, entries_[i].size}; }
  size_t chars(size_t i) const { return entries_[i].chars; }

  /// Adds `token`, of `chars` characters, unless it is there.
  void insert(std::string_view token, size_t chars);
  void insert_all(const TokenSet& other);
  /// Empties the set, keeping its room.
  void clear();

 private:
  struct Entry {
    uint64_t hash;
    size_t offset, size, chars;
  };
  size_t find_slot(std::string_view token, uint64_t hash) const;
  void grow();

  std::string pool_;             // the tokens back to back
  std::vector<Entry> entries_;   // in the order added
  std::vector<uint32_t> slots_;  // entry index + 1, 0 when free; a power of two, at most half full
  SeededStringHash hash_;
};

struct QueryTerms {
  std::vector<std::string> terms;  // outside the order-by clause, first appearance order
  WordSet exact;                   // the same words as terms
  WordSet secondary;               // order-by words not in exact
};

/// Lower-cased alphanumeric words, split at camel-case boundaries.
std::vector<std::string> words(std::string_view text);

/// Hands `visit(context, word)` each word `words` would return, in order,
/// allocating nothing for words that are lower-case runs of the text. A word
/// lives only for its call.
void visit_words(std::string_view text, void (*visit)(void* context, std::string_view word), void* context);

/// `visit_words` with any callable taking a `std::string_view`.
template <class Visit>
void for_each_word_of(std::string_view text, Visit&& visit) {
  visit_words(
      text, [](void* c, std::string_view w) { (*static_cast<std::remove_reference_t<Visit>*>(c))(w); }, &visit);
}

/// At least two characters, not a stopword, and not a short number.
bool is_useful(std::string_view word);

/// Drops a plural "s" from words of four or more bytes (not "ss").
std::string stem(std::string_view word);

/// The analysed query; absent when `ignore` is set, there is no query, or
/// nothing useful is left.
std::optional<QueryTerms> analyse_query(const std::optional<std::string>& query, bool ignore);

/// Relevance in [0, 1] of a key (its words) to the query.
double key_relevance(const QueryTerms& q, const std::vector<std::string>& key_words,
                     const std::vector<std::string>& context_words);

/// The tokens of a value's text.
TokenSet value_tokens(std::string_view text);
/// Adds the tokens of `text` to `set` (stopping at the cap).
void add_value_tokens(TokenSet& set, std::string_view text);

/// Whether `term` is in `set`, or one edit from a long enough token.
bool term_matches(std::string_view term, const TokenSet& set);

/// 0.5 + 0.5 * matched / terms when some term matches, else 0.
double value_relevance(const QueryTerms& q, const TokenSet& set);

/// Whether any term matches a token of `set`.
bool any_term_matches(const QueryTerms& q, const TokenSet& set);

}  // namespace tersolite
