#include "run.h"

#include <unistd.h>

#include <optional>

#include "messages.h"
#include "output.h"
#include "pipeline.h"
#include "printer.h"
#include "source.h"
#include "view_page.h"

namespace tersolite_cli {

namespace {

// Options are checked once, on a trivial document, so that bad options are
// one message rather than one per document.
std::optional<std::string> options_error(const std::string& options) {
  Envelope envelope = Envelope::shrink("null", options);
  EnvelopeReader reader;
  if (!reader.read(envelope)) return "the library's answer could not be read";
  if (!reader.ok()) return std::string(reader.error());
  return std::nullopt;
}

// Writes `text` to `path` through a temporary file; returns why it failed.
std::string write_file(const std::string& path, std::string_view text) {
  Output file;
  std::string error = file.open(path);
  if (!error.empty()) return error;
  file.write(text);
  error = file.failure();
  std::string kept = file.finish(error.empty());
  return error.empty() ? kept : error;
}

}  // namespace

Status run(const Settings& settings) {
  // Progress on a terminal, unless the answers are written to the same one.
  bool progress = isatty(STDERR_FILENO) == 1 && (!settings.output.empty() || isatty(STDOUT_FILENO) != 1);
  Messages messages(progress);
  if (auto error = options_error(settings.options)) {
    messages.say(*error);
    return kRejected;
  }
  Output output;
  if (std::string error = output.open(settings.output); !error.empty()) {
    messages.say("cannot write " + settings.output + ": " + error);
    return kUsage;
  }
  bool one_document = !settings.lines && settings.files.size() == 1;
  Printer printer(settings, output, messages, !one_document);
  Source source(settings.files, settings.lines);
  // The page needs the document and its envelope, which printing releases.
  std::optional<std::string> page;
  Sink sink = [&](Document& doc) {
    if (!settings.view.empty()) page = view_page_for(doc, settings.options);
    return printer.print(doc);
  };
  bool keep_input = !settings.view.empty();
  if (settings.jobs <= 1 || one_document)
    shrink_in_turn(source, settings.options, keep_input, sink);
  else
    shrink_in_parallel(source, settings.options, keep_input, settings.jobs, sink);
  messages.finish();
  output.flush();
  Status status = printer.status();
  // A reader that went away wanted no more: that ends the run quietly.
  if (!output.closed()) {
    if (std::string error = output.finish(status != kUsage); !error.empty()) {
      messages.say("cannot write " + output.name() + ": " + error);
      status = kUsage;
    }
  }
  // The page is written even when the answer's reader has gone.
  if (page) {
    if (std::string error = write_file(settings.view, *page); !error.empty()) {
      messages.say("cannot write " + settings.view + ": " + error);
      status = kUsage;
    }
  }
  return status;
}

}  // namespace tersolite_cli
