// The library's AES context: a set-up chooses the rounds by key length and allows one direction only; the other
// direction, or a refused set-up, writes nothing.
#include "cipherkit_test_support.h"

namespace tavik::cipherkit::test {
namespace {

namespace tv = cipher::test_vectors;

TEST(AesContext, EachKeySizeSetsUpItsRoundsForOneDirection) {
  const int rounds[] = {10, 12, 14};
  for (size_t i = 0; i < 3; ++i) {
    const tv::HexVector& vector = tv::kFips197C[i];
    SCOPED_TRACE(vector.key);
    const std::vector<uint8_t> key = Bytes(vector.key);
    AesContext encrypt{}, decrypt{};
    ASSERT_EQ(AesSetEncryptKey(key.data(), key.size(), &encrypt), 1);
    ASSERT_EQ(AesSetDecryptKey(key.data(), key.size(), &decrypt), 1);
    EXPECT_EQ(encrypt.rounds, static_cast<uint32_t>(rounds[i]));
    EXPECT_EQ(encrypt.flags, 17u);
    EXPECT_EQ(decrypt.flags, 18u);

    std::vector<uint8_t> block = Bytes(vector.plain);
    EXPECT_EQ(AesEncryptBlock(block.data(), block.data(), encrypt), 1);  // in place
    EXPECT_EQ(block, Bytes(vector.cipher));
    std::vector<uint8_t> sentinel(16, 0xA5), out = sentinel;
    EXPECT_EQ(AesDecryptBlock(block.data(), out.data(), encrypt), 0);
    EXPECT_EQ(out, sentinel);
    EXPECT_EQ(AesDecryptBlock(block.data(), out.data(), decrypt), 1);
    EXPECT_EQ(out, Bytes(vector.plain));
    out = sentinel;
    EXPECT_EQ(AesEncryptBlock(block.data(), out.data(), decrypt), 0);
    EXPECT_EQ(out, sentinel);
  }
}

TEST(AesContext, OtherKeyLengthsSetUpNothing) {
  const uint8_t key[40] = {};
  for (const size_t length : {size_t{0}, size_t{8}, size_t{20}, size_t{33}, size_t{40}}) {
    SCOPED_TRACE(length);
    AesContext context{};
    EXPECT_EQ(AesSetEncryptKey(key, length, &context), 0);
    EXPECT_EQ(context.rounds, 0u);
    EXPECT_EQ(AesSetDecryptKey(key, length, &context), 0);
    EXPECT_EQ(context.rounds, 0u);
    uint8_t block[16] = {1, 2, 3};
    EXPECT_EQ(AesEncryptBlock(block, block, context), 0);
    EXPECT_EQ(AesDecryptBlock(block, block, context), 0);
    EXPECT_EQ(block[0], 1);
  }
}

}  // namespace
}  // namespace tavik::cipherkit::test
