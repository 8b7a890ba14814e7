// The console utilities as the installer leaves them on a machine, run as its programs: the token's device removed
// (tokenping then finds no token) and detected again at its next plug while its driver file is there; removed with
// its driver file gone, it comes back only once Install has put the file in place from the driver folder; prockill
// ends a running program by name.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "built_programs.h"
#include "scratch_machine.h"
#include "xp/pnp.h"
#include "xp/processes.h"
#include "xp/usbtoken.h"

namespace {

namespace fs = std::filesystem;

constexpr char kInstallFolder[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\";

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

class DeviceRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = machine_.root().string() + "-source";
    fs::create_directories(source_);
    // The installer takes each program by its built file's name.
    for (const char* target : {"remove_tool", "install_tool", "tokenping", "prockill"}) {
      const fs::path built = xp::test::BuildProgram(target);
      fs::copy_file(built, source_ / built.filename());
    }
    fs::copy_file(xp::test::BuildProgram("xp_kernel32_child"), source_ / "diskseal");  // ends at once
    ASSERT_EQ(Launch(xp::test::BuildProgram("tavik_setup"), "tavik_setup", {"tavik_setup", source_.string()}), 0u);
  }
  void TearDown() override {
    std::ofstream(machine_.root() / "go");
    for (const xp::machine::ProcessRecord& record : xp::machine::ListProcesses(true)) {
      if (record.launched) xp::machine::WaitForProcessEnd(record.pid, 10000);
    }
    std::error_code error;
    fs::remove_all(source_, error);
  }

  // Runs a program as a process of the machine and returns the exit code its record keeps.
  uint32_t Launch(const fs::path& program, const std::string& image, const std::vector<std::string>& argv) {
    xp::machine::LaunchRequest request{program, image, argv, "Administrator", ""};
    xp::machine::LaunchedProcess launched;
    if (xp::machine::LaunchProcess(request, &launched) != 0) return 0xDEAD;
    ::waitpid(launched.host_pid, nullptr, 0);
    return xp::machine::FindProcess(launched.pid)->exit_code.value_or(0xDEAD);
  }
  fs::path Drive(const std::string& path) const { return machine_.root() / "drives/C" / path; }
  // An installed utility, run from the install folder.
  uint32_t Run(const std::string& name, const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> argv = {name};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Launch(Drive("Program Files/Quillmarsh/Tavik/XP/" + name + ".exe"), kInstallFolder + name + ".exe", argv);
  }
  void Replug() {
    ASSERT_TRUE(xp::usbtoken::Unplug(machine_.root(), machine_.token_id()));
    ASSERT_TRUE(xp::usbtoken::Plug(machine_.root(), machine_.token_id()));
  }

  const xp::test::ScratchMachine machine_;
  fs::path source_;
};

TEST_F(DeviceRoundTripTest, TheTokensDeviceIsRemovedAndBroughtBack) {
  EXPECT_EQ(Run("tokenping"), 1u);
  EXPECT_EQ(Run("Remove", {"usb\\vid_7a5c"}), 0u);
  EXPECT_EQ(Run("tokenping"), 0u) << "plugged in, but no longer in the device tree";
  EXPECT_EQ(xp::pnp::UndetectedTokens(), std::vector<std::string>{machine_.token_id()});
  Replug();
  EXPECT_EQ(Run("tokenping"), 1u);

  EXPECT_EQ(Run("Remove", {"USB\\VID_7A5C&PID_0C01&REV_0100"}), 0u);
  const fs::path driver = Drive("WINDOWS/system32/drivers/nubousb.sys");
  ASSERT_TRUE(fs::remove(driver));
  Replug();
  EXPECT_EQ(Run("tokenping"), 0u) << "detected, but its driver is missing";
  EXPECT_EQ(Run("Install", {"C:\\Program Files\\Quillmarsh\\Tavik\\XP\\Driver", "nubousb.inf"}), 0u);
  machine_.WriteBack();  // the copy on the disk itself, not only in the machine's kernel cache
  EXPECT_EQ(ReadFile(driver), ReadFile(Drive("Program Files/Quillmarsh/Tavik/XP/Driver/nubousb.sys")));
  Replug();
  EXPECT_EQ(Run("tokenping"), 1u);
}

TEST_F(DeviceRoundTripTest, ProcKillEndsARunningProgramByName) {
  fs::copy_file(xp::test::BuildProgram("xp_kernel32_child"), Drive("WINDOWS/NOTEPAD.EXE"));
  xp::machine::LaunchRequest request{Drive("WINDOWS/NOTEPAD.EXE"),
                                     "C:\\WINDOWS\\NOTEPAD.EXE",
                                     {"notepad.exe", "wait-for", (machine_.root() / "go").string()},
                                     "Administrator",
                                     ""};
  xp::machine::LaunchedProcess notepad;
  ASSERT_EQ(xp::machine::LaunchProcess(request, &notepad), 0);
  EXPECT_EQ(Run("prockill", {"Notepad.exe"}), 0u);
  ASSERT_TRUE(xp::machine::WaitForProcessEnd(notepad.pid, 10000));
  EXPECT_EQ(xp::machine::FindProcess(notepad.pid)->exit_code, 0u);
  EXPECT_EQ(Run("prockill", {"Notepad.exe"}), 603u);
}

}  // namespace
