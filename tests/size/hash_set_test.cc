#include <gtest/gtest.h>

#include <random>
#include <set>

#include "size/hash_set.h"

namespace tersolite {
namespace {

// Counts what an ordered set counts, through growth, repeats and the zero
// that marks empty slots.
TEST(HashSet64, CountsDistinctValues) {
  std::mt19937_64 rng(3);
  for (size_t n : {0, 1, 7, 8, 9, 100, 5000}) {
    HashSet64 set;
    std::set<uint64_t> expected;
    for (size_t i = 0; i < n; ++i) {
      // Few distinct values among many, small ones (colliding low bits) and 0.
      uint64_t h = i % 5 == 0 ? rng() % 40 : rng();
      set.insert(h);
      set.insert(h);
      expected.insert(h);
      ASSERT_EQ(expected.size(), set.size()) << n << " after " << i;
    }
  }
}

}  // namespace
}  // namespace tersolite
