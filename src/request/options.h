// The request's options record and its enums. It sits below lib/ so the
// scorers and the prune context can name it without reaching up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tersolite {

enum class ArrayStrategy : uint8_t { kSample, kCondense };
enum class Format : uint8_t { kAuto, kJson, kYaml };
enum class ScorerKind : uint8_t { kHeuristic, kCompact, kKeyOrder };

/// Widest indent accepted: wider layouts would make small documents write
/// into unbounded output.
inline constexpr uint64_t kMaxIndent = 32;

/// The output's spaces per level: YAML needs at least two.
inline uint64_t output_width(Format output, uint64_t indent) {
  return output == Format::kYaml && indent < 2 ? 2 : indent;
}

struct Options {
  std::vector<std::string> protect;
  std::optional<std::string> query;
  uint64_t max_chars = 10000;
  uint64_t indent = 2;
  uint64_t string_head_chars = 500;
  uint64_t string_section_chars = 100;
  uint64_t string_min_section_chars = 16;
  uint64_t max_samples = 3;
  uint64_t min_partial_chars = 40;
  bool keep_last_item = true;
  ArrayStrategy array_strategy = ArrayStrategy::kSample;
  bool explain = false;
  Format format = Format::kAuto;
  Format input_format = Format::kAuto;
  ScorerKind field_scorer = ScorerKind::kHeuristic;
};

}  // namespace tersolite
