// User data kept across token pages: the stored layout, reading it back, and stored lengths that lie.
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "api_fixture.h"
#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::tokenapi::testing {
namespace {

constexpr int kFirstPage = 6;

std::vector<uint8_t> Data(size_t n, uint8_t seed) {
  std::vector<uint8_t> data(n);
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(seed + 7 * i);
  return data;
}

class UserDataTest : public TokenApiTest {
 protected:
  // Pages first..first+count-1 filled with one byte, so that untouched bytes can be told apart.
  void Paint(int first, int count, uint8_t byte) {
    const std::vector<uint8_t> page(kPage, byte);
    for (int p = first; p < first + count; ++p) ASSERT_EQ(WriteUserDataPage(p, 0, kPage, page.data()), 1);
  }
  // The bytes the token holds from byte 0 of `first` on.
  std::vector<uint8_t> Stored(int first, size_t n) const {
    const auto flash = Snap().flash;
    return std::vector<uint8_t>(flash.begin() + first * kPage, flash.begin() + first * kPage + n);
  }
  void StoreLength(int page, uint16_t total) {
    const uint8_t head[2] = {static_cast<uint8_t>(total & 0xFF), static_cast<uint8_t>(total >> 8)};
    ASSERT_EQ(WriteUserDataPage(page, 0, 2, head), 1);
  }
};

TEST_F(UserDataTest, BlobRunsAcrossPagesAndReadsBack) {
  for (size_t length : {0u, 1u, 510u, 511u, 512u, 2560u}) {
    SCOPED_TRACE(length);
    Paint(kFirstPage, 6, 0xAB);
    std::vector<uint8_t> data = Data(length, static_cast<uint8_t>(length));
    ASSERT_EQ(NuboWriteUserData(data.data(), static_cast<int>(length), kFirstPage), 0);

    const size_t total = length + 2;
    const std::vector<uint8_t> stored = Stored(kFirstPage, 6 * kPage);
    EXPECT_EQ(stored[0], total & 0xFF);
    EXPECT_EQ(stored[1], total >> 8);
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 2, stored.begin() + total), data);
    EXPECT_EQ(std::count(stored.begin() + total, stored.end(), 0xAB), static_cast<long>(stored.size() - total));

    int size = 0;
    ASSERT_EQ(NuboReadUserData(nullptr, &size, kFirstPage), 0);
    EXPECT_EQ(size, static_cast<int>(length));
    std::vector<uint8_t> back(length + 1, 0xCD);
    int capacity = static_cast<int>(length);
    ASSERT_EQ(NuboReadUserData(back.data(), &capacity, kFirstPage), 0);
    EXPECT_EQ(capacity, static_cast<int>(length));
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + length), data);
    EXPECT_EQ(back[length], 0xCD);
  }
}

TEST_F(UserDataTest, TooMuchDataOrTooFewPagesWritesNothing) {
  std::vector<uint8_t> data = Data(2561, 1);
  ClearLog();
  EXPECT_EQ(NuboWriteUserData(data.data(), 2561, kFirstPage), 1);
  EXPECT_EQ(NuboWriteUserData(data.data(), 600, 31), 1);  // would need a page 32
  EXPECT_EQ(NuboWriteUserData(data.data(), 10, 1), 1);    // the identity page
  EXPECT_EQ(NuboWriteUserData(data.data(), -1, kFirstPage), 1);
  EXPECT_EQ(NuboWriteUserData(nullptr, 10, kFirstPage), 1);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(NuboWriteUserData(data.data(), 510, 31), 0);  // the last page holds a blob of 512 bytes
}

TEST_F(UserDataTest, SizeQueryAndSmallBuffersLeaveTheOutputAlone) {
  std::vector<uint8_t> data = Data(700, 3);
  ASSERT_EQ(NuboWriteUserData(data.data(), 700, kFirstPage), 0);
  std::vector<uint8_t> out(700, 0xEE);
  int len = 0;
  EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 0);
  EXPECT_EQ(len, 700);
  len = 699;
  EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 1);
  EXPECT_EQ(len, 700);  // the size it needs
  len = -5;
  EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 1);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0xEE), 700);
}

// The stored length comes from the token; one the format cannot have is refused, never trusted.
TEST_F(UserDataTest, StoredLengthsThatLieAreRefused) {
  for (uint16_t total : {0, 1, 2563, 4096, 0xFFFF}) {
    SCOPED_TRACE(total);
    StoreLength(kFirstPage, total);
    std::vector<uint8_t> out(3000, 0xEE);
    int len = 0;
    EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 1);
    len = 3000;
    EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 1);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0xEE), 3000);
  }
  StoreLength(30, 1500);  // fits the format, but would run past the last page
  int len = 0;
  EXPECT_EQ(NuboReadUserData(nullptr, &len, 30), 1);
}

TEST_F(UserDataTest, APageThatCannotBeReadFailsTheRead) {
  std::vector<uint8_t> data = Data(1200, 5);
  ASSERT_EQ(NuboWriteUserData(data.data(), 1200, kFirstPage), 0);
  xp::usbtoken::RequestFault fault;
  fault.code = xp::usbtoken::kReadRegister;
  fault.reg = 0x3C;
  fault.skip = 1 + 64 + 10;  // the length, the first page, and part of the second
  fault.times = xp::usbtoken::kAlways;
  ASSERT_TRUE(xp::usbtoken::AddRequestFault(machine_.root(), token(), fault));
  std::vector<uint8_t> out(1200, 0xEE);
  int len = 1200;
  EXPECT_EQ(NuboReadUserData(out.data(), &len, kFirstPage), 1);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0xEE), 1200);
}

TEST_F(UserDataTest, NoTokenFailsBothWays) {
  Unplug();
  uint8_t byte = 1;
  int len = 0;
  EXPECT_EQ(NuboWriteUserData(&byte, 1, kFirstPage), 1);
  EXPECT_EQ(NuboReadUserData(&byte, &len, kFirstPage), 1);
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(UserDataTest, WrittenByOneProcessReadByAnother) {
  const std::vector<uint8_t> data = Data(1800, 9);
  const pid_t writer = fork();
  if (writer == 0) {
    std::vector<uint8_t> copy = data;
    _exit(NuboWriteUserData(copy.data(), 1800, 10));
  }
  ASSERT_EQ(ExitCode(writer), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    std::vector<uint8_t> back(1800);
    int len = 1800;
    _exit(NuboReadUserData(back.data(), &len, 10) == 0 && len == 1800 && back == data ? 0 : 1);
  }
  EXPECT_EQ(ExitCode(reader), 0);
}

}  // namespace
}  // namespace tavik::tokenapi::testing
