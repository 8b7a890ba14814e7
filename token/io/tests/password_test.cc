// The password check and its failed-attempt counter, programming the password block, clearing and logout.
#include <cstring>
#include <string>

#include "hex.h"
#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

using PasswordTest = TokenTest;

std::array<uint8_t, 64> Block(const std::string& password) {
  std::array<uint8_t, 64> block;
  block.fill(0xFF);
  block[0] = 0;
  std::memcpy(block.data() + 1, password.data(), password.size());
  return block;
}

TEST_F(PasswordTest, CleanTokenAcceptsTheEmptyPassword) {
  const uint64_t before = xp::machine::NowMs();
  EXPECT_EQ(CheckPwd(""), 0);
  EXPECT_GE(xp::machine::NowMs() - before, 2000u);
  EXPECT_EQ(IsPwdValidated(), 1);
}

TEST_F(PasswordTest, WrongAttemptsCountUpAndTheRightOneResets) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  EXPECT_EQ(Snap().password_block, Block("Secret1"));
  EXPECT_EQ(CheckPwd(""), 1);  // the empty check on a token with a password counts as a failure
  EXPECT_EQ(CheckPwd("secret1"), 2);
  EXPECT_EQ(CheckPwd("Secret"), 3);
  EXPECT_EQ(IsPwdValidated(), 0);
  EXPECT_EQ(CheckPwd("Secret1"), 0);
  EXPECT_EQ(Snap().counter, 0);
  EXPECT_EQ(IsPwdValidated(), 1);
  EXPECT_EQ(Logout(), 1);
  EXPECT_EQ(IsPwdValidated(), 0);
}

// The check sends bytes 1..63 of the block, each through register 0x34 and command 0x02.
TEST_F(PasswordTest, CheckSendsSixtyThreeBlockBytes) {
  ClearLog();
  CheckPwd("abcdef");
  const auto bytes = Writes(0x34);
  ASSERT_EQ(bytes.size(), 63u);
  const auto block = Block("abcdef");
  for (size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], std::vector<uint8_t>{block[i + 1]}) << i;
  EXPECT_EQ(Count(0x02), 63);
}

TEST_F(PasswordTest, BlockLengthsAtTheEdges) {
  const std::string longest(63, 'p');
  ASSERT_EQ(BurnPwd(longest.c_str()), 1);
  EXPECT_EQ(Snap().password_block, Block(longest));  // no 0xFF fill at all
  EXPECT_EQ(CheckPwd(longest.c_str()), 0);
  ASSERT_EQ(BurnPwd("sixsix"), 1);
  const auto block = Snap().password_block;
  EXPECT_EQ(std::count(block.begin(), block.end(), 0xFF), 57);
}

// A password longer than the block holds is refused before any request instead of overrunning the block.
TEST_F(PasswordTest, OverlongPasswordIsRefusedWithoutTouchingTheToken) {
  const std::string too_long(64, 'p');
  ClearLog();
  EXPECT_EQ(CheckPwd(too_long.c_str()), -1);
  EXPECT_EQ(BurnPwd(too_long.c_str()), 0);
  EXPECT_EQ(ResetPwd(too_long.c_str()), 0);
  EXPECT_EQ(CheckPwd(nullptr), -1);
  EXPECT_TRUE(Log().empty());
}

// The counter never wraps to "accepted" and never exceeds what a signed 16-bit reader can hold.
TEST_F(PasswordTest, CounterSaturates) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  const struct {
    uint16_t preset;
    int result;
  } cases[] = {{32766, 32767}, {32767, 32767}, {65535, 32767}, {40000, 32767}};
  for (const auto& c : cases) {
    xp::usbtoken::SetCounter(machine_.root(), token(), c.preset);
    EXPECT_EQ(CheckPwd("wrong1"), c.result) << c.preset;
    EXPECT_EQ(Snap().counter, c.result) << c.preset;
  }
}

// A counter that cannot be read makes the check fail before any password byte is sent.
TEST_F(PasswordTest, FailedCounterReadFailsTheCheck) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  xp::usbtoken::SetCounter(machine_.root(), token(), 5);
  xp::usbtoken::AddRequestFault(machine_.root(), token(), xp::usbtoken::RequestFault::CounterRead());
  ClearLog();
  EXPECT_EQ(CheckPwd("wrong1"), -1);
  EXPECT_TRUE(Writes(0x34).empty());
  EXPECT_EQ(Snap().counter, 5);
}

TEST_F(PasswordTest, FailedCompareWriteFailsTheCheck) {
  xp::usbtoken::AddRequestFault(machine_.root(), token(), xp::usbtoken::RequestFault::Register(0x34));
  EXPECT_EQ(CheckPwd(""), -1);
}

// A check whose counter write or either ready wait fails is no answer: -1, never a count the token does not hold.
// A token pulled at that moment would otherwise hand back a low count while it keeps its old one.
TEST_F(PasswordTest, FailedCounterWriteOrReadyWaitFailsTheCheck) {
  xp::usbtoken::RequestFault counter_write = xp::usbtoken::RequestFault::Code(0x22000C);
  counter_write.times = 1;
  // The check reads the status once, then waits (one status read when ready), writes the counter and waits again.
  xp::usbtoken::RequestFault first_wait = xp::usbtoken::RequestFault::StatusRead();
  first_wait.skip = 1;
  xp::usbtoken::RequestFault second_wait = xp::usbtoken::RequestFault::StatusRead();
  second_wait.skip = 2;
  const struct {
    const char* what;
    xp::usbtoken::RequestFault fault;
    int counter_kept;  // what the token holds afterwards
  } cases[] = {{"counter write", counter_write, 5}, {"first wait", first_wait, 5}, {"second wait", second_wait, 6}};
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    xp::usbtoken::SetCounter(machine_.root(), token(), 5);
    xp::usbtoken::AddRequestFault(machine_.root(), token(), c.fault);
    EXPECT_EQ(CheckPwd("wrong1"), -1);
    xp::usbtoken::ClearFaults(machine_.root(), token());
    EXPECT_EQ(Snap().counter, c.counter_kept);
  }
  // Without a fault the same check counts, so the cases above failed for their fault alone.
  xp::usbtoken::SetCounter(machine_.root(), token(), 5);
  EXPECT_EQ(CheckPwd("wrong1"), 6);
  EXPECT_EQ(Snap().counter, 6);
}

TEST_F(PasswordTest, ResetPwdSetsAndProvesTheNewPassword) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  ASSERT_EQ(CheckPwd("Secret1"), 0);
  EXPECT_EQ(ResetPwd("Better22"), 1);
  EXPECT_EQ(Snap().password_block, Block("Better22"));
  EXPECT_EQ(CheckPwd("Secret1"), 1);
  EXPECT_EQ(CheckPwd("Better22"), 0);
  EXPECT_EQ(ResetPwd(""), 1);  // the password tools clear a token this way
  EXPECT_EQ(CheckPwd(""), 0);
}

TEST_F(PasswordTest, ClearAndMassEraseLeaveACleanToken) {
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  EXPECT_EQ(ClearPassword(), 1);
  EXPECT_EQ(CheckPwd(""), 0);
  ASSERT_EQ(BurnPwd("Secret1"), 1);
  unsigned char data[4] = {1, 2, 3, 4};
  ASSERT_EQ(CheckPwd("Secret1"), 0);
  ASSERT_EQ(WriteUserDataPage(6, 0, 4, data), 1);
  EXPECT_EQ(MassErase(), 1);
  EXPECT_EQ(CheckPwd(""), 0);
  unsigned char back[4];
  ASSERT_EQ(ReadUserDataPage(6, 0, 4, back), 1);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(4, 0xFF));
}

// The token keeps an encrypted copy of its password at identity bytes 41-104; the right key clears the token.
TEST_F(PasswordTest, ResetEncryptedPwdClearsOnlyWithTheRightKey) {
  const auto key = Snap().password_copy_key;
  char key_hex[33] = {};
  tavik::hex::Encode(key.data(), key.size(), key_hex, /*upper=*/false);
  ASSERT_EQ(BurnPwd(""), 1);
  EXPECT_EQ(ResetEncryptedPwd("000102030405060708090a0b0c0d0e0f"), 0);
  EXPECT_EQ(Snap().counter, 1);  // the wrong copy was checked and counted
  EXPECT_EQ(ResetEncryptedPwd(key_hex), 1);
  EXPECT_EQ(Snap().counter, 0);
}

}  // namespace
}  // namespace tavik::tokenio::testing
