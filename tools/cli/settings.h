// What one run of the command-line tool was asked to do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tersolite_cli {

// Exit statuses, as listed in --help.
enum Status : int {
  kSuccess = 0,
  kRejected = 1,   // a document or the options were rejected
  kUsage = 2,      // usage or I/O error
  kOverBudget = 3  // with --strict: an answer did not fit its budget
};

/// The status that wins when a run meets both `a` and `b`: I/O and usage
/// errors first, then rejected documents, then over-budget answers.
Status worse(Status a, Status b);

struct Settings {
  std::vector<std::string> files;  // "-" is standard input
  std::string options;             // the options object handed to the library
  std::string output;              // empty: standard output
  std::string view;                // a page of the one document beside its answer; empty: none
  unsigned jobs = 1;
  bool lines = false;     // every non-empty line is a document
  bool envelope = false;  // print the raw envelope instead of the document
  bool report = false;    // describe what was cut on standard error
  bool strict = false;    // an answer over its budget is a failure
};

/// Reads the command line into `settings`. Returns -1 when the run should
/// go on; otherwise the exit status, after printing help, the version or a
/// usage error.
int parse_arguments(int argc, char** argv, Settings& settings);

/// The text of --help.
std::string help_text();

}  // namespace tersolite_cli
