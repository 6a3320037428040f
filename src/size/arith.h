// Saturating arithmetic on sizes and budgets.
#pragma once

#include <cmath>
#include <cstdint>

namespace tersolite {

inline uint64_t sat_add(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
inline uint64_t sat_sub(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }
inline uint64_t sat_mul(uint64_t a, uint64_t b) {
  uint64_t r;
  return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

/// Truncates toward zero; negative or NaN gives 0, 2^64 or more the maximum.
inline uint64_t saturating_u64(double x) {
  if (!(x > 0)) return 0;
  if (x >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(x);
}

}  // namespace tersolite
