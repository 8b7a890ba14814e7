// SHA-1 against the FIPS 180-1 examples, the empty message, and messages on either side of the padding boundary.
#include "sha1.h"

#include <gtest/gtest.h>

#include <string>

#include "hex.h"

namespace tavik::cipher {
namespace {

std::string DigestHex(const std::string& message) {
  const auto digest = Sha1(reinterpret_cast<const uint8_t*>(message.data()), message.size());
  std::string text(40, '\0');
  hex::Encode(digest.data(), digest.size(), text.data(), false);
  return text;
}

TEST(Sha1, MatchesPublishedDigests) {
  struct Row {
    std::string message;
    const char* digest;
  };
  const Row rows[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      // 448 bits: the length no longer fits the first block's padding.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      // The padding boundary: 55 bytes still fit one padded block, 64 need a block of padding alone.
      {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message.substr(0, 20));
    EXPECT_EQ(DigestHex(row.message), row.digest);
  }
}

}  // namespace
}  // namespace tavik::cipher
