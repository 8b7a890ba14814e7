// The service's decryption of the key cipher against numbers nobody here wrote: SP 800-38A's CBC examples (F.2.1,
// F.2.3, F.2.5) behind E_K(IV), which is Output Block #1 of its OFB examples (F.4.1, F.4.3, F.4.5); the empty text,
// E_K(E_K(IV)), is Output Block #2. Partial blocks follow the cipher's own stealing, for which no published vector
// exists: those rows were computed independently from the cipher's description. The tests' own encryptor is held
// to the same rows, and the two meet at every length and key size; so does the system's own cipher library.
#include <gtest/gtest.h>

#include "client_cipher.h"
#include "websvc_private.h"

// Exported by cipherkit, the system's key cipher library.
extern "C" int enckey(const unsigned char* data, unsigned char* out, const char* keyHex, int* len);

namespace xp::websvc {
namespace {

using testing::EncryptKeyCipher;

constexpr char kKey128[] = "2b7e151628aed2a6abf7158809cf4f3c";
constexpr char kKey192[] = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
constexpr char kKey256[] = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
constexpr std::array<uint8_t, 16> kIv = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr char kPlain[] =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e5130c81c46a35ce411e5fbc1191a0a52ef"
    "f69f2445df4f9b17ad2b417be66c3710";

std::string PlainBytes(size_t n) {
  const std::vector<uint8_t> bytes = *HexBytes(std::string(kPlain).substr(0, 2 * n));
  return std::string(bytes.begin(), bytes.end());
}

struct Vector {
  const char* key;
  size_t n;  // the first n bytes of the SP 800-38A plaintext
  const char* cipher;
};

const Vector kVectors[] = {
    // Published: E_K(IV) then F.2.1 / F.2.3 / F.2.5; and E_K(E_K(IV)) for no data.
    {kKey128, 64,
     "50FE67CC996D32B6DA0937E99BAFEC60"
     "7649ABAC8119B246CEE98E9B12E9197D5086CB9B507219EE95DB113A917678B273BED6B8E3C1743B7116E69E222295163FF1CAA1681FAC09"
     "120ECA307586E1A7"},
    {kKey192, 64,
     "A609B38DF3B1133DDDFF2718BA09565E"
     "4F021DB243BC633D7178183A9FA071E8B4D9ADA9AD7DEDF4E5E738763F69145A571B242012FB7AE07FA9BAAC3DF102E008B0E27988598881"
     "D920A9E64F5615CD"},
    {kKey256, 64,
     "B7BF3A5DF43989DD97F0FA97EBCE2F4A"
     "F58C4C04D6E5F1BA779EABFB5F7BFBD69CFC4E967EDB808D679F777BC6702C7D39F23369A9D9BACFA530E26304231461B2EB05E2C39BE9FC"
     "DA6C19078C6A9D1B"},
    {kKey128, 0, "D9A4DADA0892239F6B8B3D7680E15674"},
    {kKey192, 0, "52EF01DA52602FE0975F78AC84BF8A50"},
    {kKey256, 0, "E1C656305ED1A7A6563805746FE03EDC"},
    // Derived from the cipher's description, computed independently.
    {kKey128, 1, "50AEC613F55AB8AB36F28702F71BDC74E0"},
    {kKey128, 15, "50FE67CC996D32B6DA0937E99BAFEC6FD3CE12DCB12B7433C9F41611AB032F"},
    {kKey128, 17, "50FE67CC996D32B6DA0937E99BAFEC60761FE3DA7AFFB03C300E3E08509F0B25A3"},
    {kKey128, 31,
     "50FE67CC996D32B6DA0937E99BAFEC607649ABAC8119B246CEE98E9B12E91985634909840EAC42C52EA71AA9D601F6"},
    {kKey128, 33,
     "50FE67CC996D32B6DA0937E99BAFEC607649ABAC8119B246CEE98E9B12E9197D506E2739BD1BCEE5BA439D54C87FEF0CB0"},
    {kKey192, 17, "A609B38DF3B1133DDDFF2718BA09565E4FC6170F3CB321364E954EAC930EC95D50"},
    {kKey256, 17, "B7BF3A5DF43989DD97F0FA97EBCE2F4AF5F0A6694A63C3BC02290DB8779B523160"},
};

TEST(KeyCipher, DecryptsTheKnownVectors) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(std::string(v.key).size() * 4);
    SCOPED_TRACE(v.n);
    EXPECT_EQ(DecryptKeyCipher(v.cipher, v.key), PlainBytes(v.n));
    // Hex digits of either case, as every reader of these texts accepts.
    std::string lower = v.cipher;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(DecryptKeyCipher(lower, v.key), PlainBytes(v.n));
  }
}

TEST(KeyCipher, TheTestEncryptorMakesTheKnownVectors) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.n);
    EXPECT_EQ(EncryptKeyCipher(PlainBytes(v.n), v.key, kIv), v.cipher);
  }
}

TEST(KeyCipher, EveryLengthComesBackUnderEveryKeySize) {
  for (const char* key : {kKey128, kKey192, kKey256}) {
    for (size_t n = 0; n < 128; ++n) {
      std::string plain(n, '\0');
      for (size_t i = 0; i < n; ++i) plain[i] = static_cast<char>(i * 37 + n);
      const std::string cipher = EncryptKeyCipher(plain, key);
      ASSERT_EQ(cipher.size(), 2 * (n + 16));
      ASSERT_EQ(DecryptKeyCipher(cipher, key), plain) << std::string(key).size() * 4 << " bits, " << n << " bytes";
    }
  }
}

// What the system's own key cipher library sends, the service reads back.
TEST(KeyCipher, ReadsWhatTheSystemsCipherLibraryWrites) {
  for (const char* key : {kKey128, kKey192, kKey256}) {
    for (int n = 0; n < 128; ++n) {
      std::string plain(static_cast<size_t>(n), '\0');
      for (int i = 0; i < n; ++i) plain[static_cast<size_t>(i)] = static_cast<char>(i * 53 + n);
      std::vector<uint8_t> cipher(static_cast<size_t>(n) + 16);
      int length = n;
      ASSERT_EQ(enckey(reinterpret_cast<const unsigned char*>(plain.data()), cipher.data(), key, &length), 0);
      ASSERT_EQ(length, n + 16);
      ASSERT_EQ(DecryptKeyCipher(UpperHex(cipher), key), plain) << std::string(key).size() * 4 << " bits, " << n;
    }
  }
}

TEST(KeyCipher, RefusesTextsThatAreNotHexOfAUsableLength) {
  const std::string cipher = kVectors[6].cipher;
  const struct {
    std::string cipher;
    std::string key;
  } rows[] = {
      {cipher, std::string(kKey128).substr(0, 31)},
      {cipher, std::string(kKey128) + "00000000"},  // 40 digits
      {cipher, std::string(kKey128) + "0"},
      {cipher, std::string(kKey128, 31) + "G"},
      {cipher, ""},
      {cipher.substr(0, 30), kKey128},  // under one block
      {cipher.substr(0, cipher.size() - 1), kKey128},
      {"ZZ" + cipher.substr(2), kKey128},
      {"", kKey128},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecryptKeyCipher(row.cipher, row.key), std::nullopt) << row.cipher << " " << row.key;
  }
}

}  // namespace
}  // namespace xp::websvc
