#include "printer.h"

#include <string_view>

namespace tersolite_cli {

namespace {

// "412 strings_truncated, 3 arrays_sampled", the counters that are not 0.
std::string cut_counts(const Report& report) {
  static const char* kCounters[] = {"strings_truncated", "arrays_sampled",    "items_omitted",
                                    "objects_trimmed",   "keys_omitted",      "containers_collapsed",
                                    "arrays_condensed",  "protected_omitted", "fields_dropped"};
  std::string cut;
  for (const char* key : kCounters) {
    const std::string& n = report.get(key);
    if (n == "0") continue;
    cut += (cut.empty() ? "" : ", ") + n + " " + key;
  }
  return cut.empty() ? "nothing" : cut;
}

// The lines of a report array, one per item, made by `line`.
template <class Line>
std::string list_lines(const Report& report, const char* key, const char* title, Line line) {
  const std::vector<Fields>& items = report.list(key);
  if (items.empty()) return {};
  std::string out = std::string("  ") + title + ":\n";
  for (const Fields& item : items) out += "    " + line(item) + "\n";
  return out;
}

}  // namespace

// A second document after the first usually means JSON Lines.
std::string Printer::lines_hint(std::string_view error) const {
  bool second_line = error.find("trailing characters at line ") != std::string_view::npos &&
                     error.find("trailing characters at line 1,") == std::string_view::npos;
  return !settings_.lines && second_line ? " (JSON Lines? use --lines)" : "";
}

Printer::Printer(const Settings& settings, Output& output, Messages& messages, bool name_documents)
    : settings_(settings), output_(output), messages_(messages), name_documents_(name_documents) {}

bool Printer::print(Document& doc) {
  std::string where = doc.name;
  if (doc.line) where.append(":").append(std::to_string(doc.line));
  if (!doc.read_error.empty())
    fail(kUsage, "cannot read " + where + ": " + doc.read_error);
  else
    print_answer(doc, name_documents_ ? where + ": " : "");
  messages_.count(doc.input_size);
  return !output_.failed();
}

void Printer::print_answer(Document& doc, const std::string& label) {
  if (settings_.envelope) {
    output_.write(doc.envelope.raw());
    output_.write("\n");
  }
  if (!reader_.read(doc.envelope)) return fail(kUsage, label + "the library's answer could not be read");
  if (!reader_.ok()) return fail(kRejected, label + std::string(reader_.error()) + lines_hint(reader_.error()));
  if (!settings_.envelope) {
    std::string_view text = reader_.text();
    output_.write(text);
    if (text.empty() || text.back() != '\n') output_.write("\n");
  }
  const Report& report = reader_.report();
  if (settings_.report) print_report(report, label);
  if (report.get("fits") == "false") {
    std::string line = label + "the answer has " + report.get("output_chars") + " characters, over the budget of " +
                       report.get("max_chars");
    if (settings_.strict)
      fail(kOverBudget, line);
    else
      warn(line);
  }
}

void Printer::print_report(const Report& report, const std::string& label) {
  auto m = [&](const char* key) { return report.get(key); };
  std::string out = "tersolite: " + label + m("input_chars") + " -> " + m("output_chars") + " chars (budget " +
                    m("max_chars") + ", " + (m("fits") == "true" ? "fits" : "does not fit") + "), " + m("format") +
                    " output from " + m("input_format") + " input\n";
  if (m("pruned") != "true") {
    out += "  nothing cut: the document fits as written\n";
  } else {
    out += "  cut: " + cut_counts(report) + "\n";
    out += list_lines(report, "dropped_fields", "dropped fields",
                      [](const Fields& d) { return d.get("path") + " (in " + d.get("items") + " items)"; });
    out += list_lines(report, "field_decisions", "field decisions (score, relevance)", [](const Fields& d) {
      return std::string(d.get("kept") == "true" ? "kept   " : "dropped") + " " + d.get("score") + "  " +
             d.get("relevance") + "  " + d.get("path");
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
