// Writes each document's answer, in order, and keeps the run's status.
#pragma once

#include <string>

#include "messages.h"
#include "output.h"
#include "settings.h"
#include "source.h"

namespace tersolite_cli {

class Printer {
 public:
  /// `name_documents`: messages say which document they are about (there
  /// may be more than one).
  Printer(const Settings& settings, Output& output, Messages& messages, bool name_documents);

  /// Prints `doc`'s answer, or why there is none. When it is called, the
  /// document's bytes, the options and the raw envelope are all intact.
  /// False when writing failed and the run should stop.
  bool print(Document& doc);
  Status status() const { return status_; }

 private:
  void print_answer(Document& doc, const std::string& label);
  void print_report(const Report& report, const std::string& label);
  std::string lines_hint(std::string_view error) const;
  void warn(const std::string& line);
  void fail(Status status, const std::string& line);

  const Settings& settings_;
  Output& output_;
  Messages& messages_;
  bool name_documents_;
  Status status_ = kSuccess;
  EnvelopeReader reader_;
};

}  // namespace tersolite_cli
