#include "size/markers.h"

namespace tersolite {

uint64_t digit_count(uint64_t n) {
  uint64_t digits = 1;
  while (n >= 10) {
    n /= 10;
    ++digits;
  }
  return digits;
}

std::string chars_marker(uint64_t n) { return std::string(kEllipsis) + "[+" + std::to_string(n) + " chars]"; }

std::string lines_marker(uint64_t n, uint64_t c) {
  return std::string(kEllipsis) + "[+" + std::to_string(n) + " lines, " + std::to_string(c) + " chars]";
}

std::string sections_marker(uint64_t n, uint64_t c) {
  return std::string(kEllipsis) + "[+" + std::to_string(n) + " sections, " + std::to_string(c) + " chars]";
}

std::string items_marker(uint64_t n) { return std::string(kEllipsis) + "[" + std::to_string(n) + " items omitted]"; }

std::string keys_marker(uint64_t n) { return std::to_string(n) + " keys omitted"; }

}  // namespace tersolite
