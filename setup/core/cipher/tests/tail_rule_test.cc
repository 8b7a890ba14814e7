// The tail rule against literal outputs: which expanded-key bytes it uses, the direction and width of the
// rotation, and that decryption undoes encryption for every tail length.
#include "tail_rule.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <vector>

#include "aes_test_vectors.h"

namespace tavik::cipher {
namespace {

using test_vectors::Bytes;

std::array<uint8_t, kAes128ExpandedKeySize> ZeroKey() { return {}; }

// E[j] = j, so the XOR step writes the index it read into each byte.
std::array<uint8_t, kAes128ExpandedKeySize> CountingKey() {
  std::array<uint8_t, kAes128ExpandedKeySize> e;
  for (size_t j = 0; j < e.size(); ++j) e[j] = static_cast<uint8_t>(j);
  return e;
}

std::array<uint8_t, kAes128ExpandedKeySize> Sp800Key() {
  AesKey key;
  ExpandKey(Bytes(test_vectors::kSp800Key).data(), &key);
  std::array<uint8_t, kAes128ExpandedKeySize> e;
  ExpandedKeyBytes(key, e.data());
  return e;
}

TEST(TailRule, EncryptsToKnownBytes) {
  struct Row {
    const char* what;
    std::array<uint8_t, kAes128ExpandedKeySize> e;
    std::string_view plain;
    std::string_view cipher;
  };
  const Row rows[] = {
      {"16-bit rotation left by 3", ZeroKey(), "8001", "000c"},
      {"8-bit rotation of one byte", ZeroKey(), "81", "0c"},
      {"top bits of the first byte wrap into the last of 15", ZeroKey(), "800000000000000000000000000001",
       "00000000000000000000000000000c"},
      // Zero tails under E[j] = j expose the indices 4, 12, 20, ... 116 (then rotated).
      {"E[8i+4] for 3 bytes", CountingKey(), "000000", "2060a0"},
      {"E[8i+4] for 15 bytes", CountingKey(), "000000000000000000000000000000", "2060a0e12161a1e22262a2e32363a0"},
      {"A.1 key, 1 byte", Sp800Key(), "00", "41"},
      {"A.1 key, 2 bytes", Sp800Key(), "0000", "4049"},
      {"A.1 key, 15 bytes", Sp800Key(), "000000000000000000000000000000", "404c4153d39a3b6d46dbe0888e52f9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<uint8_t> data = Bytes(row.plain);
    EncryptTail(row.e.data(), data.data(), data.size());
    EXPECT_EQ(data, Bytes(row.cipher));
    DecryptTail(row.e.data(), data.data(), data.size());
    EXPECT_EQ(data, Bytes(row.plain));
  }
}

TEST(TailRule, DecryptionUndoesEncryptionForEveryLength) {
  const auto e = Sp800Key();
  for (size_t length = 0; length <= kMaxTailLength; ++length) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> plain;
    for (size_t i = 0; i < length; ++i) plain.push_back(static_cast<uint8_t>(0xA7 * (i + 1)));
    std::vector<uint8_t> data = plain;
    EncryptTail(e.data(), data.data(), length);
    if (length > 0) {
      EXPECT_NE(data, plain);
    }
    DecryptTail(e.data(), data.data(), length);
    EXPECT_EQ(data, plain);
  }
}

}  // namespace
}  // namespace tavik::cipher
