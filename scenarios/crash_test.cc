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

#include <cstdio>
#include <fstream>
#include <ostream>
#include <regex>

#include "install_machine.h"

namespace tavik::scenarios {
namespace {

using xp::machine::FaultAction;

constexpr uint32_t kNeverReached = 1000000000;
// The fault point of a write that reached the kernel host.
constexpr char kKernelWrite[] = "kernel:write";

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

// How often the first run of an install reaches `operation`: counted by a fault that never fires.
uint32_t CallsOfFirstRun(FaultAction action, const std::string& operation) {
  InstallMachine machine;
  xp::machine::ArmFault({action, operation, kNeverReached, 1, 0, ""});
  machine.RunFirstInstall();
  std::ifstream faults(machine.root() / "faults");
  const std::string text((std::istreambuf_iterator<char>(faults)), std::istreambuf_iterator<char>());
  xp::machine::ClearFaults();
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(" calls=([0-9]+) "))) return 0;
  return static_cast<uint32_t>(std::stoul(match[1]));
}

struct Share {
  FaultAction action;
  std::string operation;
  uint32_t part;   // 1 .. parts
  uint32_t parts;
};

void PrintTo(const Share& share, std::ostream* out) {
  *out << (share.action == FaultAction::kPowerLoss ? "power loss after " : "crash after ") << share.operation << ", share "
       << share.part << " of " << share.parts;
}

std::string NameOf(const ::testing::TestParamInfo<Share>& info) {
  std::string name = info.param.operation;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return (info.param.action == FaultAction::kPowerLoss ? "PowerLossAfter_" : "CrashAfter_") + name + "_" +
         std::to_string(info.param.part) + "of" + std::to_string(info.param.parts);
}

// How many entries each kind's points are spread over: about a dozen points per entry.
std::vector<Share> Shares() {
  std::vector<Share> shares;
  const auto add = [&](FaultAction action, const std::string& operation, uint32_t parts) {
    for (uint32_t part = 1; part <= parts; ++part) shares.push_back({action, operation, part, parts});
  };
  for (const CrashOperation& operation : MutatingOperations()) add(FaultAction::kCrash, operation.name, operation.parts);
  add(FaultAction::kPowerLoss, kKernelWrite, kKernelWriteParts);
  return shares;
}

class Interrupted : public ::testing::TestWithParam<Share> {};

TEST_P(Interrupted, EachInterruptionResumesToTheUndisturbedEnd) {
  const Share& share = GetParam();
  const MachineState& undisturbed = Undisturbed();
  const uint32_t calls = CallsOfFirstRun(share.action, share.operation);
  ASSERT_GT(calls, 0u) << share.operation;
  std::printf("%s: %u points in all\n", share.operation.c_str(), calls);
  for (uint32_t nth = share.part; nth <= calls; nth += share.parts) {
    SCOPED_TRACE(share.operation + " #" + std::to_string(nth) + " of " + std::to_string(calls));
    InstallMachine machine;
    xp::machine::ArmFault({share.action, share.operation, nth, 1, 0, ""});
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
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Install, Interrupted, ::testing::ValuesIn(Shares()), NameOf);

}  // namespace
}  // namespace tavik::scenarios
