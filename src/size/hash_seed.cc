#include "size/hash_seed.h"

#include <sys/random.h>

#include <chrono>

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

}  // namespace

uint64_t next_hash_seed() {
  thread_local uint64_t seed = draw_seed();
  return seed++;
}

}  // namespace tersolite
