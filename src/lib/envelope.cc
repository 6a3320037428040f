#include "lib/envelope.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "json/json_rewrite.h"
#include "json/json_writer.h"
#include "size/arith.h"
#include "value/utf8.h"

namespace tersolite {

namespace {

Value count(uint64_t n) { return Value::number(decimal(n)); }

Value format_name(Format f) { return Value::string(f == Format::kYaml ? "yaml" : "json"); }

}  // namespace

std::string thousandths_text(uint32_t count) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(count) / 1000.0);
  return buf;
}

std::string error_envelope(std::string_view message) {
  Value env = Value::object();
  env.add_member("ok", Value::boolean(false));
  env.add_member("error", Value::string(message));
  return json::to_json(env);
}

namespace {

Value report_value(const Report& r) {
  const Outcome& o = r.outcome;
  Value report = Value::object();
  report.reserve(18);
  report.add_member("input_chars", count(r.input_chars));
  report.add_member("output_chars", count(r.output_chars));
  report.add_member("max_chars", count(r.max_chars));
  report.add_member("format", format_name(r.format));
  report.add_member("input_format", format_name(r.input_format));
  report.add_member("pruned", Value::boolean(r.pruned));
  report.add_member("fits", Value::boolean(r.fits));
  report.add_member("strings_truncated", count(o.stats.strings_truncated));
  report.add_member("arrays_sampled", count(o.stats.arrays_sampled));
  report.add_member("items_omitted", count(o.stats.items_omitted));
  report.add_member("objects_trimmed", count(o.stats.objects_trimmed));
  report.add_member("keys_omitted", count(o.stats.keys_omitted));
  report.add_member("containers_collapsed", count(o.stats.containers_collapsed));
  report.add_member("arrays_condensed", count(o.stats.arrays_condensed));
  report.add_member("protected_omitted", count(o.protected_omitted));
  Value decisions = Value::array();
  for (const FieldDecision& d : o.field_decisions) {
    Value item = Value::object();
    item.add_member("path", Value::string(d.path));
    item.add_member("score", Value::number(thousandths_text(d.score)));
    item.add_member("kept", Value::boolean(d.kept));
    item.add_member("relevance", Value::number(thousandths_text(d.relevance)));
    decisions.push_back(std::move(item));
  }
  report.add_member("field_decisions", std::move(decisions));
  report.add_member("fields_dropped", count(o.fields_dropped));
  Value dropped = Value::array();
  for (const DroppedField& d : o.dropped_fields) {
    Value item = Value::object();
    item.add_member("path", Value::string(d.path));
    item.add_member("items", count(d.items));
    dropped.push_back(std::move(item));
  }
  report.add_member("dropped_fields", std::move(dropped));
  return report;
}

// Room for a text of `bytes` with the escapes most texts have.
size_t typical_room(size_t bytes) { return bytes + bytes / 4; }

// The envelope around a text that `write_text` appends, escaped, in place,
// with room for `text_room` bytes of it. `write_text` returns the report,
// or null when it gives up: then there is no envelope.
template <class WriteText>
std::optional<HeapBuffer> envelope_around(size_t text_room, WriteText write_text) {
  // The text is written straight into the envelope rather than copied into
  // a Value first: it may be the size of the whole document.
  HeapBuffer out;
  out.reserve(text_room + 1024);
  out.append("{\"ok\":true,\"text\":\"");
  json::EscapedSink<HeapBuffer> escaped(out);
  const Report* r = write_text(escaped);
  if (r == nullptr) return std::nullopt;
  out.append("\",\"report\":");
  json::write_json(out, report_value(*r), 0);
  out.push_back('}');
  return out;
}

}  // namespace

HeapBuffer success_envelope(std::string_view text, const Report& r) {
  return *envelope_around(typical_room(text.size()), [&](auto& sink) {
    sink.append(text);
    return &r;
  });
}

HeapBuffer success_envelope(const Value& document, uint64_t width, const Report& r) {
  return *envelope_around(typical_room(r.output_chars), [&](auto& sink) {
    json::write_json(sink, document, width, 0);
    return &r;
  });
}

std::optional<HeapBuffer> envelope_if_fits_as_written(std::string_view json_text, uint64_t width, Report& r) {
  // Compact, the text has no more bytes than the input; escaped, each byte
  // takes at most two, so it never grows. Indented, it grows when its
  // layout takes more than the input. Room never written costs address
  // space, not memory, yet a small budget (a character is at most eight
  // bytes written) needs no large block: it asks for little, and grows in
  // the rare case that its last token runs far over.
  uint64_t layout = width > 0 ? std::min<uint64_t>(r.max_chars, json_text.size()) : 0;
  uint64_t room = std::min(sat_mul(2, sat_add(json_text.size(), layout)), sat_add(sat_mul(8, r.max_chars), 4096));
  return envelope_around(static_cast<size_t>(std::min<uint64_t>(room, SIZE_MAX / 4)),
                         [&](auto& sink) -> const Report* {
                           auto chars = json::rewrite_json(sink, json_text, width, r.max_chars);
                           if (!chars) return nullptr;
                           r.input_chars = r.output_chars = *chars;
                           return &r;
                         });
}

}  // namespace tersolite
