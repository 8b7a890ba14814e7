// The format against numbers nobody here wrote. For whole blocks the cipher is E(IV) followed by standard CBC from
// that IV, so SP 800-38A's CBC examples (F.2.1, F.2.3, F.2.5) apply behind one leading block, which is the first
// output block of its OFB examples (F.4.1, F.4.3, F.4.5); the empty text gives OFB's second output block.
// Decryption needs no seam; encryption takes the examples' IV through the test seam.
#include <cctype>

#include "cipherkit_test_support.h"

namespace tavik::cipherkit::test {
namespace {

namespace tv = cipher::test_vectors;

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// E(IV) and the first `blocks` CBC blocks; the first `blocks` plaintext blocks.
std::vector<uint8_t> Sp800Cipher(const tv::Sp800Examples& examples, size_t blocks) {
  std::vector<std::string_view> parts = {examples.ofb_output[0]};
  parts.insert(parts.end(), examples.cbc, examples.cbc + blocks);
  return Concat(parts);
}
std::vector<uint8_t> Sp800Plain(size_t blocks) {
  return Concat(std::vector<std::string_view>(tv::kSp800Plain, tv::kSp800Plain + blocks));
}

TEST(PublishedVectors, DecryptingEIvAndTheCbcExampleGivesItsPlaintext) {
  for (const auto& examples : tv::kSp800) {
    for (const std::string& key : {std::string(examples.key), Upper(examples.key)}) {  // either letter case
      for (size_t blocks = 1; blocks <= 4; ++blocks) {
        SCOPED_TRACE(::testing::Message() << key << ", " << blocks << " blocks");
        const std::vector<uint8_t> cipher = Sp800Cipher(examples, blocks);
        std::vector<uint8_t> plain(cipher.size() - 16, 0xEE);
        EXPECT_EQ(deckey(cipher.data(), plain.data(), key.c_str(), static_cast<int>(cipher.size())), 0);
        EXPECT_EQ(plain, Sp800Plain(blocks));
      }
    }
  }
}

TEST(PublishedVectors, EncryptingWithTheExamplesIvGivesEIvAndTheCbcExample) {
  const InjectedIv iv(Bytes(tv::kSp800Iv));
  for (const auto& examples : tv::kSp800) {
    const std::string key(examples.key);
    for (size_t blocks = 0; blocks <= 4; ++blocks) {
      SCOPED_TRACE(::testing::Message() << key << ", " << blocks << " blocks");
      const std::vector<uint8_t> plain = Sp800Plain(blocks);
      const std::vector<uint8_t> expected =
          blocks == 0 ? Bytes(examples.ofb_output[1]) : Sp800Cipher(examples, blocks);
      std::vector<uint8_t> out(plain.size() + 16);
      int len = static_cast<int>(plain.size());
      CapturedOutput output;
      ASSERT_EQ(enckey(plain.data(), out.data(), key.c_str(), &len), 0);
      EXPECT_EQ(output.Take(), "enc len: " + std::to_string(plain.size() + 16) + "\n");
      EXPECT_EQ(len, static_cast<int>(plain.size() + 16));
      EXPECT_EQ(out, expected);
      // The programs' form: upper-case hex of the same bytes.
      const String hex(vbenckeyhex(Ansi(plain).get(), key.c_str()));
      ASSERT_NE(hex, nullptr);
      EXPECT_EQ(BytesOf(hex.get()), UpperHex(expected));
    }
  }
}

// The stealing of a partial last block is the format's own (no published mode matches it), so these vectors were
// computed outside this code, once: a short Python script took AES blocks from the `cryptography` package (ECB, one
// block per call) and chained them as the format says, for the SP 800-38A key of each size, IV 00 01 .. 0f and
// the first n bytes of SP 800-38A's plaintext; it also decrypted random texts of every length 0..127 under
// random IVs back to themselves. Its output is pasted here.
struct DerivedVector {
  size_t key;  // index into kSp800
  size_t n;
  std::string_view cipher;
};
constexpr DerivedVector kDerived[] = {
    {0, 1, "50AEC613F55AB8AB36F28702F71BDC74E0"},
    {0, 15, "50FE67CC996D32B6DA0937E99BAFEC6FD3CE12DCB12B7433C9F41611AB032F"},
    {0, 17, "50FE67CC996D32B6DA0937E99BAFEC60761FE3DA7AFFB03C300E3E08509F0B25A3"},
    {0, 31, "50FE67CC996D32B6DA0937E99BAFEC607649ABAC8119B246CEE98E9B12E91985634909840EAC42C52EA71AA9D601F6"},
    {0, 33, "50FE67CC996D32B6DA0937E99BAFEC607649ABAC8119B246CEE98E9B12E9197D506E2739BD1BCEE5BA439D54C87FEF0CB0"},
    {0, 63,
     "50FE67CC996D32B6DA0937E99BAFEC607649ABAC8119B246CEE98E9B12E9197D5086CB9B507219EE95DB113A917678B273BED6B8E3C174"
     "3B7116E69E22229507B4F2295C252BC4776E05060ED9BBB5"},
    {1, 1, "A66AF3CDB42DEE26E7B28FF8E193AA4971"},
    {1, 15, "A609B38DF3B1133DDDFF2718BA09560E93567A2B674D7998E2A0620DB5A4F2"},
    {1, 17, "A609B38DF3B1133DDDFF2718BA09565E4FC6170F3CB321364E954EAC930EC95D50"},
    {1, 47,
     "A609B38DF3B1133DDDFF2718BA09565E4F021DB243BC633D7178183A9FA071E8B4D9ADA9AD7DEDF4E5E738763F6914BC3C0861BCEADB4E"
     "966AEB6D6B4AD9A3"},
    {2, 1, "B7F11D98A49BE0E70D0CC7052D76D815A1"},
    {2, 15, "B7BF3A5DF43989DD97F0FA97EBCE2F349AEB235F5121B1382049C636F9D18E"},
    {2, 17, "B7BF3A5DF43989DD97F0FA97EBCE2F4AF5F0A6694A63C3BC02290DB8779B523160"},
    {2, 31, "B7BF3A5DF43989DD97F0FA97EBCE2F4AF58C4C04D6E5F1BA779EABFB5F7BFB32BBFC8FC271224374D02C35CC4A3B28"},
    {2, 33,
     "B7BF3A5DF43989DD97F0FA97EBCE2F4AF58C4C04D6E5F1BA779EABFB5F7BFBD69C2FBB0DF17EC3B9588F6A4061D569706A"},
};

TEST(DerivedVectors, PartialBlocksAreStolenAsTheFormatSays) {
  const std::vector<uint8_t> text = Sp800Plain(4);
  const InjectedIv iv(Bytes(tv::kSp800Iv));
  for (const DerivedVector& vector : kDerived) {
    const std::string key(tv::kSp800[vector.key].key);
    SCOPED_TRACE(::testing::Message() << key << ", n = " << vector.n);
    const std::vector<uint8_t> plain(text.begin(), text.begin() + static_cast<long>(vector.n));
    const String hex(vbenckeyhex(Ansi(plain).get(), key.c_str()));
    ASSERT_NE(hex, nullptr);
    EXPECT_EQ(BytesOf(hex.get()), vector.cipher);

    const std::vector<uint8_t> cipher = Bytes(vector.cipher);
    std::vector<uint8_t> back(vector.n);
    EXPECT_EQ(deckey(cipher.data(), back.data(), key.c_str(), static_cast<int>(cipher.size())), 0);
    EXPECT_EQ(back, plain);
  }
}

}  // namespace
}  // namespace tavik::cipherkit::test
