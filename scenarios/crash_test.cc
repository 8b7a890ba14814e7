// The crash harness: a whole install crashed (the process ends at once, nothing flushed) right after each call of
// the machine that changes a file or the registry, in turn; then the machine restarts, an administrator logs on,
// the resume dialogs are answered, and the install runs to its end. Each crashed machine must end exactly as one
// that never crashed: every eligible file encrypted exactly once, no temporary copy left, the same lists and
// registry; and RunOnce must have brought diskseal back after every crash.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "install_machine.h"

namespace tavik::scenarios {
namespace {

constexpr uint32_t kNeverReached = 1000000000;

// The end state of an install that never crashed.
const MachineState& Undisturbed() {
  static const MachineState state = [] {
    InstallMachine machine;
    machine.RunFirstInstall();
    machine.RunToTheEnd(4);
    return machine.State();
  }();
  return state;
}

// How often the first run of an install calls `operation`: counted by a crash fault that is never reached.
uint32_t CallsOfFirstRun(const std::string& operation) {
  InstallMachine machine;
  xp::machine::ArmFault({xp::machine::FaultAction::kCrash, operation, kNeverReached, 1, 0, ""});
  machine.RunFirstInstall();
  std::ifstream faults(machine.root() / "faults");
  const std::string text((std::istreambuf_iterator<char>(faults)), std::istreambuf_iterator<char>());
  xp::machine::ClearFaults();
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(" calls=([0-9]+) "))) return 0;
  return static_cast<uint32_t>(std::stoul(match[1]));
}

class CrashEverywhere : public ::testing::TestWithParam<std::string> {};

TEST_P(CrashEverywhere, EachCrashResumesToTheUndisturbedEnd) {
  const std::string& operation = GetParam();
  const MachineState& undisturbed = Undisturbed();
  const uint32_t calls = CallsOfFirstRun(operation);
  ASSERT_GT(calls, 0u) << operation;
  for (uint32_t nth = 1; nth <= calls; ++nth) {
    SCOPED_TRACE(operation + " #" + std::to_string(nth) + " of " + std::to_string(calls));
    InstallMachine machine;
    xp::machine::ArmFault({xp::machine::FaultAction::kCrash, operation, nth, 1, 0, ""});
    const int exit_code = machine.RunFirstInstall();
    xp::machine::ClearFaults();
    EXPECT_EQ(exit_code, kCrashedExitCode);
    EXPECT_TRUE(machine.RunSetupArmed());
    ASSERT_TRUE(machine.RunToTheEnd(6));
    const MachineState state = machine.State();
    EXPECT_EQ(state.files, undisturbed.files);
    EXPECT_EQ(state.install_lists, undisturbed.install_lists);
    EXPECT_EQ(state.registry, undisturbed.registry);
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(AfterEveryChangingCall, CrashEverywhere, ::testing::ValuesIn(MutatingOperations()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace tavik::scenarios
