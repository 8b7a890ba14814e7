// User data pages and raw user flash: chunking, bounds, and the whole-page rewrite.
#include <cstring>
#include <numeric>

#include "token_fixture.h"
#include "tokenio.h"

namespace tavik::tokenio::testing {
namespace {

struct Chunk {
  uint8_t block, offset, n;
  bool operator==(const Chunk&) const = default;
};

class UserPagesTest : public TokenTest {
 protected:
  // The (block, offset, length) of every flash read or program, in order, from the address writes and commands.
  std::vector<Chunk> Chunks() const {
    std::vector<Chunk> chunks;
    std::vector<uint8_t> address;
    for (const Request& r : Log()) {
      if (r.code != kWrite) continue;
      if (r.reg == 0x32) address = r.data;
      const uint8_t low = r.data.empty() ? 0 : r.data[0] & 0x0F;
      if (r.reg == 0x30 && (low == 0x0B || low == 0x05)) {
        chunks.push_back({address.at(0), address.at(1), static_cast<uint8_t>((r.data[0] >> 4) + 1)});
      }
    }
    return chunks;
  }
  std::vector<uint8_t> Page(int page) const {
    const auto flash = Snap().flash;
    return {flash.begin() + page * 512, flash.begin() + page * 512 + 512};
  }
};

TEST_F(UserPagesTest, ReadsGoInChunksThatNeverCrossABlock) {
  std::vector<uint8_t> image(512);
  std::iota(image.begin(), image.end(), 0);
  ASSERT_EQ(WriteUserDataPage(2, 0, 512, image.data()), 1);
  const struct {
    int offset, length;
    std::vector<Chunk> chunks;
  } cases[] = {
      {4, 16, {{16, 4, 8}, {16, 12, 8}}},
      {5, 3, {{16, 6, 2}, {16, 4, 2}}},  // an odd start reads the rest, then the pair before it
      {60, 8, {{16, 60, 4}, {17, 0, 4}}},
      {0, 0, {}},
      {5, 0, {}},
      {511, 1, {{23, 62, 2}}},
  };
  for (const auto& c : cases) {
    uint8_t out[32];
    std::memset(out, 0xAA, sizeof(out));
    ClearLog();
    EXPECT_EQ(ReadUserDataPage(2, c.offset, c.length, out), 1) << c.offset << "," << c.length;
    EXPECT_EQ(Chunks(), c.chunks) << c.offset << "," << c.length;
    EXPECT_EQ(std::vector<uint8_t>(out, out + c.length),
              std::vector<uint8_t>(image.begin() + c.offset, image.begin() + c.offset + c.length));
    EXPECT_EQ(out[c.length], 0xAA) << "wrote past the length";
  }
}

// Pages 0 and 1 hold the keys and the identity; pages past 31 would fold onto them. Nothing is sent for these.
TEST_F(UserPagesTest, OutOfRangeRequestsAreRefusedWithoutARequest) {
  uint8_t buffer[600] = {};
  const struct {
    int page, offset, length;
  } cases[] = {{0, 0, 16}, {1, 0, 16}, {32, 0, 16}, {33, 0, 16}, {-1, 0, 16}, {2, 513, 0},
               {2, 500, 16}, {2, -2, 4}, {2, 0, -1}, {2, 1, 512}, {2, 0x7FFFFFF0, 0x20}};
  const auto before = Snap().flash;
  ClearLog();
  for (const auto& c : cases) {
    EXPECT_EQ(ReadUserDataPage(c.page, c.offset, c.length, buffer), 0) << c.page << "," << c.offset;
    EXPECT_EQ(WriteUserDataPage(c.page, c.offset, c.length, buffer), 0) << c.page << "," << c.offset;
  }
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(Snap().flash, before);
}

TEST_F(UserPagesTest, WholePageWriteErasesOnceAndProgramsSixtyFourChunks) {
  std::vector<uint8_t> data(512, 0x5A);
  ClearLog();
  ASSERT_EQ(WriteUserDataPage(6, 0, 512, data.data()), 1);
  EXPECT_EQ(Count(0x06), 1);
  EXPECT_EQ(Writes(0x32).at(64), (std::vector<uint8_t>{48, 0}));  // after the 64 reads of the page image
  EXPECT_EQ(Count(0x75), 64);
  EXPECT_EQ(Page(6), data);
}

TEST_F(UserPagesTest, PartialWriteKeepsTheRestOfThePage) {
  std::vector<uint8_t> base(512);
  std::iota(base.begin(), base.end(), 0);
  ASSERT_EQ(WriteUserDataPage(2, 0, 512, base.data()), 1);
  const uint8_t patch[16] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                             0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_EQ(WriteUserDataPage(2, 20, 16, patch), 1);
  auto expected = base;
  std::fill(expected.begin() + 20, expected.begin() + 36, 0xEE);
  EXPECT_EQ(Page(2), expected);
}

// On real flash, programming only clears bits: reading back exactly proves the page was erased first.
TEST_F(UserPagesTest, RewriteOverOldContentReadsBackExactlyOnStrictFlash) {
  xp::usbtoken::SetStrictFlash(machine_.root(), token(), true);
  std::vector<uint8_t> first(512, 0x0F), second(512, 0xF0);
  ASSERT_EQ(WriteUserDataPage(9, 0, 512, first.data()), 1);
  ASSERT_EQ(WriteUserDataPage(9, 0, 512, second.data()), 1);
  EXPECT_EQ(Page(9), second);
}

// An erase that never becomes ready must not be followed by programming over the old content.
TEST_F(UserPagesTest, FailedEraseStopsTheWrite) {
  std::vector<uint8_t> data(512, 0x11);
  ASSERT_EQ(WriteUserDataPage(3, 0, 512, data.data()), 1);
  // The page image is read in 64 chunks, each with one ready poll; the erase's poll comes after them.
  xp::usbtoken::RequestFault fault = xp::usbtoken::RequestFault::StatusRead();
  fault.skip = 2 + 64;  // two access checks, then the 64 chunk polls
  fault.times = xp::usbtoken::kAlways;
  xp::usbtoken::AddRequestFault(machine_.root(), token(), fault);
  ClearLog();
  std::vector<uint8_t> other(512, 0x22);
  EXPECT_EQ(WriteUserDataPage(3, 0, 512, other.data()), 0);
  EXPECT_EQ(Count(0x75), 0);
}

TEST_F(UserPagesTest, FailedProgramChunkStopsTheRest) {
  std::vector<uint8_t> data(512, 0x33);
  ASSERT_EQ(WriteUserDataPage(5, 0, 512, data.data()), 1);
  xp::usbtoken::RequestFault fault = xp::usbtoken::RequestFault::Register(0x30);
  fault.skip = 64 + 1 + 9;  // 64 chunk reads, the erase, then nine programs
  xp::usbtoken::AddRequestFault(machine_.root(), token(), fault);
  ClearLog();
  std::vector<uint8_t> other(512, 0x44);
  EXPECT_EQ(WriteUserDataPage(5, 0, 512, other.data()), 0);
  EXPECT_EQ(Count(0x75), 9);
}

// Raw flash starts at the user pages and ends at the end of the flash: nothing folds back onto page 0 or 1.
TEST_F(UserPagesTest, RawFlashBounds) {
  uint8_t buffer[64] = {};
  const struct {
    unsigned address, length;
    int result;
  } cases[] = {{1023, 1, 0}, {1024, 0, 1}, {16383, 1, 1}, {16384, 0, 1}, {16384, 1, 0}, {16380, 8, 0},
               {20000, 8, 0}, {1024, 0xFFFFFFF0u, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ReadUserFlash(c.address, c.length, buffer), c.result) << c.address << "+" << c.length;
  }
  const auto before = Snap().flash;
  EXPECT_EQ(WriteUserFlash(16384 + 8, 8, buffer), 0);
  EXPECT_EQ(Snap().flash, before);
}

TEST_F(UserPagesTest, RawFlashMatchesThePages) {
  const uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_EQ(WriteUserFlash(7 * 512 + 60, sizeof(data), data), 1);  // crosses a block boundary
  uint8_t back[12];
  ASSERT_EQ(ReadUserDataPage(7, 60, sizeof(back), back), 1);
  EXPECT_EQ(std::memcmp(back, data, sizeof(data)), 0);
}

}  // namespace
}  // namespace tavik::tokenio::testing
