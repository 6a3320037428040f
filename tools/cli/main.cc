// tersolite: shrink JSON or YAML documents from the shell. Built on the
// public C API only; see --help.
#include <malloc.h>
#include <signal.h>

#include "run.h"
#include "settings.h"

int main(int argc, char** argv) {
  // A closed pipe shows as a failed write, which ends the run quietly.
  signal(SIGPIPE, SIG_IGN);
  // Documents of a few hundred KB are read by the workers and freed by
  // the writer. Left to itself, malloc maps and unmaps each of them across
  // threads, and the page faults then cost a tenth or more of a parallel
  // run; kept in the heap, their pages are reused.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  tersolite_cli::Settings settings;
  int status = tersolite_cli::parse_arguments(argc, argv, settings);
  if (status >= 0) return status;
  return tersolite_cli::run(settings);
}
