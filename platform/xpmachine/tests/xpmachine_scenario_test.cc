// xpmachine as a person uses it: make a machine, show and plug its token, run a program inside it as an account and
// list the processes, cut its power, and the usage text: asked for, or with what is wrong and exit code 2.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "built_programs.h"
#include "run_program.h"
#include "scratch_folder.h"
#include "xp/usbtoken.h"


extern char** environ;

namespace {

namespace fs = std::filesystem;

using Outcome = xp::test::ProgramRun;

// Runs build/bin/xpmachine (beside this test program) with the given arguments, stdout and stderr together.
Outcome Xpmachine(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), arguments);
}

class XpmachineTest : public ::testing::Test {
 protected:
  // Gives back XPMACHINE and the other machine variables the test sets, and removes the machines.
  xp::test::ScratchFolder scratch_{"xpmachine-scenario"};
  const fs::path base_ = scratch_.path();
  const std::string dir_ = (base_ / "m").string();
};

TEST_F(XpmachineTest, NewMachineShowsItsTokensSerialNumber) {
  const Outcome made = Xpmachine({"new", dir_, "--token-seed", "7"});
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const std::vector<xp::usbtoken::TokenInfo> tokens = xp::usbtoken::List(dir_);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_TRUE(tokens[0].plugged);
  ASSERT_EQ(tokens[0].esn.size(), 8u);
  EXPECT_NE(made.output.find("ESN " + tokens[0].esn), std::string::npos) << made.output;

  const Outcome shown = Xpmachine({"token", "show", dir_});
  EXPECT_EQ(shown.exit_code, 0) << shown.output;
  EXPECT_NE(shown.output.find(tokens[0].esn), std::string::npos) << shown.output;
  EXPECT_NE(shown.output.find(tokens[0].id), std::string::npos) << shown.output;
}

TEST_F(XpmachineTest, TheSeedChoosesTheToken) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  const std::string other = (base_ / "other").string();
  ASSERT_EQ(Xpmachine({"new", other, "--token-seed", "2"}).exit_code, 0);
  EXPECT_NE(xp::usbtoken::List(dir_).at(0).esn, xp::usbtoken::List(other).at(0).esn);
}

TEST_F(XpmachineTest, UnplugAndPlugTheToken) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  EXPECT_EQ(Xpmachine({"token", "unplug", dir_}).exit_code, 0);
  EXPECT_FALSE(xp::usbtoken::List(dir_).at(0).plugged);
  EXPECT_EQ(Xpmachine({"token", "plug", dir_}).exit_code, 0);
  EXPECT_TRUE(xp::usbtoken::List(dir_).at(0).plugged);
}

TEST_F(XpmachineTest, ListsTheDevicesAndSetsThePendingInstallation) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  Outcome list = Xpmachine({"device", "list", dir_});
  EXPECT_EQ(list.exit_code, 0);
  EXPECT_NE(list.output.find("ROOT\\LEGACY_BEEP\\0000              present      (none)\n"), std::string::npos)
      << list.output;
  EXPECT_NE(list.output.find("USB\\VID_7A5C&PID_0C01\\token1       present      USB\\VID_7A5C&PID_0C01&REV_0100, "
                             "USB\\VID_7A5C&PID_0C01\n"),
            std::string::npos)
      << list.output;
  ASSERT_EQ(Xpmachine({"token", "unplug", dir_}).exit_code, 0);
  EXPECT_NE(Xpmachine({"device", "list", dir_}).output.find("token1       not present"), std::string::npos);

  EXPECT_EQ(Xpmachine({"device", "pending", dir_, "on"}).output, "a device installation is pending\n");
  EXPECT_TRUE(fs::exists(fs::path(dir_) / "devices/install-pending"));
  EXPECT_EQ(Xpmachine({"device", "pending", dir_, "off"}).output, "no device installation is pending\n");
  EXPECT_FALSE(fs::exists(fs::path(dir_) / "devices/install-pending"));
}

TEST_F(XpmachineTest, RunsAProgramInsideTheMachineAndPassesItsExitCodeOn) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  const fs::path relative = fs::relative(dir_);
  const Outcome ran = Xpmachine({"run", relative.string(), "sh", "-c", "echo \"$XPMACHINE\"; exit 3"});
  EXPECT_EQ(ran.exit_code, 3);
  EXPECT_EQ(ran.output, dir_ + "\n") << "XPMACHINE is the machine's absolute folder";
}

// xp_kernel32_child, built beside this test program: a machine program that exits with the code it is given.
TEST_F(XpmachineTest, RunsAsAnAccountAndListsTheProcessesWithTheirFullExitCodes) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  const fs::path child = xp::test::BuildProgram("xp_kernel32_child");
  const fs::path installed = fs::path(dir_) / "drives/C/Program Files/Quillmarsh/recoverkit.exe";
  fs::create_directories(installed.parent_path());
  fs::copy_file(child, installed);
  const Outcome as_system = Xpmachine({"run", dir_, "--as", "system", child.string(), "exit", "603"});
  EXPECT_EQ(as_system.exit_code, 603 % 256) << as_system.output;
  const Outcome from_drive =
      Xpmachine({"run", dir_, "--as", "LOCAL SERVICE", "c:\\program files\\quillmarsh\\RECOVERKIT.EXE", "crash"});
  EXPECT_NE(from_drive.exit_code, 0) << from_drive.output;
  const Outcome user = Xpmachine({"run", dir_, "--as", "User", "sh", "-c", "echo \"$XPMACHINE_USER\""});
  EXPECT_EQ(user.output, "User\n");

  // A box its UI script does not answer: the UI engine ends the program, whose exit code the table keeps.
  const fs::path actor = xp::test::BuildProgram("xp_ui_actor");
  std::ofstream(base_ / "empty.script") << "";
  ::setenv("XPMACHINE_UI", ("script:" + (base_ / "empty.script").string()).c_str(), 1);
  const Outcome unanswered = Xpmachine({"run", dir_, actor.string(), "box", "Quillmarsh Tavik", "Continue?", "4"});
  ::unsetenv("XPMACHINE_UI");
  EXPECT_EQ(unanswered.exit_code, 86) << unanswered.output;

  const Outcome nobody = Xpmachine({"run", dir_, "--as", "nobody", "true"});
  EXPECT_EQ(nobody.exit_code, 1);
  EXPECT_EQ(nobody.output, "xpmachine: " + dir_ + " has no account nobody\n");

  const Outcome listed = Xpmachine({"ps", dir_});
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_EQ(listed.output,
            "PID    PARENT ACCOUNT          STATE            IMAGE\n"
            "0      0      SYSTEM           running          [System Process]\n"
            "4      0      SYSTEM           running          System\n"
            "1000   0      SYSTEM           exit 603         xp_kernel32_child\n"
            "1004   0      LOCAL SERVICE    ended, no code   C:\\Program Files\\Quillmarsh\\recoverkit.exe\n"
            "1008   0      User             ended, no code   sh\n"
            "1012   0      Administrator    exit 86          xp_ui_actor\n");
}

// The power goes while a program runs: it and the kernel end at once; the next program's kernel call starts the
// kernel again, which notes how the last one ended.
TEST_F(XpmachineTest, PowerOffEndsTheMachinesProgramsAndItsKernel) {
  ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  ASSERT_EQ(Xpmachine({"kernel", "start", dir_}).exit_code, 0);
  const std::string tool = xp::test::BuildProgram("xpmachine");
  char* const argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("run"), const_cast<char*>(dir_.c_str()),
                        const_cast<char*>("sleep"), const_cast<char*>("600"), nullptr};
  pid_t running = 0;
  ASSERT_EQ(::posix_spawn(&running, tool.c_str(), nullptr, nullptr, argv, environ), 0);
  for (int i = 0; i < 2000 && Xpmachine({"ps", dir_}).output.find("running          sleep") == std::string::npos; ++i) {
    ::usleep(1000);
  }
  const Outcome off = Xpmachine({"power-off", dir_});
  EXPECT_EQ(off.exit_code, 0) << off.output;
  EXPECT_EQ(off.output, "machine " + dir_ + " is off\n");
  int status = 0;
  ASSERT_EQ(::waitpid(running, &status, 0), running);
  // The program was killed: run ends as a shell reports that.
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL) << status;
  EXPECT_NE(Xpmachine({"ps", dir_}).output.find("ended, no code   sleep"), std::string::npos);
  EXPECT_EQ(Xpmachine({"kernel", "stop", dir_}).exit_code, 1);
  EXPECT_EQ(Xpmachine({"type", dir_, "C:\\BOOT.INI"}).exit_code, 0);
  std::ifstream journal(fs::path(dir_) / "journal.log");
  const std::string text((std::istreambuf_iterator<char>(journal)), {});
  EXPECT_NE(text.find(" power off\n"), std::string::npos) << text;
  EXPECT_NE(text.find("had ended without shutting down"), std::string::npos) << text;
  Xpmachine({"kernel", "stop", dir_});
}

TEST_F(XpmachineTest, FailuresAndBadCommandLines) {
  const struct {
    std::vector<std::string> arguments;
    int exit_code;
    const char* output_start;
  } rows[] = {
      {{}, 2, "xpmachine: no command given\nusage: xpmachine new DIR"},
      {{"token", "eject", "m"}, 2, "xpmachine: token: expected plug, unplug, show or answer, not 'eject'\n"
                                        "usage: xpmachine token"},
      {{"new", "m", "--token-seed", "seven"}, 2, "xpmachine: new: 'seven' is no token seed"},
      {{"run", "/tmp"}, 2, "xpmachine: run: no program to run\nusage: xpmachine run DIR"},
      {{"reboot", "m"}, 2, "xpmachine: unknown command 'reboot'\nusage: xpmachine new DIR"},
      {{"--help"}, 0, "usage: xpmachine new DIR"},
      {{"help", "type"}, 0, "usage: xpmachine type DIR PATH"},
      {{"help", "nope"}, 2, "xpmachine: help: unknown command 'nope'"},
      {{"token", "show", "/tmp"}, 1, "xpmachine: /tmp is not a machine"},
      {{"run", "/tmp", "true"}, 1, "xpmachine: /tmp is not a machine"},
      {{"ps", "/tmp"}, 1, "xpmachine: /tmp is not a machine"},
      {{"new", "/proc/1"}, 1, "xpmachine: cannot create machine"},
  };
  for (const auto& row : rows) {
    const Outcome outcome = Xpmachine(row.arguments);
    EXPECT_EQ(outcome.exit_code, row.exit_code) << ::testing::PrintToString(row.arguments) << outcome.output;
    EXPECT_EQ(outcome.output.rfind(row.output_start, 0), 0u) << outcome.output;
  }
}

}  // namespace
