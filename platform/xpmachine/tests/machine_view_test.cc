// xpmachine's view into a machine: its kernel started and stopped, a file read as the machine's programs read it
// (through the machine's kernel host, started on demand), a registry key or value as reg.exe shows it, and the
// command lines of these forms.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "run_program.h"
#include "scratch_folder.h"
#include "winreg.h"
#include "xp/registry.h"


namespace {

namespace fs = std::filesystem;

using Outcome = xp::test::ProgramRun;

// Runs build/bin/xpmachine (beside this test program) with the given arguments, stdout and stderr together.
Outcome Xpmachine(const std::vector<std::string>& arguments) {
  return xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), arguments);
}

class MachineViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (base_ / "m").string();
    ASSERT_EQ(Xpmachine({"new", dir_}).exit_code, 0);
  }
  void TearDown() override {
    Xpmachine({"kernel", "stop", dir_});
  }

  // Gives back XPMACHINE and the other machine variables the test sets, and removes the machines.
  xp::test::ScratchFolder scratch_{"xpmachine-view"};
  const fs::path base_ = scratch_.path();
  std::string dir_;
};

// The machine has one kernel: the first program that needs it (type here) starts it, and it runs until stopped.
TEST_F(MachineViewTest, TypeReadsThroughTheMachinesOneKernel) {
  std::ofstream(fs::path(dir_) / "drives/C/Note.txt") << "on the disk";
  EXPECT_EQ(Xpmachine({"type", dir_, "C:\\NOTE.TXT"}).output, "on the disk");
  EXPECT_TRUE(fs::exists(fs::path(dir_) / "kernel/socket"));
  const Outcome again = Xpmachine({"kernel", "start", dir_});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.output, "xpmachine: " + dir_ + ": the machine's kernel already runs\n");
  const Outcome missing = Xpmachine({"type", dir_, "C:\\missing.txt"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.output, "xpmachine: cannot open C:\\missing.txt: The system cannot find the file specified. (2)\n");

  EXPECT_EQ(Xpmachine({"kernel", "stop", dir_}).exit_code, 0);
  EXPECT_FALSE(fs::exists(fs::path(dir_) / "kernel/socket"));
  const Outcome stopped = Xpmachine({"kernel", "stop", dir_});
  EXPECT_EQ(stopped.exit_code, 1);
  EXPECT_EQ(stopped.output, "xpmachine: " + dir_ + ": the machine's kernel is not running\n");
  ASSERT_EQ(Xpmachine({"kernel", "start", dir_}).exit_code, 0);
  const Outcome restarted = Xpmachine({"type", dir_, "c:\\note.txt"});
  EXPECT_EQ(restarted.exit_code, 0);
  EXPECT_EQ(restarted.output, "on the disk");
}

// XPDEBUG=+kernel: each IRP the I/O manager hands a driver is traced with the driver, the request and the file. The
// IRPs run in the machine's kernel host, which takes XPDEBUG from the program that started it: its lines are in the
// machine's debug log under its own name.
TEST_F(MachineViewTest, TheKernelChannelTracesEachIrpOfARead) {
  std::ofstream(fs::path(dir_) / "drives/C/Note.txt") << "on the disk";
  ::setenv("XPDEBUG", "trace+kernel", 1);
  const Outcome read = xp::test::RunProgram(xp::test::BuildProgram("xpmachine"), {"type", dir_, "C:\\NOTE.TXT"},
                                            xp::test::Stderr::kApart);
  ::unsetenv("XPDEBUG");
  EXPECT_EQ(read.output, "on the disk");
  std::ifstream log(fs::path(dir_) / "debug.log");
  std::vector<std::string> majors;
  constexpr std::string_view kIrpLine = " xp_ntoshost: trace:kernel:IoCallDriver ";
  for (std::string line; std::getline(log, line);) {
    const size_t at = line.find(kIrpLine);
    if (at == std::string::npos) continue;
    std::istringstream words(line.substr(at + kIrpLine.size()));
    std::string driver;
    std::string major;
    words >> driver >> major;
    majors.push_back(major);
    if (major == "IRP_MJ_CREATE" || major == "IRP_MJ_READ") {
      EXPECT_NE(line.find("\\NOTE.TXT"), std::string::npos) << line;
    }
  }
  for (const char* major : {"IRP_MJ_CREATE", "IRP_MJ_READ", "IRP_MJ_CLEANUP"}) {
    EXPECT_NE(std::find(majors.begin(), majors.end(), major), majors.end()) << major;
  }
}

TEST_F(MachineViewTest, RegQueryShowsAKeyOrOneValue) {
  ::setenv("XPMACHINE", dir_.c_str(), 1);
  xp::registry::KeyId key = 0;
  ASSERT_EQ(xp::registry::CreateKey(xp::registry::kMachineKey, u"SYSTEM\\CurrentControlSet\\Services\\Morvel", &key,
                                    nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(xp::registry::SetValue(key, u"Type", REG_DWORD, {2, 0, 0, 0}), ERROR_SUCCESS);
  const Outcome value = Xpmachine({"reg", "query", dir_, "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Morvel", "/v",
                                   "Type"});
  EXPECT_EQ(value.exit_code, 0);
  EXPECT_EQ(value.output,
            "\nHKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Morvel\n    Type    REG_DWORD    0x2\n\n");
  const Outcome missing = Xpmachine({"reg", "query", dir_, "HKLM\\SOFTWARE\\Nothing"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.output, "ERROR: The system was unable to find the specified registry key or value.\n");
}

// What a person sets by hand reads back through the system's own registry calls, in the machine's code page.
TEST_F(MachineViewTest, RegAddSetsATextValueTheProgramsRead) {
  const Outcome added = Xpmachine({"reg", "add", dir_, "HKLM\\SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", "/v",
                                   "ServerPath", "/d", "client.teradolm.test/tavik/"});
  EXPECT_EQ(added.exit_code, 0);
  EXPECT_EQ(added.output, "The operation completed successfully.\n");
  ::setenv("XPMACHINE", dir_.c_str(), 1);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Teradolm\\Ferrowind\\3.0.0", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char text[64] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(key, "serverpath", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_STREQ(text, "client.teradolm.test/tavik/");
  for (const char* wrong : {"HKCU\\SOFTWARE\\X", "SOFTWARE\\X", "HKLM\\"}) {
    SCOPED_TRACE(wrong);
    const Outcome refused = Xpmachine({"reg", "add", dir_, wrong, "/v", "A", "/d", "B"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.output, "ERROR: Invalid key name.\nType \"REG ADD /?\" for usage.\n");
  }
}

TEST(MachineViewArguments, KernelTypeAndRegForms) {
  using xp::xpmachine::Command;
  using xp::xpmachine::ParseArguments;
  EXPECT_EQ(ParseArguments({"kernel", "start", "m"})->kind, Command::Kind::kKernelStart);
  EXPECT_EQ(ParseArguments({"kernel", "stop", "m"})->kind, Command::Kind::kKernelStop);
  const std::optional<Command> type = ParseArguments({"type", "m", "C:\\a b.txt"});
  ASSERT_TRUE(type.has_value());
  EXPECT_EQ(type->kind, Command::Kind::kType);
  EXPECT_EQ(type->path, "C:\\a b.txt");
  const std::optional<Command> query = ParseArguments({"reg", "query", "m", "HKLM\\SOFTWARE", "/v", "Name"});
  ASSERT_TRUE(query.has_value());
  EXPECT_EQ(query->key, "HKLM\\SOFTWARE");
  EXPECT_EQ(query->value, "Name");
  EXPECT_FALSE(ParseArguments({"reg", "query", "m", "HKLM\\SOFTWARE"})->value.has_value());
  const std::vector<std::vector<std::string>> refused = {
      {"kernel", "boot", "m"}, {"kernel", "start"}, {"type", "m"}, {"reg", "add", "m", "HKLM\\X"},
      {"reg", "query", "m", "HKLM\\X", "/v"}, {"reg", "query", "m", "HKLM\\X", "/x", "Name"},
  };
  for (const auto& arguments : refused) {
    EXPECT_FALSE(ParseArguments(arguments).has_value()) << ::testing::PrintToString(arguments);
  }
}

}  // namespace
