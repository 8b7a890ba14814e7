// setupcore's file-cipher exports as the setup programs call them: known answers with tails, round trips, files in
// 64 KiB pieces, and the key cache (key lengths, bytes past 16, alternating keys, freeRijndaleTempKey).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "aes_test_vectors.h"
#include "cipher_exports.h"
#include "file_cipher.h"

namespace tavik::setupcore {
namespace {

using cipher::test_vectors::Bytes;

std::vector<uint8_t> RandomBytes(size_t length, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(length);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

std::vector<uint8_t> Enc(std::vector<uint8_t> data, std::vector<uint8_t> key) {
  _enc(data.data(), static_cast<unsigned>(data.size()), key.data(), static_cast<unsigned>(key.size()));
  return data;
}

std::vector<uint8_t> Dec(std::vector<uint8_t> data, std::vector<uint8_t> key) {
  _dec(data.data(), static_cast<unsigned>(data.size()), key.data(), static_cast<unsigned>(key.size()));
  return data;
}

// The transform computed apart from the exports and their cache, on the portable engine.
std::vector<uint8_t> Reference(std::vector<uint8_t> data, const std::vector<uint8_t>& key) {
  cipher::AesKey schedule;
  cipher::ExpandKey(key.data(), &schedule);
  cipher::EncryptStream(schedule, data.data(), data.size(), cipher::AesEngine::kPortable);
  return data;
}

// An XCFK-shaped key: 32 bytes, of which only the first 16 count, plus the NUL slot callers pass with it.
std::vector<uint8_t> XcfkWithNul(unsigned seed) {
  std::vector<uint8_t> key = RandomBytes(33, seed);
  key[32] = 0;
  return key;
}

TEST(FileCipherExports, KnownAnswersIncludingTails) {
  gentables();  // callers may build the tables first; it changes nothing
  std::vector<cipher::test_vectors::HexVector> vectors = {cipher::test_vectors::kFips197C1};
  vectors.insert(vectors.end(), std::begin(cipher::test_vectors::kStreams), std::end(cipher::test_vectors::kStreams));
  for (const auto& vector : vectors) {
    SCOPED_TRACE(vector.plain);
    EXPECT_EQ(Enc(Bytes(vector.plain), Bytes(vector.key)), Bytes(vector.cipher));
    EXPECT_EQ(Dec(Bytes(vector.cipher), Bytes(vector.key)), Bytes(vector.plain));
  }
}

TEST(FileCipherExports, LengthZeroLeavesTheBufferUntouched) {
  std::vector<uint8_t> key = Bytes(cipher::test_vectors::kFips197C1.key);
  uint8_t data[4] = {1, 2, 3, 4};
  _enc(data, 0, key.data(), 16);
  _dec(data, 0, key.data(), 16);
  EXPECT_EQ(std::vector<uint8_t>(data, data + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(FileCipherExports, DecryptionRestoresEveryLength) {
  const std::vector<uint8_t> key = XcfkWithNul(1);
  std::vector<size_t> lengths = {65541};
  for (size_t length = 0; length <= 48; ++length) lengths.push_back(length);
  for (size_t length : lengths) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> plain = RandomBytes(length, static_cast<unsigned>(length));
    const std::vector<uint8_t> encrypted = Enc(plain, key);
    if (length > 0) {
      EXPECT_NE(encrypted, plain);
    }
    EXPECT_EQ(Dec(encrypted, key), plain);
  }
}

TEST(FileCipherExports, A64KiBPieceThenTheTailEqualsOneCall) {
  std::vector<uint8_t> key = XcfkWithNul(2);
  constexpr unsigned kPiece = 65536;
  const std::vector<uint8_t> plain = RandomBytes(kPiece + 5, 3);
  std::vector<uint8_t> pieces = plain;
  _enc(pieces.data(), kPiece, key.data(), 33);
  _enc(pieces.data() + kPiece, 5, key.data(), 33);
  EXPECT_EQ(pieces, Enc(plain, key));
  _dec(pieces.data(), kPiece, key.data(), 33);
  _dec(pieces.data() + kPiece, 5, key.data(), 33);
  EXPECT_EQ(pieces, plain);
}

TEST(FileCipherExports, OnlyTheFirstSixteenKeyBytesCount) {
  const std::vector<uint8_t> plain = RandomBytes(77, 4);
  const std::vector<uint8_t> xcfk = XcfkWithNul(5);
  const std::vector<uint8_t> first16(xcfk.begin(), xcfk.begin() + 16);
  const std::vector<uint8_t> first32(xcfk.begin(), xcfk.begin() + 32);
  std::vector<uint8_t> other_tail = xcfk;
  for (size_t i = 16; i < other_tail.size(); ++i) other_tail[i] ^= 0x5A;

  const std::vector<uint8_t> expected = Reference(plain, first16);
  EXPECT_EQ(Enc(plain, first16), expected);
  EXPECT_EQ(Enc(plain, first32), expected);
  EXPECT_EQ(Enc(plain, xcfk), expected);
  EXPECT_EQ(Enc(plain, other_tail), expected);
}

// Each call uses its own key, whatever the cache held before and whether or not it was released in between.
TEST(FileCipherExports, AlternatingKeysNeverMixSchedules) {
  const std::vector<uint8_t> plain = RandomBytes(50, 6);
  const std::vector<std::vector<uint8_t>> keys = {RandomBytes(16, 7), RandomBytes(32, 8), XcfkWithNul(9),
                                                  RandomBytes(16, 10)};
  for (int round = 0; round < 2; ++round) {
    for (size_t k = 0; k < keys.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " key " << k);
      const std::vector<uint8_t> expected = Reference(plain, keys[k]);
      EXPECT_EQ(Enc(plain, keys[k]), expected);
      EXPECT_EQ(Dec(expected, keys[k]), plain);
      if (round == 1) freeRijndaleTempKey();
    }
  }
  freeRijndaleTempKey();  // with no key held it does nothing
  freeRijndaleTempKey();
  EXPECT_EQ(Enc(plain, keys[0]), Reference(plain, keys[0]));
}

// A key shorter than 16 bytes is outside the callers' contract; it is read only as far as it goes and taken as
// zero-filled, so a call never reads past it.
TEST(FileCipherExports, AShortKeyIsNeverReadPastItsLength) {
  const std::vector<uint8_t> plain = RandomBytes(40, 11);
  const std::vector<uint8_t> short_key = RandomBytes(8, 12);  // a heap block of exactly 8 bytes
  std::vector<uint8_t> zero_filled = short_key;
  zero_filled.resize(16, 0);
  const std::vector<uint8_t> encrypted = Enc(plain, short_key);
  EXPECT_EQ(encrypted, Reference(plain, zero_filled));
  EXPECT_EQ(Dec(encrypted, short_key), plain);
}

TEST(FileCipherExports, MatchesThePortableEngineOnRandomBuffers) {
  if (!cipher::AesNiAvailable()) GTEST_SKIP() << "no AES-NI on this processor: the exports run the portable engine";
  const std::vector<uint8_t> key = XcfkWithNul(13);
  const std::vector<uint8_t> key16(key.begin(), key.begin() + 16);
  for (size_t length : {1, 16, 31, 112, 128, 129, 255, 1000, 4096, 65536, 65551, 100003}) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> plain = RandomBytes(length, static_cast<unsigned>(length) + 20);
    EXPECT_EQ(Enc(plain, key), Reference(plain, key16));
  }
}

}  // namespace
}  // namespace tavik::setupcore
