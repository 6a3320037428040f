// The in-place markers that say what was cut, and their written sizes.
// Every marker starts with U+2026 HORIZONTAL ELLIPSIS.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tersolite {

inline constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

/// Decimal digits of `n`.
uint64_t digit_count(uint64_t n);

/// "…[+{n} chars]"
std::string chars_marker(uint64_t n);
/// "…[+{n} lines, {c} chars]"
std::string lines_marker(uint64_t n, uint64_t c);
/// "…[+{n} sections, {c} chars]"
std::string sections_marker(uint64_t n, uint64_t c);
/// "…[{n} items omitted]"
std::string items_marker(uint64_t n);
/// "{n} keys omitted", the value of the "…" marker member.
std::string keys_marker(uint64_t n);

// Written sizes of the markers as JSON string literals, quotes included.
inline uint64_t chars_marker_size(uint64_t n) { return 12 + digit_count(n); }
inline uint64_t items_marker_size(uint64_t n) { return 19 + digit_count(n); }
inline uint64_t keys_marker_size(uint64_t n) { return 15 + digit_count(n); }

}  // namespace tersolite
