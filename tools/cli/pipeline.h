// Shrinks documents on several threads and hands them on in input order.
#pragma once

#include <functional>
#include <string>

#include "source.h"

namespace tersolite_cli {

/// Called with each document, in order; false stops the run.
using Sink = std::function<bool(Document&)>;

/// Shrinks every document of `source` with `options` on the calling thread;
/// unless `keep_input`, a document's bytes are released once it is shrunk.
void shrink_in_turn(Source& source, const std::string& options, bool keep_input, const Sink& sink);

/// The same on `jobs` threads, each reading the next document in turn.
/// Workers stay at most a bounded number of documents (and bytes) ahead
/// of the sink, so memory is bounded however long the input is.
void shrink_in_parallel(Source& source, const std::string& options, bool keep_input, unsigned jobs, const Sink& sink);

}  // namespace tersolite_cli
