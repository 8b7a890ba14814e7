// The token's AES engine as the challenge operation drives it: key slot, 16 loaded map bytes, key preparation,
// encryption; the answer follows the published key rule and depends on every selector byte.
#include "aes128.h"
#include "token_fixture.h"

namespace xp::usbtoken {
namespace {

using CipherTest = TokenTest;

// key[i] = slot key byte i XOR map byte selector[i].
AesBlock ExpectedAnswer(const Snapshot& token, uint8_t slot, const AesBlock& selector, const AesBlock& block) {
  AesBlock key;
  for (int i = 0; i < 16; ++i) key[i] = token.flash[16 * slot + i] ^ token.flash[256 + selector[i]];
  return AesEncrypt(key, block);
}

const AesBlock kSelector = {0x00, 0x3F, 0x40, 0xFF, 0x12, 0x34, 0x56, 0x78,
                            0x9A, 0xBC, 0xDE, 0xF0, 0x80, 0xC0, 0x7F, 0x01};
const AesBlock kBlock = {0x5C, 0x19, 0xD0, 0xE7, 0xA3, 0xB4, 0x8F, 0x22,
                         0x69, 0xE1, 0x0D, 0xB7, 0xC4, 0xF3, 0xA8, 0x15};

TEST_F(CipherTest, AnswersWithTheSlotKeyCombinedWithTheLoadedMapBytes) {
  Channel channel = Open();
  AesBlock answer{};
  ASSERT_EQ(channel.Solve(3, kSelector, kBlock, &answer), ERROR_SUCCESS);
  EXPECT_EQ(answer, ExpectedAnswer(Look(), 3, kSelector, kBlock));
  AesBlock again{};
  ASSERT_EQ(Open().Solve(3, kSelector, kBlock, &again), ERROR_SUCCESS);
  EXPECT_EQ(again, answer);
}

TEST_F(CipherTest, ItsMakerWorksOutTheSameAnswerWithoutTheToken) {
  AesBlock answer{};
  ASSERT_EQ(Open().Solve(5, kSelector, kBlock, &answer), ERROR_SUCCESS);
  ASSERT_TRUE(Unplug(root_, id_));
  EXPECT_EQ(TokenAnswer(root_, id_, 5, kSelector, kBlock), answer);
  EXPECT_EQ(TokenAnswer(root_, id_, 16, kSelector, kBlock), std::nullopt);
  EXPECT_EQ(TokenAnswer(root_, "token9", 5, kSelector, kBlock), std::nullopt);
}

TEST_F(CipherTest, AnswerDependsOnSlotAndEverySelectorByte) {
  Channel channel = Open();
  AesBlock base{};
  ASSERT_EQ(channel.Solve(0, kSelector, kBlock, &base), ERROR_SUCCESS);
  AesBlock other{};
  ASSERT_EQ(channel.Solve(1, kSelector, kBlock, &other), ERROR_SUCCESS);
  EXPECT_NE(other, base);
  for (int i = 0; i < 16; ++i) {
    AesBlock selector = kSelector;
    selector[i] ^= 0x01;
    ASSERT_EQ(channel.Solve(0, selector, kBlock, &other), ERROR_SUCCESS);
    EXPECT_NE(other, base) << "selector byte " << i;
  }
  const std::string twin = Provision(root_, 0x5EEE);
  ASSERT_EQ(Open(twin).Solve(0, kSelector, kBlock, &other), ERROR_SUCCESS);
  EXPECT_NE(other, base) << "another token must answer differently";
}

TEST_F(CipherTest, StatusShowsKeyReadyThenDone) {
  Channel channel = Open();
  std::vector<uint8_t> status;
  ASSERT_EQ(channel.Write(0x10, std::vector<uint8_t>(16, 0)), ERROR_SUCCESS);
  EXPECT_EQ(channel.Write(0x20, {0x04}), ERROR_NOT_READY) << "no key has been prepared";
  ASSERT_EQ(channel.Write(0x20, {0x08}), ERROR_SUCCESS);
  ASSERT_EQ(channel.Read(0x20, 1, &status), ERROR_SUCCESS);
  EXPECT_EQ(status[0], 0x02);
  ASSERT_EQ(channel.Write(0x20, {0x04}), ERROR_SUCCESS);
  ASSERT_EQ(channel.Read(0x20, 1, &status), ERROR_SUCCESS);
  EXPECT_EQ(status[0], 0x03);
}

// After loads, the read-data register gives a keyed answer, not the loaded key-page bytes.
TEST_F(CipherTest, LoadsDoNotRevealTheKeyPage) {
  Channel channel = Open();
  const Snapshot token = Look();
  for (uint8_t i = 0; i < 4; ++i) {
    ASSERT_EQ(channel.Write(0x32, {0, static_cast<uint8_t>(i)}), ERROR_SUCCESS);
    ASSERT_EQ(channel.Command(static_cast<uint8_t>(i * 16 + 0x09)), ERROR_SUCCESS);
  }
  std::vector<uint8_t> read_data;
  ASSERT_EQ(channel.Read(0x3C, 8, &read_data), ERROR_SUCCESS);
  AesBlock slot_key{};
  AesBlock loaded{};
  std::copy(token.flash.begin(), token.flash.begin() + 16, slot_key.begin());
  std::copy(token.flash.begin(), token.flash.begin() + 4, loaded.begin());
  const AesBlock expected = AesEncrypt(slot_key, loaded);
  EXPECT_TRUE(std::equal(read_data.begin(), read_data.end(), expected.begin()));
}

}  // namespace
}  // namespace xp::usbtoken
