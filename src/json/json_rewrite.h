// Rewrites a JSON text in the writer's layout straight from its tokens: the
// same bytes write_json gives for the text's value, without the tree. A
// document that fits is answered this way, checked as the reader would
// check it while it is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_writer.h"
#include "value/heap_buffer.h"

namespace tersolite::json {

/// Appends what write_json(out, read_json(text), width) appends and returns
/// how many characters that is, when read_json() accepts `text` and they
/// are at most `limit`. Otherwise nullopt, and what was appended is to be
/// thrown away: it stops at the first fault or once past the limit, so a
/// large document that does not fit costs a look at its first `limit`
/// characters. It may turn down a text the reader accepts, never the other
/// way round.
/// REQUIRES: `text` is valid UTF-8 without a byte-order mark.
template <class Out>
std::optional<uint64_t> rewrite_json(Out& out, std::string_view text, uint64_t width, uint64_t limit = UINT64_MAX);

extern template std::optional<uint64_t> rewrite_json(std::string&, std::string_view, uint64_t, uint64_t);
extern template std::optional<uint64_t> rewrite_json(EscapedSink<HeapBuffer>&, std::string_view, uint64_t,
                                                     uint64_t);

}  // namespace tersolite::json
