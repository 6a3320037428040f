// Rewrites a valid JSON text in the writer's layout straight from its
// tokens: the same bytes write_json gives for the text's value, without the
// tree. A document that fits is answered this way once its tree is freed,
// so the tree and the answer are never in memory together.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "json/json_writer.h"
#include "value/heap_buffer.h"

namespace tersolite::json {

/// Appends what write_json(out, read_json(text), width) appends.
/// REQUIRES: `text` is valid JSON without a byte-order mark.
template <class Out>
void rewrite_json(Out& out, std::string_view text, uint64_t width);

/// The characters rewrite_json() writes for `text` with `width`, when
/// read_json() accepts `text` and they are at most `limit`; nullopt when it
/// is not JSON, nests too deep, or writes more (it stops there, so a large
/// document that does not fit costs a look at its first `limit` bytes).
/// It may turn down a text the reader accepts, never the other way round.
/// REQUIRES: `text` is valid UTF-8 without a byte-order mark.
std::optional<uint64_t> rewritten_chars(std::string_view text, uint64_t width, uint64_t limit);

extern template void rewrite_json(std::string&, std::string_view, uint64_t);
extern template void rewrite_json(EscapedSink<HeapBuffer>&, std::string_view, uint64_t);

}  // namespace tersolite::json
