// Reading the machine description: keys of a fresh machine and the tolerant "key = value" syntax.
#include <gtest/gtest.h>

#include <fstream>

#include "machine_test_fixture.h"

namespace xp::machine {
namespace {

using SettingsTest = MachineTest;

TEST_F(SettingsTest, ReadsTheDescriptionOfAFreshMachine) {
  const struct {
    const char* key;
    const char* value;
  } rows[] = {
      {"computer_name", "WORKSTATION"},
      {"edition", "Professional"},
      {"locale", "0409"},
      {"ansi_code_page", "1252"},
      {"safe_mode", "no"},
      {"drive.C.type", "fixed"},
      {"drive.C.file_system", "NTFS"},
      {"drive.C.volume_serial", "5A3C71E4"},
      {"drive.C.free_bytes", "21474836480"},
      {"account.1.name", "Administrator"},
      {"account.1.administrator", "yes"},
      {"account.2.name", "User"},
      {"account.2.administrator", "no"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Setting(row.key), std::optional<std::string>(row.value)) << row.key;
  }
  EXPECT_EQ(Setting("drive.D.type"), std::nullopt);
  EXPECT_EQ(Setting("account.3.name"), std::nullopt);
}

TEST_F(SettingsTest, ToleratesSpacingCommentsAndEqualsInValues) {
  std::ofstream(root_ / "machine.ini") << "# comment = not a key\n"
                                       << "\n"
                                       << "  spaced\t=\t value with spaces  \r\n"
                                       << "account.1.password = a=b\n"
                                       << "no equals sign here\n"
                                       << "empty =\n";
  EXPECT_EQ(Setting("spaced"), "value with spaces");
  EXPECT_EQ(Setting("account.1.password"), "a=b");
  EXPECT_EQ(Setting("empty"), "");
  EXPECT_EQ(Setting("# comment"), std::nullopt);
  EXPECT_EQ(Setting("no equals sign here"), std::nullopt);
}

}  // namespace
}  // namespace xp::machine
