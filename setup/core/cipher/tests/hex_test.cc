// The hex codec: both letter cases out and in, the lenient decoder's zero nibbles, the strict decoder's refusals.
#include "hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavik::hex {
namespace {

TEST(Hex, EncodesHighNibbleFirstInTheChosenCase) {
  const uint8_t bytes[] = {0x00, 0x9F, 0xA0, 0xFF, 0x3c};
  std::string out(10, '#');
  Encode(bytes, 5, out.data(), false);
  EXPECT_EQ(out, "009fa0ff3c");
  Encode(bytes, 5, out.data(), true);
  EXPECT_EQ(out, "009FA0FF3C");
  char guard[3] = {'x', 'y', 'z'};
  Encode(bytes + 1, 1, guard, true);
  EXPECT_EQ(std::string(guard, 3), "9Fz");  // exactly 2n characters, no terminator
}

TEST(Hex, LenientDecodingTurnsAnythingUnreadableIntoZeroNibbles) {
  struct Row {
    const char* text;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"00ff9Aa9", {0x00, 0xFF, 0x9A, 0xA9}},
      {"0fF0aBcD", {0x0F, 0xF0, 0xAB, 0xCD}},
      {"zz1g-1G0", {0x00, 0x10, 0x01, 0x00}},  // each bad digit is nibble 0, its neighbour stands
      {"123", {0x12, 0x30, 0x00, 0x00}},       // the text ends: missing digits are 0
      {"", {0x00, 0x00, 0x00, 0x00}},
      {"abcdef0123", {0xAB, 0xCD, 0xEF, 0x01}},  // only 2n characters are read
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<uint8_t> out(4, 0xEE);
    DecodeLenient(row.text, out.data(), out.size());
    EXPECT_EQ(out, row.bytes);
  }
}

TEST(Hex, LenientDecodingReadsNothingPastTheTerminator) {
  const std::vector<char> text = {'a', 'b', '\0'};  // a heap block that ends at the NUL
  uint8_t out[4];
  DecodeLenient(text.data(), out, 4);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0xAB, 0x00, 0x00, 0x00}));
}

TEST(Hex, StrictDecodingAcceptsOnlyExactlyTwoDigitsPerByte) {
  struct Row {
    std::string_view text;
    bool accepted;
  };
  const Row rows[] = {
      {"00fF9a", true}, {"00ff9", false}, {"00ff9a0", false}, {"00fg9a", false}, {"00 f9a", false}, {"", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    uint8_t out[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(DecodeStrict(row.text, out, 3), row.accepted);
    const std::vector<uint8_t> expected =
        row.accepted ? std::vector<uint8_t>{0x00, 0xFF, 0x9A} : std::vector<uint8_t>{0xEE, 0xEE, 0xEE};
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), expected);
  }
}

}  // namespace
}  // namespace tavik::hex
