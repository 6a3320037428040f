// SipHash with configurable rounds. Fingerprints use SipHash-1-3 with a zero
// key so that they are the same in every run and on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tersolite {

/// Streaming SipHash-c-d over bytes appended in pieces.
class SipHasher {
 public:
  SipHasher(uint64_t k0, uint64_t k1, int c_rounds, int d_rounds);

  void update(std::string_view bytes);
  void update_byte(uint8_t byte);
  void update_u64_le(uint64_t value);
  uint64_t finish();

 private:
  void compress(uint64_t m);

  uint64_t v0_, v1_, v2_, v3_;
  uint64_t tail_ = 0;    // pending bytes, little-endian
  uint64_t length_ = 0;  // total bytes appended
  int c_, d_;
};

/// SipHash-1-3 with both key words zero.
uint64_t siphash13(std::string_view bytes);

/// siphash13 of the byte `tag`, then `text`, then the byte 0xFF, without
/// assembling them (the value fingerprints hash every scalar so).
uint64_t siphash13_framed(uint8_t tag, std::string_view text);

}  // namespace tersolite
