#include "size/hash_seed.h"

#include <sys/random.h>

#include <chrono>
#include <cstring>

namespace tersolite {

namespace {

uint64_t draw_seed() {
  uint64_t seed = 0;
  if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != sizeof seed) {
    // No entropy yet (early boot): any seed is correct, only less varied.
    seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  return seed;
}

inline uint64_t mix64(uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

}  // namespace

uint64_t next_hash_seed() {
  thread_local uint64_t seed = draw_seed();
  return seed++;
}

size_t SeededStringHash::operator()(std::string_view s) const {
  // FNV-1a over eight-byte words, then a strong finaliser.
  uint64_t h = 0xcbf29ce484222325ull ^ mix64(seed);
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  for (; i < s.size(); ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 0x100000001b3ull;
  return static_cast<size_t>(mix64(h ^ s.size()));
}

size_t SeededU64Hash::operator()(uint64_t x) const {
  return static_cast<size_t>(mix64(x ^ mix64(seed)));
}

}  // namespace tersolite
