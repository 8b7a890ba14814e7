// The cache holds at most its bound, whatever the size of the file that passes through it, and what it dropped
// or wrote back on the way reads back whole.
#include <gtest/gtest.h>

#include "kernel_fixture.h"

namespace xp::ntos::testing {
namespace {

constexpr size_t kBound = 1u << 20;
constexpr size_t kPiece = 64u << 10;

TEST_F(KernelTest, AFileFourTimesTheCacheWritesAndReadsBackInBoundedMemory) {
  kernel_.reset();
  kernel_ = std::make_unique<Kernel>(KernelOptions{machine_, false, kBound});
  const std::vector<uint8_t> data = Pattern(4 * kBound + 1000, 9);
  Opened file = OpenFile(u"\\??\\C:\\big.bin", FILE_CREATE);
  ASSERT_EQ(file.status, STATUS_SUCCESS);
  size_t most = 0;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    const size_t n = std::min(kPiece, data.size() - at);
    ASSERT_EQ(Write(file.handle, std::vector<uint8_t>(data.begin() + at, data.begin() + at + n), at), STATUS_SUCCESS);
    most = std::max(most, kernel_->CachedBytes());
  }
  std::vector<uint8_t> back;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    std::vector<uint8_t> piece;
    ASSERT_EQ(Read(file.handle, &piece, kPiece, at), STATUS_SUCCESS);
    back.insert(back.end(), piece.begin(), piece.end());
    most = std::max(most, kernel_->CachedBytes());
  }
  EXPECT_LE(most, kBound);
  EXPECT_TRUE(back == data);
  EXPECT_EQ(NtClose(file.handle), STATUS_SUCCESS);
  kernel_.reset();
  EXPECT_TRUE(HostBytes('C', "big.bin") == data);
}

}  // namespace
}  // namespace xp::ntos::testing
