// Builds the request's options record from the parsed options object.
#pragma once

#include <optional>
#include <string>

#include "request/options.h"
#include "value/result.h"
#include "value/value.h"

namespace tersolite {

/// Checks every member of the parsed options object in text order and
/// returns the options or the first problem (without the stage prefix).
[[nodiscard]] Expected<Options, std::string> build_options(const Value& value);

/// The query text built from an `arguments` value; absent when blank.
std::optional<std::string> query_from_arguments(const Value& arguments);

}  // namespace tersolite
