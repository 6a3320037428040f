#include "hash/siphash.h"

#include <gtest/gtest.h>

#include <string>

namespace tersolite {
namespace {

// Published SipHash-2-4 vectors (key 00..0f, message 00..len-1) check the
// round function that SipHash-1-3 shares.
TEST(SipHash, MatchesReferenceVectors) {
  const uint64_t k0 = 0x0706050403020100ull, k1 = 0x0f0e0d0c0b0a0908ull;
  struct Case {
    size_t len;
    uint64_t hash;
  } cases[] = {
      {0, 0x726fdb47dd0e0e31ull}, {1, 0x74f839c593dc67fdull},  {2, 0x0d6c8009d9a94f5aull},
      {3, 0x85676696d7fb7e2dull}, {15, 0xa129ca6149be45e5ull},
  };
  for (const auto& c : cases) {
    std::string msg;
    for (size_t i = 0; i < c.len; ++i) msg.push_back(static_cast<char>(i));
    SipHasher h(k0, k1, 2, 4);
    h.update(msg);
    EXPECT_EQ(c.hash, h.finish()) << c.len;
  }
}

TEST(SipHash, StreamingEqualsOneShot) {
  std::string msg =
      "object\xFF"
      "some keys\xFF"
      "and more keys to cross word boundaries\xFF";
  for (size_t split = 0; split <= msg.size(); ++split) {
    SipHasher h(0, 0, 1, 3);
    h.update(std::string_view(msg).substr(0, split));
    for (char c : msg.substr(split)) h.update_byte(static_cast<uint8_t>(c));
    EXPECT_EQ(siphash13(msg), h.finish()) << split;
  }
  EXPECT_NE(siphash13("a"), siphash13("b"));
}

// The framed form hashes the same bytes as the message put together.
TEST(SipHash, FramedEqualsTheAssembledMessage) {
  std::string text;
  for (size_t len = 0; len <= 40; ++len) {
    for (uint8_t tag : {2, 3}) {
      std::string msg = std::string(1, static_cast<char>(tag)) + text + "\xFF";
      ASSERT_EQ(siphash13(msg), siphash13_framed(tag, text)) << len;
    }
    text.push_back(static_cast<char>('a' + len % 26 + (len % 3 == 0 ? 0x80 : 0)));
  }
}

}  // namespace
}  // namespace tersolite
