// What a request asks of the shrink drivers, settled once before the first
// attempt: every attempt and every condensing pass reads it, none changes it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "lexical/query_terms.h"
#include "prune/array_condenser.h"
#include "request/options.h"
#include "scorers/field_scorer.h"
#include "size/size_node.h"

namespace tersolite {

struct ShrinkRequest {
  /// REQUIRES: `format` is json or yaml; `options` and `scorer` outlive the
  /// request.
  ShrinkRequest(const Options& options_, Format format_, const FieldScorer& scorer_)
      : options(options_),
        budget(options_.max_chars),
        format(format_),
        layout{output_width(format_, options_.indent)},
        scorer(scorer_),
        patterns(compile_protect_patterns(options_.protect)),
        query(analyse_query(options_.query, false)) {}

  /// JSON output with the options' scorer.
  explicit ShrinkRequest(const Options& options_)
      : ShrinkRequest(options_, Format::kJson, scorer_for(options_.field_scorer)) {}

  ShrinkRequest(const ShrinkRequest&) = delete;
  ShrinkRequest& operator=(const ShrinkRequest&) = delete;

  const Options& options;
  uint64_t budget;
  Format format;
  Layout layout;
  const FieldScorer& scorer;
  std::vector<ProtectPattern> patterns;
  std::optional<QueryTerms> query;  // absent without a useful query
  // Condensing, for arrays when the options ask for it; without one, arrays
  // are sampled.
  ArrayCondenser condense_array = nullptr;
};

}  // namespace tersolite
