// The conversions at the store's edges: code page 1252 both ways, the A functions' view of stored data, and the
// host's UTF-8.
#include <gtest/gtest.h>

#include "scratch_machine.h"
#include "winreg.h"
#include "xp/registry.h"

namespace xp::registry {
namespace {

TEST(AnsiText, CodePage1252MapsEveryByteAndBack) {
  struct Case {
    unsigned char byte;
    char16_t unit;
  } cases[] = {{0x41, u'A'},      {0x80, u'\u20ac'}, {0x81, u'\u0081'}, {0x8A, u'\u0160'}, {0x9C, u'\u0153'},
               {0x9F, u'\u0178'}, {0xA0, u'\u00a0'}, {0xE9, u'\u00e9'}, {0xFF, u'\u00ff'}};
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiToUtf16(std::string(1, static_cast<char>(c.byte))), std::u16string(1, c.unit)) << int{c.byte};
  }
  std::string every;
  for (int byte = 1; byte < 256; ++byte) every.push_back(static_cast<char>(byte));
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(every)), every);
  EXPECT_EQ(Utf16ToAnsi(u"\u0100\u4e2d!"),
            "?"
            "?!");
}

TEST(AnsiText, StringDataWidensOnWriteAndNarrowsOnRead) {
  const BYTE flag[] = {'3', 0};
  EXPECT_EQ(AnsiDataToStored(REG_SZ, flag, 2), (std::vector<uint8_t>{'3', 0, 0, 0}));
  const BYTE multi[] = {'a', 0, 0x80, 0, 0};
  EXPECT_EQ(AnsiDataToStored(REG_MULTI_SZ, multi, 5), (std::vector<uint8_t>{'a', 0, 0, 0, 0xAC, 0x20, 0, 0, 0, 0}));
  const BYTE serial[] = {0xE4, 0x71, 0x3C, 0x5A};
  EXPECT_EQ(AnsiDataToStored(REG_DWORD, serial, 4), (std::vector<uint8_t>{0xE4, 0x71, 0x3C, 0x5A}));
  EXPECT_TRUE(AnsiDataToStored(REG_SZ, nullptr, 0).empty());

  EXPECT_EQ(StoredDataToAnsi(REG_EXPAND_SZ, {'%', 0, 0xAC, 0x20, 'x'}), (std::vector<uint8_t>{'%', 0x80}))
      << "an odd trailing byte is no character";
  EXPECT_EQ(StoredDataToAnsi(REG_BINARY, {1, 2, 3}), (std::vector<uint8_t>{1, 2, 3}));
}

// A machine set to code page 936: a Chinese character is two bytes, both ways and in stored strings.
TEST(AnsiText, ADoubleByteCodePageConvertsWholeCharacters) {
  machine::MachineOptions options;
  options.locale = "0804";
  options.ansi_code_page = 936;
  const test::ScratchMachine machine(test::ScratchOptions{.machine = options, .fresh_registry = false});
  EXPECT_EQ(AnsiCodePage(), 936u);
  EXPECT_EQ(AnsiToUtf16("\xD6\xD0\xCE\xC4 ok"), u"\u4e2d\u6587 ok");
  EXPECT_EQ(Utf16ToAnsi(u"\u4e2d\u6587 ok"), "\xD6\xD0\xCE\xC4 ok");
  EXPECT_EQ(AnsiToUtf16("a\xD6"), u"a?") << "a lead byte without its trail byte";
  EXPECT_EQ(Utf16ToAnsi(u"x\U0001F511y\u0100"), "x?y?") << "characters the page lacks, a pair counting as one";

  const BYTE word[] = {0xD6, 0xD0, 0};
  EXPECT_EQ(AnsiDataToStored(REG_SZ, word, 3), (std::vector<uint8_t>{0x2D, 0x4E, 0, 0}));
  EXPECT_EQ(StoredDataToAnsi(REG_SZ, {0x2D, 0x4E, 0, 0}), (std::vector<uint8_t>{0xD6, 0xD0, 0}));
}

TEST(AnsiText, OutsideAMachineTheCodePageIs1252) {
  EXPECT_EQ(AnsiCodePage(), 1252u);
  EXPECT_EQ(AnsiToUtf16("\x80"), u"\u20ac");
}

TEST(HostText, Utf8RoundTripsAndMarksMalformedInput) {
  const std::u16string text = u"K\u00e9y \u20ac \U0001F511";
  EXPECT_EQ(Utf16ToUtf8(text), "K\xC3\xA9y \xE2\x82\xAC \xF0\x9F\x94\x91");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b\xC3"),
            u"a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace xp::registry
