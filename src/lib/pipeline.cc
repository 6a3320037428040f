#include "lib/pipeline.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "condense/condense.h"
#include "json/json_reader.h"
#include "json/json_rewrite.h"
#include "lib/envelope.h"
#include "lib/options.h"
#include "lib/shrink_search.h"
#include "size/size_node.h"
#include "value/utf8.h"
#include "yaml/yaml_reader.h"
#include "yaml/yaml_writer.h"

namespace tersolite {

namespace {

// The document borrows from the input and from the request's arena, which
// the caller keeps for as long as the tree is used.
struct Document {
  Value value;
  Format format = Format::kJson;
};

// Whether auto-detection should report the JSON error rather than try YAML:
// the text is blank, or starts like JSON.
bool looks_like_json(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = pos;
    if (decode_utf8(text, next) != 0xFEFF) break;
    pos = next;
  }
  while (pos < text.size()) {
    size_t next = pos;
    char32_t c = decode_utf8(text, next);
    if (!is_unicode_space(c)) return c == '"' || c == '[' || c == '{';
    pos = next;
  }
  return true;
}

Expected<Document, std::string> read_yaml_document(std::string_view input) {
  auto yaml = yaml::read_yaml(input);
  if (!yaml) return unexpected("invalid YAML input: " + yaml.error());
  return Document{std::move(*yaml), Format::kYaml};
}

// A JSON document notes its containers' sizes in the layout of the output
// it will be measured for.
Expected<Document, std::string> read_document(std::string_view input, const Options& options, Arena& arena) {
  if (options.input_format == Format::kYaml) return read_yaml_document(input);
  Format output = options.format == Format::kAuto ? Format::kJson : options.format;
  auto json = json::read_json(input, &arena, output_width(output, options.indent));
  if (json) return Document{std::move(*json), Format::kJson};
  if (options.input_format == Format::kJson || looks_like_json(input))
    return unexpected("invalid JSON input: " + json.error().text());
  return read_yaml_document(input);
}

// A JSON document whose JSON output fits as written is answered from its
// text alone: one pass checks it as the reader would and counts what it
// writes, a second rewrites it into the envelope. Building its tree would
// take longer than both, and memory of a few times its size.
std::optional<HeapBuffer> answer_as_written(std::string_view input, const Options& options) {
  if (options.input_format == Format::kYaml || options.format == Format::kYaml) return std::nullopt;
  std::string_view text = json::without_bom(input);
  uint64_t width = output_width(Format::kJson, options.indent);
  auto chars = json::rewritten_chars(text, width, options.max_chars);
  if (!chars) return std::nullopt;
  Report report;
  report.max_chars = options.max_chars;
  report.input_chars = report.output_chars = *chars;
  return success_envelope_rewritten(text, width, report);
}

HeapBuffer error_answer(std::string_view message) {
  HeapBuffer out;
  out.append(error_envelope(message));
  return out;
}

}  // namespace

std::string run_request(std::string_view input, std::string_view options_text) {
  return std::string(answer_request(input, options_text).view());
}

HeapBuffer answer_request(std::string_view input, std::string_view options_text) {
  if (!is_valid_utf8(input)) return error_answer("input is not valid UTF-8");
  if (!is_valid_utf8(options_text)) return error_answer("options are not valid UTF-8");
  auto parsed = json::read_json(options_text);
  if (!parsed) return error_answer("invalid options JSON: " + parsed.error().text());
  auto options = build_options(*parsed);
  if (!options) return error_answer("invalid options: " + options.error());

  if (auto answer = answer_as_written(input, *options)) return std::move(*answer);

  auto arena = std::make_unique<Arena>();
  auto doc = read_document(input, *options, *arena);
  if (!doc) return error_answer(doc.error());

  Report report;
  report.max_chars = options->max_chars;
  report.input_format = doc->format;
  report.format = options->format == Format::kAuto ? doc->format : options->format;
  ShrinkRequest request(*options, report.format, scorer_for(options->field_scorer));
  request.condense_array = condense_array;
  const uint64_t width = request.layout.width;

  // For JSON output the measurement the search starts from gives the written
  // size exactly, so one pass serves both; the document is written only when
  // it fits (a YAML one: JSON that fits was answered from its text), straight
  // into the envelope.
  std::optional<Measurement> measured;
  if (report.format == Format::kJson) {
    measured = measure_document(doc->value, request);
    report.input_chars = measured->root.full;
    if (report.input_chars <= report.max_chars) {
      report.output_chars = report.input_chars;
      return success_envelope(doc->value, width, report);
    }
  } else {
    // The measurement only estimates YAML, so the output is counted as the
    // writer would write it, and written only when it fits.
    report.input_chars = yaml::yaml_written_size(doc->value, width);
    if (report.input_chars <= report.max_chars) {
      report.output_chars = report.input_chars;
      // YAML is seldom more than twice the size of the text it was read from.
      return success_envelope(write_document(doc->value, report.format, width, 2 * input.size() + 4096), report);
    }
  }
  if (!measured) measured = measure_document(doc->value, request);
  SearchResult search = shrink_search(doc->value, *measured, request);
  report.output_chars = search.chosen.size;
  report.pruned = true;
  report.fits = search.fits;
  report.outcome = std::move(search.chosen.outcome);
  return success_envelope(search.chosen.text, report);
}

}  // namespace tersolite
