// One request, from the host's bytes to the envelope text.
#pragma once

#include <string>
#include <string_view>

#include "value/heap_buffer.h"

namespace tersolite {

/// Runs every step of a request and returns the envelope (success or error).
/// Bad input never throws; a broken invariant may (the boundary catches it).
HeapBuffer answer_request(std::string_view input, std::string_view options_text);

/// answer_request() as a string.
std::string run_request(std::string_view input, std::string_view options_text);

}  // namespace tersolite
