// The one JSON answer of every request, written compactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lib/options.h"
#include "prune/outcome.h"
#include "value/heap_buffer.h"
#include "value/value.h"

namespace tersolite {

struct Report {
  uint64_t input_chars = 0;
  uint64_t output_chars = 0;
  uint64_t max_chars = 0;
  Format format = Format::kJson;
  Format input_format = Format::kJson;
  bool pruned = false;
  bool fits = true;
  Outcome outcome;
};

/// {"ok":false,"error":<message>}
std::string error_envelope(std::string_view message);

/// {"ok":true,"text":<text>,"report":{...eighteen members...}}
HeapBuffer success_envelope(std::string_view text, const Report& report);

/// The same with `document` written as JSON with `width` straight into the
/// envelope's text, without a copy of its own.
HeapBuffer success_envelope(const Value& document, uint64_t width, const Report& report);

/// The same for a JSON text (valid UTF-8, no byte-order mark) rewritten
/// with `width` from its tokens, when it is valid JSON and writes at most
/// `report.max_chars` characters (see json::rewrite_json), with those
/// characters set in the report; nullopt otherwise.
std::optional<HeapBuffer> envelope_if_fits_as_written(std::string_view json_text, uint64_t width, Report& report);

/// A count of thousandths as a decimal with three fraction digits.
std::string thousandths_text(uint32_t count);

}  // namespace tersolite
