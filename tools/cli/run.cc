#include "run.h"

#include <unistd.h>

#include <optional>

#include "messages.h"
#include "output.h"
#include "pipeline.h"
#include "printer.h"
#include "source.h"

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
  Sink sink = [&](Document& doc) { return printer.print(doc); };
  if (settings.jobs <= 1 || one_document) shrink_in_turn(source, settings.options, sink);
  else shrink_in_parallel(source, settings.options, settings.jobs, sink);
  messages.finish();
  output.flush();
  // A reader that went away wanted no more: that ends the run quietly.
  if (output.closed()) return printer.status();
  Status status = printer.status();
  if (std::string error = output.finish(status != kUsage); !error.empty()) {
    messages.say("cannot write " + output.name() + ": " + error);
    return kUsage;
  }
  return status;
}

}  // namespace tersolite_cli
