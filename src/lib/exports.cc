// The whole C boundary: convert arguments, run the request, copy out, and
// turn any fault into the error envelope. Only memory exhaustion ends the
// process.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "lib/envelope.h"
#include "lib/pipeline.h"
#include "tersolite.h"

namespace {

std::string_view as_text(const uint8_t* data, size_t len) {
  if (data == nullptr || len == 0) return {};
  return {reinterpret_cast<const char*>(data), len};
}

#if __cpp_exceptions
uint8_t* copy_to_heap(const std::string& bytes, size_t* out_len) {
  auto* buf = static_cast<uint8_t*>(std::malloc(bytes.size()));
  if (buf == nullptr) std::abort();
  std::memcpy(buf, bytes.data(), bytes.size());
  *out_len = bytes.size();
  return buf;
}
#endif

}  // namespace

extern "C" TERSOLITE_EXPORT uint8_t* tersolite_shrink(const uint8_t* input, size_t input_len, const uint8_t* options,
                                                      size_t options_len, size_t* out_len) noexcept {
  if (out_len == nullptr) return nullptr;
#if __cpp_exceptions
  try {
#endif
    tersolite::HeapBuffer envelope =
        tersolite::answer_request(as_text(input, input_len), as_text(options, options_len));
    return envelope.release(out_len);
#if __cpp_exceptions
  } catch (const std::bad_alloc&) {
    std::abort();
  } catch (...) {
    // Whatever the fault carried is dropped.
  }
  return copy_to_heap(tersolite::error_envelope("internal error (panic) in tersolite"), out_len);
#else
  // Built without exceptions (WebAssembly), a broken invariant traps, and
  // the host answers with the same error envelope.
#endif
}

extern "C" TERSOLITE_EXPORT uint8_t* tersolite_alloc(size_t len) noexcept {
  if (len == 0) return reinterpret_cast<uint8_t*>(uintptr_t{1});
  if (len > static_cast<size_t>(PTRDIFF_MAX)) std::abort();
  auto* buf = static_cast<uint8_t*>(std::calloc(len, 1));
  if (buf == nullptr) std::abort();
  return buf;
}

extern "C" TERSOLITE_EXPORT void tersolite_free(uint8_t* ptr, size_t len) noexcept {
  if (ptr == nullptr || len == 0) return;
  std::free(ptr);
}

#define TERSOLITE_TEXT(x) TERSOLITE_TEXT_(x)
#define TERSOLITE_TEXT_(x) #x

extern "C" TERSOLITE_EXPORT const char* tersolite_version(void) noexcept {
  return TERSOLITE_TEXT(TERSOLITE_VERSION_MAJOR) "." TERSOLITE_TEXT(TERSOLITE_VERSION_MINOR) "." TERSOLITE_TEXT(
      TERSOLITE_VERSION_PATCH);
}
