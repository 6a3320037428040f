#include "printer.h"

#include <string_view>

namespace tersolite_cli {

namespace {

// "412 strings_truncated, 3 arrays_sampled", the counters that are not 0.
std::string cut_counts(const rapidjson::Value& report) {
  static const char* kCounters[] = {"strings_truncated", "arrays_sampled",     "items_omitted",
                                    "objects_trimmed",   "keys_omitted",       "containers_collapsed",
                                    "arrays_condensed",  "protected_omitted", "fields_dropped"};
  std::string cut;
  for (const char* key : kCounters) {
    std::string n = Envelope::member_text(report, key);
    if (n == "0") continue;
    cut += (cut.empty() ? "" : ", ") + n + " " + key;
  }
  return cut.empty() ? "nothing" : cut;
}

// The lines of a report array, one per item, made by `line`.
template <class Line>
std::string list_lines(const rapidjson::Value& report, const char* key, const char* title, Line line) {
  auto it = report.FindMember(key);
  if (it == report.MemberEnd() || !it->value.IsArray() || it->value.Empty()) return {};
  std::string out = std::string("  ") + title + ":\n";
  for (const auto& item : it->value.GetArray())
    if (item.IsObject()) out += "    " + line(item) + "\n";
  return out;
}

}  // namespace

Printer::Printer(const Settings& settings, Output& output, Messages& messages, bool name_documents)
    : settings_(settings), output_(output), messages_(messages), name_documents_(name_documents) {}

bool Printer::print(Document& doc) {
  std::string label;
  if (name_documents_) label = doc.name + (doc.line ? ":" + std::to_string(doc.line) : "") + ": ";
  if (!doc.read_error.empty()) {
    fail(kUsage, "cannot read " + doc.name + (doc.line ? ":" + std::to_string(doc.line) : "") + ": " +
                     doc.read_error);
  } else {
    print_answer(doc, label);
  }
  messages_.count(doc.bytes().size());
  return !output_.closed();
}

void Printer::print_answer(Document& doc, const std::string& label) {
  Envelope& envelope = doc.envelope;
  if (settings_.envelope) {
    output_.write(envelope.raw());
    output_.write("\n");
  }
  if (!envelope.parse()) return fail(kUsage, label + "the library's answer could not be read");
  if (!envelope.ok()) return fail(kRejected, label + std::string(envelope.error()));
  if (!settings_.envelope) {
    std::string_view text = envelope.text();
    output_.write(text);
    if (text.empty() || text.back() != '\n') output_.write("\n");
  }
  const rapidjson::Value& report = envelope.report();
  if (settings_.report) print_report(report, label);
  if (Envelope::member_text(report, "fits") == "false") {
    std::string line = label + "the answer has " + Envelope::member_text(report, "output_chars") +
                       " characters, over the budget of " + Envelope::member_text(report, "max_chars");
    if (settings_.strict) fail(kOverBudget, line);
    else warn(line);
  }
}

void Printer::print_report(const rapidjson::Value& report, const std::string& label) {
  auto m = [&](const char* key) { return Envelope::member_text(report, key); };
  std::string out = "tersolite: " + label + m("input_chars") + " -> " + m("output_chars") + " chars (budget " +
                    m("max_chars") + ", " + (m("fits") == "true" ? "fits" : "does not fit") + "), " +
                    m("format") + " output from " + m("input_format") + " input\n";
  if (m("pruned") != "true") {
    out += "  nothing cut: the document fits as written\n";
  } else {
    out += "  cut: " + cut_counts(report) + "\n";
    out += list_lines(report, "dropped_fields", "dropped fields", [](const rapidjson::Value& d) {
      return Envelope::member_text(d, "path") + " (in " + Envelope::member_text(d, "items") +
             " items)";
    });
    out += list_lines(report, "field_decisions", "field decisions (score, relevance)", [](const rapidjson::Value& d) {
      return std::string(Envelope::member_text(d, "kept") == "true" ? "kept   " : "dropped") + " " +
             Envelope::member_text(d, "score") + "  " + Envelope::member_text(d, "relevance") +
             "  " + Envelope::member_text(d, "path");
    });
  }
  output_.flush();  // the document before its report, on a shared terminal
  messages_.write(out);
}

void Printer::warn(const std::string& line) {
  output_.flush();
  messages_.say(line);
}

void Printer::fail(Status status, const std::string& line) {
  status_ = worse(status_, status);
  warn(line);
}

}  // namespace tersolite_cli
