// Whole requests: the first bytes choose the options (budget, strategy,
// formats, indent, protect patterns, query), the rest is the document, so
// that pruning, condensing and both writers are reached. Every answer is
// checked against the envelope's promises and for determinism.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "invariants.h"
#include "json/json_writer.h"
#include "lib/options.h"
#include "lib/pipeline.h"
#include "lib/shrink_search.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"

namespace {

using namespace tersolite;

size_t count_of(std::string_view text, std::string_view needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

// Sum of the numbers N in "<prefix>N<suffix>" occurrences.
uint64_t sum_of(std::string_view text, std::string_view prefix, std::string_view suffix) {
  uint64_t sum = 0;
  for (size_t at = text.find(prefix); at != std::string_view::npos; at = text.find(prefix, at + 1)) {
    size_t digits = at + prefix.size();
    size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end > digits && text.substr(end, suffix.size()) == suffix)
      sum += std::stoull(std::string(text.substr(digits, end - digits)));
  }
  return sum;
}

// The number N of each "N keys omitted" marker member value.
uint64_t keys_omitted_in(std::string_view text) {
  uint64_t sum = 0;
  std::string_view suffix = " keys omitted";
  for (size_t at = text.find(suffix); at != std::string_view::npos; at = text.find(suffix, at + 1)) {
    size_t start = at;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    if (start < at) sum += std::stoull(std::string(text.substr(start, at - start)));
  }
  return sum;
}

std::string options_from(const uint8_t* b) {
  static const char* kBudgets[] = {"0", "1", "10", "40", "100", "300", "1000", "5000"};
  static const char* kProtect[] = {"", R"(,"protect":"id")", R"(,"protect":["/*/title","a"])", R"(,"protect":["*"])",
                                   R"(,"protect":["/a/*/b","","//"])"};
  static const char* kQuery[] = {"", R"(,"arguments":{"q":"open bugs order by priority"})",
                                 R"(,"arguments":["title", 2024])", R"(,"arguments":"name email limit 5"})"};
  static const char* kScorers[] = {"heuristic", "compact", "key_order"};
  static const char* kFormats[] = {"auto", "json", "yaml"};
  std::string o = "{\"max_chars\":";
  o += kBudgets[b[0] % 8];
  o += std::string(",\"array_strategy\":\"") + (b[1] & 1 ? "condense" : "sample") + "\"";
  o += std::string(",\"format\":\"") + kFormats[(b[1] >> 1) % 3] + "\"";
  o += std::string(",\"input_format\":\"") + kFormats[(b[1] >> 3) % 3] + "\"";
  o += ",\"indent\":" + std::to_string(2 + ((b[1] >> 5) & 1) * 2 - ((b[1] >> 6) & 1) * 2);
  o += std::string(",\"keep_last_item\":") + (b[2] & 1 ? "false" : "true");
  o += std::string(",\"explain\":") + (b[2] & 2 ? "true" : "false");
  o += std::string(",\"field_scorer\":\"") + kScorers[(b[2] >> 2) % 3] + "\"";
  o += ",\"max_samples\":" + std::to_string((b[2] >> 4) % 4);
  o += ",\"string_min_section_chars\":" + std::to_string(b[3] % 32);
  o += kProtect[(b[3] >> 5) % 5];
  o += kQuery[(b[0] >> 3) % 4];
  return o + "}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  std::string options = options_from(data);
  std::string_view input(reinterpret_cast<const char*>(data + 4), size - 4);
  std::string env = run_request(input, options);
  fuzz::check(env == run_request(input, options), "same request, different answers", options);
  Value v = fuzz::check_envelope(env);
  if (!v.members()[0].value.as_bool()) return 0;

  std::string_view text = v.members()[1].value.text();
  uint64_t out = fuzz::report_count(v, "output_chars");
  fuzz::check(out == char_count(text), "output_chars is not the size of text", env);
  fuzz::check(fuzz::report_member(v, "fits").as_bool() == (out <= fuzz::report_count(v, "max_chars")),
              "fits disagrees with the sizes", env);
  bool yaml_out = fuzz::report_member(v, "format").text() == "yaml";
  bool yaml_in = fuzz::report_member(v, "input_format").text() == "yaml";
  if (yaml_out) {
    fuzz::check(yaml::read_yaml(text).has_value(), "YAML output does not read back", env);
  } else {
    fuzz::check(json::read_json(text).has_value(), "JSON output does not read back", env);
  }

  auto parsed_options = build_options(*json::read_json(options));
  uint64_t width = output_width(yaml_out ? Format::kYaml : Format::kJson, parsed_options->indent);
  if (!fuzz::report_member(v, "pruned").as_bool()) {
    auto doc = yaml_in ? yaml::read_yaml(input) : json::read_json(input).map_error([](auto e) { return e.text(); });
    fuzz::check(doc.has_value() && text == write_document(*doc, yaml_out ? Format::kYaml : Format::kJson, width),
                "unpruned text is not the document as written", env);
  }
  // Markers count what is missing, when the document cannot hold look-alikes
  // of its own (the ellipsis may also come from a \u2026 escape).
  bool own_markers = input.find("\xE2\x80\xA6") != std::string_view::npos ||
                     input.find("2026") != std::string_view::npos || input.find("omitted") != std::string_view::npos;
  if (!own_markers) {
    fuzz::check(fuzz::report_count(v, "items_omitted") == sum_of(text, "\xE2\x80\xA6[", " items omitted]"),
                "items_omitted disagrees with the gap markers", env);
    fuzz::check(fuzz::report_count(v, "keys_omitted") == keys_omitted_in(text),
                "keys_omitted disagrees with the marker members", env);
    fuzz::check(fuzz::report_count(v, "strings_truncated") <= count_of(text, "\xE2\x80\xA6[+"),
                "a truncated string without a marker", env);
  }
  return 0;
}
