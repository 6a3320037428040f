#include <gtest/gtest.h>

#include <random>
#include <set>

#include "hash/hash_seed.h"
#include "hash/hash_set.h"

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

// Short keys are packed from overlapping loads: every byte of every length
// must still count, and packing must be exact.
TEST(SeededStringHash, EveryByteOfShortKeysCounts) {
  SeededStringHash hash;
  std::set<uint64_t> hashes;
  std::set<uint64_t> packed[9];
  size_t keys = 0;
  const char alphabet[] = "ab\0\xff";
  for (size_t n = 0; n <= 12; ++n) {
    size_t combinations = 1;
    for (size_t i = 0; i < n; ++i) combinations *= 4;
    for (size_t c = 0; c < combinations && c < 20000; ++c) {
      std::string key;
      for (size_t i = 0, rest = c; i < n; ++i, rest /= 4) key.push_back(alphabet[rest % 4]);
      hashes.insert(hash(key));
      if (n <= 8) packed[n].insert(pack_short(key.data(), n));
      ++keys;
    }
    if (n <= 8) {
      EXPECT_EQ(std::min<size_t>(combinations, 20000), packed[n].size()) << n;
    }
  }
  EXPECT_EQ(keys, hashes.size());
  EXPECT_EQ(hash("same key"), hash(std::string("same key")));
}

}  // namespace
}  // namespace tersolite
