/* tersolite: shrink a JSON or YAML document to a budget of characters.
 *
 * Conventions, for every function below:
 *
 * - Texts are UTF-8 bytes with an explicit length; they need not be
 *   NUL-terminated and may contain NUL. A null pointer or a zero length
 *   reads as empty text.
 * - Buffers you pass in stay yours: tersolite only reads them during the call.
 * - A buffer returned by tersolite_shrink() or tersolite_alloc() belongs to
 *   you: hand it back to tersolite_free() with the length you were given.
 * - Every function may be called from any number of threads at once. No
 *   call starts a thread or touches a file, and a call keeps no memory once
 *   it returns. Calls share nothing but a few constant tables built on first
 *   use and a per-thread random seed for internal hash tables, on which no
 *   output depends.
 * - Memory exhaustion ends the process (there is no null return).
 * - Documents nest at most 512 levels deep; deeper ones are refused with an
 *   error envelope. Reading is iterative; shrinking and writing recurse,
 *   using about 270 bytes of stack per level in an optimised x86-64 build,
 *   so the deepest documents need under 150 KiB: a 256 KiB thread stack is
 *   enough.
 *
 * The answer of tersolite_shrink() is one compact JSON object, the envelope.
 * Read "ok" first:
 *
 *   {"ok":false,"error":"<message>"}
 *   {"ok":true,"text":"<the output document>","report":{...}}
 *
 * "text" is the shrunk document exactly as written (JSON without a final
 * line break, YAML with one). "report" always holds these eighteen members,
 * in this order: input_chars, output_chars, max_chars, format, input_format,
 * pruned, fits, strings_truncated, arrays_sampled, items_omitted,
 * objects_trimmed, keys_omitted, containers_collapsed, arrays_condensed,
 * protected_omitted, field_decisions (array of {path, score, kept,
 * relevance}), fields_dropped, dropped_fields (array of {path, items}).
 * Sizes count characters (Unicode scalar values), never bytes.
 */
#ifndef TERSOLITE_H_
#define TERSOLITE_H_

#include <stddef.h>
#include <stdint.h>

/* The version of this header; tersolite_version() gives the library's. A
 * host may compare the two to notice a header and a library that differ. */
#define TERSOLITE_VERSION_MAJOR 0
#define TERSOLITE_VERSION_MINOR 2
#define TERSOLITE_VERSION_PATCH 1

#if defined(_WIN32)
#define TERSOLITE_EXPORT __declspec(dllexport)
#else
#define TERSOLITE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define TERSOLITE_NOEXCEPT noexcept
extern "C" {
#else
#define TERSOLITE_NOEXCEPT
#endif

/* Shrinks the document `input` (JSON or YAML text) as the options object
 * `options` (JSON text; "{}" for all defaults) asks, and returns the
 * envelope: `*out_len` receives its byte length. The envelope is not
 * NUL-terminated; free it with tersolite_free(ptr, *out_len).
 *
 * Bad input of any kind (not UTF-8, bad JSON or YAML, bad options) is
 * answered with an error envelope, never a crash. `out_len` must not be
 * null; if it is, nothing is allocated and null is returned. */
TERSOLITE_EXPORT uint8_t* tersolite_shrink(const uint8_t* input, size_t input_len,
                                           const uint8_t* options, size_t options_len,
                                           size_t* out_len) TERSOLITE_NOEXCEPT;

/* Returns `len` zero-filled bytes that the host may fill and later free with
 * tersolite_free(ptr, len). A length of 0 returns the address 1, which must
 * not be dereferenced and needs no freeing. */
TERSOLITE_EXPORT uint8_t* tersolite_alloc(size_t len) TERSOLITE_NOEXCEPT;

/* Releases a buffer from tersolite_shrink() or tersolite_alloc(). Does
 * nothing when `ptr` is null or `len` is 0. */
TERSOLITE_EXPORT void tersolite_free(uint8_t* ptr, size_t len) TERSOLITE_NOEXCEPT;

/* The library's version, a static NUL-terminated text ("0.2.1"); do not
 * free it. */
TERSOLITE_EXPORT const char* tersolite_version(void) TERSOLITE_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* TERSOLITE_H_ */
