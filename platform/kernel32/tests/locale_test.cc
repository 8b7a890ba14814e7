// The machine's locale and code page as the form-based programs ask for them: the user's LCID, the language's English
// name (which decides their Chinese rules), and the ANSI code page; and the failure the programs report.
#include <gtest/gtest.h>

#include <cstring>

#include "scratch_machine.h"
#include "windows.h"
#include "xp/faults.h"

namespace {

xp::machine::MachineOptions Locale(const std::string& lcid, uint32_t code_page) {
  xp::machine::MachineOptions options;
  options.locale = lcid;
  options.ansi_code_page = code_page;
  return options;
}

TEST(Locale, TheMachineDescriptionGivesTheLocaleItsLanguageAndTheCodePage) {
  const struct {
    const char* lcid;
    uint32_t code_page;
    LCID expected;
    const char* language;
  } cases[] = {{"0409", 1252, 0x0409, "English"}, {"0804", 936, 0x0804, "Chinese"},
               {"0404", 950, 0x0404, "Chinese"}, {"0411", 932, 0x0411, "Japanese"}};
  for (const auto& c : cases) {
    const xp::test::ScratchMachine machine(
        xp::test::ScratchOptions{.machine = Locale(c.lcid, c.code_page), .fresh_registry = false});
    EXPECT_EQ(GetUserDefaultLCID(), c.expected) << c.lcid;
    EXPECT_EQ(GetACP(), c.code_page) << c.lcid;
    char name[1024];
    EXPECT_EQ(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SENGLANGUAGE, name, sizeof name),
              static_cast<int>(std::strlen(c.language)) + 1);
    EXPECT_STREQ(name, c.language);
  }
}

TEST(Locale, TheLanguageNameNeedsRoomForItsTerminator) {
  const xp::test::ScratchMachine machine;
  EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SENGLANGUAGE, nullptr, 0), 8);
  char name[7];
  EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SENGLANGUAGE, name, sizeof name), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetLocaleInfoA(0x0001, LOCALE_SENGLANGUAGE, name, sizeof name), 0) << "no such language";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Locale, AnArmedFaultFailsTheLocaleQuery) {
  const xp::test::ScratchMachine machine;
  xp::machine::ArmFault({xp::machine::FaultAction::kFail, "GetLocaleInfoA", 1, 1, ERROR_INVALID_PARAMETER, ""});
  char name[64];
  EXPECT_EQ(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SENGLANGUAGE, name, sizeof name), 0);
  EXPECT_GT(GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SENGLANGUAGE, name, sizeof name), 0) << "only the first";
}

}  // namespace
