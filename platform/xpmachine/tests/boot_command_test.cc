// xpmachine boot and logon: their command-line forms, and a logon typed at the command line on a new machine (the
// session's programs run as the user; Winlogon ends once nobody is left to press Ctrl+Alt+Del).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "arguments.h"
#include "built_programs.h"
#include "scratch_folder.h"

namespace xp::xpmachine {
namespace {

namespace fs = std::filesystem;

TEST(BootArguments, Forms) {
  const std::optional<Command> boot = ParseArguments({"boot", "m"});
  ASSERT_TRUE(boot);
  EXPECT_EQ(boot->kind, Command::Kind::kBoot);
  EXPECT_EQ(boot->dir, "m");
  const std::optional<Command> logon = ParseArguments({"logon", "m", "User", "pass word"});
  ASSERT_TRUE(logon);
  EXPECT_EQ(logon->kind, Command::Kind::kLogon);
  EXPECT_EQ(logon->account, "User");
  EXPECT_EQ(logon->password, "pass word");
  const std::vector<std::vector<std::string>> wrong_forms = {
      {"boot"}, {"boot", "m", "x"}, {"logon", "m", "User"}, {"logon", "m", "", "pw"}, {"logon", "m", "a", "b", "c"}};
  for (const std::vector<std::string>& wrong : wrong_forms) {
    EXPECT_FALSE(ParseArguments(wrong)) << ::testing::PrintToString(wrong);
  }
}

class BootCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = base_ / "m";
    tool_ = xp::test::BuildProgram("xpmachine");
    ASSERT_EQ(Tool("new " + dir_.string()), 0);
  }
  void TearDown() override {
    Tool("kernel stop " + dir_.string());
  }

  // The tool's exit code; its output goes to the test log. Nobody answers the UI, unless the test says so.
  int Tool(const std::string& arguments, const std::string& ui = "none") {
    const std::string line = "XPMACHINE_UI=" + ui + " " + tool_.string() + " " + arguments + " </dev/null";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Journal() const {
    std::ifstream file(dir_ / "journal.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // Gives back XPMACHINE and the other machine variables the test sets, and removes the machines.
  xp::test::ScratchFolder scratch_{"xpmachine-boot"};
  const fs::path base_ = scratch_.path();
  fs::path dir_;
  fs::path tool_;
};

TEST_F(BootCommandTest, LogonTypedAtTheCommandLine) {
  ASSERT_EQ(Tool("logon " + dir_.string() + " user user"), 0);
  const std::string journal = Journal();
  EXPECT_NE(journal.find(" winlogon logon User\n"), std::string::npos) << journal;
  EXPECT_NE(journal.find(" launch pid "), std::string::npos);
}

TEST_F(BootCommandTest, BootWithNobodyAtTheKeysEndsAtTheWelcomeScreen) {
  ASSERT_EQ(Tool("boot " + dir_.string()), 0);
  const std::string journal = Journal();
  EXPECT_NE(journal.find(" msgina WlxDisplaySASNotice\n"), std::string::npos) << journal;
  EXPECT_NE(journal.find(" winlogon stopped on \"Welcome to Windows\": nobody to press Ctrl+Alt+Del\n"),
            std::string::npos)
      << journal;
  EXPECT_EQ(journal.find(" winlogon logon "), std::string::npos) << journal;
}

// Without a terminal or a script nobody can be asked; a script that ran out left the run unfinished: both fail.
TEST_F(BootCommandTest, BootThatCannotAskOrRanOutOfScriptFails) {
  EXPECT_EQ(Tool("boot " + dir_.string(), ""), 3);
  std::ofstream(base_ / "empty.script") << "";
  EXPECT_EQ(Tool("boot " + dir_.string(), "script:" + (base_ / "empty.script").string()), 3);
  // The keys are pressed, and the logon dialog then finds the script at its end.
  std::ofstream(base_ / "ui.script") << "ctrl-alt-del \"Welcome to Windows\"\n";
  EXPECT_EQ(Tool("boot " + dir_.string(), "script:" + (base_ / "ui.script").string()), 3);
  EXPECT_NE(Journal().find(" ui ctrl-alt-del \"Welcome to Windows\""), std::string::npos) << Journal();
}

TEST_F(BootCommandTest, LogonRefusesAUiScript) {
  EXPECT_EQ(Tool("logon " + dir_.string() + " User user", "script:ui.script"), 1);
}

}  // namespace
}  // namespace xp::xpmachine
