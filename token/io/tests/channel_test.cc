// Finding and opening the token, the ready wait and the flash chunk commands, seen from the token's side.
#include <cstring>

#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

using ChannelTest = TokenTest;

// Every operation returns its failure value with no token plugged in, sends nothing, and leaves no lock held.
TEST_F(ChannelTest, WithoutATokenEveryOperationFailsWithoutARequest) {
  Unplug();
  ClearLog();
  unsigned char buffer[512] = {};
  char text[64] = {};
  unsigned short value = 0;
  const struct {
    const char* name;
    int result;
    int expected;
  } cases[] = {
      {"Aping", Aping(), 0},
      {"StatusOk", StatusOk(), 0},
      {"GetRegister31", GetRegister31(&value), 0},
      {"IsPwdValidated", IsPwdValidated(), 0},
      {"SoftReset", SoftReset(), 0},
      {"CheckPwd", CheckPwd("Secret1"), -1},
      {"BurnPwd", BurnPwd("Secret1"), 0},
      {"ResetPwd", ResetPwd("Secret1"), 0},
      {"ClearPassword", ClearPassword(), 0},
      {"MassErase", MassErase(), 0},
      {"Logout", Logout(), 0},
      {"GetESN", GetESN(buffer), 0},
      {"BurnESN", BurnESN(buffer), 0},
      {"GetChallenge", GetChallenge(text), 0},
      {"ReadUserDataPage", ReadUserDataPage(2, 0, 16, buffer), 0},
      {"WriteUserDataPage", WriteUserDataPage(2, 0, 16, buffer), 0},
      {"ReadUserFlash", ReadUserFlash(1024, 16, buffer), 0},
      {"WriteUserFlash", WriteUserFlash(1024, 16, buffer), 0},
      {"BurnAESkeyAll", BurnAESkeyAll(buffer), 0},
      {"BurnIdPadMap", BurnIdPadMap(buffer), 0},
      {"SolvePuzzle", SolvePuzzle(0, "00", "00", text), 0},
      {"SolvePuzzleHex", SolvePuzzleHex(1, 2, 3, 4, buffer, 16), 0},
      {"PSolvePuzzle", PSolvePuzzle(0, "00", 1, "abc", 3, text), 0},
      {"WritePSS", WritePSS(0, "00"), 0},
      {"ResetEncryptedPwd", ResetEncryptedPwd("00"), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;
  EXPECT_EQ(OpenUsbDevice(&xp::usbtoken::kInterfaceClass), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Log().empty());

  // "KeyMutex" was released on every path: a fresh create finds no handle open anywhere.
  SetLastError(0xdeadbeef);
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "KeyMutex");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

TEST_F(ChannelTest, OperationsWithoutTheDeviceStillWork) {
  char version[6], description[24];
  std::memset(description, 'x', sizeof(description));
  Unplug();
  EXPECT_EQ(DriverVersion(version, description), 1);
  EXPECT_STREQ(version, "2.5.1");
  EXPECT_EQ(std::string(description, 24), std::string("tokenio Device Driver\0\0\0", 24));
  char data[] = "00112233445566778899aabbccddeeff";
  EXPECT_NE(DoAES(data, "000102030405060708090a0b0c0d0e0f", 1), 0);
  EXPECT_STREQ(data, "69c4e0d86a7b0430d8cdb78070b4c55a");  // FIPS-197 C.1
}

TEST_F(ChannelTest, DriverVersionWithAMissingBufferWritesNothing) {
  char version[6] = "-----";
  char description[24] = "unchanged";
  EXPECT_EQ(DriverVersion(version, nullptr), 0);
  EXPECT_EQ(DriverVersion(nullptr, description), 0);
  EXPECT_STREQ(version, "-----");
  EXPECT_STREQ(description, "unchanged");
}

TEST_F(ChannelTest, TheFirstInterfaceThatOpensIsUsed) {
  const std::string second = xp::usbtoken::Provision(machine_.root(), 99);
  xp::usbtoken::FailOpens(machine_.root(), token(), xp::usbtoken::kAlways);
  unsigned char area[128];
  ASSERT_EQ(GetESN(area), 1);
  EXPECT_EQ(std::memcmp(area, xp::usbtoken::Inspect(machine_.root(), second)->flash.data() + 512, 128), 0);
  EXPECT_TRUE(Log().empty());
  xp::usbtoken::ClearFaults(machine_.root(), token());
  ASSERT_EQ(GetESN(area), 1);
  EXPECT_EQ(std::memcmp(area, Snap().flash.data() + 512, 128), 0);
}

TEST_F(ChannelTest, OpenUsbDeviceHandsTheCallerAnOpenHandle) {
  HANDLE handle = OpenUsbDevice(&xp::usbtoken::kInterfaceClass);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(handle));
  const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(OpenUsbDevice(&other), INVALID_HANDLE_VALUE);
}

TEST_F(ChannelTest, ReadyWaitGivesUpAfterTenReadsAndTenSleeps) {
  xp::usbtoken::SetStatusNotReady(machine_.root(), token(), xp::usbtoken::kAlways);
  ClearLog();
  const uint64_t before = xp::machine::NowMs();
  EXPECT_EQ(ClearPassword(), 0);
  EXPECT_EQ(xp::machine::NowMs() - before, 10u * 200u);
  int status_reads = 0;
  for (const Request& r : Log()) status_reads += r.code == kRead && r.reg == 0x31;
  EXPECT_EQ(status_reads, 10);
}

TEST_F(ChannelTest, AFailedStatusReadResetsTheToken) {
  xp::usbtoken::AddRequestFault(machine_.root(), token(), xp::usbtoken::RequestFault::StatusRead());
  ClearLog();
  EXPECT_EQ(ClearPassword(), 0);
  ASSERT_EQ(Writes(0x21).size(), 1u);
  EXPECT_EQ(Writes(0x21)[0], std::vector<uint8_t>{1});
}

// The command byte carries (n - 1) in its high nibble.
TEST_F(ChannelTest, ChunkCommandsCarryTheirLength) {
  static unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  static unsigned char out[128];
  const struct {
    const char* what;
    int (*call)();
    std::vector<uint8_t> commands;
  } cases[] = {
      {"program 8 bytes", [] { return WriteUserFlash(1024, 8, data); }, {0x75}},
      {"program 1 byte", [] { return WriteUserFlash(1100, 1, data); }, {0x05}},
      {"read 8 bytes of user flash", [] { return ReadUserFlash(1024, 8, out); }, {0x7B}},
      {"read the identity area", [] { return GetESN(out); }, std::vector<uint8_t>(16, 0x7A)},
  };
  for (const auto& c : cases) {
    ClearLog();
    EXPECT_EQ(c.call(), 1) << c.what;
    EXPECT_EQ(Commands(), c.commands) << c.what;
  }
  ASSERT_EQ(ReadUserFlash(1024, 8, out), 1);
  EXPECT_EQ(std::memcmp(out, data, 8), 0);
}

}  // namespace
}  // namespace tavik::tokenio::testing
