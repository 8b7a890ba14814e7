// The crash harness: a whole install interrupted at each point in turn, then the machine boots for real (every
// process ends, the kernel starts afresh), an administrator logs on through Winlogon (at the system's own logon
// dialog, or, once the install named the logon component in "GinaDLL", with the token and its password), RunOnce
// brings diskseal back, its resume dialogs are answered, and the install runs to its end. Each interrupted machine
// must end exactly as one that never was: every eligible file encrypted exactly once, no temporary copy left, the
// same lists and registry, every file reading back as it was through the driver the token logon gave the key; and
// RunOnce must have brought diskseal back every time. Two kinds of interruption:
//  - a crash of diskseal right after its nth call of one that changes a file or the registry (the process ends at
//    once; what it handed to the kernel stays, as on XP);
//  - a power loss right after the nth write that reached the kernel (every process and the kernel end at once;
//    the disk keeps only what was flushed or written through).
// Each ctest entry takes one share of one kind's points (every `parts`-th, from its own first), so the points of
// a kind spread over several entries that run side by side.
#include <gtest/gtest.h>

#include "crash_points.h"
#include "install_machine.h"

namespace tavik::scenarios {
namespace {

// The end state of an install that never was interrupted.
const MachineState& Undisturbed() {
  static const MachineState state = [] {
    InstallMachine machine;
    machine.RunFirstInstall();
    machine.RunToTheEnd(4);
    return machine.State();
  }();
  return state;
}

// How often the first run of an install reaches the share's operation.
uint32_t CallsOfFirstRun(const Share& share) {
  InstallMachine machine;
  xp::machine::ArmFault(CountingFault(share));
  machine.RunFirstInstall();
  const uint32_t calls = CountedCalls(machine.root(), share);
  xp::machine::ClearFaults();
  return calls;
}

class Interrupted : public ::testing::TestWithParam<Share> {};

TEST_P(Interrupted, EachInterruptionResumesToTheUndisturbedEnd) {
  const Share& share = GetParam();
  const MachineState& undisturbed = Undisturbed();
  const uint32_t calls = CallsOfFirstRun(share);
  ASSERT_GT(calls, 0u) << share.operation;
  ForEachPointOfShare(share, calls, [&](uint32_t nth) {
    InstallMachine machine;
    xp::machine::ArmFault(FaultAt(share, nth));
    const int exit_code = machine.RunFirstInstall();
    xp::machine::ClearFaults();
    EXPECT_EQ(exit_code, kCrashedExitCode);
    EXPECT_TRUE(machine.RunSetupArmed());
    ASSERT_TRUE(machine.RunToTheEnd(6));
    const MachineState state = machine.State();
    EXPECT_EQ(state.files, undisturbed.files);
    EXPECT_EQ(state.read, undisturbed.read);
    for (const UserFile& file : InstallMachine::UserFiles()) {
      EXPECT_EQ(state.read.at(file.path), Digest(file.content)) << file.path << " does not read back";
    }
    EXPECT_EQ(state.install_lists, undisturbed.install_lists);
    EXPECT_EQ(state.registry, undisturbed.registry);
  });
}

INSTANTIATE_TEST_SUITE_P(Install, Interrupted, ::testing::ValuesIn(SharesOf(MutatingOperations(), kKernelWriteParts)),
                         NameOf);

}  // namespace
}  // namespace tavik::scenarios
