#include "hash/siphash.h"

#include <cstring>

namespace tersolite {

namespace {

inline uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

inline void sip_round(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
  v0 += v1;
  v1 = rotl(v1, 13);
  v1 ^= v0;
  v0 = rotl(v0, 32);
  v2 += v3;
  v3 = rotl(v3, 16);
  v3 ^= v2;
  v0 += v3;
  v3 = rotl(v3, 21);
  v3 ^= v0;
  v2 += v1;
  v1 = rotl(v1, 17);
  v1 ^= v2;
  v2 = rotl(v2, 32);
}

}  // namespace

SipHasher::SipHasher(uint64_t k0, uint64_t k1, int c_rounds, int d_rounds)
    : v0_(k0 ^ 0x736f6d6570736575ull),
      v1_(k1 ^ 0x646f72616e646f6dull),
      v2_(k0 ^ 0x6c7967656e657261ull),
      v3_(k1 ^ 0x7465646279746573ull),
      c_(c_rounds),
      d_(d_rounds) {}

void SipHasher::compress(uint64_t m) {
  v3_ ^= m;
  for (int i = 0; i < c_; ++i) sip_round(v0_, v1_, v2_, v3_);
  v0_ ^= m;
}

void SipHasher::update_byte(uint8_t byte) {
  tail_ |= static_cast<uint64_t>(byte) << (8 * (length_ & 7));
  ++length_;
  if ((length_ & 7) == 0) {
    compress(tail_);
    tail_ = 0;
  }
}

void SipHasher::update(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t fill = length_ & 7;
  length_ += n;
  // Bytes that complete the pending word.
  if (fill != 0) {
    while (n > 0 && fill < 8) {
      tail_ |= static_cast<uint64_t>(*p++) << (8 * fill++);
      --n;
    }
    if (fill < 8) return;
    compress(tail_);
    tail_ = 0;
  }
  // Whole words, with the state kept in registers.
  uint64_t v0 = v0_, v1 = v1_, v2 = v2_, v3 = v3_;
  auto words = [&](auto rounds) {
    for (; n >= 8; p += 8, n -= 8) {
      uint64_t m;
      std::memcpy(&m, p, 8);  // little-endian hosts only
      v3 ^= m;
      for (int i = 0; i < rounds(); ++i) sip_round(v0, v1, v2, v3);
      v0 ^= m;
    }
  };
  // One round per word (fingerprints) unrolled; any other count looped.
  if (c_ == 1) {
    words([] { return 1; });
  } else {
    words([this] { return c_; });
  }
  v0_ = v0, v1_ = v1, v2_ = v2, v3_ = v3;
  for (size_t k = 0; k < n; ++k) tail_ |= static_cast<uint64_t>(p[k]) << (8 * k);
}

void SipHasher::update_u64_le(uint64_t value) {
  for (int i = 0; i < 8; ++i) update_byte(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t SipHasher::finish() {
  uint64_t b = (length_ << 56) | tail_;
  compress(b);
  v2_ ^= 0xff;
  for (int i = 0; i < d_; ++i) sip_round(v0_, v1_, v2_, v3_);
  return v0_ ^ v1_ ^ v2_ ^ v3_;
}

uint64_t siphash13(std::string_view bytes) {
  SipHasher h(0, 0, 1, 3);
  h.update(bytes);
  return h.finish();
}

uint64_t siphash13_framed(uint8_t tag, std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const size_t total = n + 2;  // the tag and the trailing 0xFF
  uint64_t v0 = 0x736f6d6570736575ull, v1 = 0x646f72616e646f6dull;
  uint64_t v2 = 0x6c7967656e657261ull, v3 = 0x7465646279746573ull;
  auto compress = [&](uint64_t m) {
    v3 ^= m;
    sip_round(v0, v1, v2, v3);
    v0 ^= m;
  };
  // Byte k of the framed message: the tag, the text, then 0xFF.
  auto byte_at = [&](size_t k) -> uint64_t { return k == 0 ? tag : (k <= n ? p[k - 1] : 0xFF); };
  size_t k = 0;
  if (total >= 8) {
    uint64_t m = tag;
    for (size_t b = 1; b < 8; ++b) m |= byte_at(b) << (8 * b);
    compress(m);
    k = 8;
    // Whole words that lie inside the text: bytes k-1 .. k+6 of it.
    for (; k + 8 <= n + 1; k += 8) {
      std::memcpy(&m, p + k - 1, 8);  // little-endian hosts only
      compress(m);
    }
    for (; k + 8 <= total; k += 8) {
      m = 0;
      for (size_t b = 0; b < 8; ++b) m |= byte_at(k + b) << (8 * b);
      compress(m);
    }
  }
  uint64_t last = static_cast<uint64_t>(total) << 56;
  for (size_t b = 0; k + b < total; ++b) last |= byte_at(k + b) << (8 * b);
  compress(last);
  v2 ^= 0xff;
  for (int i = 0; i < 3; ++i) sip_round(v0, v1, v2, v3);
  return v0 ^ v1 ^ v2 ^ v3;
}

}  // namespace tersolite
