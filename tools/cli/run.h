#pragma once

#include "settings.h"

namespace tersolite_cli {

/// Shrinks every document `settings` names and writes the answers;
/// returns the exit status.
Status run(const Settings& settings);

}  // namespace tersolite_cli
