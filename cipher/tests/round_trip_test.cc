// What a caller does: encrypt, then decrypt what came out, under the system's own random IVs, at every length the
// string functions take and every key size; a new IV for every encryption.
#include <random>
#include <set>

#include "cipherkit_test_support.h"

namespace tavik::cipherkit::test {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t n) {
  std::vector<uint8_t> bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

const char* const kKeys[] = {
    "2b7e151628aed2a6abf7158809cf4f3c",
    "8E73B0F7DA0E6452C810F32B809079E562F8EAD2522C6B7B",
    "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
};

TEST(RoundTrip, EveryLengthAndKeySizeComesBackWithOneBlockMore) {
  std::mt19937 random(7);
  CapturedOutput quiet;
  for (const char* key : kKeys) {
    for (size_t n = 0; n <= 127; ++n) {
      SCOPED_TRACE(::testing::Message() << key << ", n = " << n);
      const std::vector<uint8_t> data = RandomBytes(random, n);
      std::vector<uint8_t> cipher(n + 16);
      int len = static_cast<int>(n);
      ASSERT_EQ(enckey(data.data(), cipher.data(), key, &len), 0);
      ASSERT_EQ(len, static_cast<int>(n + 16));
      std::vector<uint8_t> back(n);
      ASSERT_EQ(deckey(cipher.data(), back.data(), key, len), 0);
      EXPECT_EQ(back, data);
    }
  }
}

// ANSI text as the programs pass it: a password in code page 936 has bytes above 0x7F, binary data has NULs.
TEST(RoundTrip, TheHexStringsCarryAnyBytesBothWays) {
  std::mt19937 random(11);
  CapturedOutput quiet;
  const std::string samples[] = {"Secret12", "\xC3\xDC\xC2\xEB\xD2\xBB\xB6\xFE", std::string("a\0b\xFF", 4)};
  for (const char* key : kKeys) {
    std::vector<std::string> texts(std::begin(samples), std::end(samples));
    for (size_t n = 1; n <= 127; ++n) {
      const std::vector<uint8_t> bytes = RandomBytes(random, n);
      texts.emplace_back(bytes.begin(), bytes.end());
    }
    for (const std::string& text : texts) {
      SCOPED_TRACE(::testing::Message() << key << ", n = " << text.size());
      const String hex(vbenckeyhex(Ansi(text).get(), key));
      ASSERT_NE(hex, nullptr);
      const std::string digits = BytesOf(hex.get());
      EXPECT_EQ(digits.size(), 2 * (text.size() + 16));
      EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
      const String back(vbdeckeyhex(hex.get(), key));
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(BytesOf(back.get()), text);

      const String cipher(vbenckey(Ansi(text).get(), key));
      ASSERT_NE(cipher, nullptr);
      EXPECT_EQ(SysStringByteLen(cipher.get()), text.size() + 16);
      const String plain(vbdeckey(cipher.get(), key));
      ASSERT_NE(plain, nullptr);
      EXPECT_EQ(BytesOf(plain.get()), text);
    }
  }
}

// The IV is the first block's plaintext: each encryption of the same text must show a different one.
TEST(RoundTrip, EachEncryptionDrawsAFreshIv) {
  CapturedOutput quiet;
  const char* key = kKeys[0];
  const std::vector<uint8_t> data = Bytes("00112233445566778899aabbccddeeff00");
  std::set<std::string> ivs, ciphers;
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> cipher(data.size() + 16);
    int len = static_cast<int>(data.size());
    ASSERT_EQ(enckey(data.data(), cipher.data(), key, &len), 0);
    std::vector<uint8_t> back(data.size());
    ASSERT_EQ(deckey(cipher.data(), back.data(), key, len), 0);
    EXPECT_EQ(back, data);
    ciphers.insert(UpperHex(cipher));
    AesContext context{};
    AesSetDecryptKey(Bytes(key).data(), 16, &context);
    std::vector<uint8_t> iv(16);
    AesDecryptBlock(cipher.data(), iv.data(), context);
    ivs.insert(UpperHex(iv));
  }
  EXPECT_EQ(ivs.size(), 200u);
  EXPECT_EQ(ciphers.size(), 200u);
}

}  // namespace
}  // namespace tavik::cipherkit::test
