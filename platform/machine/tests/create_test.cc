// Making a machine: the folder layout, the exact description text, and refusals that leave no half machine.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "xp/machine.h"

namespace xp::machine {
namespace {

namespace fs = std::filesystem;

class CreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/xp-create-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = pattern;
  }
  void TearDown() override { fs::remove_all(base_); }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path base_;
};

TEST_F(CreateTest, MakesTheFolderLayout) {
  const fs::path dir = base_ / "m";
  Create(dir);
  for (const char* folder :
       {"drives/C/WINDOWS/system32", "drives/C/Program Files", "devices", "objects", "processes"}) {
    EXPECT_TRUE(fs::is_directory(dir / folder)) << folder;
  }
  EXPECT_EQ(Read(dir / "journal.log"), "");
  EXPECT_EQ(Read(dir / "clock"), "0\n");
  EXPECT_FALSE(fs::exists(dir / "machine.ini.new"));
}

TEST_F(CreateTest, WritesTheDefaultDescriptionExactly) {
  Create(base_);
  const std::string ini =
      std::regex_replace(Read(base_ / "machine.ini"), std::regex("created = [0-9]+"), "created = T");
  EXPECT_EQ(ini,
            "# The description of a simulated Windows XP machine.\n"
            "computer_name = WORKSTATION\n"
            "edition = Professional\n"
            "locale = 0409\n"
            "ansi_code_page = 1252\n"
            "safe_mode = no\n"
            "created = T\n"
            "machine_id = 2780515405-1203581476-3921187024\n"
            "drive.C.type = fixed\n"
            "drive.C.file_system = NTFS\n"
            "drive.C.volume_serial = 5A3C71E4\n"
            "drive.C.free_bytes = 21474836480\n"
            "account.1.name = Administrator\n"
            "account.1.password = admin\n"
            "account.1.administrator = yes\n"
            "account.2.name = User\n"
            "account.2.password = user\n"
            "account.2.administrator = no\n");
}

TEST_F(CreateTest, DescribesAChineseHomeMachineWithTwoDrives) {
  MachineOptions options;
  options.computer_name = "HOMEPC";
  options.edition = "Home";
  options.locale = "0804";
  options.ansi_code_page = 936;
  options.safe_mode = true;
  options.drives.push_back({'D', "fixed", "FAT32", 0x0000ABCD, 1000});
  Create(base_, options);
  const std::string ini = Read(base_ / "machine.ini");
  for (const char* line :
       {"edition = Home\n", "locale = 0804\n", "ansi_code_page = 936\n", "safe_mode = yes\n",
        "drive.D.file_system = FAT32\n", "drive.D.volume_serial = 0000ABCD\n", "drive.D.free_bytes = 1000\n"}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line;
  }
  EXPECT_TRUE(fs::is_directory(base_ / "drives/D"));
  EXPECT_FALSE(fs::exists(base_ / "drives/D/WINDOWS"));
}

TEST_F(CreateTest, RefusesBadOptionsAndLeavesNoMachine) {
  const struct {
    const char* what;
    void (*spoil)(MachineOptions&);
  } rows[] = {
      {"unknown edition", [](MachineOptions& o) { o.edition = "Server"; }},
      {"lower-case drive letter", [](MachineOptions& o) { o.drives[0].letter = 'c'; }},
      {"drive given twice", [](MachineOptions& o) { o.drives.push_back(o.drives[0]); }},
      {"unknown drive type", [](MachineOptions& o) { o.drives[0].type = "ramdisk"; }},
      {"account given twice", [](MachineOptions& o) { o.accounts.push_back(o.accounts[0]); }},
      {"line break in a password", [](MachineOptions& o) { o.accounts[1].password = "a\nadmin = yes"; }},
      {"empty computer name", [](MachineOptions& o) { o.computer_name.clear(); }},
  };
  for (const auto& row : rows) {
    MachineOptions options;
    row.spoil(options);
    const fs::path dir = base_ / row.what;
    EXPECT_THROW(Create(dir, options), std::runtime_error) << row.what;
    EXPECT_FALSE(fs::exists(dir / "machine.ini")) << row.what;
  }
}

TEST_F(CreateTest, RefusesAFolderThatHoldsSomething) {
  std::ofstream(base_ / "precious.txt") << "keep me";
  EXPECT_THROW(Create(base_), std::runtime_error);
  EXPECT_EQ(Read(base_ / "precious.txt"), "keep me");
  EXPECT_FALSE(fs::exists(base_ / "machine.ini"));
}

}  // namespace
}  // namespace xp::machine
