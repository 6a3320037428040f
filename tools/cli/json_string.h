// Decoding a JSON string literal where it lies, for the one large string the
// tool reads: the text of an answer, which may be the size of the document.
#pragma once

#include <cstddef>

namespace tersolite_cli {

/// Where a string literal's decoding ended.
struct DecodedString {
  size_t length;  ///< of the decoded bytes, written from the literal's start
  size_t read;    ///< bytes of the literal read, its closing quote included
};

/// Decodes, in place, the JSON string literal whose contents start at `text`
/// (just after its opening quote) and end at the first unescaped quote
/// within `size` bytes. Decoding never writes past what it has read, since
/// no escape is shorter than what it stands for.
/// Fails on a missing closing quote, a bad escape, a lone surrogate or a
/// control character; the bytes read so far are then overwritten. Bytes
/// outside escapes are copied as they are: check them as UTF-8 beforehand.
bool decode_string_in_place(char* text, size_t size, DecodedString& out);

}  // namespace tersolite_cli
