// Properties every answer must have, checked by the fuzz targets. A broken
// property aborts, which the fuzzer reports with its input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "json/json_reader.h"
#include "value/value.h"

namespace tersolite::fuzz {

[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
  std::string text(detail);
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what, text.c_str());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

/// The envelope's members, in order, by its form; returns the parsed value.
inline Value check_envelope(const std::string& envelope) {
  auto parsed = json::read_json(envelope);
  check(parsed.has_value(), "envelope is not JSON", envelope);
  const Value& v = *parsed;
  check(v.is_object() && !v.members().empty() && v.members()[0].key == "ok" && v.members()[0].value.is_bool(),
        "envelope does not start with ok", envelope);
  const auto& m = v.members();
  if (!m[0].value.as_bool()) {
    check(m.size() == 2 && m[1].key == "error" && m[1].value.is_string(), "bad error envelope", envelope);
    return std::move(*parsed);
  }
  check(m.size() == 3 && m[1].key == "text" && m[1].value.is_string() && m[2].key == "report" && m[2].value.is_object(),
        "bad success envelope", envelope);
  static const char* kReport[] = {"input_chars",
                                  "output_chars",
                                  "max_chars",
                                  "format",
                                  "input_format",
                                  "pruned",
                                  "fits",
                                  "strings_truncated",
                                  "arrays_sampled",
                                  "items_omitted",
                                  "objects_trimmed",
                                  "keys_omitted",
                                  "containers_collapsed",
                                  "arrays_condensed",
                                  "protected_omitted",
                                  "field_decisions",
                                  "fields_dropped",
                                  "dropped_fields"};
  const auto& r = m[2].value.members();
  check(r.size() == 18, "report does not have eighteen members", envelope);
  for (size_t i = 0; i < 18; ++i) check(r[i].key == kReport[i], "report member out of place", envelope);
  return std::move(*parsed);
}

/// A report member by name.
inline const Value& report_member(const Value& envelope, std::string_view key) {
  for (const Member& m : envelope.members()[2].value.members()) {
    if (m.key == key) return m.value;
  }
  fail("missing report member");
}

inline uint64_t report_count(const Value& envelope, std::string_view key) {
  return std::stoull(std::string(report_member(envelope, key).text()));
}

}  // namespace tersolite::fuzz
