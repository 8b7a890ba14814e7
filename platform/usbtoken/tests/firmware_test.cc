// The flash address rule of the register machine.
#include "firmware.h"

#include <gtest/gtest.h>

#include <set>

namespace xp::usbtoken {
namespace {

// The identity area's fixed chunk sequence must cover page 1's bytes 0..127 exactly once, in order.
TEST(FlashAddress, MapsTheIdentityChunkSequenceOntoPageOne) {
  const std::pair<uint8_t, uint8_t> chunks[] = {{8, 0},   {8, 8},   {8, 16},  {8, 24},  {8, 32},  {8, 40},
                                                {8, 48},  {8, 56},  {9, 64},  {10, 72}, {11, 80}, {12, 88},
                                                {13, 96}, {14, 104}, {15, 112}, {8, 120}};
  std::set<size_t> covered;
  size_t expected = kPageSize;
  for (const auto& [block, offset] : chunks) {
    SCOPED_TRACE(testing::Message() << "(" << int{block} << "," << int{offset} << ")");
    const std::optional<size_t> address = FlashAddress(block, offset, 8);
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(*address, expected);
    for (size_t i = 0; i < 8; ++i) covered.insert(*address + i);
    expected += 8;
  }
  EXPECT_EQ(covered.size(), 128u);
  EXPECT_EQ(*covered.begin(), kPageSize);
  EXPECT_EQ(*covered.rbegin(), kPageSize + 127);
}

TEST(FlashAddress, KeepsEveryTransferInsideTheFlash) {
  struct Case {
    uint8_t block, offset;
    size_t length;
    std::optional<size_t> address;
  };
  const Case cases[] = {
      {16, 4, 8, 16 * 64 + 4},       // page 2, offset 4
      {16, 60, 8, 16 * 64 + 60},     // runs on into block 17
      {4, 63, 1, 4 * 64 + 63},       // the key-byte map's byte 0x3F
      {255, 63, 1, kFlashSize - 1},  // the last byte
      {255, 63, 2, std::nullopt},
      {255, 56, 8, kFlashSize - 8},
      {255, 57, 8, std::nullopt},
      {15, 255, 8, 8 * 64 + 255},  // a large offset stays in the block's page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.block} << "," << int{c.offset} << " x" << c.length);
    EXPECT_EQ(FlashAddress(c.block, c.offset, c.length), c.address);
  }
}

}  // namespace
}  // namespace xp::usbtoken
