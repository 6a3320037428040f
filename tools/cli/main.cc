// tersolite: shrink JSON or YAML documents from the shell. Built on the
// public C API only; see --help.
#include <signal.h>

#include "run.h"
#include "settings.h"

int main(int argc, char** argv) {
  // A closed pipe shows as a failed write, which ends the run quietly.
  signal(SIGPIPE, SIG_IGN);
  tersolite_cli::Settings settings;
  int status = tersolite_cli::parse_arguments(argc, argv, settings);
  if (status >= 0) return status;
  return tersolite_cli::run(settings);
}
