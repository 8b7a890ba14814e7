// A channel's lines: their text on stderr, and their copy in the machine's debug log with the process that wrote
// them; nothing for a level that is off.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "scratch_machine.h"
#include "xp/debug.h"

namespace xp::debug {
namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class DebugPrintTest : public ::testing::Test {
 protected:
  DebugPrintTest() { ::setenv("XPDEBUG", "+demo", 1); }
  ~DebugPrintTest() override { ::unsetenv("XPDEBUG"); }

  // What the channel "demo" printed on stderr while `lines` ran.
  template <typename Lines>
  std::string Stderr(Lines lines) {
    ::testing::internal::CaptureStderr();
    lines();
    return ::testing::internal::GetCapturedStderr();
  }
};

TEST_F(DebugPrintTest, EachLevelNamesItselfTheChannelAndTheFunction) {
  XP_DEBUG_CHANNEL(demo);
  const std::string printed = Stderr([] {
    XP_ERR("Open", "cannot read %s", "a.db");
    XP_FIXME("LoadLibraryA", "only DLLs can be loaded: %s", "x.exe");
    XP_WARN("Close", "%d handles left", 2);
    XP_TRACE("DeviceIoControl", "request %06x", 0x220004);
    XP_TRACE("Idle", "%s", "");
  });
  EXPECT_EQ(printed,
            "err:demo:Open cannot read a.db\n"
            "fixme:demo:LoadLibraryA only DLLs can be loaded: x.exe\n"
            "warn:demo:Close 2 handles left\n"
            "trace:demo:DeviceIoControl request 220004\n"
            "trace:demo:Idle\n");
}

TEST_F(DebugPrintTest, ALevelThatIsOffPrintsNothingAndEvaluatesNothing) {
  static constinit Channel xp_debug_channel{"quiet"};  // defaults only: err and fixme
  int evaluated = 0;
  const std::string printed = Stderr([&] {
    XP_TRACE("Read", "%d", ++evaluated);
    XP_WARN("Read", "%d", ++evaluated);
  });
  EXPECT_EQ(printed, "");
  EXPECT_EQ(evaluated, 0);
}

TEST_F(DebugPrintTest, InsideAMachineLinesAlsoGoToItsDebugLog) {
  XP_DEBUG_CHANNEL(demo);
  xp::test::ScratchMachine machine;
  Stderr([] {
    XP_TRACE("DeviceIoControl", "first");
    XP_FIXME("SendMessage", "second\n");
  });
  const std::string who = std::to_string(::getpid()) + " " + program_invocation_short_name + ": ";
  EXPECT_EQ(Slurp(machine.root() / "debug.log"),
            who + "trace:demo:DeviceIoControl first\n" + who + "fixme:demo:SendMessage second\n");
}

TEST_F(DebugPrintTest, AFolderThatIsNoMachineGetsNoLog) {
  XP_DEBUG_CHANNEL(demo);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("xp-debug-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ::setenv("XPMACHINE", folder.c_str(), 1);
  const std::string printed = Stderr([] { XP_TRACE("Open", "outside"); });
  ::unsetenv("XPMACHINE");
  EXPECT_EQ(printed, "trace:demo:Open outside\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "debug.log"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace xp::debug
