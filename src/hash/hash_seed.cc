#include "hash/hash_seed.h"

#ifdef __wasi__
#include <unistd.h>
#else
#include <sys/random.h>
#endif

#include <chrono>

namespace tersolite {

namespace {

uint64_t draw_seed() {
  uint64_t seed = 0;
#ifdef __wasi__
  bool drawn = getentropy(&seed, sizeof seed) == 0;
#else
  bool drawn = getrandom(&seed, sizeof seed, GRND_NONBLOCK) == sizeof seed;
#endif
  if (!drawn) {
    // No entropy yet (early boot): any seed is correct, only less varied.
    seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  return seed;
}

}  // namespace

uint64_t next_hash_seed() {
#ifdef __wasi__
  // One thread per instance (and clang 14 fails on thread_local there).
  static uint64_t seed = draw_seed();
#else
  thread_local uint64_t seed = draw_seed();
#endif
  return seed++;
}

}  // namespace tersolite
